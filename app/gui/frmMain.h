#pragma once
// The MDI main window of Sorvan: menus, status bar, window placement kept between
// runs, and the public operations the other windows call (MensajeBE, NuevoGraf2D,
// NuevoGraf3D). The other windows and the command modules reach it only through
// the AppShell interface it implements.
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

#include "gui/app_shell.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
namespace sorvan::gui { class frmAyuda; }
namespace sorvan::gui { class frmDatos; }
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

class frmMain : public QMainWindow, public AppShell {
  Q_OBJECT
public:
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  // Shows `text` in status panel 1 and repaints the status bar at once, so the
  // text is visible while a long synchronous operation runs after the call.
  void MensajeBE(const QString& text);

  // Opens a new semivariogram chart window on the ".sv" file `file`. On failure a
  // message box names the file; the program keeps running.
  void NuevoGraf2D(const QString& file, const QString& title);

  // Opens a new surface chart window: kind 1 prediction, 2 variance of the last
  // kriging run (from OwnSession()), 3 the surface file named by `title`.
  void NuevoGraf3D(int kind, const QString& title);

  // The MDI client area holding every child window.
  QMdiArea* AreaMDI();

  // The current folder when the main window loaded (absolute path).
  QString StartFolder() const;

  // The data set, the kriging options and the surfaces of the last run.
  sorvan::core::KrigingSession& OwnSession();

  // Enables or greys the whole "&Kriging" menu (the data window does this).
  void EnableKriging(bool enabled);

  // Opens the ".dae" file `path` into the data window, as "&Open" > "&Data"
  // does after its file dialog. Returns false (after telling the user) when the
  // file could not be read completely.
  bool OpenData(const QString& path);

  // The data window, created on first use; nullptr before.
  frmDatos* Data() const;

  // The help window, once "Help" has been asked for; nullptr before.
  frmAyuda* Help() const;

  // The text of status panel 1, and whether "&Kriging" can be chosen.
  QString StatusText() const;
  bool KrigingEnabled() const;

  // AppShell.
  QWidget* Window() override { return this; }
  void ShowStatus(const QString& text) override { MensajeBE(text); }
  sorvan::core::KrigingSession& Session() override { return OwnSession(); }
  QMdiArea* DocumentArea() override { return AreaMDI(); }
  void OpenSemivariogram(const QString& file, const QString& title) override { NuevoGraf2D(file, title); }
  void OpenSurface(int kind, const QString& title) override { NuevoGraf3D(kind, title); }
  void SetKrigingEnabled(bool enabled) override { EnableKriging(enabled); }
  void ShowHelp(const QString& page, bool search = false) override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void createActions();
  void createMenus();
  void createStatusBar();
  void readSettings();
  void writeSettings();
  void updateWindowMenu();
  void tile(Qt::Orientation orientation);
  void arrangeIcons();

  void mnuAbrirDatos();
  void mnuNuevoDatos();
  void mnuInformacionDatos();
  // The data window, created once and reused.
  void createDataWindow();
  // Greys or enables the data set's commands ("Save", "Edición", ...).
  void updateDataActions();
  void mnuAbrirSuperficie();
  void mnuAbrirVariograma();
  void mnuAcercaDe();

  QMdiArea* mdi_ = nullptr;
  QString startFolder_;
  std::unique_ptr<sorvan::core::KrigingSession> session_;
  frmDatos* data_ = nullptr;
  QPointer<frmAyuda> help_;
  QMdiSubWindow* subDatos_ = nullptr;

  // Status bar sbBarraEstado: four panels.
  QLabel* panel_[4] = {};
  QTimer* clockTimer_ = nullptr;

  QMenu* mnuArchivo_ = nullptr;
  QMenu* mnuAbrir_ = nullptr;
  QMenu* mnuGenerarAnim_ = nullptr;
  QMenu* mnuEdicion_ = nullptr;
  QMenu* mnuKriging_ = nullptr;
  QMenu* mnuVentana_ = nullptr;
  QMenu* mnuAyuda_ = nullptr;

  QAction* mnuNuevo_ = nullptr;
  QAction* mnuDatos_ = nullptr;
  QAction* mnuSuperficie_ = nullptr;
  QAction* mnuVariograma_ = nullptr;
  QAction* mnuGAnimDatos_ = nullptr;
  QAction* mnuGAnimSup_ = nullptr;
  QAction* mnuGAnimBMP_ = nullptr;
  QAction* mnuCerrar_ = nullptr;
  QAction* mnuGuardar_ = nullptr;
  QAction* mnuGuardarComo_ = nullptr;
  QAction* mnuGuardarTodo_ = nullptr;
  QAction* mnuInformacion_ = nullptr;
  QAction* mnuSalir_ = nullptr;
  QAction* mnuDeshacer_ = nullptr;
  QAction* mnuCortar_ = nullptr;
  QAction* mnuCopiar_ = nullptr;
  QAction* mnuPegar_ = nullptr;
  QAction* mnuKriging2D_ = nullptr;
  QAction* mnuKriging3D_ = nullptr;
  QAction* mnuCokriging_ = nullptr;
  QAction* mnuAnimar_ = nullptr;
  QAction* mnuCascada_ = nullptr;
  QAction* mnuMosaicoH_ = nullptr;
  QAction* mnuMosaicoV_ = nullptr;
  QAction* mnuOrganizar_ = nullptr;
  QAction* mnuContenido_ = nullptr;
  QAction* mnuBuscarAyuda_ = nullptr;
  QAction* mnuAcercaDe_ = nullptr;
};

}  // namespace sorvan::gui
