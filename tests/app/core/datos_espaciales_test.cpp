// Reading ".dae" files: the real meuse data set, the free-format rules, the
// row limit, and the failures that must leave the data set untouched.
#include "core/datos_espaciales.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

using namespace sorvan;

namespace {

std::string Fuente(const std::string& relativo) {
  const char* dir = std::getenv("SORVAN_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relativo;
}

Resultado Lee(const std::string& texto, DatosEspaciales& d, int limite = kMaxDatos) {
  std::istringstream in(texto);
  OpcionesLectura op;
  op.limiteFilas = limite;
  return LeeDatos(in, "prueba.dae", d, op);
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
    EXPECT_EQ(d->matriz, (std::vector<float>{1.5f, 300.0f, 5.0f, -2.0f, 4.0f, 0.25f}));
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

TEST(LeeDatos, RowLimitWarnsAndKeepsTheFirstRows) {
  DatosEspaciales d;
  Resultado r = Lee(Tabla(2048, 2048), d);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.mensaje.empty());
  EXPECT_EQ(d.N, 2048);

  r = Lee(Tabla(2049, 2049), d);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(r.mensaje, kAvisoDemasiadosDatos);
  EXPECT_EQ(d.N, 2048);
  EXPECT_FLOAT_EQ(d.maximo[0], 2048.0f);
  EXPECT_FLOAT_EQ(d.valor(2048, 2), 4096.0f);
  EXPECT_FLOAT_EQ(d.minimo[2], -2048.0f);

  // Lifted limit: every row.
  r = Lee(Tabla(2049, 2049), d, 0);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.mensaje.empty());
  EXPECT_EQ(d.N, 2049);
  EXPECT_FLOAT_EQ(d.valor(2049, 3), -2049.0f);
}

TEST(LeeDatos, FailuresNameFileLineAndFieldAndKeepThePreviousDataSet) {
  DatosEspaciales d;
  ASSERT_TRUE(Lee(Tabla(3, 3), d).ok);
  const std::vector<float> antes = d.matriz;

  struct Caso {
    std::string texto;
    std::vector<std::string> dice;  // fragments the message must hold
  };
  const Caso casos[] = {
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,x7\n5,6\n", {"prueba.dae", "línea 6", "dato 2 de la fila 2", "«x7»"}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,4\n5\n", {"prueba.dae", "dato 2 de la fila 3", "termina"}},
      {"\"t\"\n2,3\na,,0\nb,,0\n1,2\n3,,4\n5,6\n", {"línea 6", "dato 2 de la fila 2", "vacío"}},
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
  EXPECT_NE(r.mensaje.find("dato 1 de la fila 3"), std::string::npos) << r.mensaje;
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
