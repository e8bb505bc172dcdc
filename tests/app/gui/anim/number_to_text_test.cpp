// Frame rates typed in the animation dialogs.
#include "gui/anim/number_to_text.h"

#include <gtest/gtest.h>

using namespace sorvan::gui;

namespace {

TEST(FramesPerSecond, RoundsHalvesToEven) {
  EXPECT_EQ(FramesPerSecond(QStringLiteral("2.5")), 2);
  EXPECT_EQ(FramesPerSecond(QStringLiteral("3.5")), 4);
  EXPECT_EQ(FramesPerSecond(QStringLiteral("12")), 12);
  EXPECT_EQ(FramesPerSecond(QStringLiteral(" 7.6 ")), 8);
}

// Text is refused rather than read as 0 frames per second.
TEST(FramesPerSecond, TextThatIsNotANumberIsRefused) {
  EXPECT_FALSE(FramesPerSecond(QStringLiteral("abc")).has_value());
  EXPECT_FALSE(FramesPerSecond(QString()).has_value());
  EXPECT_FALSE(FramesPerSecond(QStringLiteral("x5")).has_value());
  EXPECT_FALSE(FramesPerSecond(QStringLiteral("7 fps")).has_value());
}

TEST(FramesPerSecond, HugeValuesStayInSixteenBits) {
  EXPECT_EQ(FramesPerSecond(QStringLiteral("99999999")), 32767);
  EXPECT_EQ(FramesPerSecond(QStringLiteral("-99999999")), -32768);
}

}  // namespace
