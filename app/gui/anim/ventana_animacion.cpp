#include "gui/anim/ventana_animacion.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

#include "gui/frmMain.h"
#include "platform/chart3d.h"

VentanaAnimacion::VentanaAnimacion(const QString& caption) {
  auto* grafico = new Chart3D;
  grafico->setMinimumSize(320, 240);
  grafico_ = grafico;
  frmMain* principal = frmMain::Instance();
  if (principal != nullptr && principal->AreaMDI() != nullptr) {
    QMdiSubWindow* sub = principal->AreaMDI()->addSubWindow(grafico);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(caption);
    sub->resize(680, 540);
    ventana_ = sub;
  } else {
    grafico->setAttribute(Qt::WA_DeleteOnClose);
    grafico->setWindowTitle(caption);
    grafico->resize(640, 480);
    ventana_ = grafico;
  }
  Mostrar();
}

VentanaAnimacion::~VentanaAnimacion() {
  if (!conservar_) Cerrar();
}

Chart3D* VentanaAnimacion::Grafico() const { return grafico_; }

void VentanaAnimacion::Mostrar() {
  if (!ventana_) return;
  ventana_->show();
  ventana_->raise();
  ventana_->activateWindow();
}

void VentanaAnimacion::Cerrar() {
  if (ventana_) ventana_->close();
}
