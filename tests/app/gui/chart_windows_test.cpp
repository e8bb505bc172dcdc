// The semivariogram and surface chart windows, driven through their real
// widgets under a virtual display: loading engine-style files, captions and
// counters, the annotation of the ".fmt" companion, the click toggle, every
// toolbar key, the lists and the snapping of a turned view, bitmaps, and the
// refusal of unreadable files.
#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "gui/charts/chart_windows.h"
#include "gui/charts/frmChart2D.h"
#include "gui/charts/frmChart3D.h"
#include "gui/frmMain.h"
#include "platform/chart2d.h"
#include "platform/chart3d.h"
#include "platform/memory_release.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsView>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QXYSeries>
#include <QMdiArea>
#include <QMenu>
#include <QContextMenuEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QtDataVisualization/QAbstract3DGraph>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QtEndian>
#include <cmath>
#include <cstdio>

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

// --- Engine-style semivariogram files ----------------------------------------

struct Lags {
  std::vector<float> distance, classical, robust, bounds;
  std::vector<int> count;
};

// A realistic lag table: 12 classes of width 120 from a first lag of 60, a
// spherical-looking rise with a sill near 0.6.
Lags sampleLags() {
  Lags t;
  const int lagCount = 12;
  for (int k = 1; k <= lagCount; ++k) {
    const float h = 60.0f + (k - 1) * 120.0f + 7.0f * std::sin(static_cast<float>(k));
    t.distance.push_back(h);
    const float g = h < 900 ? 0.08f + 0.52f * (1.5f * h / 900 - 0.5f * std::pow(h / 900, 3.0f)) : 0.6f;
    t.classical.push_back(g + 0.02f * std::cos(static_cast<float>(3 * k)));
    t.robust.push_back(0.93f * g + 0.015f * std::sin(static_cast<float>(2 * k)));
    t.count.push_back(40 + 37 * k - 2 * k * k);
  }
  for (int i = 1; i <= lagCount + 1; ++i) t.bounds.push_back((i - 1.5f) * 120.0f + 60.0f);
  return t;
}

// Writes a list of numbers over several lines, 5 a line, as the engine wraps.
QByteArray wrapped(const std::vector<float>& values) {
  QByteArray out;
  for (std::size_t k = 0; k < values.size(); ++k) {
    out += QByteArray::number(values[k], 'g', 9);
    out += (k % 5 == 4 || k + 1 == values.size()) ? "\n" : "  ";
  }
  return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// SKUESTIM.SV / SKUESTIM.FMT: both estimators, kind 1.
void writeEstimate(const QDir& dir, const Lags& t) {
  const QByteArray n = QByteArray::number(static_cast<int>(t.distance.size()));
  QByteArray sv = "GENERAL 2 100\nHOLE -1\n# estimador cl\xe1sico\n" + n + "\n" + wrapped(t.distance) +
                  wrapped(t.classical) + "# estimador robusto\n" + n + "\n" + wrapped(t.distance) + wrapped(t.robust);
  writeFile(dir.filePath("SKUESTIM.SV"), sv);
  std::vector<float> counts(t.count.begin(), t.count.end());
  writeFile(dir.filePath("SKUESTIM.FMT"), "1\n" + n + "\n" + wrapped(counts) +
                                             QByteArray::number(static_cast<int>(t.bounds.size())) + "\n" +
                                             wrapped(t.bounds));
}

// SKUEAJUS.SV / SKUEAJUS.FMT: estimator of the first m classes and a model
// curve of 100 points, kind 2.
void writeAjus(const QDir& dir, const Lags& t, int m) {
  std::vector<float> d(t.distance.begin(), t.distance.begin() + m), g(t.classical.begin(), t.classical.begin() + m);
  std::vector<float> hm, gm;
  for (int i = 1; i <= 100; ++i) {
    const float h = i * (d.back() / 100);
    hm.push_back(h);
    gm.push_back(h < 900 ? 0.08f + 0.52f * (1.5f * h / 900 - 0.5f * std::pow(h / 900, 3.0f)) : 0.6f);
  }
  const QByteArray mm = QByteArray::number(m);
  writeFile(dir.filePath("SKUEAJUS.SV"), "GENERAL 2 100\nHOLE -1\n# estimador\n" + mm + "\n" + wrapped(d) +
                                             wrapped(g) + "# modelo\n100\n" + wrapped(hm) + wrapped(gm));
  std::vector<float> counts(t.count.begin(), t.count.begin() + m);
  std::vector<float> bounds(t.bounds.begin(), t.bounds.begin() + m + 1);
  writeFile(dir.filePath("SKUEAJUS.FMT"), "2\n" + mm + "\n" + wrapped(counts) + QByteArray::number(m + 1) + "\n" +
                                              wrapped(bounds));
}

// --- Engine-style surfaces -----------------------------------------------------

double hill(double x, double y) {
  return 5.2 + 1.6 * std::exp(-(std::pow(x - 180600, 2) + std::pow(y - 332300, 2)) / 6e5) +
         0.9 * std::exp(-(std::pow(x - 179300, 2) + std::pow(y - 330600, 2)) / 2.5e5) - 0.00018 * (y - 330000);
}

// The kriging grid of a session: 40 x 52 nodes over a Meuse-like extent; with
// `masked`, nodes outside a river-bank band are holes as under a profile.
void fillSession(sorvan::core::KrigingSession& s, bool masked) {
  sorvan::core::KrigingSurfaces& g = s.surfaces;
  g.nx = 40, g.ny = 52, g.xMin = 178600, g.yMin = 329700, g.dx = 70, g.dy = 70;
  g.SupPred.assign(static_cast<std::size_t>(g.nx * g.ny), 0.0f);
  g.SupVar = g.SupPred;
  for (int j = 0; j < g.ny; ++j)
    for (int i = 0; i < g.nx; ++i) {
      const double x = g.xMin + i * g.dx, y = g.yMin + j * g.dy;
      const bool hole = masked && std::abs((x - 178600) * 0.75 - (y - 329700) * 0.55 - 100) > 900;
      const std::size_t k = static_cast<std::size_t>(i + g.nx * j);
      g.SupPred[k] = hole ? sorvan::core::kHoleValue : static_cast<float>(hill(x, y));
      g.SupVar[k] = hole ? sorvan::core::kHoleValue
                         : static_cast<float>(0.08 + 0.1 * std::pow(std::sin(x / 300.0) * std::cos(y / 260.0), 2));
    }
  s.hasSurfaces = true;
  s.options.profile.npts = masked ? 9 : 0;
}

void writeSup(const QString& path, const sorvan::core::KrigingSurfaces& g, const std::vector<float>& values) {
  QByteArray out = " GRID " + QByteArray::number(g.nx) + " " + QByteArray::number(g.ny) + "\n";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g %g %g %g %g\n", -10000.0, g.dx, g.dy, g.xMin, g.yMin);
  out += buf;
  for (int i = 0; i < g.nx; ++i) {
    for (int j = 0; j < g.ny; ++j) {
      std::snprintf(buf, sizeof buf, "  %15.4f", values[static_cast<std::size_t>(i + g.nx * j)]);
      out += buf;
    }
    out += "\n";
  }
  writeFile(path, out);
}

class ChartWindows : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    dir = QDir(tmp.path());
    area.resize(1000, 760);
    area.show();
    writeEstimate(dir, sampleLags());
    writeAjus(dir, sampleLags(), 6);
  }
  void TearDown() override { area.closeAllSubWindows(); }
  QTemporaryDir tmp;
  QDir dir;
  QMdiArea area;
  sorvan::core::KrigingSession session;
};

frmChart2D* as2D(QWidget* w) { return qobject_cast<frmChart2D*>(w); }
frmChart3D* as3D(QWidget* w) { return qobject_cast<frmChart3D*>(w); }

}  // namespace

// --- Semivariogram window ------------------------------------------------------

TEST_F(ChartWindows, EstimatorsFileGetsLegendPairCountsAndClassLimits) {
  const Lags t = sampleLags();
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUESTIM.SV"), "Semivariograma de logzinc", &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  Chart2D& g = w->Grafico();
  EXPECT_EQ(g.LegendTitleText(), "Estimadores");
  EXPECT_EQ(g.SeriesLabelText(1), "Clásico");
  EXPECT_EQ(g.SeriesLabelText(2), "Robusto");
  EXPECT_EQ(g.LineCode(2), 4);
  EXPECT_EQ(g.SymbolCode(2), 4);
  EXPECT_FALSE(g.XAxisSwitchOn());
  ASSERT_EQ(g.SeriesCount(), 4);
  const int n = static_cast<int>(t.distance.size());
  ASSERT_EQ(g.PointCount(1), n);
  EXPECT_NEAR(g.Y(2, 7), t.robust[6], 1e-6);
  // One pair-count label under each lag, on the baseline series 3.
  ASSERT_EQ(g.PointCount(3), n);
  ASSERT_EQ(g.LabelCount(), n);
  for (int p = 1; p <= n; ++p) {
    EXPECT_DOUBLE_EQ(g.X(3, p), g.X(1, p));
    EXPECT_EQ(g.Y(3, p), 0.0);
    const ChartLabel& label = g.Label(p);
    EXPECT_EQ(label.Text, QString::number(t.count[static_cast<std::size_t>(p - 1)]));
    EXPECT_EQ(label.AttachMethod, 2);
    EXPECT_EQ(label.AttachDataIndex.series, 3);
    EXPECT_EQ(label.AttachDataIndex.Point, p);
    EXPECT_EQ(label.Offset, 4);
  }
  // lagCount + 1 class limits on the X axis.
  ASSERT_EQ(g.PointCount(4), n + 1);
  for (int i = 1; i <= n + 1; ++i) {
    EXPECT_NEAR(g.X(4, i), t.bounds[static_cast<std::size_t>(i - 1)], 1e-3);
    EXPECT_EQ(g.Y(4, i), 0.0);
  }
}

TEST_F(ChartWindows, FittedModelFileKeepsTheDesignTimeLegend) {
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUEAJUS.SV"), "Semivariograma de logzinc", &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  Chart2D& g = w->Grafico();
  EXPECT_EQ(g.SeriesLabelText(1), "Estimador");
  EXPECT_EQ(g.SeriesLabelText(2), "Modelo ajustado");
  EXPECT_NE(g.LegendTitleText(), "Estimadores");
  EXPECT_EQ(g.PointCount(1), 6);
  EXPECT_EQ(g.PointCount(2), 100);
  EXPECT_NE(g.LineCode(2), 4);  // the model stays a line
  ASSERT_EQ(g.PointCount(3), 6);
  EXPECT_EQ(g.LabelCount(), 6);
  for (int p = 1; p <= 6; ++p) EXPECT_DOUBLE_EQ(g.X(3, p), g.X(1, p));
  EXPECT_EQ(g.PointCount(4), 7);
}

// The fitted model is a plain curve: no marker at its vertices, in either
// emphasis (it showed small dots along the curve).
TEST_F(ChartWindows, FittedModelCurveHasNoVertexDots) {
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUEAJUS.SV"), "t", &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  Chart2D& g = w->Grafico();
  const int modelPoints = g.PointCount(2);
  ASSERT_EQ(modelPoints, 100);
  auto* view = g.findChild<QChartView*>();
  ASSERT_NE(view, nullptr);
  for (int clickIndex = 0; clickIndex < 3; ++clickIndex) {
    int curves = 0;
    for (QAbstractSeries* series : view->chart()->series()) {
      auto* xy = qobject_cast<QXYSeries*>(series);
      if (!xy || xy->count() != modelPoints) continue;
      EXPECT_FALSE(qobject_cast<QScatterSeries*>(series)) << "markers on the model, click " << clickIndex;
      EXPECT_FALSE(xy->pointsVisible()) << "click " << clickIndex;
      ++curves;
    }
    EXPECT_EQ(curves, 1) << "click " << clickIndex;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->viewport()->rect().center());
  }
}

// The program asks for "skuestim.sv"; the engine wrote "SKUESTIM.SV" and
// "SKUESTIM.FMT".
TEST_F(ChartWindows, EngineFilesAreFoundWhateverTheCase) {
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("skuestim.sv"), "t", &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  EXPECT_EQ(w->Grafico().LegendTitleText(), "Estimadores");
  EXPECT_EQ(w->Grafico().PointCount(4), 13);
  fillSession(session, false);
  writeSup(dir.filePath("SKUPRE.SUP"), session.surfaces, session.surfaces.SupPred);
  QWidget* s = OpenChart3D(&area, 3, dir.filePath("skupre.sup"), session, &error);
  ASSERT_NE(s, nullptr) << error.toStdString();
  EXPECT_TRUE(s->windowTitle().endsWith("skupre.sup"));
}

// On a first run the main window is smaller than a chart window: the window
// used to open hanging out of the area, its right side and bottom hidden.
TEST_F(ChartWindows, WindowOpensInsideASmallArea) {
  area.resize(420, 330);
  QTest::qWait(50);
  QString error;
  for (int k = 0; k < 2; ++k) {
    frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUESTIM.SV"), "t", &error));
    ASSERT_NE(w, nullptr) << error.toStdString();
    const QRect visible(QPoint(0, 0), area.viewport()->size());
    EXPECT_TRUE(visible.contains(w->parentWidget()->geometry()))
        << w->parentWidget()->geometry().width() << "x" << w->parentWidget()->geometry().height();
  }
}

TEST_F(ChartWindows, CaptionsNumberEachKindOnItsOwn) {
  const QString sv = dir.filePath("SKUESTIM.SV");
  QString error;
  QWidget* a = OpenChart2D(&area, sv, "Semivariograma de zinc", &error);
  ASSERT_NE(a, nullptr);
  const int first = Chart2DCounter();
  writeSup(dir.filePath("p.sup"), (fillSession(session, false), session.surfaces), session.surfaces.SupPred);
  QWidget* s = OpenChart3D(&area, 3, dir.filePath("p.sup"), session, &error);
  ASSERT_NE(s, nullptr) << error.toStdString();
  QWidget* b = OpenChart2D(&area, sv, "Semivariograma de zinc", &error);
  QWidget* c = OpenChart2D(&area, sv, "", &error);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(a->windowTitle(), QString("Graf%1: Semivariograma de zinc").arg(first));
  EXPECT_EQ(b->windowTitle(), QString("Graf%1: Semivariograma de zinc").arg(first + 1));
  EXPECT_EQ(c->windowTitle(), QString("Graf%1: %2").arg(first + 2).arg(sv));
  EXPECT_EQ(s->windowTitle(), QString("Sup%1: %2").arg(Chart3DCounter()).arg(dir.filePath("p.sup")));
  // Closing a window does not free its number.
  a->close();
  QWidget* d = OpenChart2D(&area, sv, "x", &error);
  EXPECT_TRUE(d->windowTitle().startsWith(QString("Graf%1: ").arg(first + 3)));
}

TEST_F(ChartWindows, MissingCompanionShowsTheSeriesOnly) {
  QFile::copy(dir.filePath("SKUESTIM.SV"), dir.filePath("solo.sv"));
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("solo.sv"), "t", &error));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Grafico().SeriesCount(), 2);
  EXPECT_EQ(w->Grafico().LabelCount(), 0);
  EXPECT_EQ(w->Grafico().SeriesLabelText(1), "Estimador");
  EXPECT_TRUE(w->Grafico().XAxisSwitchOn());
}

TEST_F(ChartWindows, UnreadableSemivariogramFileIsRefusedByName) {
  writeFile(dir.filePath("roto.sv"), "GENERAL 2 100\nHOLE -1\n# estimador\n12\n1 2 3\n");
  writeFile(dir.filePath("texto.sv"), "no es un semivariograma\n");
  for (const QString name : {"roto.sv", "texto.sv", "falta.sv"}) {
    const int before = static_cast<int>(area.subWindowList().size());
    QString error;
    EXPECT_EQ(OpenChart2D(&area, dir.filePath(name), "t", &error), nullptr) << name.toStdString();
    EXPECT_TRUE(error.contains(name)) << error.toStdString();
    EXPECT_EQ(static_cast<int>(area.subWindowList().size()), before);
  }
}

TEST_F(ChartWindows, ShortCompanionStopsTheAnnotationWithAMessage) {
  QFile::copy(dir.filePath("SKUESTIM.SV"), dir.filePath("corto.sv"));
  writeFile(dir.filePath("corto.fmt"), "1\n12\n10 20 30 40\n");
  QString shown;
  QTimer::singleShot(0, [&shown] {
    for (int tries = 0; tries < 100 && shown.isEmpty(); ++tries) {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        shown = box->text();
        box->accept();
        return;
      }
      QTest::qWait(20);
    }
  });
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("corto.sv"), "t", &error));
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(shown.contains("corto.fmt")) << shown.toStdString();
  EXPECT_EQ(w->Grafico().LabelCount(), 4);  // what was read stays
  EXPECT_EQ(w->Grafico().LegendTitleText(), "Estimadores");
}

TEST_F(ChartWindows, ClicksEmphasiseSeriesTwoThenOne) {
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUESTIM.SV"), "t", &error));
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  Chart2D& g = w->Grafico();
  EXPECT_FALSE(w->Toggle());
  auto* view = g.findChild<QGraphicsView*>();
  ASSERT_NE(view, nullptr);
  QWidget* plot = view->viewport();
  QTest::mouseClick(plot, Qt::LeftButton, {}, plot->rect().center());
  EXPECT_EQ(g.DisplayCode(2), 4);
  EXPECT_NE(g.DisplayCode(1), 4);
  EXPECT_TRUE(w->Toggle());
  QTest::mouseClick(plot, Qt::LeftButton, {}, plot->rect().center());
  EXPECT_EQ(g.DisplayCode(1), 4);
  EXPECT_NE(g.DisplayCode(2), 4);
  QTest::mouseClick(plot, Qt::LeftButton, {}, plot->rect().center());
  EXPECT_EQ(g.DisplayCode(2), 4);
}

// Right button on the plot: a context menu offering the picture export.
TEST_F(ChartWindows, ContextMenuOffersTheExport) {
  QString error;
  frmChart2D* w = as2D(OpenChart2D(&area, dir.filePath("SKUESTIM.SV"), "t", &error));
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  QStringList offered;
  QTimer::singleShot(100, [&offered] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* a : menu->actions()) offered << a->text();
      menu->close();
    }
  });
  QWidget* plot = w->Grafico().findChild<QGraphicsView*>()->viewport();
  QContextMenuEvent event(QContextMenuEvent::Mouse, plot->rect().center(), plot->mapToGlobal(plot->rect().center()));
  QApplication::sendEvent(plot, &event);
  EXPECT_TRUE(offered.contains("Exportar imagen...")) << offered.join("|").toStdString();
}

// On the 3-D view the right button turns the view; a right click that does
// not turn it opens the same menu.
TEST_F(ChartWindows, SurfaceContextMenuFromThe3DView) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "t", session, &error));
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  // The graph's window is mapped once the plain page before it has drawn.
  QWindow* graph = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (QWindow* win : QGuiApplication::allWindows())
          if (win->inherits("Q3DSurface") && win->isExposed()) graph = win;
        return graph != nullptr;
      },
      5000));
  QStringList offered;
  QTimer::singleShot(150, [&offered] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* a : menu->actions()) offered << a->text();
      menu->close();
    }
  });
  const QPoint at(graph->width() / 2, graph->height() / 2);
  QTest::mousePress(graph, Qt::RightButton, {}, at);
  QTest::mouseRelease(graph, Qt::RightButton, {}, at);
  QTest::qWait(250);
  EXPECT_TRUE(offered.contains("Exportar imagen...")) << offered.join("|").toStdString();
  EXPECT_EQ(w->ComboVista()->currentText(), "Suroeste");  // the view did not turn
}

TEST_F(ChartWindows, SemivariogramChartKeepsItsMargins) {
  frmChart2D w;
  w.setMinimumSize(0, 0);
  w.resize(500, 400);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.Grafico().geometry(), QRect(25, 25, 450, 350));
  const QRect before = w.Grafico().geometry();
  w.resize(40, 40);  // too small for the margins: the chart stays
  QApplication::processEvents();
  EXPECT_EQ(w.Grafico().geometry(), before);
}

// --- Surface window ------------------------------------------------------------

TEST_F(ChartWindows, SurfaceWindowStartsFromTheSouthWestAt45) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "Superficie de predicción de logzinc", session, &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  EXPECT_EQ(w->ComboVista()->count(), 8);
  EXPECT_EQ(w->ComboVista()->currentText(), "Suroeste");
  EXPECT_EQ(w->ComboElevacion()->currentText(), "45°");
  EXPECT_EQ(w->Grafico().ViewRotationValue(), 45);
  EXPECT_EQ(w->Grafico().ViewElevationValue(), 45);
  const SurfaceGrid& g = w->Grafico().Grid();
  EXPECT_EQ(g.nx, 40);
  EXPECT_EQ(g.ny, 52);
  EXPECT_DOUBLE_EQ(g.xMin, 178600);
  EXPECT_DOUBLE_EQ(g.dy, 70);
  EXPECT_FLOAT_EQ(g.at(7, 33), session.surfaces.SupPred[7 + 40 * 33]);
  EXPECT_FALSE(w->Grafico().SolidSurfaceOn());
  EXPECT_FALSE(w->BarraGraf3D()->findChild<QAction*>("solida")->isChecked());
  // The lists change the view.
  w->ComboVista()->setCurrentIndex(4);
  w->ComboElevacion()->setCurrentIndex(6);
  EXPECT_EQ(w->Grafico().ViewRotationValue(), 180);
  EXPECT_EQ(w->Grafico().ViewElevationValue(), 90);
}

TEST_F(ChartWindows, VarianceWithAProfileOpensSolid) {
  fillSession(session, true);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 2, "Superficie de varianzas de logzinc", session, &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  EXPECT_TRUE(w->Grafico().SolidSurfaceOn());
  EXPECT_TRUE(w->BarraGraf3D()->findChild<QAction*>("solida")->isChecked());
  EXPECT_FLOAT_EQ(w->Grafico().Grid().at(20, 20), session.surfaces.SupVar[20 + 40 * 20]);
  // Hole nodes stay out of the Z range the chart chose.
  EXPECT_GT(w->Grafico().ZAxisMin(), 0.0f);
  EXPECT_LT(w->Grafico().ZAxisMax(), 1.0f);
}

TEST_F(ChartWindows, NoRunNoSurfaceWindow) {
  QString error;
  const int before = static_cast<int>(area.subWindowList().size());
  EXPECT_EQ(OpenChart3D(&area, 1, "Superficie de predicción de z", session, &error), nullptr);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(static_cast<int>(area.subWindowList().size()), before);
}

TEST_F(ChartWindows, UnreadableSurfaceFileIsRefusedByName) {
  writeFile(dir.filePath("cortada.sup"), " GRID 10 10\n-10000 1 1 0 0\n 1 2 3\n");
  const int before = static_cast<int>(area.subWindowList().size());
  QString error;
  EXPECT_EQ(OpenChart3D(&area, 3, dir.filePath("cortada.sup"), session, &error), nullptr);
  EXPECT_TRUE(error.contains("cortada.sup")) << error.toStdString();
  EXPECT_EQ(OpenChart3D(&area, 3, dir.filePath("nada.sup"), session, &error), nullptr);
  EXPECT_TRUE(error.contains("nada.sup"));
  EXPECT_EQ(static_cast<int>(area.subWindowList().size()), before);
}

TEST_F(ChartWindows, ToolbarKeysTooltipsAndSettings) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "t", session, &error));
  ASSERT_NE(w, nullptr);
  const std::pair<const char*, const char*> tips[] = {
      {"vista1", "Vista 3D normal"},       {"vista2", "Vista 3D con contorno"},
      {"vista3", "Vista 2D (sólo contorno)"}, {"vista4", "Vista contorno con bandas"},
      {"vista5", "Vista 3D barras"},       {"etiquetas", "Mostrar etiquetas"},
      {"solida", "Superficie sólida"}};
  QStringList order;
  for (QAction* a : w->BarraGraf3D()->actions())
    if (!a->objectName().isEmpty()) order << a->objectName();
  EXPECT_EQ(order, QStringList({"vista1", "vista2", "vista3", "vista4", "vista5", "ComboVista", "ComboElevacion",
                                "etiquetas", "solida"}));
  for (const auto& [key, tip] : tips) {
    QAction* a = w->BarraGraf3D()->findChild<QAction*>(key);
    ASSERT_NE(a, nullptr) << key;
    EXPECT_EQ(a->toolTip(), QString::fromUtf8(tip));
  }
  EXPECT_TRUE(w->BarraGraf3D()->findChild<QAction*>("solida")->isCheckable());

  Chart3D& g = w->Grafico();
  auto click = [&](const char* key) { w->BarraGraf3D()->findChild<QAction*>(key)->trigger(); };
  click("vista2");
  EXPECT_EQ(g.ChartTypeCode(), 0);
  EXPECT_TRUE(g.SurfaceOn());
  EXPECT_TRUE(g.ContourProjectionOn());
  click("vista3");  // projection unchanged
  EXPECT_FALSE(g.SurfaceOn());
  EXPECT_EQ(g.ContourModeCode(), 0);
  EXPECT_TRUE(g.ContourProjectionOn());
  click("vista4");
  EXPECT_EQ(g.ContourModeCode(), 1);
  EXPECT_FALSE(g.SurfaceOn());
  click("vista1");
  EXPECT_TRUE(g.SurfaceOn());
  EXPECT_FALSE(g.ContourProjectionOn());
  EXPECT_EQ(g.ContourModeCode(), 0);
  click("vista5");
  EXPECT_EQ(g.ChartTypeCode(), 1);
  EXPECT_TRUE(g.SurfaceOn());
  EXPECT_FALSE(g.ContourProjectionOn());
  click("solida");  // back to a surface, with the switches of vista5
  EXPECT_EQ(g.ChartTypeCode(), 0);
  EXPECT_TRUE(g.SurfaceOn());
  EXPECT_FALSE(g.ContourProjectionOn());
  EXPECT_TRUE(g.SolidSurfaceOn());
  click("vista4");
  click("solida");
  EXPECT_FALSE(g.SolidSurfaceOn());
}

// "Show etiquetas" switched filled contours to lines and bars back to the
// surface, and changed nothing visible: it toggles the contour labels only.
TEST_F(ChartWindows, ShowLabelsTogglesTheContourLabelsAndNothingElse) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "t", session, &error));
  ASSERT_NE(w, nullptr);
  Chart3D& g = w->Grafico();
  QAction* labels = w->BarraGraf3D()->findChild<QAction*>("etiquetas");
  auto click = [&](const char* key) { w->BarraGraf3D()->findChild<QAction*>(key)->trigger(); };
  struct State {
    int kind, mode;
    bool surface, projection, solid;
    bool operator==(const State&) const = default;
  };
  auto state = [&] {
    return State{g.ChartTypeCode(), g.ContourModeCode(), g.SurfaceOn(), g.ContourProjectionOn(), g.SolidSurfaceOn()};
  };
  for (const char* viewText : {"vista1", "vista2", "vista3", "vista4", "vista5"}) {
    click(viewText);
    const State stateBefore = state();
    const bool withLabels = g.ContourLabelsOn();
    const QImage withImage = g.Picture();
    click("etiquetas");
    EXPECT_EQ(g.ContourLabelsOn(), !withLabels) << viewText;
    EXPECT_EQ(labels->isChecked(), g.ContourLabelsOn()) << viewText;
    EXPECT_TRUE(state() == stateBefore) << viewText;
    // In the views that draw contours the picture changes.
    // In the contour maps the picture changes (the labels of the 3-D view
    // with contours lie on its floor, mostly under the surface).
    if (std::string(viewText) == "vista3" || std::string(viewText) == "vista4") {
      EXPECT_TRUE(g.Picture() != withImage) << viewText;
    }
    click("etiquetas");
    EXPECT_EQ(g.ContourLabelsOn(), withLabels) << viewText;
    EXPECT_TRUE(state() == stateBefore) << viewText;
  }
}

// Closed surface and semivariogram windows are destroyed with their graphs
// (closing the windows of a 1000 x 1000 grid left 2 GB held).
TEST_F(ChartWindows, ClosedChartWindowsAreDestroyedWithTheirGraphs) {
  fillSession(session, false);
  QString error;
  QPointer<QWidget> surface = OpenChart3D(&area, 1, "t", session, &error);
  QPointer<QWidget> semivariograma = OpenChart2D(&area, dir.filePath("SKUESTIM.SV"), "t", &error);
  ASSERT_FALSE(surface.isNull());
  ASSERT_FALSE(semivariograma.isNull());
  QPointer<Chart3D> grafico = &as3D(surface)->Grafico();
  auto charts3D = [] {
    int n = 0;
    for (QWindow* w : QGuiApplication::allWindows()) n += qobject_cast<QAbstract3DGraph*>(w) != nullptr;
    return n;
  };
  const int stateBefore = charts3D();
  EXPECT_GE(stateBefore, 1);
  QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow*>(surface->parentWidget());
  ASSERT_FALSE(sub.isNull());
  sub->close();
  qobject_cast<QMdiSubWindow*>(semivariograma->parentWidget())->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_TRUE(surface.isNull());
  EXPECT_TRUE(grafico.isNull());
  EXPECT_TRUE(sub.isNull());  // the sub-window too, not kept hidden
  EXPECT_TRUE(semivariograma.isNull());
  EXPECT_EQ(charts3D(), stateBefore - 1);
  EXPECT_TRUE(area.subWindowList().isEmpty());
}

// The memory a 1000 x 1000 surface window took is given back when it closes
// (it stayed with the process, about 2 GB for the two surfaces of a run).
TEST_F(ChartWindows, ClosingALargeSurfaceGivesItsMemoryBack) {
  sorvan::core::KrigingSurfaces& g = session.surfaces;
  g.nx = g.ny = 1000;
  g.xMin = g.yMin = 0;
  g.dx = g.dy = 1;
  g.SupPred.resize(1000000);
  for (int k = 0; k < 1000000; ++k) g.SupPred[k] = static_cast<float>(std::sin(k % 1000 * 0.01) + k / 1000 * 0.001);
  g.SupVar = g.SupPred;
  session.hasSurfaces = true;
  ReleaseFreedMemory();
  const long long stateBefore = ResidentBytes();
  QString error;
  QPointer<QWidget> w = OpenChart3D(&area, 1, "grande", session, &error);
  ASSERT_FALSE(w.isNull()) << error.toStdString();
  QTest::qWait(300);
  const long long openOne = ResidentBytes();
  qobject_cast<QMdiSubWindow*>(w->parentWidget())->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  const long long closed = ResidentBytes();
  ASSERT_TRUE(w.isNull());
  ASSERT_GT(openOne - stateBefore, 50ll << 20) << "the window should take some tens of megabytes";
  // At most a quarter of what the window took stays with the process.
  EXPECT_LT(closed - stateBefore, (openOne - stateBefore) / 4)
      << "antes " << (stateBefore >> 20) << " MB, abierta " << (openOne >> 20) << " MB, cerrada " << (closed >> 20) << " MB";
}

// The view lists say that the right mouse button turns the view.
TEST_F(ChartWindows, TheTooltipsSayTheRightButtonTurnsTheView) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "t", session, &error));
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->ComboVista()->toolTip().contains("botón derecho")) << w->ComboVista()->toolTip().toStdString();
  EXPECT_TRUE(w->ComboElevacion()->toolTip().contains("botón derecho"));
  EXPECT_TRUE(w->Grafico().toolTip().contains("Botón derecho"));
}

TEST_F(ChartWindows, TurnedViewSnapsToTheListSectors) {
  fillSession(session, false);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 1, "t", session, &error));
  ASSERT_NE(w, nullptr);
  struct Case {
    double rotation, elevation;
    const char* viewText;
    const char* elevationText;
  } cases[] = {{-30, 100, "Sureste", "90°"}, {44.9, 30, "Sur", "30°"},  {45, 30, "Suroeste", "30°"},
               {200, 7, "Norte", "0°"},      {200, 8, "Norte", "0°"},  {200, 15, "Norte", "15°"},
               {359.999, -5, "Sur", "0°"},   {725, 44, "Sur", "30°"},  {270, 60, "Este", "60°"}};
  for (const Case& c : cases) {
    double elevation = c.elevation, second = 7, rotation = c.rotation;
    w->Grafico_ViewChanged(elevation, second, rotation);
    EXPECT_EQ(second, 0);
    EXPECT_GE(rotation, 0);
    EXPECT_LT(rotation, 360);
    EXPECT_GE(elevation, 0);
    EXPECT_LE(elevation, 90);
    EXPECT_EQ(w->ComboVista()->currentText(), QString::fromUtf8(c.viewText)) << c.rotation;
    EXPECT_EQ(w->ComboElevacion()->currentText(), QString::fromUtf8(c.elevationText)) << c.elevation;
    // The view lands on the lists' angles.
    EXPECT_EQ(w->Grafico().ViewRotationValue(), frmChart3D::kViewAngles[w->ComboVista()->currentIndex()]);
    EXPECT_EQ(w->Grafico().ViewElevationValue(), frmChart3D::kElevationAngles[w->ComboElevacion()->currentIndex()]);
  }
  double elevation = 100, second = 0, rotation = -30;
  w->Grafico_ViewChanged(elevation, second, rotation);
  EXPECT_DOUBLE_EQ(rotation, 330);
  EXPECT_DOUBLE_EQ(elevation, 90);
}

TEST_F(ChartWindows, SurfaceLayoutAndBitmapOfTheChartSize) {
  fillSession(session, true);
  writeSup(dir.filePath("SKUPRE.SUP"), session.surfaces, session.surfaces.SupPred);
  QString error;
  frmChart3D* w = as3D(OpenChart3D(&area, 3, dir.filePath("SKUPRE.SUP"), session, &error));
  ASSERT_NE(w, nullptr) << error.toStdString();
  w->parentWidget()->resize(700, 540);
  QApplication::processEvents();
  const int toolbar = w->BarraGraf3D()->height();
  const QRect chart = w->Grafico().geometry();
  EXPECT_EQ(chart, QRect(20, toolbar + 20, w->width() - 40, w->height() - toolbar - 40));
  // A surface file: the chart's Z range is the defined values' range.
  float low = 1e30f, high = -1e30f;
  for (float v : session.surfaces.SupPred)
    if (v != sorvan::core::kHoleValue) low = std::min(low, v), high = std::max(high, v);
  EXPECT_NEAR(w->Grafico().ZAxisMin(), low, 1e-3);
  EXPECT_NEAR(w->Grafico().ZAxisMax(), high, 1e-3);
  const QString bmp = dir.filePath("ANIM00.BMP");
  ASSERT_TRUE(w->Grafico().DrawToFile(bmp, 1));
  const QImage image(bmp);
  EXPECT_EQ(image.size(), chart.size());
}

// Through the main window, as the menus and the kriging dialog call it.
TEST_F(ChartWindows, MainWindowOpensChartsAndReportsUnreadableFiles) {
  frmMain mainWindow;
  mainWindow.show();
  mainWindow.NuevoGraf2D(dir.filePath("SKUESTIM.SV"), "Semivariograma de logzinc");
  ASSERT_EQ(mainWindow.AreaMDI()->subWindowList().size(), 1);
  EXPECT_TRUE(mainWindow.AreaMDI()->subWindowList()[0]->windowTitle().endsWith(": Semivariograma de logzinc"));
  EXPECT_EQ(mainWindow.StatusText(), "Preparado");
  fillSession(session, false);
  writeSup(dir.filePath("SKUVAR.SUP"), session.surfaces, session.surfaces.SupVar);
  mainWindow.NuevoGraf3D(3, dir.filePath("SKUVAR.SUP"));
  ASSERT_EQ(mainWindow.AreaMDI()->subWindowList().size(), 2);
  EXPECT_EQ(mainWindow.StatusText(), "Preparado");

  writeFile(dir.filePath("malo.sup"), " GRID 3 3\n-10000 1 1 0 0\n1 2\n");
  QString message;
  QTimer::singleShot(50, [&message] {
    for (int tries = 0; tries < 100 && message.isEmpty(); ++tries) {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        message = box->text();
        box->accept();
        return;
      }
      QTest::qWait(20);
    }
  });
  mainWindow.NuevoGraf3D(3, dir.filePath("malo.sup"));
  EXPECT_TRUE(message.contains("malo.sup")) << message.toStdString();
  EXPECT_EQ(mainWindow.AreaMDI()->subWindowList().size(), 2);  // no half-built window
  EXPECT_EQ(mainWindow.StatusText(), "Preparado");
  mainWindow.AreaMDI()->closeAllSubWindows();
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
