#include "gui/anim/ventana_animacion.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "gui/charts/frmChart3D.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

VentanaAnimacion::VentanaAnimacion(QWidget* owner, const QString& caption) {
  // A surface chart window like any other, so the user can set the view
  // with its toolbar and lists while the wait dialog is up.
  auto* ventana = new frmChart3D;  // deletes itself when closed
  ventana->setWindowTitle(caption);
  grafico_ = &ventana->Grafico();
  AppShell* shell = AppShellOf(owner);
  if (shell != nullptr && shell->DocumentArea() != nullptr) {
    QMdiSubWindow* sub = shell->DocumentArea()->addSubWindow(ventana);
    sub->resize(ventana->size());
    ventana_ = sub;
  } else {
    ventana_ = ventana;
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
