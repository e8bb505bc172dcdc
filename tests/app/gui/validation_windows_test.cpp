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

#include "core/ejecuta_kriging.h"
#include "gui/charts/frmChart2D.h"
#include "gui/kriging/frmOpKriging.h"
#include <QCheckBox>
#include <QPushButton>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include "platform/chart2d.h"
#include "core/motor_kriging.h"
#include "core/opciones_kriging.h"
#include "core/sesion_kriging.h"
#include "gui/validation/frmComparaModelos.h"
#include "gui/validation/frmModeloVariograma.h"
#include "gui/validation/frmValidacionCruzada.h"
#include "gui/validation/validation_commands.h"
#include "gui/validation/validation_plot.h"
#include "gui_test_support.h"
#include "../../engine/criterion_minimum.h"

using sorvan::SesionKriging;

namespace {

void Captura(QWidget* w, const char* nombre) {
  const QByteArray carpeta = qgetenv("SORVAN_SCREENSHOTS");
  if (!carpeta.isEmpty()) w->grab().save(QDir(QString::fromLocal8Bit(carpeta)).filePath(QString::fromLatin1(nombre)));
}

class ValidacionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(carpeta.isValid());
    const std::string meuse = qgetenv("SORVAN_SOURCE_DIR").toStdString() + "/examples/meuse.dae";
    ASSERT_TRUE(sorvan::LeeDatos(meuse, sesion.datos).ok);
    sesion.colX = 1, sesion.colY = 2, sesion.colZ = 4;
    ASSERT_TRUE(sorvan::OpcionesPorDefecto(sesion.datos, 1, 2, sesion.opciones).ok);
    sesion.opcionesListas = true;
  }
  // Krige with the given spherical model and no fit.
  void Krigear(float c0, float c1, float a, int tendencia = 0) {
    sesion.opciones.Modelo = 1;
    sesion.opciones.Media = tendencia;
    sesion.opciones.C0Ini = c0, sesion.opciones.C1Ini = c1, sesion.opciones.AIni = a;
    sesion.opciones.MetodoAjuste = sorvan::kSinAjuste;
    sorvan::MotorKriging motor;
    const sorvan::Resultado r = sorvan::EjecutaKriging(sesion, "logzinc", carpeta.path().toStdString(), motor);
    ASSERT_TRUE(r.ok) << r.mensaje;
  }
  QTemporaryDir carpeta;
  SesionKriging sesion;
};

TEST_F(ValidacionTest, WindowShowsTheSummaryOfTheReferenceModelAndExportsTheTable) {
  Krigear(0.05f, 0.59f, 900);
  frmValidacionCruzada w(sesion);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.Resultado().status, 0) << w.Resultado().message;
  // An independent package's leave-one-out of this model: RMSE 0.391977,
  // mean squared standardised error 0.825517.
  EXPECT_NEAR(w.Resultado().summary.rootMeanSquareError, 0.391977, 1e-5);
  EXPECT_NEAR(w.Resultado().summary.meanSquaredStandardisedError, 0.825517, 1e-4);
  const QString resumen = w.findChild<QLabel*>("lblResumen")->text();
  EXPECT_TRUE(resumen.contains("155 datos")) << resumen.toStdString();
  EXPECT_TRUE(resumen.contains("0.391977")) << resumen.toStdString();
  // The 1:1 plot spans the observed data.
  const QRectF extent = w.findChild<ValidationPlot*>("graficoDispersion")->Extent();
  EXPECT_LE(extent.left(), 4.73);
  EXPECT_GE(extent.right(), 7.51);
  Captura(&w, "cross_validation.png");

  const QString csv = QDir(carpeta.path()).filePath("cv.csv");
  ASSERT_TRUE(w.ExportarTabla(csv).ok);
  std::ifstream in(csv.toStdString());
  int lineas = 0;
  for (std::string l; std::getline(in, l);) ++lineas;
  EXPECT_EQ(lineas, 156);

  // Ten groups: every datum predicted once, by another group's data.
  w.findChild<QComboBox*>("cboModo")->setCurrentIndex(1);
  ASSERT_TRUE(w.Calcular());
  EXPECT_EQ(w.Resultado().points[0].fold >= 0 && w.Resultado().points[0].fold < 10, true);
  EXPECT_GT(w.Resultado().summary.rootMeanSquareError, 0.3);
}

// The labelled ticks of a plot axis: at least three, equally spaced by 1, 2,
// 2.5 or 5 times a power of ten, each a whole number of steps, the first and
// last enclosing the data (`low`..`high`). Empty when they are.
std::string TicksNoRedondos(const std::vector<double>& t, double low, double high) {
  std::ostringstream o;
  for (double v : t) o << v << ' ';
  if (t.size() < 3) return "pocas marcas: " + o.str();
  const double paso = t[1] - t[0];
  const double potencia = std::pow(10.0, std::floor(std::log10(paso)));
  const double m = paso / potencia;
  bool redondo = false;
  for (double r : {1.0, 2.0, 2.5, 5.0, 10.0}) redondo = redondo || std::abs(m - r) < 1e-9 * r;
  if (!redondo) return "paso no redondo: " + o.str();
  for (size_t k = 0; k < t.size(); ++k) {
    if (std::abs(t[k] - (t[0] + k * paso)) > 1e-9 * paso) return "marcas desiguales: " + o.str();
    if (std::abs(t[k] / paso - std::round(t[k] / paso)) > 1e-6) return "marca fuera de los pasos: " + o.str();
  }
  if (t.front() > low || t.back() < high) return "no abarcan los datos: " + o.str();
  return {};
}

// The cross-validation histogram and the model panel's semivariogram were
// labelled at the data's ends and fourths (45.76, 34.32, ...; 526.8, 1053.608).
TEST_F(ValidacionTest, PlotAxesAreLabelledAtRoundNumbers) {
  Krigear(0.05f, 0.59f, 900);
  frmValidacionCruzada cv(sesion);
  cv.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cv));
  frmModeloVariograma modelo(sesion);
  modelo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&modelo));
  for (const char* nombre : {"graficoHistograma", "graficoDispersion", "graficoMapa", "graficoModelo"}) {
    const ValidationPlot* p = nombre == std::string("graficoModelo") ? modelo.findChild<ValidationPlot*>(nombre)
                                                                     : cv.findChild<ValidationPlot*>(nombre);
    ASSERT_NE(p, nullptr) << nombre;
    const QRectF e = p->Extent();
    EXPECT_EQ(TicksNoRedondos(p->Ticks(Qt::Horizontal), e.left(), e.right()), "") << nombre << " X";
    EXPECT_EQ(TicksNoRedondos(p->Ticks(Qt::Vertical), e.top(), e.bottom()), "") << nombre << " Y";
  }
  // The histogram's counts start at 0.
  EXPECT_EQ(cv.findChild<ValidationPlot*>("graficoHistograma")->Ticks(Qt::Vertical).front(), 0.0);
}

TEST_F(ValidacionTest, ModelPanelShowsTheFitErrorAndKrigesATypedModel) {
  // A fitted run: the panel recomputes the engine's fit error from the chart files.
  sesion.opciones.MetodoAjuste = sorvan::kAjusteMotor;
  sesion.opciones.C0Ini = sesion.opciones.C1Ini = sesion.opciones.AIni = -1;
  sorvan::MotorKriging motor;
  ASSERT_TRUE(sorvan::EjecutaKriging(sesion, "logzinc", carpeta.path().toStdString(), motor).ok);
  frmModeloVariograma w(sesion);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const ClasesAjuste clases = LeeClasesAjuste(carpeta.path());
  ASSERT_FALSE(clases.pares.empty());
  const sorvan::ModeloAjustado& m = sesion.modelo;
  EXPECT_NEAR(ErrorAjuste(clases, m.codigo, m.c0, m.c1, m.a, sesion.opciones.NMinAjus, sesion.opciones.NAjus),
              m.errorAjuste, 1e-3 * m.errorAjuste);
  EXPECT_TRUE(w.findChild<QLabel*>("lblAjustado")->text().contains("esférico"));
  Captura(&w, "model_panel.png");

  // A typed model redraws at once and is kriged as typed.
  w.findChild<QComboBox*>("cboModelo")->setCurrentIndex(1);  // exponential
  w.findChild<QLineEdit*>("txtC0")->setText("0.1");
  w.findChild<QLineEdit*>("txtC1")->setText("0.5");
  w.findChild<QLineEdit*>("txtA")->setText("300");
  const QString error = w.findChild<QLabel*>("lblError")->text();
  EXPECT_TRUE(error.contains(QString::number(ErrorAjuste(clases, 2, 0.1, 0.5, 300, sesion.opciones.NMinAjus,
                                                         sesion.opciones.NAjus), 'g', 6)))
      << error.toStdString();
  ASSERT_TRUE(w.FijarModeloEscrito());
  sorvan::MotorKriging motor2;
  ASSERT_TRUE(sorvan::EjecutaKriging(sesion, "logzinc", carpeta.path().toStdString(), motor2).ok);
  EXPECT_EQ(sesion.modelo.codigo, 2);
  EXPECT_FLOAT_EQ(sesion.modelo.c0, 0.1f);
  EXPECT_FLOAT_EQ(sesion.modelo.c1, 0.5f);
  EXPECT_FLOAT_EQ(sesion.modelo.a, 300.0f);
  // The global fit of the oscillatory model on the classes, into the boxes:
  // within half a percent of the criterion's true minimum.
  w.findChild<QComboBox*>("cboModelo")->setCurrentIndex(5);
  ASSERT_TRUE(w.AjusteGlobal().ok);
  int codigo;
  double c0, c1, a;
  ASSERT_TRUE(w.ModeloEscrito(codigo, c0, c1, a));
  EXPECT_EQ(codigo, 6);
  kriging::testing::FitClasses d;
  for (size_t i = 0; i < clases.pares.size() && d.count.size() < 50; ++i)
    if (clases.pares[i] > sesion.opciones.NMinAjus)
      d.count.push_back(clases.pares[i]), d.distance.push_back(clases.distancia[i]),
          d.estimate.push_back(clases.estimacion[i]);
  const double ultima = d.distance.back();
  const kriging::testing::Minimum mejor = kriging::testing::MinimiseCriterion(d, 6, 0.001 * ultima, 100 * ultima);
  EXPECT_LE(kriging::testing::Criterion(d, 6, c0, c1, a), 1.005 * mejor.q);
  Captura(&w, "model_panel_global.png");
  // Not a number: refused.
  w.findChild<QLineEdit*>("txtA")->setText("abc");
  EXPECT_FALSE(w.FijarModeloEscrito());
}

TEST_F(ValidacionTest, ComparisonListsTheSixModelsSortedAndHandsTheChosenOneOn) {
  Krigear(0.05f, 0.59f, 900);
  frmComparaModelos w(sesion);
  w.show();
  w.Comparar();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  ASSERT_EQ(w.Filas().size(), 6u);
  for (size_t k = 1; k < w.Filas().size(); ++k) {
    if (w.Filas()[k].validation.status != 0) continue;
    EXPECT_LE(w.Filas()[k - 1].validation.summary.rootMeanSquareError,
              w.Filas()[k].validation.summary.rootMeanSquareError);
  }
  EXPECT_EQ(w.findChild<QTableWidget*>("tblModelos")->rowCount(), 6);
  Captura(&w, "model_comparison.png");
  w.UsarModelo(1);
  EXPECT_EQ(sesion.opciones.Modelo, w.Filas()[1].model.code);
  EXPECT_EQ(sesion.opciones.MetodoAjuste, sorvan::kSinAjuste);
  EXPECT_FLOAT_EQ(sesion.opciones.C1Ini, float(w.Filas()[1].model.c1));
}

// Cancelled while it works (the program answering meanwhile: the timer below
// runs during the comparison), the comparison leaves no part of a table: an
// empty one the first time, the previous complete one after that.
TEST_F(ValidacionTest, ComparisonCanBeCancelledAndLeavesNoHalfTable) {
  Krigear(0.05f, 0.59f, 900);
  frmComparaModelos w(sesion);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  int atendido = 0, hechosAlCancelar = -1;
  QTimer cancelador;
  cancelador.setInterval(5);
  QObject::connect(&cancelador, &QTimer::timeout, [&] {
    auto* progreso = w.findChild<QProgressDialog*>("ProgresoComparacion");
    if (progreso == nullptr || !progreso->isVisible()) return;
    if (++atendido == 1) Captura(progreso, "model_comparison_progress.png");
    // Once at least one model is done, so that a part of the table exists.
    if (progreso->value() >= 1 && !progreso->wasCanceled()) {
      hechosAlCancelar = progreso->value();
      progreso->cancel();
    }
  });
  auto* tabla = w.findChild<QTableWidget*>("tblModelos");
  cancelador.start();
  EXPECT_FALSE(w.Comparar());
  cancelador.stop();
  EXPECT_GT(atendido, 0);
  EXPECT_GE(hechosAlCancelar, 1);
  EXPECT_LT(hechosAlCancelar, 6);
  EXPECT_TRUE(w.Filas().empty());
  EXPECT_EQ(tabla->rowCount(), 0);

  ASSERT_TRUE(w.Comparar());
  ASSERT_EQ(w.Filas().size(), 6u);
  const auto completa = w.Filas();
  hechosAlCancelar = -1;
  cancelador.start();
  EXPECT_FALSE(w.Comparar());
  cancelador.stop();
  EXPECT_GE(hechosAlCancelar, 1);
  ASSERT_EQ(w.Filas().size(), 6u);
  EXPECT_EQ(tabla->rowCount(), 6);
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(w.Filas()[k].model.code, completa[k].model.code);
    EXPECT_EQ(tabla->item(int(k), 0)->text(), NombreModelo(completa[k].model.code));
  }
}

// The message comes from the run's own warnings (the engine's reply), not
// from whatever KRIGING.LOG now holds in the result folder.
TEST_F(ValidacionTest, WarningsComeFromTheRunNotFromTheLogFile) {
  Krigear(0.05f, 0.59f, 900);
  EXPECT_TRUE(sesion.avisos.empty());
  {
    // A log with the solver's early stop does not make a warning...
    std::ofstream log(sesion.carpetaResultados + "/KRIGING.LOG", std::ios::app);
    log << "\n *** WARNING  ERROR 3 from BCLSF.  Maximum number of\n";
  }
  prueba::Mensaje limpio;
  {
    auto respuesta = prueba::ResponderMensaje(&limpio);
    QWidget padre;
    MostrarAvisosEjecucion(&padre, sesion);
    QTest::qWait(100);
  }
  EXPECT_FALSE(limpio.visto) << limpio.texto.toStdString();
  // ...the run's own do, with the log gone.
  sesion.avisos = {" *** WARNING  ERROR 4 from BCLSF.  Maximum number of\n ***          function evaluations exceeded."};
  QFile::remove(QString::fromStdString(sesion.carpetaResultados + "/KRIGING.LOG"));
  prueba::Mensaje m;
  auto respuesta = prueba::ResponderMensaje(&m);
  QWidget padre;
  MostrarAvisosEjecucion(&padre, sesion);
  EXPECT_TRUE(m.visto);
  EXPECT_TRUE(m.texto.contains("ajuste del modelo")) << m.texto.toStdString();
}

// A real run whose trend iteration reaches its limit (one iteration allowed,
// a tolerance no change meets): the warning travels in the engine helper's
// reply into the session and is shown.
TEST_F(ValidacionTest, TrendIterationLimitOfARealRunIsShown) {
  sesion.opciones.Modelo = 1;
  sesion.opciones.Media = 1;
  sesion.opciones.MetodoAjuste = sorvan::kAjusteMotor;
  sorvan::ArgumentosSKU a;
  ASSERT_TRUE(sorvan::PreparaArgumentos(sesion, a).ok);
  a.VariogramOptions[6] = 1;
  a.VariogramParameters[8] = 1e-9f;
  sorvan::MotorKriging motor;
  const sorvan::ResultadoMotor r = motor.run(a, carpeta.path().toStdString());
  ASSERT_TRUE(r.ok) << r.textoCompleto();
  sorvan::AplicaResultado(sesion, r, "logzinc", carpeta.path().toStdString());
  prueba::Mensaje m;
  auto respuesta = prueba::ResponderMensaje(&m);
  QWidget padre;
  MostrarAvisosEjecucion(&padre, sesion);
  EXPECT_TRUE(m.visto);
  EXPECT_TRUE(m.texto.contains("iteración de la tendencia")) << m.texto.toStdString();
}

TEST_F(ValidacionTest, WarningsOfARunComeInOneMessage) {
  Krigear(0.05f, 0.59f, 900);
  // Predictions far beyond the data's range (as if the run had extrapolated).
  sesion.superficies.zMax = 30;
  prueba::Mensaje m;
  auto respuesta = prueba::ResponderMensaje(&m);
  QWidget padre;
  MostrarAvisosEjecucion(&padre, sesion);
  EXPECT_TRUE(m.visto);
  EXPECT_TRUE(m.texto.contains("más allá del rango de los datos")) << m.texto.toStdString();
  EXPECT_TRUE(m.texto.contains("30")) << m.texto.toStdString();
}

TEST_F(ValidacionTest, NoMessageForACleanRun) {
  Krigear(0.05f, 0.59f, 900);
  prueba::Mensaje m;
  auto respuesta = prueba::ResponderMensaje(&m);
  QWidget padre;
  MostrarAvisosEjecucion(&padre, sesion);
  QTest::qWait(100);
  EXPECT_FALSE(m.visto);
}

TEST_F(ValidacionTest, MenuEntriesAndTheirRefusalBeforeARun) {
  QMenu menu;
  QWidget owner;
  AgregarMenusValidacion(&menu, &owner, sesion);
  QAction* validar = menu.findChild<QAction*>("mnuValidacionCruzada");
  ASSERT_NE(validar, nullptr);
  EXPECT_EQ(validar->text(), "&Validación cruzada");
  EXPECT_NE(menu.findChild<QAction*>("mnuCompararModelos"), nullptr);
  EXPECT_NE(menu.findChild<QAction*>("mnuModeloVariograma"), nullptr);
  QString texto;
  auto respuesta = prueba::ResponderMensaje(&texto);
  validar->trigger();
  EXPECT_TRUE(texto.contains("Haga primero un kriging")) << texto.toStdString();
}

// The options dialog's "Ajuste global" box sets the fit method to global and
// back; a model kept without fit is left alone when the box stays clear.
TEST_F(ValidacionTest, OptionsDialogChoosesTheGlobalFit) {
  sorvan::OpcionesKriging op = sesion.opciones;
  op.MetodoAjuste = sorvan::kAjusteMotor;
  {
    frmOpKriging dlg(op, sesion.datos, 1, 2);
    dlg.show();
    ASSERT_NE(dlg.ChkAjusteGlobal, nullptr);
    EXPECT_FALSE(dlg.ChkAjusteGlobal->isChecked());
    dlg.Pestanas->setCurrentIndex(2);
    Captura(&dlg, "options_global_fit.png");
    dlg.ChkAjusteGlobal->click();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::kAjusteGlobal);
  {
    frmOpKriging dlg(op, sesion.datos, 1, 2);
    dlg.show();
    EXPECT_TRUE(dlg.ChkAjusteGlobal->isChecked());
    dlg.ChkAjusteGlobal->click();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::kAjusteMotor);
  op.MetodoAjuste = sorvan::kSinAjuste;
  {
    frmOpKriging dlg(op, sesion.datos, 1, 2);
    dlg.show();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(op.MetodoAjuste, sorvan::kSinAjuste);
}

// A run with the global method through the engine helper: the fitted model's
// error is no larger than the direct method's on the same classes.
TEST_F(ValidacionTest, GlobalFitRunThroughTheEngineHelper) {
  sesion.opciones.Modelo = 6;
  sesion.opciones.C0Ini = sesion.opciones.C1Ini = sesion.opciones.AIni = -1;
  sesion.opciones.MetodoAjuste = sorvan::kAjusteDirecto;
  sorvan::MotorKriging motor;
  ASSERT_TRUE(sorvan::EjecutaKriging(sesion, "logzinc", carpeta.path().toStdString(), motor).ok);
  const double directo = sesion.modelo.errorAjuste;
  sesion.opciones.MetodoAjuste = sorvan::kAjusteGlobal;
  sorvan::MotorKriging otro;
  ASSERT_TRUE(sorvan::EjecutaKriging(sesion, "logzinc", carpeta.path().toStdString(), otro).ok);
  EXPECT_LE(sesion.modelo.errorAjuste, directo * (1 + 1e-5));
  EXPECT_EQ(sesion.modelo.codigo, 6);
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
  QString error, aviso;
  ASSERT_TRUE(w.Cargar(sv, &error, &aviso)) << error.toStdString();
  const Chart2D& g = w.Grafico();
  for (int serie : {1, 2}) {
    EXPECT_EQ(g.Y(serie, 2), g.HoleValue()) << serie;
    EXPECT_NE(g.Y(serie, 1), g.HoleValue());
    EXPECT_NE(g.Y(serie, 3), g.HoleValue());
  }
}

}  // namespace

int main(int argc, char** argv) { return prueba::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 30000}); }
