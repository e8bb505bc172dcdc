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
  auto* window = new frmChart3D;  // deletes itself when closed
  window->setWindowTitle(caption);
  grafico_ = &window->Grafico();
  AppShell* shell = AppShellOf(owner);
  if (shell != nullptr && shell->DocumentArea() != nullptr) {
    QMdiSubWindow* sub = shell->DocumentArea()->addSubWindow(window);
    sub->resize(window->size());
    window_ = sub;
  } else {
    window_ = window;
  }
  Show();
}

AnimationWindow::~AnimationWindow() {
  if (!keep_) Close();
}

Chart3D* AnimationWindow::Grafico() const { return grafico_; }

void AnimationWindow::Show() {
  if (!window_) return;
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void AnimationWindow::Close() {
  if (window_) window_->close();
}

}  // namespace sorvan::gui
