#pragma once
// Fixtures of the animation tests. AnimationTest: a fresh working folder
// made current and the video player replaced by a recorder.
// MainWindowTestBase: the same with the main window shown and its
// status texts recorded as the user sees them go by.
#include <gtest/gtest.h>

#include <QStringList>
#include <QTimer>
#include <memory>

#include "gui/frmMain.h"
#include "gui_test_support.h"
#include "platform/video/player.h"

using namespace sorvan::platform;
using namespace sorvan::gui;

class AnimationTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    dir_.MakeCurrent();
    SetPlayer([this](const QString& f) {
      open_ << f;
      return playerAnswers_;
    });
  }
  void TearDown() override { SetPlayer({}); }
  QString Path(const QString& nombre) const { return dir_.filePath(nombre); }

  test_data::TemporaryFolder dir_;       // the current folder is put back when it goes
  QStringList open_;              // the files handed to the player
  bool playerAnswers_ = true;   // what the player answers
};

class MainWindowTestBase : public AnimationTest {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(AnimationTest::SetUp());
    mainWindow_ = std::make_unique<frmMain>();
    mainWindow_->setGeometry(40, 40, 1040, 760);
    mainWindow_->show();
    watcher_ = new QTimer;
    QObject::connect(watcher_, &QTimer::timeout, [this] {
      const QString t = mainWindow_->StatusText();
      if (states_.isEmpty() || states_.last() != t) states_ << t;
    });
    watcher_->start(1);
  }
  void TearDown() override {
    delete watcher_;
    mainWindow_.reset();
    AnimationTest::TearDown();
  }

  QStringList states_;  // each status text once, in order
  QTimer* watcher_ = nullptr;
  std::unique_ptr<frmMain> mainWindow_;
};
