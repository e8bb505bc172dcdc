#include "core/text_export.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "core/atomic_writer.h"
#include "core/kriging_options.h"

namespace sorvan::core {

namespace {

std::string DoubleText(double v) {
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  return std::string(b, ec == std::errc() ? p : b);
}

const std::vector<float>& BandValues(const KrigingSurfaces& s, Band b) {
  return b == Band::Prediction ? s.SupPred : s.SupVar;
}

Result ValidGrid(const std::string& path, const KrigingSurfaces& s, Band band = Band::Prediction) {
  if (s.nx < 1 || s.ny < 1 || s.SupPred.size() != size_t(s.nx) * size_t(s.ny) ||
      (!s.SupVar.empty() && s.SupVar.size() != s.SupPred.size()) || BandValues(s, band).empty())
    return Result::Error(path + ": no hay superficies que exportar.");
  return Result::Success();
}

}  // namespace

std::string FloatText(float v) {
  char b[64];
  auto [p, ec] = std::to_chars(b, b + sizeof b, v);
  return std::string(b, ec == std::errc() ? p : b);
}

bool IsHole(const KrigingSurfaces& s, size_t k) { return s.SupPred[k] == kHoleValue; }

std::string VariancePath(const std::string& path) {
  const std::filesystem::path p(path);
  return (p.parent_path() / (p.stem().string() + "_var" + p.extension().string())).string();
}

Result WriteAsc(const std::string& path, const KrigingSurfaces& s, Band band) {
  if (Result r = ValidGrid(path, s, band); !r) return r;
  const std::vector<float>& v = BandValues(s, band);
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string&) {
    // The lower-left corner of the lower-left cell: half a cell from its node.
    std::string c = "ncols " + std::to_string(s.nx) + "\nnrows " + std::to_string(s.ny) + "\nxllcorner " +
                    DoubleText(double(s.xMin) - double(s.dx) / 2) + "\nyllcorner " +
                    DoubleText(double(s.yMin) - double(s.dy) / 2) + "\n";
    // Square cells have one size; otherwise the dx/dy pair GIS readers accept.
    if (s.dx == s.dy)
      c += "cellsize " + DoubleText(s.dx) + "\n";
    else
      c += "dx " + DoubleText(s.dx) + "\ndy " + DoubleText(s.dy) + "\n";
    c += "NODATA_value " + DoubleText(kRasterNoData) + "\n";
    if (!w.write(c)) return false;
    // Rows from the top (largest Y) down.
    for (int j = s.ny - 1; j >= 0; --j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += IsHole(s, k) ? DoubleText(kRasterNoData) : FloatText(v[k]);
        c += i + 1 < s.nx ? ' ' : '\n';
      }
      if (!w.write(c)) return false;
    }
    return true;
  });
}

Result WriteGrd(const std::string& path, const KrigingSurfaces& s, Band band) {
  if (Result r = ValidGrid(path, s, band); !r) return r;
  const std::vector<float>& v = BandValues(s, band);
  float zmin = 0, zmax = 0;
  bool hay = false;
  for (size_t k = 0; k < v.size(); ++k) {
    if (IsHole(s, k)) continue;
    zmin = hay ? std::min(zmin, v[k]) : v[k];
    zmax = hay ? std::max(zmax, v[k]) : v[k];
    hay = true;
  }
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string&) {
    // Node-registered: the limits are the first and last nodes.
    std::string c = "DSAA\n" + std::to_string(s.nx) + " " + std::to_string(s.ny) + "\n" + DoubleText(s.xMin) + " " +
                    DoubleText(double(s.xMin) + double(s.dx) * (s.nx - 1)) + "\n" + DoubleText(s.yMin) + " " +
                    DoubleText(double(s.yMin) + double(s.dy) * (s.ny - 1)) + "\n" + FloatText(zmin) + " " +
                    FloatText(zmax) + "\n";
    if (!w.write(c)) return false;
    // Rows from the bottom (smallest Y) up.
    for (int j = 0; j < s.ny; ++j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += IsHole(s, k) ? DoubleText(kGrdNoData) : FloatText(v[k]);
        c += i + 1 < s.nx ? ' ' : '\n';
      }
      if (!w.write(c)) return false;
    }
    return true;
  });
}

Result WriteNodesCsv(const std::string& path, const KrigingSurfaces& s) {
  if (Result r = ValidGrid(path, s); !r) return r;
  return WriteFileAtomically(path, [&](AtomicWriter& w, std::string&) {
    // One surface alone (read from a file) is just "valor".
    const bool una = s.SupVar.empty();
    if (!w.write(una ? "x,y,valor\n" : "x,y,prediccion,varianza\n")) return false;
    std::string c;
    for (int j = 0; j < s.ny; ++j) {
      c.clear();
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        c += DoubleText(double(s.xMin) + double(s.dx) * i) + "," + DoubleText(double(s.yMin) + double(s.dy) * j);
        if (una) c += IsHole(s, k) ? std::string(",") : "," + FloatText(s.SupPred[k]);
        else c += IsHole(s, k) ? std::string(",,") : "," + FloatText(s.SupPred[k]) + "," + FloatText(s.SupVar[k]);
        c += '\n';
      }
      if (!w.write(c)) return false;
    }
    return true;
  });
}

}  // namespace sorvan::core
