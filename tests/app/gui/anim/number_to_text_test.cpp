// Frame rates typed in the animation dialogs.
#include "gui/anim/number_to_text.h"

#include <gtest/gtest.h>

using namespace sorvan::gui;

namespace {

TEST(FotogramasPorSegundo, RoundsHalvesToEven) {
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("2.5")), 2);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("3.5")), 4);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("12")), 12);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral(" 7.6 ")), 8);
}

// Text is refused rather than read as 0 frames per second.
TEST(FotogramasPorSegundo, TextThatIsNotANumberIsRefused) {
  EXPECT_FALSE(FotogramasPorSegundo(QStringLiteral("abc")).has_value());
  EXPECT_FALSE(FotogramasPorSegundo(QString()).has_value());
  EXPECT_FALSE(FotogramasPorSegundo(QStringLiteral("x5")).has_value());
  EXPECT_FALSE(FotogramasPorSegundo(QStringLiteral("7 fps")).has_value());
}

TEST(FotogramasPorSegundo, HugeValuesStayInSixteenBits) {
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("99999999")), 32767);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("-99999999")), -32768);
}

}  // namespace
