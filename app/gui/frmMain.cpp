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

const QString kTitulo = QStringLiteral("Sorvan");
const QString kSeccion = QStringLiteral("Settings");
const QString kFiltroDatos =
    QStringLiteral("Archivos de datos espaciales (*.dae)|*.dae|"
                   "Texto delimitado (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt|"
                   "Capas GIS de puntos (*.gpkg *.shp *.geojson *.json)|*.gpkg;*.shp;*.geojson;*.json|"
                   "Todos los ficheros (*.*)|*.*");
const QString kFiltroSuperficies =
    QStringLiteral("Archivos de superficies (*.sup)|*.sup|Todos los ficheros (*.*)|*.*");
const QString kFiltroVariogramas =
    QStringLiteral("Archivos datos semivariograma (*.sv)|*.sv|Todos los ficheros (*.*)|*.*");

// Window placement in twips, as stored, with the defaults of a first run.
constexpr double kIzquierdaDefecto = 1000, kArribaDefecto = 1000;
constexpr double kAnchoDefecto = 6500, kAltoDefecto = 6500;

QAction* accion(QObject* padre, const QString& texto, bool habilitada = true,
                const QKeySequence& atajo = {}) {
  auto* a = new QAction(texto, padre);
  a->setEnabled(habilitada);
  if (!atajo.isEmpty()) a->setShortcut(atajo);
  return a;
}

// The "Abrir" file dialog for one kind of file, starting in the folder of the
// last file chosen (in this run or an earlier one). False when the user cancels.
bool PideArchivoAbrir(QWidget* owner, const QString& filtro, QString& archivo) {
  cFileDlg dlg;
  dlg.OwnerHwnd = owner;
  dlg.Filter = filtro;
  dlg.FilterIndex = 1;
  dlg.InitDirectory = cFileDlg::LastFolder();
  return dlg.VBGetOpenFileName(archivo);
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), sesion_(std::make_unique<sorvan::core::KrigingSession>()) {
  Principal::IniciarRecursos();
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(kTitulo);
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
  connect(mdi_, &QMdiArea::subWindowActivated, this, &frmMain::actualizarAccionesDatos);

  // Load: placement, start-up folder, "&Kriging" greyed until data are open.
  readSettings();
  carpetaInicio_ = QDir::currentPath();
  HabilitarKriging(false);
  MensajeBE(QStringLiteral("Preparado"));
}

frmMain::~frmMain() = default;

void frmMain::createActions() {
  mnuNuevo_ = accion(this, QStringLiteral("&Nuevo"), true, QKeySequence(Qt::CTRL | Qt::Key_N));
  mnuDatos_ = accion(this, QStringLiteral("&Datos"));
  mnuSuperficie_ = accion(this, QStringLiteral("&Superficie"));
  mnuVariograma_ = accion(this, QStringLiteral("&Variograma"));
  mnuGAnimDatos_ = accion(this, QStringLiteral("&Datos"), false);
  mnuGAnimSup_ = accion(this, QStringLiteral("&Superficies"));
  mnuGAnimBMP_ = accion(this, QStringLiteral("&Archivos BMP"));
  mnuCerrar_ = accion(this, QStringLiteral("&Cerrar"), false);
  mnuGuardar_ = accion(this, QStringLiteral("&Guardar"), false, QKeySequence(Qt::CTRL | Qt::Key_S));
  mnuGuardarComo_ = accion(this, QStringLiteral("G&uardar como..."), false);
  mnuGuardarTodo_ = accion(this, QStringLiteral("Guardar &todo"), false);
  mnuInformacion_ = accion(this, QStringLiteral("&Información"), false);
  mnuSalir_ = accion(this, QStringLiteral("&Salir"));

  mnuDeshacer_ = accion(this, QStringLiteral("&Deshacer"), false, QKeySequence(Qt::CTRL | Qt::Key_Z));
  mnuCortar_ = accion(this, QStringLiteral("Cor&tar"), false, QKeySequence(Qt::CTRL | Qt::Key_X));
  mnuCopiar_ = accion(this, QStringLiteral("&Copiar"), false, QKeySequence(Qt::CTRL | Qt::Key_C));
  mnuPegar_ = accion(this, QStringLiteral("&Pegar"), false, QKeySequence(Qt::CTRL | Qt::Key_V));

  mnuKriging2D_ = accion(this, QStringLiteral("Kriging &2D"));
  mnuKriging3D_ = accion(this, QStringLiteral("Kriging &3D"), false);
  mnuCokriging_ = accion(this, QStringLiteral("&Cokriging"), false);
  mnuAnimar_ = accion(this, QStringLiteral("&Animar..."));

  mnuCascada_ = accion(this, QStringLiteral("&Cascada"));
  mnuMosaicoH_ = accion(this, QStringLiteral("Mosaico &horizontal"));
  mnuMosaicoV_ = accion(this, QStringLiteral("Mosaico &vertical"));
  mnuOrganizar_ = accion(this, QStringLiteral("&Organizar iconos"));

  mnuContenido_ = accion(this, QStringLiteral("&Contenido"), true, QKeySequence(Qt::Key_F1));
  mnuBuscarAyuda_ = accion(this, QStringLiteral("&Buscar ayuda en..."));
  mnuAcercaDe_ = accion(this, QStringLiteral("&Acerca de Sorvan..."));

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
    if (datos_) datos_->Guardar();
  });
  connect(mnuGuardarComo_, &QAction::triggered, this, [this] {
    // On a surface window of the last run: its surfaces for GIS programs.
    QMdiSubWindow* activa = mdi_->activeSubWindow();
    if (activa && activa->widget() && activa->widget()->property("superficieDelCalculo").toBool()) {
      ExportarSuperficies(this, *sesion_);
      return;
    }
    if (activa && activa->widget() && !activa->widget()->property("archivoSuperficie").toString().isEmpty()) {
      ExportarSuperficieArchivo(this, activa->widget()->property("archivoSuperficie").toString());
      return;
    }
    if (datos_) datos_->GuardarComo();
  });
  // The data set is the one document the program edits.
  connect(mnuGuardarTodo_, &QAction::triggered, this, [this] {
    if (datos_ && datos_->Modificado()) datos_->Guardar();
  });
  connect(mnuInformacion_, &QAction::triggered, this, &frmMain::mnuInformacionDatos);
  connect(mnuDeshacer_, &QAction::triggered, this, [this] {
    if (datos_) datos_->Deshacer();
  });
  connect(mnuCortar_, &QAction::triggered, this, [this] {
    if (datos_) datos_->Cortar();
  });
  connect(mnuCopiar_, &QAction::triggered, this, [this] {
    if (datos_) datos_->Copiar();
  });
  connect(mnuPegar_, &QAction::triggered, this, [this] {
    if (datos_) datos_->Pegar();
  });
  connect(mnuSuperficie_, &QAction::triggered, this, &frmMain::mnuAbrirSuperficie);
  connect(mnuVariograma_, &QAction::triggered, this, &frmMain::mnuAbrirVariograma);
  connect(mnuGAnimDatos_, &QAction::triggered, this, [this] { GenerarAnimacionDatos(*this); });
  connect(mnuGAnimSup_, &QAction::triggered, this, [this] { MostrarAnimBMP(*this, true); });
  connect(mnuGAnimBMP_, &QAction::triggered, this, [this] { MostrarAnimBMP(*this, false); });
  connect(mnuSalir_, &QAction::triggered, this, &QWidget::close);
  connect(mnuKriging2D_, &QAction::triggered, this, [this] { MostrarKriging2D(*this); });
  connect(mnuAnimar_, &QAction::triggered, this, [this] { MostrarAnimK2D(*this); });
  connect(mnuCascada_, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(mnuMosaicoH_, &QAction::triggered, this, [this] { mosaico(Qt::Horizontal); });
  connect(mnuMosaicoV_, &QAction::triggered, this, [this] { mosaico(Qt::Vertical); });
  connect(mnuOrganizar_, &QAction::triggered, this, &frmMain::organizarIconos);
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
  AgregarMenusValidacion(mnuKriging_, this, *sesion_);
  mnuKriging_->addSeparator();
  mnuKriging_->addAction(mnuAnimar_);

  // The window list is rebuilt each time the menu opens.
  mnuVentana_ = menuBar()->addMenu(QStringLiteral("&Ventana"));
  connect(mnuVentana_, &QMenu::aboutToShow, this, &frmMain::actualizarMenuVentana);
  actualizarMenuVentana();

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

void frmMain::actualizarMenuVentana() {
  mnuVentana_->clear();
  mnuVentana_->addAction(mnuCascada_);
  mnuVentana_->addAction(mnuMosaicoH_);
  mnuVentana_->addAction(mnuMosaicoV_);
  mnuVentana_->addAction(mnuOrganizar_);

  const QList<QMdiSubWindow*> ventanas = mdi_->subWindowList();
  bool separator = false;
  int n = 0;
  for (QMdiSubWindow* v : ventanas) {
    if (!v->isVisible()) continue;  // a closed window kept for reuse
    if (!separator) {
      mnuVentana_->addSeparator();
      separator = true;
    }
    ++n;
    // Access keys 1 to 9 for the first nine, as the system's window lists do.
    QString titulo = v->windowTitle();
    titulo.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString texto = n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(titulo)
                                 : QStringLiteral("%1 %2").arg(n).arg(titulo);
    QAction* a = mnuVentana_->addAction(texto);
    a->setCheckable(true);
    a->setChecked(v == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, v] {
      if (v->isMinimized()) v->showNormal();
      mdi_->setActiveSubWindow(v);
    });
  }
}

void frmMain::mosaico(Qt::Orientation orientacion) {
  // Tiles the visible, non-minimised child windows in one row (vertical
  // tiling: side by side) or one column (horizontal tiling: one above another).
  QList<QMdiSubWindow*> ventanas;
  for (QMdiSubWindow* v : mdi_->subWindowList())
    if (v->isVisible() && !v->isMinimized()) ventanas << v;
  if (ventanas.isEmpty()) return;
  const QRect area = mdi_->viewport()->rect();
  const int n = static_cast<int>(ventanas.size());
  for (int i = 0; i < n; ++i) {
    ventanas[i]->showNormal();
    if (orientacion == Qt::Horizontal) {
      const int alto = area.height() / n;
      ventanas[i]->setGeometry(0, i * alto, area.width(), i == n - 1 ? area.height() - i * alto : alto);
    } else {
      const int width = area.width() / n;
      ventanas[i]->setGeometry(i * width, 0, i == n - 1 ? area.width() - i * width : width, area.height());
    }
  }
}

void frmMain::organizarIconos() {
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
  const QString textos[4] = {QStringLiteral("Inicializando..."), QStringLiteral("Kriging 2D"),
                             QStringLiteral("Versión %1").arg(QStringLiteral(SORVAN_VERSION_TEXT)),
                             QTime::currentTime().toString(QStringLiteral("HH:mm"))};
  for (int i = 0; i < 4; ++i) {
    panel_[i] = new QLabel(textos[i], sbBarraEstado);
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
  reloj_ = new QTimer(this);
  reloj_->setInterval(1000);
  connect(reloj_, &QTimer::timeout, this, [this] {
    panel_[3]->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
  });
  reloj_->start();
}

void frmMain::MensajeBE(const QString& text) {
  panel_[0]->setText(text);
  // Paint now: the caller may block the event loop right after this.
  statusBar()->repaint();
  panel_[0]->repaint();
}

QString frmMain::TextoEstado() const { return panel_[0]->text(); }

void frmMain::readSettings() {
  // Twips are converted with the logical resolution of the screen the window
  // will be on (96 dpi on most desktops).
  SettingsStore store;
  const double izquierda = store.GetSetting(kSeccion, QStringLiteral("MainLeft"), kIzquierdaDefecto);
  const double arriba = store.GetSetting(kSeccion, QStringLiteral("MainTop"), kArribaDefecto);
  const double width = store.GetSetting(kSeccion, QStringLiteral("MainWidth"), kAnchoDefecto);
  const double alto = store.GetSetting(kSeccion, QStringLiteral("MainHeight"), kAltoDefecto);
  QScreen* pantalla = QGuiApplication::primaryScreen();
  const double dpiX = pantalla ? pantalla->logicalDotsPerInchX() : 96.0;
  const double dpiY = pantalla ? pantalla->logicalDotsPerInchY() : 96.0;
  QRect r(TwipsToPixels(izquierda, dpiX), TwipsToPixels(arriba, dpiY), TwipsToPixels(width, dpiX),
          TwipsToPixels(alto, dpiY));
  // A window too small to use, or stored on a screen that is no longer there,
  // would be lost to the user: fall back to the first-run placement then.
  const bool visible = QGuiApplication::screenAt(r.topLeft() + QPoint(20, 20)) != nullptr;
  if (r.width() < 200 || r.height() < 150 || !visible)
    r = QRect(TwipsToPixels(kIzquierdaDefecto, dpiX), TwipsToPixels(kArribaDefecto, dpiY),
              TwipsToPixels(kAnchoDefecto, dpiX), TwipsToPixels(kAltoDefecto, dpiY));
  move(r.topLeft());
  resize(r.size());
  // A window closed maximised comes back maximised (its normal placement,
  // above, is where it goes when the user restores it).
  if (store.GetSetting(kSeccion, QStringLiteral("MainMaximized"), 0) != 0)
    setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::writeSettings() {
  QScreen* pantalla = screen();
  const double dpiX = pantalla ? pantalla->logicalDotsPerInchX() : 96.0;
  const double dpiY = pantalla ? pantalla->logicalDotsPerInchY() : 96.0;
  SettingsStore store;
  // Maximised, the placement kept is the normal one the window returns to.
  const bool maximizada = isMaximized();
  const QRect r = maximizada ? normalGeometry() : QRect(pos(), size());
  store.SaveSetting(kSeccion, QStringLiteral("MainMaximized"), maximizada ? 1 : 0);
  store.SaveSetting(kSeccion, QStringLiteral("MainLeft"), PixelsToTwips(r.x(), dpiX));
  store.SaveSetting(kSeccion, QStringLiteral("MainTop"), PixelsToTwips(r.y(), dpiY));
  store.SaveSetting(kSeccion, QStringLiteral("MainWidth"), PixelsToTwips(r.width(), dpiX));
  store.SaveSetting(kSeccion, QStringLiteral("MainHeight"), PixelsToTwips(r.height(), dpiY));
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Unsaved data are never lost without a question.
  if (datos_ && datos_->isVisible() && !datos_->PreguntarGuardar()) {
    event->ignore();
    return;
  }
  // The dialogs may be loaded but hidden; they go first.
  DescargarDialogosKriging();
  DescargarDialogosAnimacion();
  // A minimised window's placement is not the user's: keep the stored one.
  if (!isMinimized()) writeSettings();
  event->accept();
}

void frmMain::NuevoGraf2D(const QString& file, const QString& title) {
  QString error;
  if (!AbrirGraf2D(mdi_, file, title, &error))
    QMessageBox::warning(this, kTitulo,
                         error.isEmpty() ? QStringLiteral("No se pudo abrir el semivariograma \"%1\".")
                                               .arg(QDir::toNativeSeparators(file))
                                         : error);
}

void frmMain::NuevoGraf3D(int kind, const QString& title) {
  QString error;
  if (!AbrirGraf3D(mdi_, kind, title, *sesion_, &error))
    QMessageBox::warning(this, kTitulo,
                         error.isEmpty() ? QStringLiteral("No se pudo abrir la superficie \"%1\".")
                                               .arg(QDir::toNativeSeparators(title))
                                         : error);
}

QMdiArea* frmMain::AreaMDI() { return mdi_; }
QString frmMain::CarpetaInicio() const { return carpetaInicio_; }
sorvan::core::KrigingSession& frmMain::Sesion() { return *sesion_; }
frmDatos* frmMain::Datos() const { return datos_; }
frmAyuda* frmMain::Ayuda() const { return ayuda_.data(); }

void frmMain::HabilitarKriging(bool enabled) {
  // The menu title itself goes grey, so the whole menu cannot be opened.
  mnuKriging_->menuAction()->setEnabled(enabled);
  mnuKriging_->setEnabled(enabled);
}

bool frmMain::KrigingHabilitado() const { return mnuKriging_->menuAction()->isEnabled(); }

bool frmMain::AbrirDatos(const QString& path) {
  const QString ruta = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  // Back to the front, restored if minimised (a maximised window stays so).
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  MensajeBE(QStringLiteral("Cargando DATOS..."));

  // Edits not saved yet are not dropped by opening another file.
  if (datos_ && datos_->isVisible() && !datos_->PreguntarGuardar()) {
    MensajeBE(QStringLiteral("Preparado"));
    return false;
  }
  creaVentanaDatos();
  // A failed load leaves everything as it was, caption and visibility included.
  const bool estabaAbierta = subDatos_->isVisible() && datos_->isVisible();
  const QString tituloAnterior = datos_->windowTitle();
  datos_->setWindowTitle(ruta);
  datos_->show();
  subDatos_->show();
  mdi_->setActiveSubWindow(subDatos_);

  const bool ok = datos_->IniData(path);
  if (ok) {
    sesion_->dataFile = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    sesion_->optionsReady = false;  // new columns: defaults are taken afresh
    sesion_->duplicates = sorvan::core::DuplicatePolicy::Error;  // asked again for these data
  } else if (estabaAbierta) {
    datos_->setWindowTitle(tituloAnterior);
  } else {
    subDatos_->close();
    datos_->setWindowTitle(tituloAnterior);
  }
  actualizarAccionesDatos();
  MensajeBE(QStringLiteral("Preparado"));
  return ok;
}

void frmMain::creaVentanaDatos() {
  if (datos_) return;
  datos_ = new frmDatos(sesion_->data);
  // The automatic grid options come from the coordinate columns' extremes.
  connect(datos_, &frmDatos::DatoEditado, this, [this](int, int col) {
    if (col == sesion_->colX || col == sesion_->colY) sesion_->optionsReady = false;
  });
  connect(datos_, &frmDatos::EstadoCambiado, this, &frmMain::actualizarAccionesDatos);
  subDatos_ = new QMdiSubWindow;
  subDatos_->setWidget(datos_);
  subDatos_->setWindowIcon(windowIcon());
  mdi_->addSubWindow(subDatos_);
  subDatos_->resize(mdi_->viewport()->size() * 0.9);
}

void frmMain::actualizarAccionesDatos() {
  const bool hay = datos_ && subDatos_ && subDatos_->isVisible();
  for (QAction* a : {mnuCerrar_, mnuInformacion_, mnuCortar_, mnuCopiar_, mnuPegar_}) a->setEnabled(hay);
  QMdiSubWindow* activa = mdi_->activeSubWindow();
  const bool superficie = activa && activa->widget() &&
                          (activa->widget()->property("superficieDelCalculo").toBool() ||
                           !activa->widget()->property("archivoSuperficie").toString().isEmpty());
  mnuGuardarComo_->setEnabled(hay || superficie);
  mnuGuardar_->setEnabled(hay);
  mnuGuardarTodo_->setEnabled(hay && datos_->Modificado());
  mnuDeshacer_->setEnabled(hay && datos_->PuedeDeshacer());
}

void frmMain::mnuNuevoDatos() {
  if (datos_ && datos_->isVisible() && !datos_->PreguntarGuardar()) return;
  bool ok = false;
  const QString names = QInputDialog::getText(this, QStringLiteral("Nuevos datos"),
                                                QStringLiteral("Nombres de las columnas, separados por comas:"),
                                                QLineEdit::Normal, QStringLiteral("x, y, z"), &ok);
  if (!ok) return;
  QStringList columns = names.split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (QString& c : columns) c = c.trimmed();
  columns.removeAll(QString());
  if (columns.isEmpty()) {
    QMessageBox::warning(this, kTitulo, QStringLiteral("Hace falta al menos una columna."));
    return;
  }
  const int rows = QInputDialog::getInt(this, QStringLiteral("Nuevos datos"), QStringLiteral("Número de filas:"),
                                         100, 1, 10000000, 1, &ok);
  if (!ok) return;
  creaVentanaDatos();
  datos_->Nuevo(columns, rows);
  sesion_->dataFile.clear();
  sesion_->optionsReady = false;
  datos_->show();
  subDatos_->show();
  mdi_->setActiveSubWindow(subDatos_);
  actualizarAccionesDatos();
}

void frmMain::mnuInformacionDatos() {
  if (!datos_ || sesion_->data.empty()) return;
  QMessageBox caja(QMessageBox::Information, QStringLiteral("Información de los datos"),
                   QString::fromStdString(sorvan::core::DataSummary(sesion_->data, sesion_->colX, sesion_->colY)),
                   QMessageBox::Ok, this);
  caja.setObjectName(QStringLiteral("InformacionDatos"));
  caja.exec();
}

void frmMain::mnuAbrirDatos() {
  QString archivo;
  if (PideArchivoAbrir(this, kFiltroDatos, archivo)) AbrirDatos(archivo);
}

void frmMain::mnuAbrirSuperficie() {
  QString archivo;
  if (PideArchivoAbrir(this, kFiltroSuperficies, archivo)) NuevoGraf3D(3, archivo);
}

void frmMain::mnuAbrirVariograma() {
  QString archivo;
  if (PideArchivoAbrir(this, kFiltroVariogramas, archivo))
    NuevoGraf2D(archivo, QStringLiteral("Semivariograma de ") + archivo);
}

void frmMain::mnuAcercaDe() {
  frmAbout acerca(this);
  acerca.exec();
}

void frmMain::ShowHelp(const QString& page, bool search) {
  // Asked from a modal dialog, the help window belongs to that dialog, or the
  // dialog would keep the user out of it.
  QWidget* dueno = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
  if (!ayuda_) ayuda_ = new frmAyuda(dueno);
  else if (ayuda_->parentWidget() != dueno) ayuda_->setParent(dueno, ayuda_->windowFlags());
  ayuda_->MostrarPagina(page);
  ayuda_->show();
  ayuda_->raise();
  ayuda_->activateWindow();
  if (search) ayuda_->EmpezarBusqueda();
}

}  // namespace sorvan::gui
