// sorvan-engine: the helper process that makes one call of the kriging
// engine for the program that started it (see core/motor_kriging.h).
//
//   sorvan-engine --carpeta DIR --canal FD
//
// Reads the encoded 22 arguments from descriptor FD until its end, loads
// libkriging.so by file name, looks SKU up by name, calls it in DIR and writes
// the arguments as the engine left them back to FD. Its own failures (bad
// request, library or entry point missing, unusable folder) are sent back as
// "SKUE" followed by the message. A fatal error inside the engine ends this
// process only.
#include <dlfcn.h>
#include <sys/prctl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/argumentos_sku.h"
#include "local_run.h"

namespace fs = std::filesystem;
using sorvan::ArgumentosSKU;

namespace {

enum Salida { kBien = 0, kPeticionMala = 2, kSinBiblioteca = 3, kSinFuncion = 4, kSinCarpeta = 5 };

void Escribe(int fd, const std::string& datos) {
  size_t hecho = 0;
  while (hecho < datos.size()) {
    ssize_t k = ::write(fd, datos.data() + hecho, datos.size() - hecho);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return;
    hecho += size_t(k);
  }
}

[[noreturn]] void Falla(int fd, Salida codigo, const std::string& mensaje) {
  std::string respuesta = "SKUE";
  respuesta += mensaje;
  Escribe(fd, respuesta);
  std::_Exit(codigo);
}

// The library by file name: beside the program's installation first, then
// where SORVAN_LIB_DIR says, then wherever the dynamic loader looks.
void* CargaBiblioteca(std::string& errores) {
  std::vector<std::string> candidatos;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) candidatos.push_back((exe.parent_path() / ".." / "lib" / sorvan::kNombreBibliotecaMotor).string());
  if (const char* dir = std::getenv("SORVAN_LIB_DIR"); dir && *dir)
    candidatos.push_back((fs::path(dir) / sorvan::kNombreBibliotecaMotor).string());
  candidatos.push_back(sorvan::kNombreBibliotecaMotor);
  for (const std::string& ruta : candidatos) {
    if (ruta.find('/') != std::string::npos && !fs::exists(ruta, ec)) continue;
    if (void* h = ::dlopen(ruta.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    const char* e = ::dlerror();
    errores += '\n';
    errores += e ? e : ruta.c_str();
  }
  return nullptr;
}

// A local run ("Kriging Local"): the engine's local path, linked into this
// helper, on the same arguments; a fatal error still ends only this process.
// Returns the message of options the local path cannot take (nothing run).
std::string EjecutaLocal(ArgumentosSKU& a) {
  const kriging::KrigingRun run{a.n, a.z.data(), a.x.data(), a.y.data(), a.firstLag, a.lagWidth,
                                a.lagCount, a.fitLagCount, a.modelCode, a.trendDegree, a.nx,
                                a.ny, a.xMin, a.yMin, a.dx, a.dy, a.gridRows,
                                a.prediction.data(), a.variance.data(), a.holeValue,
                                a.VariogramOptions.data(), a.VariogramParameters.data()};
  kriging::LocalRunOptions o;
  o.neighbourhood.maxPoints = a.local.maxVecinos;
  o.neighbourhood.minPoints = a.local.minVecinos;
  o.neighbourhood.maxDistance = a.local.distanciaMax;
  o.neighbourhood.sectors = a.local.sectores;
  o.localTrend = a.local.tendenciaLocal != 0;
  o.neighbourhoodVariogram = a.local.variogramaLocal != 0;
  o.sampleSize = a.local.submuestra;
  o.seed = a.local.semilla;
  const std::string problema = kriging::CheckLocalRun(run, o);
  if (!problema.empty()) return problema;
  const kriging::LocalKrigingSummary resumen = kriging::RunLocalKriging(run, o);
  a.local.nodosCalculados = resumen.kriged;
  a.local.huecosPocosVecinos = resumen.tooFewNeighbours;
  a.local.huecosSingulares = resumen.singular;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  // A run whose caller has died (a closed or killed program) is of no use to
  // anyone: end with it rather than compute on as an orphan.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() == 1) return kPeticionMala;
  std::string carpeta;
  int canal = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--carpeta") == 0) carpeta = argv[i + 1];
    else if (std::strcmp(argv[i], "--canal") == 0) canal = std::atoi(argv[i + 1]);
  }
  if (canal < 0) {
    const char* uso = "uso: sorvan-engine --carpeta DIR --canal FD (lo inicia Sorvan; no es para uso directo)\n";
    Escribe(2, uso);
    return kPeticionMala;
  }

  std::string peticion;
  char bloque[65536];
  for (;;) {
    ssize_t k = ::read(canal, bloque, sizeof bloque);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    peticion.append(bloque, size_t(k));
  }
  ArgumentosSKU a;
  std::string motivo;
  if (!sorvan::DecodificaArgumentos(peticion, false, a, &motivo))
    Falla(canal, kPeticionMala, "Petición al motor dañada: " + motivo);
  peticion.clear();
  peticion.shrink_to_fit();

  if (!carpeta.empty() && ::chdir(carpeta.c_str()) != 0)
    Falla(canal, kSinCarpeta, "No se puede trabajar en la carpeta " + carpeta + ": " + std::strerror(errno));

  if (a.local.activo) {
    const std::string problema = EjecutaLocal(a);
    if (!problema.empty()) Falla(canal, kPeticionMala, problema);
    Escribe(canal, sorvan::CodificaArgumentos(a, true));
    return kBien;
  }

  std::string errores;
  void* biblioteca = CargaBiblioteca(errores);
  if (!biblioteca)
    Falla(canal, kSinBiblioteca,
          std::string("No se puede cargar la biblioteca de kriging ") + sorvan::kNombreBibliotecaMotor + errores);
  auto sku = reinterpret_cast<sorvan::FuncionSKU>(::dlsym(biblioteca, sorvan::kNombreFuncionMotor));
  if (!sku)
    Falla(canal, kSinFuncion,
          std::string("La biblioteca de kriging no contiene la función ") + sorvan::kNombreFuncionMotor);

  a.llama(sku);
  Escribe(canal, sorvan::CodificaArgumentos(a, true));
  return kBien;
}
