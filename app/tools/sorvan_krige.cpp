// sorvan-krige: kriging of a ".dae" data file from the command line, for
// batch work and scripting. Same data reader, automatic options and engine
// call as the desktop program; see Help() for the options.
//
// Exit status: 0 success, 1 bad input or engine failure (message on standard
// error), 2 usage error.
#include <algorithm>
#include <array>
#include <fstream>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/cross_validation_run.h"
#include "core/spatial_data.h"
#include "core/run_kriging.h"
#include "core/resource_estimate.h"
#include "core/kriging_engine.h"
#include "core/kriging_options.h"
#include "core/profile.h"
#include "core/run_warnings.h"
#include "core/kriging_session.h"
#include "core/delimited_text.h"
#include "platform/gis/point_layer.h"
#include "platform/gis/export_formats.h"
#include "core/options_validation.h"

namespace fs = std::filesystem;
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

constexpr int kExitOk = 0, kExitError = 1, kSalidaUso = 2;

const char* const kModelNames[] = {"spherical", "exponential", "linear", "power", "rational-quadratic",
                                      "oscillatory"};
const char* const kSpanishModels[] = {"esférico", "exponencial", "lineal", "potencial", "racional-cuadrático",
                                  "oscilatorio"};
const char* const kSpanishTrends[] = {"constante, kriging ordinario", "lineal, kriging universal",
                                     "cuadrática, kriging universal", "cúbica, kriging universal"};

void Help() {
  std::cout <<
R"(Uso: sorvan-krige DATOS [opciones]

Kriging 2D de una variable de un archivo de datos espaciales: ".dae", texto
delimitado con cabecera (".csv", ".tsv", ".txt") o capa GIS de puntos
(".gpkg", ".shp", ".geojson"). Las filas sin X, Y o Z quedan fuera. Escribe en
la carpeta de resultados los archivos del motor (KRIGING.LOG, SKUESTIM.SV,
SKUESTIM.FMT, SKUEAJUS.SV, SKUEAJUS.FMT, SKUPRE.SUP, SKUVAR.SUP) e imprime un
resumen: las opciones usadas, el modelo ajustado, el error del ajuste y el
rango de la predicción. El cálculo trabaja en una carpeta temporal dentro de la
de resultados y sus archivos sustituyen a los anteriores solo si termina bien y
están completos; una carpeta en uso por otro cálculo se rechaza.

Columnas (número desde 1 o nombre de la variable):
  --x COL                 coordenada X (por defecto 1)
  --y COL                 coordenada Y (por defecto 2)
  --z COL                 variable a interpolar (por defecto 3)
  --out DIR               carpeta de resultados (por defecto la actual; se crea si falta)

Opciones de kriging (la que no se da toma su valor automático):
  --trend 0..3            grado de la tendencia: 0 constante (kriging ordinario),
                          1 lineal, 2 cuadrática, 3 cúbica (kriging universal)
  --model M               modelo de semivariograma: 1..6 o spherical, exponential,
                          linear, power, rational-quadratic, oscillatory
                          (automático: spherical con más de 25 datos, si no linear)
  --estimator E           classical | robust (automático: classical)
  --first-lag D           distancia del primer salto
  --lag-width D           anchura de los saltos (0: el doble del primer salto)
  --lags N                nº de saltos, 1 a 100
  --fit-lags N            nº de saltos usados en el ajuste (no mayor que --lags)
  --min-pairs N           un salto entra en el ajuste si tiene más pares que N (15)
  --variable-lags PARES   saltos de longitud variable con PARES pares cada uno
  --grid NX,NY            nodos de la rejilla (50,50); sin --spacing, la rejilla
                          automática se calcula para ese tamaño (NX, NY >= 3)
  --origin X,Y            coordenadas del primer nodo (automático: medio
                          espaciado antes del mínimo de los datos)
  --spacing DX,DY         espaciado de los nodos (automático: el rango de los
                          datos entre NX-2 y NY-2)
  --profile ARCHIVO.per   perfil que excluye nodos de la rejilla
  --exclude outside|inside  nodos excluidos por el perfil (por defecto outside)
  --fit alternating|direct|global|none
                          método de ajuste del modelo (por defecto el del motor,
                          alternating); global prueba varios puntos de partida
                          y se queda con el mejor ajuste; none conserva el
                          modelo de --start
  --start C0,C1,A         valores iniciales del modelo (pepita, meseta o
                          pendiente, alcance o exponente)
  --neighbours N          kriging local: los N datos más cercanos a cada nodo
                          (con --sectors 4, N/4 por cuadrante); sin esta opción
                          ni las tres siguientes, kriging con todos los datos
  --min-neighbours M      un nodo con menos de M vecinos queda sin valor (1)
  --max-distance D        solo vecinos a distancia no mayor que D (sin límite)
  --sectors 1|4           4: búsqueda por cuadrantes (1)
  --global-trend          kriging local con una tendencia global (ajustada una vez
                          por mínimos cuadrados generalizados) en vez de la deriva
                          en cada vecindario ("Tendencia" sin marcar)
  --neighbourhood-variogram
                          semivariograma solo con pares hasta --max-distance
                          ("Variograma")
  --variogram-sample S    semivariograma de una submuestra aleatoria de S datos
  --variogram-seed K      semilla de esa submuestra (1)
  --duplicates average|first|error
                          puntos en las mismas coordenadas: promediarlos, tomar
                          el primero de cada grupo, o parar nombrando las filas
                          (por defecto error)
  --missing VALOR         número que en los datos significa «valor ausente»
                          (además de NA y los campos vacíos), p. ej. -9999

Exportación de las superficies (además de los archivos del motor):
  --export RUTA           repetible; formato según la extensión: .tif/.tiff
                          (GeoTIFF, banda 1 predicción, banda 2 varianza),
                          .asc (rejilla ESRI ASCII), .grd (rejilla de texto),
                          .csv (nodos: x, y, predicción, varianza). Los formatos
                          de una superficie escriben la varianza en RUTA_var.ext
  --crs SRC               sistema de referencia de las exportaciones, p. ej.
                          EPSG:28992 (por defecto el de los datos, si lo tienen)
  --sin-limite, --no-row-limit
                          sin efecto: se leen siempre todas las filas
  --cv                    valida el modelo ajustado por validación cruzada (dejando
                          fuera cada dato) e imprime el resumen
  --cv-folds K            validación cruzada en K grupos (2 o más) en vez de dato a dato
  --seed S                semilla del reparto en grupos (por defecto 1)
  --cv-out ARCHIVO.csv    escribe la tabla de la validación cruzada (implica --cv)
  --compare-models        ajusta y valida los seis modelos con la tendencia elegida
                          y los muestra ordenados por su error
  -h, --help              esta ayuda

Estado de salida: 0 éxito; 1 datos o perfil erróneos o fallo del motor (el
mensaje va a la salida de errores); 2 error de uso.
)";
}

struct UsageError {
  std::string message;
};

// Numbers of the command line: a period as the decimal separator, the whole
// text must be the number.
double Real(const std::string& option, const std::string& text) {
  char* atEnd = nullptr;
  const double v = std::strtod(text.c_str(), &atEnd);
  if (text.empty() || *atEnd != '\0' || !std::isfinite(v) || std::fabs(v) > 3.0e38)
    throw UsageError{option + ": se esperaba un número y se recibió «" + text + "»"};
  return v;
}

long IntegerArgument(const std::string& option, const std::string& text, long minimum, long maximum) {
  char* atEnd = nullptr;
  const long v = std::strtol(text.c_str(), &atEnd, 10);
  if (text.empty() || *atEnd != '\0')
    throw UsageError{option + ": se esperaba un número entero y se recibió «" + text + "»"};
  if (v < minimum || v > maximum)
    throw UsageError{option + ": " + text + " está fuera del intervalo " + std::to_string(minimum) + " a " +
                   std::to_string(maximum)};
  return v;
}

std::vector<std::string> Parts(const std::string& option, const std::string& text, size_t count) {
  std::vector<std::string> r;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) r.push_back(part);
  if (r.size() != count)
    throw UsageError{option + ": se esperaban " + std::to_string(count) + " valores separados por comas y se recibió «" +
                   text + "»"};
  return r;
}

struct Arguments {
  std::string data;
  std::string colX = "1", colY = "2", colZ = "3";
  std::string output;
  bool unlimited = false;
  std::optional<int> trend, model, estimator, lags, fitLags, minPairs, variableLags, fit;
  std::optional<double> firstLag, lagWidth;
  std::optional<std::pair<int, int>> grid;
  std::optional<std::pair<double, double>> origin, spacing;
  std::optional<std::string> profile;
  std::optional<int> exclude;
  std::optional<std::array<double, 3>> start;
  std::optional<int> neighbours, minNeighbours, sectors, variogramSample;
  std::optional<double> maxDistance;
  std::optional<std::uint32_t> variogramSeed;
  bool globalTrend = false, neighbourhoodVariogram = false;
  bool cv = false, compareModels = false;
  DuplicatePolicy duplicates = DuplicatePolicy::Error;
  std::optional<double> absent;
  std::vector<std::string> exportTo;
  std::string crs;
  int cvFolds = 0;
  std::uint32_t seed = 1;
  std::string cvOut;
};

int ModelCode(const std::string& option, const std::string& v) {
  for (int k = 0; k < 6; ++k)
    if (v == kModelNames[k] || v == std::to_string(k + 1)) return k + 1;
  throw UsageError{option + ": modelo desconocido «" + v +
                 "» (1..6, spherical, exponential, linear, power, rational-quadratic, oscillatory)"};
}

Arguments Analyse(int argc, char** argv) {
  Arguments a;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    std::string op = args[i], value;
    bool withValue = false;
    if (op.rfind("--", 0) == 0 && op.find('=') != std::string::npos) {
      value = op.substr(op.find('=') + 1);
      op = op.substr(0, op.find('='));
      withValue = true;
    }
    auto next = [&]() -> std::string {
      if (withValue) return value;
      if (i + 1 >= args.size()) throw UsageError{op + ": falta el valor"};
      return args[++i];
    };
    if (op == "-h" || op == "--help") {
      Help();
      std::exit(kExitOk);
    } else if (op == "--x") a.colX = next();
    else if (op == "--y") a.colY = next();
    else if (op == "--z") a.colZ = next();
    else if (op == "--out") a.output = next();
    else if (op == "--sin-limite" || op == "--no-row-limit") a.unlimited = true;
    else if (op == "--trend") a.trend = int(IntegerArgument(op, next(), 0, 3));
    else if (op == "--model") a.model = ModelCode(op, next());
    else if (op == "--estimator") {
      const std::string v = next();
      if (v == "classical" || v == "1") a.estimator = 1;
      else if (v == "robust" || v == "2") a.estimator = 2;
      else throw UsageError{op + ": se esperaba classical o robust y se recibió «" + v + "»"};
    } else if (op == "--first-lag") a.firstLag = Real(op, next());
    else if (op == "--lag-width") a.lagWidth = Real(op, next());
    else if (op == "--lags") a.lags = int(IntegerArgument(op, next(), 1, kMaxLags));
    else if (op == "--fit-lags") a.fitLags = int(IntegerArgument(op, next(), 1, kMaxLags));
    else if (op == "--min-pairs") a.minPairs = int(IntegerArgument(op, next(), 0, 1'000'000'000));
    else if (op == "--variable-lags") a.variableLags = int(IntegerArgument(op, next(), 1, 1'000'000'000));
    else if (op == "--grid") {
      auto p = Parts(op, next(), 2);
      a.grid = {int(IntegerArgument(op, p[0], 1, 100000)), int(IntegerArgument(op, p[1], 1, 100000))};
    } else if (op == "--origin") {
      auto p = Parts(op, next(), 2);
      a.origin = {Real(op, p[0]), Real(op, p[1])};
    } else if (op == "--spacing") {
      auto p = Parts(op, next(), 2);
      a.spacing = {Real(op, p[0]), Real(op, p[1])};
      if (!(a.spacing->first > 0) || !(a.spacing->second > 0)) throw UsageError{op + ": el espaciado debe ser positivo"};
    } else if (op == "--profile") a.profile = next();
    else if (op == "--exclude") {
      const std::string v = next();
      if (v == "outside") a.exclude = 0;
      else if (v == "inside") a.exclude = 1;
      else throw UsageError{op + ": se esperaba outside o inside y se recibió «" + v + "»"};
    } else if (op == "--fit") {
      const std::string v = next();
      if (v == "alternating") a.fit = kAlternateFit;
      else if (v == "direct") a.fit = kDirectFit;
      else if (v == "none") a.fit = kNoFit;
      else if (v == "global") a.fit = kGlobalFit;
      else throw UsageError{op + ": se esperaba alternating, direct, global o none y se recibió «" + v + "»"};
    } else if (op == "--start") {
      auto p = Parts(op, next(), 3);
      a.start = std::array<double, 3>{Real(op, p[0]), Real(op, p[1]), Real(op, p[2])};
      if ((*a.start)[0] < 0) throw UsageError{op + ": la pepita C0 no puede ser negativa"};
    } else if (op == "--neighbours") a.neighbours = int(IntegerArgument(op, next(), 1, 500));
    else if (op == "--min-neighbours") a.minNeighbours = int(IntegerArgument(op, next(), 1, 500));
    else if (op == "--max-distance") {
      a.maxDistance = Real(op, next());
      if (!(*a.maxDistance > 0)) throw UsageError{op + ": la distancia máxima debe ser mayor que 0"};
    } else if (op == "--sectors") {
      a.sectors = int(IntegerArgument(op, next(), 1, 4));
      if (*a.sectors != 1 && *a.sectors != 4) throw UsageError{op + ": se esperaba 1 o 4 y se recibió «" +
                                                              std::to_string(*a.sectors) + "»"};
    } else if (op == "--global-trend") a.globalTrend = true;
    else if (op == "--neighbourhood-variogram") a.neighbourhoodVariogram = true;
    else if (op == "--variogram-sample") a.variogramSample = int(IntegerArgument(op, next(), 2, 2'000'000'000));
    else if (op == "--variogram-seed") a.variogramSeed = std::uint32_t(IntegerArgument(op, next(), 0, 4294967295L));
    else if (op == "--duplicates") {
      const std::string v = next();
      if (!PolicyFromText(v, a.duplicates))
        throw UsageError{op + ": se esperaba average, first o error y se recibió «" + v + "»"};
    } else if (op == "--missing") a.absent = Real(op, next());
    else if (op == "--export") {
      const std::string v = next();
      if (!FormatOfPath(v))
        throw UsageError{op + ": no se conoce el formato de «" + v + "» (extensiones .tif, .tiff, .asc, .grd, .csv)"};
      a.exportTo.push_back(v);
    } else if (op == "--crs") a.crs = next();
    else if (op == "--cv") a.cv = true;
    else if (op == "--cv-folds") {
      a.cvFolds = int(IntegerArgument(op, next(), 2, 1'000'000));
      a.cv = true;
    } else if (op == "--seed") a.seed = std::uint32_t(IntegerArgument(op, next(), 0, 4294967295L));
    else if (op == "--cv-out") {
      a.cvOut = next();
      a.cv = true;
    } else if (op == "--compare-models") a.compareModels = true;
    else if (op.rfind("-", 0) == 0 && op.size() > 1) {
      throw UsageError{"opción desconocida «" + op + "»"};
    } else if (a.data.empty()) {
      a.data = op;
    } else {
      throw UsageError{"sobra el argumento «" + op + "»"};
    }
  }
  if (a.data.empty()) throw UsageError{"falta el archivo de datos"};
  if (a.firstLag && *a.firstLag < 0) throw UsageError{"--first-lag: la distancia no puede ser negativa"};
  if (a.lagWidth && *a.lagWidth < 0) throw UsageError{"--lag-width: la anchura no puede ser negativa"};
  if (a.firstLag && a.lagWidth && *a.firstLag == 0 && *a.lagWidth == 0)
    throw UsageError{"--first-lag y --lag-width no pueden ser ambos 0"};
  if (a.exclude && !a.profile) throw UsageError{"--exclude: no hay perfil (--profile)"};
  const bool local = a.neighbours || a.minNeighbours || a.maxDistance || a.sectors;
  if (!local && (a.globalTrend || a.neighbourhoodVariogram || a.variogramSample || a.variogramSeed))
    throw UsageError{"--global-trend, --neighbourhood-variogram, --variogram-sample y --variogram-seed son del "
                   "kriging local: indique también --neighbours (o --min-neighbours, --max-distance, --sectors)"};
  if (a.neighbourhoodVariogram && !a.maxDistance)
    throw UsageError{"--neighbourhood-variogram: hace falta --max-distance (la distancia de los pares)"};
  return a;
}

struct DataError {
  std::string message;
};

int ColumnOf(const SpatialData& d, const std::string& what, const std::string& col) {
  char* atEnd = nullptr;
  const long v = std::strtol(col.c_str(), &atEnd, 10);
  if (!col.empty() && *atEnd == '\0') {
    if (v < 1 || v > d.nvar)
      throw DataError{"columna " + what + " = " + col + ": los datos tienen " + std::to_string(d.nvar) +
                       " variables"};
    return int(v);
  }
  const int k = d.findColumn(col);
  if (k == 0) {
    std::string names;
    for (int j = 1; j <= d.nvar; ++j) names += (j > 1 ? ", " : "") + d.nameWithoutBlanks(j);
    throw DataError{"columna " + what + ": no hay ninguna variable «" + col + "» (hay: " + names + ")"};
  }
  return k;
}

// Applies the command line on top of the automatic options.
void ApplyOptions(const Arguments& a, KrigingSession& s) {
  OpcionesKriging& op = s.options;
  if (a.trend) op.Media = *a.trend;
  if (a.model) op.Modelo = *a.model;
  if (a.estimator) op.Estimador = *a.estimator;
  if (a.firstLag) op.SaltoIni = float(*a.firstLag);
  if (a.lagWidth) op.RSalto = float(*a.lagWidth);
  if (a.lags) op.NSaltos = *a.lags;
  if (a.fitLags) op.NAjus = *a.fitLags;
  if (a.minPairs) {
    op.NMinAjus = *a.minPairs;
    // The engine reads 0 as its default: say so and show what is used.
    if (op.NMinAjus == 0) {
      std::cerr << "aviso: --min-pairs 0 no es posible: el motor toma su valor por defecto, 15 (un salto entra en el "
                   "ajuste con más de 15 pares)\n";
      op.NMinAjus = 15;
    }
  }
  if (a.variableLags) {
    op.LongVar = 1;
    op.NApor = *a.variableLags;
  }
  if (a.fit) op.MetodoAjuste = *a.fit;
  if (a.start) {
    op.C0Ini = float((*a.start)[0]);
    op.C1Ini = float((*a.start)[1]);
    op.AIni = float((*a.start)[2]);
  }
  if (a.neighbours || a.minNeighbours || a.maxDistance || a.sectors) {
    op.KrigingLocal = 1;
    if (a.neighbours) op.NVecinos = *a.neighbours;
    if (a.minNeighbours) op.NMinVecinos = *a.minNeighbours;
    if (a.maxDistance) op.DistVecinos = float(*a.maxDistance);
    op.Cuadrantes = a.sectors.value_or(1) == 4;
    op.TendLocal = !a.globalTrend;
    op.VarioLocal = a.neighbourhoodVariogram;
    op.Submuestra = a.variogramSample.value_or(0);
    op.Semilla = a.variogramSeed.value_or(1);
  }
  if (op.NAjus > op.NSaltos) {
    // Only a count the user gave deserves the warning; the automatic one
    // simply follows --lags.
    if (a.fitLags) std::cerr << "aviso: " << kNAjusWarning << "\n";
    op.NAjus = op.NSaltos;
  }

  const int nx = a.grid ? a.grid->first : op.NRx;
  const int ny = a.grid ? a.grid->second : op.NRy;
  if (int64_t(nx) * ny > kMaxGridNodes)
    throw DataError{"la rejilla de " + std::to_string(nx) + " x " + std::to_string(ny) +
                     " nodos es demasiado grande (máximo " + std::to_string(kMaxGridNodes) + " nodos)"};
  if (a.spacing) {
    op.NRx = nx;
    op.NRy = ny;
    op.LRx = a.spacing->first;
    op.LRy = a.spacing->second;
    op.MinRx = s.data.minimum[size_t(s.colX - 1)] - op.LRx / 2;
    op.MinRy = s.data.minimum[size_t(s.colY - 1)] - op.LRy / 2;
  } else if (a.grid) {
    Result r = AutomaticGrid(s.data, s.colX, s.colY, nx, ny, op);
    if (!r) throw DataError{r.message + " Indique también --spacing."};
  }
  if (a.origin) {
    op.MinRx = a.origin->first;
    op.MinRy = a.origin->second;
  }
  if (a.profile) {
    op.profile.side = a.exclude.value_or(0);
    Result r = LeePerfil(*a.profile, op.profile);
    if (!r) throw DataError{r.message};
  }
}

std::string Distance(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.3f", v);  // the program's "#####0.000"
  return b;
}

std::string Real7(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.7g", v);
  return b;
}

void Summary(const KrigingSession& s, const std::string& file) {
  const OpcionesKriging& op = s.options;
  const KrigingSurfaces& sup = s.surfaces;
  const int fuera = s.data.N - int(CompleteRows(s.data, {s.colX, s.colY, s.colZ}).size());
  std::cout << "Datos: " << file << " (" << s.data.N << " puntos";
  if (fuera > 0) std::cout << ", " << fuera << " sin X, Y o Z, fuera del cálculo";
  std::cout << ")\n"
            << "Columnas: X = " << s.data.nameWithoutBlanks(s.colX) << ", Y = " << s.data.nameWithoutBlanks(s.colY)
            << ", Z = " << s.data.nameWithoutBlanks(s.colZ) << "\n"
            << "Opciones usadas:\n"
            << "  Media: " << op.Media << " (" << kSpanishTrends[op.Media] << ")\n"
            << "  Modelo: " << op.Modelo << " (" << kSpanishModels[op.Modelo - 1] << ")\n"
            << "  Estimador: " << op.Estimador << (op.Estimador == 1 ? " (clásico)" : " (robusto)") << "\n";
  if (op.LongVar)
    std::cout << "  Saltos: longitud variable, " << op.NApor << " pares por salto\n";
  else
    std::cout << "  Saltos: inicial " << Distance(op.SaltoIni) << ", anchura " << Distance(op.RSalto) << ", nº "
              << op.NSaltos << "\n";
  std::cout << "  Ajuste: " << op.NAjus << " saltos, más de " << op.NMinAjus << " pares cada uno, método "
            << (op.MetodoAjuste == kGlobalFit    ? "global"
                : op.MetodoAjuste == kDirectFit ? "directo"
                : op.MetodoAjuste == kNoFit   ? "ninguno (modelo dado)"
                                                  : "alterno")
            << "\n"
            << "  Rejilla: " << op.NRx << " x " << op.NRy << " nodos, origen (" << Distance(op.MinRx) << ", "
            << Distance(op.MinRy) << "), espaciado (" << Distance(op.LRx) << ", " << Distance(op.LRy) << ")\n";
  if (op.KrigingLocal) {
    std::cout << "  Kriging local: " << op.NVecinos << " vecinos como máximo"
              << (op.Cuadrantes ? " (" + std::to_string(op.NVecinos / 4) + " por cuadrante)" : std::string())
              << ", " << op.NMinVecinos << " como mínimo, distancia máxima "
              << (std::isfinite(op.DistVecinos) ? Distance(op.DistVecinos) : std::string("sin límite"))
              << "; tendencia " << (op.TendLocal ? "local" : "global") << "; semivariograma "
              << (op.VarioLocal ? "con pares hasta la distancia máxima" : "con todos los pares") << "\n";
  }
  if (op.profile.attached())
    std::cout << "  Perfil: " << op.profile.file << " (" << op.profile.npts << " puntos), se excluyen los nodos "
              << (op.profile.side == 0 ? "exteriores" : "interiores") << "\n";
  else
    std::cout << "  Perfil: ninguno\n";

  const FittedModel& m = s.model;
  std::cout << "Modelo ajustado: " << kSpanishModels[m.code - 1];
  if (m.known) {
    std::cout << ", c0 = " << Real7(m.c0) << ", c1 = " << Real7(m.c1);
    if (m.code != 3) std::cout << ", a = " << Real7(m.a);
  } else {
    std::cout << " (parámetros no devueltos por el motor), a = " << Real7(m.a);
  }
  std::cout << "\n  Valores iniciales: c0 = " << Real7(m.c0Ini) << ", c1 = " << Real7(m.c1Ini);
  if (m.code != 3) std::cout << ", a = " << Real7(m.aIni);
  std::cout << "\nError del ajuste (MCP): " << Real7(m.fitError) << "\n";

  size_t estimados = 0;
  float varMin = 0, varMax = 0;
  for (size_t k = 0; k < sup.SupPred.size(); ++k) {
    if (sup.SupPred[k] == kHoleValue) continue;
    const float v = sup.SupVar[k];
    if (estimados == 0 || v < varMin) varMin = v;
    if (estimados == 0 || v > varMax) varMax = v;
    ++estimados;
  }
  if (estimados > 0)
    std::cout << "Predicción: mínimo " << Real7(sup.zMin) << ", máximo " << Real7(sup.zMax) << " (" << estimados
              << " de " << sup.SupPred.size() << " nodos estimados)\n"
              << "Varianza de kriging: mínimo " << Real7(varMin) << ", máximo " << Real7(varMax) << "\n";
  else
    std::cout << "Predicción: ningún nodo estimado (todos excluidos)\n";
  if (s.localSummary.local)
    std::cout << "Nodos sin valor (huecos): " << s.localSummary.fewNeighbours + s.localSummary.singular
              << " (con menos de " << op.NMinVecinos << " vecinos: " << s.localSummary.fewNeighbours
              << "; con sistema singular: " << s.localSummary.singular << ")\n";
  std::cout << "Resultados en " << s.resultsFolder << "\n";
}

// The run's warnings on standard error, the result being kept: those of the
// engine's reply turned into advice, and its other messages as they are (the
// numerical services' messages stay in the log).
void PrintWarnings(const KrigingSession& s, const EngineSummary& summary) {
  const float zMin = s.data.minimum[size_t(s.colZ - 1)], zMax = s.data.maximum[size_t(s.colZ - 1)];
  const std::vector<std::string> warnings =
      RunWarnings(summary.warnings, zMin, zMax, s.surfaces.zMin, s.surfaces.zMax);
  for (const std::string& warning : warnings) std::cerr << "aviso: " << warning << "\n";
  for (const std::string& warning : summary.warnings)
    if (warning.rfind(" ***", 0) != 0 && !HasOwnRunWarning(warning)) std::cerr << "aviso: " << warning << "\n";
}

void PrintValidationSummary(const kriging::CrossValidationSummary& r) {
  std::cout << "  Error medio: " << Real7(r.meanError) << "\n"
            << "  Raíz del error cuadrático medio: " << Real7(r.rootMeanSquareError) << "\n"
            << "  Error estandarizado medio: " << Real7(r.meanStandardisedError) << "\n"
            << "  Error estandarizado cuadrático medio: " << Real7(r.meanSquaredStandardisedError) << "\n"
            << "  Correlación observados-predichos: " << Real7(r.correlation) << "\n"
            << "  Datos dentro de ±1,96 σ: " << Real7(100 * r.shareWithin) << " %\n";
}

ValidatedModel SessionModel(const KrigingSession& s) {
  return {s.model.code, s.model.c0, s.model.c1, s.model.a};
}

void ValidateModel(const Arguments& a, const KrigingSession& s) {
  const kriging::CrossValidationResult r = CrossValidateColumns(
      s.data, s.colX, s.colY, s.colZ, SessionModel(s), s.options.Media, a.cvFolds, a.seed);
  if (r.status != 0) throw DataError{"validación cruzada: " + r.message};
  std::cout << "Validación cruzada ("
            << (a.cvFolds > 1 ? std::to_string(a.cvFolds) + " grupos, semilla " + std::to_string(a.seed)
                              : std::string("dejando fuera cada dato"))
            << ", " << r.summary.count << " datos):\n";
  PrintValidationSummary(r.summary);
  if (!a.cvOut.empty()) {
    Result w = WriteCrossValidationCsv(a.cvOut, r);
    if (!w) throw DataError{w.message};
    std::cout << "Tabla de la validación cruzada en " << a.cvOut << "\n";
  }
}

// Fits each of the six models with the chosen trend (runs in a scratch
// folder), cross-validates it and prints them sorted by error.
void CompareModels(const Arguments& a, const KrigingSession& base, const std::string& nombre) {
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec) / ("sorvan-modelos-" + std::to_string(::getpid()));
  fs::create_directories(folder, ec);
  std::vector<ModelComparisonRow> rows;
  for (int code = 1; code <= 6; ++code) {
    KrigingSession s = base;
    s.options.Modelo = code;
    if (!a.start) s.options.C0Ini = s.options.C1Ini = s.options.AIni = -1;
    KrigingEngine engine;
    Result r = EjecutaKriging(s, nombre, folder.string(), engine);
    ModelComparisonRow row;
    row.model = {code, s.model.c0, s.model.c1, s.model.a};
    row.fitError = s.model.fitError;
    if (!r) {
      row.validation.status = 1;
      row.validation.message = r.message;
    } else {
      row.validation = CrossValidateColumns(s.data, s.colX, s.colY, s.colZ, row.model, s.options.Media,
                                             a.cvFolds, a.seed);
    }
    rows.push_back(row);
  }
  fs::remove_all(folder, ec);
  SortByError(rows);
  std::cout << "Comparación de modelos (tendencia " << base.options.Media << ", validación cruzada "
            << (a.cvFolds > 1 ? std::to_string(a.cvFolds) + " grupos" : std::string("dato a dato"))
            << "), de menor a mayor error:\n";
  char line[512];
  std::snprintf(line, sizeof line, "  %-20s %12s %12s %12s %12s %12s %12s %9s\n", "modelo", "c0", "c1", "a",
                "error ajuste", "RECM", "ECME", "r");
  std::cout << line;
  for (const ModelComparisonRow& f : rows) {
    if (f.validation.status != 0) {
      std::cout << "  " << kSpanishModels[f.model.code - 1] << ": " << f.validation.message << "\n";
      continue;
    }
    const kriging::CrossValidationSummary& r = f.validation.summary;
    std::snprintf(line, sizeof line, "  %-20s %12.6g %12.6g %12.6g %12.6g %12.6g %12.6g %9.4f\n",
                  kSpanishModels[f.model.code - 1], f.model.c0, f.model.c1, f.model.a, f.fitError,
                  r.rootMeanSquareError, r.meanSquaredStandardisedError, r.correlation);
    std::cout << line;
  }
  std::cout << "  (RECM: raíz del error cuadrático medio; ECME: error cuadrático medio estandarizado, "
               "cerca de 1 si la varianza de kriging es realista; r: correlación observados-predichos)\n";
}

int RunJob(const Arguments& a) {
  KrigingSession s;
  ReadOptions lectura;
  lectura.missingValue = a.absent;
  Result readOne = IsDelimitedText(a.data) ? ReadDelimitedText(a.data, s.data, lectura)
                    : IsGisLayer(a.data)       ? ReadPointLayer(a.data, s.data, lectura)
                                               : ReadData(a.data, s.data, lectura);
  if (!readOne) throw DataError{readOne.message};
  if (!readOne.message.empty()) std::cerr << "aviso: " << readOne.message << "\n";
  s.dataFile = a.data;
  s.colX = ColumnOf(s.data, "X", a.colX);
  s.colY = ColumnOf(s.data, "Y", a.colY);
  s.colZ = ColumnOf(s.data, "Z", a.colZ);
  s.duplicates = a.duplicates;

  // Before any work (the automatic options alone look at every pair of
  // points): a global run that cannot fit in memory is refused now (a local
  // run solves one small system per node).
  if (!(a.neighbours || a.minNeighbours || a.maxDistance || a.sectors)) {
    const int64_t nodes = a.grid ? int64_t(a.grid->first) * a.grid->second : 2500;
    const Result resources = CheckResources(EstimateResources(s.data.N, nodes, a.trend.value_or(0)));
    if (!resources) throw DataError{resources.message};
  }
  Result defaultValue = OpcionesPorDefecto(s.data, s.colX, s.colY, s.options);
  if (!defaultValue) throw DataError{a.data + ": " + defaultValue.message};
  s.optionsReady = true;
  ApplyOptions(a, s);

  const std::string nombre = s.data.nameWithoutBlanks(s.colZ);
  std::cout << GeneratingMessage(nombre) << std::endl;
  std::error_code ec;
  const std::string folder = a.output.empty() ? fs::current_path(ec).string() : a.output;
  KrigingEngine engine;
  Result r = EjecutaKriging(s, nombre, folder, engine);
  if (!r) throw DataError{r.message};
  if (!r.message.empty()) std::cerr << "aviso: " << r.message << "\n";
  // Exports after the engine's files; a failed one fails the run.
  const std::string crs = a.crs.empty() ? s.data.crs : a.crs;
  std::vector<std::string> written;
  for (const std::string& path : a.exportTo) {
    Result e = ExportSurfaces(path, s.surfaces, crs, &written);
    if (!e) throw DataError{e.message};
  }
  Summary(s, a.data);
  for (const std::string& e : written) std::cout << "Exportado: " << e << "\n";
  PrintWarnings(s, engine.result().summary);
  if (a.cv) ValidateModel(a, s);
  if (a.compareModels) CompareModels(a, s, nombre);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments a;
  try {
    a = Analyse(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "sorvan-krige: " << SafeText(e.message) << "\nPruebe «sorvan-krige --help».\n";
    return kSalidaUso;
  }
  try {
    return RunJob(a);
  } catch (const DataError& e) {
    std::cerr << "sorvan-krige: " << SafeText(e.message) << "\n";
    return kExitError;
  } catch (const std::exception& e) {
    // Out of memory and the like: still a message, never an abort.
    std::cerr << "sorvan-krige: " << e.what() << "\n";
    return kExitError;
  }
}
