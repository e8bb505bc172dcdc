// Delimited text import: format detection, quoting, encodings, missing
// values, and the failures that must name file, line and column.
#include "core/texto_delimitado.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace sorvan;

namespace {

Resultado Lee(const std::string& texto, DatosEspaciales& d, std::optional<double> ausente = std::nullopt) {
  OpcionesLectura op;
  op.valorAusente = ausente;
  return LeeTextoDelimitado(texto, "prueba.csv", DetectaFormato(texto), d, op);
}

struct CasoFormato {
  const char* nombre;
  std::string texto;
  char separador, decimal;
};

class DeteccionTest : public ::testing::TestWithParam<CasoFormato> {};

}  // namespace

// The same three points written the ways spreadsheets and programs write them.
TEST_P(DeteccionTest, SeparatorAndDecimalAreFoundAndTheValuesAgree) {
  const CasoFormato& c = GetParam();
  const FormatoTexto f = DetectaFormato(c.texto);
  EXPECT_EQ(f.separador, c.separador);
  EXPECT_EQ(f.decimal, c.decimal);
  DatosEspaciales d;
  Resultado r = Lee(c.texto, d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  ASSERT_EQ(d.nvar, 3);
  ASSERT_EQ(d.N, 3);
  EXPECT_EQ(d.nombreSinBlancos(1), "x");
  EXPECT_EQ(d.nombreSinBlancos(3), "zinc");
  EXPECT_EQ(d.valor(1, 1), 181072.5);
  EXPECT_EQ(d.valor(2, 2), 333558.25);
  EXPECT_EQ(d.valor(3, 3), -0.125);
}

INSTANTIATE_TEST_SUITE_P(
    Formatos, DeteccionTest,
    ::testing::Values(
        CasoFormato{"coma", "x,y,zinc\n181072.5,333611,1022\n181025,333558.25,1141\n181165,333537,-0.125\n", ',', '.'},
        CasoFormato{"puntoycoma", "x;y;zinc\r\n181072,5;333611;1022\r\n181025;333558,25;1141\r\n181165;333537;-0,125\r\n", ';', ','},
        CasoFormato{"puntoycomaPunto", "x;y;zinc\n181072.5;333611;1022\n181025;333558.25;1141\n181165;333537;-0.125\n", ';', '.'},
        CasoFormato{"tab", "x\ty\tzinc\n181072.5\t333611\t1022\n181025\t333558.25\t1141\n181165\t333537\t-0.125\n", '\t', '.'},
        CasoFormato{"espacios", "  x     y      zinc\n181072.5  333611 1022\n181025 333558.25   1141  \n181165 333537 -0.125\n", ' ', '.'},
        CasoFormato{"comillas", "\"x\",\"y\",\"zinc\"\n\"181072.5\",333611,1022\n181025,\"333558.25\",1141\n181165,333537,-0.125", ',', '.'}),
    [](const ::testing::TestParamInfo<CasoFormato>& i) { return std::string(i.param.nombre); });

TEST(TextoDelimitado, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
  DatosEspaciales d;
  Resultado r = Lee("x,\"nota, con \"\"comillas\"\"\nen dos líneas\",z\n1,\"a,b\",3\n4,\"c\",6\n", d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(d.nvar, 2);  // the text column is left out and named
  EXPECT_NE(r.mensaje.find("«nota, con \"comillas\"?en dos"), std::string::npos) << r.mensaje;
  EXPECT_EQ(d.valor(2, 2), 6.0);
}

TEST(TextoDelimitado, MissingValuesAreEmptyNaOrTheNamedValue) {
  DatosEspaciales d;
  ASSERT_TRUE(Lee("x;y;z\n1,5;2;NA\n3;;-9999\n5;6;7,25\n", d, -9999.0).ok);
  EXPECT_TRUE(std::isnan(d.valor(1, 3)));
  EXPECT_TRUE(std::isnan(d.valor(2, 2)));
  EXPECT_TRUE(std::isnan(d.valor(2, 3)));
  EXPECT_EQ(d.valor(1, 1), 1.5);
  EXPECT_EQ(d.valor(3, 3), 7.25);
  EXPECT_EQ(d.ausentes(3), 2);
  EXPECT_EQ(d.minimo[2], 7.25);
}

TEST(TextoDelimitado, Windows1252AndUtf8NamesComeOutTheSame) {
  DatosEspaciales a, b, c;
  ASSERT_TRUE(Lee("a\xF1o,z\n1,2\n", a).ok);              // "año" in Windows-1252
  ASSERT_TRUE(Lee("a\xC3\xB1o,z\n1,2\n", b).ok);          // in UTF-8
  ASSERT_TRUE(Lee("\xEF\xBB\xBF" "a\xC3\xB1o,z\n1,2\n", c).ok);  // with a byte-order mark
  EXPECT_EQ(a.nombreSinBlancos(1), "año");
  EXPECT_EQ(b.nombreSinBlancos(1), "año");
  EXPECT_EQ(c.nombreSinBlancos(1), "año");
  bool w = false;
  EXPECT_EQ(ComoUtf8("\x80 \x93x\x94", w), "€ “x”");
  EXPECT_TRUE(w);
}

TEST(TextoDelimitado, FailuresNameFileLineAndColumnAndKeepTheData) {
  DatosEspaciales d;
  ASSERT_TRUE(Lee("x,y\n1,2\n", d).ok);
  struct Caso {
    std::string texto;
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
    Resultado r = Lee(c.texto, d);
    EXPECT_FALSE(r.ok) << c.texto.substr(0, 60);
    for (const std::string& f : c.dice) EXPECT_NE(r.mensaje.find(f), std::string::npos) << r.mensaje << " / " << f;
    EXPECT_EQ(d.N, 1);
    EXPECT_EQ(d.valor(1, 2), 2.0);
  }
}

TEST(TextoDelimitado, ExtensionsReadAsText) {
  EXPECT_TRUE(EsTextoDelimitado("a/b.CSV"));
  EXPECT_TRUE(EsTextoDelimitado("b.tsv"));
  EXPECT_TRUE(EsTextoDelimitado("b.txt"));
  EXPECT_FALSE(EsTextoDelimitado("b.dae"));
}

TEST(TextoDelimitado, ProgressRisesToTheEndAndItsRefusalCancelsLeavingTheDataSet) {
  // 20000 rows: the reader reports every 8192 rows, by the share of bytes read.
  std::string texto = "x;y\n";
  for (int i = 0; i < 20000; ++i) texto += std::to_string(i) + ";" + std::to_string(2 * i) + "\n";
  std::vector<double> partes;
  OpcionesLectura op;
  op.progreso = [&partes](double f) {
    partes.push_back(f);
    return true;
  };
  DatosEspaciales d;
  ASSERT_TRUE(LeeTextoDelimitado(texto, "prueba.csv", DetectaFormato(texto), d, op));
  EXPECT_EQ(d.N, 20000);
  ASSERT_EQ(partes.size(), 3u);  // rows 0, 8192 and 16384
  // Row 8192 begins after the header and 8192 rows; the header line itself is 4 bytes.
  size_t bytes = 4;
  for (int i = 0; i <= 8192; ++i) bytes += std::to_string(i).size() + std::to_string(2 * i).size() + 2;
  EXPECT_DOUBLE_EQ(partes[1], double(bytes) / double(texto.size()));
  EXPECT_LT(partes[0], partes[1]);
  EXPECT_LT(partes[1], partes[2]);
  EXPECT_LE(partes[2], 1.0);

  const DatosEspaciales antes = d;
  int llamadas = 0;
  op.progreso = [&llamadas](double) { return ++llamadas < 2; };  // refused at the second report
  const Resultado r = LeeTextoDelimitado(texto + "1;2\n", "prueba.csv", DetectaFormato(texto), d, op);
  EXPECT_FALSE(r);
  EXPECT_EQ(r.mensaje, kTextoCancelado);
  EXPECT_EQ(llamadas, 2);
  EXPECT_EQ(d.N, antes.N);
  EXPECT_EQ(d.matriz, antes.matriz);
}
