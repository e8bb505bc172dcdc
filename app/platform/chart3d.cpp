#include "platform/chart3d.h"
#include "core/grid_thinning.h"
#include "platform/image_file.h"

#include "platform/chart_files.h"
#include "platform/chart_plan_map.h"
#include "platform/contour_lines.h"

#include <QtDataVisualization/Q3DBars>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DInputHandler>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QBar3DSeries>
#include <QtDataVisualization/QBarDataProxy>
#include <QtDataVisualization/QCategory3DAxis>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>
#include <QGuiApplication>
#include <QLabel>
#include <QOpenGLContext>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStackedLayout>
#include <QTimer>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace sorvan::platform {
using namespace sorvan::core;

namespace {

constexpr int kScaleWidth = 96;

constexpr int kMaxBars = 10000;
constexpr int kMaxSurfaceNodes = 200 * 200;
// Camera zoom of the surface graph, in percent of the graph's own fit.
constexpr float kSurfaceZoom = 80.0f;
// Height of the point the camera looks at, in the graph's normalised units.
constexpr float kSurfaceTargetY = -0.35f;

// Areas of the chart: title strip on top, colour scale at the right, the
// graph (3-D view or plan map) in the rest, less a note line at its foot
// when there is a note.
struct Areas {
  QRect title, body, scale, note;
};

Areas areasFor(QSize size, bool hasTitle, bool hasNote) {
  const int titleHeight = hasTitle ? 30 : 0;
  const int noteHeight = hasNote ? 20 : 0;
  const int scaleWidth = std::min(kScaleWidth, size.width() / 4);
  Areas a;
  a.title = QRect(0, 0, size.width(), titleHeight);
  a.scale = QRect(size.width() - scaleWidth, titleHeight, scaleWidth, size.height() - titleHeight);
  a.body = QRect(0, titleHeight, size.width() - scaleWidth, size.height() - titleHeight - noteHeight);
  a.note = QRect(0, a.body.bottom() + 1, a.body.width(), noteHeight);
  return a;
}

// Every how many nodes along each axis the bars view takes one, so that it
// draws at most kMaxBars bars.
int barStride(const SurfaceGrid& g) { return sorvan::core::ThinningStride(g.nx, g.ny, kMaxBars); }

// The surface view draws at most kMaxSurfaceNodes nodes: a million-node mesh
// holds a software-rendered view for seconds at every repaint.
int surfaceStride(const SurfaceGrid& g) { return sorvan::core::ThinningStride(g.nx, g.ny, kMaxSurfaceNodes); }

// Category labels of the bars graph at round coordinates: the node nearest
// each round value (within half a step) carries the value, the others stay
// blank. A grid of very few nodes has its own coordinates as labels.
QStringList roundCategoryLabels(int n, double first, double step) {
  QStringList out;
  for (int k = 0; k < n; ++k) out << QString();
  if (n < 6 || !(step > 0)) {
    for (int k = 0; k < n; ++k) out[k] = ZText(first + k * step);
    return out;
  }
  double lo = first, hi = first;
  int segments = 1;
  NiceAxisRange(first, first + (n - 1) * step, 5, &lo, &hi, &segments);
  const double tick = (hi - lo) / segments;
  const int decimals = TickDecimals(lo, tick);
  for (int k = 0; k <= segments; ++k) {
    const double value = lo + k * tick;
    const long node = std::lround((value - first) / step);
    if (node < 0 || node >= n || std::abs(first + node * step - value) > 0.5001 * step) continue;
    out[static_cast<int>(node)] = QString::number(value, 'f', decimals);
  }
  return out;
}

// The Z axis over the shown range: grid lines at every tick, labels at as many
// of them as read well.
void setZAxis(QValue3DAxis* axis, double low, double high, int segments) {
  const int group = SegmentsPerLabel(segments, 8);
  axis->setRange(static_cast<float>(low), static_cast<float>(high));
  axis->setSegmentCount(segments / group);
  axis->setSubSegmentCount(group);
  axis->setLabelFormat(QString("%.%1f").arg(TickDecimals(low, (high - low) / segments * group)));
}

void setRoundRange(QValue3DAxis* axis, double low, double high) {
  double lo = low, hi = high;
  int segments = 1;
  NiceAxisRange(low, high, 8, &lo, &hi, &segments);
  axis->setRange(static_cast<float>(lo), static_cast<float>(hi));
  axis->setSegmentCount(segments);
  axis->setLabelFormat(QString("%.%1f").arg(TickDecimals(lo, (hi - lo) / segments)));
}

QLinearGradient zGradient() {
  QLinearGradient gradient;
  for (const auto& [t, colour] : ZColourStops()) gradient.setColorAt(t, colour);
  return gradient;
}

void styleTheme(Q3DTheme* theme, const QColor& backdrop, bool frame) {
  theme->setBackgroundColor(backdrop);
  theme->setWindowColor(backdrop);
  theme->setLabelBackgroundEnabled(false);
  theme->setLabelTextColor(QColor(30, 30, 30));
  theme->setGridEnabled(frame);
  theme->setGridLineColor(QColor(175, 175, 175));
  theme->setBackgroundEnabled(frame);
  // Mostly ambient light, so that the colours of the surface read against
  // the colour scale; enough direct light to show the relief.
  theme->setLightStrength(2.5f);
  theme->setAmbientLightStrength(0.75f);
  theme->setHighlightLightStrength(2.0f);
  QFont font = theme->font();
  font.setPointSize(34);
  theme->setFont(font);
}

// Mouse handling of the 3-D graphs: the graph's own turning and zooming, a
// report when a turn with the mouse ends, and a right click that did not turn
// the view passed on as a context-menu request (the graph's window keeps the
// right button to itself).
class TurnHandler : public Q3DInputHandler {
public:
  TurnHandler(std::function<void()> turned, std::function<void(QPoint)> menu)
      : turned_(std::move(turned)), menu_(std::move(menu)) {}
  void mousePressEvent(QMouseEvent* event, const QPoint& pos) override {
    Q3DInputHandler::mousePressEvent(event, pos);
    pressedAt_ = pos;
    if (scene()) start_ = {scene()->activeCamera()->xRotation(), scene()->activeCamera()->yRotation()};
  }
  void mouseReleaseEvent(QMouseEvent* event, const QPoint& pos) override {
    Q3DInputHandler::mouseReleaseEvent(event, pos);
    if (!scene()) return;
    const Q3DCamera* camera = scene()->activeCamera();
    if (camera->xRotation() != start_.first || camera->yRotation() != start_.second) turned_();
    else if (event->button() == Qt::RightButton && (pos - pressedAt_).manhattanLength() < 4) menu_(pos);
  }

private:
  std::function<void()> turned_;
  std::function<void(QPoint)> menu_;
  std::pair<float, float> start_{0.0f, 0.0f};
  QPoint pressedAt_;
};

// Whether the 3-D graphs can run here: they need an OpenGL context and a
// windowing platform that shows their windows. The offscreen and minimal
// platforms may lend a GL context from the display, but the graphs crash
// there on their first frame, so they count as having none.
bool OpenGLGraphsPossible() {
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal") return false;
  QOpenGLContext context;
  return context.create();
}

// The page a graph's window container stands in for until it may be mapped:
// plain, in the chart's colour, and it tells `painted` each time it has been
// painted.
class PlainPage : public QWidget {
public:
  PlainPage(QWidget* parent, std::function<QColor()> colour, std::function<void()> painted)
      : QWidget(parent), colour_(std::move(colour)), painted_(std::move(painted)) {
    setObjectName(QStringLiteral("PaginaLisaVista3D"));
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), colour_());
    painted_();
  }

private:
  std::function<QColor()> colour_;
  std::function<void()> painted_;
};

QString noGraphText() {
  return QObject::tr("Este sistema no ofrece OpenGL: no se puede dibujar la vista 3-D.");
}

}  // namespace

// The 3-D graphs, in window containers: a surface graph, and a bars graph made
// when first needed.
class Chart3DView : public QWidget {
public:
  explicit Chart3DView(Chart3D* owner) : QWidget(owner), owner_(owner) {
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    // Without OpenGL the graphs cannot even be set up (and crash on the first
    // setting); the chart then stays without its 3-D view.
    if (OpenGLGraphsPossible()) {
      surface_ = new Q3DSurface;
      if (!surface_->hasContext()) {
        delete surface_;
        surface_ = nullptr;
      }
    }
    if (!surface_) {
      auto* note = new QLabel(noGraphText(), this);
      note->setAlignment(Qt::AlignCenter);
      note->setWordWrap(true);
      stack_->addWidget(note);
      return;
    }
    surface_->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
    // At the graph's full zoom the coordinate labels along the near edges run
    // past the bottom of the view; a little farther back they all show.
    surface_->scene()->activeCamera()->setZoomLevel(kSurfaceZoom);
    // The labels along the near edges hang below the box: the camera looks a
    // little below its centre, so the box sits higher, where the far, empty
    // corner leaves room.
    surface_->scene()->activeCamera()->setTarget(QVector3D(0.0f, kSurfaceTargetY, 0.0f));
    surface_->setActiveInputHandler(new TurnHandler([this] { turned(surface_); }, [this](QPoint p) { menu(p); }));
    surface_->axisX()->setTitle(QObject::tr("X (este)"));
    surface_->axisZ()->setTitle(QObject::tr("Y (norte)"));
    surface_->axisY()->setTitle("Z");
    for (QValue3DAxis* axis : {surface_->axisX(), surface_->axisY(), surface_->axisZ()}) axis->setTitleVisible(true);
    body_ = new QSurface3DSeries;
    // The picked node's label: X, Y, Z in that order, with the grid's own
    // precision (the graph's default is X, Z, Y with the axes' decimals).
    QObject::connect(body_, &QSurface3DSeries::selectedPointChanged, body_, [this](const QPoint& p) {
      const SurfaceGrid& g = owner_->grid_;
      if (p.x() < 0 || p.y() < 0 || p.y() >= g.nx || p.x() >= g.ny) return;
      body_->setItemLabelFormat(Chart3D::PickedPointText(g, p.y(), p.x()));
    });
    floor_ = new QSurface3DSeries;
    surface_->addSeries(body_);
    surface_->addSeries(floor_);
    // A graph's window mapped before the graph has drawn into it shows what
    // the screen held there: another chart's picture, for up to a second
    // with a large grid. So a graph's page shows first as a plain page in
    // the chart's colour; only after that page has been painted is the
    // graph's window mapped, over those plain pixels, until its first frame.
    plain_ = new PlainPage(this, [this] { return owner_->backdrop_; }, [this] { plainPainted(); });
    stack_->addWidget(plain_);
    surfaceBox_ = QWidget::createWindowContainer(surface_, this);
    stack_->addWidget(surfaceBox_);
    present(surfaceBox_);
  }

  // The floor texture must be released by a render pass of its own graph:
  // left to the graph's destruction it spoils the axes and labels of every
  // 3-D graph made afterwards.
  ~Chart3DView() override {
    if (surface_ && floorTextured_) {
      floor_->setTexture(QImage());
      surface_->renderToImage(0, QSize(4, 4));
    }
  }

  bool available() const { return surface_ != nullptr; }
  Q3DSurface* surface() const { return surface_; }
  Q3DBars* bars() const { return bars_; }
  QAbstract3DGraph* active() const {
    return (owner_->chartType_ == 1 && bars_) ? static_cast<QAbstract3DGraph*>(bars_) : surface_;
  }

  void show(const Chart3D& c) {
    if (!surface_) return;
    if (c.chartType_ == 1) {
      makeBars();
      if (!bars_) return;
      present(barsBox_);
      fillBars(c);
    } else {
      present(surfaceBox_);
      fillSurface(c);
    }
    applyView(c);
  }

  // Rotation 0 looks from the south: the graph's row axis (Y, north) runs
  // away from a camera at horizontal angle 0, with X to the right. Positive
  // camera angles walk the camera clockwise seen from above (south, west,
  // north, east), the order of the compass list.
  static float cameraAngle(int rotation) { return static_cast<float>(rotation); }
  static double rotationOf(float cameraX) { return cameraX; }

  void applyView(const Chart3D& c) {
    for (QAbstract3DGraph* graph : {static_cast<QAbstract3DGraph*>(surface_), static_cast<QAbstract3DGraph*>(bars_)}) {
      if (!graph) continue;
      Q3DCamera* camera = graph->scene()->activeCamera();
      camera->setCameraPosition(cameraAngle(c.rotation_), static_cast<float>(c.elevation_), camera->zoomLevel());
    }
  }

  // The wire mesh only where the cells are large enough to show the surface
  // between its lines.
  void updateDrawMode(const Chart3D& c) {
    if (!body_) return;
    body_->setDrawMode(c.MeshShown() ? QSurface3DSeries::DrawSurfaceAndWireframe : QSurface3DSeries::DrawSurface);
  }

  void styleAll(const Chart3D& c) {
    for (QAbstract3DGraph* graph : {static_cast<QAbstract3DGraph*>(surface_), static_cast<QAbstract3DGraph*>(bars_)})
      if (graph) styleTheme(graph->activeTheme(), c.backdrop_, c.frameOn_);
  }

private:
  void menu(QPoint pos) {
    if (owner_->contextMenuPolicy() == Qt::CustomContextMenu)
      emit owner_->customContextMenuRequested(mapTo(owner_, pos));
  }

  void turned(QAbstract3DGraph* graph) {
    const Q3DCamera* camera = graph->scene()->activeCamera();
    owner_->userTurnedView(camera->yRotation(), rotationOf(camera->xRotation()));
  }

  void makeBars() {
    if (bars_) return;
    bars_ = new Q3DBars;
    if (!bars_->hasContext()) {
      delete bars_;
      bars_ = nullptr;
      return;
    }
    bars_->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
    bars_->setActiveInputHandler(new TurnHandler([this] { turned(bars_); }, [this](QPoint p) { menu(p); }));
    bars_->setBarThickness(1.0f);
    bars_->setBarSpacing(QSizeF(0.15, 0.15));
    // The bars graph fills its box more than the surface graph does.
    bars_->scene()->activeCamera()->setZoomLevel(80.0f);
    bars_->columnAxis()->setTitle(QObject::tr("X (este)"));
    bars_->rowAxis()->setTitle(QObject::tr("Y (norte)"));
    bars_->valueAxis()->setTitle("Z");
    bars_->columnAxis()->setTitleVisible(true);
    bars_->rowAxis()->setTitleVisible(true);
    bars_->valueAxis()->setTitleVisible(true);
    barSeries_ = new QBar3DSeries;
    barSeries_->setMesh(QAbstract3DSeries::MeshBar);
    bars_->addSeries(barSeries_);
    barsBox_ = QWidget::createWindowContainer(bars_, this);
    stack_->addWidget(barsBox_);
    styleTheme(bars_->activeTheme(), owner_->backdrop_, owner_->frameOn_);
  }

  void fillSurface(const Chart3D& c) {
    const SurfaceGrid& g = c.grid_;
    const auto [zmin, zmax, segments] = c.shownRange();
    // Hole nodes become NaN, which the surface graph leaves out, so a masked
    // surface keeps the shape of its mask.
    auto* rows = new QSurfaceDataArray;
    auto* floorRows = new QSurfaceDataArray;
    const bool drawable = g.nx >= 2 && g.ny >= 2;
    if (drawable) {
      const int stride = surfaceStride(g);
      rows->reserve((g.ny + stride - 1) / stride);
      for (int j = 0; j < g.ny; j += stride) {
        auto* row = new QSurfaceDataRow((g.nx + stride - 1) / stride);
        for (int i = 0; i < g.nx; i += stride) {
          const float v = g.at(i, j);
          (*row)[i / stride].setPosition(QVector3D(static_cast<float>(g.x(i)), g.isHole(v) ? NAN : v, static_cast<float>(g.y(j))));
        }
        rows->append(row);
      }
      // The floor carries the contour map: two rows spanning the grid.
      for (int j : {0, g.ny - 1}) {
        auto* row = new QSurfaceDataRow(2);
        (*row)[0].setPosition(QVector3D(static_cast<float>(g.x(0)), zmin, static_cast<float>(g.y(j))));
        (*row)[1].setPosition(QVector3D(static_cast<float>(g.x(g.nx - 1)), zmin, static_cast<float>(g.y(j))));
        floorRows->append(row);
      }
    }
    body_->dataProxy()->resetArray(rows);
    updateDrawMode(c);
    body_->setFlatShadingEnabled(false);
    body_->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
    body_->setBaseGradient(zGradient());
    body_->setWireframeColor(QColor(60, 60, 60));
    body_->setVisible(drawable);
    const bool projection = drawable && c.projection_;
    floor_->dataProxy()->resetArray(floorRows);
    floor_->setVisible(projection);
    floor_->setDrawMode(QSurface3DSeries::DrawSurface);
    if (projection) {
      const QSize size(std::clamp(g.nx * 12, 256, 1024), std::clamp(g.ny * 12, 256, 1024));
      floor_->setTexture(ContourFloorImage(g, c.ContourLevels(), zmin, zmax, size, c.labels_));
      floorTextured_ = true;
    }
    setZAxis(surface_->axisY(), zmin, zmax, segments);
    if (drawable) {
      // Coordinates at round values: the box reaches out to the next round
      // coordinate beyond the grid on each side.
      setRoundRange(surface_->axisX(), g.x(0), g.x(g.nx - 1));
      setRoundRange(surface_->axisZ(), g.y(0), g.y(g.ny - 1));
    }
    // A map keeps its proportions: the horizontal axes scale like the grid.
    const double w = std::max(g.dx * (g.nx - 1), 1e-12), h = std::max(g.dy * (g.ny - 1), 1e-12);
    surface_->setHorizontalAspectRatio(static_cast<float>(w / h));
  }

  void fillBars(const Chart3D& c) {
    const SurfaceGrid& g = c.grid_;
    // One bar per node (per stride-th node of a large grid): rows are the Y
    // nodes, columns the X nodes. A hole node has no bar.
    const int stride = barStride(g);
    const int columns = (g.nx + stride - 1) / stride, rowCount = (g.ny + stride - 1) / stride;
    auto* rows = new QBarDataArray;
    rows->reserve(rowCount);
    for (int j = 0; j < g.ny; j += stride) {
      auto* row = new QBarDataRow(columns);
      for (int i = 0; i < g.nx; i += stride) {
        const float v = g.at(i, j);
        (*row)[i / stride].setValue(g.isHole(v) ? NAN : v);
      }
      rows->append(row);
    }
    barSeries_->dataProxy()->resetArray(rows, roundCategoryLabels(rowCount, g.yMin, g.dy * stride),
                                        roundCategoryLabels(columns, g.xMin, g.dx * stride));
    barSeries_->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
    barSeries_->setBaseGradient(zGradient());
    const auto [zmin, zmax, segments] = c.shownRange();
    bars_->setFloorLevel(zmin);
    setZAxis(bars_->valueAxis(), zmin, zmax, segments);
  }

  Chart3D* owner_;
  // Shows the page of a graph's container: at once when its window has been
  // mapped before, otherwise the plain page until that has been painted.
  void present(QWidget* box) {
    if (shown_.contains(box)) {
      waiting_ = nullptr;
      stack_->setCurrentWidget(box);
      return;
    }
    waiting_ = box;
    stack_->setCurrentWidget(plain_);
  }
  // The plain pixels reach the screen when this paint's flush does; the
  // container is mapped on the next turn of the event loop, after it.
  void plainPainted() {
    if (!waiting_) return;
    QTimer::singleShot(0, this, [this] {
      if (!waiting_ || stack_->currentWidget() != plain_) return;
      QWidget* box = std::exchange(waiting_, nullptr);
      shown_.push_back(box);
      // A page never shown still has a new widget's size: the graph's first
      // frame would be drawn at that size.
      box->setGeometry(plain_->geometry());
      stack_->setCurrentWidget(box);
      // The container takes the graph's window in when it is shown, placing
      // it by the container's offset in the top-level window as if it had no
      // window of its own; it does have one, and the graph belongs at its
      // corner.
      QWindow* graph = box == barsBox_ ? static_cast<QWindow*>(bars_) : surface_;
      graph->setGeometry(QRect(QPoint(0, 0), box->size()));
    });
  }

  QStackedLayout* stack_ = nullptr;
  PlainPage* plain_ = nullptr;
  QWidget* surfaceBox_ = nullptr;
  QWidget* barsBox_ = nullptr;
  QWidget* waiting_ = nullptr;  // the container the plain page stands in for
  QList<QWidget*> shown_;       // containers whose window has been mapped
  Q3DSurface* surface_ = nullptr;
  QSurface3DSeries* body_ = nullptr;
  QSurface3DSeries* floor_ = nullptr;
  bool floorTextured_ = false;
  Q3DBars* bars_ = nullptr;
  QBar3DSeries* barSeries_ = nullptr;
};

// The plan contour map (surface body switched off).
class Chart3DPlan : public QWidget {
public:
  explicit Chart3DPlan(Chart3D* owner) : QWidget(owner), owner_(owner) {}

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), owner_->backdrop_);
    const auto [zmin, zmax, segments] = owner_->shownRange();
    PaintPlanMap(painter, rect(), owner_->grid_, owner_->ContourLevels(), owner_->contourMode_ == 1, zmin, zmax,
                 owner_->labels_);
  }

private:
  Chart3D* owner_;
};

// The colour scale of Z.
class Chart3DScale : public QWidget {
public:
  explicit Chart3DScale(Chart3D* owner) : QWidget(owner), owner_(owner) {}

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), owner_->backdrop_);
    const auto [zmin, zmax, segments] = owner_->shownRange();
    PaintColourScale(painter, QRectF(rect()).adjusted(0, 8, -4, -16), zmin, zmax, segments, owner_->ContourLevels(),
                     "Z");
  }

private:
  Chart3D* owner_;
};

Chart3D::Chart3D(QWidget* parent) : QWidget(parent) {
  titleLabel_ = new QLabel(this);
  titleLabel_->setAlignment(Qt::AlignCenter);
  QFont font = titleLabel_->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() + 1);
  titleLabel_->setFont(font);
  noteLabel_ = new QLabel(this);
  noteLabel_->setIndent(8);
  noteLabel_->setStyleSheet("color: #505050;");
  view3d_ = new Chart3DView(this);
  plan_ = new Chart3DPlan(this);
  scale_ = new Chart3DScale(this);
  setAutoFillBackground(true);
  view3d_->styleAll(*this);
  rebuild();
}

Chart3D::~Chart3D() = default;

void Chart3D::Batch(bool on) {
  if (on) {
    ++batch_;
    return;
  }
  if (batch_ > 0) --batch_;
  if (batch_ == 0 && dirty_) rebuild();
}

void Chart3D::changed() {
  dirty_ = true;
  if (batch_ == 0) rebuild();
}

bool Chart3D::Has3DGraph() const { return view3d_->available(); }

void Chart3D::Move(int left, int top, int width, int height) { setGeometry(left, top, width, height); }
void Chart3D::Visible(bool on) { setVisible(on); }

bool Chart3D::LoadGridFile(const QString& path, QString* error) {
  SurfaceGrid g;
  if (!ReadSurfaceFile(path, g, error)) return false;
  grid_ = std::move(g);
  resetZRange();
  changed();
  return true;
}

void Chart3D::GridLayout(int) {}  // the regular grid is the only layout

void Chart3D::GridNodeCount(GridAxis axis, int n) { (axis == GridAxis::X ? grid_.nx : grid_.ny) = std::max(n, 0); }
void Chart3D::GridStep(GridAxis axis, double step) { (axis == GridAxis::X ? grid_.dx : grid_.dy) = step; }
void Chart3D::GridOrigin(GridAxis axis, double first) { (axis == GridAxis::X ? grid_.xMin : grid_.yMin) = first; }
void Chart3D::HoleValue(double hole) { grid_.hole = static_cast<float>(hole); }

bool Chart3D::LoadGridValues(const float* values, long long count) {
  if (count != static_cast<long long>(grid_.nx) * grid_.ny || (count > 0 && !values)) return false;
  grid_.z.assign(values, values + count);
  resetZRange();
  changed();
  return true;
}

void Chart3D::resetZRange() {
  bool any = false;
  float low = 0.0f, high = 1.0f;
  for (float v : grid_.z) {
    if (grid_.isHole(v)) continue;
    if (!any) low = high = v, any = true;
    low = std::min(low, v), high = std::max(high, v);
  }
  if (any && low == high) low -= 1.0f, high += 1.0f;
  zmin_ = low;
  zmax_ = high;
  zFixed_ = false;
}

void Chart3D::ChartType(int type) {
  chartType_ = type == 1 ? 1 : 0;
  changed();
}

void Chart3D::SurfaceSwitches(bool a, bool b) {
  surface_ = a || b;
  changed();
}

void Chart3D::ContourMode(int mode) {
  contourMode_ = mode == 1 ? 1 : 0;
  changed();
}

void Chart3D::ContourProjection(bool a, bool b) {
  projection_ = a && b;
  changed();
}

void Chart3D::SolidSurface(bool on) {
  solid_ = on;
  changed();
}

bool Chart3D::MeshShown() const {
  return !solid_ && CellPixels(grid_.nx, grid_.ny, view3d_->size()) >= kMinMeshCellPixels;
}

double Chart3D::CellPixels(int nx, int ny, QSize body) {
  const int cells = std::max({nx - 1, ny - 1, 1});
  return 0.5 * std::min(body.width(), body.height()) / cells;
}

void Chart3D::ContourLabels(bool on) {
  labels_ = on;
  changed();
}

QString Chart3D::PickedPointText(const SurfaceGrid& g, int i, int j) {
  const int dx = TickDecimals(g.xMin, g.dx), dy = TickDecimals(g.yMin, g.dy);
  return QStringLiteral("X = %1, Y = %2, Z = %3")
      .arg(QString::number(g.x(i), 'f', dx), QString::number(g.y(j), 'f', dy),
           QString::number(static_cast<double>(g.at(i, j)), 'g', 6));
}

void Chart3D::ViewRotation(int degrees) {
  rotation_ = degrees;
  viewSetByHandler_ = true;
  if (batch_ == 0) view3d_->applyView(*this);
  else dirty_ = true;
}

void Chart3D::ViewElevation(int degrees) {
  elevation_ = std::clamp(degrees, 0, 90);
  viewSetByHandler_ = true;
  if (batch_ == 0) view3d_->applyView(*this);
  else dirty_ = true;
}

void Chart3D::userTurnedView(double elevation, double rotation) {
  double second = 0.0;
  viewSetByHandler_ = false;
  emit ViewChanged(elevation, second, rotation);
  if (!viewSetByHandler_) {
    rotation_ = static_cast<int>(std::lround(rotation));
    elevation_ = std::clamp(static_cast<int>(std::lround(elevation)), 0, 90);
    view3d_->applyView(*this);
  }
}

void Chart3D::Title(const QString& text) {
  title_ = text;
  changed();
}

void Chart3D::ZAxisRange(float zmin, float zmax) {
  if (!(zmax > zmin)) return;  // an empty or inverted range would hide the surface
  zmin_ = zmin;
  zmax_ = zmax;
  zFixed_ = true;
  changed();
}

void Chart3D::ContourLevelCount(int n) {
  levels_ = EvenContourLevels(zmin_, zmax_, n);
  changed();
}

void Chart3D::AddContourLevel(double value) {
  levels_.push_back(value);
  std::sort(levels_.begin(), levels_.end());
  changed();
}

void Chart3D::ContourLevelSwitch(bool automatic) {
  autoLevels_ = automatic;
  changed();
}

// A range fixed by hand is shown as it is, so that a series of frames on
// one scale ends where the user put it; the data's own range is widened to
// round values.
Chart3D::ShownRange Chart3D::shownRange() const {
  ShownRange r;
  if (zFixed_) {
    r.low = zmin_, r.high = zmax_;
    r.segments = FixedAxisSegments(zmin_, zmax_, ContourLevels());
  } else {
    NiceAxisRange(zmin_, zmax_, 6, &r.low, &r.high, &r.segments);
  }
  return r;
}

Chart3D::ZScale Chart3D::ZAxisScale() const {
  const ShownRange r = shownRange();
  return {r.low, r.high, r.segments};
}

std::vector<double> Chart3D::ContourLevels() const {
  return autoLevels_ ? RoundContourLevels(zmin_, zmax_, 10) : levels_;
}

void Chart3D::Backdrop(int, const QColor& color) {
  backdrop_ = color;
  view3d_->styleAll(*this);
  changed();
}

void Chart3D::FrameSettings(int style, int width) {
  frameStyle_ = style;
  frameWidth_ = std::max(width, 0);
  changed();
}

void Chart3D::FrameSwitch(bool on) {
  frameOn_ = on;
  view3d_->styleAll(*this);
  changed();
}

void Chart3D::RenderSwitch(bool on) {
  setUpdatesEnabled(on);
  if (on) changed();
}

namespace {

// "<lead> de 1 de cada k nodos por eje (a × b de nx × ny nodos)" for a view thinned by `stride`.
QString thinnedNote(const QString& lead, int stride, const SurfaceGrid& g) {
  return lead + QStringLiteral(" de 1 de cada %1 nodos por eje (%2 × %3 de %4 × %5 nodos)")
                    .arg(stride)
                    .arg((g.nx + stride - 1) / stride)
                    .arg((g.ny + stride - 1) / stride)
                    .arg(g.nx)
                    .arg(g.ny);
}

}  // namespace

QString Chart3D::BarsNote() const {
  const int stride = barStride(grid_);
  if (chartType_ != 1 || stride == 1) return {};
  return thinnedNote(tr("Barras"), stride, grid_);
}

QString Chart3D::SurfaceNote() const {
  const int stride = surfaceStride(grid_);
  if (chartType_ != 0 || !surface_ || stride == 1) return {};
  return thinnedNote(tr("Superficie"), stride, grid_);
}

void Chart3D::rebuild() {
  dirty_ = false;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, backdrop_);
  setPalette(pal);
  const QString note = chartType_ == 1 ? BarsNote() : SurfaceNote();
  const Areas a = areasFor(size(), !title_.isEmpty(), !note.isEmpty());
  titleLabel_->setText(title_);
  titleLabel_->setGeometry(a.title);
  titleLabel_->setVisible(!title_.isEmpty());
  noteLabel_->setText(note);
  noteLabel_->setToolTip(note);
  noteLabel_->setGeometry(a.note);
  noteLabel_->setVisible(!note.isEmpty());
  scale_->setGeometry(a.scale);
  const bool plan = chartType_ == 0 && !surface_;
  view3d_->setGeometry(a.body);
  plan_->setGeometry(a.body);
  plan_->setVisible(plan);
  view3d_->setVisible(!plan);
  if (!plan) view3d_->show(*this);
  plan_->update();
  scale_->update();
}

void Chart3D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const Areas a = areasFor(size(), !title_.isEmpty(), !noteLabel_->text().isEmpty());
  titleLabel_->setGeometry(a.title);
  noteLabel_->setGeometry(a.note);
  scale_->setGeometry(a.scale);
  view3d_->setGeometry(a.body);
  plan_->setGeometry(a.body);
  view3d_->updateDrawMode(*this);
}

QImage Chart3D::Picture() {
  if (dirty_) rebuild();
  QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(backdrop_);
  QPainter painter(&image);
  const QString note = chartType_ == 1 ? BarsNote() : SurfaceNote();
  const Areas a = areasFor(image.size(), !title_.isEmpty(), !note.isEmpty());
  if (!title_.isEmpty()) {
    painter.setFont(titleLabel_->font());
    painter.setPen(Qt::black);
    painter.drawText(a.title, Qt::AlignCenter, title_);
  }
  if (!note.isEmpty()) {
    painter.setFont(noteLabel_->font());
    painter.setPen(noteLabel_->palette().color(QPalette::WindowText));
    painter.drawText(a.note.adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, note);
  }
  const auto [zmin, zmax, segments] = shownRange();
  if (chartType_ == 0 && !surface_) {
    PaintPlanMap(painter, a.body, grid_, ContourLevels(), contourMode_ == 1, zmin, zmax, labels_);
  } else if (!view3d_->available()) {
    painter.setPen(Qt::black);
    painter.drawText(a.body, Qt::AlignCenter | Qt::TextWordWrap, noGraphText());
  } else if (a.body.width() > 0 && a.body.height() > 0) {
    // The graph renders itself off screen at the body's size.
    painter.drawImage(a.body.topLeft(), view3d_->active()->renderToImage(0, a.body.size()));
  }
  PaintColourScale(painter, QRectF(a.scale).adjusted(0, 8, -4, -16), zmin, zmax, segments, ContourLevels(), "Z");
  if (frameOn_ && frameStyle_ != 0 && frameWidth_ > 0) {
    painter.setPen(QPen(Qt::black, frameWidth_));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(image.rect()).adjusted(frameWidth_ / 2.0, frameWidth_ / 2.0, -frameWidth_ / 2.0,
                                                   -frameWidth_ / 2.0));
  }
  return image;
}

bool Chart3D::DrawToFile(const QString& path, int format, QString* error) {
  if (format != 1) return false;
  // Windows bitmap, 24 bits per pixel, written whole or not at all.
  return SaveImage(Picture().convertToFormat(QImage::Format_RGB888), path, "BMP", error);
}

// The picture on a vector device: the plan map redrawn as vectors, the 3-D
// view as the raster `picture`.
void Chart3D::paintVector(QPainter& painter, const QImage& picture) {
  if (chartType_ == 0 && !surface_) {
    painter.fillRect(QRect(QPoint(0, 0), picture.size()), backdrop_);
    const Areas a = areasFor(picture.size(), !title_.isEmpty(), false);
    painter.setFont(titleLabel_->font());
    painter.drawText(a.title, Qt::AlignCenter, title_);
    painter.setFont(font());
    const auto [zmin, zmax, segments] = shownRange();
    PaintPlanMap(painter, a.body, grid_, ContourLevels(), contourMode_ == 1, zmin, zmax, labels_);
    PaintColourScale(painter, QRectF(a.scale).adjusted(0, 8, -4, -16), zmin, zmax, segments, ContourLevels(), "Z");
  } else {
    painter.drawImage(0, 0, picture);
  }
}

bool Chart3D::ExportPicture(const QString& path, QString* error) {
  const QImage picture = Picture();
  if (path.endsWith(".pdf", Qt::CaseInsensitive) || path.endsWith(".svg", Qt::CaseInsensitive))
    return SaveDrawing(path, picture.size(), logicalDpiX(), title_,
                        [&](QPainter& painter) { paintVector(painter, picture); }, error);
  return SaveImage(picture, path, nullptr, error);
}

}  // namespace sorvan::platform
