// sorvan-engine: the helper process that makes one kriging run for the
// program that started it (see core/motor_kriging.h).
//
//   sorvan-engine --carpeta DIR --canal FD
//
// Reads the encoded 22 arguments from descriptor FD until its end, runs the
// engine's named interface (kriging_api.h, linked in) with the run's files in
// DIR, and writes back the arguments as the engine leaves them, followed by
// the run's summary: the fitted model, the lag table, the trend, the range and
// the warnings. Failures (bad request, unusable folder, invalid options, a
// numerical failure, a failed write) are sent back as "SKUE" followed by the
// Spanish message, a line break and the engine's own text, with a non-zero
// exit status. Cancelling the run kills this process.
#include <sys/prctl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/argumentos_sku.h"
#include "kriging_api.h"
#include "local_run.h"
#include "run_context.h"

using sorvan::ArgumentosSKU;
using sorvan::ResumenMotor;

namespace {

enum Salida { kBien = 0, kPeticionMala = 2, kFalloMotor = 2, kSinCarpeta = 5, kOpcionesMalas = 6 };

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

// The SKU argument record as named options: entries below their range take
// the engine's defaults, as SKU does.
kriging::KrigingOptions Opciones(const ArgumentosSKU& a, const std::string& carpeta) {
  kriging::KrigingOptions o;
  const auto& op = a.VariogramOptions;
  const auto& par = a.VariogramParameters;
  o.estimator = static_cast<kriging::Estimator>(op[0] < 1 ? 1 : op[0]);
  o.minPairs = op[1] < 1 ? 15 : op[1];
  o.maxFitIterations = op[2] < 1 ? 500 : op[2];
  o.fitMethod = static_cast<kriging::FitMethod>(op[3] < 1 ? 1 : op[3]);
  o.variableLags = op[4] >= 2;
  o.pairsPerClass = op[5];
  o.maxTrendIterations = op[6] < 1 ? 5 : op[6];
  o.firstLag = a.firstLag;
  o.lagWidth = a.lagWidth;
  o.lagCount = a.lagCount;
  o.fitLagCount = a.fitLagCount;
  o.modelCode = a.modelCode;
  o.trendDegree = a.trendDegree;
  if (par[0] >= 0) {
    o.hasStart = true;
    o.start = {par[0], par[1], par[2]};
  }
  if (par[4] > 0) o.gradientTolerance = par[4];
  if (par[8] > 0) o.trendTolerance = par[8];
  if (par[9] > 0) o.sillDistance = par[9];
  const sorvan::RejillaDoble g = a.rejilla();
  o.grid = {a.nx, a.ny, g.xMin, g.yMin, g.dx, g.dy};
  o.holeValue = a.holeValue;
  o.holeMask.assign(size_t(a.nx) * size_t(a.ny), 0);
  for (int j = 0; j < a.ny; ++j)
    for (int i = 0; i < a.nx; ++i)
      if (a.prediction[size_t(i) + size_t(j) * a.gridRows] == a.holeValue) o.holeMask[size_t(i) + size_t(j) * a.nx] = 1;
  o.outputFolder = carpeta;
  return o;
}

// The result back into the argument record, as SKU writes it back.
void Devuelve(const kriging::KrigingResult& r, const kriging::KrigingOptions& o, ArgumentosSKU& a) {
  a.firstLag = float(r.firstLag);
  a.lagWidth = float(r.lagWidth);
  a.lagCount = int32_t(r.lags.size());
  a.fitLagCount = r.fitLagCount;
  for (int j = 0; j < a.ny; ++j)
    for (int i = 0; i < a.nx; ++i) {
      a.prediction[size_t(i) + size_t(j) * a.gridRows] = float(r.prediction[size_t(i) + size_t(j) * a.nx]);
      a.variance[size_t(i) + size_t(j) * a.gridRows] = float(r.variance[size_t(i) + size_t(j) * a.nx]);
    }
  auto& op = a.VariogramOptions;
  op[0] = int32_t(o.estimator);
  op[1] = r.minPairs;
  op[2] = r.model.fitIterations;
  op[3] = int32_t(o.fitMethod);
  op[4] = o.variableLags ? 2 : 1;
  if (o.trendDegree > 0) op[6] = r.model.trendIterations;
  auto& par = a.VariogramParameters;
  par[0] = float(r.predictionLow);
  par[1] = float(r.predictionHigh);
  par[2] = float(r.model.a);
  par[3] = float(r.model.fitError);
  par[5] = float(r.model.start.c0);
  par[6] = float(r.model.start.c1);
  par[7] = float(r.model.start.a);
  if (o.trendDegree > 0) par[8] = float(r.model.trendChange);
}

ResumenMotor Resumen(const kriging::KrigingResult& r) {
  ResumenMotor s;
  s.modelo = r.model.code;
  s.c0 = r.model.c0, s.c1 = r.model.c1, s.a = r.model.a;
  s.errorAjuste = r.model.fitError;
  s.c0Ini = r.model.start.c0, s.c1Ini = r.model.start.c1, s.aIni = r.model.start.a;
  s.iteracionesAjuste = r.model.fitIterations;
  s.iteracionesTendencia = r.model.trendIterations;
  s.cambioTendencia = r.model.trendChange;
  s.meseta = r.model.sill;
  s.zMin = r.predictionLow, s.zMax = r.predictionHigh;
  s.variancesNegativas = r.negativeVariances;
  for (const kriging::LagClass& c : r.lags)
    s.saltos.push_back({c.lower, c.upper, c.distance, c.count, c.classical, c.robust});
  s.coeficientesTendencia = r.trendCoefficients;
  s.avisos = r.warnings;
  return s;
}

// The summary of a local run, from the state the run left in the process's
// run context and from the arguments it wrote back.
ResumenMotor ResumenLocal(const ArgumentosSKU& a) {
  ResumenMotor s;
  const kriging::VariogramModel& m = kriging::CurrentModel();
  s.modelo = m.code;
  s.c0 = m.c0, s.c1 = m.c1, s.a = m.a;
  const auto& par = a.VariogramParameters;
  s.errorAjuste = par[3];
  s.c0Ini = par[5], s.c1Ini = par[6], s.aIni = par[7];
  s.iteracionesAjuste = a.VariogramOptions[2];
  if (a.trendDegree > 0) s.iteracionesTendencia = a.VariogramOptions[6], s.cambioTendencia = par[8];
  s.meseta = kriging::ModelSill(m, par[9] > 0 ? par[9] : 0);
  s.zMin = par[0], s.zMax = par[1];
  const kriging::LagTable& t = kriging::CurrentLagTable();
  for (int k = 0; k < std::min(a.lagCount, kriging::kMaxLagClasses); ++k)
    s.saltos.push_back({t.bounds[k], t.bounds[k + 1], t.meanDistance[k], t.count[k], t.classical[k], t.robust[k]});
  s.coeficientesTendencia = kriging::CurrentContext().trendCoefficients;
  for (const kriging::ServiceMessage& m : kriging::CurrentErrorState().printed) s.avisos.push_back(m.text);
  if (!kriging::CurrentContext().trendConverged) s.avisos.push_back(kriging::kTrendLimitWarning);
  return s;
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

  if (carpeta.empty()) carpeta = ".";
  if (::access(carpeta.c_str(), W_OK) != 0)
    Falla(canal, kSinCarpeta, "No se puede trabajar en la carpeta " + carpeta + ": " + std::strerror(errno));

  if (a.local.activo) {
    // The local path writes its files in the current folder.
    if (::chdir(carpeta.c_str()) != 0)
      Falla(canal, kSinCarpeta, "No se puede trabajar en la carpeta " + carpeta + ": " + std::strerror(errno));
    // The services' messages go to the summary as well as to the log.
    kriging::CurrentErrorState().collect = true;
    const std::string problema = EjecutaLocal(a);
    if (!problema.empty()) Falla(canal, kPeticionMala, problema);
    Escribe(canal, sorvan::CodificaRespuesta(a, ResumenLocal(a)));
    return kBien;
  }

  kriging::KrigingData datos;
  if (!a.xDoble.empty()) {
    datos.x = a.xDoble;
    datos.y = a.yDoble;
  } else {
    datos.x.assign(a.x.begin(), a.x.end());
    datos.y.assign(a.y.begin(), a.y.end());
  }
  datos.z.assign(a.z.begin(), a.z.end());
  const kriging::KrigingOptions opciones = Opciones(a, carpeta);
  const kriging::KrigingResult r = kriging::Krige(datos, opciones);
  if (!r.ok()) {
    std::string texto = r.message;
    if (!r.detail.empty()) texto += "\n" + r.detail;
    Falla(canal, r.status == kriging::KrigingStatus::kInvalidOptions ? kOpcionesMalas : kFalloMotor, texto);
  }
  Devuelve(r, opciones, a);
  Escribe(canal, sorvan::CodificaRespuesta(a, Resumen(r)));
  return kBien;
}
