#include "gui/anim/mensajes_anim.h"

#include "core/bitmap/cDIB.h"

QString TituloPrograma() { return QStringLiteral("Sorvan"); }

void MensajeAnim(QWidget* owner, QMessageBox::Icon icono, const QString& texto, const QString& detalle) {
  QMessageBox caja(icono, TituloPrograma(), texto, QMessageBox::Ok, owner);
  if (!detalle.isEmpty()) caja.setDetailedText(detalle);
  caja.exec();
}

void MensajesAlUsuario(cDIB& dib, QWidget* owner) {
  dib.SetMessageHandler([owner](const DibMessage& m) {
    MensajeAnim(owner, m.icon == DibMessage::Icon::Critical ? QMessageBox::Critical : QMessageBox::Information,
                QString::fromStdString(m.text));
  });
}
