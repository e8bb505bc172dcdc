// The data window on its own: the grid after IniData and the in-cell editor
// with its keys, edits reaching the in-memory data set and its extremes.
#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/spatial_data.h"
#include "gui/frmDatos.h"
#include "gui_test_support.h"
#include "platform/data_grid.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

using test_data::AlAparecerModal;

namespace {

QString meuse() { return QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"; }

class DataWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ventana_ = std::make_unique<frmDatos>(datos_);
    ventana_->resize(700, 500);
    ventana_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ventana_.get()));
    ASSERT_TRUE(ventana_->IniData(meuse()));
    g_ = ventana_->MSFGrid();
    ed_ = ventana_->TxtEdit();
  }
  // Column 3 is zinc: 1022 in row 1, 1141 in row 2; its minimum is 113.
  void irA(int row, int col) {
    g_->SetCurrentCell(row, col);
    ASSERT_EQ(g_->Row(), row);
    ASSERT_EQ(g_->Col(), col);
  }

  sorvan::core::SpatialData datos_;
  std::unique_ptr<frmDatos> ventana_;
  DataGrid* g_ = nullptr;
  QLineEdit* ed_ = nullptr;
};

TEST_F(DataWindowTest, IniDataFillsTheGridWithFixedRowAndColumn) {
  EXPECT_EQ(g_->Rows(), datos_.N + 1);
  EXPECT_EQ(g_->Cols(), datos_.nvar + 1);
  EXPECT_EQ(g_->TextMatrix(0, 3), QStringLiteral("zinc"));
  EXPECT_EQ(g_->TextMatrix(2, 0), QStringLiteral("2"));
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
  EXPECT_TRUE(g_->ColumnAlignment(0) & Qt::AlignRight);
  EXPECT_TRUE(g_->ColumnAlignment(3) & Qt::AlignRight);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_FLOAT_EQ(datos_.minimum[2], 113.f);
  EXPECT_FLOAT_EQ(datos_.maximum[2], 1839.f);
}

TEST_F(DataWindowTest, ATypedDigitOpensTheEditorHoldingJustThatDigit) {
  irA(2, 3);
  QTest::keyClick(g_, Qt::Key_7, Qt::NoModifier);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("7"));
  EXPECT_EQ(ed_->cursorPosition(), 1);
  EXPECT_EQ(ed_->geometry(), g_->visualRect(g_->currentIndex()));
}

TEST_F(DataWindowTest, EscapeCancelsAndTheCellKeepsItsText) {
  irA(2, 3);
  QTest::keyClick(g_, Qt::Key_7);
  QTest::keyClick(ed_, Qt::Key_Escape);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
  EXPECT_FLOAT_EQ(datos_.value(2, 3), 1141.f);
  // Focus going back to the grid later must not commit the cancelled text.
  g_->setFocus();
  QTest::qWait(10);
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
}

TEST_F(DataWindowTest, EnterCommitsIntoTheCellTheDataAndTheExtremes) {
  irA(2, 3);
  QTest::keyClick(g_, Qt::Key_7);
  QTest::keyClick(ed_, Qt::Key_Return);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("7"));
  EXPECT_FLOAT_EQ(datos_.value(2, 3), 7.f);
  EXPECT_FLOAT_EQ(datos_.minimum[2], 7.f);
  EXPECT_EQ(g_->Row(), 2);  // Enter stays on the cell
}

TEST_F(DataWindowTest, EditingTheExtremeValueRecomputesTheColumnRange) {
  // Find the row holding the maximum of zinc and lower it.
  int filaMax = 0;
  for (int i = 1; i <= datos_.N; ++i)
    if (datos_.value(i, 3) == datos_.maximum[2]) filaMax = i;
  ASSERT_GT(filaMax, 0);
  irA(filaMax, 3);
  QTest::keyClicks(g_, "5");
  QTest::keyClicks(ed_, "00");
  QTest::keyClick(ed_, Qt::Key_Enter);
  double esperado = 500.0;
  for (int i = 1; i <= datos_.N; ++i) esperado = std::max(esperado, datos_.value(i, 3));
  EXPECT_FLOAT_EQ(datos_.maximum[2], esperado);
  EXPECT_LT(datos_.maximum[2], 1839.f);
  EXPECT_FLOAT_EQ(datos_.value(filaMax, 3), 500.f);
}

TEST_F(DataWindowTest, BlankBackspaceAndDoubleClickEditTheCurrentText) {
  irA(1, 4);
  QTest::keyClick(g_, Qt::Key_Space);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("6.929517"));
  EXPECT_EQ(ed_->cursorPosition(), ed_->text().size());
  QTest::keyClick(ed_, Qt::Key_Escape);

  QTest::keyClick(g_, Qt::Key_Backspace);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("6.929517"));
  QTest::keyClick(ed_, Qt::Key_Escape);

  QTest::keyClick(g_, Qt::Key_Return);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("6.929517"));
  QTest::keyClick(ed_, Qt::Key_Escape);

  const QPoint centro = g_->visualRect(g_->currentIndex()).center();
  QTest::mouseDClick(g_->viewport(), Qt::LeftButton, Qt::NoModifier, centro);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("6.929517"));
  // Editing the existing text: the caret is at its end.
  QTest::keyClick(ed_, Qt::Key_Backspace);
  QTest::keyClick(ed_, Qt::Key_Return);
  EXPECT_EQ(g_->TextMatrix(1, 4), QStringLiteral("6.92951"));
  EXPECT_FLOAT_EQ(datos_.value(1, 4), 6.92951f);
}

TEST_F(DataWindowTest, UpOnTheFirstRowCommitsAndStays) {
  irA(1, 3);
  QTest::keyClick(g_, Qt::Key_9);
  QTest::keyClick(ed_, Qt::Key_Up);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->Row(), 1);
  EXPECT_EQ(g_->TextMatrix(1, 3), QStringLiteral("9"));
  EXPECT_FLOAT_EQ(datos_.value(1, 3), 9.f);
}

TEST_F(DataWindowTest, UpAndDownCommitAndMoveOneRow) {
  irA(5, 3);
  QTest::keyClick(g_, Qt::Key_4);
  QTest::keyClick(ed_, Qt::Key_Down);
  EXPECT_EQ(g_->Row(), 6);
  EXPECT_EQ(g_->TextMatrix(5, 3), QStringLiteral("4"));
  QTest::keyClick(g_, Qt::Key_8);
  QTest::keyClick(ed_, Qt::Key_Up);
  EXPECT_EQ(g_->Row(), 5);
  EXPECT_EQ(g_->TextMatrix(6, 3), QStringLiteral("8"));
  EXPECT_FLOAT_EQ(datos_.value(6, 3), 8.f);
}

TEST_F(DataWindowTest, DownOnTheLastRowStays) {
  irA(datos_.N, 1);
  QTest::keyClick(g_, Qt::Key_1);
  QTest::keyClick(ed_, Qt::Key_Down);
  EXPECT_EQ(g_->Row(), datos_.N);
  EXPECT_FLOAT_EQ(datos_.value(datos_.N, 1), 1.f);
}

TEST_F(DataWindowTest, LeavingTheCellCommitsToTheCellLeft) {
  irA(3, 2);
  QTest::keyClick(g_, Qt::Key_3);
  g_->SetCurrentCell(10, 5);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->TextMatrix(3, 2), QStringLiteral("3"));
  EXPECT_FLOAT_EQ(datos_.value(3, 2), 3.f);
  EXPECT_NE(g_->TextMatrix(10, 5), QStringLiteral("3"));
}

TEST_F(DataWindowTest, TextThatIsNotANumberIsRefusedWithAMessage) {
  irA(2, 3);
  QTest::keyClick(g_, Qt::Key_A);
  EXPECT_EQ(ed_->text(), QStringLiteral("a"));
  QString text, title;
  AlAparecerModal([&](QWidget* w) {
    if (auto* caja = qobject_cast<QMessageBox*>(w)) {
      title = caja->windowTitle();
      text = caja->text();
      caja->accept();
    }
  });
  QTest::keyClick(ed_, Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 3000);
  EXPECT_EQ(title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(text.contains("\"a\"")) << text.toStdString();
  EXPECT_TRUE(text.contains("zinc")) << text.toStdString();
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
  EXPECT_FLOAT_EQ(datos_.value(2, 3), 1141.f);
  EXPECT_FALSE(ed_->isVisible());
}

TEST_F(DataWindowTest, ArrowKeysWithoutEditorMoveAroundTheGrid) {
  irA(3, 3);
  QTest::keyClick(g_, Qt::Key_Down);
  EXPECT_EQ(g_->Row(), 4);
  QTest::keyClick(g_, Qt::Key_Right);
  EXPECT_EQ(g_->Col(), 4);
  EXPECT_FALSE(ed_->isVisible());
}

TEST(WideDataTest, AWideDataSetLoadsWholeAndShowsItsLastCell) {
  // 400 variables by 2048 rows: the grid must not build a widget item per cell.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const int nvar = 400, n = 2048;
  QByteArray text = "\"Ancho\"\n" + QByteArray::number(nvar) + "," + QByteArray::number(n) + "\n";
  for (int k = 1; k <= nvar; ++k) text += "\"v" + QByteArray::number(k) + "\",\"\",0\n";
  for (int i = 1; i <= n; ++i) {
    for (int k = 1; k <= nvar; ++k) {
      text += QByteArray::number(i * 1000 + k);
      text += k < nvar ? "," : "\n";
    }
  }
  QFile f(dir.filePath("ancho.dae"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  f.close();
  sorvan::core::SpatialData data;
  frmDatos ventana(data);
  ventana.show();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(ventana.IniData(f.fileName()));
  QApplication::processEvents();
  RecordProperty("ms", int(t.elapsed()));
  EXPECT_EQ(ventana.MSFGrid()->Cols(), nvar + 1);
  EXPECT_EQ(ventana.MSFGrid()->TextMatrix(0, nvar), QStringLiteral("v400"));
  EXPECT_EQ(ventana.MSFGrid()->TextMatrix(n, nvar), QStringLiteral("2048400"));
}

TEST(TextoValorTest, UpToFifteenSignificantDigitsAndEmptyWhenMissing) {
  EXPECT_EQ(frmDatos::TextoValor(181072.0), QStringLiteral("181072"));
  EXPECT_EQ(frmDatos::TextoValor(6.929517), QStringLiteral("6.929517"));
  EXPECT_EQ(frmDatos::TextoValor(0.1), QStringLiteral("0.1"));
  EXPECT_EQ(frmDatos::TextoValor(-2.5), QStringLiteral("-2.5"));
  EXPECT_EQ(frmDatos::TextoValor(9100000.3), QStringLiteral("9100000.3"));
  EXPECT_EQ(frmDatos::TextoValor(1.0 / 3.0), QStringLiteral("0.333333333333333"));
  EXPECT_EQ(frmDatos::TextoValor(std::nan("")), QString());
}

TEST_F(DataWindowTest, AnEmptiedCellBecomesMissingAndLeavesTheExtremes) {
  int filaMax = 0;
  for (int i = 1; i <= datos_.N; ++i)
    if (datos_.value(i, 3) == datos_.maximum[2]) filaMax = i;
  irA(filaMax, 3);
  QTest::keyClick(g_, Qt::Key_Space);
  ed_->clear();
  QTest::keyClick(ed_, Qt::Key_Return);
  EXPECT_TRUE(std::isnan(datos_.value(filaMax, 3)));
  EXPECT_EQ(g_->TextMatrix(filaMax, 3), QString());
  EXPECT_EQ(datos_.missing(3), 1);
  EXPECT_LT(datos_.maximum[2], 1839.0);
}

}  // namespace

int main(int argc, char** argv) { return test_data::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 10000}); }
