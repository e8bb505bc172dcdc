#include "gui/anim/animation_messages.h"

#include "core/bitmap/cDIB.h"

namespace sorvan::gui {
using namespace sorvan::core;

QString ProgramTitle() { return QStringLiteral("Sorvan"); }

void AnimationMessage(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& detail) {
  QMessageBox box(icon, ProgramTitle(), text, QMessageBox::Ok, owner);
  if (!detail.isEmpty()) box.setDetailedText(detail);
  box.exec();
}

void UserMessages(cDIB& dib, QWidget* owner) {
  dib.SetMessageHandler([owner](const DibMessage& m) {
    AnimationMessage(owner, m.icon == DibMessage::Icon::Critical ? QMessageBox::Critical : QMessageBox::Information,
                QString::fromStdString(m.text));
  });
}

}  // namespace sorvan::gui
