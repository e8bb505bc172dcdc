#include "gui/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>

#include "core/data_summary.h"
#include "core/kriging_session.h"
#include "gui/anim/animation_commands.h"
#include "gui/charts/chart_windows.h"
#include "gui/charts/surface_export.h"
#include "gui/frmAbout.h"
#include "gui/frmAyuda.h"
#include "gui/frmDatos.h"
#include "gui/resources_init.h"
#include "gui/kriging/kriging_commands.h"
#include "gui/validation/validation_commands.h"
#include "platform/cFileDlg.h"
#include "platform/settings_store.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kTitle = QStringLiteral("Sorvan");
const QString kSection = QStringLiteral("Settings");
const QString kDataFilter =
    QStringLiteral("Archivos de datos espaciales (*.dae)|*.dae|"
                   "Texto delimitado (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt|"
                   "Capas GIS de puntos (*.gpkg *.shp *.geojson *.json)|*.gpkg;*.shp;*.geojson;*.json|"
                   "Todos los ficheros (*.*)|*.*");
const QString kSurfacesFilter =
    QStringLiteral("Archivos de superficies (*.sup)|*.sup|Todos los ficheros (*.*)|*.*");
const QString kVariogramsFilter =
    QStringLiteral("Archivos datos semivariograma (*.sv)|*.sv|Todos los ficheros (*.*)|*.*");

// Window placement in twips, as stored, with the defaults of a first run.
constexpr double kDefaultLeft = 1000, kDefaultTop = 1000;
constexpr double kDefaultWidth = 6500, kDefaultHeight = 6500;

QAction* action(QObject* parentObject, const QString& actionText, bool enabledOne = true,
                const QKeySequence& shortcut = {}) {
  auto* a = new QAction(actionText, parentObject);
  a->setEnabled(enabledOne);
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  return a;
}

// The "Open" file dialog for one kind of file, starting in the folder of the
// last file chosen (in this run or an earlier one). False when the user cancels.
bool AskFileToOpen(QWidget* owner, const QString& filter, QString& archivo) {
  cFileDlg dlg;
  dlg.OwnerHwnd = owner;
  dlg.Filter = filter;
  dlg.FilterIndex = 1;
  dlg.InitDirectory = cFileDlg::LastFolder();
  return dlg.VBGetOpenFileName(archivo);
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), session_(std::make_unique<sorvan::core::KrigingSession>()) {
  Principal::InitResources();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(kTitle);
  setWindowIcon(QIcon(QStringLiteral(":/sorvan/sorvan.png")));

  mdi_ = new QMdiArea(this);
  mdi_->setObjectName(QStringLiteral("AreaMDI"));
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);

  createActions();
  createMenus();
  createStatusBar();
  // The File and Edit commands follow the active window (data or surface),
  // with or without a data set open.
  connect(mdi_, &QMdiArea::subWindowActivated, this, &frmMain::updateDataActions);

  // Load: placement, start-up folder, "&Kriging" greyed until data are open.
  readSettings();
  startFolder_ = QDir::currentPath();
  EnableKriging(false);
  MensajeBE(QStringLiteral("Preparado"));
}

frmMain::~frmMain() = default;

void frmMain::createActions() {
  mnuNuevo_ = action(this, QStringLiteral("&Nuevo"), true, QKeySequence(Qt::CTRL | Qt::Key_N));
  mnuDatos_ = action(this, QStringLiteral("&Datos"));
  mnuSuperficie_ = action(this, QStringLiteral("&Superficie"));
  mnuVariograma_ = action(this, QStringLiteral("&Variograma"));
  mnuGAnimDatos_ = action(this, QStringLiteral("&Datos"), false);
  mnuGAnimSup_ = action(this, QStringLiteral("&Superficies"));
  mnuGAnimBMP_ = action(this, QStringLiteral("&Archivos BMP"));
  mnuCerrar_ = action(this, QStringLiteral("&Cerrar"), false);
  mnuGuardar_ = action(this, QStringLiteral("&Guardar"), false, QKeySequence(Qt::CTRL | Qt::Key_S));
  mnuGuardarComo_ = action(this, QStringLiteral("G&uardar como..."), false);
  mnuGuardarTodo_ = action(this, QStringLiteral("Guardar &todo"), false);
  mnuInformacion_ = action(this, QStringLiteral("&Información"), false);
  mnuSalir_ = action(this, QStringLiteral("&Salir"));

  mnuDeshacer_ = action(this, QStringLiteral("&Deshacer"), false, QKeySequence(Qt::CTRL | Qt::Key_Z));
  mnuCortar_ = action(this, QStringLiteral("Cor&tar"), false, QKeySequence(Qt::CTRL | Qt::Key_X));
  mnuCopiar_ = action(this, QStringLiteral("&Copiar"), false, QKeySequence(Qt::CTRL | Qt::Key_C));
  mnuPegar_ = action(this, QStringLiteral("&Pegar"), false, QKeySequence(Qt::CTRL | Qt::Key_V));

  mnuKriging2D_ = action(this, QStringLiteral("Kriging &2D"));
  mnuKriging3D_ = action(this, QStringLiteral("Kriging &3D"), false);
  mnuCokriging_ = action(this, QStringLiteral("&Cokriging"), false);
  mnuAnimar_ = action(this, QStringLiteral("&Animar..."));

  mnuCascada_ = action(this, QStringLiteral("&Cascada"));
  mnuMosaicoH_ = action(this, QStringLiteral("Mosaico &horizontal"));
  mnuMosaicoV_ = action(this, QStringLiteral("Mosaico &vertical"));
  mnuOrganizar_ = action(this, QStringLiteral("&Organizar iconos"));

  mnuContenido_ = action(this, QStringLiteral("&Contenido"), true, QKeySequence(Qt::Key_F1));
  mnuBuscarAyuda_ = action(this, QStringLiteral("&Buscar ayuda en..."));
  mnuAcercaDe_ = action(this, QStringLiteral("&Acerca de Sorvan..."));

  // Names the tests and the other windows can find the items by.
  const QList<QPair<QAction*, const char*>> names = {
      {mnuNuevo_, "mnuNuevo"}, {mnuDatos_, "mnuDatos"}, {mnuSuperficie_, "mnuSuperficie"},
      {mnuVariograma_, "mnuVariograma"}, {mnuGAnimDatos_, "mnuGAnimDatos"},
      {mnuGAnimSup_, "mnuGAnimSup"}, {mnuGAnimBMP_, "mnuGAnimBMP"}, {mnuCerrar_, "mnuCerrar"},
      {mnuGuardar_, "mnuGuardar"}, {mnuGuardarComo_, "mnuGuardarComo"},
      {mnuGuardarTodo_, "mnuGuardarTodo"}, {mnuInformacion_, "mnuInformacion"},
      {mnuSalir_, "mnuSalir"}, {mnuDeshacer_, "mnuDeshacer"}, {mnuCortar_, "mnuCortar"},
      {mnuCopiar_, "mnuCopiar"}, {mnuPegar_, "mnuPegar"}, {mnuKriging2D_, "mnuKriging2D"},
      {mnuKriging3D_, "mnuKriging3D"}, {mnuCokriging_, "mnuCokriging"}, {mnuAnimar_, "mnuAnimar"},
      {mnuCascada_, "mnuCascada"}, {mnuMosaicoH_, "mnuMosaicoH"}, {mnuMosaicoV_, "mnuMosaicoV"},
      {mnuOrganizar_, "mnuOrganizar"}, {mnuContenido_, "mnuContenido"},
      {mnuBuscarAyuda_, "mnuBuscarAyuda"}, {mnuAcercaDe_, "mnuAcercaDe"}};
  for (const auto& [a, nombre] : names) a->setObjectName(QString::fromLatin1(nombre));

  connect(mnuDatos_, &QAction::triggered, this, &frmMain::mnuAbrirDatos);
  // The data set's commands act on the data window.
  connect(mnuNuevo_, &QAction::triggered, this, &frmMain::mnuNuevoDatos);
  connect(mnuCerrar_, &QAction::triggered, this, [this] {
    if (subDatos_) subDatos_->close();
  });
  connect(mnuGuardar_, &QAction::triggered, this, [this] {
    if (data_) data_->Save();
  });
  connect(mnuGuardarComo_, &QAction::triggered, this, [this] {
    // On a surface window of the last run: its surfaces for GIS programs.
    QMdiSubWindow* activeOne = mdi_->activeSubWindow();
    if (activeOne && activeOne->widget() && activeOne->widget()->property("superficieDelCalculo").toBool()) {
      ExportSurfacesOf(this, *session_);
      return;
    }
    if (activeOne && activeOne->widget() && !activeOne->widget()->property("archivoSuperficie").toString().isEmpty()) {
      ExportSurfaceFile(this, activeOne->widget()->property("archivoSuperficie").toString());
      return;
    }
    if (data_) data_->SaveAs();
  });
  // The data set is the one document the program edits.
  connect(mnuGuardarTodo_, &QAction::triggered, this, [this] {
    if (data_ && data_->Modified()) data_->Save();
  });
  connect(mnuInformacion_, &QAction::triggered, this, &frmMain::mnuInformacionDatos);
  connect(mnuDeshacer_, &QAction::triggered, this, [this] {
    if (data_) data_->Undo();
  });
  connect(mnuCortar_, &QAction::triggered, this, [this] {
    if (data_) data_->Cut();
  });
  connect(mnuCopiar_, &QAction::triggered, this, [this] {
    if (data_) data_->Copy();
  });
  connect(mnuPegar_, &QAction::triggered, this, [this] {
    if (data_) data_->Paste();
  });
  connect(mnuSuperficie_, &QAction::triggered, this, &frmMain::mnuAbrirSuperficie);
  connect(mnuVariograma_, &QAction::triggered, this, &frmMain::mnuAbrirVariograma);
  connect(mnuGAnimDatos_, &QAction::triggered, this, [this] { GenerateDataAnimation(*this); });
  connect(mnuGAnimSup_, &QAction::triggered, this, [this] { ShowAnimBMP(*this, true); });
  connect(mnuGAnimBMP_, &QAction::triggered, this, [this] { ShowAnimBMP(*this, false); });
  connect(mnuSalir_, &QAction::triggered, this, &QWidget::close);
  connect(mnuKriging2D_, &QAction::triggered, this, [this] { ShowKriging2D(*this); });
  connect(mnuAnimar_, &QAction::triggered, this, [this] { ShowAnimK2D(*this); });
  connect(mnuCascada_, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(mnuMosaicoH_, &QAction::triggered, this, [this] { tile(Qt::Horizontal); });
  connect(mnuMosaicoV_, &QAction::triggered, this, [this] { tile(Qt::Vertical); });
  connect(mnuOrganizar_, &QAction::triggered, this, &frmMain::arrangeIcons);
  connect(mnuContenido_, &QAction::triggered, this, [this] { ShowHelp(QString()); });
  connect(mnuBuscarAyuda_, &QAction::triggered, this, [this] { ShowHelp(QString(), true); });
  connect(mnuAcercaDe_, &QAction::triggered, this, &frmMain::mnuAcercaDe);
}

void frmMain::createMenus() {
  mnuArchivo_ = menuBar()->addMenu(QStringLiteral("&Archivo"));
  mnuArchivo_->addAction(mnuNuevo_);
  mnuAbrir_ = mnuArchivo_->addMenu(QStringLiteral("&Abrir"));
  mnuAbrir_->addAction(mnuDatos_);
  mnuAbrir_->addAction(mnuSuperficie_);
  mnuAbrir_->addAction(mnuVariograma_);
  mnuGenerarAnim_ = mnuArchivo_->addMenu(QStringLiteral("&Generar animación"));
  mnuGenerarAnim_->addAction(mnuGAnimDatos_);
  mnuGenerarAnim_->addAction(mnuGAnimSup_);
  mnuGenerarAnim_->addAction(mnuGAnimBMP_);
  mnuArchivo_->addAction(mnuCerrar_);
  mnuArchivo_->addSeparator();
  mnuArchivo_->addAction(mnuGuardar_);
  mnuArchivo_->addAction(mnuGuardarComo_);
  mnuArchivo_->addAction(mnuGuardarTodo_);
  mnuArchivo_->addSeparator();
  mnuArchivo_->addAction(mnuInformacion_);
  mnuArchivo_->addAction(mnuSalir_);

  mnuEdicion_ = menuBar()->addMenu(QStringLiteral("&Edición"));
  mnuEdicion_->addAction(mnuDeshacer_);
  mnuEdicion_->addSeparator();
  mnuEdicion_->addAction(mnuCortar_);
  mnuEdicion_->addAction(mnuCopiar_);
  mnuEdicion_->addAction(mnuPegar_);

  mnuKriging_ = menuBar()->addMenu(QStringLiteral("&Kriging"));
  mnuKriging_->addAction(mnuKriging2D_);
  mnuKriging_->addAction(mnuKriging3D_);
  mnuKriging_->addAction(mnuCokriging_);
  AddValidationMenus(mnuKriging_, this, *session_);
  mnuKriging_->addSeparator();
  mnuKriging_->addAction(mnuAnimar_);

  // The window list is rebuilt each time the menu opens.
  mnuVentana_ = menuBar()->addMenu(QStringLiteral("&Ventana"));
  connect(mnuVentana_, &QMenu::aboutToShow, this, &frmMain::updateWindowMenu);
  updateWindowMenu();

  mnuAyuda_ = menuBar()->addMenu(QStringLiteral("Ay&uda"));
  mnuAyuda_->addAction(mnuContenido_);
  mnuAyuda_->addAction(mnuBuscarAyuda_);
  mnuAyuda_->addSeparator();
  mnuAyuda_->addAction(mnuAcercaDe_);

  const QList<QPair<QMenu*, const char*>> names = {
      {mnuArchivo_, "mnuArchivo"}, {mnuAbrir_, "mnuAbrir"}, {mnuGenerarAnim_, "mnuGenerarAnim"},
      {mnuEdicion_, "mnuEdicion"}, {mnuKriging_, "mnuKriging"}, {mnuVentana_, "mnuVentana"},
      {mnuAyuda_, "mnuAyuda"}};
  for (const auto& [m, nombre] : names) m->setObjectName(QString::fromLatin1(nombre));
}

void frmMain::updateWindowMenu() {
  mnuVentana_->clear();
  mnuVentana_->addAction(mnuCascada_);
  mnuVentana_->addAction(mnuMosaicoH_);
  mnuVentana_->addAction(mnuMosaicoV_);
  mnuVentana_->addAction(mnuOrganizar_);

  const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
  bool separator = false;
  int n = 0;
  for (QMdiSubWindow* v : windows) {
    if (!v->isVisible()) continue;  // a closed window kept for reuse
    if (!separator) {
      mnuVentana_->addSeparator();
      separator = true;
    }
    ++n;
    // Access keys 1 to 9 for the first nine, as the system's window lists do.
    QString windowTitleText = v->windowTitle();
    windowTitleText.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString actionText = n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(windowTitleText)
                                 : QStringLiteral("%1 %2").arg(n).arg(windowTitleText);
    QAction* a = mnuVentana_->addAction(actionText);
    a->setCheckable(true);
    a->setChecked(v == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, v] {
      if (v->isMinimized()) v->showNormal();
      mdi_->setActiveSubWindow(v);
    });
  }
}

void frmMain::tile(Qt::Orientation orientation) {
  // Tiles the visible, non-minimised child windows in one row (vertical
  // tiling: side by side) or one column (horizontal tiling: one above another).
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* v : mdi_->subWindowList())
    if (v->isVisible() && !v->isMinimized()) windows << v;
  if (windows.isEmpty()) return;
  const QRect area = mdi_->viewport()->rect();
  const int n = static_cast<int>(windows.size());
  for (int i = 0; i < n; ++i) {
    windows[i]->showNormal();
    if (orientation == Qt::Horizontal) {
      const int height = area.height() / n;
      windows[i]->setGeometry(0, i * height, area.width(), i == n - 1 ? area.height() - i * height : height);
    } else {
      const int width = area.width() / n;
      windows[i]->setGeometry(i * width, 0, i == n - 1 ? area.width() - i * width : width, area.height());
    }
  }
}

void frmMain::arrangeIcons() {
  // Lines the minimised child windows up along the bottom edge, left to right.
  const QRect area = mdi_->viewport()->rect();
  int x = 0, y = area.bottom();
  for (QMdiSubWindow* v : mdi_->subWindowList()) {
    if (!v->isVisible() || !v->isMinimized()) continue;
    const QSize t = v->size();
    if (x > 0 && x + t.width() > area.width()) {
      x = 0;
      y -= t.height();
    }
    v->move(x, y - t.height() + 1);
    x += t.width();
  }
}

void frmMain::createStatusBar() {
  QStatusBar* sbBarraEstado = statusBar();
  sbBarraEstado->setObjectName(QStringLiteral("sbBarraEstado"));
  const QString texts[4] = {QStringLiteral("Inicializando..."), QStringLiteral("Kriging 2D"),
                             QStringLiteral("Versión %1").arg(QStringLiteral(SORVAN_VERSION_TEXT)),
                             QTime::currentTime().toString(QStringLiteral("HH:mm"))};
  for (int i = 0; i < 4; ++i) {
    panel_[i] = new QLabel(texts[i], sbBarraEstado);
    panel_[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
    panel_[i]->setFrameShape(QFrame::StyledPanel);
    panel_[i]->setFrameShadow(QFrame::Sunken);
    panel_[i]->setContentsMargins(4, 0, 4, 0);
    sbBarraEstado->addPermanentWidget(panel_[i], i == 0 ? 1 : 0);
  }
  panel_[0]->setToolTip(QStringLiteral("Estado del programa"));
  panel_[1]->setToolTip(QStringLiteral("Geoestadística"));
  panel_[2]->setToolTip(QStringLiteral("Versión del programa"));
  panel_[3]->setToolTip(QStringLiteral("Hora"));
  panel_[3]->setAlignment(Qt::AlignCenter);

  // The clock panel: checked every second, so the minute shown is never late.
  clockTimer_ = new QTimer(this);
  clockTimer_->setInterval(1000);
  connect(clockTimer_, &QTimer::timeout, this, [this] {
    panel_[3]->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
  });
  clockTimer_->start();
}

void frmMain::MensajeBE(const QString& text) {
  panel_[0]->setText(text);
  // Paint now: the caller may block the event loop right after this.
  statusBar()->repaint();
  panel_[0]->repaint();
}

QString frmMain::StatusText() const { return panel_[0]->text(); }

void frmMain::readSettings() {
  // Twips are converted with the logical resolution of the screen the window
  // will be on (96 dpi on most desktops).
  SettingsStore store;
  const double left = store.GetSetting(kSection, QStringLiteral("MainLeft"), kDefaultLeft);
  const double up = store.GetSetting(kSection, QStringLiteral("MainTop"), kDefaultTop);
  const double width = store.GetSetting(kSection, QStringLiteral("MainWidth"), kDefaultWidth);
  const double height = store.GetSetting(kSection, QStringLiteral("MainHeight"), kDefaultHeight);
  QScreen* primary = QGuiApplication::primaryScreen();
  const double dpiX = primary ? primary->logicalDotsPerInchX() : 96.0;
  const double dpiY = primary ? primary->logicalDotsPerInchY() : 96.0;
  QRect r(TwipsToPixels(left, dpiX), TwipsToPixels(up, dpiY), TwipsToPixels(width, dpiX),
          TwipsToPixels(height, dpiY));
  // A window too small to use, or stored on a screen that is no longer there,
  // would be lost to the user: fall back to the first-run placement then.
  const bool visible = QGuiApplication::screenAt(r.topLeft() + QPoint(20, 20)) != nullptr;
  if (r.width() < 200 || r.height() < 150 || !visible)
    r = QRect(TwipsToPixels(kDefaultLeft, dpiX), TwipsToPixels(kDefaultTop, dpiY),
              TwipsToPixels(kDefaultWidth, dpiX), TwipsToPixels(kDefaultHeight, dpiY));
  move(r.topLeft());
  resize(r.size());
  // A window closed maximised comes back maximised (its normal placement,
  // above, is where it goes when the user restores it).
  if (store.GetSetting(kSection, QStringLiteral("MainMaximized"), 0) != 0)
    setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::writeSettings() {
  QScreen* primary = screen();
  const double dpiX = primary ? primary->logicalDotsPerInchX() : 96.0;
  const double dpiY = primary ? primary->logicalDotsPerInchY() : 96.0;
  SettingsStore store;
  // Maximised, the placement kept is the normal one the window returns to.
  const bool maximised = isMaximized();
  const QRect r = maximised ? normalGeometry() : QRect(pos(), size());
  store.SaveSetting(kSection, QStringLiteral("MainMaximized"), maximised ? 1 : 0);
  store.SaveSetting(kSection, QStringLiteral("MainLeft"), PixelsToTwips(r.x(), dpiX));
  store.SaveSetting(kSection, QStringLiteral("MainTop"), PixelsToTwips(r.y(), dpiY));
  store.SaveSetting(kSection, QStringLiteral("MainWidth"), PixelsToTwips(r.width(), dpiX));
  store.SaveSetting(kSection, QStringLiteral("MainHeight"), PixelsToTwips(r.height(), dpiY));
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Unsaved data are never lost without a question.
  if (data_ && data_->isVisible() && !data_->AskToSave()) {
    event->ignore();
    return;
  }
  // The dialogs may be loaded but hidden; they go first.
  UnloadKrigingDialogs();
  UnloadAnimationDialogs();
  // A minimised window's placement is not the user's: keep the stored one.
  if (!isMinimized()) writeSettings();
  event->accept();
}

void frmMain::NuevoGraf2D(const QString& file, const QString& title) {
  QString error;
  if (!OpenChart2D(mdi_, file, title, &error))
    QMessageBox::warning(this, kTitle,
                         error.isEmpty() ? QStringLiteral("No se pudo abrir el semivariograma \"%1\".")
                                               .arg(QDir::toNativeSeparators(file))
                                         : error);
}

void frmMain::NuevoGraf3D(int kind, const QString& title) {
  QString error;
  if (!OpenChart3D(mdi_, kind, title, *session_, &error))
    QMessageBox::warning(this, kTitle,
                         error.isEmpty() ? QStringLiteral("No se pudo abrir la superficie \"%1\".")
                                               .arg(QDir::toNativeSeparators(title))
                                         : error);
}

QMdiArea* frmMain::AreaMDI() { return mdi_; }
QString frmMain::StartFolder() const { return startFolder_; }
sorvan::core::KrigingSession& frmMain::OwnSession() { return *session_; }
frmDatos* frmMain::Data() const { return data_; }
frmAyuda* frmMain::Help() const { return help_.data(); }

void frmMain::EnableKriging(bool enabled) {
  // The menu title itself goes grey, so the whole menu cannot be opened.
  mnuKriging_->menuAction()->setEnabled(enabled);
  mnuKriging_->setEnabled(enabled);
}

bool frmMain::KrigingEnabled() const { return mnuKriging_->menuAction()->isEnabled(); }

bool frmMain::OpenData(const QString& path) {
  const QString nativePath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  // Back to the front, restored if minimised (a maximised window stays so).
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  MensajeBE(QStringLiteral("Cargando DATOS..."));

  // Edits not saved yet are not dropped by opening another file.
  if (data_ && data_->isVisible() && !data_->AskToSave()) {
    MensajeBE(QStringLiteral("Preparado"));
    return false;
  }
  createDataWindow();
  // A failed load leaves everything as it was, caption and visibility included.
  const bool wasOpen = subDatos_->isVisible() && data_->isVisible();
  const QString previousTitle = data_->windowTitle();
  data_->setWindowTitle(nativePath);
  data_->show();
  subDatos_->show();
  mdi_->setActiveSubWindow(subDatos_);

  const bool ok = data_->IniData(path);
  if (ok) {
    session_->dataFile = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    session_->optionsReady = false;  // new columns: defaults are taken afresh
    session_->duplicates = sorvan::core::DuplicatePolicy::Error;  // asked again for these data
  } else if (wasOpen) {
    data_->setWindowTitle(previousTitle);
  } else {
    subDatos_->close();
    data_->setWindowTitle(previousTitle);
  }
  updateDataActions();
  MensajeBE(QStringLiteral("Preparado"));
  return ok;
}

void frmMain::createDataWindow() {
  if (data_) return;
  data_ = new frmDatos(session_->data);
  // The automatic grid options come from the coordinate columns' extremes.
  connect(data_, &frmDatos::DatumEdited, this, [this](int, int col) {
    if (col == session_->colX || col == session_->colY) session_->optionsReady = false;
  });
  connect(data_, &frmDatos::StateChanged, this, &frmMain::updateDataActions);
  subDatos_ = new QMdiSubWindow;
  subDatos_->setWidget(data_);
  subDatos_->setWindowIcon(windowIcon());
  mdi_->addSubWindow(subDatos_);
  subDatos_->resize(mdi_->viewport()->size() * 0.9);
}

void frmMain::updateDataActions() {
  const bool hay = data_ && subDatos_ && subDatos_->isVisible();
  for (QAction* a : {mnuCerrar_, mnuInformacion_, mnuCortar_, mnuCopiar_, mnuPegar_}) a->setEnabled(hay);
  QMdiSubWindow* activeOne = mdi_->activeSubWindow();
  const bool surface = activeOne && activeOne->widget() &&
                          (activeOne->widget()->property("superficieDelCalculo").toBool() ||
                           !activeOne->widget()->property("archivoSuperficie").toString().isEmpty());
  mnuGuardarComo_->setEnabled(hay || surface);
  mnuGuardar_->setEnabled(hay);
  mnuGuardarTodo_->setEnabled(hay && data_->Modified());
  mnuDeshacer_->setEnabled(hay && data_->CanUndo());
}

void frmMain::mnuNuevoDatos() {
  if (data_ && data_->isVisible() && !data_->AskToSave()) return;
  bool ok = false;
  const QString names = QInputDialog::getText(this, QStringLiteral("Nuevos datos"),
                                                QStringLiteral("Nombres de las columnas, separados por comas:"),
                                                QLineEdit::Normal, QStringLiteral("x, y, z"), &ok);
  if (!ok) return;
  QStringList columns = names.split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (QString& c : columns) c = c.trimmed();
  columns.removeAll(QString());
  if (columns.isEmpty()) {
    QMessageBox::warning(this, kTitle, QStringLiteral("Hace falta al menos una columna."));
    return;
  }
  const int rows = QInputDialog::getInt(this, QStringLiteral("Nuevos datos"), QStringLiteral("Número de filas:"),
                                         100, 1, 10000000, 1, &ok);
  if (!ok) return;
  createDataWindow();
  data_->New(columns, rows);
  session_->dataFile.clear();
  session_->optionsReady = false;
  data_->show();
  subDatos_->show();
  mdi_->setActiveSubWindow(subDatos_);
  updateDataActions();
}

void frmMain::mnuInformacionDatos() {
  if (!data_ || session_->data.empty()) return;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Información de los datos"),
                   QString::fromStdString(sorvan::core::DataSummary(session_->data, session_->colX, session_->colY)),
                   QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("InformacionDatos"));
  box.exec();
}

void frmMain::mnuAbrirDatos() {
  QString archivo;
  if (AskFileToOpen(this, kDataFilter, archivo)) OpenData(archivo);
}

void frmMain::mnuAbrirSuperficie() {
  QString archivo;
  if (AskFileToOpen(this, kSurfacesFilter, archivo)) NuevoGraf3D(3, archivo);
}

void frmMain::mnuAbrirVariograma() {
  QString archivo;
  if (AskFileToOpen(this, kVariogramsFilter, archivo))
    NuevoGraf2D(archivo, QStringLiteral("Semivariograma de ") + archivo);
}

void frmMain::mnuAcercaDe() {
  frmAbout about(this);
  about.exec();
}

void frmMain::ShowHelp(const QString& page, bool search) {
  // Asked from a modal dialog, the help window belongs to that dialog, or the
  // dialog would keep the user out of it.
  QWidget* ownerWidget = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
  if (!help_) help_ = new frmAyuda(ownerWidget);
  else if (help_->parentWidget() != ownerWidget) help_->setParent(ownerWidget, help_->windowFlags());
  help_->ShowPage(page);
  help_->show();
  help_->raise();
  help_->activateWindow();
  if (search) help_->StartSearch();
}

}  // namespace sorvan::gui
