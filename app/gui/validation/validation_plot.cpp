#include "gui/validation/validation_plot.h"

#include "platform/contour_lines.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace sorvan::gui {
using namespace sorvan::platform;

ValidationPlot::ValidationPlot(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 200);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
}

void ValidationPlot::SetTitles(const QString& title, const QString& xName, const QString& yName) {
  title_ = title, xName_ = xName, yName_ = yName;
  update();
}
void ValidationPlot::SetPoints(std::vector<Point> points) { points_ = std::move(points), update(); }
void ValidationPlot::SetBars(std::vector<Bar> bars) { bars_ = std::move(bars), update(); }
void ValidationPlot::SetCurve(std::vector<QPointF> curve) { curve_ = std::move(curve), update(); }
void ValidationPlot::SetDiagonal(bool shown) { diagonal_ = shown, update(); }
void ValidationPlot::SetEqualScales(bool equal) { equalScales_ = equal, update(); }
void ValidationPlot::SetYFromZero(bool fromZero) { yFromZero_ = fromZero, update(); }
void ValidationPlot::SetXFromZero(bool fromZero) { xFromZero_ = fromZero, update(); }

namespace {
// A round tick in full: coordinates of hundreds of thousands as they are,
// without the binary noise of lo + k * step.
QString TickLabel(double v) { return QString::number(v, 'g', 10); }

// The ticks from `lo` to `hi` in `segments` equal steps, every `every`-th one;
// a tick within a hair of zero is zero (no "-1.2e-17").
std::vector<double> TicksOf(double lo, double hi, int segments, int every) {
  std::vector<double> ticks;
  const double step = (hi - lo) / segments;
  for (int k = 0; k <= segments; k += every) {
    const double v = lo + step * k;
    ticks.push_back(std::abs(v) < 1e-9 * step ? 0.0 : v);
  }
  return ticks;
}
}  // namespace

QRectF ValidationPlot::Extent() const {
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  auto take = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  };
  for (const Point& p : points_) take(p.at.x(), p.at.y());
  for (const Bar& b : bars_) take(b.from, b.height), take(b.to, 0);
  for (const QPointF& c : curve_) take(c.x(), c.y());
  if (!(x0 <= x1)) return QRectF(0, 0, 1, 1);
  if (diagonal_) x0 = y0 = std::min(x0, y0), x1 = y1 = std::max(x1, y1);
  if (yFromZero_) y0 = std::min(y0, 0.0);
  if (xFromZero_) x0 = std::min(x0, 0.0);
  if (x1 == x0) x0 -= 0.5, x1 += 0.5;
  if (y1 == y0) y0 -= 0.5, y1 += 0.5;
  const double mx = 0.04 * (x1 - x0), my = 0.04 * (y1 - y0);
  return QRectF(QPointF(xFromZero_ && x0 >= 0 ? x0 : x0 - mx, yFromZero_ && y0 >= 0 ? y0 : y0 - my),
                QPointF(x1 + mx, y1 + my));
}

ValidationPlot::Axes ValidationPlot::axes() const {
  Axes a;
  const QFontMetrics fm = fontMetrics();
  const QRectF e = Extent();
  // Round ends a little beyond the data, about five steps along each axis.
  double x0, x1, y0, y1;
  int xSegments, ySegments;
  NiceAxisRange(e.left(), e.right(), 5, &x0, &x1, &xSegments);
  NiceAxisRange(e.top(), e.bottom(), 5, &y0, &y1, &ySegments);
  a.range = QRectF(QPointF(x0, y0), QPointF(x1, y1));
  // Room for the widest label at the left and half the last X label at the right.
  const int labelWidth = std::max(fm.horizontalAdvance(TickLabel(x0)), fm.horizontalAdvance(TickLabel(x1))) + 14;
  const int left = fm.horizontalAdvance(QStringLiteral("-0.0000e+00")) + 8, right = std::max(12, labelWidth / 2);
  const int top = fm.height() + 10, bottom = 2 * fm.height() + 10;
  a.area = QRectF(left, top, width() - left - right, height() - top - bottom);
  if (equalScales_ && a.area.width() > 0 && a.area.height() > 0) {
    // Shrink the area so one unit is as long along both axes.
    const double s = std::min(a.area.width() / a.range.width(), a.area.height() / a.range.height());
    const QSizeF used(a.range.width() * s, a.range.height() * s);
    a.area = QRectF(a.area.left() + (a.area.width() - used.width()) / 2,
                    a.area.top() + (a.area.height() - used.height()) / 2, used.width(), used.height());
  }
  // Every step labelled where the labels fit side by side (X) or one above
  // the other with room to spare (Y), otherwise every second or fifth.
  const int xLabels = std::max(1, int(a.area.width() / labelWidth));
  const int yLabels = std::max(1, int(a.area.height() / (2.5 * fm.height())));
  a.xTicks = TicksOf(x0, x1, xSegments, SegmentsPerLabel(xSegments, xLabels));
  a.yTicks = TicksOf(y0, y1, ySegments, SegmentsPerLabel(ySegments, yLabels));
  return a;
}

std::vector<double> ValidationPlot::Ticks(Qt::Orientation axis) const {
  const Axes a = axes();
  return axis == Qt::Horizontal ? a.xTicks : a.yTicks;
}

void ValidationPlot::paintEvent(QPaintEvent*) {
  QPainter g(this);
  g.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics fm = fontMetrics();
  const Axes a = axes();
  const QRectF& area = a.area;
  if (area.width() < 20 || area.height() < 20) return;
  const QRectF& e = a.range;
  auto map = [&](double x, double y) {
    return QPointF(area.left() + (x - e.left()) / e.width() * area.width(),
                   area.bottom() - (y - e.top()) / e.height() * area.height());
  };

  g.setPen(Qt::black);
  g.drawText(QRectF(0, 2, width(), fm.height() + 4), Qt::AlignHCenter, title_);
  g.setPen(QColor(160, 160, 160));
  g.drawRect(area);
  g.setPen(Qt::black);
  const double left = area.left();
  for (double y : a.yTicks) {
    const QPointF py = map(e.left(), y);
    g.drawLine(py, py - QPointF(4, 0));
    g.drawText(QRectF(0, py.y() - fm.height() / 2.0, left - 6, fm.height()), Qt::AlignRight, TickLabel(y));
  }
  for (double x : a.xTicks) {
    const QPointF px = map(x, e.top());
    const double w = fm.horizontalAdvance(TickLabel(x)) + 14;
    g.drawLine(px, px + QPointF(0, 4));
    g.drawText(QRectF(px.x() - w / 2.0, px.y() + 5, w, fm.height()), Qt::AlignHCenter, TickLabel(x));
  }
  g.drawText(QRectF(area.left(), height() - fm.height() - 3, area.width(), fm.height()),
             Qt::AlignHCenter, xName_);
  g.drawText(QRectF(area.left() + 4, area.top() + 2, area.width(), fm.height()), Qt::AlignLeft,
             yName_);

  g.setClipRect(area);
  for (const Bar& b : bars_) {
    const QRectF r(map(b.from, b.height), map(b.to, 0));
    g.fillRect(r.normalized(), QColor(120, 160, 210));
    g.setPen(QColor(40, 70, 120));
    g.drawRect(r.normalized());
  }
  if (diagonal_) {
    g.setPen(QPen(QColor(200, 60, 60), 1.5, Qt::DashLine));
    g.drawLine(map(e.left(), e.left()), map(e.right(), e.right()));
  }
  if (curve_.size() > 1) {
    QPainterPath path(map(curve_[0].x(), curve_[0].y()));
    for (size_t i = 1; i < curve_.size(); ++i) path.lineTo(map(curve_[i].x(), curve_[i].y()));
    g.setPen(QPen(QColor(200, 40, 40), 2));
    g.drawPath(path);
  }
  for (const Point& p : points_) {
    g.setPen(p.colour.darker(140));
    g.setBrush(p.colour);
    g.drawEllipse(map(p.at.x(), p.at.y()), 3.2, 3.2);
  }
}

QColor DivergingColour(double value, double largest) {
  const double t = largest > 0 ? std::clamp(std::abs(value) / largest, 0.0, 1.0) : 0;
  const int fade = int(std::lround(220 * (1 - t)));
  return value < 0 ? QColor(fade, fade, 255) : QColor(255, fade, fade);
}

}  // namespace sorvan::gui
