// The 3-D chart adapter: surface files, the Z range, contour levels, views and
// bitmap output, driven under a virtual display.
#include "platform/chart3d.h"
#include "platform/chart_plan_map.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QtDataVisualization/Q3DBars>
#include <QtDataVisualization/QBar3DSeries>
#include <QtDataVisualization/QBarDataProxy>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/QValue3DAxis>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace sorvan::platform;

namespace {

// Writes a surface file as the engine does: "#" range line (prediction files
// only), " GRID nx ny", "hole dx dy xMin yMin", then nx rows of ny values in
// 17-character fields, at most 100 per line.
void writeSurface(const QString& path, int nx, int ny, double x0, double y0, double dx, double dy,
                  const std::function<double(double, double)>& f, bool rangeLine = true) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
  QByteArray out;
  char buf[64];
  double low = INFINITY, high = -INFINITY;
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) {
      const double v = f(x0 + i * dx, y0 + j * dy);
      if (v != -10000.0) low = std::min(low, v), high = std::max(high, v);
    }
  if (rangeLine) {
    std::snprintf(buf, sizeof buf, "#  %15.4f  %15.4f\n", low, high);
    out += buf;
  }
  out += QByteArray(" GRID ") + QByteArray::number(nx) + " " + QByteArray::number(ny) + "\n";
  std::snprintf(buf, sizeof buf, "%g %g %g %g %g\n", -10000.0, dx, dy, x0, y0);
  out += buf;
  for (int i = 0; i < nx; ++i) {
    for (int j = 0; j < ny; ++j) {
      std::snprintf(buf, sizeof buf, "  %15.4f", f(x0 + i * dx, y0 + j * dy));
      out += buf;
      if ((j + 1) % 100 == 0 && j + 1 < ny) out += "\n";
    }
    out += "\n";
  }
  file.write(out);
}

// A hill whose top lies in the north-east of the grid, masked outside a disc
// (hole nodes), the look of a surface kriged within a profile.
double maskedHill(double x, double y) {
  if (std::hypot(x - 1500, y - 1000) > 950) return -10000.0;
  return 5.0 + 3.0 * std::exp(-(std::pow(x - 2000, 2) + std::pow(y - 1400, 2)) / 4e5) +
         0.6 * std::sin(x / 300.0) * std::cos(y / 250.0);
}

class Chart3DTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    chart.resize(640, 480);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  }
  QString file(const QString& name) const { return dir.filePath(name); }
  QTemporaryDir dir;
  Chart3D chart;
};

}  // namespace

TEST_F(Chart3DTest, LoadGridFileReadsGeometryValuesAndRange) {
  // ny = 130 wraps every row over two lines (100 + 30 values).
  writeSurface(file("plano.sup"), 7, 130, 1000.0, 2000.0, 25.0, 10.0, [](double x, double y) { return 0.01 * x - 0.002 * y; });
  QString error;
  ASSERT_TRUE(chart.LoadGridFile(file("plano.sup"), &error)) << error.toStdString();
  const SurfaceGrid& g = chart.Grid();
  EXPECT_EQ(g.nx, 7);
  EXPECT_EQ(g.ny, 130);
  EXPECT_DOUBLE_EQ(g.dx, 25.0);
  EXPECT_DOUBLE_EQ(g.dy, 10.0);
  EXPECT_DOUBLE_EQ(g.xMin, 1000.0);
  EXPECT_DOUBLE_EQ(g.yMin, 2000.0);
  EXPECT_FLOAT_EQ(g.hole, -10000.0f);
  // Node (i, j) holds f(x_i, y_j): the file's rows run along Y.
  EXPECT_NEAR(g.at(3, 77), 0.01 * 1075.0 - 0.002 * 2770.0, 1e-4);
  EXPECT_NEAR(chart.ZAxisMin(), 0.01 * 1000 - 0.002 * 3290, 1e-4);
  EXPECT_NEAR(chart.ZAxisMax(), 0.01 * 1150 - 0.002 * 2000, 1e-4);
}

TEST_F(Chart3DTest, HoleNodesStayOutOfTheZRange) {
  writeSurface(file("disco.sup"), 31, 21, 500.0, 50.0, 100.0, 100.0, maskedHill, false);
  ASSERT_TRUE(chart.LoadGridFile(file("disco.sup")));
  EXPECT_GT(chart.ZAxisMin(), 3.0f);
  EXPECT_LT(chart.ZAxisMax(), 9.0f);
  // A range fixed by hand lasts until the next load.
  chart.ZAxisRange(0.0f, 20.0f);
  EXPECT_FLOAT_EQ(chart.ZAxisMax(), 20.0f);
  ASSERT_TRUE(chart.LoadGridFile(file("disco.sup")));
  EXPECT_LT(chart.ZAxisMax(), 9.0f);
}

TEST_F(Chart3DTest, MalformedFilesAreRefusedByNameAndKeepTheGrid) {
  writeSurface(file("bueno.sup"), 4, 3, 0, 0, 1, 1, [](double x, double y) { return x + y; });
  ASSERT_TRUE(chart.LoadGridFile(file("bueno.sup")));
  QFile truncated(file("cortado.sup"));
  ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
  truncated.write(" GRID 5 5\n-10000 1 1 0 0\n  1.0 2.0 3.0\n");
  truncated.close();
  QFile words(file("texto.sup"));
  ASSERT_TRUE(words.open(QIODevice::WriteOnly));
  words.write("Esto no es una superficie\n");
  words.close();
  for (const QString name : {"cortado.sup", "texto.sup", "no_existe.sup"}) {
    QString error;
    EXPECT_FALSE(chart.LoadGridFile(file(name), &error)) << name.toStdString();
    EXPECT_TRUE(error.contains(name)) << error.toStdString();
    EXPECT_EQ(chart.Grid().nx, 4);
    EXPECT_EQ(chart.Grid().ny, 3);
  }
}

TEST_F(Chart3DTest, GridFromMemoryNeedsMatchingCount) {
  chart.GridLayout(1);
  chart.GridNodeCount(GridAxis::Y, 2);
  chart.GridStep(GridAxis::Y, 5.0);
  chart.GridOrigin(GridAxis::Y, -3.0);
  chart.GridNodeCount(GridAxis::X, 3);
  chart.GridStep(GridAxis::X, 2.0);
  chart.GridOrigin(GridAxis::X, 7.0);
  chart.HoleValue(-10000.0);
  const float values[6] = {1, 2, 3, 4, -10000, 6};  // X index fastest
  EXPECT_FALSE(chart.LoadGridValues(values, 5));
  ASSERT_TRUE(chart.LoadGridValues(values, 6));
  EXPECT_FLOAT_EQ(chart.Grid().at(2, 0), 3.0f);
  EXPECT_FLOAT_EQ(chart.Grid().at(0, 1), 4.0f);
  EXPECT_TRUE(chart.Grid().isHole(1, 1));
  EXPECT_DOUBLE_EQ(chart.Grid().x(2), 11.0);
  EXPECT_DOUBLE_EQ(chart.Grid().y(1), 2.0);
  EXPECT_FLOAT_EQ(chart.ZAxisMin(), 1.0f);
  EXPECT_FLOAT_EQ(chart.ZAxisMax(), 6.0f);
}

TEST_F(Chart3DTest, ContourLevelsAutomaticCountedAndAdded) {
  writeSurface(file("p.sup"), 5, 5, 0, 0, 1, 1, [](double x, double y) { return 3.0 * x + y; });
  ASSERT_TRUE(chart.LoadGridFile(file("p.sup")));
  chart.ZAxisRange(0.0f, 36.0f);
  const auto automatic = chart.ContourLevels();
  EXPECT_GE(automatic.size(), 5u);
  chart.ContourLevelCount(13);
  chart.ContourLevelSwitch(false);
  auto levels = chart.ContourLevels();
  ASSERT_EQ(levels.size(), 13u);
  EXPECT_DOUBLE_EQ(levels[1], 3.0);
  chart.ContourLevelCount(0);
  for (int i = 1; i <= 10; ++i) chart.AddContourLevel(0.0 + (11.0 - 0.0) * i / 11);
  levels = chart.ContourLevels();
  ASSERT_EQ(levels.size(), 10u);
  EXPECT_DOUBLE_EQ(levels.front(), 1.0);
  EXPECT_DOUBLE_EQ(levels.back(), 10.0);
}

// The surface graph of the fixture's chart (the only one alive).
Q3DSurface* surfaceGraph() {
  for (QWindow* w : QGuiApplication::allWindows())
    if (auto* graph = qobject_cast<Q3DSurface*>(w)) return graph;
  return nullptr;
}

Q3DBars* barsGraph() {
  for (QWindow* w : QGuiApplication::allWindows())
    if (auto* bars = qobject_cast<Q3DBars*>(w)) return bars;
  return nullptr;
}

// Regression: a range of 0..36 fixed by hand was shown with an axis and a
// colour scale running on to 40.
TEST_F(Chart3DTest, FixedZRangeEndsTheAxisAndScaleOnItsLimits) {
  writeSurface(file("p.sup"), 5, 5, 0, 0, 1, 1, [](double x, double y) { return 3.0 * x + 1.7 * y; });
  ASSERT_TRUE(chart.LoadGridFile(file("p.sup")));
  // The data's range (0..18.8) is shown out to round values.
  EXPECT_DOUBLE_EQ(chart.ZAxisScale().low, 0.0);
  EXPECT_DOUBLE_EQ(chart.ZAxisScale().high, 20.0);
  chart.ZAxisRange(0.0f, 36.0f);
  EXPECT_FLOAT_EQ(chart.ZAxisMin(), 0.0f);
  EXPECT_FLOAT_EQ(chart.ZAxisMax(), 36.0f);
  Q3DSurface* graph = surfaceGraph();
  ASSERT_NE(graph, nullptr);
  // Automatic levels (every 5) do not fit the range: six steps of 6.
  auto scale = chart.ZAxisScale();
  EXPECT_DOUBLE_EQ(scale.low, 0.0);
  EXPECT_DOUBLE_EQ(scale.high, 36.0);
  EXPECT_EQ(scale.segments, 6);
  EXPECT_FLOAT_EQ(graph->axisY()->min(), 0.0f);
  EXPECT_FLOAT_EQ(graph->axisY()->max(), 36.0f);
  EXPECT_EQ(graph->axisY()->segmentCount() * graph->axisY()->subSegmentCount(), 6);
  // Thirteen levels 0, 3, ..., 36: a step at every level, labels every 6.
  chart.Batch(true);
  chart.ContourLevelCount(13);
  chart.ContourLevelSwitch(false);
  chart.Batch(false);
  scale = chart.ZAxisScale();
  EXPECT_DOUBLE_EQ(scale.high, 36.0);
  EXPECT_EQ(scale.segments, 12);
  EXPECT_FLOAT_EQ(graph->axisY()->max(), 36.0f);
  EXPECT_EQ(graph->axisY()->segmentCount(), 6);
  EXPECT_EQ(graph->axisY()->subSegmentCount(), 2);
  EXPECT_EQ(graph->axisY()->labelFormat(), "%.0f");
  // The colour scale labels the same steps, as densely as its height allows.
  const auto tall = ColourScaleLabels(scale.low, scale.high, scale.segments, 300, 15);
  ASSERT_EQ(tall.size(), 13u);
  for (std::size_t k = 0; k < tall.size(); ++k) EXPECT_NEAR(tall[k], 3.0 * k, 1e-9);
  const auto small = ColourScaleLabels(scale.low, scale.high, scale.segments, 150, 15);
  ASSERT_EQ(small.size(), 7u);
  EXPECT_NEAR(small[1], 6.0, 1e-9);
  EXPECT_DOUBLE_EQ(small.back(), 36.0);
  // The bars view uses the same scale.
  chart.ChartType(1);
  Q3DBars* bars = barsGraph();
  ASSERT_NE(bars, nullptr);
  EXPECT_FLOAT_EQ(bars->valueAxis()->max(), 36.0f);
  EXPECT_EQ(bars->valueAxis()->segmentCount() * bars->valueAxis()->subSegmentCount(), 12);
  // A new load goes back to the data's range.
  ASSERT_TRUE(chart.LoadGridFile(file("p.sup")));
  EXPECT_NEAR(chart.ZAxisMax(), 18.8, 1e-4);
  EXPECT_DOUBLE_EQ(chart.ZAxisScale().high, 20.0);
  const QString shots = qEnvironmentVariable("SORVAN_CHART_SHOTS");
  if (!shots.isEmpty()) {
    chart.Batch(true);
    chart.ChartType(0);
    chart.ZAxisRange(0.0f, 36.0f);
    chart.ContourLevelCount(13);
    chart.ContourProjection(true, true);
    chart.Batch(false);
    chart.Picture().save(QDir(shots).filePath("chart3d_fixed_range.png"));
  }
}

// The bars view labels its X and Y categories with round coordinates, each at
// the node nearest to it, and leaves the other categories blank.
TEST_F(Chart3DTest, BarsAreLabelledWithRoundCoordinates) {
  writeSurface(file("b.sup"), 80, 50, 178605.3, 329714.0, 40.0, 40.0, [](double x, double y) { return x * 1e-4 + y * 1e-5; });
  ASSERT_TRUE(chart.LoadGridFile(file("b.sup")));
  chart.ChartType(1);
  Q3DBars* bars = barsGraph();
  ASSERT_NE(bars, nullptr);
  EXPECT_TRUE(chart.BarsNote().isEmpty());
  QBarDataProxy* proxy = bars->seriesList().at(0)->dataProxy();
  ASSERT_EQ(proxy->rowCount(), 50);
  const struct {
    QStringList labels;
    double first;
  } axes[] = {{proxy->columnLabels(), 178605.3}, {proxy->rowLabels(), 329714.0}};
  for (const auto& axis : axes) {
    int shown = 0;
    for (int k = 0; k < axis.labels.size(); ++k) {
      if (axis.labels[k].isEmpty()) continue;
      ++shown;
      bool number = false;
      const double value = axis.labels[k].toDouble(&number);
      ASSERT_TRUE(number) << axis.labels[k].toStdString();
      EXPECT_EQ(std::fmod(value, 100.0), 0.0) << value;         // round: whole hundreds at least
      EXPECT_LE(std::abs(axis.first + 40.0 * k - value), 20.0);  // at its node
    }
    EXPECT_GE(shown, 3);
    EXPECT_LE(shown, 11);
  }
}

// Regression: a large grid gave one bar per node, hundreds of thousands of
// bars that froze the window. It now shows every k-th node and says so.
TEST_F(Chart3DTest, LargeGridsShowThinnedBarsWithANote) {
  writeSurface(file("grande.sup"), 301, 250, 0.0, 0.0, 1.0, 1.0, [](double x, double y) { return x + y; }, false);
  ASSERT_TRUE(chart.LoadGridFile(file("grande.sup")));
  QElapsedTimer timer;
  timer.start();
  chart.ChartType(1);
  QTest::qWait(50);
  Q3DBars* bars = barsGraph();
  ASSERT_NE(bars, nullptr);
  // 75250 nodes: every third node along each axis, 101 x 84 = 8484 bars.
  QBarDataProxy* proxy = bars->seriesList().at(0)->dataProxy();
  ASSERT_EQ(proxy->rowCount(), 84);
  ASSERT_EQ(proxy->rowAt(0)->size(), 101);
  EXPECT_FLOAT_EQ(proxy->itemAt(1, 2)->value(), 6.0f + 3.0f);  // node (6, 3)
  EXPECT_TRUE(chart.BarsNote().contains("1 de cada 3")) << chart.BarsNote().toStdString();
  EXPECT_TRUE(chart.BarsNote().contains("301 × 250")) << chart.BarsNote().toStdString();
  QLabel* note = nullptr;
  for (QLabel* label : chart.findChildren<QLabel*>())
    if (label->text() == chart.BarsNote()) note = label;
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_LT(timer.elapsed(), 5000);
  const QString shots = qEnvironmentVariable("SORVAN_CHART_SHOTS");
  if (!shots.isEmpty()) chart.Picture().save(QDir(shots).filePath("chart3d_thinned_bars.png"));
  // Back to the surface: the bars' note goes; the surface, over 200 x 200
  // nodes, says it shows every other node.
  chart.ChartType(0);
  EXPECT_TRUE(chart.BarsNote().isEmpty());
  EXPECT_TRUE(chart.SurfaceNote().contains("1 de cada 2")) << chart.SurfaceNote().toStdString();
  EXPECT_EQ(note->text(), chart.SurfaceNote());
}

// A million-node surface held a software-rendered view for seconds at every
// repaint: it is drawn by every k-th node and says so.
TEST_F(Chart3DTest, AMillionNodeSurfaceIsDrawnThinnedWithANote) {
  writeSurface(file("millon.sup"), 1000, 1000, 0.0, 0.0, 1.0, 1.0, [](double x, double y) { return x + 2 * y; }, false);
  ASSERT_TRUE(chart.LoadGridFile(file("millon.sup")));
  chart.ChartType(0);
  QTest::qWait(50);
  Q3DSurface* graph = surfaceGraph();
  ASSERT_NE(graph, nullptr);
  // 200 x 200 at most: every fifth node (every fourth would be 250 x 250).
  QSurfaceDataProxy* proxy = graph->seriesList().at(0)->dataProxy();
  ASSERT_EQ(proxy->rowCount(), 200);
  ASSERT_EQ(proxy->columnCount(), 200);
  EXPECT_FLOAT_EQ(proxy->itemAt(1, 2)->y(), 10.0f + 2 * 5.0f);  // node (10, 5)
  EXPECT_TRUE(chart.SurfaceNote().contains("1 de cada 5")) << chart.SurfaceNote().toStdString();
  EXPECT_TRUE(chart.SurfaceNote().contains("200 × 200 de 1000 × 1000")) << chart.SurfaceNote().toStdString();
  bool shown = false;
  for (QLabel* label : chart.findChildren<QLabel*>()) shown = shown || (label->isVisible() && label->text() == chart.SurfaceNote());
  EXPECT_TRUE(shown);
  const QString shots = qEnvironmentVariable("SORVAN_CHART_SHOTS");
  if (!shots.isEmpty()) chart.Picture().save(QDir(shots).filePath("chart3d_thinned_surface.png"));
}

TEST_F(Chart3DTest, DrawToFileWritesA24BitBitmapOfTheChartSize) {
  writeSurface(file("disco.sup"), 31, 21, 500.0, 50.0, 100.0, 100.0, maskedHill);
  ASSERT_TRUE(chart.LoadGridFile(file("disco.sup")));
  chart.Title("Prueba");
  for (int view = 0; view < 3; ++view) {
    chart.Batch(true);
    chart.ChartType(view == 2 ? 1 : 0);
    chart.SurfaceSwitches(view != 1, view != 1);
    chart.Batch(false);
    const QString bmp = file(QString("cuadro%1.bmp").arg(view));
    ASSERT_TRUE(chart.DrawToFile(bmp, 1));
    QFile f(bmp);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(54);
    ASSERT_EQ(head.size(), 54);
    EXPECT_EQ(head.left(2), QByteArray("BM"));
    auto le32 = [&](int at) { return qFromLittleEndian<qint32>(head.constData() + at); };
    auto le16 = [&](int at) { return qFromLittleEndian<quint16>(head.constData() + at); };
    EXPECT_EQ(le32(18), 640);
    EXPECT_EQ(std::abs(le32(22)), 480);
    EXPECT_EQ(le16(28), 24);
    // The picture is not blank: the chart drew something besides the backdrop.
    const QImage image(bmp);
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 4)
      for (int x = 0; x < image.width(); x += 4) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - c.blue()) > 40) ++coloured;
      }
    EXPECT_GT(coloured, 200) << "view " << view;
    const QString shots = qEnvironmentVariable("SORVAN_CHART_SHOTS");
    if (!shots.isEmpty()) image.save(QDir(shots).filePath(QString("chart3d_%1.png").arg(view)));
  }
  EXPECT_FALSE(chart.DrawToFile(file("no/such/folder/x.bmp"), 1));
}

TEST_F(Chart3DTest, TurningTheViewReportsAndTheHandlerDecides) {
  double seenElevation = -1, seenRotation = -1;
  QObject::connect(&chart, &Chart3D::ViewChanged, [&](double& elevation, double& second, double& rotation) {
    seenElevation = elevation, seenRotation = rotation;
    EXPECT_EQ(second, 0.0);
    elevation = 30;
    rotation = 180;
  });
  chart.ViewRotation(45);
  chart.ViewElevation(45);
  // A right-button drag turns the 3-D view; its end reports the new angles.
  // The graph's window is mapped once the plain page before it has drawn.
  QWindow* window = surfaceGraph();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isExposed(); }, 5000));
  const QPoint from(300, 240), to(360, 200);
  QTest::mousePress(window, Qt::RightButton, {}, from);
  for (int k = 1; k <= 6; ++k) {
    QMouseEvent move(QEvent::MouseMove, from + (to - from) * k / 6, window->mapToGlobal(from + (to - from) * k / 6),
                     Qt::NoButton, Qt::RightButton, {});
    QApplication::sendEvent(window, &move);
    QTest::qWait(20);
  }
  QTest::mouseRelease(window, Qt::RightButton, {}, to);
  QTest::qWait(50);
  // The drag turned the view away from where it was set.
  EXPECT_NE(seenElevation, -1);
  EXPECT_FALSE(seenRotation == 45 && seenElevation == 45);
  EXPECT_EQ(chart.ViewRotationValue(), 180);
  EXPECT_EQ(chart.ViewElevationValue(), 30);
}

// Regression: at the graph's full zoom the coordinate labels of the near
// edges ran past the bottom of the view (330000, 179000 cut in half).
TEST_F(Chart3DTest, SurfaceViewStandsBackSoTheEdgeLabelsShow) {
  writeSurface(file("p.sup"), 5, 5, 178000, 330000, 500, 500, [](double x, double y) { return x - y; });
  ASSERT_TRUE(chart.LoadGridFile(file("p.sup")));
  Q3DSurface* graph = surfaceGraph();
  ASSERT_NE(graph, nullptr);
  EXPECT_LT(graph->scene()->activeCamera()->zoomLevel(), 90.0f);
  chart.ViewRotation(135);
  chart.ViewElevation(20);
  EXPECT_LT(graph->scene()->activeCamera()->zoomLevel(), 90.0f);
}

// A 1000 x 1000 surface rendered almost black: its mesh lines covered it.
// The mesh is left out where the cells are smaller than a few pixels.
TEST_F(Chart3DTest, TheMeshIsHiddenWhereTheCellsAreTooSmall) {
  // Cells of 0.5 * 480 / (n - 1) pixels in a 640 x 480 body.
  EXPECT_DOUBLE_EQ(Chart3D::CellPixels(1000, 1000, QSize(640, 480)), 240.0 / 999);
  EXPECT_DOUBLE_EQ(Chart3D::CellPixels(50, 20, QSize(640, 480)), 240.0 / 49);
  Q3DSurface* graph = nullptr;
  for (int n : {1000, 20}) {
    std::vector<float> z(static_cast<size_t>(n) * n);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) z[static_cast<size_t>(i + n * j)] = static_cast<float>(std::sin(i * 0.01) + j * 0.001);
    chart.Batch(true);
    chart.GridNodeCount(GridAxis::X, n);
    chart.GridNodeCount(GridAxis::Y, n);
    chart.GridStep(GridAxis::X, 1);
    chart.GridStep(GridAxis::Y, 1);
    ASSERT_TRUE(chart.LoadGridValues(z.data(), static_cast<long long>(z.size())));
    chart.SolidSurface(false);
    chart.Batch(false);
    graph = surfaceGraph();
    ASSERT_NE(graph, nullptr);
    auto* body = static_cast<QSurface3DSeries*>(graph->seriesList().at(0));
    const bool grande = n == 1000;
    EXPECT_EQ(chart.MeshShown(), !grande) << n;
    EXPECT_EQ(body->drawMode().testFlag(QSurface3DSeries::DrawWireframe), !grande) << n;
  }
  // A solid surface never has the mesh.
  chart.SolidSurface(true);
  EXPECT_FALSE(chart.MeshShown());
}

// The picked node reads X, Y, Z in that order (it read X, Z, Y with the
// axes' decimals: "180317, 6.0, 332028").
TEST(PickedPointTest, XYZInOrderWithTheGridsPrecision) {
  SurfaceGrid g;
  g.nx = 3;
  g.ny = 2;
  g.xMin = 178605.5;
  g.dx = 40;
  g.yMin = 329714;
  g.dy = 40;
  g.z = {1, 2, 3, 4, 6.0123456f, 5};
  EXPECT_EQ(Chart3D::PickedPointText(g, 1, 1), "X = 178645.5, Y = 329754, Z = 6.01235");
  EXPECT_EQ(Chart3D::PickedPointText(g, 0, 0), "X = 178605.5, Y = 329714, Z = 1");
}

// The coordinate labels along the near edges ("329500", "X (este)") were cut
// off at the bottom of the view. Nothing of the 3-D graph may touch the
// edges of its area, at any of the list's views and at small, default and
// maximised sizes (the pictures exported and the video frames are the same
// picture).
TEST_F(Chart3DTest, NothingOfThe3DViewIsCutAtTheEdges) {
  writeSurface(file("p.sup"), 40, 52, 178600, 329700, 70, 70,
               [](double x, double y) { return 5 + std::sin(x / 500.0) * std::cos(y / 400.0); });
  ASSERT_TRUE(chart.LoadGridFile(file("p.sup")));
  chart.Title("Superficie de predicción de logzinc");
  for (QSize size : {QSize(500, 380), QSize(740, 500), QSize(1260, 900)}) {
    chart.resize(size);
    QTest::qWait(20);
    for (int rotation = 0; rotation < 360; rotation += 45)
      for (int elevation : {15, 30, 45, 60}) {
        chart.ViewRotation(rotation);
        chart.ViewElevation(elevation);
        const QImage picture = chart.Picture().convertToFormat(QImage::Format_RGB32);
        // The graph's area: below the title strip, left of the colour scale.
        const int top = 30, right = picture.width() - std::min(96, picture.width() / 4);
        auto clean = [&](int x, int y) { return picture.pixel(x, y) == QColor(Qt::white).rgb(); };
        int bottom = 0, left = 0, rightEdge = 0;
        for (int x = 0; x < right; ++x) bottom += !clean(x, picture.height() - 1) || !clean(x, picture.height() - 2);
        for (int y = top; y < picture.height(); ++y) left += !clean(0, y) || !clean(1, y);
        for (int y = top; y < picture.height(); ++y) rightEdge += !clean(right - 1, y) || !clean(right - 2, y);
        EXPECT_EQ(bottom, 0) << size.width() << "x" << size.height() << " rotation " << rotation << " elevation "
                             << elevation;
        EXPECT_EQ(left, 0) << size.width() << "x" << size.height() << " rotation " << rotation << " elevation "
                           << elevation;
        EXPECT_EQ(rightEdge, 0) << size.width() << "x" << size.height() << " rotation " << rotation
                                << " elevation " << elevation;
      }
  }
}

// A new surface window showed another chart's picture for about a second:
// the graph's window was mapped before the graph had drawn into it. A plain
// page in the chart's colour is shown first, and the graph's window is mapped
// only after that page has been painted, over its plain pixels.
TEST(Chart3DFirstFrame, TheGraphIsMappedOnlyOverThePaintedPlainPage) {
  Chart3D chart;
  chart.Backdrop(0, QColor(250, 250, 240));
  QWidget* plain = chart.findChild<QWidget*>("PaginaLisaVista3D");
  ASSERT_NE(plain, nullptr);
  Q3DSurface* graph = surfaceGraph();
  ASSERT_NE(graph, nullptr);
  // The order of the plain page's paints and the graph's exposure.
  struct Order : QObject {
    QObject* plain = nullptr;
    QStringList events;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (o == plain && e->type() == QEvent::Paint) events << "pintada";
      if (o != plain && e->type() == QEvent::Expose && static_cast<QWindow*>(o)->isExposed()) events << "grafico";
      return false;
    }
  } order;
  order.plain = plain;
  plain->installEventFilter(&order);
  graph->installEventFilter(&order);
  chart.resize(500, 400);
  chart.show();
  EXPECT_TRUE(plain->isVisible());
  EXPECT_FALSE(graph->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return graph->isExposed(); }, 5000));
  EXPECT_FALSE(plain->isVisible());
  ASSERT_GE(order.events.size(), 2);
  EXPECT_EQ(order.events.first(), "pintada") << order.events.join(" ").toStdString();
  EXPECT_EQ(order.events.indexOf("grafico"), order.events.lastIndexOf("pintada") + 1)
      << order.events.join(" ").toStdString();
  // The plain page was painted in the chart's colour.
  EXPECT_EQ(plain->grab().toImage().pixelColor(10, 10), QColor(250, 250, 240));
  // Back to a page already mapped: no plain page in between.
  chart.ChartType(1);
  chart.ChartType(0);
  EXPECT_TRUE(graph->isVisible());
  EXPECT_FALSE(plain->isVisible());
}

TEST_F(Chart3DTest, PictureExportsAsPngAndPdfInEveryMode) {
  writeSurface(file("disco.sup"), 31, 21, 500.0, 50.0, 100.0, 100.0, maskedHill);
  ASSERT_TRUE(chart.LoadGridFile(file("disco.sup")));
  for (bool plan : {false, true}) {
    chart.SurfaceSwitches(!plan, !plan);
    const QString png = file(plan ? "plano.png" : "tres.png"), pdf = file(plan ? "plano.pdf" : "tres.pdf");
    ASSERT_TRUE(chart.ExportPicture(png));
    EXPECT_EQ(QImage(png).size(), chart.size());
    ASSERT_TRUE(chart.ExportPicture(pdf));
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
  }
}

// The SVG drawing is well-formed XML with an <svg> root of the chart's size;
// the plan map is drawn in vectors, the 3-D view as one embedded picture.
TEST_F(Chart3DTest, PictureExportsAsSvgOfTheChartSize) {
  writeSurface(file("disco.sup"), 31, 21, 500.0, 50.0, 100.0, 100.0, maskedHill);
  ASSERT_TRUE(chart.LoadGridFile(file("disco.sup")));
  chart.Title("Prueba");
  for (bool plan : {false, true}) {
    chart.SurfaceSwitches(!plan, !plan);
    const QString path = file(plan ? "plano.svg" : "tres.svg");
    ASSERT_TRUE(chart.ExportPicture(path));
    QFile svg(path);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    ASSERT_TRUE(xml.readNextStartElement()) << xml.errorString().toStdString();
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
    EXPECT_EQ(xml.attributes().value("viewBox").toString(), "0 0 640 480");
    // Shown at the chart's size: the width in millimetres at the screen's resolution.
    const QString width = xml.attributes().value("width").toString();
    ASSERT_TRUE(width.endsWith("mm")) << width.toStdString();
    EXPECT_NEAR(width.chopped(2).toDouble() / 25.4 * chart.logicalDpiX(), 640.0, 1.0);
    int paths = 0, images = 0;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == u"path" || xml.name() == u"polyline") ++paths;
      if (xml.name() == u"image") ++images;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    const QString shots = qEnvironmentVariable("SORVAN_CHART_SHOTS");
    if (!shots.isEmpty()) QFile::copy(path, QDir(shots).filePath("chart3d_" + QFileInfo(path).fileName()));
    if (plan) EXPECT_GT(paths, 20);
    else EXPECT_EQ(images, 1);
  }
  EXPECT_FALSE(chart.ExportPicture(file("no/such/folder/x.svg")));
}

// Frames of an animation are drawn with on-screen rendering off: each frame
// must still show its own surface.
TEST_F(Chart3DTest, FramesFollowTheDataWhileRenderingIsOff) {
  writeSurface(file("a.sup"), 21, 21, 0, 0, 1, 1, [](double x, double) { return x; });
  writeSurface(file("b.sup"), 21, 21, 0, 0, 1, 1, [](double, double y) { return 40 - y; });
  ASSERT_TRUE(chart.LoadGridFile(file("a.sup")));
  const QImage a = chart.Picture();
  chart.RenderSwitch(false);
  chart.Batch(true);
  ASSERT_TRUE(chart.LoadGridFile(file("b.sup")));
  chart.ZAxisRange(0.0f, 40.0f);
  chart.Batch(false);
  ASSERT_TRUE(chart.DrawToFile(file("b.bmp"), 1));
  chart.RenderSwitch(true);
  const QImage b = QImage(file("b.bmp")).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(b.size(), a.size());
  int differing = 0;
  for (int y = 0; y < a.height(); y += 2)
    for (int x = 0; x < a.width(); x += 2)
      if (a.pixel(x, y) != b.pixel(x, y)) ++differing;
  EXPECT_GT(differing, 2000);
  EXPECT_FLOAT_EQ(chart.ZAxisMax(), 40.0f);
}

// Degenerate grids (no node, one node, one row, all holes, flat) are drawn in
// every view without failing, and keep a usable Z range.
TEST_F(Chart3DTest, DegenerateGridsDrawInEveryView) {
  const struct {
    int nx, ny;
    double value;
  } grids[] = {{0, 0, 1.0}, {1, 1, 2.0}, {1, 6, 3.0}, {5, 1, 3.0}, {4, 4, -10000.0}, {6, 5, 7.5}};
  for (const auto& g : grids) {
    const QString path = file(QString("g%1x%2.sup").arg(g.nx).arg(g.ny));
    writeSurface(path, g.nx, g.ny, 0, 0, 1, 1, [&](double, double) { return g.value; }, false);
    ASSERT_TRUE(chart.LoadGridFile(path)) << g.nx << "x" << g.ny;
    EXPECT_LT(chart.ZAxisMin(), chart.ZAxisMax());
    for (int view = 0; view < 4; ++view) {
      chart.Batch(true);
      chart.ChartType(view == 3 ? 1 : 0);
      chart.SurfaceSwitches(view != 1 && view != 2, view != 1 && view != 2);
      chart.ContourMode(view == 2 ? 1 : 0);
      chart.ContourProjection(view == 0, view == 0);
      chart.Batch(false);
      EXPECT_EQ(chart.Picture().size(), chart.size());
    }
  }
}

// Dark pixels of a picture: axis labels, tick marks, grid and wire mesh.
int darkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 110) ++n;
  return n;
}

// Regression: a chart whose floor had carried the contour projection, once
// destroyed, left every 3-D chart made afterwards without axes and labels.
TEST(Chart3DLifetime, ContourProjectionDoesNotSpoilLaterCharts) {
  QTemporaryDir dir;
  const QString path = dir.filePath("disco.sup");
  writeSurface(path, 31, 21, 500.0, 50.0, 100.0, 100.0, maskedHill);
  auto chartOn = [&](bool projection) {
    auto* chart = new Chart3D;
    chart->resize(480, 360);
    chart->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(chart));
    EXPECT_TRUE(chart->LoadGridFile(path));
    chart->ContourProjection(projection, projection);
    QTest::qWait(300);  // drawn on screen, not only off screen
    return chart;
  };
  Chart3D* first = chartOn(false);
  const int before = darkPixels(first->Picture());
  delete first;
  // A window closed by the user goes with deleteLater, while the next one
  // is already being made.
  chartOn(true)->deleteLater();
  Chart3D* last = chartOn(false);
  const int after = darkPixels(last->Picture());
  delete last;
  EXPECT_GT(before, 500);
  EXPECT_NEAR(after, before, before / 10);
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
