#pragma once
// What the command modules and child windows may ask of the main window: a
// narrow interface handed to them (directly, or through the widget they are
// owned by), so that no GUI file needs the main window's class.
#include <QString>

class QMdiArea;
class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

class AppShell {
public:
  virtual ~AppShell() = default;

  // The main window itself, as the parent of dialogs and message boxes.
  virtual QWidget* Window() = 0;
  // Shows `text` in the status bar at once (the caller may block next).
  virtual void ShowStatus(const QString& text) = 0;
  // The data set, the kriging options and the surfaces of the last run.
  virtual sorvan::core::KrigingSession& Session() = 0;
  // The area holding the child windows.
  virtual QMdiArea* DocumentArea() = 0;
  // Opens a semivariogram chart on the ".sv" file `file`; a failure is told
  // to the user.
  virtual void OpenSemivariogram(const QString& file, const QString& title) = 0;
  // Opens a surface chart: kind 1 prediction, 2 variance, 4 trend of the last run,
  // 3 the surface file named by `title`; a failure is told to the user.
  virtual void OpenSurface(int kind, const QString& title) = 0;
  // Enables or greys the "Kriging" menu.
  virtual void SetKrigingEnabled(bool enabled) = 0;
  // Opens the user manual at `page` (a page name of the manual, empty for
  // its contents), or at its search box when `search` is true.
  virtual void ShowHelp(const QString& page, bool search = false) = 0;
};

// The shell that `widget` belongs to: the first of `widget` and its parents
// (owners, for windows) that is one; nullptr when there is none (a window
// built alone in a test).
AppShell* AppShellOf(const QWidget* widget);

// ShowStatus on the shell of `widget`, when it has one.
void ShowStatusOf(const QWidget* widget, const QString& text);

}  // namespace sorvan::gui
