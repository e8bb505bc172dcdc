// The engine runner: the byte encoding of the 22 arguments, and the child
// process seen from outside: stand-in helpers that fail, die, hang or echo,
// and the real helper without its library or without SKU.
#include "core/kriging_engine.h"
#include "core/run_kriging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace sorvan::core;
namespace fs = std::filesystem;

namespace {

SkuArguments Example(int nx = 4, int ny = 3) {
  SkuArguments a;
  a.n = 3;
  a.z = {1, 2, 3};
  a.x = {0, 1, 0};
  a.y = {0, 0, 1};
  a.firstLag = 0.5f;
  a.lagWidth = 1;
  a.lagCount = 5;
  a.fitLagCount = 3;
  a.modelCode = 1;
  a.nx = nx;
  a.ny = ny;
  a.dx = a.dy = 0.25f;
  a.gridRows = nx;
  a.prediction.assign(size_t(nx) * ny, 1.0f);
  a.prediction[1] = -10000.0f;
  a.variance.assign(size_t(nx) * ny, 0.0f);
  a.VariogramOptions = {1, 15, -1, 2, 1, 30, -1};
  a.VariogramParameters[4] = 0.125f;
  return a;
}

fs::path Temporary(const std::string& nombre) {
  fs::path p = fs::temp_directory_path() / ("sorvan_motor_" + std::to_string(::getpid())) / nombre;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

// A stand-in helper: a shell script run as `script --folder DIR --channel 3`.
std::string Helper(const std::string& nombre, const std::string& body) {
  fs::path p = Temporary("ayudantes") / nombre;
  std::ofstream(p) << "#!/bin/sh\ncd \"$2\" || exit 9\n" << body << "\n";
  fs::permissions(p, fs::perms::owner_all);
  return p.string();
}

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Construction() {
  const char* b = std::getenv("SORVAN_BUILD_DIR");
  return b ? b : "..";
}

}  // namespace

TEST(EncodeArguments, RoundTripAndDamagedStreams) {
  const SkuArguments a = Example();
  const std::string bytes = EncodeArguments(a, false);
  SkuArguments b;
  ASSERT_TRUE(DecodeArguments(bytes, false, b));
  EXPECT_EQ(b.z, a.z);
  EXPECT_EQ(b.prediction, a.prediction);
  EXPECT_EQ(b.VariogramOptions, a.VariogramOptions);
  EXPECT_EQ(b.VariogramParameters, a.VariogramParameters);
  EXPECT_EQ(b.fitLagCount, 3);
  EXPECT_EQ(b.gridRows, 4);
  // A reply is not a request, a cut stream is nothing, and a forged length
  // cannot make the reader allocate beyond its limit.
  EXPECT_FALSE(DecodeArguments(bytes, true, b));
  for (size_t cut : {size_t(0), size_t(3), size_t(20), bytes.size() - 1})
    EXPECT_FALSE(DecodeArguments(bytes.substr(0, cut), false, b)) << cut;
  EXPECT_FALSE(DecodeArguments(bytes, false, b, nullptr, 2));
  std::string forged = bytes;
  const int64_t huge = int64_t(1) << 60;
  std::memcpy(forged.data() + 8, &huge, sizeof huge);  // length of z
  EXPECT_FALSE(DecodeArguments(forged, false, b));
  // Sizes that disagree with n or the grid are refused.
  SkuArguments bad = Example();
  bad.variance.pop_back();
  std::string reason;
  EXPECT_FALSE(bad.consistent(&reason));
  EXPECT_FALSE(reason.empty());
}

TEST(EncodeReply, TheSummaryTravelsWholeAfterTheArguments) {
  const SkuArguments a = Example();
  EngineSummary r;
  r.model = 2, r.c0 = 0.05, r.c1 = 0.6, r.a = 300.25, r.fitError = 1.5;
  r.trendIterations = 3, r.zMin = 4.5, r.zMax = 7.25;
  r.lags = {{0, 100, 60.5, 12, 0.1, 0.12}, {100, 200, 150, 40, 0.2, 0.21}};
  r.trendCoefficients = {6.3, -2.1, 1.2};
  r.trendCentreX = 181480.5, r.trendCentreY = 331300.25, r.trendScale = 1950.75;
  r.warnings = {"primer aviso", "", "tercer aviso\ncon dos líneas"};
  const std::string bytes = EncodeReply(a, r);
  SkuArguments b;
  EngineSummary q;
  ASSERT_TRUE(DecodeReply(bytes, b, q));
  EXPECT_EQ(b.prediction, a.prediction);
  EXPECT_EQ(q.model, 2);
  EXPECT_EQ(q.a, 300.25);
  EXPECT_EQ(q.trendIterations, 3);
  ASSERT_EQ(q.lags.size(), 2u);
  EXPECT_EQ(q.lags[1].pairs, 40);
  EXPECT_EQ(q.lags[1].robust, 0.21);
  EXPECT_EQ(q.trendCoefficients, r.trendCoefficients);
  EXPECT_EQ(q.trendCentreX, r.trendCentreX);
  EXPECT_EQ(q.trendCentreY, r.trendCentreY);
  EXPECT_EQ(q.trendScale, r.trendScale);
  EXPECT_EQ(q.warnings, r.warnings);
  const FittedModel m = ModelFromSummary(q);
  EXPECT_TRUE(m.known);
  EXPECT_EQ(m.c1, 0.6f);
  // Cut anywhere inside the summary, or with bytes after it: no reply.
  const size_t arguments = EncodeArguments(a, true).size();
  for (size_t cut : {arguments + 2, arguments + 40, bytes.size() - 1})
    EXPECT_FALSE(DecodeReply(bytes.substr(0, cut), b, q)) << cut;
  EXPECT_FALSE(DecodeReply(bytes + "x", b, q));
  // The arguments alone are a reply whose model is unknown.
  ASSERT_TRUE(DecodeReply(EncodeArguments(a, true), b, q));
  EXPECT_FALSE(ModelFromSummary(q).known);
}

TEST(KrigingEngine, CoordinatesInDoubleKeepSamplesCentimetresApartDistinct) {
  const fs::path real = fs::path(Construction()) / "bin" / kEngineHelperName;
  if (!fs::exists(real)) GTEST_SKIP() << "sin " << real;
  // 64 samples 0.3 m apart at a northing of 9.1e6, where a float keeps 1 m:
  // in single precision they fall on 9 places and the system is singular.
  SkuArguments a;
  a.n = 64;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      a.xDouble.push_back(500000.0 + 0.3 * i);
      a.yDouble.push_back(9100000.0 + 0.3 * j);
      a.x.push_back(float(a.xDouble.back()));
      a.y.push_back(float(a.yDouble.back()));
      a.z.push_back(float(10 + std::sin(i * 0.7) + std::cos(j * 0.5)));
    }
  a.firstLag = -1, a.lagWidth = -1, a.lagCount = -1, a.fitLagCount = -1;
  a.modelCode = 1, a.trendDegree = 0;
  a.nx = 3, a.ny = 3, a.xMin = 500000.0f, a.yMin = 9100000.0f, a.dx = 1, a.dy = 1, a.gridRows = 3;
  a.prediction.assign(9, 0.0f);
  a.variance.assign(9, 0.0f);
  a.VariogramOptions = {-1, -1, -1, 3, -1, -1, -1};  // the given model stands
  a.VariogramParameters = {0.0f, 1.0f, 1.5f, -1, -1, -1, -1, -1, -1, -1};
  KrigingEngine engine(real.string());
  const EngineResult r = engine.run(a, Temporary("norte").string());
  ASSERT_TRUE(r.ok) << r.fullText();
  EXPECT_TRUE(r.model.known);
  EXPECT_EQ(r.model.a, 1.5f);
  // The node on the first sample gives that sample.
  EXPECT_NEAR(r.output.prediction[0], a.z[0], 1e-3);
  for (float v : r.output.variance) EXPECT_GE(v, 0.0f);
  // The same request without the doubles is the singular system it used to be.
  a.xDouble.clear(), a.yDouble.clear();
  const EngineResult f = engine.run(a, Temporary("norte-float").string());
  EXPECT_FALSE(f.ok);
  EXPECT_NE(f.details.find("singular"), std::string::npos) << f.details;
}

TEST(KrigingEngine, EngineFailureReportsTheLogAndKeepsThePreviousResults) {
  const fs::path dir = Temporary("falla");
  std::ofstream(dir / "SKUEAJUS.SV") << "de una ejecución anterior\n";
  KrigingEngine engine(Helper("falla.sh",
                              "printf 'I-  Obteniendo\\n\\n    Factorizando ...\\n\\n ERROR FATAL: matriz singular\\n' > KRIGING.LOG\n"
                              "echo parcial > SKUPRE.SUP\nexit 1"));
  EngineResult r = engine.run(Example(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.code, 1);
  // A Spanish lead naming the likely cause, the engine's text as detail.
  EXPECT_EQ(r.message.rfind(kEngineCallError, 0), 0u) << r.message;
  EXPECT_NE(r.message.find("datos con las mismas coordenadas"), std::string::npos) << r.message;
  EXPECT_EQ(r.message.find(".dll"), std::string::npos) << r.message;
  EXPECT_EQ(r.details.rfind("El codigo de error es :1\n", 0), 0u) << r.details;
  EXPECT_NE(r.details.find("Factorizando ...\nERROR FATAL: matriz singular"), std::string::npos) << r.details;
  EXPECT_NE(r.fullText().find("\nDetalles:\nEl codigo de error es :1"), std::string::npos);
  // The partial file stayed in the run's own folder, which is gone; the
  // earlier run's file is untouched; the failed log is kept apart.
  EXPECT_FALSE(fs::exists(dir / "SKUPRE.SUP"));
  EXPECT_EQ(Read(dir / "SKUEAJUS.SV"), "de una ejecución anterior\n");
  EXPECT_FALSE(fs::exists(dir / "KRIGING.LOG"));
  EXPECT_NE(Read(dir / kFailedLogFile).find("no terminó"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(KrigingEngine, DeathBySignalOrSilentExitIsAFailure) {
  const fs::path dir = Temporary("senal");
  KrigingEngine engine(Helper("senal.sh", "kill -SEGV $$"));
  EngineResult r = engine.run(Example(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.code, 128 + 11);
  EXPECT_NE(r.details.find("El codigo de error es :139"), std::string::npos) << r.details;
  EXPECT_NE(r.message.find("señal 11"), std::string::npos) << r.message;

  // Ending with status 0 but without the reply (an engine stopping the
  // process from inside) is no success either.
  KrigingEngine mute(Helper("mudo.sh", "exit 0"));
  r = mute.run(Example(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.details.find("sin devolver resultados"), std::string::npos) << r.details;
}

TEST(KrigingEngine, AsynchronousRunCanBeCancelledOrTimedOut) {
  const fs::path dir = Temporary("lento");
  KrigingEngine engine(Helper("lento.sh", "exec sleep 30"));
  ASSERT_TRUE(engine.start(Example(), dir.string()).ok);
  EXPECT_TRUE(engine.running());
  EXPECT_FALSE(engine.poll());
  EXPECT_FALSE(engine.start(Example(), dir.string()).ok);  // one run at a time
  const auto t0 = std::chrono::steady_clock::now();
  engine.cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_TRUE(engine.finished());
  EXPECT_TRUE(engine.result().cancelled);
  EXPECT_FALSE(engine.result().ok);

  EngineResult r = engine.run(Example(), dir.string(), std::chrono::milliseconds(200));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("tiempo"), std::string::npos);
}

TEST(KrigingEngine, LargeRepliesFlowWhilePolling) {
  // An echoing helper sends the request back as the reply: 1000 x 1000 nodes
  // are 8 MB each way, far beyond a socket buffer.
  const fs::path dir = Temporary("eco");
  // It also leaves the seven files of a whole run, so that they pass the
  // check made before they are moved in.
  KrigingEngine engine(Helper("eco.sh",
                              "awk 'BEGIN{r=\"\"; for(j=0;j<1000;j++) r=r \"  1.0\";"
                              " print \"#  0  1\" > \"SKUPRE.SUP\";"
                              " for(f=0;f<2;f++){ n=f?\"SKUVAR.SUP\":\"SKUPRE.SUP\";"
                              " print \" GRID 1000 1000\" >> n; print \" -10000.0 0.25 0.25 0.0 0.0\" >> n;"
                              " for(i=0;i<1000;i++) print r >> n } }'\n"
                              "touch SKUESTIM.SV SKUESTIM.FMT SKUEAJUS.SV SKUEAJUS.FMT\n"
                              "printf ' Terminado.\\n' > KRIGING.LOG\n"
                              "{ printf SKUR; tail -c +5 <&3; } >&3"));
  SkuArguments a = Example(1000, 1000);
  a.variance[999999] = 42.0f;
  ASSERT_TRUE(engine.start(a, dir.string()).ok);
  int rounds = 0;
  while (!engine.poll()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_LT(++rounds, 10000);
  }
  const EngineResult& r = engine.result();
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.output.variance[999999], 42.0f);
  EXPECT_EQ(r.output.prediction[1], -10000.0f);
  EXPECT_EQ(r.output.nx, 1000);
  EXPECT_TRUE(fs::exists(dir / "SKUVAR.SUP"));
}

TEST(KrigingEngine, MissingHelperIsAMessageAndTheHelperNeedsNoLibrary) {
  KrigingEngine withoutHelper("/no/existe/sorvan-engine");
  EngineResult r = withoutHelper.run(Example(), Temporary("nada").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("sorvan-engine"), std::string::npos);

  const fs::path real = fs::path(Construction()) / "bin" / kEngineHelperName;
  if (!fs::exists(real)) GTEST_SKIP() << "sin " << real;
  // The real helper copied where no library is: the engine is linked into it,
  // so the run reaches the engine, which names the cause of its failure.
  const fs::path root = Temporary("instalacion");
  fs::create_directories(root / "bin");
  fs::copy_file(real, root / "bin" / kEngineHelperName);
  const char* before = std::getenv("SORVAN_LIB_DIR");
  const std::string saved = before ? before : "";
  ::setenv("SORVAN_LIB_DIR", (root / "vacio").c_str(), 1);
  KrigingEngine engine((root / "bin" / kEngineHelperName).string());
  r = engine.run(Example(), (root / "trabajo").string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.details.find("biblioteca"), std::string::npos) << r.details;
  EXPECT_NE(r.details.find("NOBS = 0"), std::string::npos) << r.details;
  if (before) ::setenv("SORVAN_LIB_DIR", saved.c_str(), 1);
  else ::unsetenv("SORVAN_LIB_DIR");
}
