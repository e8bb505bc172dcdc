// The model-check windows on a real meuse run: the cross-validation window
// (summary against the engine-independent closed form's reference values,
// plots filled, CSV export), the model panel (fit error recomputed from the
// chart files equals the engine's, a typed model kriged without fitting comes
// back unchanged), the model comparison, and the warnings message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/run_kriging.h"
#include "gui/charts/frmChart2D.h"
#include "gui/kriging/frmOpKriging.h"
#include <QCheckBox>
#include <QPushButton>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include "platform/chart2d.h"
#include "core/kriging_engine.h"
#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "gui/validation/frmComparaModelos.h"
#include "gui/validation/frmModeloVariograma.h"
#include "gui/validation/frmValidacionCruzada.h"
#include "gui/validation/validation_commands.h"
#include "gui/validation/validation_plot.h"
#include "gui_test_support.h"
#include "../../engine/criterion_minimum.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

using sorvan::core::KrigingSession;

namespace {

void Capture(QWidget* w, const char* nombre) {
  const QByteArray folder = qgetenv("SORVAN_SCREENSHOTS");
  if (!folder.isEmpty()) w->grab().save(QDir(QString::fromLocal8Bit(folder)).filePath(QString::fromLatin1(nombre)));
}

class ValidationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    const std::string meuse = qgetenv("SORVAN_SOURCE_DIR").toStdString() + "/examples/meuse.dae";
    ASSERT_TRUE(sorvan::core::ReadData(meuse, session.data).ok);
    session.colX = 1, session.colY = 2, session.colZ = 4;
    ASSERT_TRUE(sorvan::core::OpcionesPorDefecto(session.data, 1, 2, session.options).ok);
    session.optionsReady = true;
  }
  // Krige with the given spherical model and no fit.
  void Krige(float c0, float c1, float a, int trend = 0) {
    session.options.Modelo = 1;
    session.options.Media = trend;
    session.options.C0Ini = c0, session.options.C1Ini = c1, session.options.AIni = a;
    session.options.MetodoAjuste = sorvan::core::kNoFit;
    sorvan::core::KrigingEngine engine;
    const sorvan::core::Result r = sorvan::core::EjecutaKriging(session, "logzinc", folder.path().toStdString(), engine);
    ASSERT_TRUE(r.ok) << r.message;
  }
  QTemporaryDir folder;
  KrigingSession session;
};

TEST_F(ValidationTest, WindowShowsTheSummaryOfTheReferenceModelAndExportsTheTable) {
  Krige(0.05f, 0.59f, 900);
  frmValidacionCruzada w(session);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.Result().status, 0) << w.Result().message;
  // An independent package's leave-one-out of this model: RMSE 0.391977,
  // mean squared standardised error 0.825517.
  EXPECT_NEAR(w.Result().summary.rootMeanSquareError, 0.391977, 1e-5);
  EXPECT_NEAR(w.Result().summary.meanSquaredStandardisedError, 0.825517, 1e-4);
  const QString summary = w.findChild<QLabel*>("lblResumen")->text();
  EXPECT_TRUE(summary.contains("155 datos")) << summary.toStdString();
  EXPECT_TRUE(summary.contains("0.391977")) << summary.toStdString();
  // The 1:1 plot spans the observed data.
  const QRectF extent = w.findChild<ValidationPlot*>("graficoDispersion")->Extent();
  EXPECT_LE(extent.left(), 4.73);
  EXPECT_GE(extent.right(), 7.51);
  Capture(&w, "cross_validation.png");

  const QString csv = QDir(folder.path()).filePath("cv.csv");
  ASSERT_TRUE(w.ExportTable(csv).ok);
  std::ifstream in(csv.toStdString());
  int lines = 0;
  for (std::string l; std::getline(in, l);) ++lines;
  EXPECT_EQ(lines, 156);

  // Ten groups: every datum predicted once, by another group's data.
  w.findChild<QComboBox*>("cboModo")->setCurrentIndex(1);
  ASSERT_TRUE(w.Calcular());
  EXPECT_EQ(w.Result().points[0].fold >= 0 && w.Result().points[0].fold < 10, true);
  EXPECT_GT(w.Result().summary.rootMeanSquareError, 0.3);
}

// The labelled ticks of a plot axis: at least three, equally spaced by 1, 2,
// 2.5 or 5 times a power of ten, each a whole number of steps, the first and
// last enclosing the data (`low`..`high`). Empty when they are.
std::string TicksNotRound(const std::vector<double>& t, double low, double high) {
  std::ostringstream o;
  for (double v : t) o << v << ' ';
  if (t.size() < 3) return "pocas marcas: " + o.str();
  const double step = t[1] - t[0];
  const double power = std::pow(10.0, std::floor(std::log10(step)));
  const double m = step / power;
  bool round2 = false;
  for (double r : {1.0, 2.0, 2.5, 5.0, 10.0}) round2 = round2 || std::abs(m - r) < 1e-9 * r;
  if (!round2) return "paso no redondo: " + o.str();
  for (size_t k = 0; k < t.size(); ++k) {
    if (std::abs(t[k] - (t[0] + k * step)) > 1e-9 * step) return "marcas desiguales: " + o.str();
    if (std::abs(t[k] / step - std::round(t[k] / step)) > 1e-6) return "marca fuera de los pasos: " + o.str();
  }
  if (t.front() > low || t.back() < high) return "no abarcan los datos: " + o.str();
  return {};
}

// The cross-validation histogram and the model panel's semivariogram were
// labelled at the data's ends and fourths (45.76, 34.32, ...; 526.8, 1053.608).
TEST_F(ValidationTest, PlotAxesAreLabelledAtRoundNumbers) {
  Krige(0.05f, 0.59f, 900);
  frmValidacionCruzada cv(session);
  cv.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cv));
  frmModeloVariograma model(session);
  model.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&model));
  for (const char* nombre : {"graficoHistograma", "graficoDispersion", "graficoMapa", "graficoModelo"}) {
    const ValidationPlot* p = nombre == std::string("graficoModelo") ? model.findChild<ValidationPlot*>(nombre)
                                                                     : cv.findChild<ValidationPlot*>(nombre);
    ASSERT_NE(p, nullptr) << nombre;
    const QRectF e = p->Extent();
    EXPECT_EQ(TicksNotRound(p->Ticks(Qt::Horizontal), e.left(), e.right()), "") << nombre << " X";
    EXPECT_EQ(TicksNotRound(p->Ticks(Qt::Vertical), e.top(), e.bottom()), "") << nombre << " Y";
  }
  // The histogram's counts start at 0.
  EXPECT_EQ(cv.findChild<ValidationPlot*>("graficoHistograma")->Ticks(Qt::Vertical).front(), 0.0);
}

TEST_F(ValidationTest, ModelPanelShowsTheFitErrorAndKrigesATypedModel) {
  // A fitted run: the panel recomputes the engine's fit error from the chart files.
  session.options.MetodoAjuste = sorvan::core::kEngineFit;
  session.options.C0Ini = session.options.C1Ini = session.options.AIni = -1;
  sorvan::core::KrigingEngine engine;
  ASSERT_TRUE(sorvan::core::EjecutaKriging(session, "logzinc", folder.path().toStdString(), engine).ok);
  frmModeloVariograma w(session);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const FitLagClasses clases = ReadFitLagClasses(folder.path());
  ASSERT_FALSE(clases.pairs.empty());
  const sorvan::core::FittedModel& m = session.model;
  EXPECT_NEAR(FitError(clases, m.code, m.c0, m.c1, m.a, session.options.NMinAjus, session.options.NAjus),
              m.fitError, 1e-3 * m.fitError);
  EXPECT_TRUE(w.findChild<QLabel*>("lblAjustado")->text().contains("esférico"));
  Capture(&w, "model_panel.png");

  // A typed model redraws at once and is kriged as typed.
  w.findChild<QComboBox*>("cboModelo")->setCurrentIndex(1);  // exponential
  w.findChild<QLineEdit*>("txtC0")->setText("0.1");
  w.findChild<QLineEdit*>("txtC1")->setText("0.5");
  w.findChild<QLineEdit*>("txtA")->setText("300");
  const QString error = w.findChild<QLabel*>("lblError")->text();
  EXPECT_TRUE(error.contains(QString::number(FitError(clases, 2, 0.1, 0.5, 300, session.options.NMinAjus,
                                                         session.options.NAjus), 'g', 6)))
      << error.toStdString();
  ASSERT_TRUE(w.SetWrittenModel());
  sorvan::core::KrigingEngine engine2;
  ASSERT_TRUE(sorvan::core::EjecutaKriging(session, "logzinc", folder.path().toStdString(), engine2).ok);
  EXPECT_EQ(session.model.code, 2);
  EXPECT_FLOAT_EQ(session.model.c0, 0.1f);
  EXPECT_FLOAT_EQ(session.model.c1, 0.5f);
  EXPECT_FLOAT_EQ(session.model.a, 300.0f);
  // The global fit of the oscillatory model on the classes, into the boxes:
  // within half a percent of the criterion's true minimum.
  w.findChild<QComboBox*>("cboModelo")->setCurrentIndex(5);
  ASSERT_TRUE(w.GlobalFit().ok);
  int code;
  double c0, c1, a;
  ASSERT_TRUE(w.WrittenModel(code, c0, c1, a));
  EXPECT_EQ(code, 6);
  kriging::testing::FitClasses d;
  for (size_t i = 0; i < clases.pairs.size() && d.count.size() < 50; ++i)
    if (clases.pairs[i] > session.options.NMinAjus)
      d.count.push_back(clases.pairs[i]), d.distance.push_back(clases.distance[i]),
          d.estimate.push_back(clases.estimate[i]);
  const double lastOne = d.distance.back();
  const kriging::testing::Minimum best = kriging::testing::MinimiseCriterion(d, 6, 0.001 * lastOne, 100 * lastOne);
  EXPECT_LE(kriging::testing::Criterion(d, 6, c0, c1, a), 1.005 * best.q);
  Capture(&w, "model_panel_global.png");
  // Not a number: refused.
  w.findChild<QLineEdit*>("txtA")->setText("abc");
  EXPECT_FALSE(w.SetWrittenModel());
}

TEST_F(ValidationTest, ComparisonListsTheSixModelsSortedAndHandsTheChosenOneOn) {
  Krige(0.05f, 0.59f, 900);
  frmComparaModelos w(session);
  w.show();
  w.Compare();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.Filas().size(), 6u);
  for (size_t k = 1; k < w.Filas().size(); ++k) {
    if (w.Filas()[k].validation.status != 0) continue;
    EXPECT_LE(w.Filas()[k - 1].validation.summary.rootMeanSquareError,
              w.Filas()[k].validation.summary.rootMeanSquareError);
  }
  EXPECT_EQ(w.findChild<QTableWidget*>("tblModelos")->rowCount(), 6);
  Capture(&w, "model_comparison.png");
  w.UseModel(1);
  EXPECT_EQ(session.options.Modelo, w.Filas()[1].model.code);
  EXPECT_EQ(session.options.MetodoAjuste, sorvan::core::kNoFit);
  EXPECT_FLOAT_EQ(session.options.C1Ini, float(w.Filas()[1].model.c1));
}

// Cancelled while it works (the program answering meanwhile: the timer below
// runs during the comparison), the comparison leaves no part of a table: an
// empty one the first time, the previous complete one after that.
TEST_F(ValidationTest, ComparisonCanBeCancelledAndLeavesNoHalfTable) {
  Krige(0.05f, 0.59f, 900);
  frmComparaModelos w(session);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  int attended = 0, doneAtCancel = -1;
  QTimer canceller;
  canceller.setInterval(5);
  QObject::connect(&canceller, &QTimer::timeout, [&] {
    auto* progress = w.findChild<QProgressDialog*>("ProgresoComparacion");
    if (progress == nullptr || !progress->isVisible()) return;
    if (++attended == 1) Capture(progress, "model_comparison_progress.png");
    // Once at least one model is done, so that a part of the table exists.
    if (progress->value() >= 1 && !progress->wasCanceled()) {
      doneAtCancel = progress->value();
      progress->cancel();
    }
  });
  auto* table = w.findChild<QTableWidget*>("tblModelos");
  canceller.start();
  EXPECT_FALSE(w.Compare());
  canceller.stop();
  EXPECT_GT(attended, 0);
  EXPECT_GE(doneAtCancel, 1);
  EXPECT_LT(doneAtCancel, 6);
  EXPECT_TRUE(w.Filas().empty());
  EXPECT_EQ(table->rowCount(), 0);

  ASSERT_TRUE(w.Compare());
  ASSERT_EQ(w.Filas().size(), 6u);
  const auto complete = w.Filas();
  doneAtCancel = -1;
  canceller.start();
  EXPECT_FALSE(w.Compare());
  canceller.stop();
  EXPECT_GE(doneAtCancel, 1);
  ASSERT_EQ(w.Filas().size(), 6u);
  EXPECT_EQ(table->rowCount(), 6);
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(w.Filas()[k].model.code, complete[k].model.code);
    EXPECT_EQ(table->item(int(k), 0)->text(), ModelName(complete[k].model.code));
  }
}

// The message comes from the run's own warnings (the engine's reply), not
// from whatever KRIGING.LOG now holds in the result folder.
TEST_F(ValidationTest, WarningsComeFromTheRunNotFromTheLogFile) {
  Krige(0.05f, 0.59f, 900);
  EXPECT_TRUE(session.warnings.empty());
  {
    // A log with the solver's early stop does not make a warning...
    std::ofstream log(session.resultsFolder + "/KRIGING.LOG", std::ios::app);
    log << "\n *** WARNING  ERROR 3 from BCLSF.  Maximum number of\n";
  }
  test_data::Message clean;
  {
    auto reply = test_data::AnswerMessage(&clean);
    QWidget parent;
    ShowRunWarnings(&parent, session);
    QTest::qWait(100);
  }
  EXPECT_FALSE(clean.seen) << clean.text.toStdString();
  // ...the run's own do, with the log gone.
  session.warnings = {" *** WARNING  ERROR 4 from BCLSF.  Maximum number of\n ***          function evaluations exceeded."};
  QFile::remove(QString::fromStdString(session.resultsFolder + "/KRIGING.LOG"));
  test_data::Message m;
  auto reply = test_data::AnswerMessage(&m);
  QWidget parent;
  ShowRunWarnings(&parent, session);
  EXPECT_TRUE(m.seen);
  EXPECT_TRUE(m.text.contains("ajuste del modelo")) << m.text.toStdString();
}

// A real run whose trend iteration reaches its limit (one iteration allowed,
// a tolerance no change meets): the warning travels in the engine helper's
// reply into the session and is shown.
TEST_F(ValidationTest, TrendIterationLimitOfARealRunIsShown) {
  session.options.Modelo = 1;
  session.options.Media = 1;
  session.options.MetodoAjuste = sorvan::core::kEngineFit;
  sorvan::core::SkuArguments a;
  ASSERT_TRUE(sorvan::core::PrepareArguments(session, a).ok);
  a.VariogramOptions[6] = 1;
  a.VariogramParameters[8] = 1e-9f;
  sorvan::core::KrigingEngine engine;
  const sorvan::core::EngineResult r = engine.run(a, folder.path().toStdString());
  ASSERT_TRUE(r.ok) << r.fullText();
  sorvan::core::ApplyResult(session, r, "logzinc", folder.path().toStdString());
  test_data::Message m;
  auto reply = test_data::AnswerMessage(&m);
  QWidget parent;
  ShowRunWarnings(&parent, session);
  EXPECT_TRUE(m.seen);
  EXPECT_TRUE(m.text.contains("iteración de la tendencia")) << m.text.toStdString();
}

TEST_F(ValidationTest, WarningsOfARunComeInOneMessage) {
  Krige(0.05f, 0.59f, 900);
  // Predictions far beyond the data's range (as if the run had extrapolated).
  session.surfaces.zMax = 30;
  test_data::Message m;
  auto reply = test_data::AnswerMessage(&m);
  QWidget parent;
  ShowRunWarnings(&parent, session);
  EXPECT_TRUE(m.seen);
  EXPECT_TRUE(m.text.contains("más allá del rango de los datos")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("30")) << m.text.toStdString();
}

TEST_F(ValidationTest, NoMessageForACleanRun) {
  Krige(0.05f, 0.59f, 900);
  test_data::Message m;
  auto reply = test_data::AnswerMessage(&m);
  QWidget parent;
  ShowRunWarnings(&parent, session);
  QTest::qWait(100);
  EXPECT_FALSE(m.seen);
}

TEST_F(ValidationTest, MenuEntriesAndTheirRefusalBeforeARun) {
  QMenu menu;
  QWidget owner;
  AddValidationMenus(&menu, &owner, session);
  QAction* validar = menu.findChild<QAction*>("mnuValidacionCruzada");
  ASSERT_NE(validar, nullptr);
  EXPECT_EQ(validar->text(), "&Validación cruzada");
  EXPECT_NE(menu.findChild<QAction*>("mnuCompararModelos"), nullptr);
  EXPECT_NE(menu.findChild<QAction*>("mnuModeloVariograma"), nullptr);
  QString text;
  auto reply = test_data::AnswerMessage(&text);
  validar->trigger();
  EXPECT_TRUE(text.contains("Haga primero un kriging")) << text.toStdString();
}

// The options dialog's "Ajuste global" box sets the fit method to global and
// back; a model kept without fit is left alone when the box stays clear.
TEST_F(ValidationTest, OptionsDialogChoosesTheGlobalFit) {
  sorvan::core::OpcionesKriging op = session.options;
  op.MetodoAjuste = sorvan::core::kEngineFit;
  {
    frmOpKriging dlg(op, session.data, 1, 2);
    dlg.show();
    ASSERT_NE(dlg.ChkAjusteGlobal, nullptr);
    EXPECT_FALSE(dlg.ChkAjusteGlobal->isChecked());
    dlg.Pestanas->setCurrentIndex(2);
    Capture(&dlg, "options_global_fit.png");
    dlg.ChkAjusteGlobal->click();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::core::kGlobalFit);
  {
    frmOpKriging dlg(op, session.data, 1, 2);
    dlg.show();
    EXPECT_TRUE(dlg.ChkAjusteGlobal->isChecked());
    dlg.ChkAjusteGlobal->click();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::core::kEngineFit);
  op.MetodoAjuste = sorvan::core::kNoFit;
  {
    frmOpKriging dlg(op, session.data, 1, 2);
    dlg.show();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::core::kNoFit);
}

// A run with the global method through the engine helper: the fitted model's
// error is no larger than the direct method's on the same classes.
TEST_F(ValidationTest, GlobalFitRunThroughTheEngineHelper) {
  session.options.Modelo = 6;
  session.options.C0Ini = session.options.C1Ini = session.options.AIni = -1;
  session.options.MetodoAjuste = sorvan::core::kDirectFit;
  sorvan::core::KrigingEngine engine;
  ASSERT_TRUE(sorvan::core::EjecutaKriging(session, "logzinc", folder.path().toStdString(), engine).ok);
  const double directo = session.model.fitError;
  session.options.MetodoAjuste = sorvan::core::kGlobalFit;
  sorvan::core::KrigingEngine otro;
  ASSERT_TRUE(sorvan::core::EjecutaKriging(session, "logzinc", folder.path().toStdString(), otro).ok);
  EXPECT_LE(session.model.fitError, directo * (1 + 1e-5));
  EXPECT_EQ(session.model.code, 6);
}

// A lag class without pairs (count 0, estimates 0) is not drawn as a point
// at zero; the classes with pairs are.
TEST(SemivariogramChart, ClassWithoutPairsIsLeftOut) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString sv = QDir(dir.path()).filePath("SKUESTIM.SV");
  {
    std::ofstream f(sv.toStdString());
    f << "GENERAL 2 100\nHOLE -1\n# estimador clasico\n3\n 10 0 30\n 0.5 0 0.7\n"
         "# estimador robusto\n3\n 10 0 30\n 0.4 0 0.6\n";
    std::ofstream g(QDir(dir.path()).filePath("SKUESTIM.FMT").toStdString());
    g << "1\n3\n 12 0 25\n4\n 0 15 25 35\n";
  }
  frmChart2D w;
  QString error, warning;
  ASSERT_TRUE(w.Load(sv, &error, &warning)) << error.toStdString();
  const Chart2D& g = w.Grafico();
  for (int series : {1, 2}) {
    EXPECT_EQ(g.Y(series, 2), g.HoleValue()) << series;
    EXPECT_NE(g.Y(series, 1), g.HoleValue());
    EXPECT_NE(g.Y(series, 3), g.HoleValue());
  }
}

}  // namespace

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 30000}); }
