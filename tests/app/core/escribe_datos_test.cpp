// Saving the data set and opening it again gives the same values, bit for bit.
#include "core/escribe_datos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unistd.h>

using namespace sorvan;
namespace fs = std::filesystem;

namespace {

std::string Fuente(const std::string& relativo) {
  const char* dir = std::getenv("SORVAN_SOURCE_DIR");
  return std::string(dir ? dir : ".") + "/" + relativo;
}

// Same bits, NaN included.
bool MismosBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

class EscribeDatosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("escribe_datos_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

}  // namespace

TEST(TextoNumero, ShortestTextThatReadsBackTheSameDouble) {
  for (double v : {0.1, 1.0 / 3.0, 9100000.3, -2.5e-300, 181072.0, 6.929517, 1e22})
    EXPECT_EQ(std::strtod(TextoNumero(v).c_str(), nullptr), v) << TextoNumero(v);
  EXPECT_EQ(TextoNumero(0.1), "0.1");
  EXPECT_EQ(TextoNumero(-7.25, ','), "-7,25");
  EXPECT_EQ(TextoNumero(std::nan("")), "");
}

TEST_F(EscribeDatosTest, DaeEditSaveOpenGivesTheSameValuesBitForBit) {
  DatosEspaciales d;
  ASSERT_TRUE(LeeDatos(Fuente("examples/meuse.dae"), d).ok);
  // Edits: a value with many digits, a missing value, a tiny one.
  d.matriz[2 * size_t(d.N) + 4] = 1.0 / 3.0;
  d.matriz[3 * size_t(d.N) + 10] = std::numeric_limits<double>::quiet_NaN();
  d.matriz[7] = 9100000.3;
  const std::string ruta = (dir_ / "meuse_editado.dae").string();
  ASSERT_TRUE(EscribeDae(ruta, d).ok);
  DatosEspaciales e;
  Resultado r = LeeDatos(ruta, e);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_TRUE(r.mensaje.empty()) << r.mensaje;
  EXPECT_TRUE(MismosBits(d.matriz, e.matriz));
  EXPECT_EQ(d.nombres, e.nombres);
  EXPECT_EQ(d.descripciones, e.descripciones);
  EXPECT_EQ(d.titulo, e.titulo);
  EXPECT_EQ(e.ausentes(4), 1);
}

TEST_F(EscribeDatosTest, CsvWithDecimalCommasAndMissingValuesReadsBack) {
  DatosEspaciales d;
  ASSERT_TRUE(LeeDatos(Fuente("examples/meuse.dae"), d).ok);
  d.matriz[5 * size_t(d.N)] = std::numeric_limits<double>::quiet_NaN();
  d.matriz[size_t(d.N) - 1] = -0.125;
  for (char sep : {';', '\t', ' ', ','}) {
    FormatoTexto f;
    f.separador = sep;
    f.decimal = ',';
    const std::string ruta = (dir_ / "meuse.csv").string();
    ASSERT_TRUE(EscribeTextoDelimitado(ruta, d, f).ok);
    DatosEspaciales e;
    Resultado r = LeeTextoDelimitado(ruta, e);  // format detected
    ASSERT_TRUE(r.ok) << r.mensaje;
    EXPECT_TRUE(MismosBits(d.matriz, e.matriz)) << int(sep);
    EXPECT_EQ(e.nombreSinBlancos(4), "logzinc");
  }
}

TEST_F(EscribeDatosTest, TheExtensionChoosesTheFormat) {
  DatosEspaciales d;
  ASSERT_TRUE(LeeDatos(Fuente("examples/meuse.dae"), d).ok);
  for (const char* nombre : {"a.dae", "a.csv", "a.tsv", "a.TXT"}) {
    const std::string ruta = (dir_ / nombre).string();
    ASSERT_TRUE(EscribeDatos(ruta, d).ok);
    DatosEspaciales e;
    Resultado r = EsTextoDelimitado(ruta) ? LeeTextoDelimitado(ruta, e) : LeeDatos(ruta, e);
    ASSERT_TRUE(r.ok) << nombre << ": " << r.mensaje;
    EXPECT_TRUE(MismosBits(d.matriz, e.matriz)) << nombre;
  }
}
