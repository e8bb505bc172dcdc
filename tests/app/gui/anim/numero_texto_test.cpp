// Frame rates and values typed in the animation dialogs.
#include "gui/anim/numero_texto.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace {

TEST(FotogramasPorSegundo, RoundsHalvesToEven) {
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("2.5")), 2);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("3.5")), 4);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("12")), 12);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral(" 7.6 fps")), 8);
}

TEST(FotogramasPorSegundo, TextWithoutLeadingNumberGivesZero) {
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("abc")), 0);
  EXPECT_EQ(FotogramasPorSegundo(QString()), 0);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("x5")), 0);
}

TEST(FotogramasPorSegundo, HugeValuesStayInSixteenBits) {
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("99999999")), 32767);
  EXPECT_EQ(FotogramasPorSegundo(QStringLiteral("-99999999")), -32768);
}

TEST(ValorNumerico, ReadsThePeriodWhateverTheLocale) {
  QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
  EXPECT_DOUBLE_EQ(ValorNumerico(QStringLiteral("12.75")), 12.75);
  EXPECT_DOUBLE_EQ(ValorNumerico(QStringLiteral("12,75")), 12.0);
  EXPECT_DOUBLE_EQ(ValorNumerico(QStringLiteral("-3e2x")), -300.0);
  EXPECT_DOUBLE_EQ(ValorNumerico(QStringLiteral(".5")), 0.5);
  QLocale::setDefault(QLocale::c());
}

}  // namespace
