// Reading ".dae" files: the real meuse data set, the free-format rules, the
// row limit, and the failures that must leave the data set untouched.
#include "core/datos_espaciales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <fstream>
#include <sstream>
#include <string>

using namespace sorvan;

namespace {

std::string Fuente(const std::string& relativo) {
  const char* dir = std::getenv("SORVAN_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relativo;
}

Resultado Lee(const std::string& texto, DatosEspaciales& d, int limite = 0,
              std::optional<double> ausente = std::nullopt) {
  std::istringstream in(texto);
  OpcionesLectura op;
  op.limiteFilas = limite;
  op.valorAusente = ausente;
  return LeeDatos(in, "prueba.dae", d, op);
}

std::string TextoDe(const std::string& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The meuse file with `cambio` applied to the text of data line `fila`
// (1-based among the data lines, which start after the 8 variable headers).
std::string MeuseConFila(int fila, const std::function<std::string(const std::string&)>& cambio) {
  std::istringstream in(TextoDe(Fuente("examples/meuse.dae")));
  std::string linea, r;
  for (int n = 1; std::getline(in, linea); ++n) r += (n == 10 + fila ? cambio(linea) : linea) + "\n";
  return r;
}

// A data set with `filas` rows of three variables: (i, 2i, -i) for row i.
std::string Tabla(int anunciadas, int filas) {
  std::string t = "\"tabla\"\n3," + std::to_string(anunciadas) + "\n\"a\",\"\",0\n\"b\",\"\",0\n\"c\",\"\",0\n";
  for (int i = 1; i <= filas; ++i)
    t += std::to_string(i) + "," + std::to_string(2 * i) + "," + std::to_string(-i) + "\n";
  return t;
}

}  // namespace

TEST(LeeDatos, MeuseExtremesAndLayoutAgreeWithTheFile) {
  DatosEspaciales d;
  Resultado r = LeeDatos(Fuente("examples/meuse.dae"), d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_TRUE(r.mensaje.empty());
  EXPECT_EQ(d.nvar, 8);
  EXPECT_EQ(d.N, 155);
  EXPECT_EQ(d.titulo.size(), 64u);
  EXPECT_EQ(d.titulo.rfind("Meuse river floodplain", 0), 0u);
  EXPECT_EQ(d.nombres[0], "x       ");
  EXPECT_EQ(d.nombres[3], "logzinc ");
  EXPECT_EQ(d.nombreSinBlancos(4), "logzinc");
  // Extremes worked out from the file with a separate tool.
  EXPECT_FLOAT_EQ(d.minimo[0], 178605.0f);
  EXPECT_FLOAT_EQ(d.maximo[0], 181390.0f);
  EXPECT_FLOAT_EQ(d.minimo[1], 329714.0f);
  EXPECT_FLOAT_EQ(d.maximo[1], 333611.0f);
  EXPECT_FLOAT_EQ(d.minimo[2], 113.0f);
  EXPECT_FLOAT_EQ(d.maximo[2], 1839.0f);
  EXPECT_FLOAT_EQ(d.minimo[7], 5.18f);
  EXPECT_FLOAT_EQ(d.maximo[7], 10.52f);
  // Column-major: first and last rows of the file.
  EXPECT_FLOAT_EQ(d.valor(1, 1), 181072.0f);
  EXPECT_FLOAT_EQ(d.valor(1, 4), 6.929517f);
  EXPECT_FLOAT_EQ(d.valor(155, 8), 8.261f);
  EXPECT_FLOAT_EQ(d.columna(2)[154], 330190.0f);
  EXPECT_EQ(d.buscaColumna("logzinc"), 4);
  EXPECT_EQ(d.buscaColumna("LOGZINC"), 4);
  EXPECT_EQ(d.buscaColumna("nada"), 0);
}

TEST(LeeDatos, FreeFormatLayoutsGiveTheSameDataSet) {
  const std::string porFilas = "\"T\"\n2,3\n\"uno\",\"primera, con coma\",1\n dos , segunda ,2\n1.5,-2\n3e2,4\n5,.25\n";
  const std::string porValor = "T\n2\n3\n\"uno\"\n\"primera, con coma\"\n1\ndos\nsegunda\n2\n1.5\n-2\n300\n4\n5\n0.25\n";
  const std::string conBlancos = "\"T\",2 3\r\n\"uno\",\"primera, con coma\",1\r\n\"dos\",\"segunda\",2\r\n\r\n1.5 -2 3E+2 4\r\n  5   0.25";
  DatosEspaciales a, b, c;
  ASSERT_TRUE(Lee(porFilas, a).ok) << Lee(porFilas, a).mensaje;
  ASSERT_TRUE(Lee(porValor, b).ok) << Lee(porValor, b).mensaje;
  ASSERT_TRUE(Lee(conBlancos, c).ok) << Lee(conBlancos, c).mensaje;
  for (const DatosEspaciales* d : {&a, &b, &c}) {
    EXPECT_EQ(d->nombres[0], "uno     ");
    EXPECT_EQ(d->nombres[1], "dos     ");
    EXPECT_EQ(d->descripciones[0].substr(0, 17), "primera, con coma");
    EXPECT_EQ(d->matriz, (std::vector<double>{1.5, 300.0, 5.0, -2.0, 4.0, 0.25}));
    EXPECT_FLOAT_EQ(d->minimo[0], 1.5f);
    EXPECT_FLOAT_EQ(d->maximo[0], 300.0f);
    EXPECT_FLOAT_EQ(d->minimo[1], -2.0f);
    EXPECT_FLOAT_EQ(d->maximo[1], 4.0f);
  }
}

TEST(LeeDatos, NamesAreCutOrPaddedToEightCharacters) {
  DatosEspaciales d;
  ASSERT_TRUE(Lee("t\n2,1\n\"abcdefghij\",d,0\ncorto,d,0\n1,2\n", d).ok);
  EXPECT_EQ(d.nombres[0], "abcdefgh");
  EXPECT_EQ(d.nombres[1], "corto   ");
  EXPECT_EQ(d.buscaColumna("abcdefghij"), 1);  // cut as the file's names are
  // A multi-byte character counts as one and is never split.
  ASSERT_TRUE(Lee("t\n1,1\n\"añoañoaño\",d,0\n1\n", d).ok);
  EXPECT_EQ(d.nombres[0], "añoañoañ");
}

TEST(LeeDatos, EveryRowIsReadWhateverTheCount) {
  DatosEspaciales d;
  Resultado r = Lee(Tabla(5000, 5000), d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_TRUE(r.mensaje.empty()) << r.mensaje;
  EXPECT_EQ(d.N, 5000);
  EXPECT_DOUBLE_EQ(d.valor(5000, 3), -5000.0);
  EXPECT_DOUBLE_EQ(d.maximo[1], 10000.0);
}

TEST(LeeDatos, AnExplicitRowLimitKeepsTheFirstRowsAndSaysSo) {
  DatosEspaciales d;
  Resultado r = Lee(Tabla(10, 10), d, 4);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(d.N, 4);
  EXPECT_NE(r.mensaje.find("primeras 4 filas de 10"), std::string::npos) << r.mensaje;
  EXPECT_DOUBLE_EQ(d.minimo[2], -4.0);
}

TEST(LeeDatos, NaEmptyFieldsAndANamedValueAreMissing) {
  DatosEspaciales d;
  const std::string t = "t\n3,4\na,,0\nb,,0\nc,,0\n1,NA,3\n4,,6\n-9999,8,na\n10,11,\n";
  ASSERT_TRUE(Lee(t, d, 0, -9999.0).ok) << Lee(t, d, 0, -9999.0).mensaje;
  ASSERT_EQ(d.N, 4);
  EXPECT_TRUE(std::isnan(d.valor(1, 2)));
  EXPECT_TRUE(std::isnan(d.valor(2, 2)));
  EXPECT_TRUE(std::isnan(d.valor(3, 1)));
  EXPECT_TRUE(std::isnan(d.valor(3, 3)));
  EXPECT_TRUE(std::isnan(d.valor(4, 3)));  // a line ending in a comma: the last value is missing
  EXPECT_EQ(d.ausentes(1), 1);
  EXPECT_EQ(d.ausentes(2), 2);
  EXPECT_EQ(d.ausentes(3), 2);
  // Extremes over the present values only.
  EXPECT_DOUBLE_EQ(d.minimo[0], 1.0);
  EXPECT_DOUBLE_EQ(d.maximo[0], 10.0);
  EXPECT_DOUBLE_EQ(d.minimo[1], 8.0);
  EXPECT_DOUBLE_EQ(d.maximo[1], 11.0);
  EXPECT_DOUBLE_EQ(d.minimo[2], 3.0);
  EXPECT_DOUBLE_EQ(d.maximo[2], 6.0);
  // Without the named value -9999 is an ordinary number.
  ASSERT_TRUE(Lee(t, d).ok);
  EXPECT_DOUBLE_EQ(d.valor(3, 1), -9999.0);
  // Only rows with every chosen column present take part in a run.
  ASSERT_TRUE(Lee(t, d, 0, -9999.0).ok);
  EXPECT_EQ(FilasCompletas(d, {1, 3}), (std::vector<int>{0, 1}));
  EXPECT_EQ(FilasCompletas(d, {1}), (std::vector<int>{0, 1, 3}));
}

TEST(LeeDatos, ValuesKeepDoublePrecision) {
  // Coordinates 0.3 m apart at a northing of 9.1e6 stay apart.
  DatosEspaciales d;
  ASSERT_TRUE(Lee("t\n2,2\nx,,0\ny,,0\n500000.1,9100000.0\n500000.1,9100000.3\n", d).ok);
  EXPECT_EQ(d.valor(1, 2), 9100000.0);
  EXPECT_EQ(d.valor(2, 2), 9100000.3);
  EXPECT_NE(d.valor(1, 2), d.valor(2, 2));
}

TEST(LeeDatos, OneExtraValueOnDataRow1OfMeuseIsAnErrorNamingTheLine) {
  // It used to shift every later column and give a run with a grid origin
  // of x = -1880.
  DatosEspaciales d;
  const std::string t = MeuseConFila(1, [](const std::string& l) { return l + ",5"; });
  Resultado r = Lee(t, d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("prueba.dae, línea 11"), std::string::npos) << r.mensaje;
  EXPECT_NE(r.mensaje.find("fila 1 tiene 9 valores y debe tener 8"), std::string::npos) << r.mensaje;
  // One value fewer on row 40 (line 50) is named likewise.
  r = Lee(MeuseConFila(40, [](const std::string& l) { return l.substr(0, l.rfind(',')); }), d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("línea 50"), std::string::npos) << r.mensaje;
  EXPECT_NE(r.mensaje.find("fila 40 tiene 7 valores"), std::string::npos) << r.mensaje;
}

TEST(LeeDatos, HeaderAnnouncing100PointsOnA155RowFileWarnsOfTheRest) {
  std::string t = TextoDe(Fuente("examples/meuse.dae"));
  t.replace(t.find("8,155"), 5, "8,100");
  DatosEspaciales d;
  Resultado r = Lee(t, d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(d.N, 100);
  EXPECT_NE(r.mensaje.find("anuncia 100 datos pero tiene 155 filas"), std::string::npos) << r.mensaje;
  EXPECT_NE(r.mensaje.find("las 55 filas siguientes (líneas 111 a 165)"), std::string::npos) << r.mensaje;
  EXPECT_DOUBLE_EQ(d.valor(100, 1), 179206.0);  // line 110 of the file, read separately
}

TEST(LeeDatos, APointWrappedOverSeveralLinesStillReads) {
  // Four values per line for eight variables: the meuse rows split in two.
  const std::string meuse = TextoDe(Fuente("examples/meuse.dae"));
  std::string partido;
  std::istringstream in(meuse);
  std::string linea;
  for (int n = 1; std::getline(in, linea); ++n) {
    if (n <= 10) {
      partido += linea + "\n";
      continue;
    }
    size_t corte = 0;
    for (int c = 0; c < 4; ++c) corte = linea.find(',', corte) + 1;
    partido += linea.substr(0, corte - 1) + "\n" + linea.substr(corte) + "\n";
  }
  DatosEspaciales a, b;
  ASSERT_TRUE(Lee(meuse, a).ok);
  Resultado r = Lee(partido, b);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_TRUE(r.mensaje.empty()) << r.mensaje;
  EXPECT_EQ(a.matriz, b.matriz);
  // Values left over after the announced rows of a wrapped file are counted.
  r = Lee(partido + "1,2,3\n", b);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_NE(r.mensaje.find("sobran 3 valores (desde la línea 321)"), std::string::npos) << r.mensaje;
}

TEST(LeeDatos, FailuresNameFileLineAndFieldAndKeepThePreviousDataSet) {
  DatosEspaciales d;
  ASSERT_TRUE(Lee(Tabla(3, 3), d).ok);
  const std::vector<double> antes = d.matriz;

  struct Caso {
    std::string texto;
    std::vector<std::string> dice;  // fragments the message must hold
  };
  const Caso casos[] = {
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
  for (const Caso& c : casos) {
    Resultado r = Lee(c.texto, d);
    EXPECT_FALSE(r.ok) << c.texto;
    for (const std::string& f : c.dice) EXPECT_NE(r.mensaje.find(f), std::string::npos) << r.mensaje << " / " << f;
    EXPECT_EQ(d.N, 3);
    EXPECT_EQ(d.matriz, antes);
  }
}

TEST(LeeDatos, AnnouncedCountsDoNotDriveAllocation) {
  // 10^9 rows announced, limit lifted, two present: a prompt failure, not a
  // gigabyte allocation.
  DatosEspaciales d;
  Resultado r = Lee("\"t\"\n2,1000000000\na,,0\nb,,0\n1,2\n3,4\n", d, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("solo tiene 2 filas"), std::string::npos) << r.mensaje;
  r = Lee("\"t\"\n32767,2147483647\n", d, 0);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("nombre de la variable 1"), std::string::npos) << r.mensaje;
  r = Lee("\"t\"\n2,2147483648\n", d, 0);
  EXPECT_FALSE(r.ok);
}

TEST(LeeDatos, MissingFileIsNamed) {
  DatosEspaciales d;
  Resultado r = LeeDatos("/no/existe/datos.dae", d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("/no/existe/datos.dae"), std::string::npos);
  r = LeeDatos(Fuente("examples"), d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("carpeta"), std::string::npos) << r.mensaje;
  // An endless stream of zero bytes ends at the field-length bound.
  r = LeeDatos("/dev/zero", d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("demasiado largo"), std::string::npos) << r.mensaje;
}
