#pragma once
// The 22 arguments of the engine entry point SKU, held by value, in the
// engine's order. The engine takes every argument by reference, arrays as a
// pointer to their first element; the grids are column-major with leading
// dimension gridRows (node (i, j), 1-based, at offset (i-1) + (j-1)*gridRows).
//
//   extern "C" void SKU(int32_t* n, float* z, float* x, float* y,
//                       float* firstLag, float* lagWidth, int32_t* lagCount,
//                       int32_t* fitLagCount, int32_t* modelCode, int32_t* trendDegree,
//                       int32_t* nx, int32_t* ny, float* xMin, float* yMin, float* dx,
//                       float* dy, int32_t* gridRows, float* prediction, float* variance,
//                       float* holeValue, int32_t* VariogramOptions,
//                       float* VariogramParameters);
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorvan::core {

using SkuFunction = void (*)(int32_t*, float*, float*, float*, float*, float*, int32_t*, int32_t*,
                            int32_t*, int32_t*, int32_t*, int32_t*, float*, float*, float*, float*,
                            int32_t*, float*, float*, float*, int32_t*, float*);

inline constexpr const char* kEngineLibraryName = "libkriging.so";
inline constexpr const char* kEngineFunctionName = "SKU";

// The search neighbourhood of a local run ("Kriging Local"). A request with
// activo == 0 is the global SKU call; with activo != 0 the helper runs the
// engine's local path (engine/local_run.h) on the same arguments and fills
// the counts of the reply.
struct LocalNeighbourhood {
  int32_t active = 0;
  int32_t maxNeighbours = 32, minNeighbours = 1, sectors = 1;
  double maxDistance = 0;       // > 0; +infinity: no limit
  int32_t localTrend = 1;    // "Tendencia": drift in every neighbourhood
  int32_t localVariogram = 0;   // "Variograma": pairs up to maxDistance only
  int32_t subsample = 0;        // semivariogram subsample (0: automatic)
  uint32_t seed = 1;
  // Reply: nodes kriged, and holes for too few neighbours or a singular system.
  int64_t nodesComputed = 0, holesFewNeighbours = 0, holesSingular = 0;
};

// The grid's origin and spacing in double, as the program's options hold them.
struct DoubleGrid {
  double xMin = 0, yMin = 0, dx = 0, dy = 0;
};

struct SkuArguments {
  int32_t n = 0;
  std::vector<float> z, x, y;          // n values each
  // The coordinates in double, as the data set holds them (empty: x, y).
  // Sent in requests only; the engine works on them relative to the data's
  // centre, so that points centimetres apart at millions of metres stay apart.
  std::vector<double> xDouble, yDouble;
  float firstLag = 0, lagWidth = 0;    // in/out
  int32_t lagCount = 0, fitLagCount = 0;  // in/out
  int32_t modelCode = 0, trendDegree = 0;
  int32_t nx = 0, ny = 0;
  float xMin = 0, yMin = 0, dx = 0, dy = 0;
  // The same grid in double (unset: xMin..dy). Carried both ways; the helper
  // places the nodes from it, since at a northing of millions of metres the
  // single values are up to half a metre off.
  std::optional<DoubleGrid> doubleGrid;
  int32_t gridRows = 0;
  std::vector<float> prediction;       // gridRows * ny; in: holeValue = leave the node out
  std::vector<float> variance;         // gridRows * ny; out
  float holeValue = -10000.0f;
  std::array<int32_t, 7> VariogramOptions{-1, -1, -1, -1, -1, -1, -1};
  std::array<float, 10> VariogramParameters{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  LocalNeighbourhood local;               // sent only when local.activo

  // Sets the grid's origin and spacing: the double record and SKU's single
  // arguments rounded from it.
  void setGrid(double x0, double y0, double pasoX, double pasoY);
  // The grid as exactly as it is known: the double record, else the singles.
  DoubleGrid grid() const;

  // Sizes consistent (vectors as long as n and gridRows * ny say, gridRows >=
  // nx, no negative count)? `reason` receives the first inconsistency.
  bool consistent(std::string* reason = nullptr) const;
  // Calls `sku` on these arguments in place. The engine writes the in/out
  // arguments, the grids and its files into the current working folder.
  void call(SkuFunction sku);
};

// What the engine reports of a run besides the arguments: the fitted model,
// the lag table, the trend, the range and every warning. Sent by the helper
// after the arguments in its reply; the program takes the model from here.
struct EngineLagClass {
  double lower = 0, upper = 0, distance = 0;
  int32_t pairs = 0;
  double classical = 0, robust = 0;
};

struct EngineSummary {
  int32_t model = 0;
  double c0 = 0, c1 = 0, a = 0;
  double fitError = 0;
  double c0Ini = 0, c1Ini = 0, aIni = 0;
  int32_t fitIterations = 0, trendIterations = 0;
  double trendChange = 0;
  double sill = 0;
  double zMin = 0, zMax = 0;
  int32_t negativeVariances = 0;
  std::vector<EngineLagClass> lags;
  std::vector<double> trendCoefficients;
  // The frame of those coefficients: u = (x - trendCentreX) / trendScale, v likewise.
  double trendCentreX = 0, trendCentreY = 0, trendScale = 1;
  std::vector<std::string> warnings;
};

std::string EncodeSummary(const EngineSummary& r);

// A reply: the arguments as the engine left them, then the summary.
std::string EncodeReply(const SkuArguments& a, const EngineSummary& r);
bool DecodeReply(const std::string& bytes, SkuArguments& a, EngineSummary& r,
                         std::string* reason = nullptr, int64_t valueLimit = 200'000'000);

// Byte encoding of the arguments for the engine helper process. A request
// carries every argument; a reply carries the same record after the call.
// Decoding checks sizes against `valueLimit` floats per array, so a broken
// stream cannot make the reader allocate without bound.
std::string EncodeArguments(const SkuArguments& a, bool reply);
bool DecodeArguments(const std::string& bytes, bool reply, SkuArguments& a,
                          std::string* reason = nullptr, int64_t valueLimit = 200'000'000);

}  // namespace sorvan::core
