#pragma once
// Surfaces of a run written as text grids other programs read: ESRI ASCII
// grid (".asc"), the text grid of contouring programs (".grd", "DSAA"), and
// CSV of nodes. Each node of the kriging grid is the centre of its cell.
// Values are written with the fewest digits that read back to the same
// float32. Nodes left out of the run (kHoleValue in the prediction) are
// holes: the format's no-data value, or an empty CSV field.
#include <string>

#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::core {

// Which surface a one-surface writer takes.
enum class Band { Prediction, Variance };

// No-data value of ".asc" files and GeoTIFF bands: the lowest float32, which
// no prediction or variance reaches.
inline constexpr double kRasterNoData = -3.4028234663852886e38;
// Blank value of ".grd" files, the one contouring programs expect.
inline constexpr double kGrdNoData = 1.70141e38;

// True for a node left out of the run.
bool IsHole(const KrigingSurfaces& s, size_t index);

Result WriteAsc(const std::string& path, const KrigingSurfaces& s, Band band);
Result WriteGrd(const std::string& path, const KrigingSurfaces& s, Band band);
// "x,y,prediccion,varianza", one line per node, X fastest, holes empty;
// "x,y,valor" for one surface alone (SupVar empty).
Result WriteNodesCsv(const std::string& path, const KrigingSurfaces& s);

// "dir/nombre.ext" -> "dir/nombre_var.ext": where one-surface formats put the variance.
std::string VariancePath(const std::string& path);

// The shortest text that reads back as the float32 `v`.
std::string FloatText(float v);

}  // namespace sorvan::core
