#pragma once
// The surface chart window in which an animation draws its frames. It lives
// for one command: closed when the object goes out of scope, unless the
// command keeps it open for the user (after a drawing failure). The user may
// close it at any time; Existe() then turns false.
#include <QPointer>
#include <QString>

namespace sorvan::platform { class Chart3D; }
class QWidget;

namespace sorvan::gui {
using namespace sorvan::platform;

class AnimationWindow {
public:
  // Creates and shows the window with `caption`, a child window of the
  // document area of `owner`'s shell when it has one.
  AnimationWindow(QWidget* owner, const QString& caption);
  ~AnimationWindow();
  AnimationWindow(const AnimationWindow&) = delete;
  AnimationWindow& operator=(const AnimationWindow&) = delete;

  Chart3D* Grafico() const;
  // The window on screen (the sub-window, or the top-level window).
  QWidget* Ventana() const { return window_; }
  bool Existe() const { return !window_.isNull(); }
  // Shows the window again and brings it to the front.
  void Show();
  // Leaves the window open after the command.
  void Keep() { keep_ = true; }
  void Close();

private:
  QPointer<QWidget> window_;  // the sub-window (or top-level window)
  QPointer<Chart3D> grafico_;
  bool keep_ = false;
};

}  // namespace sorvan::gui
