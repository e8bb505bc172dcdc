// The main window driven as the user sees it: menus, status bar, placement kept
// between runs, opening data files (good, bad, too long), the window list, the
// About box and the start-up with its splash window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "core/kriging_session.h"
#include "gui/Principal.h"
#include "gui/frmAbout.h"
#include "gui/frmDatos.h"
#include "gui/frmMain.h"
#include "gui/frmSplash.h"
#include "gui_test_support.h"
#include "platform/data_grid.h"
#include "platform/settings_store.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

using test_data::AlAparecerModal;
using test_data::EligeArchivo;

namespace {

QString meuse() { return QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"; }

// Answers the next message box with OK and remembers its title and text.
struct Mensaje {
  bool visto = false;
  QString title, text;
  QMessageBox::Icon icono = QMessageBox::NoIcon;
  void esperar() {
    AlAparecerModal([this](QWidget* w) {
      auto* caja = qobject_cast<QMessageBox*>(w);
      if (!caja) return;
      visto = true;
      title = caja->windowTitle();
      text = caja->text();
      icono = caja->icon();
      caja->accept();
    });
  }
};

void escribir(const QString& path, const QByteArray& content) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
}

QStringList textos(QMenu* menu) {
  QStringList t;
  for (QAction* a : menu->actions()) t << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return t;
}

QMenu* menu(frmMain& w, const char* nombre) { return w.findChild<QMenu*>(QString::fromLatin1(nombre)); }
QAction* item(frmMain& w, const char* nombre) { return w.findChild<QAction*>(QString::fromLatin1(nombre)); }

double dpiX() { return QGuiApplication::primaryScreen()->logicalDotsPerInchX(); }
double dpiY() { return QGuiApplication::primaryScreen()->logicalDotsPerInchY(); }

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(ajustes_.isValid());
    ASSERT_TRUE(datos_.isValid());
  }
  test_data::TemporarySettings ajustes_;  // each test starts with an empty settings store of its own
  QTemporaryDir datos_;
};

TEST_F(MainWindowTest, MenusHaveTheirCaptionsKeysAndStates) {
  frmMain w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Sorvan"));
  QStringList barra;
  for (QAction* a : w.menuBar()->actions()) barra << a->text();
  EXPECT_EQ(barra, QStringList({"&Archivo", "&Edición", "&Kriging", "&Ventana", "Ay&uda"}));

  EXPECT_EQ(textos(menu(w, "mnuArchivo")),
            QStringList({"&Nuevo", "&Abrir", "&Generar animación", "&Cerrar", "-", "&Guardar",
                         "G&uardar como...", "Guardar &todo", "-", "&Información", "&Salir"}));
  EXPECT_EQ(textos(menu(w, "mnuAbrir")), QStringList({"&Datos", "&Superficie", "&Variograma"}));
  EXPECT_EQ(textos(menu(w, "mnuGenerarAnim")),
            QStringList({"&Datos", "&Superficies", "&Archivos BMP"}));
  EXPECT_EQ(textos(menu(w, "mnuEdicion")),
            QStringList({"&Deshacer", "-", "Cor&tar", "&Copiar", "&Pegar"}));
  EXPECT_EQ(textos(menu(w, "mnuKriging")),
            QStringList({"Kriging &2D", "Kriging &3D", "&Cokriging", "-", "&Validación cruzada",
                         "Compa&rar modelos", "&Modelo del semivariograma", "-", "&Animar..."}));
  EXPECT_EQ(textos(menu(w, "mnuVentana")),
            QStringList({"&Cascada", "Mosaico &horizontal", "Mosaico &vertical", "&Organizar iconos"}));
  EXPECT_EQ(textos(menu(w, "mnuAyuda")),
            QStringList({"&Contenido", "&Buscar ayuda en...", "-", "&Acerca de Sorvan..."}));

  // Nuevo is always there; the data set's commands wait for a data window.
  EXPECT_TRUE(item(w, "mnuNuevo")->isEnabled());
  for (const char* gris : {"mnuGAnimDatos", "mnuCerrar", "mnuGuardar", "mnuGuardarComo",
                           "mnuGuardarTodo", "mnuInformacion", "mnuDeshacer", "mnuCortar", "mnuCopiar",
                           "mnuPegar", "mnuKriging3D", "mnuCokriging"})
    EXPECT_FALSE(item(w, gris)->isEnabled()) << gris;
  for (const char* active : {"mnuDatos", "mnuSuperficie", "mnuVariograma", "mnuGAnimSup", "mnuGAnimBMP",
                             "mnuSalir", "mnuKriging2D", "mnuAnimar", "mnuCascada", "mnuMosaicoH",
                             "mnuMosaicoV", "mnuOrganizar", "mnuContenido", "mnuBuscarAyuda", "mnuAcercaDe"})
    EXPECT_TRUE(item(w, active)->isEnabled()) << active;

  EXPECT_EQ(item(w, "mnuNuevo")->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(item(w, "mnuGuardar")->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(item(w, "mnuDeshacer")->shortcut(), QKeySequence("Ctrl+Z"));
  EXPECT_EQ(item(w, "mnuCortar")->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(item(w, "mnuCopiar")->shortcut(), QKeySequence("Ctrl+C"));
  EXPECT_EQ(item(w, "mnuPegar")->shortcut(), QKeySequence("Ctrl+V"));

  // No data yet: the whole "&Kriging" menu is grey.
  EXPECT_FALSE(menu(w, "mnuKriging")->menuAction()->isEnabled());
  EXPECT_FALSE(w.KrigingHabilitado());
}

TEST_F(MainWindowTest, StatusBarHasFourPanelsReadyAndTheTime) {
  frmMain w;
  w.show();
  auto* p1 = w.findChild<QLabel*>("panel1");
  auto* p4 = w.findChild<QLabel*>("panel4");
  ASSERT_TRUE(p1 && p4 && w.findChild<QLabel*>("panel2") && w.findChild<QLabel*>("panel3"));
  EXPECT_EQ(p1->text(), QStringLiteral("Preparado"));
  EXPECT_EQ(p1->toolTip(), QStringLiteral("Estado del programa"));
  EXPECT_FALSE(w.findChild<QLabel*>("panel2")->text().isEmpty());
  EXPECT_FALSE(w.findChild<QLabel*>("panel3")->text().isEmpty());
  const QTime ahora = QTime::fromString(p4->text(), "HH:mm");
  ASSERT_TRUE(ahora.isValid()) << p4->text().toStdString();
  EXPECT_LE(std::abs(ahora.secsTo(QTime::currentTime())), 120);
  // The clock is kept current.
  p4->setText("--:--");
  QTest::qWait(1200);
  EXPECT_TRUE(QTime::fromString(p4->text(), "HH:mm").isValid());
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
  int n = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++n;
    return false;
  }
};

TEST_F(MainWindowTest, MensajeBEPaintsTheTextAtOnce) {
  frmMain w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto* p1 = w.findChild<QLabel*>("panel1");
  PaintCounter contador;
  p1->installEventFilter(&contador);
  // No event processing between the call and the check, as during a long
  // synchronous computation.
  w.MensajeBE("Generando superficies kriging (zinc)...");
  EXPECT_EQ(w.TextoEstado(), QStringLiteral("Generando superficies kriging (zinc)..."));
  EXPECT_EQ(p1->text(), w.TextoEstado());
  EXPECT_TRUE(p1->isVisible());
  EXPECT_GE(contador.n, 1);
}

TEST_F(MainWindowTest, FirstRunOpensAtTheDefaultPlacement) {
  frmMain w;
  EXPECT_EQ(w.pos(), QPoint(TwipsToPixels(1000, dpiX()), TwipsToPixels(1000, dpiY())));
  EXPECT_EQ(w.size(), QSize(TwipsToPixels(6500, dpiX()), TwipsToPixels(6500, dpiY())));
}

TEST_F(MainWindowTest, PlacementIsKeptBetweenRunsInTwips) {
  {
    frmMain w;
    w.show();
    w.move(120, 90);
    w.resize(700, 520);
    QTest::qWait(50);
    w.close();
  }
  SettingsStore store;
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainWidth", -1), PixelsToTwips(700, dpiX()));
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainHeight", -1), PixelsToTwips(520, dpiY()));
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainLeft", -1), PixelsToTwips(120, dpiX()));
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainTop", -1), PixelsToTwips(90, dpiY()));
  frmMain otra;
  EXPECT_EQ(otra.size(), QSize(700, 520));
  EXPECT_EQ(otra.pos(), QPoint(120, 90));
}

TEST_F(MainWindowTest, ClosingWhileMinimisedKeepsTheStoredPlacement) {
  SettingsStore store;
  store.SaveSetting("Settings", "MainLeft", 1500);
  store.SaveSetting("Settings", "MainTop", 1200);
  store.SaveSetting("Settings", "MainWidth", 9000);
  store.SaveSetting("Settings", "MainHeight", 8000);
  {
    frmMain w;
    w.show();
    w.resize(300, 250);
    w.showMinimized();
    QTest::qWait(50);
    ASSERT_TRUE(w.isMinimized());
    w.close();
  }
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainLeft", -1), 1500);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainTop", -1), 1200);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainWidth", -1), 9000);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainHeight", -1), 8000);
}

// A window closed maximised comes back maximised after a restart, and its
// normal placement is the one it had before it was maximised.
TEST_F(MainWindowTest, AMaximisedWindowComesBackMaximised) {
  {
    frmMain w;
    w.show();
    w.move(100, 80);
    w.resize(640, 480);
    QTest::qWait(50);
    w.showMaximized();
    QTest::qWait(200);
    ASSERT_TRUE(w.isMaximized());
    w.close();
  }
  SettingsStore store;
  EXPECT_EQ(store.GetSetting("Settings", "MainMaximized", -1), 1);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainWidth", -1), PixelsToTwips(640, dpiX()));
  {
    frmMain otra;
    otra.show();
    QTest::qWait(200);
    EXPECT_TRUE(otra.isMaximized());
    otra.showNormal();
    QTest::qWait(200);
    EXPECT_EQ(otra.size(), QSize(640, 480));
    otra.close();
  }
  EXPECT_EQ(store.GetSetting("Settings", "MainMaximized", -1), 0);
  frmMain tercera;
  tercera.show();
  QTest::qWait(100);
  EXPECT_FALSE(tercera.isMaximized());
}

// After a restart the "Abrir" dialogs open in the folder of the last file
// chosen, not in the folder the program was launched from.
TEST_F(MainWindowTest, TheFileDialogsRememberTheLastFolderAcrossRestarts) {
  const QString previa = QDir::currentPath();
  QTemporaryDir otraCarpeta;
  ASSERT_TRUE(otraCarpeta.isValid());
  {
    frmMain w;
    w.show();
    AlAparecerModal([&](QWidget* m) {
      auto* fd = qobject_cast<QFileDialog*>(m);
      ASSERT_NE(fd, nullptr);
      EligeArchivo(fd, meuse());
    });
    item(w, "mnuDatos")->trigger();
    ASSERT_EQ(w.Sesion().data.N, 155);
    w.close();
  }
  // A new run, launched elsewhere.
  QDir::setCurrent(otraCarpeta.path());
  frmMain w;
  w.show();
  QString inicial;
  AlAparecerModal([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    inicial = fd->directory().canonicalPath();
    fd->reject();
  });
  item(w, "mnuSuperficie")->trigger();
  EXPECT_EQ(inicial, QFileInfo(meuse()).canonicalPath());
  QDir::setCurrent(previa);
}

TEST_F(MainWindowTest, UnreadableStoredPlacementFallsBackToTheDefaults) {
  QSettings crudo("Sorvan", "Sorvan");
  crudo.setValue("Settings/MainWidth", "ancho");
  crudo.setValue("Settings/MainLeft", "-99999999");
  crudo.sync();
  frmMain w;
  EXPECT_EQ(w.size().width(), TwipsToPixels(6500, dpiX()));
  EXPECT_EQ(w.pos(), QPoint(TwipsToPixels(1000, dpiX()), TwipsToPixels(1000, dpiY())));
}

TEST_F(MainWindowTest, OpeningDataFillsTheGridAndEnablesKriging) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.AbrirDatos(meuse()));
  EXPECT_EQ(w.TextoEstado(), QStringLiteral("Preparado"));
  frmDatos* d = w.Datos();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), QDir::toNativeSeparators(QFileInfo(meuse()).absoluteFilePath()));
  DataGrid* g = d->MSFGrid();
  EXPECT_EQ(g->Rows(), 156);
  EXPECT_EQ(g->Cols(), 9);
  EXPECT_EQ(g->TextMatrix(0, 1), QStringLiteral("x"));
  EXPECT_EQ(g->TextMatrix(0, 4), QStringLiteral("logzinc"));
  EXPECT_EQ(g->TextMatrix(1, 0), QStringLiteral("1"));
  EXPECT_EQ(g->TextMatrix(155, 0), QStringLiteral("155"));
  EXPECT_EQ(g->TextMatrix(1, 1), QStringLiteral("181072"));
  EXPECT_EQ(g->TextMatrix(1, 4), QStringLiteral("6.929517"));
  EXPECT_EQ(g->TextMatrix(1, 8), QStringLiteral("7.909"));
  const sorvan::core::SpatialData& data = w.Sesion().data;
  EXPECT_EQ(data.N, 155);
  EXPECT_EQ(data.nvar, 8);
  EXPECT_FLOAT_EQ(data.value(1, 3), 1022.f);
  EXPECT_TRUE(w.KrigingHabilitado());
  EXPECT_TRUE(menu(w, "mnuKriging")->menuAction()->isEnabled());

  // The window list names the data window, checked as the active one.
  emit menu(w, "mnuVentana")->aboutToShow();
  const QStringList lista = textos(menu(w, "mnuVentana"));
  ASSERT_EQ(lista.size(), 6);
  EXPECT_EQ(lista[4], "-");
  EXPECT_EQ(lista[5], QStringLiteral("&1 ") + d->windowTitle());

  // Closing the data window greys "&Kriging" again; the data stay in memory.
  w.AreaMDI()->closeAllSubWindows();
  QTest::qWait(20);
  EXPECT_FALSE(w.KrigingHabilitado());
  EXPECT_EQ(w.Sesion().data.N, 155);
  emit menu(w, "mnuVentana")->aboutToShow();
  EXPECT_EQ(textos(menu(w, "mnuVentana")).size(), 4);

  // Opening again reuses the one data window.
  ASSERT_TRUE(w.AbrirDatos(meuse()));
  EXPECT_EQ(w.Datos(), d);
  EXPECT_TRUE(w.KrigingHabilitado());
}

TEST_F(MainWindowTest, TheDataMenuAsksForAFileAndMovesTheWorkingFolder) {
  const QString previa = QDir::currentPath();
  QDir::setCurrent(datos_.path());
  frmMain w;
  w.show();
  QStringList filtros;
  AlAparecerModal([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    filtros = fd->nameFilters();
    EligeArchivo(fd, meuse());
  });
  item(w, "mnuDatos")->trigger();
  ASSERT_EQ(filtros.size(), 4);
  EXPECT_TRUE(filtros[0].startsWith("Archivos de datos espaciales (*.dae)"));
  EXPECT_TRUE(filtros[1].startsWith("Texto delimitado (*.csv *.tsv *.txt)")) << filtros[1].toStdString();
  EXPECT_TRUE(filtros[2].startsWith("Capas GIS de puntos (*.gpkg *.shp *.geojson *.json)")) << filtros[2].toStdString();
  EXPECT_TRUE(filtros[3].startsWith("Todos los ficheros (*.*)"));
  EXPECT_EQ(w.Sesion().data.N, 155);
  EXPECT_TRUE(w.KrigingHabilitado());
  // The engine's files will go next to the data file; the start-up folder stays.
  EXPECT_EQ(QDir::current().canonicalPath(), QFileInfo(meuse()).canonicalPath());
  EXPECT_EQ(QDir(w.CarpetaInicio()).canonicalPath(), QDir(datos_.path()).canonicalPath());
  QDir::setCurrent(previa);
}

TEST_F(MainWindowTest, CancellingTheDataMenuChangesNothing) {
  frmMain w;
  w.show();
  AlAparecerModal([](QWidget* m) { static_cast<QDialog*>(m)->reject(); });
  item(w, "mnuDatos")->trigger();
  EXPECT_EQ(w.Datos(), nullptr);
  EXPECT_FALSE(w.KrigingHabilitado());
  EXPECT_EQ(w.TextoEstado(), QStringLiteral("Preparado"));
}

TEST_F(MainWindowTest, OpeningDataKeepsAMaximisedWindowMaximised) {
  frmMain w;
  w.showMaximized();
  QTest::qWait(50);
  ASSERT_TRUE(w.AbrirDatos(meuse()));
  EXPECT_TRUE(w.isMaximized());
}

TEST_F(MainWindowTest, EditingACoordinateMakesTheAutomaticOptionsStale) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.AbrirDatos(meuse()));
  w.Sesion().colX = 1;
  w.Sesion().colY = 2;
  w.Sesion().optionsReady = true;
  DataGrid* g = w.Datos()->MSFGrid();
  g->SetCurrentCell(4, 3);  // zinc: not a coordinate
  QTest::keyClick(g, Qt::Key_5);
  QTest::keyClick(w.Datos()->TxtEdit(), Qt::Key_Return);
  EXPECT_TRUE(w.Sesion().optionsReady);
  g->SetCurrentCell(4, 1);  // x
  QTest::keyClick(g, Qt::Key_5);
  QTest::keyClick(w.Datos()->TxtEdit(), Qt::Key_Return);
  EXPECT_FLOAT_EQ(w.Sesion().data.minimum[0], 5.f);
  EXPECT_FALSE(w.Sesion().optionsReady);
}

TEST_F(MainWindowTest, ABadFileIsNamedWithItsLineAndTheEarlierDataStay) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.AbrirDatos(meuse()));
  const QString tituloAntes = w.Datos()->windowTitle();
  const QString malo = datos_.filePath("malo.dae");
  escribir(malo, "\"Prueba\"\n2,3\n\"a\",\"A\",0\n\"b\",\"B\",0\n1,2\n3,cuatro\n5,6\n");

  Mensaje m;
  m.esperar();
  EXPECT_FALSE(w.AbrirDatos(malo));
  ASSERT_TRUE(m.visto);
  EXPECT_EQ(m.title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(m.text.contains("malo.dae")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("6")) << m.text.toStdString();  // the line of "cuatro"
  EXPECT_EQ(w.Sesion().data.N, 155);
  EXPECT_EQ(w.Datos()->MSFGrid()->Rows(), 156);
  EXPECT_EQ(w.Datos()->MSFGrid()->TextMatrix(1, 1), QStringLiteral("181072"));
  EXPECT_EQ(w.Datos()->windowTitle(), tituloAntes);
  EXPECT_TRUE(w.KrigingHabilitado());
  EXPECT_EQ(w.TextoEstado(), QStringLiteral("Preparado"));
}

TEST_F(MainWindowTest, ABadFirstFileLeavesNoDataWindowOpen) {
  frmMain w;
  w.show();
  const QString malo = datos_.filePath("corto.dae");
  escribir(malo, "\"Corto\"\n2,3\n\"a\",\"A\",0\n\"b\",\"B\",0\n1,2\n");
  Mensaje m;
  m.esperar();
  EXPECT_FALSE(w.AbrirDatos(malo));
  EXPECT_TRUE(m.visto);
  EXPECT_TRUE(m.text.contains("corto.dae"));
  EXPECT_FALSE(w.KrigingHabilitado());
  EXPECT_TRUE(w.Datos() == nullptr || !w.Datos()->isVisible());
  EXPECT_TRUE(w.Sesion().data.empty());

  Mensaje falta;
  falta.esperar();
  EXPECT_FALSE(w.AbrirDatos(datos_.filePath("no_existe.dae")));
  EXPECT_TRUE(falta.visto);
  EXPECT_TRUE(falta.text.contains("no_existe.dae"));
}

TEST_F(MainWindowTest, FilesOfAnyLengthLoadWhole) {
  // There is no longer a row limit: 5000 rows all reach the grid, silently.
  QByteArray content = "\"Largo\"\n1,5000\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 5000; ++i) content += QByteArray::number(i) + "\n";
  const QString length = datos_.filePath("largo.dae");
  escribir(length, content);
  frmMain w;
  w.show();
  Mensaje m;
  m.esperar();
  ASSERT_TRUE(w.AbrirDatos(length));
  QTest::qWait(100);
  EXPECT_FALSE(m.visto) << m.text.toStdString();
  EXPECT_EQ(w.Sesion().data.N, 5000);
  EXPECT_EQ(w.Datos()->MSFGrid()->Rows(), 5001);
  EXPECT_EQ(w.Datos()->MSFGrid()->TextMatrix(5000, 1), QStringLiteral("5000"));
}

TEST_F(MainWindowTest, RowsBeyondTheAnnouncedCountAreAWarningNamingThem) {
  QByteArray content = "\"Largo\"\n1,3\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 5; ++i) content += QByteArray::number(i) + "\n";
  const QString length = datos_.filePath("largo.dae");
  escribir(length, content);
  frmMain w;
  w.show();
  Mensaje m;
  m.esperar();
  ASSERT_TRUE(w.AbrirDatos(length));
  ASSERT_TRUE(m.visto);
  EXPECT_EQ(m.icono, QMessageBox::Warning);
  EXPECT_TRUE(m.text.contains("las 2 filas siguientes (líneas 7 a 8)")) << m.text.toStdString();
  EXPECT_EQ(w.Sesion().data.N, 3);
}

TEST_F(MainWindowTest, A2048RowFileLoadsWithoutMessage) {
  QByteArray content = "\"Justo\"\n1,2048\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 2048; ++i) content += QByteArray::number(i) + "\n";
  const QString justo = datos_.filePath("justo.dae");
  escribir(justo, content);
  frmMain w;
  w.show();
  Mensaje m;
  m.esperar();
  ASSERT_TRUE(w.AbrirDatos(justo));
  QTest::qWait(100);
  EXPECT_FALSE(m.visto);
  EXPECT_EQ(w.Sesion().data.N, 2048);
}

TEST_F(MainWindowTest, AFailedChartNamesTheFileAndTheProgramGoesOn) {
  frmMain w;
  w.show();
  Mensaje m;
  m.esperar();
  w.NuevoGraf2D(datos_.filePath("no_hay.sv"), "Semivariograma de no_hay.sv");
  ASSERT_TRUE(m.visto);
  EXPECT_EQ(m.title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(m.text.contains("no_hay.sv")) << m.text.toStdString();
  EXPECT_TRUE(w.isVisible());
}

// "Guardar como..." on a window opened from a surface file writes that
// surface: an ESRI ASCII grid whose corner, cell size, values and no-data
// agree with the file's header and rows (each node at the centre of its cell).
TEST_F(MainWindowTest, SaveAsOnASurfaceFileWindowExportsThatSurface) {
  // GRID 3 x 2, hole -99, cells 2.5 square, first node (100, 200); row i
  // holds the nodes of x = 100 + 2.5 i, for y = 200 and 202.5. Node (1, 1),
  // 0-based, is a hole.
  const QString sup = datos_.filePath("mapa.sup");
  escribir(sup, "# 1.5 6.25\nGRID 3 2\n-99 2.5 2.5 100 200\n1.5 2.25\n3.125 -99\n5 6.25\n");
  frmMain w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  AlAparecerModal([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    EligeArchivo(fd, sup);
  });
  item(w, "mnuSuperficie")->trigger();
  ASSERT_NE(w.AreaMDI()->activeSubWindow(), nullptr);
  EXPECT_TRUE(w.AreaMDI()->activeSubWindow()->windowTitle().endsWith("mapa.sup"));
  ASSERT_TRUE(item(w, "mnuGuardarComo")->isEnabled());

  const QString asc = datos_.filePath("mapa.asc");
  AlAparecerModal([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    EligeArchivo(fd, asc);
  });
  item(w, "mnuGuardarComo")->trigger();
  QFile f(asc);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << asc.toStdString();
  const QStringList lines = QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 8) << lines.join(" | ").toStdString();
  auto value = [&](int line) { return lines[line].section(' ', -1).toDouble(); };
  EXPECT_EQ(lines[0].simplified(), "ncols 3");
  EXPECT_EQ(lines[1].simplified(), "nrows 2");
  EXPECT_EQ(value(2), 100 - 2.5 / 2);  // xllcorner
  EXPECT_EQ(value(3), 200 - 2.5 / 2);  // yllcorner
  EXPECT_EQ(value(4), 2.5);            // cellsize
  const double sinDato = value(5);
  // Rows from the top (y = 202.5), X fastest.
  const QStringList arriba = lines[6].simplified().split(' '), abajo = lines[7].simplified().split(' ');
  ASSERT_EQ(arriba.size(), 3);
  ASSERT_EQ(abajo.size(), 3);
  EXPECT_EQ(abajo[0].toFloat(), 1.5f);
  EXPECT_EQ(abajo[1].toFloat(), 3.125f);
  EXPECT_EQ(abajo[2].toFloat(), 5.0f);
  EXPECT_EQ(arriba[0].toFloat(), 2.25f);
  EXPECT_EQ(arriba[1].toDouble(), sinDato);
  EXPECT_EQ(arriba[2].toFloat(), 6.25f);
  // The file holds one surface: no variance beside it.
  EXPECT_FALSE(QFile::exists(datos_.filePath("mapa_var.asc")));
}

TEST_F(MainWindowTest, AboutBoxShowsSystemInformation) {
  frmMain w;
  w.show();
  QString title, info;
  bool conBotones = false;
  AlAparecerModal([&](QWidget* m) {
    auto* acerca = qobject_cast<frmAbout*>(m);
    ASSERT_NE(acerca, nullptr);
    title = acerca->windowTitle();
    conBotones = acerca->CoAceptar()->text() == "Aceptar" && !acerca->CoInfoSistema()->text().isEmpty();
    AlAparecerModal([&, acerca](QWidget* caja) {
      if (auto* mb = qobject_cast<QMessageBox*>(caja)) {
        info = mb->text();
        mb->accept();
      }
      QTimer::singleShot(0, acerca->CoAceptar(), &QPushButton::click);
    });
    acerca->CoInfoSistema()->click();
  });
  item(w, "mnuAcercaDe")->trigger();
  EXPECT_EQ(title, QStringLiteral("Acerca de Sorvan"));
  EXPECT_TRUE(conBotones);
  EXPECT_TRUE(info.contains("Qt")) << info.toStdString();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, WindowCommandsArrangeTheChildren) {
  frmMain w;
  w.resize(800, 600);
  w.show();
  auto* a = w.AreaMDI()->addSubWindow(new QWidget);
  auto* b = w.AreaMDI()->addSubWindow(new QWidget);
  a->show();
  b->show();
  item(w, "mnuMosaicoV")->trigger();
  EXPECT_EQ(a->geometry().top(), b->geometry().top());
  EXPECT_NE(a->geometry().left(), b->geometry().left());
  item(w, "mnuMosaicoH")->trigger();
  EXPECT_EQ(a->geometry().left(), b->geometry().left());
  EXPECT_NE(a->geometry().top(), b->geometry().top());
  item(w, "mnuCascada")->trigger();
  EXPECT_NE(a->geometry().topLeft(), b->geometry().topLeft());
  a->showMinimized();
  b->showMinimized();
  item(w, "mnuOrganizar")->trigger();
  const int fondo = w.AreaMDI()->viewport()->height();
  EXPECT_EQ(a->geometry().bottom(), fondo - 1);
  EXPECT_EQ(b->geometry().bottom(), fondo - 1);
  EXPECT_NE(a->geometry().left(), b->geometry().left());
}

TEST(StartUpTest, SplashStaysUpAtLeastOneAndAHalfSeconds) {
  QElapsedTimer t;
  t.start();
  bool splashVisto = false, principalOculta = false;
  QTimer::singleShot(700, [&] {
    for (QWidget* v : QApplication::topLevelWidgets())
      if (qobject_cast<frmSplash*>(v) && v->isVisible()) splashVisto = true;
    for (QWidget* v : QApplication::topLevelWidgets())
      if (qobject_cast<frmMain*>(v)) principalOculta = !v->isVisible();
  });
  std::unique_ptr<frmMain> w(Principal::Arrancar());
  EXPECT_GT(t.elapsed(), Principal::kEsperaSplashMs);
  EXPECT_TRUE(splashVisto);
  EXPECT_TRUE(principalOculta);
  EXPECT_TRUE(w->isVisible());
  for (QWidget* v : QApplication::topLevelWidgets())
    if (qobject_cast<frmSplash*>(v)) {
      EXPECT_FALSE(v->isVisible());
    }
}

TEST(StartUpTest, ADataFileOnTheCommandLineIsOpened) {
  std::unique_ptr<frmMain> w(Principal::Arrancar(meuse()));
  ASSERT_NE(w->Datos(), nullptr);
  EXPECT_EQ(w->Sesion().data.N, 155);
  EXPECT_TRUE(w->KrigingHabilitado());
}

}  // namespace

int main(int argc, char** argv) {
  return test_data::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 10000, .ajustesPropios = true});
}
