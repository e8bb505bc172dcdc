// sorvan-engine: the helper process that makes one kriging run for the
// program that started it (see core/kriging_engine.h).
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
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/sku_arguments.h"
#include "kriging_api.h"
#include "run_context.h"

using namespace sorvan::core;

using sorvan::core::SkuArguments;
using sorvan::core::EngineSummary;

namespace {

enum Salida { kOk = 0, kBadRequest = 2, kEngineFailure = 2, kNoFolder = 5, kBadOptions = 6 };

void WriteBytes(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t k = ::write(fd, data.data() + done, data.size() - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return;
    done += size_t(k);
  }
}

[[noreturn]] void Fails(int fd, Salida code, const std::string& message) {
  std::string reply = "SKUE";
  reply += message;
  WriteBytes(fd, reply);
  std::_Exit(code);
}

// The SKU argument record as named options: entries below their range take
// the engine's defaults, as SKU does.
kriging::KrigingOptions Options(const SkuArguments& a, const std::string& folder) {
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
  const sorvan::core::DoubleGrid g = a.grid();
  o.grid = {a.nx, a.ny, g.xMin, g.yMin, g.dx, g.dy};
  o.holeValue = a.holeValue;
  o.holeMask.assign(size_t(a.nx) * size_t(a.ny), 0);
  for (int j = 0; j < a.ny; ++j)
    for (int i = 0; i < a.nx; ++i)
      if (a.prediction[size_t(i) + size_t(j) * a.gridRows] == a.holeValue) o.holeMask[size_t(i) + size_t(j) * a.nx] = 1;
  o.outputFolder = folder;
  if (a.local.active) {
    // "Kriging Local": the engine's search neighbourhood (0 = no distance limit).
    kriging::Neighbourhood& v = o.neighbourhood;
    v.maxPoints = a.local.maxNeighbours;
    v.minPoints = a.local.minNeighbours;
    v.maxDistance = std::isfinite(a.local.maxDistance) && a.local.maxDistance > 0 ? a.local.maxDistance : 0;
    v.sectors = a.local.sectors;
    v.localTrend = a.local.localTrend != 0;
    v.localVariogram = a.local.localVariogram != 0;
    v.variogramSample = a.local.subsample;
    v.variogramSeed = a.local.seed;
  }
  return o;
}

// The result back into the argument record, as SKU writes it back.
void Returns(const kriging::KrigingResult& r, const kriging::KrigingOptions& o, SkuArguments& a) {
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

EngineSummary Summary(const kriging::KrigingResult& r) {
  EngineSummary s;
  s.model = r.model.code;
  s.c0 = r.model.c0, s.c1 = r.model.c1, s.a = r.model.a;
  s.fitError = r.model.fitError;
  s.c0Ini = r.model.start.c0, s.c1Ini = r.model.start.c1, s.aIni = r.model.start.a;
  s.fitIterations = r.model.fitIterations;
  s.trendIterations = r.model.trendIterations;
  s.trendChange = r.model.trendChange;
  s.sill = r.model.sill;
  s.zMin = r.predictionLow, s.zMax = r.predictionHigh;
  s.negativeVariances = r.negativeVariances;
  for (const kriging::LagClass& c : r.lags)
    s.lags.push_back({c.lower, c.upper, c.distance, c.count, c.classical, c.robust});
  s.trendCoefficients = r.trendCoefficients;
  s.trendCentreX = r.trendCentreX, s.trendCentreY = r.trendCentreY;
  s.trendScale = r.trendScale;
  s.warnings = r.warnings;
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  // A run whose caller has died (a closed or killed program) is of no use to
  // anyone: end with it rather than compute on as an orphan.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() == 1) return kBadRequest;
  std::string folder;
  int channel = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--carpeta") == 0) folder = argv[i + 1];
    else if (std::strcmp(argv[i], "--canal") == 0) channel = std::atoi(argv[i + 1]);
  }
  if (channel < 0) {
    const char* uso = "uso: sorvan-engine --carpeta DIR --canal FD (lo inicia Sorvan; no es para uso directo)\n";
    WriteBytes(2, uso);
    return kBadRequest;
  }

  std::string request;
  char block[65536];
  for (;;) {
    ssize_t k = ::read(channel, block, sizeof block);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    request.append(block, size_t(k));
  }
  SkuArguments a;
  std::string reason;
  if (!sorvan::core::DecodeArguments(request, false, a, &reason))
    Fails(channel, kBadRequest, "Petición al motor dañada: " + reason);
  request.clear();
  request.shrink_to_fit();

  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK) != 0)
    Fails(channel, kNoFolder, "No se puede trabajar en la carpeta " + folder + ": " + std::strerror(errno));

  kriging::KrigingData data;
  if (!a.xDouble.empty()) {
    data.x = a.xDouble;
    data.y = a.yDouble;
  } else {
    data.x.assign(a.x.begin(), a.x.end());
    data.y.assign(a.y.begin(), a.y.end());
  }
  data.z.assign(a.z.begin(), a.z.end());
  const kriging::KrigingOptions options = Options(a, folder);
  const kriging::KrigingResult r = kriging::Krige(data, options);
  if (!r.ok()) {
    std::string text = r.message;
    if (!r.detail.empty()) text += "\n" + r.detail;
    Fails(channel, r.status == kriging::KrigingStatus::kInvalidOptions ? kBadOptions : kEngineFailure, text);
  }
  Returns(r, options, a);
  if (a.local.active) {
    int64_t requested = 0;
    for (unsigned char hueco : options.holeMask) requested += hueco ? 0 : 1;
    a.local.holesFewNeighbours = r.tooFewNeighbours;
    a.local.holesSingular = r.singularNeighbourhoods;
    a.local.nodesComputed = requested - r.tooFewNeighbours - r.singularNeighbourhoods;
  }
  WriteBytes(channel, sorvan::core::EncodeReply(a, Summary(r)));
  return kOk;
}
