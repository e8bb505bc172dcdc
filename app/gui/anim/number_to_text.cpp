#include "gui/anim/number_to_text.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "gui/anim/animation_messages.h"

namespace sorvan::gui {
using namespace sorvan::core;

std::optional<int> FramesPerSecond(const QString& text) {
  const std::optional<double> v = sorvan::core::ParseNumber(text.toStdString());
  if (!v) return std::nullopt;
  return static_cast<int>(std::nearbyint(std::clamp(*v, -32768.0, 32767.0)));
}

std::optional<int> FramesPerSecondOr(QWidget* owner, const QString& text) {
  const std::optional<int> fps = FramesPerSecond(text);
  if (!fps)
    AnimationMessage(owner, QMessageBox::Warning,
                QStringLiteral("El valor \"%1\" de \"Frames/seg.\" no es un número válido.").arg(text));
  return fps;
}

}  // namespace sorvan::gui
