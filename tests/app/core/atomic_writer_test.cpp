// Atomic file writes: the file appears whole or not at all, and a failed
// write names the file and the cause.
#include "core/atomic_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

std::string Content(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class AtomicWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("escritura_atomica_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    AtomicWriter::SetWriteFunction(nullptr);
    fs::permissions(dir_, fs::perms::owner_all);
    fs::remove_all(dir_);
  }
  // Files in the folder other than `nombre`: a temporary left behind.
  int Leftovers() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.path().filename() != "datos.txt";
    return n;
  }
  fs::path dir_;
};

// A disk that fills after `restantes` bytes.
size_t g_remaining = 0;
ssize_t FullDisk(int fd, const void* data, size_t n) {
  if (g_remaining == 0) {
    errno = ENOSPC;
    return -1;
  }
  const size_t k = std::min(n, g_remaining);
  g_remaining -= k;
  return ::write(fd, data, k);
}

}  // namespace

TEST_F(AtomicWriterTest, WritesTheWholeContentUnderTheRealName) {
  const fs::path p = dir_ / "datos.txt";
  std::string grande(300000, 'x');  // beyond the buffer: several writes
  for (size_t i = 0; i < grande.size(); i += 97) grande[i] = char('a' + i % 26);
  Result r = WriteFileAtomically(p.string(), grande);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(Content(p), grande);
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(AtomicWriterTest, AFullDiskKeepsTheOldFileAndSaysSo) {
  const fs::path p = dir_ / "datos.txt";
  ASSERT_TRUE(WriteFileAtomically(p.string(), "antiguo").ok);
  for (size_t fits : {size_t(0), size_t(10), size_t(70000)}) {
    g_remaining = fits;
    AtomicWriter::SetWriteFunction(&FullDisk);
    Result r = WriteFileAtomically(p.string(), std::string(200000, 'n'));
    AtomicWriter::SetWriteFunction(nullptr);
    EXPECT_FALSE(r.ok) << fits;
    EXPECT_NE(r.message.find("no queda espacio en el disco"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find(p.string()), std::string::npos) << r.message;
    EXPECT_EQ(Content(p), "antiguo");
    EXPECT_EQ(Leftovers(), 0) << fits;
  }
}

TEST_F(AtomicWriterTest, AProducerThatGivesUpLeavesNothing) {
  const fs::path p = dir_ / "datos.txt";
  Result r = WriteFileAtomically(p.string(), [](AtomicWriter& w, std::string& m) {
    w.write("mitad");
    m = "valor no válido";
    return false;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "valor no válido");
  EXPECT_FALSE(fs::exists(p));
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(AtomicWriterTest, AnUnconfirmedWriteIsDiscarded) {
  const fs::path p = dir_ / "datos.txt";
  {
    AtomicWriter w(p.string());
    ASSERT_TRUE(w.open());
    EXPECT_TRUE(fs::exists(w.temporaryPath()));
    w.write("algo");
  }
  EXPECT_FALSE(fs::exists(p));
  EXPECT_EQ(Leftovers(), 0);
}

TEST_F(AtomicWriterTest, AMissingOrReadOnlyFolderIsNamed) {
  Result r = WriteFileAtomically((dir_ / "no" / "datos.txt").string(), "x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("la carpeta no existe"), std::string::npos) << r.message;
  r = WriteFileAtomically(dir_.string(), "x");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("es una carpeta"), std::string::npos) << r.message;
  if (::geteuid() != 0) {  // root writes anywhere
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    r = WriteFileAtomically((dir_ / "datos.txt").string(), "x");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("permiso denegado"), std::string::npos) << r.message;
  }
}

TEST(ErrorCause, SpanishCausesForTheCommonErrors) {
  EXPECT_EQ(ErrorCause(ENOSPC), "no queda espacio en el disco");
  EXPECT_EQ(ErrorCause(EROFS), "el disco es de solo lectura");
  EXPECT_EQ(ErrorCause(EACCES), "permiso denegado");
}
