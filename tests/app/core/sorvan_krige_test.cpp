// The command-line tool end to end: a run on meuse against the library called
// directly with hand-packed arguments, the profile and known-model options,
// the engine's failure, and the exit statuses of bad input and bad usage.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/sku_arguments.h"
#include "core/spatial_data.h"
#include "tool_run.h"

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

const std::string kFont = test_data::SourceDir();
const std::string kTool = test_data::BuildDir() + "/bin/sorvan-krige";
const std::string kLibrary = test_data::LibraryDir() + "/libkriging.so";
const std::string kMeuse = kFont + "/examples/meuse.dae";

fs::path Folder(const std::string& nombre) {
  fs::path p = fs::temp_directory_path() / ("sorvan_krige_" + std::to_string(::getpid())) / nombre;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

using test_data::ToolOutput;

std::string Read(const fs::path& p) { return test_data::ReadWhole(p); }

ToolOutput RunTool(const std::string& arguments) {
  const fs::path folder = fs::temp_directory_path() / ("sorvan_krige_" + std::to_string(::getpid()));
  return test_data::RunProgram(kTool, arguments, folder);
}

// Number following `label` in `text`.
double After(const std::string& text, const std::string& label) {
  const size_t p = text.find(label);
  if (p == std::string::npos) return NAN;
  return std::strtod(text.c_str() + p + label.size(), nullptr);
}

std::string Real(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.7g", v);
  return b;
}

// SKU called in a child process in `folder`, as a program would call the
// library itself; the arguments as the engine left them come back in `a`.
bool CallDirectly(SkuArguments& a, const fs::path& folder) {
  const fs::path reply = folder / "respuesta.bin";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(3);
    void* h = ::dlopen(kLibrary.c_str(), RTLD_NOW);
    if (!h) ::_exit(4);
    auto sku = reinterpret_cast<SkuFunction>(::dlsym(h, "SKU"));
    if (!sku) ::_exit(5);
    a.call(sku);
    std::ofstream(reply, std::ios::binary) << EncodeArguments(a, true);
    ::_exit(0);
  }
  int state = 0;
  ::waitpid(pid, &state, 0);
  if (!WIFEXITED(state) || WEXITSTATUS(state) != 0) return false;
  const bool ok = DecodeArguments(Read(reply), true, a);
  fs::remove(reply);
  return ok;
}

}  // namespace

class SorvanKrige : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kTool) || !fs::exists(kLibrary)) GTEST_SKIP() << "sin " << kTool;
  }
};

TEST_F(SorvanKrige, MeuseRunMatchesTheLibraryCalledDirectly) {
  const fs::path tool = Folder("herramienta"), directo = Folder("directo");
  ToolOutput s = RunTool(kMeuse + " --x x --y 2 --z logzinc --trend 1 --model exponential --estimator robust"
                     " --first-lag 100 --lag-width 80 --lags 20 --fit-lags 12 --min-pairs 10"
                     " --grid 30,25 --origin 178500,329600 --spacing 100,160 --out " + tool.string());
  ASSERT_EQ(s.state, 0) << s.err;

  // The same run packed by hand: columns 4, 1, 2 of the file, the options as
  // given, copies of the lag counts, every node to krige, the option vectors.
  SpatialData d;
  ASSERT_TRUE(ReadData(kMeuse, d).ok);
  SkuArguments a;
  a.n = 155;
  a.z.assign(d.column(4), d.column(4) + 155);
  a.x.assign(d.column(1), d.column(1) + 155);
  a.y.assign(d.column(2), d.column(2) + 155);
  a.firstLag = 100, a.lagWidth = 80, a.lagCount = 20, a.fitLagCount = 12;
  a.modelCode = 2, a.trendDegree = 1;
  a.nx = 30, a.ny = 25, a.xMin = 178500, a.yMin = 329600, a.dx = 100, a.dy = 160, a.gridRows = 30;
  a.prediction.assign(750, 1.0f);
  a.variance.assign(750, 0.0f);
  a.holeValue = -10000.0f;
  a.VariogramOptions = {2, 10, -1, -1, 1, 30, -1};
  a.VariogramParameters.fill(-1.0f);
  ASSERT_TRUE(CallDirectly(a, directo));

  for (const char* f : {"SKUPRE.SUP", "SKUVAR.SUP", "SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT"})
    EXPECT_EQ(Read(tool / f), Read(directo / f)) << f;
  EXPECT_EQ(Read(tool / "KRIGING.LOG"), Read(directo / "KRIGING.LOG"));
  EXPECT_NEAR(After(s.out, "Predicción: mínimo "), a.VariogramParameters[0], 1e-6 * std::fabs(a.VariogramParameters[0]));
  EXPECT_NEAR(After(s.out, ", máximo "), a.VariogramParameters[1], 1e-6 * std::fabs(a.VariogramParameters[1]));
  EXPECT_NEAR(After(s.out, "Error del ajuste (MCP): "), a.VariogramParameters[3], 1e-6 * std::fabs(a.VariogramParameters[3]));
  EXPECT_NEAR(After(s.out, ", a = "), a.VariogramParameters[2], 1e-6 * std::fabs(a.VariogramParameters[2]));
  const auto [vmin, vmax] = std::minmax_element(a.variance.begin(), a.variance.end());
  EXPECT_NEAR(After(s.out, "Varianza de kriging: mínimo "), *vmin, 1e-6 * std::fabs(*vmin));
  EXPECT_NEAR(After(s.out, "Varianza de kriging: mínimo " + Real(*vmin) + ", máximo "), *vmax, 1e-6 * std::fabs(*vmax));
  EXPECT_NE(s.out.find("Media: 1"), std::string::npos);
  EXPECT_NE(s.out.find("Modelo: 2 (exponencial)"), std::string::npos);
  EXPECT_NE(s.out.find("Estimador: 2"), std::string::npos);
  EXPECT_NE(s.out.find("Rejilla: 30 x 25 nodos, origen (178500.000, 329600.000), espaciado (100.000, 160.000)"),
            std::string::npos) << s.out;
  EXPECT_NE(s.out.find("(750 de 750 nodos estimados)"), std::string::npos);
}

TEST_F(SorvanKrige, AutomaticRunOfTheExampleSucceeds) {
  const fs::path out = Folder("auto");
  ToolOutput s = RunTool(kMeuse + " --x 1 --y 2 --z logzinc --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_TRUE(s.err.empty()) << s.err;
  // Automatic options of 155 points: spherical model, 50 x 50 grid reaching
  // half a spacing beyond the data: (181390 - 178605)/48 = 58.021.
  EXPECT_NE(s.out.find("Modelo: 1 (esférico)"), std::string::npos) << s.out;
  EXPECT_NE(s.out.find("Rejilla: 50 x 50 nodos"), std::string::npos);
  EXPECT_NE(s.out.find("58.021"), std::string::npos);
  EXPECT_FALSE(std::isnan(After(s.out, "c0 = ")));
  const double lo = After(s.out, "Predicción: mínimo "), hi = After(s.out, ", máximo ");
  EXPECT_LT(lo, hi);
  EXPECT_GT(lo, 4.0);  // log zinc of the data runs from 4.73 to 7.52
  EXPECT_LT(hi, 8.0);
  EXPECT_EQ(Read(out / "SKUPRE.SUP").rfind("#", 0), 0u);
}

TEST_F(SorvanKrige, ProfileAndKnownModel) {
  // Closed rectangle: nodes 3..7 of 10 in X and rows 2..8 in Y are inside (35).
  const fs::path out = Folder("perfil");
  std::ofstream(out / "cuadro.per") << "5\n179500,330500\n180500,330500\n180500,332500\n179500,332500\n179500,330500\n";
  const std::string base = kMeuse + " --z logzinc --grid 10,10 --origin 179000,330000 --spacing 200,300 --profile " +
                           (out / "cuadro.per").string() + " --out " + out.string();
  ToolOutput s = RunTool(base);
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.out.find("(35 de 100 nodos estimados)"), std::string::npos) << s.out;
  const std::string sup = Read(out / "SKUPRE.SUP");
  size_t huecos = 0;
  for (size_t p = sup.find("-10000"); p != std::string::npos; p = sup.find("-10000", p + 1)) ++huecos;
  EXPECT_EQ(huecos, 65u + 1u);  // the 65 excluded nodes and the hole value of the header
  s = RunTool(base + " --exclude inside");
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.out.find("(65 de 100 nodos estimados)"), std::string::npos) << s.out;

  // No fit: the given model is the one used.
  s = RunTool(kMeuse + " --z logzinc --fit none --start 0.05,0.6,900 --grid 10,10 --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NEAR(After(s.out, "c0 = "), 0.05, 1e-6);
  EXPECT_NEAR(After(s.out, "c1 = "), 0.6, 1e-6);
  EXPECT_NEAR(After(s.out, ", a = "), 900, 1e-3);

  // More fit lags than lags: the dialog's warning, and the lag count stands.
  s = RunTool(kMeuse + " --z logzinc --lags 5 --fit-lags 8 --grid 10,10 --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.err.find("se toma NAjus=NSaltos"), std::string::npos) << s.err;
  EXPECT_NE(s.out.find("Ajuste: 5 saltos"), std::string::npos) << s.out;
  s = RunTool(kMeuse + " --z logzinc --variable-lags 200 --grid 10,10 --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.out.find("longitud variable, 200 pares"), std::string::npos) << s.out;
}

TEST_F(SorvanKrige, HullProfileOfTheExampleKeepsTheNodesInsideIt) {
  // The outline of the meuse samples, on the automatic 50 x 50 grid: the
  // nodes kriged are those a ray-casting test puts inside the outline.
  const fs::path out = Folder("contorno");
  ToolOutput s = RunTool(kMeuse + " --z logzinc --profile " + kFont + "/examples/meuse.per --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  std::ifstream per(kFont + "/examples/meuse.per");
  int n = 0;
  per >> n;
  std::vector<double> px(n), py(n);
  char comma;
  for (int k = 0; k < n; ++k) per >> px[k] >> comma >> py[k];
  const float lx = (181390.0f - 178605.0f) / 48, ly = (333611.0f - 329714.0f) / 48;
  const float x0 = 178605.0f - lx / 2, y0 = 329714.0f - ly / 2;
  int inside = 0;
  for (int j = 0; j < 50; ++j)
    for (int i = 0; i < 50; ++i) {
      const double x = double(x0) + i * double(lx), y = double(y0) + j * double(ly);
      bool in = false;
      for (int k = 0; k + 1 < n; ++k)
        if ((py[k] > y) != (py[k + 1] > y) && x < px[k] + (y - py[k]) * (px[k + 1] - px[k]) / (py[k + 1] - py[k]))
          in = !in;
      inside += in;
    }
  EXPECT_GT(inside, 500);
  std::string expected = "(";
  expected += std::to_string(inside);
  expected += " de 2500 nodos estimados)";
  EXPECT_NE(s.out.find(expected), std::string::npos)
      << inside << "\n" << s.out;
}

TEST_F(SorvanKrige, EngineFailureIsReportedAndKeepsThePreviousResults) {
  // Two points 2e-7 apart: distinct for the duplicate check, one point once
  // the engine has them in single precision, which makes its system singular.
  const fs::path out = Folder("duplicados");
  std::ofstream dae(out / "dup.dae");
  dae << "\"duplicados\"\n3,31\nx,,0\ny,,0\nz,,0\n";
  for (int i = 0; i < 30; ++i) dae << (i * 37) % 101 << "," << (i * 53) % 97 << "," << i % 7 << "\n";
  dae << "37.0000002,53,2\n";  // the coordinates of row 2, nearly
  dae.close();
  std::ofstream(out / "SKUPRE.SUP") << "de otra ejecución\n";
  ToolOutput s = RunTool((out / "dup.dae").string() + " --out " + out.string());
  EXPECT_EQ(s.state, 1);
  EXPECT_NE(s.err.find("El cálculo de kriging ha fallado. El sistema de kriging es singular"), std::string::npos)
      << s.err;
  EXPECT_EQ(s.err.find(".dll"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("Detalles:\nEl codigo de error es :"), std::string::npos);
  EXPECT_NE(s.err.find("singular"), std::string::npos) << s.err;
  EXPECT_EQ(Read(out / "SKUPRE.SUP"), "de otra ejecución\n");
  EXPECT_FALSE(fs::exists(out / "SKUVAR.SUP"));
  EXPECT_NE(Read(out / "KRIGING-FALLO.LOG").find("no terminó"), std::string::npos);
}

TEST_F(SorvanKrige, CoincidingPointsAreNamedBeforeTheEngineRuns) {
  // Two points at the same place would make the kriging system singular.
  const fs::path out = Folder("duplicados");
  std::ofstream dae(out / "dup.dae");
  dae << "\"duplicados\"\n3,31\nx,,0\ny,,0\nz,,0\n";
  for (int i = 0; i < 30; ++i) dae << (i * 37) % 101 << "," << (i * 53) % 97 << "," << i % 7 << "\n";
  dae << "37,53,2\n";  // the coordinates of row 2 again
  dae.close();
  std::ofstream(out / "SKUPRE.SUP") << "de otra ejecución\n";
  ToolOutput s = RunTool((out / "dup.dae").string() + " --out " + out.string());
  EXPECT_EQ(s.state, 1);
  EXPECT_NE(s.err.find("mismas coordenadas: filas 2 y 31"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("--duplicates average"), std::string::npos) << s.err;
  EXPECT_EQ(s.err.find("singular"), std::string::npos) << s.err;
  // The engine never ran: the earlier result is still there.
  EXPECT_EQ(Read(out / "SKUPRE.SUP"), "de otra ejecución\n");
  // With a policy the run goes on, and says what it did.
  for (const char* policy : {"average", "first"}) {
    s = RunTool((out / "dup.dae").string() + " --duplicates " + policy + " --grid 10,10 --out " + out.string());
    EXPECT_EQ(s.state, 0) << s.err;
    EXPECT_NE(s.err.find("1 grupo de puntos en las mismas coordenadas (filas 2 y 31)"), std::string::npos) << s.err;
  }
  s = RunTool((out / "dup.dae").string() + " --duplicates mean --out " + out.string());
  EXPECT_EQ(s.state, 2);
}

TEST_F(SorvanKrige, RowsWithMissingValuesAreLeftOutAndCounted) {
  const fs::path out = Folder("ausentes");
  std::ifstream meuse(kMeuse);
  std::ofstream dae(out / "ausentes.dae");
  std::string line;
  for (int n = 1; std::getline(meuse, line); ++n) {
    if (n == 11) line = "NA" + line.substr(line.find(','));            // X missing on row 1
    if (n == 20) line = line.substr(0, line.find(',', line.find(',') + 1)) + ",-9999,5,1,1,1,1";  // Z
    dae << line << "\n";
  }
  dae.close();
  ToolOutput s = RunTool((out / "ausentes.dae").string() + " --z zinc --missing -9999 --grid 10,10 --out " + out.string());
  EXPECT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.err.find("Se han dejado fuera 2 filas"), std::string::npos) << s.err;
  EXPECT_NE(s.out.find("(155 puntos, 2 sin X, Y o Z, fuera del cálculo)"), std::string::npos) << s.out;
}

TEST_F(SorvanKrige, BadInputAndBadUsageHaveTheirExitStatus) {
  const fs::path out = Folder("errores");
  std::ofstream(out / "roto.dae") << "\"t\"\n3,4\nx,,0\ny,,0\nz,,0\n1,2,3\n4,5,6\n7,ocho,9\n";
  std::ofstream(out / "roto.per") << "5\n0,0\n1,1\n";
  struct Case {
    std::string arguments;
    int state;
    std::string says;
  };
  const Case cases[] = {
      {"", 2, "falta el archivo"},
      {kMeuse + " --trend 5", 2, "--trend"},
      {kMeuse + " --lags 101", 2, "--lags"},
      {kMeuse + " --model cubic", 2, "cubic"},
      {kMeuse + " --grid 10", 2, "--grid"},
      {kMeuse + " --spacing 0,1", 2, "--spacing"},
      {kMeuse + " --exclude inside", 2, "--exclude"},
      {kMeuse + " --frobnicate", 2, "--frobnicate"},
      {kMeuse + " --first-lag 1,5", 2, "«1,5»"},
      {kMeuse + " --lag-width -3", 2, "--lag-width"},
      {kMeuse + " --first-lag 0 --lag-width 0", 2, "ambos"},
      {(out / "no-existe.dae").string(), 1, "no-existe.dae"},
      {(out / "roto.dae").string(), 1, "roto.dae, línea 8"},
      {kMeuse + " --export mapa.png", 2, "mapa.png"},
      {kMeuse + " --z plomo", 1, "«plomo»"},
      {kMeuse + " --x 9", 1, "8 variables"},
      {kMeuse + " --grid 2,50", 1, "3 nodos"},
      {kMeuse + " --grid 5000,5000 --spacing 1,1", 1, "demasiado grande"},
      {kMeuse + " --profile " + (out / "roto.per").string(), 1, "roto.per"},
  };
  for (const Case& c : cases) {
    ToolOutput s = RunTool(c.arguments + " --out " + out.string());
    EXPECT_EQ(s.state, c.state) << c.arguments << "\n" << s.err;
    EXPECT_NE(s.err.find(c.says), std::string::npos) << c.arguments << "\n" << s.err;
  }
  ToolOutput help = RunTool("--help");
  EXPECT_EQ(help.state, 0);
  for (const char* option : {"--trend", "--model", "--estimator", "--first-lag", "--lag-width", "--lags", "--fit-lags",
                             "--min-pairs", "--variable-lags", "--grid", "--origin", "--spacing", "--profile",
                             "--exclude", "--fit", "--start", "--out", "--no-row-limit", "--export", "--crs",
                             "--duplicates", "--missing"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

// Causes the program can name are said before the engine runs, in Spanish,
// with exit status 1; the warnings say what is really used.
TEST_F(SorvanKrige, InvalidModelsAndDataAreRefusedBeforeTheEngine) {
  const fs::path out = Folder("antes_del_motor");
  const auto rejects = [&](const std::string& args, const std::string& phrase) {
    ToolOutput s = RunTool(args + " --out " + out.string());
    EXPECT_EQ(s.state, 1) << args << "\n" << s.out << s.err;
    EXPECT_NE(s.err.find(phrase), std::string::npos) << args << "\n" << s.err;
    EXPECT_EQ(s.err.find("El codigo de error"), std::string::npos) << s.err;  // the engine never ran
    EXPECT_FALSE(fs::exists(out / "SKUPRE.SUP")) << args;
  };
  // Negative sill, power exponent 3: the variances would be negative.
  rejects(kMeuse + " --z logzinc --fit none --start 0,-5,100", "La meseta o pendiente C1");
  rejects(kMeuse + " --z logzinc --model power --fit none --start 0,1,3", "exponente A del modelo potencial");
  rejects(kMeuse + " --z logzinc --model spherical --start 0.1,0.5,0", "alcance A");

  // A constant Z; points sharing one Y (no spacing was given, so none is blamed).
  {
    std::ofstream f(out / "constante.dae");
    f << "\"c\"\n3,12\nx,,0\ny,,0\nz,,0\n";
    for (int i = 0; i < 12; ++i) f << i % 4 << "," << i / 4 << ",5\n";
  }
  rejects((out / "constante.dae").string(), "La variable z vale 5 en todos los datos");
  {
    std::ofstream f(out / "linea.dae");
    f << "\"l\"\n3,12\nx,,0\ny,,0\nz,,0\n";
    for (int i = 0; i < 12; ++i) f << i << ",7," << i * i << "\n";
  }
  rejects((out / "linea.dae").string(), "Todos los datos tienen la misma coordenada Y");
  ToolOutput s = RunTool((out / "linea.dae").string() + " --out " + out.string());
  EXPECT_EQ(s.err.find("espaciado"), std::string::npos) << s.err;
  // No lag class with more pairs than the fit asks for.
  rejects(kMeuse + " --z logzinc --first-lag 100 --min-pairs 5000", "Ningún salto tiene más de 5000 pares");
  // Too few points for a cubic trend (10 terms).
  {
    std::ofstream f(out / "pocos.dae");
    f << "\"p\"\n3,8\nx,,0\ny,,0\nz,,0\n";
    for (int i = 0; i < 8; ++i) f << i % 3 << "," << i / 3 << "," << i << "\n";
  }
  rejects((out / "pocos.dae").string() + " --trend 3", "Hay 8 datos y el kriging con tendencia de grado 3");

  // A profile far from the grid leaves no node to krige.
  std::ofstream(out / "lejos.per") << "4\n0,0\n1,0\n0,1\n0,0\n";
  rejects(kMeuse + " --z logzinc --profile " + (out / "lejos.per").string(), "excluye todos los nodos");

  // Invalid UTF-8 given on the command line is not echoed raw.
  s = RunTool(kMeuse + " --z \"$(printf '\\377\\376')\" --out " + out.string());
  EXPECT_EQ(s.state, 1);
  EXPECT_EQ(s.err.find("\xff"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("«??»"), std::string::npos) << s.err;
}

TEST_F(SorvanKrige, WarningsSayWhatIsUsed) {
  const fs::path out = Folder("avisos");
  // A minimum of 0 pairs is what the engine takes as its default.
  ToolOutput s = RunTool(kMeuse + " --z logzinc --min-pairs 0 --grid 10,10 --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_NE(s.err.find("--min-pairs 0 no es posible: el motor toma su valor por defecto, 15"), std::string::npos)
      << s.err;
  EXPECT_NE(s.out.find("más de 15 pares"), std::string::npos) << s.out;
  // Fewer lags than the automatic fit count, without --fit-lags: no warning
  // about a count the user did not give.
  s = RunTool(kMeuse + " --z logzinc --lags 3 --grid 10,10 --out " + out.string());
  ASSERT_EQ(s.state, 0) << s.err;
  EXPECT_EQ(s.err.find("NAjus"), std::string::npos) << s.err;
  EXPECT_NE(s.out.find("Ajuste: 3 saltos"), std::string::npos) << s.out;
}

TEST_F(SorvanKrige, AGlobalRunThatCannotFitIsRefusedBeforeAnyWork) {
  // 300000 points: the global system alone would take hundreds of gigabytes.
  const fs::path out = Folder("enorme");
  {
    std::ofstream f(out / "enorme.dae");
    f << "\"e\"\n3,300000\nx,,0\ny,,0\nz,,0\n";
    for (int i = 0; i < 300000; ++i) f << i % 600 << "," << i / 600 << "," << i % 11 << "\n";
  }
  ToolOutput s = RunTool((out / "enorme.dae").string() + " --no-row-limit --out " + (out / "res").string());
  EXPECT_EQ(s.state, 1);
  EXPECT_NE(s.err.find("no cabe en la memoria: se estima que necesita"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("Kriging Local"), std::string::npos) << s.err;
  EXPECT_FALSE(fs::exists(out / "res" / "SKUPRE.SUP"));
}
