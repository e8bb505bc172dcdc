#include "core/profile.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/list_reader.h"

namespace sorvan::core {

Result LeePerfil(const std::string& path, Profile& profile) {
  std::error_code ec;
  std::ifstream input;
  if (!std::filesystem::is_directory(path, ec)) input.open(path, std::ios::binary);
  if (!input.is_open()) {
    const int side = profile.side;
    profile.clear();
    profile.side = side;
    return Result::Error(path + ": no se puede abrir el perfil.\nNo se ha asociado el perfil.");
  }
  return LeePerfil(input, path, profile);
}

Result LeePerfil(std::istream& input, const std::string& path, Profile& profile) {
  const int side = profile.side;
  profile.clear();
  profile.side = side;
  ListReader reader(input, path);
  auto failure = [&] { return Result::Error(reader.error() + "\nNo se ha asociado el perfil."); };
  int64_t npts = 0;
  // Fewer than three points enclose nothing: every node would count as outside.
  if (!reader.readInteger(npts, "nº de puntos del perfil", 3, kMaxProfilePoints)) return failure();

  Profile p;
  p.file = path;
  p.side = side;
  for (int k = 1; k <= npts; ++k) {
    float x = 0, y = 0;
    if (!reader.readNumber(x, "X del punto " + std::to_string(k)) ||
        !reader.readNumber(y, "Y del punto " + std::to_string(k)))
      return failure();
    p.x.push_back(x);
    p.y.push_back(y);
    if (k == 1) {
      p.minX = p.maxX = x;
      p.minY = p.maxY = y;
    } else {
      if (x < p.minX) p.minX = x; else if (x > p.maxX) p.maxX = x;
      if (y < p.minY) p.minY = y; else if (y > p.maxY) p.maxY = y;
    }
  }
  if (!reader.atEnd())
    return Result::Error(path + ", línea " + std::to_string(reader.line()) +
                            ": hay más datos después del último punto (se anunciaron " +
                            std::to_string(npts) + ").\nNo se ha asociado el perfil.");
  p.npts = static_cast<int>(npts);
  profile = std::move(p);
  return Result::Success();
}

namespace {
// Grid index from a real position, saturated so that a far or undefined
// position can never overflow the conversion.
long long CellIndex(double v) {
  if (std::isnan(v)) return -1;
  if (v < -1e9) return -1'000'000'000LL;
  if (v > 1e9) return 1'000'000'000LL;
  return static_cast<long long>(std::floor(v));
}
}  // namespace

std::vector<int16_t> MascaraPerfil(const Profile& profile, double x0, double y0, double dx, double dy,
                                   int nx, int ny) {
  if (nx <= 0 || ny <= 0) return {};
  std::vector<int16_t> mask(size_t(nx) * size_t(ny), 0);
  if (!(dx > 0) || !(dy > 0)) return mask;
  const int npts = std::min<int>(profile.npts, int(std::min(profile.x.size(), profile.y.size())));

  // Crossings: each edge counts once on every row y with ya < y <= yb, at the
  // first node at or right of it.
  for (int k = 0; k + 1 < npts; ++k) {
    double xa = profile.x[k], already = profile.y[k], xb = profile.x[k + 1], yb = profile.y[k + 1];
    if (already == yb) continue;  // a horizontal edge crosses no row
    if (already > yb) {
      std::swap(xa, xb);
      std::swap(already, yb);
    }
    long long j1 = CellIndex((already - y0) / dy) + 2;
    long long j2 = CellIndex((yb - y0) / dy) + 1;
    if (j1 > ny || j2 < 1) continue;
    j1 = std::max(j1, 1LL);
    j2 = std::min(j2, static_cast<long long>(ny));
    for (long long j = j1; j <= j2; ++j) {
      const double y = double(j - 1) * dy + y0;
      const double x = (y - already) * (xa - xb) / (already - yb) + xa;
      // A thousandth of a spacing of tolerance: a node right on the edge counts as right of it.
      long long i = CellIndex((x - x0) / dx + 0.999) + 1;
      if (i > nx) continue;
      i = std::max(i, 1LL);
      mask[size_t(i - 1) + size_t(j - 1) * size_t(nx)] += 1;
    }
  }
  // Even-odd rule: parity of the crossings at or left of each node.
  for (int j = 0; j < ny; ++j) {
    int sum = 0;
    for (int i = 0; i < nx; ++i) {
      int16_t& node = mask[size_t(i) + size_t(j) * size_t(nx)];
      sum += node;
      node = static_cast<int16_t>(sum % 2);
    }
  }
  return mask;
}

}  // namespace sorvan::core
