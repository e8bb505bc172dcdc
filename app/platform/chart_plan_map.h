#pragma once
// Plan drawings of a grid surface shared by the screen and the picture files of
// the 3-D chart: the contour map seen from above, the contour image laid on
// the floor of the 3-D view, and the colour scale of Z.
#include "platform/chart_grid.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace sorvan::platform {

// Colour of Z at fraction t of the Z range (0 low: blue, 1 high: red);
// t is clamped to [0, 1].
QColor ZColour(double t);
// The same ramp as gradient stops (for the 3-D series).
std::vector<std::pair<double, QColor>> ZColourStops();

// Short text of a Z value or level: 4 significant digits, no exponent for
// ordinary magnitudes.
QString ZText(double value);

// The contour map of `grid` in `area`: north up, equal scales on X and Y,
// framed, with tick labels on both axes. `bands` fills between the levels with
// the colour of each band (over [zmin, zmax]); otherwise the defined area is
// tinted lightly. The level lines are drawn, and labelled with their values
// when `labels` is set. Hole nodes are left blank.
void PaintPlanMap(QPainter& painter, const QRectF& area, const SurfaceGrid& grid, const std::vector<double>& levels,
                  bool bands, double zmin, double zmax, bool labels = true);

// An image of the contour lines over pale bands, to lay on the floor of the
// 3-D view: north up like a map (the first row is y = yMax, the first column
// x = xMin), `size` pixels in all; cells touching a hole are light grey.
// With `labels` the lines carry their values.
QImage ContourFloorImage(const SurfaceGrid& grid, const std::vector<double>& levels, double zmin, double zmax,
                         QSize size, bool labels = false);

// Writes the value of `level` along `path` (a contour line in pixels) at its
// middle, upright, in `font` on a light box, unless the line is shorter than
// `minLength` or the box would overlap one in `taken` (to which it is added).
// Returns whether a label was written.
bool LabelContourLine(QPainter& painter, const QPainterPath& path, double level, const QColor& colour,
                      const QFont& font, double minLength, std::vector<QRectF>& taken);

// The vertical colour scale of Z in `area`: a gradient bar from zmin (bottom)
// to zmax (top) divided into `segments` equal steps, each marked, with value
// labels on every step or every few (always at both ends), and a line across
// the bar at every contour level, headed by `title`.
void PaintColourScale(QPainter& painter, const QRectF& area, double zmin, double zmax, int segments,
                      const std::vector<double>& levels, const QString& title);

// The values PaintColourScale labels on a bar `barHeight` high whose labels
// are `textHeight` high.
std::vector<double> ColourScaleLabels(double zmin, double zmax, int segments, double barHeight, double textHeight);

}  // namespace sorvan::platform
