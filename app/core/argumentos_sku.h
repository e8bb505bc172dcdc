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

namespace sorvan {

using FuncionSKU = void (*)(int32_t*, float*, float*, float*, float*, float*, int32_t*, int32_t*,
                            int32_t*, int32_t*, int32_t*, int32_t*, float*, float*, float*, float*,
                            int32_t*, float*, float*, float*, int32_t*, float*);

inline constexpr const char* kNombreBibliotecaMotor = "libkriging.so";
inline constexpr const char* kNombreFuncionMotor = "SKU";

// The search neighbourhood of a local run ("Kriging Local"). A request with
// activo == 0 is the global SKU call; with activo != 0 the helper runs the
// engine's local path (engine/local_run.h) on the same arguments and fills
// the counts of the reply.
struct VecindarioLocal {
  int32_t activo = 0;
  int32_t maxVecinos = 32, minVecinos = 1, sectores = 1;
  double distanciaMax = 0;       // > 0; +infinity: no limit
  int32_t tendenciaLocal = 1;    // "Tendencia": drift in every neighbourhood
  int32_t variogramaLocal = 0;   // "Variograma": pairs up to distanciaMax only
  int32_t submuestra = 0;        // semivariogram subsample (0: automatic)
  uint32_t semilla = 1;
  // Reply: nodes kriged, and holes for too few neighbours or a singular system.
  int64_t nodosCalculados = 0, huecosPocosVecinos = 0, huecosSingulares = 0;
};

// The grid's origin and spacing in double, as the program's options hold them.
struct RejillaDoble {
  double xMin = 0, yMin = 0, dx = 0, dy = 0;
};

struct ArgumentosSKU {
  int32_t n = 0;
  std::vector<float> z, x, y;          // n values each
  // The coordinates in double, as the data set holds them (empty: x, y).
  // Sent in requests only; the engine works on them relative to the data's
  // centre, so that points centimetres apart at millions of metres stay apart.
  std::vector<double> xDoble, yDoble;
  float firstLag = 0, lagWidth = 0;    // in/out
  int32_t lagCount = 0, fitLagCount = 0;  // in/out
  int32_t modelCode = 0, trendDegree = 0;
  int32_t nx = 0, ny = 0;
  float xMin = 0, yMin = 0, dx = 0, dy = 0;
  // The same grid in double (unset: xMin..dy). Carried both ways; the helper
  // places the nodes from it, since at a northing of millions of metres the
  // single values are up to half a metre off.
  std::optional<RejillaDoble> rejillaDoble;
  int32_t gridRows = 0;
  std::vector<float> prediction;       // gridRows * ny; in: holeValue = leave the node out
  std::vector<float> variance;         // gridRows * ny; out
  float holeValue = -10000.0f;
  std::array<int32_t, 7> VariogramOptions{-1, -1, -1, -1, -1, -1, -1};
  std::array<float, 10> VariogramParameters{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  VecindarioLocal local;               // sent only when local.activo

  // Sets the grid's origin and spacing: the double record and SKU's single
  // arguments rounded from it.
  void ponRejilla(double x0, double y0, double pasoX, double pasoY);
  // The grid as exactly as it is known: the double record, else the singles.
  RejillaDoble rejilla() const;

  // Sizes consistent (vectors as long as n and gridRows * ny say, gridRows >=
  // nx, no negative count)? `motivo` receives the first inconsistency.
  bool coherentes(std::string* motivo = nullptr) const;
  // Calls `sku` on these arguments in place. The engine writes the in/out
  // arguments, the grids and its files into the current working folder.
  void llama(FuncionSKU sku);
};

// What the engine reports of a run besides the arguments: the fitted model,
// the lag table, the trend, the range and every warning. Sent by the helper
// after the arguments in its reply; the program takes the model from here.
struct ClaseSaltoMotor {
  double inferior = 0, superior = 0, distancia = 0;
  int32_t pares = 0;
  double clasico = 0, robusto = 0;
};

struct ResumenMotor {
  int32_t modelo = 0;
  double c0 = 0, c1 = 0, a = 0;
  double errorAjuste = 0;
  double c0Ini = 0, c1Ini = 0, aIni = 0;
  int32_t iteracionesAjuste = 0, iteracionesTendencia = 0;
  double cambioTendencia = 0;
  double meseta = 0;
  double zMin = 0, zMax = 0;
  int32_t variancesNegativas = 0;
  std::vector<ClaseSaltoMotor> saltos;
  std::vector<double> coeficientesTendencia;
  // The frame of those coefficients: u = (x - centroTendenciaX) / escalaTendencia, v likewise.
  double centroTendenciaX = 0, centroTendenciaY = 0, escalaTendencia = 1;
  std::vector<std::string> avisos;
};

std::string CodificaResumen(const ResumenMotor& r);

// A reply: the arguments as the engine left them, then the summary.
std::string CodificaRespuesta(const ArgumentosSKU& a, const ResumenMotor& r);
bool DecodificaRespuesta(const std::string& bytes, ArgumentosSKU& a, ResumenMotor& r,
                         std::string* motivo = nullptr, int64_t limiteValores = 200'000'000);

// Byte encoding of the arguments for the engine helper process. A request
// carries every argument; a reply carries the same record after the call.
// Decoding checks sizes against `limiteValores` floats per array, so a broken
// stream cannot make the reader allocate without bound.
std::string CodificaArgumentos(const ArgumentosSKU& a, bool respuesta);
bool DecodificaArgumentos(const std::string& bytes, bool respuesta, ArgumentosSKU& a,
                          std::string* motivo = nullptr, int64_t limiteValores = 200'000'000);

}  // namespace sorvan
