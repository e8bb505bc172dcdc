#include "gui/anim/animation_messages.h"

#include "core/bitmap/cDIB.h"

namespace sorvan::gui {
using namespace sorvan::core;

QString TituloPrograma() { return QStringLiteral("Sorvan"); }

void AnimationMessage(QWidget* owner, QMessageBox::Icon icono, const QString& text, const QString& detalle) {
  QMessageBox caja(icono, TituloPrograma(), text, QMessageBox::Ok, owner);
  if (!detalle.isEmpty()) caja.setDetailedText(detalle);
  caja.exec();
}

void MensajesAlUsuario(cDIB& dib, QWidget* owner) {
  dib.SetMessageHandler([owner](const DibMessage& m) {
    AnimationMessage(owner, m.icon == DibMessage::Icon::Critical ? QMessageBox::Critical : QMessageBox::Information,
                QString::fromStdString(m.text));
  });
}

}  // namespace sorvan::gui
