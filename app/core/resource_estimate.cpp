#include "core/resource_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace sorvan::core {

namespace {

// Figures measured with the tool on the 2-core development machine (random
// data, 100 x 100 grid): bytes per n^2 of the engine's peak memory and
// seconds per operation of the factorisation and of the per-node solves.
constexpr double kBaseBytes = 40e6;           // program, library and buffers
constexpr double kOrdinaryN2Bytes = 6.0;     // half of an n x n double matrix and its copies
constexpr double kUniversalN2Bytes = 12.5;    // the whole matrix and the inverse's workspace
constexpr double kNodeBytes = 24.0;           // two float grids, the request and the reply
constexpr double kSecondsN3 = 3.4e-12;
constexpr double kSecondsPerNodeN2 = 1.05e-11;
constexpr double kTrendFactor = 2.5;      // the drift terms and the inverse
constexpr double kCalibratedCores = 2.0;

double ReadNumberText(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!(in >> text) || text == "max") return 0;
  char* atEnd = nullptr;
  const double v = std::strtod(text.c_str(), &atEnd);
  return atEnd && *atEnd == '\0' && v > 0 ? v : 0;
}

}  // namespace

double AvailableMemory() {
  double availableBytes = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  double value = 0;
  std::string unit;
  while (meminfo >> key >> value) {
    std::getline(meminfo, unit);
    if (key == "MemAvailable:") {
      availableBytes = value * 1024.0;
      break;
    }
  }
  // A control group limit (containers) may be below what the machine has.
  const double limit = ReadNumberText("/sys/fs/cgroup/memory.max");
  if (limit > 0) {
    const double used = ReadNumberText("/sys/fs/cgroup/memory.current");
    const double freeBytes = std::max(0.0, limit - used);
    availableBytes = availableBytes > 0 ? std::min(availableBytes, freeBytes) : freeBytes;
  }
  return availableBytes;
}

ResourceEstimate EstimateResources(int64_t n, int64_t nodes, int degree) {
  ResourceEstimate e;
  const double dn = double(std::max<int64_t>(n, 0));
  const double nodeDistances = double(std::max<int64_t>(nodes, 0));
  e.bytes = kBaseBytes + (degree > 0 ? kUniversalN2Bytes : kOrdinaryN2Bytes) * dn * dn + kNodeBytes * nodeDistances;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  e.seconds = (kSecondsN3 * dn * dn * dn + kSecondsPerNodeN2 * nodeDistances * dn * dn) *
               (degree > 0 ? kTrendFactor : 1.0) * kCalibratedCores / double(cores);
  e.available = AvailableMemory();
  return e;
}

std::string BytesText(double bytes) {
  char b[64];
  if (bytes >= 1e9) std::snprintf(b, sizeof b, "%.1f GB", bytes / 1e9);
  else std::snprintf(b, sizeof b, "%.0f MB", std::ceil(bytes / 1e6));
  std::string r = b;
  std::replace(r.begin(), r.end(), '.', ',');
  return r;
}

std::string SecondsText(double s) {
  char b[64];
  if (s < 1) return "menos de 1 s";
  if (s < 60) std::snprintf(b, sizeof b, "%.0f s", s);
  else if (s < 3600) std::snprintf(b, sizeof b, "%.0f min %.0f s", std::floor(s / 60), std::fmod(std::floor(s), 60.0));
  else if (s < 86400 * 2) std::snprintf(b, sizeof b, "%.0f h %.0f min", std::floor(s / 3600), std::floor(std::fmod(s, 3600) / 60));
  else std::snprintf(b, sizeof b, "%.0f días", std::floor(s / 86400));
  return b;
}

Result CheckResources(const ResourceEstimate& e) {
  const std::string digits =
      "se estima que necesita " + BytesText(e.bytes) + " de memoria" +
      (e.available > 0 ? " (hay " + BytesText(e.available) + " disponibles)" : std::string()) + " y unos " +
      SecondsText(e.seconds) + " de cálculo";
  if (e.available > 0 && e.bytes > e.available)
    return Result::Error("El kriging global de estos datos no cabe en la memoria: " + digits +
                            ". Use un vecindario de búsqueda (Kriging Local), menos datos o una rejilla menor.");
  if (e.seconds > 60 || (e.available > 0 && e.bytes > e.available / 2))
    return Result::Success("El kriging global de estos datos será lento o grande: " + digits +
                            ". Un vecindario de búsqueda (Kriging Local) lo haría más rápido.");
  return Result::Success();
}

}  // namespace sorvan::core
