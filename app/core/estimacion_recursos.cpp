#include "core/estimacion_recursos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace sorvan {

namespace {

// Figures measured with the tool on the 2-core development machine (random
// data, 100 x 100 grid): bytes per n^2 of the engine's peak memory and
// seconds per operation of the factorisation and of the per-node solves.
constexpr double kBytesBase = 40e6;           // program, library and buffers
constexpr double kBytesN2Ordinario = 6.0;     // half of an n x n double matrix and its copies
constexpr double kBytesN2Universal = 12.5;    // the whole matrix and the inverse's workspace
constexpr double kBytesNodo = 24.0;           // two float grids, the request and the reply
constexpr double kSegundosN3 = 3.4e-12;
constexpr double kSegundosNodoN2 = 1.05e-11;
constexpr double kFactorTendencia = 2.5;      // the drift terms and the inverse
constexpr double kNucleosCalibrado = 2.0;

double LeeNumero(const std::string& ruta) {
  std::ifstream in(ruta);
  std::string texto;
  if (!(in >> texto) || texto == "max") return 0;
  char* fin = nullptr;
  const double v = std::strtod(texto.c_str(), &fin);
  return fin && *fin == '\0' && v > 0 ? v : 0;
}

}  // namespace

double MemoriaDisponible() {
  double disponible = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string clave;
  double valor = 0;
  std::string unidad;
  while (meminfo >> clave >> valor) {
    std::getline(meminfo, unidad);
    if (clave == "MemAvailable:") {
      disponible = valor * 1024.0;
      break;
    }
  }
  // A control group limit (containers) may be below what the machine has.
  const double limite = LeeNumero("/sys/fs/cgroup/memory.max");
  if (limite > 0) {
    const double usado = LeeNumero("/sys/fs/cgroup/memory.current");
    const double libre = std::max(0.0, limite - usado);
    disponible = disponible > 0 ? std::min(disponible, libre) : libre;
  }
  return disponible;
}

EstimacionRecursos EstimaRecursos(int64_t n, int64_t nodos, int grado) {
  EstimacionRecursos e;
  const double dn = double(std::max<int64_t>(n, 0));
  const double dnodos = double(std::max<int64_t>(nodos, 0));
  e.bytes = kBytesBase + (grado > 0 ? kBytesN2Universal : kBytesN2Ordinario) * dn * dn + kBytesNodo * dnodos;
  const unsigned nucleos = std::max(1u, std::thread::hardware_concurrency());
  e.segundos = (kSegundosN3 * dn * dn * dn + kSegundosNodoN2 * dnodos * dn * dn) *
               (grado > 0 ? kFactorTendencia : 1.0) * kNucleosCalibrado / double(nucleos);
  e.disponibles = MemoriaDisponible();
  return e;
}

std::string TextoBytes(double bytes) {
  char b[64];
  if (bytes >= 1e9) std::snprintf(b, sizeof b, "%.1f GB", bytes / 1e9);
  else std::snprintf(b, sizeof b, "%.0f MB", std::ceil(bytes / 1e6));
  std::string r = b;
  std::replace(r.begin(), r.end(), '.', ',');
  return r;
}

std::string TextoSegundos(double s) {
  char b[64];
  if (s < 1) return "menos de 1 s";
  if (s < 60) std::snprintf(b, sizeof b, "%.0f s", s);
  else if (s < 3600) std::snprintf(b, sizeof b, "%.0f min %.0f s", std::floor(s / 60), std::fmod(std::floor(s), 60.0));
  else if (s < 86400 * 2) std::snprintf(b, sizeof b, "%.0f h %.0f min", std::floor(s / 3600), std::floor(std::fmod(s, 3600) / 60));
  else std::snprintf(b, sizeof b, "%.0f días", std::floor(s / 86400));
  return b;
}

Resultado CompruebaRecursos(const EstimacionRecursos& e) {
  const std::string cifras =
      "se estima que necesita " + TextoBytes(e.bytes) + " de memoria" +
      (e.disponibles > 0 ? " (hay " + TextoBytes(e.disponibles) + " disponibles)" : std::string()) + " y unos " +
      TextoSegundos(e.segundos) + " de cálculo";
  if (e.disponibles > 0 && e.bytes > e.disponibles)
    return Resultado::Error("El kriging global de estos datos no cabe en la memoria: " + cifras +
                            ". Use un vecindario de búsqueda (Kriging Local), menos datos o una rejilla menor.");
  if (e.segundos > 60 || (e.disponibles > 0 && e.bytes > e.disponibles / 2))
    return Resultado::Exito("El kriging global de estos datos será lento o grande: " + cifras +
                            ". Un vecindario de búsqueda (Kriging Local) lo haría más rápido.");
  return Resultado::Exito();
}

}  // namespace sorvan
