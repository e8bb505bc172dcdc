// Atomic file writes: the file appears whole or not at all, and a failed
// write names the file and the cause.
#include "core/escritura_atomica.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace sorvan;
namespace fs = std::filesystem;

namespace {

std::string Contenido(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class EscrituraAtomicaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("escritura_atomica_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    EscrituraAtomica::PonFuncionEscritura(nullptr);
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  // Files in the folder other than `nombre`: a temporary left behind.
  int Sobrantes() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.path().filename() != "datos.txt";
    return n;
  }
  fs::path dir_;
};

// A disk that fills after `restantes` bytes.
size_t g_restantes = 0;
ssize_t DiscoLleno(int fd, const void* datos, size_t n) {
  if (g_restantes == 0) {
    errno = ENOSPC;
    return -1;
  }
  const size_t k = std::min(n, g_restantes);
  g_restantes -= k;
  return ::write(fd, datos, k);
}

}  // namespace

TEST_F(EscrituraAtomicaTest, WritesTheWholeContentUnderTheRealName) {
  const fs::path p = dir_ / "datos.txt";
  std::string grande(300000, 'x');  // beyond the buffer: several writes
  for (size_t i = 0; i < grande.size(); i += 97) grande[i] = char('a' + i % 26);
  Resultado r = EscribeArchivoAtomico(p.string(), grande);
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(Contenido(p), grande);
  EXPECT_EQ(Sobrantes(), 0);
}

TEST_F(EscrituraAtomicaTest, AFullDiskKeepsTheOldFileAndSaysSo) {
  const fs::path p = dir_ / "datos.txt";
  ASSERT_TRUE(EscribeArchivoAtomico(p.string(), "antiguo").ok);
  for (size_t cabe : {size_t(0), size_t(10), size_t(70000)}) {
    g_restantes = cabe;
    EscrituraAtomica::PonFuncionEscritura(&DiscoLleno);
    Resultado r = EscribeArchivoAtomico(p.string(), std::string(200000, 'n'));
    EscrituraAtomica::PonFuncionEscritura(nullptr);
    EXPECT_FALSE(r.ok) << cabe;
    EXPECT_NE(r.mensaje.find("no queda espacio en el disco"), std::string::npos) << r.mensaje;
    EXPECT_NE(r.mensaje.find(p.string()), std::string::npos) << r.mensaje;
    EXPECT_EQ(Contenido(p), "antiguo");
    EXPECT_EQ(Sobrantes(), 0) << cabe;
  }
}

TEST_F(EscrituraAtomicaTest, AProducerThatGivesUpLeavesNothing) {
  const fs::path p = dir_ / "datos.txt";
  Resultado r = EscribeArchivoAtomico(p.string(), [](EscrituraAtomica& w, std::string& m) {
    w.escribe("mitad");
    m = "valor no válido";
    return false;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.mensaje, "valor no válido");
  EXPECT_FALSE(fs::exists(p));
  EXPECT_EQ(Sobrantes(), 0);
}

TEST_F(EscrituraAtomicaTest, AnUnconfirmedWriteIsDiscarded) {
  const fs::path p = dir_ / "datos.txt";
  {
    EscrituraAtomica w(p.string());
    ASSERT_TRUE(w.abre());
    EXPECT_TRUE(fs::exists(w.rutaTemporal()));
    w.escribe("algo");
  }
  EXPECT_FALSE(fs::exists(p));
  EXPECT_EQ(Sobrantes(), 0);
}

TEST_F(EscrituraAtomicaTest, AMissingOrReadOnlyFolderIsNamed) {
  Resultado r = EscribeArchivoAtomico((dir_ / "no" / "datos.txt").string(), "x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("la carpeta no existe"), std::string::npos) << r.mensaje;
  r = EscribeArchivoAtomico(dir_.string(), "x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("es una carpeta"), std::string::npos) << r.mensaje;
  if (::geteuid() != 0) {  // root writes anywhere
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    r = EscribeArchivoAtomico((dir_ / "datos.txt").string(), "x");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.mensaje.find("permiso denegado"), std::string::npos) << r.mensaje;
  }
}

TEST(CausaError, SpanishCausesForTheCommonErrors) {
  EXPECT_EQ(CausaError(ENOSPC), "no queda espacio en el disco");
  EXPECT_EQ(CausaError(EROFS), "el disco es de solo lectura");
  EXPECT_EQ(CausaError(EACCES), "permiso denegado");
}
