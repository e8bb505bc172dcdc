#pragma once
// The kriging options of a run and their automatic values.
#include <cstdint>
#include <string>
#include <limits>
#include <vector>

#include "core/spatial_data.h"
#include "core/profile.h"
#include "core/progress.h"
#include "core/result.h"

namespace sorvan::core {

inline constexpr float kHoleValue = -10000.0f;  // marks a grid node that is not kriged
inline constexpr int kMaxLags = 100;           // lag classes the engine can hold
inline constexpr int64_t kMaxGridNodes = 4'000'000;  // nodes of one prediction grid
inline constexpr const char* kNAjusWarning =
    "El nº de saltos para el ajuste no debe ser mayor que el nº de saltos estimados "
    "(se toma NAjus=NSaltos)";

// Fitting method of the engine (its integer option 4). kEngineFit lets the
// engine choose (alternating); kNoFit keeps the starting values, which is
// how a known variogram is kriged; kGlobalFit (direct fits from several
// starts) exists only in the named interface, which the engine helper uses.
enum MetodoAjuste : int32_t {
  kEngineFit = -1, kAlternateFit = 1, kDirectFit = 2, kNoFit = 3, kGlobalFit = 4
};

struct OpcionesKriging {
  int32_t Media = 0;       // trend degree: 0 constant (ordinary kriging), 1 linear, 2 quadratic, 3 cubic
  int32_t Modelo = 0;      // 1 spherical, 2 exponential, 3 linear, 4 power, 5 rational quadratic, 6 oscillatory
  int32_t Estimador = 0;   // 1 classical, 2 robust
  int16_t LongVar = 0;     // 0 fixed-width lags; non-zero: variable-width lags of NApor pairs each
  int32_t NApor = 0;       // pairs per lag in variable-width mode
  float SaltoIni = 0;      // distance of the first lag (the engine may return its own)
  float RSalto = 0;        // lag width (the engine may return its own)
  int32_t NSaltos = 0;     // number of lags, at most kMaxLags
  int32_t NAjus = 0;       // number of lags used in the model fit
  int32_t NMinAjus = 0;    // a lag enters the fit only with more pairs than this
  int32_t NRx = 0, NRy = 0;        // grid nodes along X and Y
  // In double: at projected coordinates of millions of metres single
  // precision would move the grid by up to half a metre.
  double MinRx = 0, MinRy = 0;     // coordinates of the first grid node
  double LRx = 0, LRy = 0;         // node spacing along X and Y
  int16_t VerSupPred = 0, VerSupVar = 0, VerAjuste = 0, VerEstimadores = 0;  // windows to open after a run
  int16_t VerSupTend = 0;  // "Generar gráfico con tendencia": the trend surface too, when Media > 0
  // Files the surfaces are exported to after each run ("" for none; a name
  // without folder goes into the result folder; the format by the extension).
  std::string GuardarPred, GuardarVar;
  // Engine fitting method and starting values (c0, c1, a); a negative C0Ini
  // asks the engine for its own initial approximation.
  int32_t MetodoAjuste = kEngineFit;
  float C0Ini = -1.0f, C1Ini = -1.0f, AIni = -1.0f;
  Profile profile;           // the associated profile, if any (perfil.npts > 0)
  // Search neighbourhood ("Kriging Local"); off: global kriging.
  int16_t KrigingLocal = 0;
  int32_t NVecinos = 32;       // N: data taken for each node (N/4 per quadrant with Cuadrantes)
  int32_t NMinVecinos = 1;     // M: fewer leave the node as a hole
  float DistVecinos = std::numeric_limits<float>::infinity();  // D > 0; infinity: no limit
  int16_t Cuadrantes = 0;      // quadrant search
  int16_t VarioLocal = 0;      // "Variograma": semivariogram from pairs up to D only
  int16_t TendLocal = 1;       // "Tendencia": drift in every neighbourhood, else one global trend
  int32_t Submuestra = 0;      // semivariogram subsample (0: automatic)
  uint32_t Semilla = 1;        // its seed
};

// Above this many points ComputeDistances does not visit every pair.
inline constexpr int kAllPairsPoints = 4000;

// Derived values of the data kept beside the options.
struct DataDistances {
  std::vector<double> shortest;  // the up to 30 shortest pair distances, ascending
  float largest = 0;             // largest distance between two data points
  float smallest = 0;             // shortest distance
  float smallestPositive = 0;     // shortest non-zero distance (0 when there is none)
  bool cancelled = false;      // the progress function asked to stop: nothing above is set
};

// Distances between the points of columns colX and colY (1-based), computed
// in double from the single coordinates; pairs i < j visited in order, each
// new distance inserted before the first kept one that is >= it, keeping at
// most `count`. Cost O(N² · cuantas) in the worst case, O(N²) typically;
// above kAllPairsPoints points the same values come from a k-d tree and
// the convex hull (TreeDistances, O(N log N)), which tells `progress`
// how far it has got and stops (cancelado) when it answers false.
DataDistances ComputeDistances(const SpatialData& data, int colX, int colY, int count = 30,
                                  const ProgressCallback& progress = {});

// Lag parameters from the m-th and the first shortest distance (m = 30 when
// N > 25, else 20): RSalto, SaltoIni and NSaltos (capped at kMaxLags). With
// fewer than m pairs the largest kept distance stands for the m-th; when that
// is 0 (coincident points) the shortest non-zero distance stands for both.
void LagParameters(const DataDistances& d, int N, OpcionesKriging& op);

// Grid of nx by ny nodes reaching half a spacing beyond the extremes of columns
// colX and colY: LRx = (max - min)/(nx - 2), MinRx = min - LRx/2; likewise Y.
// Refused (options untouched) when nx or ny is below 3, where the rule has no
// spacing. Sets NRx, NRy, LRx, LRy, MinRx, MinRy.
Result AutomaticGrid(const SpatialData& data, int colX, int colY, int nx, int ny,
                            OpcionesKriging& op);

// Grid of nx by ny nodes at the centres of equal cells of the profile's
// bounding box: LRx = (maxX - minX)/nx, MinRx = minX + LRx/2; likewise Y.
// Refused when nx or ny is below 1 or no profile is associated.
Result ProfileGrid(const Profile& profile, int nx, int ny, OpcionesKriging& op);

// Sets every option to its automatic value for the data and the X and Y
// columns (1-based): trend 0, fixed lags, NApor and Modelo by N (> 25: 30 and
// spherical, else 20 and linear), classical estimator, lag parameters from the
// shortest distances, NAjus = NSaltos/2 rounded half to even (at least 3),
// NMinAjus 15, a 50 by 50 automatic grid, no profile, the prediction and fit
// windows on, engine fitting method and starting values automatic.
// Refused (options untouched) when there are fewer than 2 data, a column is
// out of range, or all points lie at one place.
// `distances`, if given, receives the derived distances. `progress` follows
// the distances of a large data set; its false answer cancels (kCancelledText,
// options untouched).
Result OpcionesPorDefecto(const SpatialData& data, int colX, int colY, OpcionesKriging& op,
                             DataDistances* distances = nullptr, const ProgressCallback& progress = {});

// Nearest integer with halves to even, as the program rounds its integer options.
int32_t RoundToEven(double v);

}  // namespace sorvan::core
