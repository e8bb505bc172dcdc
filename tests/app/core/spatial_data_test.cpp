// Reading ".dae" files: the real meuse data set, the free-format rules, the
// row limit, and the failures that must leave the data set untouched.
#include "core/spatial_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <fstream>
#include <sstream>
#include <string>

using namespace sorvan::core;

namespace {

std::string Font(const std::string& relative) {
  const char* dir = std::getenv("SORVAN_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

Result Read(const std::string& text, SpatialData& d, int limit = 0,
              std::optional<double> absent = std::nullopt) {
  std::istringstream in(text);
  ReadOptions op;
  op.rowLimit = limit;
  op.missingValue = absent;
  return ReadData(in, "prueba.dae", d, op);
}

std::string TextOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The meuse file with `change` applied to the text of data line `row`
// (1-based among the data lines, which start after the 8 variable headers).
std::string MeuseWithRow(int row, const std::function<std::string(const std::string&)>& change) {
  std::istringstream in(TextOf(Font("examples/meuse.dae")));
  std::string line, r;
  for (int n = 1; std::getline(in, line); ++n) r += (n == 10 + row ? change(line) : line) + "\n";
  return r;
}

// A data set with `rows` rows of three variables: (i, 2i, -i) for row i.
std::string Table(int announced, int rows) {
  std::string t = "\"tabla\"\n3," + std::to_string(announced) + "\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n";
  for (int i = 1; i <= rows; ++i)
    t += std::to_string(i) + "," + std::to_string(2 * i) + "," + std::to_string(-i) + "\n";
  return t;
}

}  // namespace

TEST(ReadData, MeuseExtremesAndLayoutAgreeWithTheFile) {
  SpatialData d;
  Result r = ReadData(Font("examples/meuse.dae"), d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(r.message.empty());
  EXPECT_EQ(d.nvar, 8);
  EXPECT_EQ(d.N, 155);
  EXPECT_EQ(d.title.size(), 64u);
  EXPECT_EQ(d.title.rfind("Meuse river floodplain", 0), 0u);
  EXPECT_EQ(d.names[0], "x       ");
  EXPECT_EQ(d.names[3], "logzinc ");
  EXPECT_EQ(d.nameWithoutBlanks(4), "logzinc");
  // Extremes worked out from the file with a separate tool.
  EXPECT_FLOAT_EQ(d.minimum[0], 178605.0f);
  EXPECT_FLOAT_EQ(d.maximum[0], 181390.0f);
  EXPECT_FLOAT_EQ(d.minimum[1], 329714.0f);
  EXPECT_FLOAT_EQ(d.maximum[1], 333611.0f);
  EXPECT_FLOAT_EQ(d.minimum[2], 113.0f);
  EXPECT_FLOAT_EQ(d.maximum[2], 1839.0f);
  EXPECT_FLOAT_EQ(d.minimum[7], 5.18f);
  EXPECT_FLOAT_EQ(d.maximum[7], 10.52f);
  // Column-major: first and last rows of the file.
  EXPECT_FLOAT_EQ(d.value(1, 1), 181072.0f);
  EXPECT_FLOAT_EQ(d.value(1, 4), 6.929517f);
  EXPECT_FLOAT_EQ(d.value(155, 8), 8.261f);
  EXPECT_FLOAT_EQ(d.column(2)[154], 330190.0f);
  EXPECT_EQ(d.findColumn("logzinc"), 4);
  EXPECT_EQ(d.findColumn("LOGZINC"), 4);
  EXPECT_EQ(d.findColumn("nada"), 0);
}

TEST(ReadData, FreeFormatLayoutsGiveTheSameDataSet) {
  const std::string porFilas = "\"T\"\n2,3\n\"uno\",\"primera, con coma\",1\n dos , segunda ,2\n1.5,-2\n3e2,4\n5,.25\n";
  const std::string byValue = "T\n2\n3\n\"uno\"\n\"primera, con coma\"\n1\ndos\nsegunda\n2\n1.5\n-2\n300\n4\n5\n0.25\n";
  const std::string withBlanks = "\"T\",2 3\r\n\"uno\",\"primera, con coma\",1\r\n\"dos\",\"segunda\",2\r\n\r\n1.5 -2 3E+2 4\r\n  5   0.25";
  SpatialData a, b, c;
  ASSERT_TRUE(Read(porFilas, a).ok) << Read(porFilas, a).message;
  ASSERT_TRUE(Read(byValue, b).ok) << Read(byValue, b).message;
  ASSERT_TRUE(Read(withBlanks, c).ok) << Read(withBlanks, c).message;
  for (const SpatialData* d : {&a, &b, &c}) {
    EXPECT_EQ(d->names[0], "uno     ");
    EXPECT_EQ(d->names[1], "dos     ");
    EXPECT_EQ(d->descriptions[0].substr(0, 17), "primera, con coma");
    EXPECT_EQ(d->matrix, (std::vector<double>{1.5, 300.0, 5.0, -2.0, 4.0, 0.25}));
    EXPECT_FLOAT_EQ(d->minimum[0], 1.5f);
    EXPECT_FLOAT_EQ(d->maximum[0], 300.0f);
    EXPECT_FLOAT_EQ(d->minimum[1], -2.0f);
    EXPECT_FLOAT_EQ(d->maximum[1], 4.0f);
  }
}

TEST(ReadData, NamesAreCutOrPaddedToEightCharacters) {
  SpatialData d;
  ASSERT_TRUE(Read("t\n2,1\n\"abcdefghij\",d,0\ncorto,d,0\n1,2\n", d).ok);
  EXPECT_EQ(d.names[0], "abcdefgh");
  EXPECT_EQ(d.names[1], "corto   ");
  EXPECT_EQ(d.findColumn("abcdefghij"), 1);  // cut as the file's names are
  // A multi-byte character counts as one and is never split.
  ASSERT_TRUE(Read("t\n1,1\n\"añoañoaño\",d,0\n1\n", d).ok);
  EXPECT_EQ(d.names[0], "añoañoañ");
}

TEST(ReadData, EveryRowIsReadWhateverTheCount) {
  SpatialData d;
  Result r = Read(Table(5000, 5000), d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(r.message.empty()) << r.message;
  EXPECT_EQ(d.N, 5000);
  EXPECT_DOUBLE_EQ(d.value(5000, 3), -5000.0);
  EXPECT_DOUBLE_EQ(d.maximum[1], 10000.0);
}

TEST(ReadData, AnExplicitRowLimitKeepsTheFirstRowsAndSaysSo) {
  SpatialData d;
  Result r = Read(Table(10, 10), d, 4);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(d.N, 4);
  EXPECT_NE(r.message.find("primeras 4 filas de 10"), std::string::npos) << r.message;
  EXPECT_DOUBLE_EQ(d.minimum[2], -4.0);
}

TEST(ReadData, NaEmptyFieldsAndANamedValueAreMissing) {
  SpatialData d;
  const std::string t = "t\n3,4\na,,0\nb,,0\nc,,0\n1,NA,3\n4,,6\n-9999,8,na\n10,11,\n";
  ASSERT_TRUE(Read(t, d, 0, -9999.0).ok) << Read(t, d, 0, -9999.0).message;
  ASSERT_EQ(d.N, 4);
  EXPECT_TRUE(std::isnan(d.value(1, 2)));
  EXPECT_TRUE(std::isnan(d.value(2, 2)));
  EXPECT_TRUE(std::isnan(d.value(3, 1)));
  EXPECT_TRUE(std::isnan(d.value(3, 3)));
  EXPECT_TRUE(std::isnan(d.value(4, 3)));  // a line ending in a comma: the last value is missing
  EXPECT_EQ(d.missing(1), 1);
  EXPECT_EQ(d.missing(2), 2);
  EXPECT_EQ(d.missing(3), 2);
  // Extremes over the present values only.
  EXPECT_DOUBLE_EQ(d.minimum[0], 1.0);
  EXPECT_DOUBLE_EQ(d.maximum[0], 10.0);
  EXPECT_DOUBLE_EQ(d.minimum[1], 8.0);
  EXPECT_DOUBLE_EQ(d.maximum[1], 11.0);
  EXPECT_DOUBLE_EQ(d.minimum[2], 3.0);
  EXPECT_DOUBLE_EQ(d.maximum[2], 6.0);
  // Without the named value -9999 is an ordinary number.
  ASSERT_TRUE(Read(t, d).ok);
  EXPECT_DOUBLE_EQ(d.value(3, 1), -9999.0);
  // Only rows with every chosen column present take part in a run.
  ASSERT_TRUE(Read(t, d, 0, -9999.0).ok);
  EXPECT_EQ(CompleteRows(d, {1, 3}), (std::vector<int>{0, 1}));
  EXPECT_EQ(CompleteRows(d, {1}), (std::vector<int>{0, 1, 3}));
}

TEST(ReadData, ValuesKeepDoublePrecision) {
  // Coordinates 0.3 m apart at a northing of 9.1e6 stay apart.
  SpatialData d;
  ASSERT_TRUE(Read("t\n2,2\nx,,0\ny,,0\n500000.1,9100000.0\n500000.1,9100000.3\n", d).ok);
  EXPECT_EQ(d.value(1, 2), 9100000.0);
  EXPECT_EQ(d.value(2, 2), 9100000.3);
  EXPECT_NE(d.value(1, 2), d.value(2, 2));
}

TEST(ReadData, OneExtraValueOnDataRow1OfMeuseIsAnErrorNamingTheLine) {
  // It used to shift every later column and give a run with a grid origin
  // of x = -1880.
  SpatialData d;
  const std::string t = MeuseWithRow(1, [](const std::string& l) { return l + ",5"; });
  Result r = Read(t, d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("prueba.dae, línea 11"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("fila 1 tiene 9 valores y debe tener 8"), std::string::npos) << r.message;
  // One value fewer on row 40 (line 50) is named likewise.
  r = Read(MeuseWithRow(40, [](const std::string& l) { return l.substr(0, l.rfind(',')); }), d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("línea 50"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("fila 40 tiene 7 valores"), std::string::npos) << r.message;
}

TEST(ReadData, HeaderAnnouncing100PointsOnA155RowFileWarnsOfTheRest) {
  std::string t = TextOf(Font("examples/meuse.dae"));
  t.replace(t.find("8,155"), 5, "8,100");
  SpatialData d;
  Result r = Read(t, d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(d.N, 100);
  EXPECT_NE(r.message.find("anuncia 100 datos pero tiene 155 filas"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("las 55 filas siguientes (líneas 111 a 165)"), std::string::npos) << r.message;
  EXPECT_DOUBLE_EQ(d.value(100, 1), 179206.0);  // line 110 of the file, read separately
}

TEST(ReadData, APointWrappedOverSeveralLinesStillReads) {
  // Four values per line for eight variables: the meuse rows split in two.
  const std::string meuse = TextOf(Font("examples/meuse.dae"));
  std::string split;
  std::istringstream in(meuse);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (n <= 10) {
      split += line + "\n";
      continue;
    }
    size_t cut = 0;
    for (int c = 0; c < 4; ++c) cut = line.find(',', cut) + 1;
    split += line.substr(0, cut - 1) + "\n" + line.substr(cut) + "\n";
  }
  SpatialData a, b;
  ASSERT_TRUE(Read(meuse, a).ok);
  Result r = Read(split, b);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_TRUE(r.message.empty()) << r.message;
  EXPECT_EQ(a.matrix, b.matrix);
  // Values left over after the announced rows of a wrapped file are counted.
  r = Read(split + "1,2,3\n", b);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_NE(r.message.find("sobran 3 valores (desde la línea 321)"), std::string::npos) << r.message;
}

TEST(ReadData, FailuresNameFileLineAndFieldAndKeepThePreviousDataSet) {
  SpatialData d;
  ASSERT_TRUE(Read(Table(3, 3), d).ok);
  const std::vector<double> before = d.matrix;

  struct Case {
    std::string text;
    std::vector<std::string> says;  // fragments the message must hold
  };
  const Case cases[] = {
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,x7\n5,6\n", {"prueba.dae", "línea 6", "dato 2 de la fila 2", "«x7»"}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,4\n5\n", {"prueba.dae", "línea 7", "fila 3 tiene 1 valor "}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1\n2\n3\n4\n5\n", {"prueba.dae", "dato 2 de la fila 3", "termina"}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,,4\n5,6\n", {"línea 6", "fila 2 tiene 3 valores"}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,4\n", {"línea 6", "anuncia 3 datos pero solo tiene 2 filas"}},
      {"\"t\"\n2,1\na,,0\nb,,0\n1,nan\n", {"línea 5", "«nan»"}},
      {"\"t\"\n2,1\na,,0\nb,,0\n1,1e39\n", {"línea 5", "precisión simple"}},
      {"\"t\"\n2,1\n\"a,,0\nb,,0\n1,2\n", {"línea 3", "comilla"}},
      {"\"t\"\n-2,1\n", {"línea 2", "nº de variables"}},
      {"\"t\"\n2,-1\n", {"línea 2", "nº de datos"}},
      {"\"t\"\n2,0\n", {"nº de datos"}},
      {"\"t\"\n2.5,3\n", {"entero", "«2.5»"}},
      {"\"t\"\n40000,3\n", {"nº de variables", "32767"}},
      {"", {"prueba.dae", "título", "termina"}},
      {"\"t\"\n2,3\na,,0\nb,,zero\n", {"número de la cabecera de la variable 2", "«zero»"}},
  };
  for (const Case& c : cases) {
    Result r = Read(c.text, d);
    EXPECT_FALSE(r.ok) << c.text;
    for (const std::string& f : c.says) EXPECT_NE(r.message.find(f), std::string::npos) << r.message << " / " << f;
    EXPECT_EQ(d.N, 3);
    EXPECT_EQ(d.matrix, before);
  }
}

TEST(ReadData, AnnouncedCountsDoNotDriveAllocation) {
  // 10^9 rows announced, limit lifted, two present: a prompt failure, not a
  // gigabyte allocation.
  SpatialData d;
  Result r = Read("\"t\"\n2,1000000000\na,,0\nb,,0\n1,2\n3,4\n", d, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("solo tiene 2 filas"), std::string::npos) << r.message;
  r = Read("\"t\"\n32767,2147483647\n", d, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("nombre de la variable 1"), std::string::npos) << r.message;
  r = Read("\"t\"\n2,2147483648\n", d, 0);
  EXPECT_FALSE(r.ok);
}

TEST(ReadData, MissingFileIsNamed) {
  SpatialData d;
  Result r = ReadData("/no/existe/datos.dae", d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("/no/existe/datos.dae"), std::string::npos);
  r = ReadData(Font("examples"), d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("carpeta"), std::string::npos) << r.message;
  // An endless stream of zero bytes ends at the field-length bound.
  r = ReadData("/dev/zero", d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("demasiado largo"), std::string::npos) << r.message;
}
