// The dialog "Kriging 2D" driven through its real widgets: the default
// choice of columns, when the automatic options are (re)computed
// (OpcionesFijadas), the defaults message, and what "Aceptar" hands to the
// run. The run itself is replaced by a recorder here; kriging_run_test runs
// the engine.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <sstream>

#include "core/resource_estimate.h"
#include "core/kriging_options.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui_test_support.h"
#include "same_options.h"

using namespace sorvan::core;
using namespace sorvan::gui;

using test_data::Mensaje;
using test_data::MismasOpciones;
using test_data::ResponderMensaje;
using test_data::Respuesta;
using sorvan::core::OpcionesKriging;
using sorvan::core::KrigingSession;

namespace {

KrigingSession SesionMeuse() {
  KrigingSession s;
  const std::string path = std::string(std::getenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae";
  EXPECT_TRUE(sorvan::core::ReadData(path, s.data).ok) << path;
  s.dataFile = path;
  return s;
}

OpcionesKriging Defectos(const KrigingSession& s, int colX, int colY) {
  OpcionesKriging op;
  EXPECT_TRUE(sorvan::core::OpcionesPorDefecto(s.data, colX, colY, op).ok);
  return op;
}

// Records every run "Aceptar" asks for, with the options it was given.
struct Registro {
  int llamadas = 0;
  QString nombre;
  OpcionesKriging options;
  int colX = 0, colY = 0, colZ = 0;
  bool dialogoVisible = true;
};

class Kriging2DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session = SesionMeuse();
    dlg = new frmKriging2D(session);
    dlg->Ejecutar = [this](QWidget*, KrigingSession& s, const QString& nombre) {
      ++registro.llamadas;
      registro.nombre = nombre;
      registro.options = s.options;
      registro.colX = s.colX;
      registro.colY = s.colY;
      registro.colZ = s.colZ;
      registro.dialogoVisible = dlg->isVisible();
      return KrigingEnd::Hecho;
    };
    dlg->show();
  }
  void TearDown() override { delete dlg; }

  // Presses "Aceptar" and returns the message shown, if any.
  Mensaje Aceptar() {
    Mensaje m;
    auto respuesta = ResponderMensaje(&m);
    QTest::mouseClick(dlg->CoAceptar, Qt::LeftButton);
    return m;
  }

  KrigingSession session;
  QPointer<frmKriging2D> dlg;
  Registro registro;
};

}  // namespace

TEST_F(Kriging2DTest, CargaConZTerceraXPrimeraYSegunda) {
  EXPECT_EQ(dlg->windowTitle(), "Kriging 2D");
  EXPECT_FALSE(dlg->OpcionesFijadas);
  ASSERT_EQ(dlg->ComboZ->count(), 8);
  EXPECT_EQ(dlg->ComboZ->currentIndex(), 2);
  EXPECT_EQ(dlg->ComboX->currentIndex(), 0);
  EXPECT_EQ(dlg->ComboY->currentIndex(), 1);
  EXPECT_EQ(dlg->ComboZ->itemText(3), "logzinc ");  // the 8-character field
  ASSERT_EQ(dlg->ComboE->count(), 9);
  EXPECT_EQ(dlg->ComboE->itemText(0), " ");
  EXPECT_EQ(dlg->ComboE->itemText(1), "x       ");
  EXPECT_FALSE(dlg->ComboE->isEnabled());
}

TEST_F(Kriging2DTest, PrimerAceptarAvisaYTomaLosValoresPorDefecto) {
  dlg->ComboZ->setCurrentIndex(3);
  const Mensaje m = Aceptar();
  ASSERT_TRUE(m.visto);
  EXPECT_EQ(m.title, "Sorvan: Kriging 2D");
  EXPECT_TRUE(m.text.startsWith("Atención se toman los valores iniciales por defecto")) << m.text.toStdString();
  // It says which values: meuse has 155 points, so the spherical model, and
  // the 50 by 50 grid.
  EXPECT_TRUE(m.text.contains("modelo esférico")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("rejilla de 50 x 50 nodos")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("estimador clásico")) << m.text.toStdString();
  ASSERT_EQ(registro.llamadas, 1);
  EXPECT_FALSE(registro.dialogoVisible);  // hidden before the run
  EXPECT_EQ(registro.nombre, "logzinc");  // without trailing blanks
  EXPECT_EQ(registro.colZ, 4);
  EXPECT_EQ(registro.colX, 1);
  EXPECT_EQ(registro.colY, 2);
  EXPECT_TRUE(MismasOpciones(registro.options, Defectos(session, 1, 2)));
  EXPECT_TRUE(dlg->OpcionesFijadas);
  EXPECT_FALSE(dlg.isNull());  // hidden, not unloaded
}

TEST_F(Kriging2DTest, OtraZSinMensajeConservaLasOpciones) {
  Aceptar();
  session.options.NSaltos = 7;  // an edit made in the options dialog
  dlg->show();
  dlg->ComboZ->setCurrentIndex(5);
  const Mensaje m = Aceptar();
  EXPECT_FALSE(m.visto);
  ASSERT_EQ(registro.llamadas, 2);
  EXPECT_EQ(registro.nombre, "copper");
  EXPECT_EQ(registro.options.NSaltos, 7);
}

TEST_F(Kriging2DTest, OtraXAvisaDeNuevoYDescartaLosCambios) {
  Aceptar();
  session.options.NSaltos = 7;
  session.options.Modelo = 6;
  dlg->show();
  dlg->ComboX->setCurrentIndex(7);  // elev as X
  EXPECT_FALSE(dlg->OpcionesFijadas);
  const Mensaje m = Aceptar();
  EXPECT_TRUE(m.visto);
  ASSERT_EQ(registro.llamadas, 2);
  EXPECT_EQ(registro.colX, 8);
  EXPECT_TRUE(MismasOpciones(registro.options, Defectos(session, 8, 2)));
  EXPECT_NE(registro.options.NSaltos, 7);
}

TEST_F(Kriging2DTest, OtraYTambienRecalcula) {
  Aceptar();
  session.options.NSaltos = 7;
  dlg->show();
  dlg->ComboY->setCurrentIndex(0);
  dlg->ComboY->setCurrentIndex(1);  // back to the same column: still recomputed
  EXPECT_FALSE(dlg->OpcionesFijadas);
  // The same values as the user was told of before: no second notice.
  EXPECT_FALSE(Aceptar().visto);
  EXPECT_TRUE(MismasOpciones(registro.options, Defectos(session, 1, 2)));
}

// The notice comes once per data set, not before every run: a dialog
// unloaded by "Cancelar" and shown again does not repeat it.
TEST_F(Kriging2DTest, ElAvisoDeDefectosSaleUnaVezPorConjuntoDeDatos) {
  EXPECT_TRUE(Aceptar().visto);
  dlg->show();
  QTest::mouseClick(dlg->CoCancelar, Qt::LeftButton);
  QApplication::processEvents();
  dlg = new frmKriging2D(session);
  dlg->Ejecutar = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.llamadas;
    return KrigingEnd::Hecho;
  };
  dlg->show();
  EXPECT_FALSE(Aceptar().visto);
  EXPECT_EQ(registro.llamadas, 2);
  // Another data file: told again.
  session.dataFile += ".copia";
  delete dlg;
  dlg = new frmKriging2D(session);
  dlg->Ejecutar = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.llamadas;
    return KrigingEnd::Hecho;
  };
  dlg->show();
  EXPECT_TRUE(Aceptar().visto);
}

TEST_F(Kriging2DTest, CoordenadaEditadaEnLosDatosRecalcula) {
  Aceptar();
  session.options.NSaltos = 7;
  session.optionsReady = false;  // what the data window does after an edit of X or Y
  dlg->show();
  // Recomputed; the values are those the user was told of: no second notice.
  EXPECT_FALSE(Aceptar().visto);
  EXPECT_TRUE(MismasOpciones(registro.options, Defectos(session, 1, 2)));
}

TEST_F(Kriging2DTest, OpcionesCanceladasYAceptarNoAvisa) {
  Respuesta<frmOpKriging> options([](frmOpKriging* op) {
    op->TxtNSaltos->setText("5");  // discarded by "Cancelar"
    QTest::mouseClick(op->CoCancelar, Qt::LeftButton);
  });
  QTest::mouseClick(dlg->CoOpciones, Qt::LeftButton);
  ASSERT_TRUE(options.vista());
  EXPECT_TRUE(dlg->OpcionesFijadas);
  const Mensaje m = Aceptar();
  EXPECT_FALSE(m.visto);
  ASSERT_EQ(registro.llamadas, 1);
  EXPECT_TRUE(MismasOpciones(registro.options, Defectos(session, 1, 2)));
}

TEST_F(Kriging2DTest, OpcionesAceptadasLleganALaEjecucion) {
  QString saltosMostrados;
  Respuesta<frmOpKriging> options([&saltosMostrados](frmOpKriging* op) {
    saltosMostrados = op->TxtNSaltos->text();
    op->TxtNSaltos->setText("12");
    op->TxtNAjus->setText("6");
    op->OpModelo->button(1)->click();
    QTest::mouseClick(op->CoAceptar, Qt::LeftButton);
  });
  QTest::mouseClick(dlg->CoOpciones, Qt::LeftButton);
  ASSERT_TRUE(options.vista());
  // The options dialog showed the automatic values.
  EXPECT_EQ(saltosMostrados.toInt(), Defectos(session, 1, 2).NSaltos);
  EXPECT_FALSE(Aceptar().visto);
  EXPECT_EQ(registro.options.NSaltos, 12);
  EXPECT_EQ(registro.options.NAjus, 6);
  EXPECT_EQ(registro.options.Modelo, 2);
}

TEST_F(Kriging2DTest, CancelarDescargaElDialogo) {
  QTest::mouseClick(dlg->CoCancelar, Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dlg.isNull());
  EXPECT_EQ(registro.llamadas, 0);
}

TEST_F(Kriging2DTest, UnaEjecucionFallidaNoAbreNada) {
  dlg->Ejecutar = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.llamadas;
    return KrigingEnd::Fallo;
  };
  Aceptar();
  EXPECT_EQ(registro.llamadas, 1);
  EXPECT_TRUE(dlg->OpcionesFijadas);  // the options stay for a retry
}

TEST(Kriging2D, DatosQueNoPermitenElDialogo) {
  KrigingSession drain;
  QString reason;
  EXPECT_FALSE(frmKriging2D::PuedeMostrarse(drain, &reason));
  EXPECT_FALSE(reason.isEmpty());

  KrigingSession dos;
  std::istringstream f("\"t\"\n2,3\n\"a\",\"\",0\n\"b\",\"\",0\n1,2\n3,4\n5,7\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "dos.dae", dos.data).ok);
  EXPECT_FALSE(frmKriging2D::PuedeMostrarse(dos, &reason));
  EXPECT_TRUE(reason.contains("tres")) << reason.toStdString();

  EXPECT_TRUE(frmKriging2D::PuedeMostrarse(SesionMeuse(), &reason));
}

TEST(Kriging2D, OtrosDatosHacenElDialogoObsoleto) {
  KrigingSession s = SesionMeuse();
  frmKriging2D dlg(s);
  EXPECT_TRUE(dlg.MismosDatos());
  std::istringstream f("\"t\"\n3,3\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n1,2,3\n3,4,5\n5,7,9\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "otro.dae", s.data).ok);
  s.dataFile = "otro.dae";
  EXPECT_FALSE(dlg.MismosDatos());
}

TEST(Kriging2D, DatosEnUnSoloPuntoSeExplicanSinEjecutar) {
  KrigingSession s;
  std::istringstream f("\"t\"\n3,3\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n1,1,3\n1,1,5\n1,1,9\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "punto.dae", s.data).ok);
  frmKriging2D dlg(s);
  int llamadas = 0;
  dlg.Ejecutar = [&](QWidget*, KrigingSession&, const QString&) {
    ++llamadas;
    return KrigingEnd::Hecho;
  };
  dlg.show();
  // Only the reason the defaults cannot be made (no values were chosen).
  Mensaje mensajes[2];
  int n = 0;
  Respuesta<QMessageBox> respuesta(
      [&](QMessageBox* box) {
        mensajes[n++] = {true, box->windowTitle(), box->text()};
        box->button(QMessageBox::Ok)->click();
      },
      2);
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  ASSERT_EQ(n, 1);
  EXPECT_TRUE(mensajes[0].text.contains("mismo punto")) << mensajes[0].text.toStdString();
  EXPECT_EQ(llamadas, 0);
  EXPECT_FALSE(dlg.OpcionesFijadas);
}

// The dialog says where the run will write, and warns with the estimated
// figures when a global run of the data will be slow or cannot fit.
TEST(Kriging2D, MuestraLaCarpetaYAvisaDeUnKrigingGrande) {
  KrigingSession s = SesionMeuse();
  {
    frmKriging2D dlg(s);
    const QString esperada = QDir(QString::fromStdString(s.dataFile)).absoluteFilePath("../meuse_resultados");
    EXPECT_TRUE(dlg.TxtCarpeta->text() == QDir::cleanPath(esperada) ||
                dlg.TxtCarpeta->text().endsWith("/meuse_resultados"))
        << dlg.TxtCarpeta->text().toStdString();
    EXPECT_TRUE(dlg.TxtCarpeta->isReadOnly());
    EXPECT_FALSE(dlg.LblEstimacion->isVisibleTo(&dlg));  // 155 points: nothing to say
  }
  // Many points (no kriging is made): the figures of the estimate.
  const auto conPuntos = [](int n) {
    KrigingSession g;
    g.data.nvar = 3;
    g.data.N = n;
    g.data.names = {"x       ", "y       ", "z       "};
    g.data.matrix.resize(size_t(3) * n);
    for (int i = 0; i < n; ++i) {
      g.data.matrix[size_t(i)] = i % 1000;
      g.data.matrix[size_t(n + i)] = i / 1000;
      g.data.matrix[size_t(2 * n + i)] = i % 7;
    }
    return g;
  };
  KrigingSession lento = conPuntos(40000);
  const sorvan::core::ResourceEstimate e = sorvan::core::EstimateResources(40000, 2500, 0);
  {
    frmKriging2D dlg(lento);
    EXPECT_TRUE(dlg.LblEstimacion->isVisibleTo(&dlg));
    EXPECT_TRUE(dlg.LblEstimacion->text().contains(QString::fromStdString(sorvan::core::BytesText(e.bytes))))
        << dlg.LblEstimacion->text().toStdString();
    EXPECT_TRUE(dlg.LblEstimacion->text().contains("Kriging Local")) << dlg.LblEstimacion->text().toStdString();
    if (const char* folder = std::getenv("SORVAN_SCREENSHOTS")) {
      dlg.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
      dlg.grab().save(QDir(QString::fromLocal8Bit(folder)).filePath("kriging_dialog_aviso.png"));
    }
  }
  KrigingSession enorme = conPuntos(400000);
  {
    frmKriging2D dlg(enorme);
    EXPECT_TRUE(dlg.LblEstimacion->text().startsWith("El kriging global de estos datos no cabe en la memoria"))
        << dlg.LblEstimacion->text().toStdString();
    // "Aceptar" refuses it at once: no automatic options, no run.
    int llamadas = 0;
    dlg.Ejecutar = [&](QWidget*, KrigingSession&, const QString&) {
      ++llamadas;
      return KrigingEnd::Hecho;
    };
    QString text;
    auto respuesta = test_data::ResponderMensaje(&text);
    dlg.show();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
    EXPECT_TRUE(text.startsWith("El kriging global de estos datos no cabe en la memoria")) << text.toStdString();
    EXPECT_EQ(llamadas, 0);
    EXPECT_FALSE(enorme.optionsReady);
  }
}

TEST(Kriging2D, CambiarLaCarpetaLaFijaParaEstosDatos) {
  KrigingSession s = SesionMeuse();
  QTemporaryDir otra;
  frmKriging2D dlg(s);
  QString propuesta;
  dlg.ElegirCarpeta = [&](QWidget*, const QString& actual) {
    propuesta = actual;
    return otra.path();
  };
  QTest::mouseClick(dlg.CoCarpeta, Qt::LeftButton);
  EXPECT_TRUE(propuesta.endsWith("meuse_resultados")) << propuesta.toStdString();
  EXPECT_EQ(dlg.TxtCarpeta->text(), otra.path());
  EXPECT_EQ(s.chosenFolder, QFile::encodeName(otra.path()).toStdString());
  EXPECT_EQ(s.chosenFolderFor, s.dataFile);
  // A cancelled choice changes nothing.
  dlg.ElegirCarpeta = [](QWidget*, const QString&) { return QString(); };
  QTest::mouseClick(dlg.CoCarpeta, Qt::LeftButton);
  EXPECT_EQ(dlg.TxtCarpeta->text(), otra.path());
}

// With SORVAN_SCREENSHOTS set to a folder, the dialog on meuse is saved
// there as kriging_dialog.png.
TEST(Kriging2D, Captura) {
  const char* folder = std::getenv("SORVAN_SCREENSHOTS");
  if (!folder) GTEST_SKIP() << "SORVAN_SCREENSHOTS not set";
  KrigingSession s = SesionMeuse();
  frmKriging2D dlg(s);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTest::qWait(50);
  EXPECT_TRUE(dlg.grab().save(QDir(QString::fromLocal8Bit(folder)).filePath("kriging_dialog.png")));
}

int main(int argc, char** argv) { return test_data::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 15000}); }
