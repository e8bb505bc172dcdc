// Cost of what the program does around one kriging run: the data checks
// before it (constant columns, pairs per lag class), the resource estimate,
// and the check of whole files and their move after it. Printed beside the
// time of the run itself measured on this machine (README: about 0.5 s for
// 2048 points on 100 x 100 nodes, 6 s for 155 points on 1000 x 1000).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/results_folder.h"
#include "core/resource_estimate.h"
#include "core/options_validation.h"

using namespace sorvan::core;

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

double Ms(SteadyClock::time_point from) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - from).count();
}

sorvan::core::SpatialData RandomValues(int n) {
  sorvan::core::SpatialData d;
  d.nvar = 3;
  d.N = n;
  d.names = {"x", "y", "z"};
  std::mt19937 g(1);
  std::uniform_real_distribution<double> u(0, 1000);
  d.matrix.resize(size_t(3) * n);
  for (double& v : d.matrix) v = u(g);
  return d;
}

void Surface(const fs::path& p, int nx, int ny, bool rango) {
  std::ofstream f(p);
  if (rango) f << "#  1.0  2.0\n";
  f << " GRID " << nx << " " << ny << "\n -10000.0 1.0 1.0 0.0 0.0\n";
  std::string row;
  for (int j = 0; j < ny; ++j) row += "         1.2345" + std::string(2, ' ');
  for (int i = 0; i < nx; ++i) f << row << "\n";
}

}  // namespace

int main() {
  std::printf("%-44s %10s\n", "paso", "ms");
  for (int n : {2048, 10000}) {
    const sorvan::core::SpatialData d = RandomValues(n);
    sorvan::core::OpcionesKriging op;
    op.Media = 0, op.Modelo = 1, op.Estimador = 1, op.SaltoIni = 10, op.RSalto = 20, op.NSaltos = 30;
    op.NAjus = 15, op.NMinAjus = 15, op.NRx = 100, op.NRy = 100, op.LRx = 10, op.LRy = 10;
    auto t = SteadyClock::now();
    const bool ok = sorvan::core::CheckData(d, 1, 2, 3, 0).ok && sorvan::core::ValidateOptions(op).ok &&
                    sorvan::core::CheckResources(sorvan::core::EstimateResources(n, 10000, 0)).ok &&
                    sorvan::core::CheckLags(d, 1, 2, 3, op).ok;
    std::printf("comprobaciones antes del motor, n = %-6d %s %10.3f\n", n, ok ? "  " : "!!", Ms(t));
    // The worst case of the pair count: no class qualifies, every pair seen.
    op.NMinAjus = 1 << 30;
    t = SteadyClock::now();
    sorvan::core::CheckLags(d, 1, 2, 3, op);
    std::printf("  recuento completo de pares, n = %-6d      %10.3f\n", n, Ms(t));
  }
  for (int side : {100, 1000}) {
    const fs::path dir = fs::temp_directory_path() / ("sorvan_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string t0 = sorvan::core::CreateRunFolder(dir.string(), nullptr);
    Surface(fs::path(t0) / "SKUPRE.SUP", side, side, true);
    Surface(fs::path(t0) / "SKUVAR.SUP", side, side, false);
    for (const char* f : {"SKUESTIM.SV", "SKUESTIM.FMT", "SKUEAJUS.SV", "SKUEAJUS.FMT"}) std::ofstream(fs::path(t0) / f) << f;
    std::ofstream(fs::path(t0) / "KRIGING.LOG") << " Terminado.\n";
    auto t = SteadyClock::now();
    const bool ok = sorvan::core::CheckRunFiles(t0, side, side).ok && sorvan::core::MoveResults(t0, dir.string()).ok;
    std::printf("archivos enteros y traslado, %4d x %-4d   %s %10.3f\n", side, side, ok ? "  " : "!!", Ms(t));
    fs::remove_all(dir);
  }
  return 0;
}
