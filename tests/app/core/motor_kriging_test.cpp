// The engine runner: the byte encoding of the 22 arguments, and the child
// process seen from outside: stand-in helpers that fail, die, hang or echo,
// and the real helper without its library or without SKU.
#include "core/motor_kriging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
  MotorKriging motor(Ayudante("eco.sh", "{ printf SKUR; tail -c +5 <&3; } >&3"));
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
}

TEST(MotorKriging, MissingHelperLibraryOrSymbolIsAMessage) {
  MotorKriging sinAyudante("/no/existe/sorvan-engine");
  ResultadoMotor r = sinAyudante.run(Ejemplo(), Temporal("nada").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("sorvan-engine"), std::string::npos);

  const fs::path real = fs::path(Construccion()) / "bin" / kNombreAyudanteMotor;
  if (!fs::exists(real)) GTEST_SKIP() << "sin " << real;
  // The real helper copied where no ../lib holds the library, and the
  // environment pointing nowhere.
  const fs::path raiz = Temporal("instalacion");
  fs::create_directories(raiz / "bin");
  fs::create_directories(raiz / "lib");
  fs::copy_file(real, raiz / "bin" / kNombreAyudanteMotor);
  const char* antes = std::getenv("SORVAN_LIB_DIR");
  const std::string guardado = antes ? antes : "";
  ::setenv("SORVAN_LIB_DIR", (raiz / "vacio").c_str(), 1);
  MotorKriging motor((raiz / "bin" / kNombreAyudanteMotor).string());
  r = motor.run(Ejemplo(), (raiz / "trabajo").string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.codigo, 3);
  EXPECT_NE(r.detalles.find("No se puede cargar la biblioteca de kriging"), std::string::npos) << r.detalles;

  // A library of that name without SKU.
  for (const char* libm : {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6", "/lib64/libm.so.6"}) {
    if (!fs::exists(libm)) continue;
    fs::copy_file(libm, raiz / "lib" / kNombreBibliotecaMotor);
    r = motor.run(Ejemplo(), (raiz / "trabajo").string());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.codigo, 4);
    EXPECT_NE(r.detalles.find("no contiene la función SKU"), std::string::npos) << r.detalles;
    break;
  }
  if (antes) ::setenv("SORVAN_LIB_DIR", guardado.c_str(), 1);
  else ::unsetenv("SORVAN_LIB_DIR");
}
