#include "gui/anim/numero_texto.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "gui/anim/mensajes_anim.h"

std::optional<int> FotogramasPorSegundo(const QString& texto) {
  const std::optional<double> v = sorvan::ParseNumber(texto.toStdString());
  if (!v) return std::nullopt;
  return static_cast<int>(std::nearbyint(std::clamp(*v, -32768.0, 32767.0)));
}

std::optional<int> FotogramasPorSegundoO(QWidget* owner, const QString& texto) {
  const std::optional<int> fps = FotogramasPorSegundo(texto);
  if (!fps)
    MensajeAnim(owner, QMessageBox::Warning,
                QStringLiteral("El valor \"%1\" de \"Frames/seg.\" no es un número válido.").arg(texto));
  return fps;
}
