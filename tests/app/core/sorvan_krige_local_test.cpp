// The command-line tool with a search neighbourhood: with every datum in it
// the surfaces are those of the global run; the holes it reports are the ones
// in the surface file; bad neighbourhood options end with their exit status
// and a message naming the value.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

const std::string kFont = test_data::SourceDir();
const std::string kTool = test_data::BuildDir() + "/bin/sorvan-krige";
const std::string kMeuse = kFont + "/examples/meuse.dae";
const std::string kBase = " --x 1 --y 2 --z 4 --grid 21,17 --fit none --start 0.05,0.59,900 ";

fs::path Folder(const std::string& nombre) {
  fs::path p = fs::temp_directory_path() / ("sorvan_krige_local_" + std::to_string(::getpid())) / nombre;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

using test_data::ToolOutput;

std::string Read(const fs::path& p) { return test_data::ReadWhole(p); }

ToolOutput RunTool(const std::string& arguments) {
  return test_data::RunProgram(kTool, arguments, Folder("salida"));
}

// The node values of a surface file: every number after its header (the
// range line of a prediction file, "GRID nx ny", the hole and geometry line).
std::vector<double> Nodes(const fs::path& sup) {
  std::ifstream in(sup);
  std::string line;
  std::getline(in, line);
  if (line.rfind("#", 0) == 0) std::getline(in, line);
  std::getline(in, line);
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

double Scatter(const std::vector<double>& v) {
  double m = 0, s = 0;
  for (double e : v) m += e;
  m /= double(v.size());
  for (double e : v) s += (e - m) * (e - m);
  return std::sqrt(s / double(v.size()));
}

TEST(SorvanKrigeLocal, EveryDatumInTheNeighbourhoodGivesTheGlobalSurfaces) {
  const fs::path global = Folder("global"), local = Folder("local");
  const ToolOutput g = RunTool(kMeuse + kBase + "--out " + global.string());
  ASSERT_EQ(g.state, 0) << g.err;
  const ToolOutput l = RunTool(kMeuse + kBase + "--out " + local.string() + " --neighbours 200");
  ASSERT_EQ(l.state, 0) << l.err;
  EXPECT_NE(l.out.find("Kriging local: 200 vecinos como máximo"), std::string::npos) << l.out;
  EXPECT_NE(l.out.find("Nodos sin valor (huecos): 0"), std::string::npos) << l.out;
  for (const char* file : {"SKUPRE.SUP", "SKUVAR.SUP"}) {
    const std::vector<double> a = Nodes(global / file), b = Nodes(local / file);
    ASSERT_EQ(a.size(), size_t(21 * 17)) << file;
    ASSERT_EQ(b.size(), a.size()) << file;
    const double sd = Scatter(a);
    // The global path solves in single precision, the local one in double;
    // the files keep 4 decimals, so each side may be off by half of 1e-4.
    for (size_t k = 0; k < a.size(); ++k)
      EXPECT_NEAR(a[k], b[k], 1e-4 * sd + 1.0001e-4) << file << " nodo " << k;
  }
}

TEST(SorvanKrigeLocal, ReportedHolesAreTheHolesOfTheSurface) {
  const fs::path dir = Folder("huecos");
  const ToolOutput s = RunTool(kMeuse + kBase + "--out " + dir.string() +
                           " --neighbours 12 --min-neighbours 6 --max-distance 500 --sectors 4");
  ASSERT_EQ(s.state, 0) << s.err;
  const std::string label = "Nodos sin valor (huecos): ";
  const size_t p = s.out.find(label);
  ASSERT_NE(p, std::string::npos) << s.out;
  const long told = std::strtol(s.out.c_str() + p + label.size(), nullptr, 10);
  long huecos = 0;
  for (double v : Nodes(dir / "SKUPRE.SUP")) huecos += v == -10000.0;
  EXPECT_GT(huecos, 0);
  EXPECT_EQ(told, huecos);
  EXPECT_NE(Read(dir / "KRIGING.LOG").find("sin valor: " + std::to_string(huecos)), std::string::npos);
}

TEST(SorvanKrigeLocal, BadNeighbourhoodOptionsAreRefused) {
  const fs::path dir = Folder("malas");
  const std::string base = kMeuse + " --x 1 --y 2 --z 4 --out " + dir.string();
  struct Case {
    std::string options;
    int state;
    std::string message;
  };
  const Case cases[] = {
      {"--neighbours 8 --min-neighbours 9", 1, "(M = 9) es mayor que el máximo (8)"},
      {"--trend 2 --neighbours 5", 1, "(N = 5) es menor que el número de términos de la deriva (6)"},
      {"--max-distance 0", 2, "--max-distance: la distancia máxima debe ser mayor que 0"},
      {"--max-distance -3", 2, "--max-distance: la distancia máxima debe ser mayor que 0"},
      {"--sectors 3", 2, "--sectors: se esperaba 1 o 4"},
      {"--neighbours 0", 2, "--neighbours: 0 está fuera del intervalo 1 a 500"},
      {"--global-trend", 2, "indique también --neighbours"},
  };
  for (const Case& c : cases) {
    const ToolOutput s = RunTool(base + " " + c.options);
    EXPECT_EQ(s.state, c.state) << c.options << "\n" << s.err;
    EXPECT_NE(s.err.find(c.message), std::string::npos) << c.options << "\n" << s.err;
    EXPECT_FALSE(fs::exists(dir / "SKUPRE.SUP")) << c.options;
  }
}

}  // namespace
