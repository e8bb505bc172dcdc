#pragma once
// The engine's interface with names: one complete 2-D kriging run from data
// and options to a result, for the command-line tool, the desktop program's
// engine helper and the tests.
//
// Unlike SKU, a run never ends the process: invalid options, numerical
// failures (a singular system, a covariance that is not positive definite),
// memory exhaustion and failed writes come back as a status and a Spanish
// message. Runs are independent: each owns its working state (run_context.h),
// so runs in several threads at once give the same results as one after the
// other.
//
// Coordinates are doubles. The engine computes in single precision on
// coordinates relative to the centre of the data's bounding box, so that
// points a fraction of a metre apart at projected coordinates of millions of
// metres stay distinct.
#include <cstdint>
#include <string>
#include <vector>

namespace kriging {

// The scattered data: x[i], y[i], z[i] is point i. The three have one length.
struct KrigingData {
  std::vector<double> x, y, z;
};

enum class Estimator : std::int32_t { kClassical = 1, kRobust = 2 };

// How the model is fitted to the lag classes: alternating (c0, c1 by
// regression, then a), direct (all parameters by the bounded solver), not
// at all (the starting model is used as given), or global (direct fits from
// several starts, the best kept: variogram_fit_global.h).
enum class FitMethod : std::int32_t { kAlternating = 1, kDirect = 2, kNone = 3, kGlobal = 4 };

// c0 nugget, c1 partial sill (slope, scale), a range (scale, exponent); the
// meaning of each per model is in the model table (variogram_models.h).
struct ModelParameters {
  double c0 = 0, c1 = 0, a = 0;
};

// The search neighbourhood of each node. The defaults mean global kriging:
// every datum takes part in every node's system.
struct Neighbourhood {
  int maxPoints = 0;         // nearest data used per node; 0 = all
  int minPoints = 0;         // fewer data within reach: the node is left as a hole
  double maxDistance = 0;    // search radius; 0 = unlimited
  int sectors = 1;           // angular sectors sharing maxPoints (1, 4 or 8)
  bool localTrend = false;   // "Tendencia": the drift in every neighbourhood's system;
                             // false: one global trend removed and added back
  bool localVariogram = false;  // "Variograma": semivariogram from pairs up to maxDistance
  int variogramSample = 0;   // semivariogram of a random subsample of this many data (0: automatic)
  std::uint64_t variogramSeed = 1;  // seed of that subsample
  // A local run (local_run.h) takes 1 to 500 points and 1 or 4 sectors.
  bool IsGlobal() const { return maxPoints <= 0 && maxDistance <= 0; }
};

// The regular grid: node (i, j), i = 0..nx-1 along x, j = 0..ny-1 along y, at
// (xMin + i dx, yMin + j dy); grids in results are stored at i + j * nx.
struct GridSpec {
  int nx = 0, ny = 0;
  double xMin = 0, yMin = 0, dx = 0, dy = 0;
};

struct KrigingOptions {
  // Empirical semivariogram.
  Estimator estimator = Estimator::kClassical;
  bool variableLags = false;   // variable-length classes of a minimum pair count
  double firstLag = 0;         // regular classes: centre of the first class
  double lagWidth = 0;         // <= 0: twice firstLag
  int lagCount = 0;            // < 1: automatic classes (firstLag, lagWidth chosen too)
  int pairsPerClass = 0;       // variable classes: < 1 automatic (20 or 30)
  int fitLagCount = 0;         // classes offered to the fit; < 1: the default rule
  int minPairs = 15;           // a class takes part in the fit with more pairs than this

  // Model and fit.
  int modelCode = 1;           // a code of the model table (1..6 built in)
  FitMethod fitMethod = FitMethod::kAlternating;
  bool hasStart = false;       // false: starting values from the data
  ModelParameters start;       // starting (or, with kNone, fixed) model
  int maxFitIterations = 500;  // bounded solver's iteration limit
  double gradientTolerance = 0;  // > 0 replaces the solver's default

  // Trend (universal kriging) and the Neuman-Jacobson iteration.
  int trendDegree = 0;         // 0..3
  int maxTrendIterations = 5;
  double trendTolerance = 0.005;
  double sillDistance = 0;     // linear and power models: the sill is gamma(L sqrt 2)

  // Grid and holes: a node is left out when holeMask (nx * ny entries, index
  // i + j * nx, may be empty) is non-zero there; its results hold holeValue.
  GridSpec grid;
  std::vector<std::uint8_t> holeMask;
  double holeValue = -10000.0;

  Neighbourhood neighbourhood;

  // Folder for the run's files (KRIGING.LOG, SKUESTIM.SV/.FMT, SKUEAJUS.SV/.FMT,
  // SKUPRE.SUP, SKUVAR.SUP); empty: no files are written.
  std::string outputFolder;
};

enum class KrigingStatus {
  kOk = 0,
  kInvalidOptions,     // refused before any work; message names the option
  kNumericalFailure,   // the numerical services stopped the run
  kOutOfMemory,        // a work array could not be obtained
  kWriteFailure,       // a result file could not be written
};

struct FittedModel {
  int code = 1;
  double c0 = 0, c1 = 0, a = 0;
  double fitError = 0;          // sum N_i (gamma^_i / gamma(h_i) - 1)^2
  ModelParameters start;        // the starting values used
  int fitIterations = 0;        // the solver's iteration limit as the fit left it
  int trendIterations = 0;      // Neuman-Jacobson iterations performed (0 without trend)
  double trendChange = 0;       // their last relative change
  double sill = 0;              // the model's sill (c0 + c1 for bounded models)
};

struct LagClass {
  double lower = 0, upper = 0;  // class limits
  double distance = 0;          // mean pair distance
  int count = 0;                // pairs
  double classical = 0, robust = 0;
};

// The entry of KrigingResult::warnings of a trend iteration that reached its
// limit without converging (the run's log says the same).
inline constexpr const char* kTrendLimitWarning =
    "Se alcanzó el nº máximo de iteraciones de la tendencia sin converger";

struct KrigingResult {
  KrigingStatus status = KrigingStatus::kOk;
  std::string message;          // Spanish; empty when kOk
  std::string detail;           // the numerical services' own text, if any

  FittedModel model;
  std::vector<LagClass> lags;   // every class estimated
  double firstLag = 0, lagWidth = 0;
  int fitLagCount = 0;          // classes offered to the fit
  int minPairs = 0;             // the minimum actually used
  // Drift coefficients, in the frame u = (x - trendCentreX) / trendScale,
  // v likewise (monomials 1, u, v, uu, uv, vv, uuu, uuv, vvu, vvv).
  std::vector<double> trendCoefficients;
  double trendCentreX = 0, trendCentreY = 0, trendScale = 1;

  // nx * ny values at i + j * nx; holes hold the hole value.
  std::vector<double> prediction, variance;
  double predictionLow = 0, predictionHigh = 0;  // +inf / -inf when no node was kriged
  int negativeVariances = 0;    // nodes whose variance was clearly below zero
  // Local runs: nodes left as holes for too few neighbours, or for a singular
  // neighbourhood system (never given a number).
  long long tooFewNeighbours = 0, singularNeighbourhoods = 0;

  // Every message of the numerical services and of the run, in order.
  std::vector<std::string> warnings;
  std::string log;              // the run log, as written to KRIGING.LOG

  bool ok() const { return status == KrigingStatus::kOk; }
};

// Checks the options against n data points: codes in range, grid, lags,
// starting or fixed model (c0 >= 0, c1 > 0, a > 0, power exponent in (0, 2)).
// Returns "" when valid, else a Spanish message naming the parameter.
std::string Validate(const KrigingOptions& options, int n);

// One complete run. Never ends the process; see KrigingResult::status.
KrigingResult Krige(const KrigingData& data, const KrigingOptions& options);

}  // namespace kriging
