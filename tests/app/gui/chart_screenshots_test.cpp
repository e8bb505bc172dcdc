// Pictures of the chart windows on the files of a real kriging run, for the
// documentation, run by scripts/screenshots (disabled in the suite):
// SORVAN_MEUSE_RUN names a folder holding a run's
// result files (SKUESTIM.SV ... SKUVAR.SUP) and SORVAN_SCREENSHOTS the folder
// for the pictures; SORVAN_MEUSE_PROFILE_RUN may name a run with a profile.
#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "gui/charts/chart_windows.h"
#include "gui/charts/frmChart2D.h"
#include "gui/charts/frmChart3D.h"
#include "platform/chart3d.h"
#include "platform/chart_files.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTest>
#include <QToolBar>

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

// The window with its frame and caption. The 3-D view is drawn by OpenGL,
// which a widget grab does not see, so its picture is painted over it.
QImage capture(QWidget* window, Chart3D* chart) {
  QWidget* frame = window->parentWidget() ? window->parentWidget() : window;
  QApplication::processEvents();
  QImage image = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
  if (chart) {
    QPainter painter(&image);
    painter.drawImage(chart->mapTo(frame, QPoint(0, 0)), chart->Picture());
  }
  return image;
}

// Enough non-grey pixels to be a chart rather than an empty window.
int colouredPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) {
      const QColor c = image.pixelColor(x, y);
      if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40) ++n;
    }
  return n;
}

// The session of a run as the kriging dialog leaves it, from its surface files.
bool sessionOf(const QDir& run, sorvan::core::KrigingSession& s, bool profile) {
  SurfaceGrid pred, var;
  QString error;
  if (!ReadSurfaceFile(run.filePath("SKUPRE.SUP"), pred, &error) ||
      !ReadSurfaceFile(run.filePath("SKUVAR.SUP"), var, &error))
    return false;
  sorvan::core::KrigingSurfaces& g = s.surfaces;
  g.nx = pred.nx, g.ny = pred.ny;
  g.xMin = static_cast<float>(pred.xMin), g.yMin = static_cast<float>(pred.yMin);
  g.dx = static_cast<float>(pred.dx), g.dy = static_cast<float>(pred.dy);
  g.SupPred = pred.z;
  g.SupVar = var.z;
  s.hasSurfaces = true;
  s.options.profile.npts = profile ? 10 : 0;
  return true;
}

}  // namespace

TEST(ChartScreenshots, DISABLED_WindowsOnARealRun) {
  const QString run = qEnvironmentVariable("SORVAN_MEUSE_RUN");
  const QString out = qEnvironmentVariable("SORVAN_SCREENSHOTS");
  ASSERT_FALSE(run.isEmpty() || out.isEmpty()) << "SORVAN_MEUSE_RUN and SORVAN_SCREENSHOTS not set";
  QDir(out).mkpath(".");
  QMdiArea area;
  area.resize(1100, 800);
  area.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
  auto saves = [&](const QImage& image, const QString& name) {
    EXPECT_GT(colouredPixels(image), 300) << name.toStdString();
    EXPECT_TRUE(image.save(QDir(out).filePath(name)));
  };

  QString error;
  for (const auto& [file, name] : {std::pair{"SKUESTIM.SV", "semivariogram_estimators.png"},
                                   std::pair{"SKUEAJUS.SV", "semivariogram_fitted_model.png"}}) {
    QWidget* w = OpenChart2D(&area, QDir(run).filePath(file), "Semivariograma de logzinc", &error);
    ASSERT_NE(w, nullptr) << error.toStdString();
    w->parentWidget()->resize(760, 540);
    QTest::qWait(100);
    saves(capture(w, nullptr), name);
    if (QString(file) == "SKUESTIM.SV") {
      // A click on the chart brings the robust estimator forward.
      qobject_cast<frmChart2D*>(w)->Grafico_ChartClicked();
      QTest::qWait(100);
      saves(capture(w, nullptr), "semivariogram_estimators_click.png");
    }
    w->parentWidget()->close();
  }

  sorvan::core::KrigingSession session;
  ASSERT_TRUE(sessionOf(QDir(run), session, false));
  const std::pair<const char*, const char*> views[] = {{"vista1", "surface_view1_3d.png"},
                                                        {"vista2", "surface_view2_3d_contours.png"},
                                                        {"vista3", "surface_view3_contour_map.png"},
                                                        {"vista4", "surface_view4_contour_bands.png"},
                                                        {"vista5", "surface_view5_bars.png"},
                                                        {"solida", "surface_solid.png"}};
  auto* w = qobject_cast<frmChart3D*>(OpenChart3D(&area, 1, "Superficie de predicción de logzinc", session, &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  w->parentWidget()->resize(860, 640);
  QTest::qWait(200);
  for (const auto& [key, name] : views) {
    if (QString(key) == "solida") w->BarraGraf3D()->findChild<QAction*>("vista1")->trigger();
    w->BarraGraf3D()->findChild<QAction*>(key)->trigger();
    QTest::qWait(150);
    saves(capture(w, &w->Grafico()), name);
  }
  w->parentWidget()->close();

  auto* v = qobject_cast<frmChart3D*>(OpenChart3D(&area, 2, "Superficie de varianzas de logzinc", session, &error));
  ASSERT_NE(v, nullptr);
  v->parentWidget()->resize(860, 640);
  QTest::qWait(150);
  saves(capture(v, &v->Grafico()), "surface_variance.png");
  v->parentWidget()->close();

  const QString profile = qEnvironmentVariable("SORVAN_MEUSE_PROFILE_RUN");
  if (!profile.isEmpty()) {
    sorvan::core::KrigingSession withProfile;
    ASSERT_TRUE(sessionOf(QDir(profile), withProfile, true));
    auto* p = qobject_cast<frmChart3D*>(
        OpenChart3D(&area, 1, "Superficie de predicción de logzinc (perfil)", withProfile, &error));
    ASSERT_NE(p, nullptr);
    p->parentWidget()->resize(860, 640);
    QTest::qWait(150);
    saves(capture(p, &p->Grafico()), "surface_profile_solid.png");
    p->BarraGraf3D()->findChild<QAction*>("vista4")->trigger();
    QTest::qWait(100);
    saves(capture(p, &p->Grafico()), "surface_profile_contour_bands.png");
    p->parentWidget()->close();
  }
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
