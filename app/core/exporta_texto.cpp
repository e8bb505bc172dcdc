#include "core/exporta_texto.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "core/escritura_atomica.h"
#include "core/opciones_kriging.h"

namespace sorvan {

namespace {

std::string TextoDouble(double v) {
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  return std::string(b, ec == std::errc() ? p : b);
}

const std::vector<float>& Valores(const SuperficiesKriging& s, Banda b) {
  return b == Banda::Prediccion ? s.SupPred : s.SupVar;
}

Resultado RejillaValida(const std::string& ruta, const SuperficiesKriging& s, Banda banda = Banda::Prediccion) {
  if (s.nx < 1 || s.ny < 1 || s.SupPred.size() != size_t(s.nx) * size_t(s.ny) ||
      (!s.SupVar.empty() && s.SupVar.size() != s.SupPred.size()) || Valores(s, banda).empty())
    return Resultado::Error(ruta + ": no hay superficies que exportar.");
  return Resultado::Exito();
}

}  // namespace

std::string TextoFloat(float v) {
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  return std::string(b, ec == std::errc() ? p : b);
}

bool EsHueco(const SuperficiesKriging& s, size_t k) { return s.SupPred[k] == kValorHueco; }

std::string RutaVarianza(const std::string& ruta) {
  const std::filesystem::path p(ruta);
  return (p.parent_path() / (p.stem().string() + "_var" + p.extension().string())).string();
}

Resultado EscribeAsc(const std::string& ruta, const SuperficiesKriging& s, Banda banda) {
  if (Resultado r = RejillaValida(ruta, s, banda); !r) return r;
  const std::vector<float>& v = Valores(s, banda);
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string&) {
    // The lower-left corner of the lower-left cell: half a cell from its node.
    std::string c = "ncols " + std::to_string(s.nx) + "\nnrows " + std::to_string(s.ny) + "\nxllcorner " +
                    TextoDouble(double(s.xMin) - double(s.dx) / 2) + "\nyllcorner " +
                    TextoDouble(double(s.yMin) - double(s.dy) / 2) + "\n";
    // Square cells have one size; otherwise the dx/dy pair GIS readers accept.
    if (s.dx == s.dy)
      c += "cellsize " + TextoDouble(s.dx) + "\n";
    else
      c += "dx " + TextoDouble(s.dx) + "\ndy " + TextoDouble(s.dy) + "\n";
    c += "NODATA_value " + TextoDouble(kSinDatoRaster) + "\n";
    if (!w.escribe(c)) return false;
    // Rows from the top (largest Y) down.
    for (int j = s.ny - 1; j >= 0; --j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += EsHueco(s, k) ? TextoDouble(kSinDatoRaster) : TextoFloat(v[k]);
        c += i + 1 < s.nx ? ' ' : '\n';
      }
      if (!w.escribe(c)) return false;
    }
    return true;
  });
}

Resultado EscribeGrd(const std::string& ruta, const SuperficiesKriging& s, Banda banda) {
  if (Resultado r = RejillaValida(ruta, s, banda); !r) return r;
  const std::vector<float>& v = Valores(s, banda);
  float zmin = 0, zmax = 0;
  bool hay = false;
  for (size_t k = 0; k < v.size(); ++k) {
    if (EsHueco(s, k)) continue;
    zmin = hay ? std::min(zmin, v[k]) : v[k];
    zmax = hay ? std::max(zmax, v[k]) : v[k];
    hay = true;
  }
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string&) {
    // Node-registered: the limits are the first and last nodes.
    std::string c = "DSAA\n" + std::to_string(s.nx) + " " + std::to_string(s.ny) + "\n" + TextoDouble(s.xMin) + " " +
                    TextoDouble(double(s.xMin) + double(s.dx) * (s.nx - 1)) + "\n" + TextoDouble(s.yMin) + " " +
                    TextoDouble(double(s.yMin) + double(s.dy) * (s.ny - 1)) + "\n" + TextoFloat(zmin) + " " +
                    TextoFloat(zmax) + "\n";
    if (!w.escribe(c)) return false;
    // Rows from the bottom (smallest Y) up.
    for (int j = 0; j < s.ny; ++j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += EsHueco(s, k) ? TextoDouble(kSinDatoGrd) : TextoFloat(v[k]);
        c += i + 1 < s.nx ? ' ' : '\n';
      }
      if (!w.escribe(c)) return false;
    }
    return true;
  });
}

Resultado EscribeCsvNodos(const std::string& ruta, const SuperficiesKriging& s) {
  if (Resultado r = RejillaValida(ruta, s); !r) return r;
  return EscribeArchivoAtomico(ruta, [&](EscrituraAtomica& w, std::string&) {
    // One surface alone (read from a file) is just "valor".
    const bool una = s.SupVar.empty();
    if (!w.escribe(una ? "x,y,valor\n" : "x,y,prediccion,varianza\n")) return false;
    std::string c;
    for (int j = 0; j < s.ny; ++j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += TextoDouble(double(s.xMin) + double(s.dx) * i) + "," + TextoDouble(double(s.yMin) + double(s.dy) * j);
        if (una) c += EsHueco(s, k) ? std::string(",") : "," + TextoFloat(s.SupPred[k]);
        else c += EsHueco(s, k) ? std::string(",,") : "," + TextoFloat(s.SupPred[k]) + "," + TextoFloat(s.SupVar[k]);
        c += '\n';
      }
      if (!w.escribe(c)) return false;
    }
    return true;
  });
}

}  // namespace sorvan
