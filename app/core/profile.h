#pragma once
// The profile: a polygon read from a ".per" file whose interior or exterior is
// left out of the prediction grid.
//
// The ".per" file is text read with free-format list input (numbers separated
// by commas, blanks or line breaks, a period as the decimal separator): the
// number of points, then X and Y of each point. Edges join consecutive points
// only; an outline is closed by repeating its first point at the end.
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "core/result.h"

namespace sorvan::core {

inline constexpr int kMaxProfilePoints = 32767;  // the point count is a 16-bit number

struct Profile {
  std::string file;     // path of the ".per" file
  int npts = 0;            // number of points; 0 means no profile is associated
  std::vector<float> x, y; // npts coordinates each
  float minX = 0, maxX = 0, minY = 0, maxY = 0;  // bounding box of the points
  int side = 0;            // side excluded from kriging: 0 the exterior, 1 the interior

  bool attached() const { return npts > 0; }
  void clear() { *this = Profile{}; }
};

// Reads the profile at `path` into `profile` (file name, points, bounding box;
// the excluded side is kept as it was).
// Failure (file missing, a count below 3 or above kMaxProfilePoints, fewer
// points than announced, a non-numeric or non-finite value, numbers left over
// after the last point): the message names the file, the line and the field,
// and the profile is left unassociated (npts = 0).
Result LeePerfil(const std::string& path, Profile& profile);
// The same reading from a stream; `fileName` is the name used in
// messages and kept as the profile's file name.
Result LeePerfil(std::istream& input, const std::string& fileName, Profile& profile);

// Node mask of the grid of nx by ny nodes with first node (x0, y0) and
// spacing (dx, dy): element (i - 1) + (j - 1) * nx holds 1 for node (i, j)
// inside the polygon, 0 outside. Even-odd rule along grid rows: every
// non-horizontal edge adds a crossing at the first node at or right of it on
// each row y with ya < y <= yb (a thousandth of a spacing of tolerance), and a
// running sum modulo 2 along the row gives the mask. An unclosed outline lacks
// its closing edge, exactly as written in the file. Cost O(nx * ny + edges * ny).
// An empty vector when nx or ny is not positive.
std::vector<int16_t> MascaraPerfil(const Profile& profile, double x0, double y0, double dx,
                                   double dy, int nx, int ny);

}  // namespace sorvan::core
