// The sentence naming the automatic options, checked against options set by hand.
#include "core/automatic_options_text.h"

#include <gtest/gtest.h>

using namespace sorvan::core;

using sorvan::core::DescribeAutomaticOptions;
using sorvan::core::OpcionesKriging;

namespace {

OpcionesKriging Options() {
  OpcionesKriging op;
  op.Media = 0;
  op.Estimador = 1;
  op.LongVar = 0;
  op.NSaltos = 12;
  op.RSalto = 110;
  op.SaltoIni = 65;
  op.Modelo = 1;
  op.NAjus = 6;
  op.NMinAjus = 15;
  op.NRx = 50;
  op.NRy = 40;
  op.MinRx = 178605.5f;
  op.MinRy = 329714.25f;
  op.LRx = 57.5f;
  op.LRy = 80.125f;
  return op;
}

TEST(AutomaticOptionsText, NamesEveryChosenValue) {
  EXPECT_EQ(DescribeAutomaticOptions(Options()),
            "Media constante (kriging ordinario); estimador clásico con 12 saltos de 110.000 desde 65.000; "
            "modelo esférico ajustado en 6 saltos de al menos 15 aportaciones; rejilla de 50 x 40 nodos "
            "desde (178605.500, 329714.250) con paso (57.500, 80.125).");
}

TEST(AutomaticOptionsText, FewDataTakeTheLinearModelAndOneLag) {
  OpcionesKriging op = Options();
  op.Modelo = 3;
  op.NSaltos = 1;
  const std::string s = DescribeAutomaticOptions(op);
  EXPECT_NE(s.find("modelo lineal"), std::string::npos) << s;
  EXPECT_NE(s.find("con 1 salto de"), std::string::npos) << s;
}

TEST(AutomaticOptionsText, ModelNamesInTheDialogsOrder) {
  const char* expectedCount[] = {"esférico", "exponencial", "lineal", "potencial", "racional-cuadrático", "oscilatorio"};
  for (int k = 1; k <= 6; ++k) EXPECT_STREQ(sorvan::core::SpanishModelName(k), expectedCount[k - 1]);
  EXPECT_STREQ(sorvan::core::SpanishModelName(7), "desconocido");
}

}  // namespace
