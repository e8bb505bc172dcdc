#include "gui/anim/animation_window.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "gui/charts/frmChart3D.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

namespace sorvan::gui {
using namespace sorvan::platform;

AnimationWindow::AnimationWindow(QWidget* owner, const QString& caption) {
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

AnimationWindow::~AnimationWindow() {
  if (!conservar_) Cerrar();
}

Chart3D* AnimationWindow::Grafico() const { return grafico_; }

void AnimationWindow::Mostrar() {
  if (!ventana_) return;
  ventana_->show();
  ventana_->raise();
  ventana_->activateWindow();
}

void AnimationWindow::Cerrar() {
  if (ventana_) ventana_->close();
}

}  // namespace sorvan::gui
