// The options dialog "Options Kriging" driven through its real widgets:
// values in -> dialog -> values out, the number format and read-back rule,
// "Auto", "Ajustar", the NAjus check, refused values, and the profile
// association with its node mask.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <sstream>

#include "core/run_kriging.h"
#include "gui/kriging/ControlUpDown.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/text_to_number.h"
#include "gui_test_support.h"
#include "same_options.h"

using namespace sorvan::core;
using namespace sorvan::gui;

using test_data::SameOptions;
using test_data::AnswerMessage;
using test_data::Reply;
using sorvan::core::SpatialData;
using sorvan::core::OpcionesKriging;

namespace {

// X from 0 to 100, Y from 200 to 260, a value; 6 points.
SpatialData SmallData() {
  std::istringstream f(
      "\"prueba\"\n3,6\n\"x\",\"\",0\n\"y\",\"\",0\n\"v\",\"\",0\n"
      "0,200,1\n100,260,2\n50,230,3\n20,210,4\n80,250,5\n40,240,6\n");
  SpatialData d;
  EXPECT_TRUE(sorvan::core::ReadData(f, "prueba.dae", d).ok);
  return d;
}

// Options deliberately away from any automatic value.
OpcionesKriging DifferentOptions() {
  OpcionesKriging op;
  op.Media = 2;
  op.Modelo = 5;
  op.Estimador = 2;
  op.LongVar = 0;
  op.NApor = 27;
  op.SaltoIni = 12.25f;
  op.RSalto = 1234.5f;
  op.NSaltos = 17;
  op.NAjus = 9;
  op.NMinAjus = 11;
  op.NRx = 33;
  op.NRy = 44;
  op.MinRx = -5.5f;
  op.MinRy = 178000.125f;
  op.LRx = 3.75f;
  op.LRy = 0.5f;
  op.VerSupPred = 0;
  op.VerSupVar = 1;
  op.VerAjuste = 0;
  op.VerEstimadores = 1;
  return op;
}

void WriteBytes(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClicks(field, text);
  if (field->text() != text) field->setText(text);  // a validator-free box takes any text
}

QString WritePer(const test_data::TemporaryFolder& dir, const QString& nombre, const QByteArray& content) {
  const QString path = dir.filePath(nombre);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
  return path;
}

// Checks "Asociar perfil" and answers the file dialog with `path` (or
// cancels it when `path` is empty).
void AttachProfile(frmOpKriging& dlg, const QString& path) {
  Reply<QFileDialog> reply([path](QFileDialog* fd) {
    if (path.isEmpty()) {
      fd->reject();
    } else {
      fd->selectFile(path);
      static_cast<QDialog*>(fd)->accept();
    }
  });
  dlg.VerPerfil->click();
}

}  // namespace

TEST(NumberText, DistanceFormatWithPointAndThreeDecimals) {
  EXPECT_EQ(DistanceFormat(1234.5), "1234.500");
  EXPECT_EQ(DistanceFormat(-5), "-5.000");
  EXPECT_EQ(DistanceFormat(0.25), "0.250");
  EXPECT_EQ(DistanceFormat(1234567.0), "1234567.000");  // no grouping
  EXPECT_EQ(DistanceFormat(-0.0001), "0.000");
  // The separator does not follow a comma locale.
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
  EXPECT_EQ(DistanceFormat(12.5), "12.500");
  EXPECT_EQ(ReadNumberText(DistanceFormat(12.5)), 12.5);
  QLocale::setDefault(before);
}

TEST(NumberText, OnlyTextThatIsWhollyANumber) {
  EXPECT_EQ(ReadNumberText(" -3.25 "), -3.25);
  EXPECT_FALSE(ReadNumberText("abc").has_value());
  EXPECT_FALSE(ReadNumberText("12,5").has_value());
  EXPECT_FALSE(ReadNumberText("").has_value());
  EXPECT_EQ(ReadInteger("2.5"), 2);
  EXPECT_FALSE(ReadInteger("x").has_value());
}

TEST(OpcionesKriging, ShowsTheOptionsAndAcceptReturnsThemEqual) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  const OpcionesKriging before = op;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Opciones Kriging");
  ASSERT_EQ(dlg.Pestanas->count(), 6);
  EXPECT_EQ(dlg.Pestanas->tabText(3), "Rejilla de predicción");
  EXPECT_EQ(dlg.Pestanas->tabText(5), "Perfil");
  EXPECT_EQ(dlg.OpMedia->checkedId(), 2);
  EXPECT_EQ(dlg.OpEstimador->checkedId(), 1);
  EXPECT_EQ(dlg.OpModelo->checkedId(), 4);
  EXPECT_EQ(dlg.TxtSaltoIni->text(), "12.250");
  EXPECT_EQ(dlg.TxtRSalto->text(), "1234.500");
  EXPECT_EQ(dlg.TxtNSaltos->text(), "17");
  EXPECT_EQ(dlg.TxtNApor->text(), "27");
  EXPECT_EQ(dlg.TxtNAjus->text(), "9");
  EXPECT_EQ(dlg.TxtNMinAjus->text(), "11");
  EXPECT_EQ(dlg.TxtNRx->text(), "33");
  EXPECT_EQ(dlg.TxtNRy->text(), "44");
  EXPECT_EQ(dlg.UpDownNRx->value(), 33);
  EXPECT_EQ(dlg.TxtMinRx->text(), "-5.500");
  EXPECT_EQ(dlg.TxtMinRy->text(), "178000.125");
  EXPECT_EQ(dlg.TxtLRx->text(), "3.750");
  EXPECT_EQ(dlg.TxtLRy->text(), "0.500");
  EXPECT_FALSE(dlg.VerSupPred->isChecked());
  EXPECT_TRUE(dlg.VerSupVar->isChecked());
  EXPECT_FALSE(dlg.VerAjuste->isChecked());
  EXPECT_TRUE(dlg.VerEstimadores->isChecked());
  EXPECT_FALSE(dlg.VerPerfil->isChecked());
  EXPECT_FALSE(dlg.TxtPerfil->isEnabled());

  op = OpcionesKriging{};  // whatever comes back must come from the dialog
  op.profile = before.profile;
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(SameOptions(op, before));
}

TEST(OpcionesKriging, EditedFieldsReachTheOptions) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  dlg.OpMedia->button(3)->click();
  dlg.OpEstimador->button(0)->click();
  dlg.OpModelo->button(1)->click();
  WriteBytes(dlg.TxtSaltoIni, "12.5");
  WriteBytes(dlg.TxtRSalto, "  40.25 ");  // blanks around the number are allowed
  WriteBytes(dlg.TxtNSaltos, "20.5");   // half to even: 20
  WriteBytes(dlg.TxtNAjus, "7.5");      // 8
  WriteBytes(dlg.TxtNMinAjus, "0");
  WriteBytes(dlg.TxtNRx, "150");        // beyond the arrows' range, taken as typed
  WriteBytes(dlg.TxtLRy, "2.0005");
  dlg.VerSupPred->click();
  dlg.VerEstimadores->click();
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(op.Media, 3);
  EXPECT_EQ(op.Estimador, 1);
  EXPECT_EQ(op.Modelo, 2);
  EXPECT_FLOAT_EQ(op.SaltoIni, 12.5f);
  EXPECT_FLOAT_EQ(op.RSalto, 40.25f);
  EXPECT_EQ(op.NSaltos, 20);
  EXPECT_EQ(op.NAjus, 8);
  EXPECT_EQ(op.NMinAjus, 0);
  EXPECT_EQ(op.NRx, 150);
  EXPECT_FLOAT_EQ(op.LRy, 2.0005f);
  EXPECT_EQ(op.VerSupPred, 1);
  EXPECT_EQ(op.VerEstimadores, 0);
}

// "Generar gráfico con tendencia" is offered only with a trend of degree 1
// or more, and its choice reaches the options.
TEST(OpcionesKriging, TrendChartOnlyWithATrend) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  op.Media = 0;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  EXPECT_FALSE(dlg.VerSupTend->isEnabled());
  for (int degree : {1, 2, 3, 0, 2}) {
    dlg.OpMedia->button(degree)->click();
    EXPECT_EQ(dlg.VerSupTend->isEnabled(), degree > 0) << degree;
  }
  dlg.VerSupTend->click();
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  ASSERT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(op.Media, 2);
  EXPECT_EQ(op.VerSupTend, 1);
  // Shown again with a trend: offered and ticked.
  frmOpKriging other(op, data, 1, 2);
  EXPECT_TRUE(other.VerSupTend->isEnabled());
  EXPECT_TRUE(other.VerSupTend->isChecked());
}

// At a northing of 9.1e6 single precision keeps whole metres only: the grid's
// origin and spacing typed to the centimetre must reach the options as typed,
// and be shown back so.
TEST(OpcionesKriging, TheGridOriginKeepsTheCentimetres) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  WriteBytes(dlg.TxtMinRx, "500000.37");
  WriteBytes(dlg.TxtMinRy, "9100000.13");
  WriteBytes(dlg.TxtLRx, "0.15");
  WriteBytes(dlg.TxtLRy, "0.35");
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  ASSERT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(op.MinRx, 500000.37);
  EXPECT_EQ(op.MinRy, 9100000.13);
  EXPECT_EQ(op.LRx, 0.15);
  EXPECT_EQ(op.LRy, 0.35);
  frmOpKriging otro(op, data, 1, 2);
  EXPECT_EQ(otro.TxtMinRy->text(), "9100000.130");
  EXPECT_EQ(otro.TxtMinRx->text(), "500000.370");
}

TEST(OpcionesKriging, CancelChangesNothing) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  const OpcionesKriging before = op;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  WriteBytes(dlg.TxtNSaltos, "5");
  dlg.OpModelo->button(0)->click();
  QTest::mouseClick(dlg.CoCancelar, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_TRUE(SameOptions(op, before));
}

TEST(OpcionesKriging, VariableLengthEnablesOnlyTheContributions) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  dlg.Pestanas->setCurrentIndex(1);
  EXPECT_FALSE(dlg.TxtNApor->isEnabled());
  EXPECT_TRUE(dlg.TxtSaltoIni->isEnabled());
  dlg.VerLongVar->click();
  EXPECT_TRUE(dlg.TxtNApor->isEnabled());
  EXPECT_FALSE(dlg.TxtSaltoIni->isEnabled());
  EXPECT_FALSE(dlg.TxtRSalto->isEnabled());
  EXPECT_FALSE(dlg.TxtNSaltos->isEnabled());
  EXPECT_FALSE(dlg.CoAutoESV->isEnabled());
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(op.LongVar, 1);

  op.LongVar = 1;  // loading with variable lags gives the same enabled state
  frmOpKriging otro(op, data, 1, 2);
  EXPECT_TRUE(otro.TxtNApor->isEnabled());
  EXPECT_FALSE(otro.TxtNSaltos->isEnabled());
}

// "Auto" works the lag values out from the data, whatever the options hold.
// Six points: the shortest distance is 14.142 (C-F), the largest 116.619
// (A-B), and with fewer than 20 pairs the largest stands for the 20th:
// p = 10, RSalto = (floor(102.48 / 10) + 1) * 10 = 110,
// SaltoIni = round(13.08) * 10 / 2 = 65, NSaltos = floor(51.6 / 110 + 0.5) + 1 = 1.
TEST(OpcionesKriging, AutoComputesTheAutomaticLags) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  WriteBytes(dlg.TxtSaltoIni, "999");
  WriteBytes(dlg.TxtRSalto, "1");
  WriteBytes(dlg.TxtNSaltos, "3");
  dlg.OpEstimador->button(0)->click();
  QTest::mouseClick(dlg.CoAutoESV, Qt::LeftButton);
  EXPECT_EQ(dlg.TxtSaltoIni->text(), "65.000");
  EXPECT_EQ(dlg.TxtRSalto->text(), "110.000");
  EXPECT_EQ(dlg.TxtNSaltos->text(), "1");
  EXPECT_EQ(dlg.OpEstimador->checkedId(), 0);  // classical
}

TEST(OpcionesKriging, FitCentresTheGridOnTheData) {
  const SpatialData data = SmallData();  // X 0..100, Y 200..260
  OpcionesKriging op = DifferentOptions();
  const OpcionesKriging before = op;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  WriteBytes(dlg.TxtNRx, "12");
  WriteBytes(dlg.TxtNRy, "8");
  QTest::mouseClick(dlg.CoAutoRej, Qt::LeftButton);
  EXPECT_EQ(dlg.TxtLRx->text(), "10.000");
  EXPECT_EQ(dlg.TxtMinRx->text(), "-5.000");
  EXPECT_EQ(dlg.TxtLRy->text(), "10.000");
  EXPECT_EQ(dlg.TxtMinRy->text(), "195.000");
  EXPECT_TRUE(SameOptions(op, before));  // nothing stored before "Accept"

  // Nx = 2 leaves no spacing: refused with a message, the boxes keep their values.
  WriteBytes(dlg.TxtNRx, "2");
  QString text;
  auto reply = AnswerMessage(&text);
  QTest::mouseClick(dlg.CoAutoRej, Qt::LeftButton);
  EXPECT_TRUE(reply->view());
  EXPECT_TRUE(text.contains("Nx")) << text.toStdString();
  EXPECT_EQ(dlg.TxtLRx->text(), "10.000");
}

TEST(OpcionesKriging, NAjusAboveNSaltosWarnsAndIsClipped) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  WriteBytes(dlg.TxtNAjus, "12");
  WriteBytes(dlg.TxtNSaltos, "10");
  QString text;
  auto reply = AnswerMessage(&text);
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  ASSERT_TRUE(reply->view());
  EXPECT_EQ(text, "El nº de saltos para el ajuste no debe ser mayor que el nº de saltos estimados "
                   "(se toma NAjus=NSaltos)");
  EXPECT_EQ(op.NAjus, 10);
  EXPECT_EQ(op.NSaltos, 10);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(OpcionesKriging, ImpossibleValuesAreRejectedWithoutTouchingTheOptions) {
  const SpatialData data = SmallData();
  struct Case {
    QLineEdit* frmOpKriging::*field;
    const char* text;
    const char* inMessage;
  };
  const Case cases[] = {{&frmOpKriging::TxtNSaltos, "150", "150"},
                        {&frmOpKriging::TxtNSaltos, "0", "saltos"},
                        {&frmOpKriging::TxtNRx, "0", "Nx"},
                        {&frmOpKriging::TxtNRy, "-4", "Ny"},
                        {&frmOpKriging::TxtNRx, "100000", "demasiado grande"},
                        {&frmOpKriging::TxtLRx, "0", "Lx"},
                        {&frmOpKriging::TxtLRy, "-1", "Ly"},
                        {&frmOpKriging::TxtMinRx, "1e999", "1e999"},
                        {&frmOpKriging::TxtNAjus, "1e40", "1e40"},
                        // Text typed as a number is refused, naming the field.
                        {&frmOpKriging::TxtSaltoIni, "abc", "Salto inicial"},
                        {&frmOpKriging::TxtLRy, "12,5", "Ly"},
                        {&frmOpKriging::TxtNRx, "diez", "Nx"},
                        {&frmOpKriging::TxtMinRy, "", "Coordenada Y"}};
  for (const Case& c : cases) {
    OpcionesKriging op = DifferentOptions();
    const OpcionesKriging before = op;
    frmOpKriging dlg(op, data, 1, 2);
    dlg.show();
    WriteBytes(dlg.*(c.field), QString::fromLatin1(c.text));
    QString text;
    auto reply = AnswerMessage(&text);
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
    EXPECT_TRUE(reply->view()) << c.text;
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.inMessage))) << text.toStdString();
    EXPECT_TRUE(dlg.isVisible()) << c.text;  // the dialog stays open for a correction
    EXPECT_TRUE(SameOptions(op, before)) << c.text;
    EXPECT_EQ(dlg.focusWidget(), dlg.*(c.field)) << c.text;
  }
}

TEST(OpcionesKriging, NxArrowsStepByOneBetween2And100) {
  const SpatialData data = SmallData();
  OpcionesKriging op = DifferentOptions();
  op.NRx = 99;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  dlg.Pestanas->setCurrentIndex(3);
  QTest::mouseClick(dlg.UpDownNRx->upButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TxtNRx->text(), "100");
  QTest::mouseClick(dlg.UpDownNRx->upButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TxtNRx->text(), "100");
  WriteBytes(dlg.TxtNRx, "3");
  QTest::mouseClick(dlg.UpDownNRx->downButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TxtNRx->text(), "2");
  QTest::mouseClick(dlg.UpDownNRx->downButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TxtNRx->text(), "2");
  QTest::mouseClick(dlg.UpDownNRy->upButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TxtNRy->text(), "45");
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(op.NRx, 2);
  EXPECT_EQ(op.NRy, 45);
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // A square from (20, 210) to (80, 250), closed by repeating its first point.
    square = WritePer(dir, "cuadrado.per", "5\n20,210\n80,210\n80,250\n20,250\n20,210\n");
  }

  // Options for a 10 by 10 grid over x 5..95 and y 202..238 (steps 10 and 4),
  // with what six points allow a run: a constant mean and a fit on classes of
  // more than one pair.
  OpcionesKriging GridOptions() {
    OpcionesKriging op = DifferentOptions();
    op.Media = 0;
    op.NMinAjus = 1;
    op.NRx = 10;
    op.NRy = 10;
    op.MinRx = 5;
    op.LRx = 10;
    op.MinRy = 202;
    op.LRy = 4;
    op.NSaltos = 10;
    op.NAjus = 5;
    return op;
  }

  test_data::TemporaryFolder dir;  // the current folder is put back when it goes
  QString square;
  SpatialData data = SmallData();
};

TEST_F(ProfileTest, AttachProfileReadsTheFileAndExcludesTheOutside) {
  sorvan::core::KrigingSession session;
  session.data = data;
  session.options = GridOptions();
  frmOpKriging dlg(session.options, session.data, 1, 2);
  dlg.show();
  dlg.Pestanas->setCurrentIndex(5);
  AttachProfile(dlg, square);
  EXPECT_TRUE(dlg.VerPerfil->isChecked());
  EXPECT_TRUE(dlg.TxtPerfil->isEnabled());
  EXPECT_TRUE(dlg.TxtPerfil->text().endsWith("cuadrado.per"));
  ASSERT_EQ(session.options.profile.npts, 5);
  EXPECT_EQ(dlg.OpExcluir->checkedId(), 0);
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_EQ(session.options.profile.side, 0);

  // The run's entry image: nodes outside the square are holes, inside kriged.
  sorvan::core::SkuArguments a;
  ASSERT_TRUE(sorvan::core::PrepareArguments(session, a).ok);
  int inside = 0;
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 10; ++i) {
      const double x = 5 + 10 * i, y = 202 + 4 * j;
      const bool interior = x > 20 && x < 80 && y > 210 && y < 250;
      const float v = a.prediction[size_t(i + 10 * j)];
      EXPECT_EQ(v, interior ? 1.0f : sorvan::core::kHoleValue) << "nodo " << i << "," << j;
      inside += interior;
    }
  EXPECT_EQ(inside, 6 * 7);  // x 25..75, y 214..238
}

TEST_F(ProfileTest, InsideExcludesTheSquareAndTheProfileShowsOnReturn) {
  sorvan::core::KrigingSession session;
  session.data = data;
  session.options = GridOptions();
  {
    frmOpKriging dlg(session.options, session.data, 1, 2);
    dlg.show();
    AttachProfile(dlg, square);
    dlg.OpExcluir->button(1)->click();
    QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  }
  EXPECT_EQ(session.options.profile.side, 1);
  sorvan::core::SkuArguments a;
  ASSERT_TRUE(sorvan::core::PrepareArguments(session, a).ok);
  EXPECT_EQ(a.prediction[size_t(4 + 10 * 5)], sorvan::core::kHoleValue);  // (45, 222) inside
  EXPECT_EQ(a.prediction[0], 1.0f);                                  // (5, 202) outside

  // Shown again: the profile is in force and shown so, the side kept.
  frmOpKriging otro(session.options, session.data, 1, 2);
  EXPECT_TRUE(otro.VerPerfil->isChecked());
  EXPECT_TRUE(otro.TxtPerfil->isEnabled());
  EXPECT_TRUE(otro.TxtPerfil->text().endsWith("cuadrado.per"));
  EXPECT_EQ(otro.OpExcluir->checkedId(), 1);
  EXPECT_EQ(session.options.profile.npts, 5);
}

TEST_F(ProfileTest, CancellingTheFileDialogLeavesNoProfile) {
  OpcionesKriging op = GridOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  AttachProfile(dlg, QString());
  EXPECT_FALSE(dlg.VerPerfil->isChecked());
  EXPECT_FALSE(dlg.TxtPerfil->isEnabled());
  EXPECT_TRUE(dlg.TxtPerfil->text().isEmpty());
  EXPECT_EQ(op.profile.npts, 0);
}

// A run with a profile, then "Options" again: the box is ticked, and
// unticking it drops the profile, so the next run is not masked.
TEST_F(ProfileTest, UncheckingAttachProfileRemovesItFromTheNextRun) {
  sorvan::core::KrigingSession session;
  session.data = data;
  session.options = GridOptions();
  ASSERT_TRUE(sorvan::core::LeePerfil(QFile::encodeName(square).toStdString(), session.options.profile).ok);
  frmOpKriging dlg(session.options, session.data, 1, 2);
  dlg.show();
  ASSERT_TRUE(dlg.VerPerfil->isChecked());
  test_data::Reply<QFileDialog> noFile([](QFileDialog* fd) { fd->reject(); });
  dlg.VerPerfil->click();
  EXPECT_FALSE(noFile.view());  // unticking asks for no file
  EXPECT_FALSE(dlg.VerPerfil->isChecked());
  EXPECT_TRUE(dlg.TxtPerfil->text().isEmpty());
  QTest::mouseClick(dlg.CoAceptar, Qt::LeftButton);
  EXPECT_FALSE(session.options.profile.attached());
  sorvan::core::SkuArguments a;
  ASSERT_TRUE(sorvan::core::PrepareArguments(session, a).ok);
  for (float v : a.prediction) ASSERT_NE(v, sorvan::core::kHoleValue);  // no node masked
  frmOpKriging otro(session.options, session.data, 1, 2);
  EXPECT_FALSE(otro.VerPerfil->isChecked());
}

TEST_F(ProfileTest, TheAttachmentStaysEvenIfTheDialogIsCancelled) {
  OpcionesKriging op = GridOptions();
  const OpcionesKriging before = op;
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  AttachProfile(dlg, square);
  QTest::mouseClick(dlg.CoCancelar, Qt::LeftButton);
  EXPECT_EQ(op.profile.npts, 5);
  EXPECT_TRUE(SameOptions(op, before));
}

TEST_F(ProfileTest, MalformedProfileFileIsNamedAndNotAttached) {
  const QString badOne = WritePer(dir, "roto.per", "4\n0,0\n10,zz\n");
  OpcionesKriging op = GridOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  // The message comes after the file dialog: both are answered in turn.
  Reply<QFileDialog> file([badOne](QFileDialog* fd) {
    fd->selectFile(badOne);
    static_cast<QDialog*>(fd)->accept();
  });
  QString text;
  auto reply = AnswerMessage(&text);
  dlg.VerPerfil->click();
  EXPECT_TRUE(file.view());
  EXPECT_TRUE(reply->view());
  EXPECT_TRUE(text.contains("roto.per")) << text.toStdString();
  EXPECT_FALSE(dlg.VerPerfil->isChecked());
  EXPECT_EQ(op.profile.npts, 0);
  EXPECT_TRUE(dlg.TxtPerfil->text().isEmpty());
}

TEST_F(ProfileTest, FitGridToProfilePutsNodesAtCellCentres) {
  OpcionesKriging op = GridOptions();
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  dlg.VerRejillaPerfil->click();
  WriteBytes(dlg.TxtNRx, "6");
  WriteBytes(dlg.TxtNRy, "8");
  AttachProfile(dlg, square);
  EXPECT_EQ(dlg.TxtLRx->text(), "10.000");   // (80 - 20)/6
  EXPECT_EQ(dlg.TxtMinRx->text(), "25.000");
  EXPECT_EQ(dlg.TxtLRy->text(), "5.000");    // (250 - 210)/8
  EXPECT_EQ(dlg.TxtMinRy->text(), "212.500");
}

// Screenshots for the documentation (scripts/screenshots runs them; disabled
// in the suite): every tab is saved in SORVAN_SCREENSHOTS as
// options_<n>.png, with the automatic options for meuse and a linear trend.
TEST(OpcionesKriging, DISABLED_TabCaptures) {
  const char* folder = std::getenv("SORVAN_SCREENSHOTS");
  const char* font = std::getenv("SORVAN_SOURCE_DIR");
  ASSERT_TRUE(folder && font) << "SORVAN_SCREENSHOTS or SORVAN_SOURCE_DIR not set";
  SpatialData data;
  ASSERT_TRUE(sorvan::core::ReadData(std::string(font) + "/examples/meuse.dae", data).ok);
  OpcionesKriging op;
  ASSERT_TRUE(sorvan::core::OpcionesPorDefecto(data, 1, 2, op).ok);
  frmOpKriging dlg(op, data, 1, 2);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  // A linear trend, with its surface asked for.
  dlg.OpMedia->button(1)->click();
  dlg.VerSupTend->setChecked(true);
  for (int i = 0; i < dlg.Pestanas->count(); ++i) {
    dlg.Pestanas->setCurrentIndex(i);
    QTest::qWait(50);
    const QString path = QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("options_%1.png").arg(i + 1));
    EXPECT_TRUE(dlg.grab().save(path)) << path.toStdString();
  }
}

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 15000}); }
