#pragma once
// The wait dialog of the animations: after the first frame is on screen the
// user may adjust the look of the chart (view, toolbar modes) and then press
// "Accept"; every frame is drawn with that look. It is a small window with
// its own title bar, placed beside the chart so it hides none of it, movable,
// and not modal, so the chart can be used meanwhile.
#include <QDialog>

class QPushButton;

namespace sorvan::gui {

class frmEsperar : public QDialog {
  Q_OBJECT
public:
  // Shows the single shared dialog, owned by `owner`, beside the window
  // `beside` (when given), and keeps the program responsive until the user
  // closes it (or it is unloaded by UnloadAndWait); then true. While
  // another animation waits in it, returns false at once: two series would
  // draw over each other's frames.
  static bool WaitFor(QWidget* owner = nullptr, QWidget* beside = nullptr);

  // The dialog while it is shown; nullptr otherwise.
  static frmEsperar* Instance();

  // Unloads the dialog if it is loaded (closing the main window).
  static void UnloadAndWait();

  // Where a window of size `size` goes beside `chart` (global coordinates)
  // within `screen`: right of it, else left of it, else over its lower right
  // corner, never past the screen's edges.
  static QPoint PositionBeside(const QRect& chart, const QSize& size, const QRect& screen);

  QPushButton* CoAceptar = nullptr;

private:
  explicit frmEsperar(QWidget* owner);
};

}  // namespace sorvan::gui
