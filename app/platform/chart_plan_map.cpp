#include "platform/chart_plan_map.h"

#include "platform/contour_lines.h"

#include <QFontMetricsF>
#include <QObject>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace sorvan::platform {

namespace {

// A diverging blue-yellow-red ramp: low values cool, high values warm, with a
// light middle so that contour lines stay visible over every band.
const std::pair<double, QColor> kStops[] = {
    {0.00, QColor(49, 54, 149)},   {0.15, QColor(69, 117, 180)}, {0.30, QColor(116, 173, 209)},
    {0.45, QColor(171, 217, 233)}, {0.55, QColor(254, 224, 144)}, {0.70, QColor(253, 174, 97)},
    {0.85, QColor(244, 109, 67)},  {1.00, QColor(165, 0, 38)}};

// Node value interpolated bilinearly at fractional node indices (fi, fj); NaN
// where the cell touches a hole or lies outside the grid.
double sampleAt(const SurfaceGrid& g, double fi, double fj) {
  if (fi < 0 || fj < 0 || fi > g.nx - 1 || fj > g.ny - 1) return NAN;
  const int i = std::min(static_cast<int>(fi), std::max(g.nx - 2, 0));
  const int j = std::min(static_cast<int>(fj), std::max(g.ny - 2, 0));
  const int i1 = std::min(i + 1, g.nx - 1), j1 = std::min(j + 1, g.ny - 1);
  const float a = g.at(i, j), b = g.at(i1, j), c = g.at(i, j1), d = g.at(i1, j1);
  if (g.isHole(a) || g.isHole(b) || g.isHole(c) || g.isHole(d)) return NAN;
  const double u = fi - i, v = fj - j;
  return (1 - u) * (1 - v) * a + u * (1 - v) * b + (1 - u) * v * c + u * v * d;
}

// The colour of the band holding z: the ramp's colour at the band's middle.
QColor bandColour(double z, const std::vector<double>& levels, double zmin, double zmax) {
  double low = zmin, high = zmax;
  for (double level : levels) {
    if (level <= z) low = std::max(low, level);
    else { high = std::min(high, level); break; }
  }
  const double span = zmax > zmin ? zmax - zmin : 1.0;
  return ZColour(((low + high) / 2 - zmin) / span);
}

// Raster of the surface: pixel (px, py) of `image` covers grid point
// (px + 0.5) / w of the X extent and, when `northUp`, (h - py - 0.5) / h of Y.
void fillRaster(QImage& image, const SurfaceGrid& g, bool northUp, const std::vector<double>& levels, double zmin,
                double zmax, bool bands, QColor tint) {
  image.fill(Qt::transparent);
  if (g.nx < 2 || g.ny < 2) return;
  const int w = image.width(), h = image.height();
  for (int py = 0; py < h; ++py) {
    const double fy = (northUp ? (h - py - 0.5) : (py + 0.5)) / h * (g.ny - 1);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
    for (int px = 0; px < w; ++px) {
      const double z = sampleAt(g, (px + 0.5) / w * (g.nx - 1), fy);
      if (std::isnan(z)) continue;
      line[px] = bands ? bandColour(z, levels, zmin, zmax).rgba() : tint.rgba();
    }
  }
}

// Round tick values covering [low, high].
std::vector<double> ticks(double low, double high, int count) {
  std::vector<double> t = RoundContourLevels(low, high, count);
  return t;
}

}  // namespace

QColor ZColour(double t) {
  if (!(t > 0)) return kStops[0].second;
  if (t >= 1) return kStops[std::size(kStops) - 1].second;
  for (std::size_t k = 1; k < std::size(kStops); ++k) {
    if (t <= kStops[k].first) {
      const double u = (t - kStops[k - 1].first) / (kStops[k].first - kStops[k - 1].first);
      const QColor a = kStops[k - 1].second, b = kStops[k].second;
      return QColor::fromRgbF(static_cast<float>(a.redF() + u * (b.redF() - a.redF())),
                              static_cast<float>(a.greenF() + u * (b.greenF() - a.greenF())),
                              static_cast<float>(a.blueF() + u * (b.blueF() - a.blueF())));
    }
  }
  return kStops[std::size(kStops) - 1].second;
}

std::vector<std::pair<double, QColor>> ZColourStops() { return {std::begin(kStops), std::end(kStops)}; }

QString ZText(double value) {
  if (value == 0) return "0";
  QString text = QString::number(value, 'g', 4);
  if (text.contains('e')) text = QString::number(value, 'f', std::abs(value) >= 1 ? 0 : 6);
  return text;
}

bool LabelContourLine(QPainter& painter, const QPainterPath& path, double level, const QColor& colour,
                      const QFont& font, double minLength, std::vector<QRectF>& taken) {
  if (path.length() < minLength) return false;
  const QFontMetricsF fl(font);
  const double at = path.percentAtLength(path.length() / 2);
  const QPointF c = path.pointAtPercent(at);
  // Along the line, but never upside down: the tangent (counter-clockwise,
  // 0..360) becomes a clockwise rotation within [-90, 90].
  double angle = std::remainder(-path.angleAtPercent(at), 360.0);
  if (angle < -90) angle += 180;
  if (angle > 90) angle -= 180;
  const QString text = ZText(level);
  const QRectF box(-fl.horizontalAdvance(text) / 2 - 2, -fl.height() / 2, fl.horizontalAdvance(text) + 4, fl.height());
  const QRectF footprint = box.translated(c).adjusted(-4, -4, 4, 4);
  if (std::any_of(taken.begin(), taken.end(), [&](const QRectF& r) { return r.intersects(footprint); })) return false;
  taken.push_back(footprint);
  painter.save();
  painter.translate(c);
  painter.rotate(angle);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 215));
  painter.drawRoundedRect(box, 2, 2);
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(box, Qt::AlignCenter, text);
  painter.restore();
  return true;
}

void PaintPlanMap(QPainter& painter, const QRectF& area, const SurfaceGrid& g, const std::vector<double>& levels,
                  bool bands, double zmin, double zmax, bool labels) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetricsF fm(painter.font());
  if (g.empty()) {
    painter.drawText(area, Qt::AlignCenter, QObject::tr("Sin datos"));
    painter.restore();
    return;
  }
  // Map frame with equal scales on both axes (a map keeps its shape), leaving
  // room for the tick labels at the left and the bottom.
  const double width = std::max(g.dx * (g.nx - 1), 1e-12), height = std::max(g.dy * (g.ny - 1), 1e-12);
  const QRectF room = area.adjusted(fm.horizontalAdvance("0000000.0") + 12, fm.height() + 8, -12,
                                    -(2 * fm.height() + 14));
  if (room.width() < 20 || room.height() < 20) {
    painter.restore();
    return;
  }
  const double scale = std::min(room.width() / width, room.height() / height);
  const QRectF map(room.left() + (room.width() - width * scale) / 2, room.top() + (room.height() - height * scale) / 2,
                   width * scale, height * scale);
  auto toPixel = [&](double x, double y) {
    return QPointF(map.left() + (x - g.xMin) * scale, map.bottom() - (y - g.yMin) * scale);
  };

  QImage raster(std::max(1, static_cast<int>(map.width())), std::max(1, static_cast<int>(map.height())),
                QImage::Format_ARGB32);
  fillRaster(raster, g, true, levels, zmin, zmax, bands, QColor(238, 238, 232));
  painter.drawImage(map, raster);

  // Level lines, then their labels where a line is long enough to carry one.
  std::vector<QRectF> taken;
  QFont labelFont = painter.font();
  labelFont.setPointSizeF(std::max(6.5, labelFont.pointSizeF() - 1.5));
  const double span = zmax > zmin ? zmax - zmin : 1.0;
  for (double level : levels) {
    const QColor colour = bands ? QColor(30, 30, 30) : ZColour((level - zmin) / span).darker(135);
    painter.setPen(QPen(colour, bands ? 0.9 : 1.4));
    for (const ContourPolyline& line : ContourLines(g, level)) {
      QPainterPath path;
      std::vector<QPointF> pts;
      for (const ContourPoint& p : line) pts.push_back(toPixel(p.x, p.y));
      path.moveTo(pts.front());
      for (std::size_t k = 1; k < pts.size(); ++k) path.lineTo(pts[k]);
      painter.drawPath(path);
      if (labels) LabelContourLine(painter, path, level, colour, labelFont, 90, taken);
    }
  }

  // Frame and tick labels: X along the bottom, Y along the left.
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(map);
  for (int axis = 0; axis < 2; ++axis) {
    const bool isX = axis == 0;
    const double low = isX ? g.xMin : g.yMin, high = low + (isX ? width : height);
    const double pixels = isX ? map.width() : map.height();
    for (double v : ticks(low, high, std::max(2, static_cast<int>(pixels / (isX ? 90 : 50))))) {
      const QPointF p = isX ? toPixel(v, g.yMin) : toPixel(g.xMin, v);
      const QString text = ZText(v);
      if (isX) {
        painter.drawLine(p, p + QPointF(0, 4));
        painter.drawText(QRectF(p.x() - 60, p.y() + 5, 120, fm.height()), Qt::AlignHCenter | Qt::AlignTop, text);
      } else {
        painter.drawLine(p, p - QPointF(4, 0));
        painter.drawText(QRectF(p.x() - 206, p.y() - fm.height() / 2, 200, fm.height()), Qt::AlignRight, text);
      }
    }
  }
  painter.drawText(QRectF(map.left(), map.bottom() + fm.height() + 8, map.width(), fm.height()), Qt::AlignHCenter,
                   QObject::tr("X (este)"));
  painter.drawText(QRectF(area.left(), map.top() - fm.height() - 4, map.left() - area.left(), fm.height()),
                   Qt::AlignRight, QObject::tr("Y (norte)"));
  painter.restore();
}

QImage ContourFloorImage(const SurfaceGrid& g, const std::vector<double>& levels, double zmin, double zmax,
                         QSize size, bool labels) {
  // The graph lays the image's first row at the far (north) edge of the
  // floor, so the image is drawn north up like a map.
  QImage bands(size, QImage::Format_ARGB32);
  fillRaster(bands, g, true, levels, zmin, zmax, true, {});
  QImage image(size, QImage::Format_ARGB32);
  // The graph does not honour transparency in a texture: cells left out are
  // painted a neutral grey instead.
  image.fill(QColor(228, 228, 228));
  QPainter painter(&image);
  painter.drawImage(0, 0, bands);
  // Pale bands: the surface above carries the full colours.
  painter.fillRect(image.rect(), QColor(255, 255, 255, 90));
  painter.setRenderHint(QPainter::Antialiasing);
  const double sx = size.width() / std::max(g.dx * (g.nx - 1), 1e-12);
  const double sy = size.height() / std::max(g.dy * (g.ny - 1), 1e-12);
  const double yMax = g.y(g.ny - 1);
  const QPen pen(QColor(10, 10, 10), std::max(2.5, size.width() / 250.0));
  // Labels large enough to read on the floor seen in perspective.
  QFont labelFont = painter.font();
  labelFont.setPixelSize(std::max(12, size.width() / 28));
  std::vector<QRectF> taken;
  for (double level : levels) {
    for (const ContourPolyline& line : ContourLines(g, level)) {
      QPainterPath path;
      path.moveTo((line[0].x - g.xMin) * sx, (yMax - line[0].y) * sy);
      for (std::size_t k = 1; k < line.size(); ++k) path.lineTo((line[k].x - g.xMin) * sx, (yMax - line[k].y) * sy);
      painter.setPen(pen);
      painter.drawPath(path);
      if (labels) LabelContourLine(painter, path, level, QColor(10, 10, 10), labelFont, size.width() / 5.0, taken);
    }
  }
  return image;
}

std::vector<double> ColourScaleLabels(double zmin, double zmax, int segments, double barHeight, double textHeight) {
  const int n = std::max(segments, 1);
  int group = 1;
  while (group < n && (n % group != 0 || barHeight / n * group < 1.4 * textHeight)) ++group;
  std::vector<double> values;
  for (int k = 0; k < n; k += group) values.push_back(zmin + (zmax - zmin) * k / n);
  values.push_back(zmax);
  return values;
}

void PaintColourScale(QPainter& painter, const QRectF& area, double zmin, double zmax, int segments,
                      const std::vector<double>& levels, const QString& title) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetricsF fm(painter.font());
  const QRectF bar(area.left() + 8, area.top() + 2 * fm.height() + 6, 18,
                   std::max(10.0, area.height() - 3 * fm.height() - 12));
  painter.setPen(QColor(40, 40, 40));
  painter.drawText(QRectF(area.left(), area.top() + 2, area.width(), fm.height() * 2 + 4),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title);
  QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
  for (const auto& [t, colour] : ZColourStops()) gradient.setColorAt(t, colour);
  painter.fillRect(bar, gradient);
  painter.setPen(QColor(80, 80, 80));
  painter.drawRect(bar);
  const double span = zmax > zmin ? zmax - zmin : 1.0;
  auto yOf = [&](double z) { return bar.bottom() - (z - zmin) / span * bar.height(); };
  // A short mark at every step of the scale, a longer one with its value
  // where there is room for the label.
  const int n = std::max(segments, 1);
  for (int k = 0; k <= n; ++k) {
    const double y = bar.bottom() - bar.height() * k / n;
    painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 3, y));
  }
  for (double v : ColourScaleLabels(zmin, zmax, segments, bar.height(), fm.height())) {
    const double y = yOf(v);
    painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 6, y));
    painter.drawText(QRectF(bar.right() + 8, y - fm.height() / 2, area.right() - bar.right() - 8, fm.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, ZText(v));
  }
  // Contour levels as thin dark marks across the bar.
  painter.setPen(QPen(QColor(20, 20, 20, 170), 1));
  for (double level : levels)
    if (level >= zmin && level <= zmax) painter.drawLine(QPointF(bar.left(), yOf(level)), QPointF(bar.right(), yOf(level)));
  painter.restore();
}

}  // namespace sorvan::platform
