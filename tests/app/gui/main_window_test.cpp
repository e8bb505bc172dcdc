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

using test_data::OnModalShown;
using test_data::ChooseFile;

namespace {

QString meuse() { return QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"; }

// Answers the next message box with OK and remembers its title and text.
struct Message {
  bool seen = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  void waitFor() {
    OnModalShown([this](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return;
      seen = true;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->accept();
    });
  }
};

void escribir(const QString& path, const QByteArray& content) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
}

QStringList texts(QMenu* menu) {
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
    ASSERT_TRUE(settings_.isValid());
    ASSERT_TRUE(data_.isValid());
  }
  test_data::TemporarySettings settings_;  // each test starts with an empty settings store of its own
  QTemporaryDir data_;
};

TEST_F(MainWindowTest, MenusHaveTheirCaptionsKeysAndStates) {
  frmMain w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Sorvan"));
  QStringList toolbar;
  for (QAction* a : w.menuBar()->actions()) toolbar << a->text();
  EXPECT_EQ(toolbar, QStringList({"&Archivo", "&Edición", "&Kriging", "&Ventana", "Ay&uda"}));

  EXPECT_EQ(texts(menu(w, "mnuArchivo")),
            QStringList({"&Nuevo", "&Abrir", "&Generar animación", "&Cerrar", "-", "&Guardar",
                         "G&uardar como...", "Guardar &todo", "-", "&Información", "&Salir"}));
  EXPECT_EQ(texts(menu(w, "mnuAbrir")), QStringList({"&Datos", "&Superficie", "&Variograma"}));
  EXPECT_EQ(texts(menu(w, "mnuGenerarAnim")),
            QStringList({"&Datos", "&Superficies", "&Archivos BMP"}));
  EXPECT_EQ(texts(menu(w, "mnuEdicion")),
            QStringList({"&Deshacer", "-", "Cor&tar", "&Copiar", "&Pegar"}));
  EXPECT_EQ(texts(menu(w, "mnuKriging")),
            QStringList({"Kriging &2D", "Kriging &3D", "&Cokriging", "-", "&Validación cruzada",
                         "Compa&rar modelos", "&Modelo del semivariograma", "-", "&Animar..."}));
  EXPECT_EQ(texts(menu(w, "mnuVentana")),
            QStringList({"&Cascada", "Mosaico &horizontal", "Mosaico &vertical", "&Organizar iconos"}));
  EXPECT_EQ(texts(menu(w, "mnuAyuda")),
            QStringList({"&Contenido", "&Buscar ayuda en...", "-", "&Acerca de Sorvan..."}));

  // New is always there; the data set's commands wait for a data window.
  EXPECT_TRUE(item(w, "mnuNuevo")->isEnabled());
  for (const char* grey : {"mnuGAnimDatos", "mnuCerrar", "mnuGuardar", "mnuGuardarComo",
                           "mnuGuardarTodo", "mnuInformacion", "mnuDeshacer", "mnuCortar", "mnuCopiar",
                           "mnuPegar", "mnuKriging3D", "mnuCokriging"})
    EXPECT_FALSE(item(w, grey)->isEnabled()) << grey;
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
  EXPECT_FALSE(w.KrigingEnabled());
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
  const QTime now = QTime::fromString(p4->text(), "HH:mm");
  ASSERT_TRUE(now.isValid()) << p4->text().toStdString();
  EXPECT_LE(std::abs(now.secsTo(QTime::currentTime())), 120);
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
  PaintCounter counter;
  p1->installEventFilter(&counter);
  // No event processing between the call and the check, as during a long
  // synchronous computation.
  w.MensajeBE("Generando superficies kriging (zinc)...");
  EXPECT_EQ(w.StatusText(), QStringLiteral("Generando superficies kriging (zinc)..."));
  EXPECT_EQ(p1->text(), w.StatusText());
  EXPECT_TRUE(p1->isVisible());
  EXPECT_GE(counter.n, 1);
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
  frmMain other;
  EXPECT_EQ(other.size(), QSize(700, 520));
  EXPECT_EQ(other.pos(), QPoint(120, 90));
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
    frmMain other;
    other.show();
    QTest::qWait(200);
    EXPECT_TRUE(other.isMaximized());
    other.showNormal();
    QTest::qWait(200);
    EXPECT_EQ(other.size(), QSize(640, 480));
    other.close();
  }
  EXPECT_EQ(store.GetSetting("Settings", "MainMaximized", -1), 0);
  frmMain third;
  third.show();
  QTest::qWait(100);
  EXPECT_FALSE(third.isMaximized());
}

// After a restart the "Open" dialogs open in the folder of the last file
// chosen, not in the folder the program was launched from.
TEST_F(MainWindowTest, TheFileDialogsRememberTheLastFolderAcrossRestarts) {
  const QString previousOne = QDir::currentPath();
  QTemporaryDir otherFolder;
  ASSERT_TRUE(otherFolder.isValid());
  {
    frmMain w;
    w.show();
    OnModalShown([&](QWidget* m) {
      auto* fd = qobject_cast<QFileDialog*>(m);
      ASSERT_NE(fd, nullptr);
      ChooseFile(fd, meuse());
    });
    item(w, "mnuDatos")->trigger();
    ASSERT_EQ(w.OwnSession().data.N, 155);
    w.close();
  }
  // A new run, launched elsewhere.
  QDir::setCurrent(otherFolder.path());
  frmMain w;
  w.show();
  QString inicial;
  OnModalShown([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    inicial = fd->directory().canonicalPath();
    fd->reject();
  });
  item(w, "mnuSuperficie")->trigger();
  EXPECT_EQ(inicial, QFileInfo(meuse()).canonicalPath());
  QDir::setCurrent(previousOne);
}

TEST_F(MainWindowTest, UnreadableStoredPlacementFallsBackToTheDefaults) {
  QSettings raw("Sorvan", "Sorvan");
  raw.setValue("Settings/MainWidth", "ancho");
  raw.setValue("Settings/MainLeft", "-99999999");
  raw.sync();
  frmMain w;
  EXPECT_EQ(w.size().width(), TwipsToPixels(6500, dpiX()));
  EXPECT_EQ(w.pos(), QPoint(TwipsToPixels(1000, dpiX()), TwipsToPixels(1000, dpiY())));
}

TEST_F(MainWindowTest, OpeningDataFillsTheGridAndEnablesKriging) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.OpenData(meuse()));
  EXPECT_EQ(w.StatusText(), QStringLiteral("Preparado"));
  frmDatos* d = w.Data();
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
  const sorvan::core::SpatialData& data = w.OwnSession().data;
  EXPECT_EQ(data.N, 155);
  EXPECT_EQ(data.nvar, 8);
  EXPECT_FLOAT_EQ(data.value(1, 3), 1022.f);
  EXPECT_TRUE(w.KrigingEnabled());
  EXPECT_TRUE(menu(w, "mnuKriging")->menuAction()->isEnabled());

  // The window list names the data window, checked as the active one.
  emit menu(w, "mnuVentana")->aboutToShow();
  const QStringList list = texts(menu(w, "mnuVentana"));
  ASSERT_EQ(list.size(), 6);
  EXPECT_EQ(list[4], "-");
  EXPECT_EQ(list[5], QStringLiteral("&1 ") + d->windowTitle());

  // Closing the data window greys "&Kriging" again; the data stay in memory.
  w.AreaMDI()->closeAllSubWindows();
  QTest::qWait(20);
  EXPECT_FALSE(w.KrigingEnabled());
  EXPECT_EQ(w.OwnSession().data.N, 155);
  emit menu(w, "mnuVentana")->aboutToShow();
  EXPECT_EQ(texts(menu(w, "mnuVentana")).size(), 4);

  // Opening again reuses the one data window.
  ASSERT_TRUE(w.OpenData(meuse()));
  EXPECT_EQ(w.Data(), d);
  EXPECT_TRUE(w.KrigingEnabled());
}

TEST_F(MainWindowTest, TheDataMenuAsksForAFileAndMovesTheWorkingFolder) {
  const QString previousOne = QDir::currentPath();
  QDir::setCurrent(data_.path());
  frmMain w;
  w.show();
  QStringList filters;
  OnModalShown([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    filters = fd->nameFilters();
    ChooseFile(fd, meuse());
  });
  item(w, "mnuDatos")->trigger();
  ASSERT_EQ(filters.size(), 4);
  EXPECT_TRUE(filters[0].startsWith("Archivos de datos espaciales (*.dae)"));
  EXPECT_TRUE(filters[1].startsWith("Texto delimitado (*.csv *.tsv *.txt)")) << filters[1].toStdString();
  EXPECT_TRUE(filters[2].startsWith("Capas GIS de puntos (*.gpkg *.shp *.geojson *.json)")) << filters[2].toStdString();
  EXPECT_TRUE(filters[3].startsWith("Todos los ficheros (*.*)"));
  EXPECT_EQ(w.OwnSession().data.N, 155);
  EXPECT_TRUE(w.KrigingEnabled());
  // The engine's files will go next to the data file; the start-up folder stays.
  EXPECT_EQ(QDir::current().canonicalPath(), QFileInfo(meuse()).canonicalPath());
  EXPECT_EQ(QDir(w.StartFolder()).canonicalPath(), QDir(data_.path()).canonicalPath());
  QDir::setCurrent(previousOne);
}

TEST_F(MainWindowTest, CancellingTheDataMenuChangesNothing) {
  frmMain w;
  w.show();
  OnModalShown([](QWidget* m) { static_cast<QDialog*>(m)->reject(); });
  item(w, "mnuDatos")->trigger();
  EXPECT_EQ(w.Data(), nullptr);
  EXPECT_FALSE(w.KrigingEnabled());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Preparado"));
}

TEST_F(MainWindowTest, OpeningDataKeepsAMaximisedWindowMaximised) {
  frmMain w;
  w.showMaximized();
  QTest::qWait(50);
  ASSERT_TRUE(w.OpenData(meuse()));
  EXPECT_TRUE(w.isMaximized());
}

TEST_F(MainWindowTest, EditingACoordinateMakesTheAutomaticOptionsStale) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.OpenData(meuse()));
  w.OwnSession().colX = 1;
  w.OwnSession().colY = 2;
  w.OwnSession().optionsReady = true;
  DataGrid* g = w.Data()->MSFGrid();
  g->SetCurrentCell(4, 3);  // zinc: not a coordinate
  QTest::keyClick(g, Qt::Key_5);
  QTest::keyClick(w.Data()->TxtEdit(), Qt::Key_Return);
  EXPECT_TRUE(w.OwnSession().optionsReady);
  g->SetCurrentCell(4, 1);  // x
  QTest::keyClick(g, Qt::Key_5);
  QTest::keyClick(w.Data()->TxtEdit(), Qt::Key_Return);
  EXPECT_FLOAT_EQ(w.OwnSession().data.minimum[0], 5.f);
  EXPECT_FALSE(w.OwnSession().optionsReady);
}

TEST_F(MainWindowTest, ABadFileIsNamedWithItsLineAndTheEarlierDataStay) {
  frmMain w;
  w.show();
  ASSERT_TRUE(w.OpenData(meuse()));
  const QString titleBefore = w.Data()->windowTitle();
  const QString badOne = data_.filePath("malo.dae");
  escribir(badOne, "\"Prueba\"\n2,3\n\"a\",\"A\",0\n\"b\",\"B\",0\n1,2\n3,cuatro\n5,6\n");

  Message m;
  m.waitFor();
  EXPECT_FALSE(w.OpenData(badOne));
  ASSERT_TRUE(m.seen);
  EXPECT_EQ(m.title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(m.text.contains("malo.dae")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("6")) << m.text.toStdString();  // the line of "cuatro"
  EXPECT_EQ(w.OwnSession().data.N, 155);
  EXPECT_EQ(w.Data()->MSFGrid()->Rows(), 156);
  EXPECT_EQ(w.Data()->MSFGrid()->TextMatrix(1, 1), QStringLiteral("181072"));
  EXPECT_EQ(w.Data()->windowTitle(), titleBefore);
  EXPECT_TRUE(w.KrigingEnabled());
  EXPECT_EQ(w.StatusText(), QStringLiteral("Preparado"));
}

TEST_F(MainWindowTest, ABadFirstFileLeavesNoDataWindowOpen) {
  frmMain w;
  w.show();
  const QString badOne = data_.filePath("corto.dae");
  escribir(badOne, "\"Corto\"\n2,3\n\"a\",\"A\",0\n\"b\",\"B\",0\n1,2\n");
  Message m;
  m.waitFor();
  EXPECT_FALSE(w.OpenData(badOne));
  EXPECT_TRUE(m.seen);
  EXPECT_TRUE(m.text.contains("corto.dae"));
  EXPECT_FALSE(w.KrigingEnabled());
  EXPECT_TRUE(w.Data() == nullptr || !w.Data()->isVisible());
  EXPECT_TRUE(w.OwnSession().data.empty());

  Message falta;
  falta.waitFor();
  EXPECT_FALSE(w.OpenData(data_.filePath("no_existe.dae")));
  EXPECT_TRUE(falta.seen);
  EXPECT_TRUE(falta.text.contains("no_existe.dae"));
}

TEST_F(MainWindowTest, FilesOfAnyLengthLoadWhole) {
  // There is no longer a row limit: 5000 rows all reach the grid, silently.
  QByteArray content = "\"Largo\"\n1,5000\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 5000; ++i) content += QByteArray::number(i) + "\n";
  const QString length = data_.filePath("largo.dae");
  escribir(length, content);
  frmMain w;
  w.show();
  Message m;
  m.waitFor();
  ASSERT_TRUE(w.OpenData(length));
  QTest::qWait(100);
  EXPECT_FALSE(m.seen) << m.text.toStdString();
  EXPECT_EQ(w.OwnSession().data.N, 5000);
  EXPECT_EQ(w.Data()->MSFGrid()->Rows(), 5001);
  EXPECT_EQ(w.Data()->MSFGrid()->TextMatrix(5000, 1), QStringLiteral("5000"));
}

TEST_F(MainWindowTest, RowsBeyondTheAnnouncedCountAreAWarningNamingThem) {
  QByteArray content = "\"Largo\"\n1,3\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 5; ++i) content += QByteArray::number(i) + "\n";
  const QString length = data_.filePath("largo.dae");
  escribir(length, content);
  frmMain w;
  w.show();
  Message m;
  m.waitFor();
  ASSERT_TRUE(w.OpenData(length));
  ASSERT_TRUE(m.seen);
  EXPECT_EQ(m.icon, QMessageBox::Warning);
  EXPECT_TRUE(m.text.contains("las 2 filas siguientes (líneas 7 a 8)")) << m.text.toStdString();
  EXPECT_EQ(w.OwnSession().data.N, 3);
}

TEST_F(MainWindowTest, A2048RowFileLoadsWithoutMessage) {
  QByteArray content = "\"Justo\"\n1,2048\n\"v\",\"V\",0\n";
  for (int i = 1; i <= 2048; ++i) content += QByteArray::number(i) + "\n";
  const QString just = data_.filePath("justo.dae");
  escribir(just, content);
  frmMain w;
  w.show();
  Message m;
  m.waitFor();
  ASSERT_TRUE(w.OpenData(just));
  QTest::qWait(100);
  EXPECT_FALSE(m.seen);
  EXPECT_EQ(w.OwnSession().data.N, 2048);
}

TEST_F(MainWindowTest, AFailedChartNamesTheFileAndTheProgramGoesOn) {
  frmMain w;
  w.show();
  Message m;
  m.waitFor();
  w.NuevoGraf2D(data_.filePath("no_hay.sv"), "Semivariograma de no_hay.sv");
  ASSERT_TRUE(m.seen);
  EXPECT_EQ(m.title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(m.text.contains("no_hay.sv")) << m.text.toStdString();
  EXPECT_TRUE(w.isVisible());
}

// "Save como..." on a window opened from a surface file writes that
// surface: an ESRI ASCII grid whose corner, cell size, values and no-data
// agree with the file's header and rows (each node at the centre of its cell).
TEST_F(MainWindowTest, SaveAsOnASurfaceFileWindowExportsThatSurface) {
  // GRID 3 x 2, hole -99, cells 2.5 square, first node (100, 200); row i
  // holds the nodes of x = 100 + 2.5 i, for y = 200 and 202.5. Node (1, 1),
  // 0-based, is a hole.
  const QString sup = data_.filePath("mapa.sup");
  escribir(sup, "# 1.5 6.25\nGRID 3 2\n-99 2.5 2.5 100 200\n1.5 2.25\n3.125 -99\n5 6.25\n");
  frmMain w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  OnModalShown([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    ChooseFile(fd, sup);
  });
  item(w, "mnuSuperficie")->trigger();
  ASSERT_NE(w.AreaMDI()->activeSubWindow(), nullptr);
  EXPECT_TRUE(w.AreaMDI()->activeSubWindow()->windowTitle().endsWith("mapa.sup"));
  ASSERT_TRUE(item(w, "mnuGuardarComo")->isEnabled());

  const QString asc = data_.filePath("mapa.asc");
  OnModalShown([&](QWidget* m) {
    auto* fd = qobject_cast<QFileDialog*>(m);
    ASSERT_NE(fd, nullptr);
    ChooseFile(fd, asc);
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
  const QStringList up = lines[6].simplified().split(' '), down = lines[7].simplified().split(' ');
  ASSERT_EQ(up.size(), 3);
  ASSERT_EQ(down.size(), 3);
  EXPECT_EQ(down[0].toFloat(), 1.5f);
  EXPECT_EQ(down[1].toFloat(), 3.125f);
  EXPECT_EQ(down[2].toFloat(), 5.0f);
  EXPECT_EQ(up[0].toFloat(), 2.25f);
  EXPECT_EQ(up[1].toDouble(), sinDato);
  EXPECT_EQ(up[2].toFloat(), 6.25f);
  // The file holds one surface: no variance beside it.
  EXPECT_FALSE(QFile::exists(data_.filePath("mapa_var.asc")));
}

TEST_F(MainWindowTest, AboutBoxShowsSystemInformation) {
  frmMain w;
  w.show();
  QString title, info;
  bool withButtons = false;
  OnModalShown([&](QWidget* m) {
    auto* about = qobject_cast<frmAbout*>(m);
    ASSERT_NE(about, nullptr);
    title = about->windowTitle();
    withButtons = about->CoAceptar()->text() == "Aceptar" && !about->CoInfoSistema()->text().isEmpty();
    OnModalShown([&, about](QWidget* box) {
      if (auto* mb = qobject_cast<QMessageBox*>(box)) {
        info = mb->text();
        mb->accept();
      }
      QTimer::singleShot(0, about->CoAceptar(), &QPushButton::click);
    });
    about->CoInfoSistema()->click();
  });
  item(w, "mnuAcercaDe")->trigger();
  EXPECT_EQ(title, QStringLiteral("Acerca de Sorvan"));
  EXPECT_TRUE(withButtons);
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
  const int background = w.AreaMDI()->viewport()->height();
  EXPECT_EQ(a->geometry().bottom(), background - 1);
  EXPECT_EQ(b->geometry().bottom(), background - 1);
  EXPECT_NE(a->geometry().left(), b->geometry().left());
}

TEST(StartUpTest, SplashStaysUpAtLeastOneAndAHalfSeconds) {
  QElapsedTimer t;
  t.start();
  bool splashSeen = false, mainHidden = false;
  QTimer::singleShot(700, [&] {
    for (QWidget* v : QApplication::topLevelWidgets())
      if (qobject_cast<frmSplash*>(v) && v->isVisible()) splashSeen = true;
    for (QWidget* v : QApplication::topLevelWidgets())
      if (qobject_cast<frmMain*>(v)) mainHidden = !v->isVisible();
  });
  std::unique_ptr<frmMain> w(Principal::Launch());
  EXPECT_GT(t.elapsed(), Principal::kSplashWaitMs);
  EXPECT_TRUE(splashSeen);
  EXPECT_TRUE(mainHidden);
  EXPECT_TRUE(w->isVisible());
  for (QWidget* v : QApplication::topLevelWidgets())
    if (qobject_cast<frmSplash*>(v)) {
      EXPECT_FALSE(v->isVisible());
    }
}

TEST(StartUpTest, ADataFileOnTheCommandLineIsOpened) {
  std::unique_ptr<frmMain> w(Principal::Launch(meuse()));
  ASSERT_NE(w->Data(), nullptr);
  EXPECT_EQ(w->OwnSession().data.N, 155);
  EXPECT_TRUE(w->KrigingEnabled());
}

}  // namespace

int main(int argc, char** argv) {
  return test_data::RunTests(argc, argv, {.forgottenModalMs = 10000, .ownSettings = true});
}
