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

using test_data::OnModalShown;

namespace {

QString meuse() { return QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"; }

class DataWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    window_ = std::make_unique<frmDatos>(data_);
    window_->resize(700, 500);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(window_->IniData(meuse()));
    g_ = window_->MSFGrid();
    ed_ = window_->TxtEdit();
  }
  // Column 3 is zinc: 1022 in row 1, 1141 in row 2; its minimum is 113.
  void irA(int row, int col) {
    g_->SetCurrentCell(row, col);
    ASSERT_EQ(g_->Row(), row);
    ASSERT_EQ(g_->Col(), col);
  }

  sorvan::core::SpatialData data_;
  std::unique_ptr<frmDatos> window_;
  DataGrid* g_ = nullptr;
  QLineEdit* ed_ = nullptr;
};

TEST_F(DataWindowTest, IniDataFillsTheGridWithFixedRowAndColumn) {
  EXPECT_EQ(g_->Rows(), data_.N + 1);
  EXPECT_EQ(g_->Cols(), data_.nvar + 1);
  EXPECT_EQ(g_->TextMatrix(0, 3), QStringLiteral("zinc"));
  EXPECT_EQ(g_->TextMatrix(2, 0), QStringLiteral("2"));
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
  EXPECT_TRUE(g_->ColumnAlignment(0) & Qt::AlignRight);
  EXPECT_TRUE(g_->ColumnAlignment(3) & Qt::AlignRight);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_FLOAT_EQ(data_.minimum[2], 113.f);
  EXPECT_FLOAT_EQ(data_.maximum[2], 1839.f);
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
  EXPECT_FLOAT_EQ(data_.value(2, 3), 1141.f);
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
  EXPECT_FLOAT_EQ(data_.value(2, 3), 7.f);
  EXPECT_FLOAT_EQ(data_.minimum[2], 7.f);
  EXPECT_EQ(g_->Row(), 2);  // Enter stays on the cell
}

TEST_F(DataWindowTest, EditingTheExtremeValueRecomputesTheColumnRange) {
  // Find the row holding the maximum of zinc and lower it.
  int maxRow = 0;
  for (int i = 1; i <= data_.N; ++i)
    if (data_.value(i, 3) == data_.maximum[2]) maxRow = i;
  ASSERT_GT(maxRow, 0);
  irA(maxRow, 3);
  QTest::keyClicks(g_, "5");
  QTest::keyClicks(ed_, "00");
  QTest::keyClick(ed_, Qt::Key_Enter);
  double expected = 500.0;
  for (int i = 1; i <= data_.N; ++i) expected = std::max(expected, data_.value(i, 3));
  EXPECT_FLOAT_EQ(data_.maximum[2], expected);
  EXPECT_LT(data_.maximum[2], 1839.f);
  EXPECT_FLOAT_EQ(data_.value(maxRow, 3), 500.f);
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

  const QPoint centre = g_->visualRect(g_->currentIndex()).center();
  QTest::mouseDClick(g_->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  ASSERT_TRUE(ed_->isVisible());
  EXPECT_EQ(ed_->text(), QStringLiteral("6.929517"));
  // Editing the existing text: the caret is at its end.
  QTest::keyClick(ed_, Qt::Key_Backspace);
  QTest::keyClick(ed_, Qt::Key_Return);
  EXPECT_EQ(g_->TextMatrix(1, 4), QStringLiteral("6.92951"));
  EXPECT_FLOAT_EQ(data_.value(1, 4), 6.92951f);
}

TEST_F(DataWindowTest, UpOnTheFirstRowCommitsAndStays) {
  irA(1, 3);
  QTest::keyClick(g_, Qt::Key_9);
  QTest::keyClick(ed_, Qt::Key_Up);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->Row(), 1);
  EXPECT_EQ(g_->TextMatrix(1, 3), QStringLiteral("9"));
  EXPECT_FLOAT_EQ(data_.value(1, 3), 9.f);
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
  EXPECT_FLOAT_EQ(data_.value(6, 3), 8.f);
}

TEST_F(DataWindowTest, DownOnTheLastRowStays) {
  irA(data_.N, 1);
  QTest::keyClick(g_, Qt::Key_1);
  QTest::keyClick(ed_, Qt::Key_Down);
  EXPECT_EQ(g_->Row(), data_.N);
  EXPECT_FLOAT_EQ(data_.value(data_.N, 1), 1.f);
}

TEST_F(DataWindowTest, LeavingTheCellCommitsToTheCellLeft) {
  irA(3, 2);
  QTest::keyClick(g_, Qt::Key_3);
  g_->SetCurrentCell(10, 5);
  EXPECT_FALSE(ed_->isVisible());
  EXPECT_EQ(g_->TextMatrix(3, 2), QStringLiteral("3"));
  EXPECT_FLOAT_EQ(data_.value(3, 2), 3.f);
  EXPECT_NE(g_->TextMatrix(10, 5), QStringLiteral("3"));
}

TEST_F(DataWindowTest, TextThatIsNotANumberIsRefusedWithAMessage) {
  irA(2, 3);
  QTest::keyClick(g_, Qt::Key_A);
  EXPECT_EQ(ed_->text(), QStringLiteral("a"));
  QString text, title;
  OnModalShown([&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      title = box->windowTitle();
      text = box->text();
      box->accept();
    }
  });
  QTest::keyClick(ed_, Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 3000);
  EXPECT_EQ(title, QStringLiteral("Sorvan"));
  EXPECT_TRUE(text.contains("\"a\"")) << text.toStdString();
  EXPECT_TRUE(text.contains("zinc")) << text.toStdString();
  EXPECT_EQ(g_->TextMatrix(2, 3), QStringLiteral("1141"));
  EXPECT_FLOAT_EQ(data_.value(2, 3), 1141.f);
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
  frmDatos window(data);
  window.show();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(window.IniData(f.fileName()));
  QApplication::processEvents();
  RecordProperty("ms", int(t.elapsed()));
  EXPECT_EQ(window.MSFGrid()->Cols(), nvar + 1);
  EXPECT_EQ(window.MSFGrid()->TextMatrix(0, nvar), QStringLiteral("v400"));
  EXPECT_EQ(window.MSFGrid()->TextMatrix(n, nvar), QStringLiteral("2048400"));
}

TEST(ValueTextTest, UpToFifteenSignificantDigitsAndEmptyWhenMissing) {
  EXPECT_EQ(frmDatos::ValueText(181072.0), QStringLiteral("181072"));
  EXPECT_EQ(frmDatos::ValueText(6.929517), QStringLiteral("6.929517"));
  EXPECT_EQ(frmDatos::ValueText(0.1), QStringLiteral("0.1"));
  EXPECT_EQ(frmDatos::ValueText(-2.5), QStringLiteral("-2.5"));
  EXPECT_EQ(frmDatos::ValueText(9100000.3), QStringLiteral("9100000.3"));
  EXPECT_EQ(frmDatos::ValueText(1.0 / 3.0), QStringLiteral("0.333333333333333"));
  EXPECT_EQ(frmDatos::ValueText(std::nan("")), QString());
}

TEST_F(DataWindowTest, AnEmptiedCellBecomesMissingAndLeavesTheExtremes) {
  int maxRow = 0;
  for (int i = 1; i <= data_.N; ++i)
    if (data_.value(i, 3) == data_.maximum[2]) maxRow = i;
  irA(maxRow, 3);
  QTest::keyClick(g_, Qt::Key_Space);
  ed_->clear();
  QTest::keyClick(ed_, Qt::Key_Return);
  EXPECT_TRUE(std::isnan(data_.value(maxRow, 3)));
  EXPECT_EQ(g_->TextMatrix(maxRow, 3), QString());
  EXPECT_EQ(data_.missing(3), 1);
  EXPECT_LT(data_.maximum[2], 1839.0);
}

}  // namespace

int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.forgottenModalMs = 10000}); }
