// Surface windows on a system without OpenGL graphs (the offscreen
// platform): the program refuses the window with a
// message naming the surface instead of crashing. Where the platform does give
// a GL context after all, the window must simply work.
#include "core/kriging_session.h"
#include "gui/charts/chart_windows.h"
#include "gui/charts/frmChart3D.h"
#include "platform/chart3d.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

// A 6 x 5 tilted plane as a surface file.
QString planeFile(const QTemporaryDir& dir) {
  const QString path = dir.filePath("plano.sup");
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return {};
  QByteArray out = " GRID 6 5\n-10000 10 10 100 200\n";
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 5; ++j) out += "  " + QByteArray::number(1.0 + 0.5 * i + 0.25 * j, 'f', 4);
    out += "\n";
  }
  file.write(out);
  return path;
}

sorvan::core::KrigingSession sessionOfPlane() {
  sorvan::core::KrigingSession s;
  sorvan::core::KrigingSurfaces& g = s.surfaces;
  g.nx = 4, g.ny = 3;
  g.xMin = 0, g.yMin = 0, g.dx = 1, g.dy = 1;
  for (int k = 0; k < 12; ++k) g.SupPred.push_back(static_cast<float>(k)), g.SupVar.push_back(1.0f);
  s.hasSurfaces = true;
  return s;
}

int surfaceWindowsLeft() {
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  int n = 0;
  for (QWidget* w : QApplication::allWidgets())
    if (qobject_cast<frmChart3D*>(w)) ++n;
  return n;
}

}  // namespace

TEST(ChartWithoutOpenGL, SurfaceWindowIsRefusedByNameOrWorks) {
  QTemporaryDir dir;
  const QString path = planeFile(dir);
  ASSERT_FALSE(path.isEmpty());
  const bool hasGL = Chart3D().Has3DGraph();
  RecordProperty("opengl", hasGL ? "yes" : "no");
  QMdiArea area;
  area.resize(800, 600);
  area.show();
  QString error;
  QWidget* file = OpenChart3D(&area, 3, path, sorvan::core::KrigingSession{}, &error);
  QWidget* run = OpenChart3D(&area, 1, QString::fromUtf8("Superficie de predicción de z"), sessionOfPlane(), &error);
  if (hasGL) {
    ASSERT_NE(file, nullptr) << error.toStdString();
    ASSERT_NE(run, nullptr) << error.toStdString();
    EXPECT_EQ(area.subWindowList().size(), 2);
    return;
  }
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(run, nullptr);
  EXPECT_TRUE(error.startsWith(QString::fromUtf8("No se puede mostrar la superficie \"Superficie de predicción de z\"")))
      << error.toStdString();
  EXPECT_TRUE(error.endsWith("este sistema no ofrece OpenGL.")) << error.toStdString();
  error.clear();
  EXPECT_EQ(OpenChart3D(&area, 3, path, sorvan::core::KrigingSession{}, &error), nullptr);
  EXPECT_TRUE(error.contains("plano.sup")) << error.toStdString();
  EXPECT_TRUE(error.contains("OpenGL")) << error.toStdString();
  EXPECT_TRUE(area.subWindowList().isEmpty());
  EXPECT_EQ(surfaceWindowsLeft(), 0);
}

// The chart itself (the animation tools use it without a window) keeps
// working without its 3-D view: every view draws a picture of its size.
TEST(ChartWithoutOpenGL, ChartDrawsPicturesInEveryView) {
  QTemporaryDir dir;
  const QString path = planeFile(dir);
  Chart3D chart;
  chart.resize(400, 300);
  chart.show();
  ASSERT_TRUE(chart.LoadGridFile(path));
  for (int view = 0; view < 3; ++view) {
    chart.Batch(true);
    chart.ChartType(view == 2 ? 1 : 0);
    chart.SurfaceSwitches(view != 1, view != 1);
    chart.ContourProjection(view == 0, view == 0);
    chart.Batch(false);
    const QString bmp = dir.filePath(QString("v%1.bmp").arg(view));
    ASSERT_TRUE(chart.DrawToFile(bmp, 1)) << view;
    EXPECT_EQ(QImage(bmp).size(), QSize(400, 300));
  }
  // The plan map needs no OpenGL: it is drawn, in colour.
  chart.SurfaceSwitches(false, false);
  chart.ContourMode(1);
  const QImage plan = chart.Picture();
  int coloured = 0;
  for (int y = 0; y < plan.height(); y += 3)
    for (int x = 0; x < plan.width(); x += 3) {
      const QColor c = plan.pixelColor(x, y);
      if (std::abs(c.red() - c.blue()) > 40) ++coloured;
    }
  EXPECT_GT(coloured, 200);
}

int main(int argc, char** argv) {
  // The offscreen platform; under a virtual display it can still lend a GL
  // context, which is the case that used to crash.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
