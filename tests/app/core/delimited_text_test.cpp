// Delimited text import: format detection, quoting, encodings, missing
// values, and the failures that must name file, line and column.
#include "core/delimited_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sorvan::core;

namespace {

Result Lee(const std::string& text, SpatialData& d, std::optional<double> ausente = std::nullopt) {
  ReadOptions op;
  op.missingValue = ausente;
  return ReadDelimitedText(text, "prueba.csv", DetectFormat(text), d, op);
}

struct FormatCase {
  const char* nombre;
  std::string text;
  char separator, decimal;
};

class DetectionTest : public ::testing::TestWithParam<FormatCase> {};

}  // namespace

// The same three points written the ways spreadsheets and programs write them.
TEST_P(DetectionTest, SeparatorAndDecimalAreFoundAndTheValuesAgree) {
  const FormatCase& c = GetParam();
  const TextFormat f = DetectFormat(c.text);
  EXPECT_EQ(f.separator, c.separator);
  EXPECT_EQ(f.decimal, c.decimal);
  SpatialData d;
  Result r = Lee(c.text, d);
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(d.nvar, 3);
  ASSERT_EQ(d.N, 3);
  EXPECT_EQ(d.nameWithoutBlanks(1), "x");
  EXPECT_EQ(d.nameWithoutBlanks(3), "zinc");
  EXPECT_EQ(d.value(1, 1), 181072.5);
  EXPECT_EQ(d.value(2, 2), 333558.25);
  EXPECT_EQ(d.value(3, 3), -0.125);
}

INSTANTIATE_TEST_SUITE_P(
    Formatos, DetectionTest,
    ::testing::Values(
        FormatCase{"coma", "x,y,zinc\n181072.5,333611,1022\n181025,333558.25,1141\n181165,333537,-0.125\n", ',', '.'},
        FormatCase{"puntoycoma", "x;y;zinc\r\n181072,5;333611;1022\r\n181025;333558,25;1141\r\n181165;333537;-0,125\r\n", ';', ','},
        FormatCase{"puntoycomaPunto", "x;y;zinc\n181072.5;333611;1022\n181025;333558.25;1141\n181165;333537;-0.125\n", ';', '.'},
        FormatCase{"tab", "x\ty\tzinc\n181072.5\t333611\t1022\n181025\t333558.25\t1141\n181165\t333537\t-0.125\n", '\t', '.'},
        FormatCase{"espacios", "  x     y      zinc\n181072.5  333611 1022\n181025 333558.25   1141  \n181165 333537 -0.125\n", ' ', '.'},
        FormatCase{"comillas", "\"x\",\"y\",\"zinc\"\n\"181072.5\",333611,1022\n181025,\"333558.25\",1141\n181165,333537,-0.125", ',', '.'}),
    [](const ::testing::TestParamInfo<FormatCase>& i) { return std::string(i.param.nombre); });

TEST(TextoDelimitado, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
  SpatialData d;
  Result r = Lee("x,\"nota, con \"\"comillas\"\"\nen dos líneas\",z\n1,\"a,b\",3\n4,\"c\",6\n", d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(d.nvar, 2);  // the text column is left out and named
  EXPECT_NE(r.message.find("«nota, con \"comillas\"?en dos"), std::string::npos) << r.message;
  EXPECT_EQ(d.value(2, 2), 6.0);
}

TEST(TextoDelimitado, MissingValuesAreEmptyNaOrTheNamedValue) {
  SpatialData d;
  ASSERT_TRUE(Lee("x;y;z\n1,5;2;NA\n3;;-9999\n5;6;7,25\n", d, -9999.0).ok);
  EXPECT_TRUE(std::isnan(d.value(1, 3)));
  EXPECT_TRUE(std::isnan(d.value(2, 2)));
  EXPECT_TRUE(std::isnan(d.value(2, 3)));
  EXPECT_EQ(d.value(1, 1), 1.5);
  EXPECT_EQ(d.value(3, 3), 7.25);
  EXPECT_EQ(d.missing(3), 2);
  EXPECT_EQ(d.minimum[2], 7.25);
}

TEST(TextoDelimitado, Windows1252AndUtf8NamesComeOutTheSame) {
  SpatialData a, b, c;
  ASSERT_TRUE(Lee("a\xF1o,z\n1,2\n", a).ok);              // "año" in Windows-1252
  ASSERT_TRUE(Lee("a\xC3\xB1o,z\n1,2\n", b).ok);          // in UTF-8
  ASSERT_TRUE(Lee("\xEF\xBB\xBF" "a\xC3\xB1o,z\n1,2\n", c).ok);  // with a byte-order mark
  EXPECT_EQ(a.nameWithoutBlanks(1), "año");
  EXPECT_EQ(b.nameWithoutBlanks(1), "año");
  EXPECT_EQ(c.nameWithoutBlanks(1), "año");
  bool w = false;
  EXPECT_EQ(AsUtf8("\x80 \x93x\x94", w), "€ “x”");
  EXPECT_TRUE(w);
}

TEST(TextoDelimitado, FailuresNameFileLineAndColumnAndKeepTheData) {
  SpatialData d;
  ASSERT_TRUE(Lee("x,y\n1,2\n", d).ok);
  struct Caso {
    std::string text;
    std::vector<std::string> dice;
  };
  const Caso casos[] = {
      {"x,y,z\n1,2,3\n4,5\n", {"prueba.csv", "línea 3", "2 campos y la cabecera 3"}},
      {"x,y,z\n1,2,3\n4,5,6,7\n", {"línea 3", "4 campos"}},
      {"x,y,z\n1,2,3\n4,cinco,6\n", {"prueba.csv", "línea 3", "columna 2 («y»)", "«cinco»"}},
      {"x,y,z\n1,2,3\n4,\"5\n", {"línea 3", "columna 2", "comilla"}},
      {"x,y,z\n1,2,3\n4,5," + std::string(2000000, '9') + "\n", {"línea 3", "columna 3", "demasiado largo"}},
      {"nombre,fecha\nA,hoy\n", {"ninguna columna"}},
      {"x,y\n", {"no hay filas"}},
      {"", {"vacío"}},
  };
  for (const Caso& c : casos) {
    Result r = Lee(c.text, d);
    EXPECT_FALSE(r.ok) << c.text.substr(0, 60);
    for (const std::string& f : c.dice) EXPECT_NE(r.message.find(f), std::string::npos) << r.message << " / " << f;
    EXPECT_EQ(d.N, 1);
    EXPECT_EQ(d.value(1, 2), 2.0);
  }
}

TEST(TextoDelimitado, ExtensionsReadAsText) {
  EXPECT_TRUE(IsDelimitedText("a/b.CSV"));
  EXPECT_TRUE(IsDelimitedText("b.tsv"));
  EXPECT_TRUE(IsDelimitedText("b.txt"));
  EXPECT_FALSE(IsDelimitedText("b.dae"));
}
