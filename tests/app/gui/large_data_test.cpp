// A large data file in the data window: the reading and the saving run off
// the window's thread (the event loop keeps turning), and "Cancelar" leaves
// the previous data set, the grid and the file on disk as they were.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "core/spatial_data.h"
#include "gui/frmDatos.h"
#include "gui_test_support.h"
#include "platform/data_grid.h"
#include "platform/task_with_progress.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

constexpr int kFilas = 300000;
constexpr int kVariables = 6;

// Value of row i (0-based) of variable k (0-based): whole numbers, exact in text.
double Value(int i, int k) { return double((i * (k + 3)) % 100003) + k; }

// A ".dae" file of kFilas rows, written once for the whole program.
QString LargeFile(const test_data::TemporaryFolder& folder) {
  const QString path = folder.filePath(QStringLiteral("grande.dae"));
  std::string t = "\"Grande\"\n" + std::to_string(kVariables) + "," + std::to_string(kFilas) + "\n";
  for (int k = 0; k < kVariables; ++k) t += "\"v" + std::to_string(k + 1) + "\",\"variable\",0\n";
  char line[32];
  for (int i = 0; i < kFilas; ++i)
    for (int k = 0; k < kVariables; ++k) {
      std::snprintf(line, sizeof line, "%.0f%c", Value(i, k), k + 1 < kVariables ? ',' : '\n');
      t += line;
    }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(t.data(), qint64(t.size())) != qint64(t.size())) return {};
  return path;
}

class LargeDataTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    grande_ = LargeFile(folder_);
    ASSERT_FALSE(grande_.isEmpty());
    window_ = std::make_unique<frmDatos>(data_);
    window_->resize(600, 400);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(window_->IniData(QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"));
  }
  void TearDown() override { TaskWithProgress::dialogDelayMs = delay_; }

  // Presses "Cancelar" on the progress box as soon as it shows, at once.
  std::unique_ptr<test_data::Reply<QProgressDialog>> cancelOnShow() {
    TaskWithProgress::dialogDelayMs = 0;
    return std::make_unique<test_data::Reply<QProgressDialog>>([](QProgressDialog* p) {
      QPushButton* cancel = p->findChild<QPushButton*>();
      ASSERT_NE(cancel, nullptr);
      EXPECT_EQ(cancel->text(), QStringLiteral("Cancelar"));
      cancel->click();
    });
  }

  test_data::TemporaryFolder folder_;
  QString grande_;
  sorvan::core::SpatialData data_;
  std::unique_ptr<frmDatos> window_;
  const int delay_ = TaskWithProgress::dialogDelayMs;
};

TEST_F(LargeDataTest, TheEventLoopKeepsTurningWhileALargeFileLoads) {
  int tics = 0;
  QTimer clock;
  QObject::connect(&clock, &QTimer::timeout, [&tics] { ++tics; });
  clock.start(5);
  ASSERT_TRUE(window_->IniData(grande_));
  clock.stop();
  EXPECT_GT(tics, 0);
  ASSERT_EQ(data_.N, kFilas);
  ASSERT_EQ(data_.nvar, kVariables);
  EXPECT_EQ(data_.value(kFilas, kVariables), Value(kFilas - 1, kVariables - 1));
  EXPECT_EQ(window_->MSFGrid()->Rows(), kFilas + 1);
  EXPECT_EQ(window_->MSFGrid()->TextMatrix(kFilas, 0), QString::number(kFilas));
}

TEST_F(LargeDataTest, CancellingTheLoadKeepsThePreviousDataSetAndGrid) {
  const sorvan::core::SpatialData before = data_;
  const auto cancel = cancelOnShow();
  EXPECT_FALSE(window_->IniData(grande_));
  EXPECT_TRUE(cancel->view());
  EXPECT_EQ(data_.N, before.N);
  EXPECT_EQ(data_.names, before.names);
  EXPECT_EQ(data_.matrix, before.matrix);
  EXPECT_EQ(window_->MSFGrid()->Rows(), before.N + 1);
  EXPECT_EQ(window_->MSFGrid()->TextMatrix(0, 3), QStringLiteral("zinc"));
  EXPECT_FALSE(window_->Modified());
}

TEST_F(LargeDataTest, CancellingTheSaveLeavesTheFileOnDiskAsItWas) {
  ASSERT_TRUE(window_->IniData(grande_));
  const QString destination = folder_.filePath(QStringLiteral("destino.dae"));
  const QByteArray prior = "\"Previo\"\n1,1\n\"a\",\"a\",0\n7\n";
  {
    QFile f(destination);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(prior), prior.size());
  }
  const auto cancel = cancelOnShow();
  EXPECT_FALSE(window_->SaveTo(destination));
  EXPECT_TRUE(cancel->view());
  QFile f(destination);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), prior);
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(folder_.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace

int main(int argc, char** argv) {
  return test_data::RunTests(argc, argv, {.forgottenModalMs = 60000, .ownSettings = true});
}
