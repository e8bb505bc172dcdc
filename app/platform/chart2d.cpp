#include "platform/chart2d.h"
#include "platform/image_file.h"

#include "platform/chart_files.h"
#include "platform/contour_lines.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace sorvan::platform {

namespace {

const QColor kSeriesColours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(90, 90, 90), QColor(40, 40, 40),
                                 QColor(44, 160, 44), QColor(148, 103, 189)};

QColor colourOf(int s) { return kSeriesColours[(s - 1) % 6]; }

Qt::PenStyle penStyleOf(int lineCode) {
  switch (lineCode) {
    case 0: return Qt::SolidLine;
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    default: return Qt::NoPen;
  }
}

constexpr int kTickSymbol = 5;
constexpr double kTickHeight = 9.0;  // pixels

// Scatter marker for symbol codes 1-4; -1 for none or the tick drawn by hand.
int markerOf(int symbolCode) {
  switch (symbolCode) {
    case 1: return QScatterSeries::MarkerShapeCircle;
    case 2: return QScatterSeries::MarkerShapeRectangle;
    case 3: return QScatterSeries::MarkerShapeRotatedRectangle;
    case 4: return QScatterSeries::MarkerShapeTriangle;
    default: return -1;
  }
}

// A triangle, square... drawn in the legend with QPainterPath.
QPainterPath symbolPath(int symbolCode, QPointF c, double size) {
  QPainterPath path;
  const double r = size / 2;
  switch (symbolCode) {
    case 1: path.addEllipse(c, r, r); break;
    case 2: path.addRect(QRectF(c.x() - r, c.y() - r, size, size)); break;
    case 3: path.moveTo(c.x(), c.y() - r); path.lineTo(c.x() + r, c.y()); path.lineTo(c.x(), c.y() + r);
            path.lineTo(c.x() - r, c.y()); path.closeSubpath(); break;
    case 4: path.moveTo(c.x(), c.y() - r); path.lineTo(c.x() + r, c.y() + r); path.lineTo(c.x() - r, c.y() + r);
            path.closeSubpath(); break;
    case kTickSymbol: path.moveTo(c.x(), c.y() + r); path.lineTo(c.x(), c.y() - r); break;
    default: break;
  }
  return path;
}

// Chart view that reports a left click on the chart.
class ClickView : public QChartView {
public:
  ClickView(QChart* chart, Chart2D* owner) : QChartView(chart), owner_(owner) {}

protected:
  void mousePressEvent(QMouseEvent* event) override {
    QChartView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) emit owner_->ChartClicked();
  }

private:
  Chart2D* owner_;
};

}  // namespace

Chart2D::Chart2D(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart;
  chart_->legend()->hide();  // the legend, with its title, is drawn over the plot
  chart_->setBackgroundRoundness(0);
  chart_->setMargins(QMargins(8, 8, 8, 8));
  view_ = new ClickView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(chart_, &QChart::plotAreaChanged, this, [this] { placeOverlay(); });
  rebuild();
}

Chart2D::~Chart2D() = default;

void Chart2D::Batch(bool on) {
  if (on) {
    ++batch_;
    return;
  }
  if (batch_ > 0) --batch_;
  if (batch_ == 0 && dirty_) rebuild();
}

void Chart2D::changed() {
  dirty_ = true;
  if (batch_ == 0) rebuild();
}

void Chart2D::Move(int left, int top, int width, int height) { setGeometry(left, top, width, height); }
void Chart2D::Visible(bool on) { setVisible(on); }

bool Chart2D::LoadDataFile(const QString& path, QString* error) {
  GeneralData data;
  if (!ReadGeneralFile(path, data, error)) return false;
  hole_ = data.hole;
  series_.clear();
  labels_.clear();
  for (GeneralSeries& s : data.series) series_.push_back(Series{std::move(s.x), std::move(s.y)});
  changed();
  return true;
}

Chart2D::Series& Chart2D::series(int s) {
  if (s < 1) s = 1;
  if (s > SeriesCount()) SetSeriesCount(s);
  return series_[static_cast<std::size_t>(s - 1)];
}

const Chart2D::Series& Chart2D::series(int s) const {
  static const Series none;
  return (s >= 1 && s <= SeriesCount()) ? series_[static_cast<std::size_t>(s - 1)] : none;
}

Chart2D::Style& Chart2D::style(int s) {
  if (static_cast<int>(styles_.size()) < s) styles_.resize(static_cast<std::size_t>(s));
  return styles_[static_cast<std::size_t>(s - 1)];
}

Chart2D::Style Chart2D::styleOf(int s) const {
  return (s >= 1 && s <= static_cast<int>(styles_.size())) ? styles_[static_cast<std::size_t>(s - 1)] : Style{};
}

void Chart2D::SetSeriesCount(int n) {
  if (n < 0) n = 0;
  series_.resize(static_cast<std::size_t>(n));
  changed();
}

int Chart2D::PointCount(int s) const { return static_cast<int>(series(s).x.size()); }

void Chart2D::SetPointCount(int s, int n) {
  Series& ser = series(s);
  ser.x.resize(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  ser.y.resize(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  changed();
}

double Chart2D::X(int s, int p) const {
  const Series& ser = series(s);
  return (p >= 1 && p <= static_cast<int>(ser.x.size())) ? ser.x[static_cast<std::size_t>(p - 1)] : 0.0;
}

double Chart2D::Y(int s, int p) const {
  const Series& ser = series(s);
  return (p >= 1 && p <= static_cast<int>(ser.y.size())) ? ser.y[static_cast<std::size_t>(p - 1)] : 0.0;
}

void Chart2D::SetX(int s, int p, double v) {
  Series& ser = series(s);
  if (p > static_cast<int>(ser.x.size())) SetPointCount(s, p);
  if (p >= 1) ser.x[static_cast<std::size_t>(p - 1)] = v;
  changed();
}

void Chart2D::SetY(int s, int p, double v) {
  Series& ser = series(s);
  if (p > static_cast<int>(ser.y.size())) SetPointCount(s, p);
  if (p >= 1) ser.y[static_cast<std::size_t>(p - 1)] = v;
  changed();
}

void Chart2D::LegendTitle(const QString& text) {
  legendTitle_ = text;
  changed();
}

void Chart2D::SeriesLabel(int s, const QString& text) {
  if (s < 1) return;
  if (static_cast<int>(seriesLabels_.size()) < s) seriesLabels_.resize(static_cast<std::size_t>(s));
  seriesLabels_[static_cast<std::size_t>(s - 1)] = text;
  changed();
}

QString Chart2D::SeriesLabelText(int s) const {
  return (s >= 1 && s <= static_cast<int>(seriesLabels_.size())) ? seriesLabels_[static_cast<std::size_t>(s - 1)]
                                                                 : QString();
}

void Chart2D::SeriesStyle(int s, int lineCode, int symbolCode) {
  if (s < 1) return;
  style(s).line = lineCode;
  style(s).symbol = symbolCode;
  changed();
}

int Chart2D::LineCode(int s) const { return styleOf(s).line; }
int Chart2D::SymbolCode(int s) const { return styleOf(s).symbol; }

void Chart2D::XAxisSwitch(bool on) {
  xGrid_ = on;
  changed();
}

void Chart2D::AxisTitles(const QString& xTitle, const QString& yTitle) {
  xTitle_ = xTitle;
  yTitle_ = yTitle;
  changed();
}

ChartLabel& Chart2D::AddLabel() {
  labels_.emplace_back();
  changed();
  return labels_.back();
}

void Chart2D::SeriesDisplayCode(int s, int code) {
  if (s < 1) return;
  if (code == 4)
    for (Style& other : styles_)
      if (other.display == 4) other.display = 3;
  style(s).display = code;
  changed();
}

int Chart2D::DisplayCode(int s) const { return styleOf(s).display; }

void Chart2D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A narrower chart holds fewer X labels side by side: rebuild the axis
  // when the count that fits changes, so that none is elided ("12...").
  if (!series_.empty() && xSegmentsThatFit() != xSegmentCap_)
    changed();
  else
    placeOverlay();
}

// The most X steps (2 to 10) whose labels, about six digits wide each with a
// gap, fit side by side across the chart less the room of the Y axis.
int Chart2D::xSegmentsThatFit() const {
  const QFontMetrics fm(chart_->axes(Qt::Horizontal).isEmpty() ? font()
                                                               : chart_->axes(Qt::Horizontal).first()->labelsFont());
  const int labelWidth = fm.horizontalAdvance(QStringLiteral("000000")) + fm.averageCharWidth() * 2;
  const int plotWidth = width() - 120;
  return std::clamp(plotWidth / std::max(labelWidth, 1) - 1, 2, 10);
}

// Rebuilds the Qt series and axes from the data: one line series and one
// scatter series per chart series, as its style asks.
void Chart2D::rebuild() {
  dirty_ = false;
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  auto* ax = new QValueAxis;
  auto* ay = new QValueAxis;
  ax->setTitleText(xTitle_);
  ay->setTitleText(yTitle_);
  ax->setGridLineVisible(xGrid_);
  ax->setMinorGridLineVisible(false);
  chart_->addAxis(ax, Qt::AlignBottom);
  chart_->addAxis(ay, Qt::AlignLeft);

  double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
  bool any = false;
  for (int s = 1; s <= SeriesCount(); ++s) {
    const Series& ser = series(s);
    const Style st = styleOf(s);
    const bool emphasised = st.display == 4;
    QLineSeries* line = nullptr;
    QScatterSeries* dots = nullptr;
    if (penStyleOf(st.line) != Qt::NoPen) {
      line = new QLineSeries;
      QPen pen(colourOf(s), emphasised ? 3.5 : 1.8, penStyleOf(st.line));
      line->setPen(pen);
    }
    if (markerOf(st.symbol) >= 0) {
      dots = new QScatterSeries;
      dots->setMarkerShape(static_cast<QScatterSeries::MarkerShape>(markerOf(st.symbol)));
      dots->setMarkerSize(emphasised ? 13.0 : 8.0);
      dots->setColor(colourOf(s));
      dots->setBorderColor(emphasised ? Qt::black : colourOf(s).darker(130));
    }
    for (std::size_t p = 0; p < ser.x.size(); ++p) {
      const double x = ser.x[p], y = ser.y[p];
      if (y == hole_ || !std::isfinite(x) || !std::isfinite(y)) continue;
      if (line) line->append(x, y);
      if (dots) dots->append(x, y);
      if (!any) xmin = xmax = x, ymin = ymax = y;
      xmin = std::min(xmin, x), xmax = std::max(xmax, x);
      ymin = std::min(ymin, y), ymax = std::max(ymax, y);
      any = true;
    }
    for (QXYSeries* xy : {static_cast<QXYSeries*>(line), static_cast<QXYSeries*>(dots)}) {
      if (!xy) continue;
      chart_->addSeries(xy);
      xy->attachAxis(ax);
      xy->attachAxis(ay);
      // Emphasised series are drawn last, over the others.
      if (emphasised) xy->setOpacity(1.0);
      else if (std::any_of(styles_.begin(), styles_.end(), [](const Style& o) { return o.display == 4; }))
        xy->setOpacity(0.55);
    }
  }
  // Semivariograms start at the origin: both axes include 0.
  xmin = std::min(xmin, 0.0);
  ymin = std::min(ymin, 0.0);
  if (xmax <= xmin) xmax = xmin + 1.0;
  if (ymax <= ymin) ymax = ymin + 1.0;
  // Round limits just beyond the data, with a round step between ticks.
  int segments = 1;
  double lo = 0.0, hi = 1.0;
  xSegmentCap_ = xSegmentsThatFit();
  NiceAxisRange(xmin, xmax + 0.01 * (xmax - xmin), xSegmentCap_, &lo, &hi, &segments);
  ax->setRange(lo, hi);
  ax->setTickCount(segments + 1);
  NiceAxisRange(ymin, ymax + 0.06 * (ymax - ymin), 6, &lo, &hi, &segments);
  ay->setRange(lo, hi);
  ay->setTickCount(segments + 1);
  ax->setLabelFormat("%g");
  ay->setLabelFormat("%g");
  placeOverlay();
}

// Items drawn over the plot in pixel positions: point labels, tick marks of
// symbol 5 and the legend box. Re-placed whenever the plot area moves.
void Chart2D::placeOverlay() {
  for (QGraphicsItem* item : overlay_) delete item;
  overlay_.clear();
  QGraphicsScene* scene = chart_->scene();
  const QRectF plot = chart_->plotArea();
  const auto axesX = chart_->axes(Qt::Horizontal);
  const auto axesY = chart_->axes(Qt::Vertical);
  if (!scene || plot.width() <= 0 || axesX.isEmpty() || axesY.isEmpty()) return;
  const auto* ax = static_cast<QValueAxis*>(axesX.first());
  const auto* ay = static_cast<QValueAxis*>(axesY.first());
  auto toPixel = [&](double x, double y) {
    return QPointF(plot.left() + (x - ax->min()) / (ax->max() - ax->min()) * plot.width(),
                   plot.bottom() - (y - ay->min()) / (ay->max() - ay->min()) * plot.height());
  };
  auto add = [&](QGraphicsItem* item) {
    item->setZValue(10);
    overlay_.push_back(item);
    scene->addItem(item);
  };

  // Tick marks standing on their points (class limits on the X axis).
  for (int s = 1; s <= SeriesCount(); ++s) {
    if (styleOf(s).symbol != kTickSymbol) continue;
    const Series& ser = series(s);
    for (std::size_t p = 0; p < ser.x.size(); ++p) {
      if (ser.y[p] == hole_) continue;
      const QPointF at = toPixel(ser.x[p], ser.y[p]);
      if (!plot.adjusted(-1, -1, 1, 1).contains(at)) continue;
      auto* tick = new QGraphicsLineItem(at.x(), at.y(), at.x(), at.y() - kTickHeight);
      tick->setPen(QPen(colourOf(s), styleOf(s).display == 4 ? 3.0 : 1.6));
      add(tick);
    }
  }

  QFont small = font();
  small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1.0));
  std::vector<QRectF> placed;
  for (const ChartLabel& label : labels_) {
    if (label.AttachMethod != 2) continue;
    const int s = label.AttachDataIndex.series, p = label.AttachDataIndex.Point;
    if (p < 1 || p > PointCount(s)) continue;
    const QPointF at = toPixel(X(s, p), Y(s, p));
    auto* text = new QGraphicsSimpleTextItem(label.Text);
    text->setFont(small);
    text->setBrush(QColor(70, 70, 70));
    const QRectF box = text->boundingRect();
    // Above the point and clear of the tick marks that stand on the axis.
    text->setPos(at.x() - box.width() / 2, at.y() - label.Offset - kTickHeight - box.height());
    // With many lags the labels would run into each other: a label that
    // would overlap one already placed is left out.
    const QRectF footprint = text->sceneBoundingRect().adjusted(-2, 0, 2, 0);
    if (std::any_of(placed.begin(), placed.end(), [&](const QRectF& r) { return r.intersects(footprint); })) {
      delete text;
      continue;
    }
    placed.push_back(footprint);
    add(text);
  }

  // Legend: title and one entry per labelled series, top left inside the plot,
  // where a semivariogram rising from the origin leaves room.
  std::vector<int> entries;
  for (int s = 1; s <= SeriesCount(); ++s)
    if (!SeriesLabelText(s).isEmpty()) entries.push_back(s);
  if (entries.empty() && legendTitle_.isEmpty()) return;
  QFont bold = font();
  bold.setBold(true);
  const QFontMetricsF fm(font()), fb(bold);
  const double row = fm.height() + 4, sample = 28;
  double width = legendTitle_.isEmpty() ? 0 : fb.horizontalAdvance(legendTitle_);
  for (int s : entries) width = std::max(width, sample + 6 + fm.horizontalAdvance(SeriesLabelText(s)));
  const double height = (legendTitle_.isEmpty() ? 0 : row) + row * entries.size() + 8;
  const QRectF frame(plot.left() + 10, plot.top() + 10, width + 16, height);
  auto* boxItem = new QGraphicsRectItem(frame);
  boxItem->setBrush(QColor(255, 255, 255, 230));
  boxItem->setPen(QPen(QColor(160, 160, 160)));
  add(boxItem);
  double y = frame.top() + 4;
  if (!legendTitle_.isEmpty()) {
    auto* title = new QGraphicsSimpleTextItem(legendTitle_);
    title->setFont(bold);
    title->setPos(frame.left() + 8, y);
    add(title);
    y += row;
  }
  for (int s : entries) {
    const Style st = styleOf(s);
    const double mid = y + row / 2 - 2;
    if (penStyleOf(st.line) != Qt::NoPen) {
      auto* seg = new QGraphicsLineItem(frame.left() + 8, mid, frame.left() + 8 + sample, mid);
      seg->setPen(QPen(colourOf(s), st.display == 4 ? 3.5 : 1.8, penStyleOf(st.line)));
      add(seg);
    }
    if (st.symbol > 0) {
      auto* mark = new QGraphicsPathItem(symbolPath(st.symbol, QPointF(frame.left() + 8 + sample / 2, mid), 8));
      mark->setBrush(st.symbol == kTickSymbol ? QBrush() : QBrush(colourOf(s)));
      mark->setPen(QPen(colourOf(s).darker(130), st.symbol == kTickSymbol ? 1.6 : 1.0));
      add(mark);
    }
    auto* text = new QGraphicsSimpleTextItem(SeriesLabelText(s));
    text->setPos(frame.left() + 14 + sample, y);
    add(text);
    y += row;
  }
}

QImage Chart2D::Picture() {
  if (dirty_) rebuild();
  return view_->grab().toImage();
}

bool Chart2D::ExportPicture(const QString& path, QString* error) {
  if (dirty_) rebuild();
  // Made in memory and written whole (SaveImage, SaveDrawing).
  if (path.endsWith(".pdf", Qt::CaseInsensitive) || path.endsWith(".svg", Qt::CaseInsensitive))
    return SaveDrawing(path, view_->size(), logicalDpiX(), QString(), [this](QPainter& p) { view_->render(&p); },
                        error);
  return SaveImage(Picture(), path, nullptr, error);
}

}  // namespace sorvan::platform
