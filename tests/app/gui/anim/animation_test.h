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
    dir_.HacerActual();
    SetPlayer([this](const QString& f) {
      abiertos_ << f;
      return reproductorResponde_;
    });
  }
  void TearDown() override { SetPlayer({}); }
  QString Ruta(const QString& nombre) const { return dir_.filePath(nombre); }

  test_data::TemporaryFolder dir_;       // the current folder is put back when it goes
  QStringList abiertos_;              // the files handed to the player
  bool reproductorResponde_ = true;   // what the player answers
};

class MainWindowTestBase : public AnimationTest {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(AnimationTest::SetUp());
    principal_ = std::make_unique<frmMain>();
    principal_->setGeometry(40, 40, 1040, 760);
    principal_->show();
    vigia_ = new QTimer;
    QObject::connect(vigia_, &QTimer::timeout, [this] {
      const QString t = principal_->TextoEstado();
      if (estados_.isEmpty() || estados_.last() != t) estados_ << t;
    });
    vigia_->start(1);
  }
  void TearDown() override {
    delete vigia_;
    principal_.reset();
    AnimationTest::TearDown();
  }

  QStringList estados_;  // each status text once, in order
  QTimer* vigia_ = nullptr;
  std::unique_ptr<frmMain> principal_;
};
