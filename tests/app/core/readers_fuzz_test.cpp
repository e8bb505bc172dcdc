// Robustness of the file readers and of the tool: a corpus of malformed files
// and a seeded random-mutation loop over meuse.dae. Every input must end in a
// consistent data set or a message naming the file; never a crash, a hang or
// an allocation driven by the counts a file announces.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core/spatial_data.h"
#include "core/profile.h"

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

std::string Entorno(const char* nombre, const char* porDefecto) {
  const char* v = std::getenv(nombre);
  return v ? v : porDefecto;
}

std::string Lee(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string& Meuse() {
  static const std::string text = Lee(Entorno("SORVAN_SOURCE_DIR", "../..") + "/examples/meuse.dae");
  return text;
}

// Reads `text` both ways (row limit on and off) and checks the outcome.
void CompruebaDae(const std::string& text, const std::string& contexto) {
  for (int limit : {2048, 0}) {
    std::istringstream in(text);
    SpatialData d;
    ReadOptions op;
    op.rowLimit = limit;
    Result r = ReadData(in, "mutado.dae", d, op);
    if (!r.ok) {
      ASSERT_EQ(r.message.rfind("mutado.dae", 0), 0u) << contexto << "\n" << r.message;
      ASSERT_TRUE(d.empty());
      continue;
    }
    ASSERT_GE(d.N, 1) << contexto;
    ASSERT_EQ(d.matrix.size(), size_t(d.N) * size_t(d.nvar)) << contexto;
    ASSERT_EQ(d.names.size(), size_t(d.nvar));
    for (const std::string& n : d.names) ASSERT_GE(n.size(), size_t(kNameWidth));
    for (int k = 0; k < d.nvar; ++k) {
      // A value is present (finite, within its column's extremes) or missing (NaN).
      const bool todosAusentes = d.missing(k + 1) == d.N;
      ASSERT_EQ(std::isnan(d.minimum[k]), todosAusentes) << contexto;
      if (!todosAusentes) ASSERT_LE(d.minimum[k], d.maximum[k]) << contexto;
      for (int i = 0; i < d.N; ++i) {
        const double v = d.matrix[size_t(k) * d.N + i];
        if (std::isnan(v)) continue;
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_TRUE(d.minimum[k] <= v && v <= d.maximum[k]) << contexto;
      }
    }
  }
}

void CompruebaPer(const std::string& text, const std::string& contexto) {
  std::istringstream in(text);
  Profile p;
  Result r = LeePerfil(in, "mutado.per", p);
  if (!r.ok) {
    ASSERT_EQ(r.message.rfind("mutado.per", 0), 0u) << contexto << "\n" << r.message;
    ASSERT_FALSE(p.attached());
    return;
  }
  ASSERT_GE(p.npts, 3);
  ASSERT_EQ(p.x.size(), size_t(p.npts));
  // Whatever was read, the mask of a small grid is computed without fault.
  ASSERT_EQ(MascaraPerfil(p, -1, -1, 0.5, 0.5, 7, 5).size(), 35u);
}

std::string Muta(std::string s, std::mt19937& azar) {
  const char simbolos[] = ",\"\n\r \t.-+eE0123456789x\0\xff";
  const int cambios = 1 + int(azar() % 8);
  for (int c = 0; c < cambios && !s.empty(); ++c) {
    const size_t pos = azar() % s.size();
    switch (azar() % 6) {
      case 0: s[pos] = simbolos[azar() % (sizeof simbolos - 1)]; break;
      case 1: s.insert(pos, 1, simbolos[azar() % (sizeof simbolos - 1)]); break;
      case 2: s.erase(pos, 1 + azar() % 20); break;
      case 3: s.resize(pos); break;
      case 4: s[pos] = char(azar() % 256); break;
      case 5: s.insert(pos, s.substr(azar() % s.size(), azar() % 64)); break;
    }
  }
  return s;
}

}  // namespace

TEST(LectoresFuzz, CorpusOfMalformedDataFiles) {
  std::string binario;
  std::mt19937 azar(7);
  for (int i = 0; i < 4096; ++i) binario.push_back(char(azar() % 256));
  const std::string corpus[] = {
      "",
      "\n\n\n",
      "\"sin cierre",
      "\"t\"\n",
      "\"t\"\n2",
      "\"t\"\n-3,10\n",
      "\"t\"\n3,-10\n",
      "\"t\"\n99999999999999999999,1\n",
      "\"t\"\n3,1000000000\nx,,0\ny,,0\nz,,0\n1,2,3\n",
      "\"t\"\n32767,2147483647\n",
      "\"t\"\n1,2\n\"a,\"d\",0\n1\n2\n",
      "\"t\"\n1,2\na,d,0\n1\ndos\n",
      "\"t\"\n1,2\na,d,0\n1\n1e400\n",
      "\"t\"\n1,2\na,d,0\n1\n-nan\n",
      "\"t\"\n1,1\na,d,0\n" + std::string(100000, '7') + "\n",
      "\"t\"\n1,1\n" + std::string(100000, 'n') + ",d,0\n1\n",
      binario,
      "\xef\xbb\xbf\"t\"\n1,1\na,d,0\n5\n",
      Meuse().substr(0, Meuse().size() / 2),
  };
  for (const std::string& text : corpus) CompruebaDae(text, text.substr(0, 60));
  // Every prefix of a small valid file.
  const std::string pequeno = "\"t\",2,3\n\"a\",\"x\",0\nb,y,1\n1,2\n3,4\n5,6\n";
  for (size_t k = 0; k <= pequeno.size(); ++k) CompruebaDae(pequeno.substr(0, k), "prefijo " + std::to_string(k));
}

TEST(LectoresFuzz, SeededMutationsOfMeuse) {
  ASSERT_FALSE(Meuse().empty());
  std::mt19937 azar(20261208);
  for (int i = 0; i < 1500; ++i) {
    CompruebaDae(Muta(Meuse(), azar), "mutación " + std::to_string(i));
    if (HasFatalFailure()) return;
  }
  const std::string profile = "5\n179500,330500\n180500,330500\n180500,332500\n179500,332500\n179500,330500\n";
  for (int i = 0; i < 3000; ++i) {
    CompruebaPer(Muta(profile, azar), "mutación " + std::to_string(i));
    if (HasFatalFailure()) return;
  }
}

TEST(LectoresFuzz, ToolRejectsMalformedFilesByName) {
  const fs::path herramienta = Entorno("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";
  if (!fs::exists(herramienta)) GTEST_SKIP() << "sin " << herramienta;
  const fs::path dir = fs::temp_directory_path() / ("sorvan_fuzz_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::mt19937 azar(99);
  std::vector<std::string> casos = {"", "\"t\"\n8,1000000000\n", std::string("\0\1\2\3", 4)};
  for (int i = 0; i < 12; ++i) casos.push_back(Muta(Meuse().substr(0, 2000), azar));
  for (size_t i = 0; i < casos.size(); ++i) {
    const fs::path dae = dir / ("caso" + std::to_string(i) + ".dae");
    std::ofstream(dae, std::ios::binary) << casos[i];
    // Limited address space: an allocation sized by the announced counts
    // would fail here instead of passing unnoticed. (AddressSanitizer needs
    // its huge shadow reservation, so its builds run without the limit.)
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit;
#else
    const std::string limit = "ulimit -v 2000000; ";
#endif
    const std::string orden = limit + herramienta.string() + " " + dae.string() +
                              " --no-row-limit --grid 5,5 --out " + (dir / "out").string() + " >/dev/null 2>" +
                              (dir / "err.txt").string();
    const int r = std::system(orden.c_str());
    ASSERT_TRUE(WIFEXITED(r)) << "caso " << i;
    const int estado = WEXITSTATUS(r);
    const std::string err = Lee(dir / "err.txt");
    // A mutation may leave a readable file; one that is not gets status 1
    // and a message that names it.
    if (estado != 0) {
      EXPECT_EQ(estado, 1) << "caso " << i << ": " << err;
      EXPECT_NE(err.find(dae.string()), std::string::npos) << "caso " << i << ": " << err;
    }
    if (i < 3) {
      EXPECT_EQ(estado, 1) << err;
    }
  }
  fs::remove_all(dir);
}

TEST(LectoresFuzz, ToolSurvivesRandomOptions) {
  // Random mixes of options and values, sensible and not: every run ends with
  // status 0, 1 (a message) or 2 (usage), never a crash.
  const fs::path herramienta = Entorno("SORVAN_BUILD_DIR", "..") + "/bin/sorvan-krige";
  if (!fs::exists(herramienta)) GTEST_SKIP() << "sin " << herramienta;
  const std::string meuse = Entorno("SORVAN_SOURCE_DIR", "../..") + "/examples/meuse.dae";
  const fs::path dir = fs::temp_directory_path() / ("sorvan_opciones_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const char* options[] = {"--x", "--y", "--z", "--trend", "--model", "--estimator", "--first-lag", "--lag-width",
                            "--lags", "--fit-lags", "--min-pairs", "--variable-lags", "--origin", "--spacing",
                            "--fit", "--start", "--exclude"};
  const char* values[] = {"0", "1", "3", "-1", "7", "100", "101", "1e9", "x", "logzinc", "robust", "none",
                           "direct", "1,2", "0,0", "-5,5", "0.5,2,300", "1,2,3,4", "", "nan", "inside", "2.5"};
  std::mt19937 azar(4242);
  for (int i = 0; i < 25; ++i) {
    std::string orden = herramienta.string() + " " + meuse + " --grid 4,4 --out " + (dir / "out").string();
    const int count = 1 + int(azar() % 3);
    for (int k = 0; k < count; ++k)
      orden += std::string(" ") + options[azar() % std::size(options)] + " '" + values[azar() % std::size(values)] + "'";
    const int r = std::system((orden + " >/dev/null 2>" + (dir / "err.txt").string()).c_str());
    ASSERT_TRUE(WIFEXITED(r)) << orden;
    const int estado = WEXITSTATUS(r);
    EXPECT_TRUE(estado == 0 || estado == 1 || estado == 2) << orden << " -> " << estado;
    if (estado != 0) {
      EXPECT_FALSE(Lee(dir / "err.txt").empty()) << orden;
    }
  }
  fs::remove_all(dir);
}
