// The settings store: numbers kept as text, defaults for what is missing or
// not a number, and the twips conversion of the window placement.
#include <gtest/gtest.h>

#include <QSettings>

#include "gui_test_support.h"
#include "platform/settings_store.h"

using namespace sorvan::platform;

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(settings_.isValid()); }
  test_data::TemporarySettings settings_;  // a store of this test's own
  const QString org_ = QStringLiteral("SorvanPruebaAjustes");
};

TEST_F(SettingsTest, MissingSettingReadsAsTheDefault) {
  SettingsStore store(org_, QStringLiteral("Sorvan"));
  EXPECT_FALSE(store.HasSetting("Settings", "MainLeft"));
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainLeft", 1000), 1000);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainWidth", 6500), 6500);
}

TEST_F(SettingsTest, NumbersRoundTripThroughANewStore) {
  {
    SettingsStore store(org_, QStringLiteral("Sorvan"));
    store.SaveSetting("Settings", "MainLeft", 2345);
    store.SaveSetting("Settings", "MainHeight", 7890.5);
  }
  SettingsStore other(org_, QStringLiteral("Sorvan"));
  EXPECT_TRUE(other.HasSetting("Settings", "MainLeft"));
  EXPECT_DOUBLE_EQ(other.GetSetting("Settings", "MainLeft", 1000), 2345);
  EXPECT_DOUBLE_EQ(other.GetSetting("Settings", "MainHeight", 6500), 7890.5);
}

TEST_F(SettingsTest, TextRoundTripsThroughANewStoreAndMissingTextIsTheDefault) {
  {
    SettingsStore store(org_, QStringLiteral("Sorvan"));
    EXPECT_EQ(store.GetText("Dialogos", "UltimaCarpeta", "ninguna"), "ninguna");
    store.SaveText("Dialogos", "UltimaCarpeta", QString::fromUtf8("/datos/año 2024/ñu"));
  }
  SettingsStore other(org_, QStringLiteral("Sorvan"));
  EXPECT_EQ(other.GetText("Dialogos", "UltimaCarpeta"), QString::fromUtf8("/datos/año 2024/ñu"));
}

TEST_F(SettingsTest, ValuesAreStoredAsTextUnderTheSection) {
  SettingsStore store(org_, QStringLiteral("Sorvan"));
  store.SaveSetting("Settings", "MainTop", 1500);
  QSettings raw(org_, QStringLiteral("Sorvan"));
  const QVariant v = raw.value("Settings/MainTop");
  EXPECT_EQ(v.toString(), QStringLiteral("1500"));
}

TEST_F(SettingsTest, TextThatIsNotANumberReadsAsTheDefault) {
  {
    QSettings raw(org_, QStringLiteral("Sorvan"));
    raw.setValue("Settings/MainLeft", "izquierda");
    raw.setValue("Settings/MainTop", "");
    raw.setValue("Settings/MainWidth", "12abc");
    raw.setValue("Settings/MainHeight", "inf");
  }
  SettingsStore store(org_, QStringLiteral("Sorvan"));
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainLeft", 1000), 1000);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainTop", 1000), 1000);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainWidth", 6500), 6500);
  EXPECT_DOUBLE_EQ(store.GetSetting("Settings", "MainHeight", 6500), 6500);
}

TEST_F(SettingsTest, StoresOfDifferentNamesDoNotMix) {
  SettingsStore a(org_, QStringLiteral("Sorvan"));
  SettingsStore b(org_ + "2", QStringLiteral("Sorvan"));
  a.SaveSetting("Settings", "MainLeft", 111);
  EXPECT_DOUBLE_EQ(b.GetSetting("Settings", "MainLeft", 1000), 1000);
}

TEST(TwipsTest, AnInchIs1440TwipsAtAnyResolution) {
  EXPECT_EQ(TwipsToPixels(1440, 96), 96);
  EXPECT_EQ(TwipsToPixels(1440, 144), 144);
  EXPECT_EQ(TwipsToPixels(6500, 96), 433);  // 433.33 rounds down
  EXPECT_EQ(TwipsToPixels(1000, 96), 67);   // 66.67 rounds up
  EXPECT_DOUBLE_EQ(PixelsToTwips(96, 96), 1440);
  EXPECT_DOUBLE_EQ(PixelsToTwips(433, 96), 6495);
}

TEST(TwipsTest, PixelsSurviveTheRoundTrip) {
  for (double dpi : {72.0, 96.0, 120.0, 144.0, 192.0})
    for (int px : {0, 1, 67, 433, 1279, 2560})
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(px, dpi), dpi), px) << px << " px at " << dpi << " dpi";
}

}  // namespace
