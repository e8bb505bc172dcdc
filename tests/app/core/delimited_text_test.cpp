// Delimited text import: format detection, quoting, encodings, missing
// values, and the failures that must name file, line and column.
#include "core/delimited_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sorvan::core;

namespace {

Result Read(const std::string& text, SpatialData& d, std::optional<double> absent = std::nullopt) {
  ReadOptions op;
  op.missingValue = absent;
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
  Result r = Read(c.text, d);
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
    Formats, DetectionTest,
    ::testing::Values(
        FormatCase{"coma", "x,y,zinc\n181072.5,333611,1022\n181025,333558.25,1141\n181165,333537,-0.125\n", ',', '.'},
        FormatCase{"puntoycoma", "x;y;zinc\r\n181072,5;333611;1022\r\n181025;333558,25;1141\r\n181165;333537;-0,125\r\n", ';', ','},
        FormatCase{"puntoycomaPunto", "x;y;zinc\n181072.5;333611;1022\n181025;333558.25;1141\n181165;333537;-0.125\n", ';', '.'},
        FormatCase{"tab", "x\ty\tzinc\n181072.5\t333611\t1022\n181025\t333558.25\t1141\n181165\t333537\t-0.125\n", '\t', '.'},
        FormatCase{"espacios", "  x     y      zinc\n181072.5  333611 1022\n181025 333558.25   1141  \n181165 333537 -0.125\n", ' ', '.'},
        FormatCase{"comillas", "\"x\",\"y\",\"zinc\"\n\"181072.5\",333611,1022\n181025,\"333558.25\",1141\n181165,333537,-0.125", ',', '.'}),
    [](const ::testing::TestParamInfo<FormatCase>& i) { return std::string(i.param.nombre); });

TEST(DelimitedTextSuite, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
  SpatialData d;
  Result r = Read("x,\"nota, con \"\"comillas\"\"\nen dos líneas\",z\n1,\"a,b\",3\n4,\"c\",6\n", d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(d.nvar, 2);  // the text column is left out and named
  EXPECT_NE(r.message.find("«nota, con \"comillas\"?en dos"), std::string::npos) << r.message;
  EXPECT_EQ(d.value(2, 2), 6.0);
}

TEST(DelimitedTextSuite, MissingValuesAreEmptyNaOrTheNamedValue) {
  SpatialData d;
  ASSERT_TRUE(Read("x;y;z\n1,5;2;NA\n3;;-9999\n5;6;7,25\n", d, -9999.0).ok);
  EXPECT_TRUE(std::isnan(d.value(1, 3)));
  EXPECT_TRUE(std::isnan(d.value(2, 2)));
  EXPECT_TRUE(std::isnan(d.value(2, 3)));
  EXPECT_EQ(d.value(1, 1), 1.5);
  EXPECT_EQ(d.value(3, 3), 7.25);
  EXPECT_EQ(d.missing(3), 2);
  EXPECT_EQ(d.minimum[2], 7.25);
}

TEST(DelimitedTextSuite, Windows1252AndUtf8NamesComeOutTheSame) {
  SpatialData a, b, c;
  ASSERT_TRUE(Read("a\xF1o,z\n1,2\n", a).ok);              // "año" in Windows-1252
  ASSERT_TRUE(Read("a\xC3\xB1o,z\n1,2\n", b).ok);          // in UTF-8
  ASSERT_TRUE(Read("\xEF\xBB\xBF" "a\xC3\xB1o,z\n1,2\n", c).ok);  // with a byte-order mark
  EXPECT_EQ(a.nameWithoutBlanks(1), "año");
  EXPECT_EQ(b.nameWithoutBlanks(1), "año");
  EXPECT_EQ(c.nameWithoutBlanks(1), "año");
  bool w = false;
  EXPECT_EQ(AsUtf8("\x80 \x93x\x94", w), "€ “x”");
  EXPECT_TRUE(w);
}

TEST(DelimitedTextSuite, FailuresNameFileLineAndColumnAndKeepTheData) {
  SpatialData d;
  ASSERT_TRUE(Read("x,y\n1,2\n", d).ok);
  struct Case {
    std::string text;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"x,y,z\n1,2,3\n4,5\n", {"prueba.csv", "línea 3", "2 campos y la cabecera 3"}},
      {"x,y,z\n1,2,3\n4,5,6,7\n", {"línea 3", "4 campos"}},
      {"x,y,z\n1,2,3\n4,cinco,6\n", {"prueba.csv", "línea 3", "columna 2 («y»)", "«cinco»"}},
      {"x,y,z\n1,2,3\n4,\"5\n", {"línea 3", "columna 2", "comilla"}},
      {"x,y,z\n1,2,3\n4,5," + std::string(2000000, '9') + "\n", {"línea 3", "columna 3", "demasiado largo"}},
      {"nombre,fecha\nA,hoy\n", {"ninguna columna"}},
      {"x,y\n", {"no hay filas"}},
      {"", {"vacío"}},
  };
  for (const Case& c : cases) {
    Result r = Read(c.text, d);
    EXPECT_FALSE(r.ok) << c.text.substr(0, 60);
    for (const std::string& f : c.says) EXPECT_NE(r.message.find(f), std::string::npos) << r.message << " / " << f;
    EXPECT_EQ(d.N, 1);
    EXPECT_EQ(d.value(1, 2), 2.0);
  }
}

TEST(DelimitedTextSuite, ExtensionsReadAsText) {
  EXPECT_TRUE(IsDelimitedText("a/b.CSV"));
  EXPECT_TRUE(IsDelimitedText("b.tsv"));
  EXPECT_TRUE(IsDelimitedText("b.txt"));
  EXPECT_FALSE(IsDelimitedText("b.dae"));
}

TEST(DelimitedTextSuite, ProgressRisesToTheEndAndItsRefusalCancelsLeavingTheDataSet) {
  // 20000 rows: the reader reports every 8192 rows, by the share of bytes read.
  std::string text = "x;y\n";
  for (int i = 0; i < 20000; ++i) text += std::to_string(i) + ";" + std::to_string(2 * i) + "\n";
  std::vector<double> parts;
  ReadOptions op;
  op.progress = [&parts](double f) {
    parts.push_back(f);
    return true;
  };
  SpatialData d;
  ASSERT_TRUE(ReadDelimitedText(text, "prueba.csv", DetectFormat(text), d, op));
  EXPECT_EQ(d.N, 20000);
  ASSERT_EQ(parts.size(), 3u);  // rows 0, 8192 and 16384
  // Row 8192 begins after the header and 8192 rows; the header line itself is 4 bytes.
  size_t bytes = 4;
  for (int i = 0; i <= 8192; ++i) bytes += std::to_string(i).size() + std::to_string(2 * i).size() + 2;
  EXPECT_DOUBLE_EQ(parts[1], double(bytes) / double(text.size()));
  EXPECT_LT(parts[0], parts[1]);
  EXPECT_LT(parts[1], parts[2]);
  EXPECT_LE(parts[2], 1.0);

  const SpatialData before = d;
  int calls = 0;
  op.progress = [&calls](double) { return ++calls < 2; };  // refused at the second report
  const Result r = ReadDelimitedText(text + "1;2\n", "prueba.csv", DetectFormat(text), d, op);
  EXPECT_FALSE(r);
  EXPECT_EQ(r.message, kCancelledText);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(d.N, before.N);
  EXPECT_EQ(d.matrix, before.matrix);
}
