// The engine runner: the byte encoding of the 22 arguments, and the child
// process seen from outside: stand-in helpers that fail, die, hang or echo,
// and the real helper without its library or without SKU.
#include "core/motor_kriging.h"
#include "core/ejecuta_kriging.h"

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

using namespace sorvan;
namespace fs = std::filesystem;

namespace {

ArgumentosSKU Ejemplo(int nx = 4, int ny = 3) {
  ArgumentosSKU a;
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

fs::path Temporal(const std::string& nombre) {
  fs::path p = fs::temp_directory_path() / ("sorvan_motor_" + std::to_string(::getpid())) / nombre;
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

// A stand-in helper: a shell script run as `script --carpeta DIR --canal 3`.
std::string Ayudante(const std::string& nombre, const std::string& cuerpo) {
  fs::path p = Temporal("ayudantes") / nombre;
  std::ofstream(p) << "#!/bin/sh\ncd \"$2\" || exit 9\n" << cuerpo << "\n";
  fs::permissions(p, fs::perms::owner_all);
  return p.string();
}

std::string Lee(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Construccion() {
  const char* b = std::getenv("SORVAN_BUILD_DIR");
  return b ? b : "..";
}

}  // namespace

TEST(CodificaArgumentos, RoundTripAndDamagedStreams) {
  const ArgumentosSKU a = Ejemplo();
  const std::string bytes = CodificaArgumentos(a, false);
  ArgumentosSKU b;
  ASSERT_TRUE(DecodificaArgumentos(bytes, false, b));
  EXPECT_EQ(b.z, a.z);
  EXPECT_EQ(b.prediction, a.prediction);
  EXPECT_EQ(b.VariogramOptions, a.VariogramOptions);
  EXPECT_EQ(b.VariogramParameters, a.VariogramParameters);
  EXPECT_EQ(b.fitLagCount, 3);
  EXPECT_EQ(b.gridRows, 4);
  // A reply is not a request, a cut stream is nothing, and a forged length
  // cannot make the reader allocate beyond its limit.
  EXPECT_FALSE(DecodificaArgumentos(bytes, true, b));
  for (size_t corte : {size_t(0), size_t(3), size_t(20), bytes.size() - 1})
    EXPECT_FALSE(DecodificaArgumentos(bytes.substr(0, corte), false, b)) << corte;
  EXPECT_FALSE(DecodificaArgumentos(bytes, false, b, nullptr, 2));
  std::string forjado = bytes;
  const int64_t enorme = int64_t(1) << 60;
  std::memcpy(forjado.data() + 8, &enorme, sizeof enorme);  // length of z
  EXPECT_FALSE(DecodificaArgumentos(forjado, false, b));
  // Sizes that disagree with n or the grid are refused.
  ArgumentosSKU mal = Ejemplo();
  mal.variance.pop_back();
  std::string motivo;
  EXPECT_FALSE(mal.coherentes(&motivo));
  EXPECT_FALSE(motivo.empty());
}

TEST(CodificaRespuesta, TheSummaryTravelsWholeAfterTheArguments) {
  const ArgumentosSKU a = Ejemplo();
  ResumenMotor r;
  r.modelo = 2, r.c0 = 0.05, r.c1 = 0.6, r.a = 300.25, r.errorAjuste = 1.5;
  r.iteracionesTendencia = 3, r.zMin = 4.5, r.zMax = 7.25;
  r.saltos = {{0, 100, 60.5, 12, 0.1, 0.12}, {100, 200, 150, 40, 0.2, 0.21}};
  r.coeficientesTendencia = {6.3, -2.1, 1.2};
  r.centroTendenciaX = 181480.5, r.centroTendenciaY = 331300.25, r.escalaTendencia = 1950.75;
  r.avisos = {"primer aviso", "", "tercer aviso\ncon dos líneas"};
  const std::string bytes = CodificaRespuesta(a, r);
  ArgumentosSKU b;
  ResumenMotor q;
  ASSERT_TRUE(DecodificaRespuesta(bytes, b, q));
  EXPECT_EQ(b.prediction, a.prediction);
  EXPECT_EQ(q.modelo, 2);
  EXPECT_EQ(q.a, 300.25);
  EXPECT_EQ(q.iteracionesTendencia, 3);
  ASSERT_EQ(q.saltos.size(), 2u);
  EXPECT_EQ(q.saltos[1].pares, 40);
  EXPECT_EQ(q.saltos[1].robusto, 0.21);
  EXPECT_EQ(q.coeficientesTendencia, r.coeficientesTendencia);
  EXPECT_EQ(q.centroTendenciaX, r.centroTendenciaX);
  EXPECT_EQ(q.centroTendenciaY, r.centroTendenciaY);
  EXPECT_EQ(q.escalaTendencia, r.escalaTendencia);
  EXPECT_EQ(q.avisos, r.avisos);
  const ModeloAjustado m = ModeloDelResumen(q);
  EXPECT_TRUE(m.conocido);
  EXPECT_EQ(m.c1, 0.6f);
  // Cut anywhere inside the summary, or with bytes after it: no reply.
  const size_t argumentos = CodificaArgumentos(a, true).size();
  for (size_t corte : {argumentos + 2, argumentos + 40, bytes.size() - 1})
    EXPECT_FALSE(DecodificaRespuesta(bytes.substr(0, corte), b, q)) << corte;
  EXPECT_FALSE(DecodificaRespuesta(bytes + "x", b, q));
  // The arguments alone are a reply whose model is unknown.
  ASSERT_TRUE(DecodificaRespuesta(CodificaArgumentos(a, true), b, q));
  EXPECT_FALSE(ModeloDelResumen(q).conocido);
}

TEST(MotorKriging, CoordinatesInDoubleKeepSamplesCentimetresApartDistinct) {
  const fs::path real = fs::path(Construccion()) / "bin" / kNombreAyudanteMotor;
  if (!fs::exists(real)) GTEST_SKIP() << "sin " << real;
  // 64 samples 0.3 m apart at a northing of 9.1e6, where a float keeps 1 m:
  // in single precision they fall on 9 places and the system is singular.
  ArgumentosSKU a;
  a.n = 64;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      a.xDoble.push_back(500000.0 + 0.3 * i);
      a.yDoble.push_back(9100000.0 + 0.3 * j);
      a.x.push_back(float(a.xDoble.back()));
      a.y.push_back(float(a.yDoble.back()));
      a.z.push_back(float(10 + std::sin(i * 0.7) + std::cos(j * 0.5)));
    }
  a.firstLag = -1, a.lagWidth = -1, a.lagCount = -1, a.fitLagCount = -1;
  a.modelCode = 1, a.trendDegree = 0;
  a.nx = 3, a.ny = 3, a.xMin = 500000.0f, a.yMin = 9100000.0f, a.dx = 1, a.dy = 1, a.gridRows = 3;
  a.prediction.assign(9, 0.0f);
  a.variance.assign(9, 0.0f);
  a.VariogramOptions = {-1, -1, -1, 3, -1, -1, -1};  // the given model stands
  a.VariogramParameters = {0.0f, 1.0f, 1.5f, -1, -1, -1, -1, -1, -1, -1};
  MotorKriging motor(real.string());
  const ResultadoMotor r = motor.run(a, Temporal("norte").string());
  ASSERT_TRUE(r.ok) << r.textoCompleto();
  EXPECT_TRUE(r.modelo.conocido);
  EXPECT_EQ(r.modelo.a, 1.5f);
  // The node on the first sample gives that sample.
  EXPECT_NEAR(r.salida.prediction[0], a.z[0], 1e-3);
  for (float v : r.salida.variance) EXPECT_GE(v, 0.0f);
  // The same request without the doubles is the singular system it used to be.
  a.xDoble.clear(), a.yDoble.clear();
  const ResultadoMotor f = motor.run(a, Temporal("norte-float").string());
  EXPECT_FALSE(f.ok);
  EXPECT_NE(f.detalles.find("singular"), std::string::npos) << f.detalles;
}

TEST(MotorKriging, EngineFailureReportsTheLogAndKeepsThePreviousResults) {
  const fs::path dir = Temporal("falla");
  std::ofstream(dir / "SKUEAJUS.SV") << "de una ejecución anterior\n";
  MotorKriging motor(Ayudante("falla.sh",
                              "printf 'I-  Obteniendo\\n\\n    Factorizando ...\\n\\n ERROR FATAL: matriz singular\\n' > KRIGING.LOG\n"
                              "echo parcial > SKUPRE.SUP\nexit 1"));
  ResultadoMotor r = motor.run(Ejemplo(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.cancelado);
  EXPECT_EQ(r.codigo, 1);
  // A Spanish lead naming the likely cause, the engine's text as detail.
  EXPECT_EQ(r.mensaje.rfind(kErrorLlamadaMotor, 0), 0u) << r.mensaje;
  EXPECT_NE(r.mensaje.find("datos con las mismas coordenadas"), std::string::npos) << r.mensaje;
  EXPECT_EQ(r.mensaje.find(".dll"), std::string::npos) << r.mensaje;
  EXPECT_EQ(r.detalles.rfind("El codigo de error es :1\n", 0), 0u) << r.detalles;
  EXPECT_NE(r.detalles.find("Factorizando ...\nERROR FATAL: matriz singular"), std::string::npos) << r.detalles;
  EXPECT_NE(r.textoCompleto().find("\nDetalles:\nEl codigo de error es :1"), std::string::npos);
  // The partial file stayed in the run's own folder, which is gone; the
  // earlier run's file is untouched; the failed log is kept apart.
  EXPECT_FALSE(fs::exists(dir / "SKUPRE.SUP"));
  EXPECT_EQ(Lee(dir / "SKUEAJUS.SV"), "de una ejecución anterior\n");
  EXPECT_FALSE(fs::exists(dir / "KRIGING.LOG"));
  EXPECT_NE(Lee(dir / kArchivoLogFallido).find("no terminó"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST(MotorKriging, DeathBySignalOrSilentExitIsAFailure) {
  const fs::path dir = Temporal("senal");
  MotorKriging motor(Ayudante("senal.sh", "kill -SEGV $$"));
  ResultadoMotor r = motor.run(Ejemplo(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.codigo, 128 + 11);
  EXPECT_NE(r.detalles.find("El codigo de error es :139"), std::string::npos) << r.detalles;
  EXPECT_NE(r.mensaje.find("señal 11"), std::string::npos) << r.mensaje;

  // Ending with status 0 but without the reply (an engine stopping the
  // process from inside) is no success either.
  MotorKriging mudo(Ayudante("mudo.sh", "exit 0"));
  r = mudo.run(Ejemplo(), dir.string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.detalles.find("sin devolver resultados"), std::string::npos) << r.detalles;
}

TEST(MotorKriging, AsynchronousRunCanBeCancelledOrTimedOut) {
  const fs::path dir = Temporal("lento");
  MotorKriging motor(Ayudante("lento.sh", "exec sleep 30"));
  ASSERT_TRUE(motor.start(Ejemplo(), dir.string()).ok);
  EXPECT_TRUE(motor.enMarcha());
  EXPECT_FALSE(motor.poll());
  EXPECT_FALSE(motor.start(Ejemplo(), dir.string()).ok);  // one run at a time
  const auto t0 = std::chrono::steady_clock::now();
  motor.cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_TRUE(motor.finished());
  EXPECT_TRUE(motor.resultado().cancelado);
  EXPECT_FALSE(motor.resultado().ok);

  ResultadoMotor r = motor.run(Ejemplo(), dir.string(), std::chrono::milliseconds(200));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("tiempo"), std::string::npos);
}

TEST(MotorKriging, LargeRepliesFlowWhilePolling) {
  // An echoing helper sends the request back as the reply: 1000 x 1000 nodes
  // are 8 MB each way, far beyond a socket buffer.
  const fs::path dir = Temporal("eco");
  // It also leaves the seven files of a whole run, so that they pass the
  // check made before they are moved in.
  MotorKriging motor(Ayudante("eco.sh",
                              "awk 'BEGIN{r=\"\"; for(j=0;j<1000;j++) r=r \"  1.0\";"
                              " print \"#  0  1\" > \"SKUPRE.SUP\";"
                              " for(f=0;f<2;f++){ n=f?\"SKUVAR.SUP\":\"SKUPRE.SUP\";"
                              " print \" GRID 1000 1000\" >> n; print \" -10000.0 0.25 0.25 0.0 0.0\" >> n;"
                              " for(i=0;i<1000;i++) print r >> n } }'\n"
                              "touch SKUESTIM.SV SKUESTIM.FMT SKUEAJUS.SV SKUEAJUS.FMT\n"
                              "printf ' Terminado.\\n' > KRIGING.LOG\n"
                              "{ printf SKUR; tail -c +5 <&3; } >&3"));
  ArgumentosSKU a = Ejemplo(1000, 1000);
  a.variance[999999] = 42.0f;
  ASSERT_TRUE(motor.start(a, dir.string()).ok);
  int vueltas = 0;
  while (!motor.poll()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_LT(++vueltas, 10000);
  }
  const ResultadoMotor& r = motor.resultado();
  ASSERT_TRUE(r.ok) << r.mensaje;
  EXPECT_EQ(r.salida.variance[999999], 42.0f);
  EXPECT_EQ(r.salida.prediction[1], -10000.0f);
  EXPECT_EQ(r.salida.nx, 1000);
  EXPECT_TRUE(fs::exists(dir / "SKUVAR.SUP"));
}

TEST(MotorKriging, MissingHelperIsAMessageAndTheHelperNeedsNoLibrary) {
  MotorKriging sinAyudante("/no/existe/sorvan-engine");
  ResultadoMotor r = sinAyudante.run(Ejemplo(), Temporal("nada").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("sorvan-engine"), std::string::npos);

  const fs::path real = fs::path(Construccion()) / "bin" / kNombreAyudanteMotor;
  if (!fs::exists(real)) GTEST_SKIP() << "sin " << real;
  // The real helper copied where no library is: the engine is linked into it,
  // so the run reaches the engine, which names the cause of its failure.
  const fs::path raiz = Temporal("instalacion");
  fs::create_directories(raiz / "bin");
  fs::copy_file(real, raiz / "bin" / kNombreAyudanteMotor);
  const char* antes = std::getenv("SORVAN_LIB_DIR");
  const std::string guardado = antes ? antes : "";
  ::setenv("SORVAN_LIB_DIR", (raiz / "vacio").c_str(), 1);
  MotorKriging motor((raiz / "bin" / kNombreAyudanteMotor).string());
  r = motor.run(Ejemplo(), (raiz / "trabajo").string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.codigo, 2);
  EXPECT_EQ(r.detalles.find("biblioteca"), std::string::npos) << r.detalles;
  EXPECT_NE(r.detalles.find("NOBS = 0"), std::string::npos) << r.detalles;
  if (antes) ::setenv("SORVAN_LIB_DIR", guardado.c_str(), 1);
  else ::unsetenv("SORVAN_LIB_DIR");
}
