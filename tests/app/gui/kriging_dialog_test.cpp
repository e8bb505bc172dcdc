// The dialog "Kriging 2D" driven through its real widgets: the default
// choice of columns, when the automatic options are (re)computed
// (OpcionesFijadas), the defaults message, and what "Accept" hands to the
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

using test_data::Message;
using test_data::SameOptions;
using test_data::AnswerMessage;
using test_data::Reply;
using sorvan::core::OpcionesKriging;
using sorvan::core::KrigingSession;

namespace {

KrigingSession MeuseSession() {
  KrigingSession s;
  const std::string path = std::string(std::getenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae";
  EXPECT_TRUE(sorvan::core::ReadData(path, s.data).ok) << path;
  s.dataFile = path;
  return s;
}

OpcionesKriging Defaults(const KrigingSession& s, int colX, int colY) {
  OpcionesKriging op;
  EXPECT_TRUE(sorvan::core::OpcionesPorDefecto(s.data, colX, colY, op).ok);
  return op;
}

// Records every run "Accept" asks for, with the options it was given.
struct Registro {
  int calls = 0;
  QString nombre;
  OpcionesKriging options;
  int colX = 0, colY = 0, colZ = 0;
  bool dialogVisible = true;
};

class Kriging2DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session = MeuseSession();
    dlg = new frmKriging2D(session);
    dlg->Execute = [this](QWidget*, KrigingSession& s, const QString& nombre) {
      ++registro.calls;
      registro.nombre = nombre;
      registro.options = s.options;
      registro.colX = s.colX;
      registro.colY = s.colY;
      registro.colZ = s.colZ;
      registro.dialogVisible = dlg->isVisible();
      return KrigingEnd::Done;
    };
    dlg->show();
  }
  void TearDown() override { delete dlg; }

  // Presses "Accept" and returns the message shown, if any.
  Message Accept() {
    Message m;
    auto reply = AnswerMessage(&m);
    QTest::mouseClick(dlg->CoAceptar, Qt::LeftButton);
    return m;
  }

  KrigingSession session;
  QPointer<frmKriging2D> dlg;
  Registro registro;
};

}  // namespace

TEST_F(Kriging2DTest, LoadsWithZThirdXFirstYSecond) {
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

TEST_F(Kriging2DTest, FirstAcceptWarnsAndTakesTheDefaults) {
  dlg->ComboZ->setCurrentIndex(3);
  const Message m = Accept();
  ASSERT_TRUE(m.seen);
  EXPECT_EQ(m.title, "Sorvan: Kriging 2D");
  EXPECT_TRUE(m.text.startsWith("Atención se toman los valores iniciales por defecto")) << m.text.toStdString();
  // It says which values: meuse has 155 points, so the spherical model, and
  // the 50 by 50 grid.
  EXPECT_TRUE(m.text.contains("modelo esférico")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("rejilla de 50 x 50 nodos")) << m.text.toStdString();
  EXPECT_TRUE(m.text.contains("estimador clásico")) << m.text.toStdString();
  ASSERT_EQ(registro.calls, 1);
  EXPECT_FALSE(registro.dialogVisible);  // hidden before the run
  EXPECT_EQ(registro.nombre, "logzinc");  // without trailing blanks
  EXPECT_EQ(registro.colZ, 4);
  EXPECT_EQ(registro.colX, 1);
  EXPECT_EQ(registro.colY, 2);
  EXPECT_TRUE(SameOptions(registro.options, Defaults(session, 1, 2)));
  EXPECT_TRUE(dlg->OpcionesFijadas);
  EXPECT_FALSE(dlg.isNull());  // hidden, not unloaded
}

TEST_F(Kriging2DTest, AnotherZWithoutMessageKeepsTheOptions) {
  Accept();
  session.options.NSaltos = 7;  // an edit made in the options dialog
  dlg->show();
  dlg->ComboZ->setCurrentIndex(5);
  const Message m = Accept();
  EXPECT_FALSE(m.seen);
  ASSERT_EQ(registro.calls, 2);
  EXPECT_EQ(registro.nombre, "copper");
  EXPECT_EQ(registro.options.NSaltos, 7);
}

TEST_F(Kriging2DTest, AnotherXWarnsAgainAndDiscardsTheChanges) {
  Accept();
  session.options.NSaltos = 7;
  session.options.Modelo = 6;
  dlg->show();
  dlg->ComboX->setCurrentIndex(7);  // elev as X
  EXPECT_FALSE(dlg->OpcionesFijadas);
  const Message m = Accept();
  EXPECT_TRUE(m.seen);
  ASSERT_EQ(registro.calls, 2);
  EXPECT_EQ(registro.colX, 8);
  EXPECT_TRUE(SameOptions(registro.options, Defaults(session, 8, 2)));
  EXPECT_NE(registro.options.NSaltos, 7);
}

TEST_F(Kriging2DTest, AnotherYAlsoRecomputes) {
  Accept();
  session.options.NSaltos = 7;
  dlg->show();
  dlg->ComboY->setCurrentIndex(0);
  dlg->ComboY->setCurrentIndex(1);  // back to the same column: still recomputed
  EXPECT_FALSE(dlg->OpcionesFijadas);
  // The same values as the user was told of before: no second notice.
  EXPECT_FALSE(Accept().seen);
  EXPECT_TRUE(SameOptions(registro.options, Defaults(session, 1, 2)));
}

// The notice comes once per data set, not before every run: a dialog
// unloaded by "Cancelar" and shown again does not repeat it.
TEST_F(Kriging2DTest, TheDefaultsNoticeShowsOncePerDataSet) {
  EXPECT_TRUE(Accept().seen);
  dlg->show();
  QTest::mouseClick(dlg->CoCancelar, Qt::LeftButton);
  QApplication::processEvents();
  dlg = new frmKriging2D(session);
  dlg->Execute = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.calls;
    return KrigingEnd::Done;
  };
  dlg->show();
  EXPECT_FALSE(Accept().seen);
  EXPECT_EQ(registro.calls, 2);
  // Another data file: told again.
  session.dataFile += ".copia";
  delete dlg;
  dlg = new frmKriging2D(session);
  dlg->Execute = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.calls;
    return KrigingEnd::Done;
  };
  dlg->show();
  EXPECT_TRUE(Accept().seen);
}

TEST_F(Kriging2DTest, CoordinateEditedInTheDataRecomputes) {
  Accept();
  session.options.NSaltos = 7;
  session.optionsReady = false;  // what the data window does after an edit of X or Y
  dlg->show();
  // Recomputed; the values are those the user was told of: no second notice.
  EXPECT_FALSE(Accept().seen);
  EXPECT_TRUE(SameOptions(registro.options, Defaults(session, 1, 2)));
}

TEST_F(Kriging2DTest, CancelledOptionsAndAcceptDoNotWarn) {
  Reply<frmOpKriging> options([](frmOpKriging* op) {
    op->TxtNSaltos->setText("5");  // discarded by "Cancelar"
    QTest::mouseClick(op->CoCancelar, Qt::LeftButton);
  });
  QTest::mouseClick(dlg->CoOpciones, Qt::LeftButton);
  ASSERT_TRUE(options.view());
  EXPECT_TRUE(dlg->OpcionesFijadas);
  const Message m = Accept();
  EXPECT_FALSE(m.seen);
  ASSERT_EQ(registro.calls, 1);
  EXPECT_TRUE(SameOptions(registro.options, Defaults(session, 1, 2)));
}

TEST_F(Kriging2DTest, AcceptedOptionsReachTheRun) {
  QString lagsShown;
  Reply<frmOpKriging> options([&lagsShown](frmOpKriging* op) {
    lagsShown = op->TxtNSaltos->text();
    op->TxtNSaltos->setText("12");
    op->TxtNAjus->setText("6");
    op->OpModelo->button(1)->click();
    QTest::mouseClick(op->CoAceptar, Qt::LeftButton);
  });
  QTest::mouseClick(dlg->CoOpciones, Qt::LeftButton);
  ASSERT_TRUE(options.view());
  // The options dialog showed the automatic values.
  EXPECT_EQ(lagsShown.toInt(), Defaults(session, 1, 2).NSaltos);
  EXPECT_FALSE(Accept().seen);
  EXPECT_EQ(registro.options.NSaltos, 12);
  EXPECT_EQ(registro.options.NAjus, 6);
  EXPECT_EQ(registro.options.Modelo, 2);
}

TEST_F(Kriging2DTest, CancelUnloadsTheDialog) {
  QTest::mouseClick(dlg->CoCancelar, Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dlg.isNull());
  EXPECT_EQ(registro.calls, 0);
}

TEST_F(Kriging2DTest, AFailedRunOpensNothing) {
  dlg->Execute = [this](QWidget*, KrigingSession&, const QString&) {
    ++registro.calls;
    return KrigingEnd::Failure;
  };
  Accept();
  EXPECT_EQ(registro.calls, 1);
  EXPECT_TRUE(dlg->OpcionesFijadas);  // the options stay for a retry
}

TEST(Kriging2D, DataThatDoNotAllowTheDialog) {
  KrigingSession drain;
  QString reason;
  EXPECT_FALSE(frmKriging2D::CanBeShown(drain, &reason));
  EXPECT_FALSE(reason.isEmpty());

  KrigingSession two;
  std::istringstream f("\"t\"\n2,3\n\"a\",\"\",0\n\"b\",\"\",0\n1,2\n3,4\n5,7\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "dos.dae", two.data).ok);
  EXPECT_FALSE(frmKriging2D::CanBeShown(two, &reason));
  EXPECT_TRUE(reason.contains("tres")) << reason.toStdString();

  EXPECT_TRUE(frmKriging2D::CanBeShown(MeuseSession(), &reason));
}

TEST(Kriging2D, OtherDataMakeTheDialogObsolete) {
  KrigingSession s = MeuseSession();
  frmKriging2D dlg(s);
  EXPECT_TRUE(dlg.SameData());
  std::istringstream f("\"t\"\n3,3\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n1,2,3\n3,4,5\n5,7,9\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "otro.dae", s.data).ok);
  s.dataFile = "otro.dae";
  EXPECT_FALSE(dlg.SameData());
}

TEST(Kriging2D, DataAtASinglePointAreExplainedWithoutRunning) {
  KrigingSession s;
  std::istringstream f("\"t\"\n3,3\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n1,1,3\n1,1,5\n1,1,9\n");
  ASSERT_TRUE(sorvan::core::ReadData(f, "punto.dae", s.data).ok);
  frmKriging2D dlg(s);
  int calls = 0;
  dlg.Execute = [&](QWidget*, KrigingSession&, const QString&) {
    ++calls;
    return KrigingEnd::Done;
  };
  dlg.show();
  // Only the reason the defaults cannot be made (no values were chosen).
  Message messages[2];
  int n = 0;
  Reply<QMessageBox> reply(
      [&](QMessageBox* box) {
        messages[n++] = {true, box->windowTitle(), box->text()};
        box->button(QMessageBox::Ok)->click();
      },
      2);
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  ASSERT_EQ(n, 1);
  EXPECT_TRUE(messages[0].text.contains("mismo punto")) << messages[0].text.toStdString();
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(dlg.OpcionesFijadas);
}

// The dialog says where the run will write, and warns with the estimated
// figures when a global run of the data will be slow or cannot fit.
TEST(Kriging2D, ShowsTheFolderAndWarnsOfALargeKriging) {
  KrigingSession s = MeuseSession();
  {
    frmKriging2D dlg(s);
    const QString expectedOne = QDir(QString::fromStdString(s.dataFile)).absoluteFilePath("../meuse_resultados");
    EXPECT_TRUE(dlg.TxtCarpeta->text() == QDir::cleanPath(expectedOne) ||
                dlg.TxtCarpeta->text().endsWith("/meuse_resultados"))
        << dlg.TxtCarpeta->text().toStdString();
    EXPECT_TRUE(dlg.TxtCarpeta->isReadOnly());
    EXPECT_FALSE(dlg.LblEstimacion->isVisibleTo(&dlg));  // 155 points: nothing to say
  }
  // Many points (no kriging is made): the figures of the estimate.
  const auto withPoints = [](int n) {
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
  KrigingSession slowOne = withPoints(40000);
  const sorvan::core::ResourceEstimate e = sorvan::core::EstimateResources(40000, 2500, 0);
  {
    frmKriging2D dlg(slowOne);
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
  KrigingSession huge = withPoints(400000);
  {
    frmKriging2D dlg(huge);
    EXPECT_TRUE(dlg.LblEstimacion->text().startsWith("El kriging global de estos datos no cabe en la memoria"))
        << dlg.LblEstimacion->text().toStdString();
    // "Accept" refuses it at once: no automatic options, no run.
    int calls = 0;
    dlg.Execute = [&](QWidget*, KrigingSession&, const QString&) {
      ++calls;
      return KrigingEnd::Done;
    };
    QString text;
    auto reply = test_data::AnswerMessage(&text);
    dlg.show();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
    EXPECT_TRUE(text.startsWith("El kriging global de estos datos no cabe en la memoria")) << text.toStdString();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(huge.optionsReady);
  }
}

TEST(Kriging2D, ChangingTheFolderFixesItForThisData) {
  KrigingSession s = MeuseSession();
  QTemporaryDir other;
  frmKriging2D dlg(s);
  QString proposed;
  dlg.ChooseFolder = [&](QWidget*, const QString& actual) {
    proposed = actual;
    return other.path();
  };
  QTest::mouseClick(dlg.CoCarpeta, Qt::LeftButton);
  EXPECT_TRUE(proposed.endsWith("meuse_resultados")) << proposed.toStdString();
  EXPECT_EQ(dlg.TxtCarpeta->text(), other.path());
  EXPECT_EQ(s.chosenFolder, QFile::encodeName(other.path()).toStdString());
  EXPECT_EQ(s.chosenFolderFor, s.dataFile);
  // A cancelled choice changes nothing.
  dlg.ChooseFolder = [](QWidget*, const QString&) { return QString(); };
  QTest::mouseClick(dlg.CoCarpeta, Qt::LeftButton);
  EXPECT_EQ(dlg.TxtCarpeta->text(), other.path());
}

// Screenshot for the documentation (scripts/screenshots runs it; disabled in
// the suite): the dialog on meuse is saved in the folder SORVAN_SCREENSHOTS
// as kriging_dialog.png.
TEST(Kriging2D, DISABLED_Capture) {
  const char* folder = std::getenv("SORVAN_SCREENSHOTS");
  ASSERT_NE(folder, nullptr) << "SORVAN_SCREENSHOTS not set";
  KrigingSession s = MeuseSession();
  frmKriging2D dlg(s);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QTest::qWait(50);
  EXPECT_TRUE(dlg.grab().save(QDir(QString::fromLocal8Bit(folder)).filePath("kriging_dialog.png")));
}

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 15000}); }
