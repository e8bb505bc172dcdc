// A kriging run from the menu command's dialog, end to end: the real main
// window, the real dialog, the engine in its helper process. Checks the
// surfaces in memory, the files in the working folder, the result windows and
// the status texts; an engine failure reported by a message while the program
// and the earlier surfaces live on; and a cancelled run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>

#include "core/kriging_session.h"
#include "gui/charts/frmChart3D.h"
#include "gui/frmMain.h"
#include "platform/chart3d.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/kriging_commands.h"
#include "gui_test_support.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

using test_data::Message;
using test_data::Reply;
using sorvan::core::KrigingSession;

namespace {

// Every text painted in the main window's status bar, in order.
class StatusTexts : public QObject {
 public:
  explicit StatusTexts(frmMain& mainWindow) {
    for (QLabel* l : mainWindow.statusBar()->findChildren<QLabel*>()) l->installEventFilter(this);
  }
  QStringList texts;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint)
      if (auto* l = qobject_cast<QLabel*>(o); l && (texts.isEmpty() || texts.last() != l->text()))
        texts << l->text();
    return false;
  }
};

// With SORVAN_SCREENSHOTS set to a folder, saves `w` there as `nombre`, as
// the screen shows it (a widget's own picture leaves the 3-D views blank).
void Capture(QWidget* w, const char* nombre) {
  const QByteArray folder = qgetenv("SORVAN_SCREENSHOTS");
  if (folder.isEmpty()) return;
  QTest::qWait(300);  // the 3-D views' first frames
  const QRect r = w->frameGeometry();
  w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height())
      .save(QDir(QString::fromLocal8Bit(folder)).filePath(QString::fromLatin1(nombre)));
}

QByteArray Content(const QString& folder, const char* nombre) {
  QFile f(QDir(folder).filePath(QString::fromLatin1(nombre)));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool FileExists(const QString& folder, const char* nombre) {
  return QFile::exists(QDir(folder).filePath(QString::fromLatin1(nombre)));
}

// Captions of the chart windows (the data window, captioned with its file's
// path, left out), joined by " | ".
QString WindowTitles(frmMain& mainWindow) {
  QStringList t;
  for (QMdiSubWindow* w : mainWindow.AreaMDI()->subWindowList())
    if (w->widget() != nullptr && !w->windowTitle().endsWith(".dae")) t << w->windowTitle();
  return t.join(" | ");
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    mainWindow = std::make_unique<frmMain>();
    mainWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    meuse = QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae";
    ASSERT_TRUE(mainWindow->OpenData(meuse));
    // Results into a fresh folder for each test, chosen for these data (the
    // default, beside the data, would be the source tree).
    folder.MakeCurrent();
    session().chosenFolder = QFile::encodeName(folder.path()).toStdString();
    session().chosenFolderFor = session().dataFile;
  }
  void TearDown() override {
    UnloadKrigingDialogs();
    mainWindow.reset();
  }

  KrigingSession& session() { return mainWindow->OwnSession(); }

  // "Kriging 2D" with Z = `variable`, "Accept", the defaults notice
  // answered when it comes; message boxes of the run are recorded in
  // `messages` and answered. With `options`, "Options" first, the options
  // dialog handed to it.
  void KrigingFromTheDialog(const QString& variable, QList<Message>* messages = nullptr,
                             std::function<void(frmOpKriging*)> options = {}) {
    Reply<frmKriging2D> dialog([variable, options](frmKriging2D* d) {
      d->ComboZ->setCurrentIndex(d->ComboZ->findText(variable, Qt::MatchStartsWith));
      if (options) {
        Reply<frmOpKriging> optionsDialog(options);
        QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
        EXPECT_EQ(optionsDialog.views(), 1);
      }
      QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
    });
    Reply<QMessageBox> boxes(
        [messages](QMessageBox* box) {
          if (messages)
            messages->append({true, box->windowTitle(),
                              box->text() + (box->detailedText().isEmpty()
                                                 ? QString()
                                                 : QStringLiteral("\nDetalles:\n") + box->detailedText())});
          if (box->icon() == QMessageBox::Critical) Capture(box, "kriging_error.png");
          box->button(QMessageBox::Ok)->click();
        },
        3);
    ShowKriging2D(*mainWindow);
    ASSERT_EQ(dialog.views(), 1);
  }

  test_data::TemporaryFolder folder;  // the current folder is put back when it goes
  QTemporaryDir other;
  QString meuse;
  std::unique_ptr<frmMain> mainWindow;
};

}  // namespace

TEST_F(RunTest, KrigingLogzincOfMeuseGivesSurfacesFilesAndWindows) {
  StatusTexts state(*mainWindow);
  QList<Message> messages;
  KrigingFromTheDialog("logzinc", &messages);

  ASSERT_EQ(messages.size(), 1);  // only the defaults notice
  EXPECT_TRUE(messages[0].text.startsWith("Atención se toman los valores iniciales por defecto"));

  // The status bar said what was being done, then "Preparado".
  const int generating = state.texts.indexOf("Generando superficies kriging (logzinc)...");
  ASSERT_GE(generating, 0) << state.texts.join(" | ").toStdString();
  EXPECT_GE(state.texts.lastIndexOf("Preparado"), generating);
  EXPECT_EQ(mainWindow->StatusText(), "Preparado");

  // The surfaces in memory: the automatic 50 by 50 grid, every node kriged,
  // predictions inside the range of the data (ordinary kriging of a smooth
  // field does not wander far from it), non-negative variances, and the
  // reported range equal to the grid's own extremes.
  const KrigingSession& s = session();
  ASSERT_TRUE(s.hasSurfaces);
  EXPECT_EQ(s.surfacesVariable, "logzinc");
  const auto& sup = s.surfaces;
  ASSERT_EQ(sup.nx, 50);
  ASSERT_EQ(sup.ny, 50);
  ASSERT_EQ(sup.SupPred.size(), 2500u);
  ASSERT_EQ(sup.SupVar.size(), 2500u);
  const int colZ = s.data.findColumn("logzinc");
  const float datumMin = s.data.minimum[size_t(colZ - 1)], datumMax = s.data.maximum[size_t(colZ - 1)];
  for (size_t k = 0; k < sup.SupPred.size(); ++k) {
    ASSERT_NE(sup.SupPred[k], sorvan::core::kHoleValue) << k;
    ASSERT_GE(sup.SupPred[k], datumMin - 0.5f) << k;
    ASSERT_LE(sup.SupPred[k], datumMax + 0.5f) << k;
    ASSERT_GE(sup.SupVar[k], 0.0f) << k;
  }
  const auto [smallest, largest] = std::minmax_element(sup.SupPred.begin(), sup.SupPred.end());
  EXPECT_FLOAT_EQ(sup.zMin, *smallest);
  EXPECT_FLOAT_EQ(sup.zMax, *largest);
  EXPECT_LT(sup.zMin, sup.zMax);

  // The engine's files in the result folder, and nothing of the run left.
  const QString c = folder.path();
  for (const char* f : {"SKUPRE.SUP", "SKUVAR.SUP", "SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT",
                        "KRIGING.LOG"})
    EXPECT_TRUE(FileExists(c, f)) << f;
  EXPECT_TRUE(QDir(c).entryList({".sorvan*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
  EXPECT_EQ(s.resultsFolder, QFile::encodeName(c).toStdString());

  // Default windows: the fitted semivariogram and the prediction surface,
  // the surface last and so in front.
  const QStringList titles = WindowTitles(*mainWindow).split(" | ");
  ASSERT_EQ(titles.size(), 2) << titles.join(" | ").toStdString();
  // Titles without trailing blanks; the fitted semivariogram named as such.
  EXPECT_TRUE(titles[0].endsWith(": Semivariograma ajustado de logzinc")) << titles[0].toStdString();
  EXPECT_TRUE(titles[1].endsWith(": Superficie de predicción de logzinc")) << titles[1].toStdString();
  ASSERT_NE(mainWindow->AreaMDI()->activeSubWindow(), nullptr);
  EXPECT_TRUE(mainWindow->AreaMDI()->activeSubWindow()->windowTitle().contains("Superficie de predicción"));
  Capture(mainWindow.get(), "kriging_result.png");

  // The engine got copies of NSaltos and NAjus: the options keep theirs.
  sorvan::core::OpcionesKriging defaultOptions;
  ASSERT_TRUE(sorvan::core::OpcionesPorDefecto(s.data, 1, 2, defaultOptions).ok);
  EXPECT_EQ(s.options.NSaltos, defaultOptions.NSaltos);
  EXPECT_EQ(s.options.NAjus, defaultOptions.NAjus);
}

// "Generar gráfico con tendencia": after a run with a trend, its surface
// opens beside the prediction, on the same grid; a run without one opens none.
TEST_F(RunTest, TheFittedTrendIsDrawnBesideThePrediction) {
  KrigingSession& s = session();
  KrigingFromTheDialog("logzinc", nullptr, [](frmOpKriging* o) {
    o->OpMedia->button(1)->click();
    o->VerSupTend->setChecked(true);
    QTest::mouseClick(o->CoAceptar, Qt::LeftButton);
  });
  ASSERT_TRUE(s.hasSurfaces);
  ASSERT_TRUE(s.trend.known());
  EXPECT_EQ(s.trend.degree, 1);

  frmChart3D* trend = nullptr;
  QStringList titles;
  for (QMdiSubWindow* w : mainWindow->AreaMDI()->subWindowList()) {
    titles << w->windowTitle();
    if (w->windowTitle().endsWith(": Tendencia de logzinc")) trend = qobject_cast<frmChart3D*>(w->widget());
  }
  ASSERT_NE(trend, nullptr) << titles.join(" | ").toStdString();
  // The prediction opens last, in front of the trend.
  EXPECT_TRUE(mainWindow->AreaMDI()->activeSubWindow()->windowTitle().contains("Superficie de predicción"));
  // The plane b0 + b1 u + b2 v at every node, worked out here from the
  // reported coefficients and frame.
  const SurfaceGrid& g = trend->Grafico().Grid();
  const auto& sup = s.surfaces;
  ASSERT_EQ(g.nx, sup.nx);
  ASSERT_EQ(g.ny, sup.ny);
  const sorvan::core::TrendFit& t = s.trend;
  for (int j = 0; j < g.ny; j += 7)
    for (int i = 0; i < g.nx; i += 7) {
      const double u = (sup.xMin + i * sup.dx - t.centreX) / t.scale, v = (sup.yMin + j * sup.dy - t.centreY) / t.scale;
      const double flat = t.coefficients[0] + t.coefficients[1] * u + t.coefficients[2] * v;
      EXPECT_NEAR(g.at(i, j), flat, 1e-4 * std::fabs(flat) + 1e-6) << i << ", " << j;
    }
  if (!qgetenv("SORVAN_SCREENSHOTS").isEmpty()) {  // the trend beside the prediction
    mainWindow->resize(1200, 860);
    mainWindow->AreaMDI()->tileSubWindows();
    Capture(mainWindow.get(), "surface_trend.png");
  }

  // Ordinary kriging fits no trend: no new trend window.
  KrigingFromTheDialog("logzinc", nullptr, [](frmOpKriging* o) {
    o->OpMedia->button(0)->click();
    EXPECT_FALSE(o->VerSupTend->isEnabled());
    QTest::mouseClick(o->CoAceptar, Qt::LeftButton);
  });
  EXPECT_FALSE(s.trend.known());
  EXPECT_EQ(WindowTitles(*mainWindow).count("Tendencia de"), 1);
}

TEST_F(RunTest, EngineFailureIsReportedAndKeepsWhatWasThere) {
  KrigingFromTheDialog("logzinc");
  ASSERT_TRUE(session().hasSurfaces);
  const sorvan::core::KrigingSurfaces before = session().surfaces;
  const QString windowsBefore = WindowTitles(*mainWindow);

  // 30 points, the last one 2e-7 from the first with another value: distinct
  // for the duplicate check, one point once the engine has them in single
  // precision, so the kriging system is singular and the engine stops.
  const QString path = folder.filePath("duplicados.dae");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
    QByteArray text = "\"duplicados\"\n3,30\n\"x\",\"\",0\n\"y\",\"\",0\n\"v\",\"\",0\n";
    for (int i = 0; i < 29; ++i) {
      const int x = (i % 6) * 17 + (i * 7) % 5, y = (i / 6) * 19 + (i * 3) % 4;
      text += QByteArray::number(x) + "," + QByteArray::number(y) + "," +
               QByteArray::number(0.1 * ((i % 6) * 17) + 0.05 * ((i / 6) * 19) + i % 3) + "\n";
    }
    text += "0.0000002,0,2\n";  // point 1 again, nearly, value 1 higher
    f.write(text);
  }
  ASSERT_TRUE(mainWindow->OpenData(path));

  QList<Message> messages;
  KrigingFromTheDialog("v", &messages);
  ASSERT_EQ(messages.size(), 2);  // the defaults notice, then the failure
  const Message& failure = messages[1];
  EXPECT_EQ(failure.title, "Sorvan");
  // A Spanish sentence with the cause and what to do first, no ".dll"; the
  // engine's own diagnosis, from its run log, as the detail.
  EXPECT_TRUE(failure.text.startsWith("El cálculo de kriging ha fallado. El sistema de kriging es singular"))
      << failure.text.toStdString();
  EXPECT_FALSE(failure.text.contains(".dll")) << failure.text.toStdString();
  EXPECT_TRUE(failure.text.contains("\nDetalles:\nEl codigo de error es :")) << failure.text.toStdString();
  EXPECT_TRUE(failure.text.contains("singular", Qt::CaseInsensitive)) << failure.text.toStdString();

  // The program runs on; surfaces, windows and status as before.
  EXPECT_TRUE(mainWindow->isVisible());
  EXPECT_EQ(mainWindow->StatusText(), "Preparado");
  const KrigingSession& s = session();
  EXPECT_TRUE(s.hasSurfaces);
  EXPECT_EQ(s.surfacesVariable, "logzinc");
  EXPECT_EQ(s.surfaces.SupPred, before.SupPred);
  EXPECT_EQ(s.surfaces.SupVar, before.SupVar);
  EXPECT_EQ(s.surfaces.zMax, before.zMax);
  EXPECT_EQ(WindowTitles(*mainWindow).toStdString(), windowsBefore.toStdString());
}

TEST_F(RunTest, RowsWithoutXYZAndRepeatedPointsAreToldInTheLogAndStatusBar) {
  // 30 points, point 1 again with another value, and two rows without Z.
  const QString path = folder.filePath("ausentes.dae");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
    QByteArray text = "\"ausentes\"\n3,33\n\"x\",\"\",0\n\"y\",\"\",0\n\"v\",\"\",0\n";
    for (int i = 0; i < 30; ++i) {
      const int x = (i % 6) * 17 + (i * 7) % 5, y = (i / 6) * 19 + (i * 3) % 4;
      text += QByteArray::number(x) + "," + QByteArray::number(y) + "," +
               QByteArray::number(0.1 * ((i % 6) * 17) + 0.05 * ((i / 6) * 19) + i % 3) + "\n";
    }
    text += "0,0,1\n40,50,NA\n60,10,\n";
    f.write(text);
  }
  ASSERT_TRUE(mainWindow->OpenData(path));
  session().duplicates = sorvan::core::DuplicatePolicy::Average;
  session().chosenFolder = QFile::encodeName(folder.path()).toStdString();
  session().chosenFolderFor = session().dataFile;

  // The notice of the rows left out is answered "Sí"; other boxes "Accept".
  Reply<frmKriging2D> dialog([](frmKriging2D* d) {
    d->ComboZ->setCurrentIndex(d->ComboZ->findText("v", Qt::MatchStartsWith));
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  QStringList texts;
  Reply<QMessageBox> boxes(
      [&texts](QMessageBox* box) {
        texts << box->text();
        (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
      },
      3);
  ShowKriging2D(*mainWindow);
  ASSERT_EQ(dialog.views(), 1);
  ASSERT_TRUE(session().hasSurfaces) << texts.join(" | ").toStdString();
  EXPECT_EQ(session().surfacesVariable, "v");

  EXPECT_EQ(mainWindow->StatusText(), "Preparado (2 filas sin X, Y o Z; 1 punto repetido promediado)")
      << texts.join(" | ").toStdString();
  Capture(mainWindow.get(), "kriging_rows_left_out.png");
  // The run log: the engine's lines as it wrote them, ending in "Terminado.",
  // then the program's line.
  const QList<QByteArray> lines = Content(folder.path(), "KRIGING.LOG").trimmed().split('\n');
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines.last(), "Datos fuera del cálculo: 2 filas sin X, Y o Z; 1 punto repetido promediado.");
  EXPECT_EQ(lines[lines.size() - 2].trimmed(), "Terminado.");
}

TEST_F(RunTest, CancelStopsTheEngineAndKeepsTheSurfaces) {
  KrigingFromTheDialog("logzinc");
  ASSERT_TRUE(session().hasSurfaces);
  const sorvan::core::KrigingSurfaces before = session().surfaces;
  const QString windowsBefore = WindowTitles(*mainWindow);
  const QByteArray predBefore = Content(folder.path(), "SKUPRE.SUP");
  const QByteArray logBefore = Content(folder.path(), "KRIGING.LOG");
  ASSERT_FALSE(predBefore.isEmpty());

  // A grid of a million nodes keeps the engine busy for many seconds.
  Reply<frmOpKriging> options([](frmOpKriging* op) {
    op->TxtNRx->setText("1000");
    op->TxtNRy->setText("1000");
    QTest::mouseClick(op->CoAutoRej, Qt::LeftButton);
    QTest::mouseClick(op->CoAceptar, Qt::LeftButton);
  });
  Reply<frmKriging2D> dialog([](frmKriging2D* d) {
    QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  bool progressVisible = false;
  QString progressText;
  Reply<QProgressDialog> progress([&](QProgressDialog* p) {
    progressVisible = p->isVisible();
    progressText = p->labelText();
    Capture(p, "kriging_progress.png");
    // The window answers while the engine works: cancel a moment later.
    QTimer::singleShot(300, p, [p] {
      for (QPushButton* b : p->findChildren<QPushButton*>())
        if (b->text() == "Cancelar") QTest::mouseClick(b, Qt::LeftButton);
    });
  });
  Reply<QMessageBox> withoutMessages([](QMessageBox* box) {
    ADD_FAILURE() << "unexpected message: " << box->text().toStdString();
    box->button(QMessageBox::Ok)->click();
  });
  QElapsedTimer clock;
  clock.start();
  ShowKriging2D(*mainWindow);
  ASSERT_EQ(dialog.views(), 1);
  ASSERT_EQ(options.views(), 1);
  EXPECT_TRUE(progressVisible);
  EXPECT_EQ(progressText, "Generando superficies kriging (logzinc)...");
  EXPECT_LT(clock.elapsed(), 10000);  // the engine alone would need far longer
  EXPECT_EQ(session().options.NRx, 1000);

  // The helper process is gone (killed and reaped): no child is left.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  EXPECT_EQ(mainWindow->StatusText(), "Preparado");
  EXPECT_EQ(session().surfaces.nx, 50);
  EXPECT_EQ(session().surfaces.SupPred, before.SupPred);
  EXPECT_EQ(WindowTitles(*mainWindow).toStdString(), windowsBefore.toStdString());
  // The previous run's files stay as they were, and the cancelled run left
  // nothing behind (its folder, the lock).
  EXPECT_EQ(Content(folder.path(), "SKUPRE.SUP"), predBefore);
  EXPECT_EQ(Content(folder.path(), "KRIGING.LOG"), logBefore);
  EXPECT_TRUE(QDir(folder.path())
                  .entryList({".sorvan*", "KRIGING-FALLO.LOG"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .isEmpty());
}

TEST_F(RunTest, TheResultsFolderIsShownChangedAndNotMovedByAnotherFolder) {
  // Not chosen: the data set's own folder, "<name>_resultados" beside a
  // writable data file.
  const QString data = folder.filePath("suelo.dae");
  ASSERT_TRUE(QFile::copy(meuse, data));
  ASSERT_TRUE(mainWindow->OpenData(data));
  QString shownOne;
  Reply<frmKriging2D> dialog([&](frmKriging2D* d) {
    shownOne = d->TxtCarpeta->text();
    // Chosen in the dialog: another folder.
    d->ChooseFolder = [&](QWidget*, const QString&) { return other.path(); };
    QTest::mouseClick(d->CoCarpeta, Qt::LeftButton);
    shownOne += " -> " + d->TxtCarpeta->text();
    d->ComboZ->setCurrentIndex(d->ComboZ->findText("logzinc", Qt::MatchStartsWith));
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  Reply<QMessageBox> warning([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
  // Another folder made current (as a file dialog elsewhere would) does not
  // move where the run writes.
  QDir::setCurrent(folder.path());
  ShowKriging2D(*mainWindow);
  ASSERT_EQ(dialog.views(), 1);
  EXPECT_EQ(shownOne, folder.filePath("suelo_resultados") + " -> " + other.path());
  ASSERT_TRUE(session().hasSurfaces);
  EXPECT_TRUE(FileExists(other.path(), "SKUPRE.SUP"));
  EXPECT_FALSE(FileExists(folder.path(), "SKUPRE.SUP"));
  EXPECT_FALSE(QDir(folder.filePath("suelo_resultados")).exists());
  EXPECT_EQ(session().resultsFolder, QFile::encodeName(other.path()).toStdString());
  // A new data file goes back to its own default folder.
  const QString otros = folder.filePath("otros.dae");
  ASSERT_TRUE(QFile::copy(meuse, otros));
  ASSERT_TRUE(mainWindow->OpenData(otros));
  EXPECT_EQ(KrigingResultsFolder(session()), folder.filePath("otros_resultados"));
}

TEST_F(RunTest, TheHiddenDialogKeepsTheChoiceAndCancelForgetsIt) {
  KrigingFromTheDialog("logzinc");
  QString zShown;
  bool fixed = false;
  {
    Reply<frmKriging2D> dialog([&](frmKriging2D* d) {
      zShown = d->ComboZ->currentText();
      fixed = d->OpcionesFijadas;
      QTest::mouseClick(d->CoCancelar, Qt::LeftButton);
    });
    ShowKriging2D(*mainWindow);
    ASSERT_EQ(dialog.views(), 1);
  }
  EXPECT_EQ(zShown, "logzinc ");
  EXPECT_TRUE(fixed);
  {
    // Unloaded by "Cancelar": loaded afresh with the default choice.
    Reply<frmKriging2D> dialog([&](frmKriging2D* d) {
      zShown = d->ComboZ->currentText();
      fixed = d->OpcionesFijadas;
      QTest::mouseClick(d->CoCancelar, Qt::LeftButton);
    });
    ShowKriging2D(*mainWindow);
    ASSERT_EQ(dialog.views(), 1);
  }
  EXPECT_EQ(zShown, "zinc    ");
  EXPECT_FALSE(fixed);
}

TEST_F(RunTest, TwoColumnDataDoNotOpenTheDialog) {
  const QString path = folder.filePath("dos.dae");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Text));
    f.write("\"dos\"\n2,3\n\"x\",\"\",0\n\"y\",\"\",0\n1,2\n3,4\n5,7\n");
  }
  ASSERT_TRUE(mainWindow->OpenData(path));
  Reply<frmKriging2D> dialog([](frmKriging2D* d) { d->reject(); });
  QString text;
  Reply<QMessageBox> messageBox([&](QMessageBox* box) {
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  ShowKriging2D(*mainWindow);
  EXPECT_EQ(dialog.views(), 0);
  EXPECT_TRUE(text.contains("tres")) << text.toStdString();
}

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 30000}); }
