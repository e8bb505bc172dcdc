#include "core/run_kriging.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/resource_estimate.h"
#include "core/options_validation.h"
#include "local_kriging.h"

namespace sorvan::core {

std::string GeneratingMessage(const std::string& nombre) {
  return "Generando superficies kriging (" + nombre + ")...";
}

Result PrepareArguments(const KrigingSession& s, SkuArguments& a, DataLeftOut* tally) {
  const SpatialData& d = s.data;
  const OpcionesKriging& op = s.options;
  if (d.empty()) return Result::Error("No hay datos cargados.");
  for (int col : {s.colX, s.colY, s.colZ})
    if (col < 1 || col > d.nvar)
      return Result::Error("La columna " + std::to_string(col) + " no existe: los datos tienen " +
                              std::to_string(d.nvar) + " variables.");
  // What is wrong with the data is said first: points on one line also
  // leave the automatic grid without a spacing.
  Result basics = CheckData(d, s.colX, s.colY, s.colZ, op.Media);
  if (!basics) return basics;
  Result valid = ValidateOptions(op);
  if (!valid) return valid;
  Result vecindario = ValidateNeighbourhood(op);
  if (!vecindario) return vecindario;
  // Before any work: a global system that cannot fit in memory is refused
  // with the figures rather than failing after minutes (a local run solves
  // one small system per node).
  Result resources = op.KrigingLocal
                           ? Result::Success()
                           : CheckResources(EstimateResources(d.N, int64_t(op.NRx) * op.NRy, op.Media));
  if (!resources) return resources;
  Result data = CheckLags(d, s.colX, s.colY, s.colZ, op);
  if (!data) return data;

  // Only rows with X, Y and Z all present take part; the rest are counted.
  const std::vector<int> rows = CompleteRows(d, {s.colX, s.colY, s.colZ});
  const int fuera = d.N - int(rows.size());
  if (rows.size() < 2)
    return Result::Error("Solo " + std::to_string(rows.size()) + " de las " + std::to_string(d.N) +
                            " filas tienen X, Y y Z presentes: hacen falta al menos 2.");
  // Points at the same place, as the session's policy says.
  std::vector<double> px, py, pz;
  std::string duplicatesWarning;
  Result dup = ResolveDuplicates(d, s.colX, s.colY, s.colZ, rows, s.duplicates, px, py, pz, duplicatesWarning);
  if (!dup) return dup;
  SkuArguments r;
  r.n = int32_t(px.size());
  // The engine takes single precision.
  r.x.assign(px.begin(), px.end());
  r.y.assign(py.begin(), py.end());
  r.z.assign(pz.begin(), pz.end());
  // And the coordinates as the data hold them, for the engine's double path.
  r.xDouble = px;
  r.yDouble = py;
  r.firstLag = op.SaltoIni;
  r.lagWidth = op.RSalto;
  r.lagCount = op.NSaltos;   // a copy: what the engine writes back is dropped
  r.fitLagCount = op.NAjus;  // likewise
  r.modelCode = op.Modelo;
  r.trendDegree = op.Media;
  r.nx = op.NRx;
  r.ny = op.NRy;
  r.setGrid(op.MinRx, op.MinRy, op.LRx, op.LRy);
  r.gridRows = op.NRx;
  r.holeValue = kHoleValue;
  const size_t nodes = size_t(op.NRx) * size_t(op.NRy);
  r.prediction.assign(nodes, 1.0f);
  r.variance.assign(nodes, 0.0f);
  // The mask is built here for this very grid: one kept from another grid, or
  // never built, would exclude the wrong nodes.
  if (op.profile.attached()) {
    const std::vector<int16_t> mask =
        MascaraPerfil(op.profile, op.MinRx, op.MinRy, op.LRx, op.LRy, op.NRx, op.NRy);
    size_t excluded = 0;
    for (size_t k = 0; k < nodes; ++k)
      if (mask[k] == op.profile.side) r.prediction[k] = kHoleValue, ++excluded;
    if (excluded == nodes)
      return Result::Error("El perfil " + SafeText(op.profile.file) + " excluye todos los nodos de la rejilla (" +
                              std::string(op.profile.side == 0 ? "exteriores" : "interiores") +
                              "): no queda nada que estimar. Cambie la rejilla o el lado excluido.");
  }
  r.VariogramOptions = {op.Estimador, op.NMinAjus, -1, op.MetodoAjuste, op.LongVar ? 2 : 1, op.NApor, -1};
  r.VariogramParameters.fill(-1.0f);
  if (op.C0Ini >= 0) {
    r.VariogramParameters[0] = op.C0Ini;
    r.VariogramParameters[1] = op.C1Ini;
    r.VariogramParameters[2] = op.AIni;
  }
  if (op.KrigingLocal) {
    r.local.active = 1;
    r.local.maxNeighbours = op.NVecinos;
    r.local.minNeighbours = op.NMinVecinos;
    r.local.sectors = op.Cuadrantes ? 4 : 1;
    r.local.maxDistance = op.DistVecinos;
    r.local.localTrend = op.TendLocal ? 1 : 0;
    r.local.localVariogram = op.VarioLocal ? 1 : 0;
    r.local.subsample = op.Submuestra;
    r.local.seed = op.Semilla;
  }
  a = std::move(r);
  if (tally) *tally = DataLeftOut{fuera, int(rows.size() - px.size()), s.duplicates};
  // The rows left out, the points merged, then the warning of a slow or
  // large run, if any.
  std::string warning;
  if (fuera > 0) {
    // The rows by their number in the file (1-based), as the data window shows them.
    std::vector<int> numbers;
    size_t k = 0;
    for (int i = 0; i < d.N && int(numbers.size()) < fuera; ++i) {
      if (k < rows.size() && rows[k] == i) ++k;
      else numbers.push_back(i + 1);
    }
    warning = RowsLeftOutMessage(fuera, numbers);
  }
  if (!duplicatesWarning.empty()) warning += (warning.empty() ? "" : "\n") + duplicatesWarning;
  if (!resources.message.empty()) warning += (warning.empty() ? "" : "\n") + resources.message;
  return Result::Success(warning);
}

Result ValidateNeighbourhood(const OpcionesKriging& op) {
  if (!op.KrigingLocal) return Result::Success();
  kriging::LocalNeighbourhood v;
  v.maxPoints = op.NVecinos;
  v.minPoints = op.NMinVecinos;
  v.maxDistance = op.DistVecinos;
  v.sectors = op.Cuadrantes ? 4 : 1;
  const std::string problem = kriging::CheckNeighbourhood(v, op.Media);
  if (!problem.empty()) return Result::Error(problem);
  if (op.VarioLocal && !std::isfinite(op.DistVecinos))
    return Result::Error("Kriging local: «Variograma» cuenta los pares hasta la distancia máxima; "
                            "indique una distancia máxima.");
  if (op.Submuestra < 0 || op.Submuestra == 1)
    return Result::Error("Kriging local: el tamaño de la submuestra (" + std::to_string(op.Submuestra) +
                            ") debe ser 0 (automático) o al menos 2.");
  return Result::Success();
}

std::string RowsLeftOutMessage(int rows, const std::vector<int>& numbers) {
  std::string r = "Se han dejado fuera " + std::to_string(rows) + (rows == 1 ? " fila" : " filas") +
                  " con valores ausentes en X, Y o Z";
  if (!numbers.empty()) {
    constexpr size_t kNamedRows = 10;
    r += numbers.size() == 1 ? " (fila " : " (filas ";
    for (size_t i = 0; i < numbers.size() && i < kNamedRows; ++i)
      r += (i == 0 ? "" : i + 1 == numbers.size() ? " y " : ", ") + std::to_string(numbers[i]);
    if (numbers.size() > kNamedRows) r += " y " + std::to_string(numbers.size() - kNamedRows) + " más";
    r += ")";
  }
  return r + ".";
}

namespace {
// Reals of a free-format line after `label`.
std::vector<float> NumbersAfter(const std::string& line, size_t from) {
  std::vector<float> v;
  std::istringstream in(line.substr(from));
  std::string token;
  while (in >> token) {
    float f = 0;
    auto [p, ec] = std::from_chars(token.data(), token.data() + token.size(), f);
    if (ec != std::errc() || p != token.data() + token.size()) break;
    v.push_back(f);
  }
  return v;
}
}  // namespace

FittedModel ReadFittedModel(const std::string& folder, const SkuArguments& output) {
  FittedModel m;
  m.code = output.modelCode;
  m.a = output.VariogramParameters[2];
  m.fitError = output.VariogramParameters[3];
  m.c0Ini = output.VariogramParameters[5];
  m.c1Ini = output.VariogramParameters[6];
  m.aIni = output.VariogramParameters[7];
  // Entries 1 and 2 of the real options come back holding the range of the
  // prediction, so c0 and c1 are taken from the engine's last report of the
  // estimated parameters in its log. The accented letter may be in any code
  // page: the label is matched from "metros estimados:".
  std::ifstream log(std::filesystem::path(folder) / "KRIGING.LOG", std::ios::binary);
  std::string line;
  const std::string label = "metros estimados:";
  while (log && std::getline(log, line)) {
    const size_t p = line.find(label);
    if (p == std::string::npos) continue;
    std::vector<float> v = NumbersAfter(line, p + label.size());
    if (v.size() >= 2) {
      m.c0 = v[0];
      m.c1 = v[1];
      if (v.size() >= 3) m.a = v[2];
      m.known = true;
    }
  }
  return m;
}

FittedModel ModelFromSummary(const EngineSummary& r) {
  FittedModel m;
  m.known = r.model != 0;
  m.code = r.model;
  m.c0 = float(r.c0), m.c1 = float(r.c1), m.a = float(r.a);
  m.fitError = float(r.fitError);
  m.c0Ini = float(r.c0Ini), m.c1Ini = float(r.c1Ini), m.aIni = float(r.aIni);
  return m;
}

void ApplyResult(KrigingSession& s, const EngineResult& r, const std::string& nombre,
                     const std::string& folder) {
  ApplySurfaces(s, r.output, nombre, folder);
  s.model = r.model;
  s.warnings = r.summary.warnings;
  const EngineSummary& m = r.summary;
  s.trend = TrendFit{r.output.trendDegree, m.trendCoefficients, m.trendCentreX, m.trendCentreY,
                         m.trendScale};
}

void ApplyResult(KrigingSession& s, const SkuArguments& output, const std::string& nombre,
                     const std::string& folder) {
  ApplySurfaces(s, output, nombre, folder);
  s.model = ReadFittedModel(folder, output);
  s.warnings.clear();  // the arguments carry no warnings
  s.trend = {};  // nor the trend
}

void ApplySurfaces(KrigingSession& s, const SkuArguments& output, const std::string& nombre,
                       const std::string& folder) {
  s.localSummary = LocalSummary{output.local.active != 0, output.local.nodesComputed,
                                output.local.holesFewNeighbours, output.local.holesSingular};
  KrigingSurfaces& sup = s.surfaces;
  sup.nx = output.nx;
  sup.ny = output.ny;
  const DoubleGrid grid = output.grid();
  sup.xMin = grid.xMin;
  sup.yMin = grid.yMin;
  sup.dx = grid.dx;
  sup.dy = grid.dy;
  // gridRows equals nx for the program's own grids, but copy row by row in
  // case a caller used a larger leading dimension.
  sup.SupPred.resize(size_t(output.nx) * size_t(output.ny));
  sup.SupVar.resize(sup.SupPred.size());
  for (size_t j = 0; j < size_t(output.ny); ++j)
    for (size_t i = 0; i < size_t(output.nx); ++i) {
      sup.SupPred[i + j * size_t(output.nx)] = output.prediction[i + j * size_t(output.gridRows)];
      sup.SupVar[i + j * size_t(output.nx)] = output.variance[i + j * size_t(output.gridRows)];
    }
  sup.zMin = output.VariogramParameters[0];
  sup.zMax = output.VariogramParameters[1];
  s.options.SaltoIni = output.firstLag;
  s.options.RSalto = output.lagWidth;
  s.hasSurfaces = true;
  s.surfacesVariable = nombre;
  s.resultsFolder = folder;
}

Result EjecutaKriging(KrigingSession& s, const std::string& nombre, const std::string& folder,
                         KrigingEngine& engine) {
  SkuArguments a;
  DataLeftOut fuera;
  Result prepared = PrepareArguments(s, a, &fuera);
  if (!prepared) return prepared;
  EngineResult r = engine.run(a, folder);
  if (!r.ok) return Result::Error(r.fullText());
  std::error_code ec;
  const std::string dir = folder.empty() ? std::filesystem::current_path(ec).string()
                                          : std::filesystem::absolute(folder, ec).string();
  ApplyResult(s, r, nombre, dir);
  // After the engine's log has reached the folder: its lines stay as they are.
  if (Result noted = RecordDataLeftOut(dir, fuera); !noted)
    prepared.message += (prepared.message.empty() ? "" : "\n") + noted.message;
  return prepared;  // with the rows left out and the run's warning, if any
}

}  // namespace sorvan::core
