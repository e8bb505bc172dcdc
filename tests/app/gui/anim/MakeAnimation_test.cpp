// Surface series rendered to frames through a real surface chart window in
// the main window, then to a video; and the data animation of the menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QSet>
#include <QTest>

#include "core/bitmap/cDIB.h"
#include "test_data.h"
#include "gui/anim/MakeAnimation.h"
#include "gui/anim/animation_commands.h"
#include "gui/charts/frmChart3D.h"
#include "gui/frmMain.h"
#include "modal_script.h"
#include "platform/chart3d.h"
#include "platform/video/player.h"
#include "animation_test.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

class MakeAnimationTest : public MainWindowTestBase {
protected:
  // Three surfaces of a hill that moves and grows, 0 ... 37 over the series.
  QStringList ThreeSurfaces() {
    QStringList s;
    for (int k = 0; k < 3; ++k) {
      s << Path(QStringLiteral("s%1.sup").arg(k));
      test_data::WriteSurface(s.last(), 14, 12, [k](int i, int j) {
        const double dx = i - 3.0 - 3.5 * k, dy = j - 5.5;
        return (25.0 + 6.0 * k) * std::exp(-(dx * dx + dy * dy) / 12.0) + 0.5 * i;
      });
    }
    return s;
  }
  Chart3D* ChartOpen() const {
    const auto subs = mainWindow_->AreaMDI()->subWindowList();
    for (QMdiSubWindow* s : subs)
      if (s->windowTitle() == QStringLiteral("Superficies animación ..."))
        if (auto* g = s->findChild<Chart3D*>()) return g;
    return nullptr;
  }
};

TEST_F(MakeAnimationTest, EveryFrameIsDrawnWithOneScaleAndBecomesAVideo) {
  const QStringList surfaces = ThreeSurfaces();
  float zmin = 0.0f, zmax = 37.0f;
  std::vector<double> levels;
  float axisMin = 0, axisMax = 0;
  QString title;
  const QString video = Path("serie.avi");
  ModalScript script;
  script.WaitFor([&] {
      Chart3D* g = ChartOpen();
      ASSERT_NE(g, nullptr);
      levels = g->ContourLevels();
      axisMin = g->ZAxisMin();
      axisMax = g->ZAxisMax();
      title = g->TitleText();
      QTest::qWait(500);
      test_data::ScreenCapture(QRect(0, 0, 1100, 820), QStringLiteral("anim_esperar.png"));
    })
      .FileName(video)
      .Compressor("rawvideo");
  MakeAnimation(mainWindow_.get(), surfaces, {"Zinc", "Cobre", "Plomo"}, zmin, zmax, 2);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();

  // The rounded limits come back to the caller and drive the chart.
  EXPECT_FLOAT_EQ(zmin, 0.0f);
  EXPECT_FLOAT_EQ(zmax, 36.0f);
  EXPECT_FLOAT_EQ(axisMin, 0.0f);
  EXPECT_FLOAT_EQ(axisMax, 36.0f);
  ASSERT_EQ(levels.size(), 13u);  // one level every 3 units
  EXPECT_NEAR(levels[1] - levels[0], 3.0, 1e-4);
  EXPECT_EQ(title, QStringLiteral("Zinc"));

  // ANIM00 ... ANIM02.BMP: equal 24-bit frames, each its own picture.
  QSet<QByteArray> distinct;
  int width = 0;
  for (int k = 0; k < 3; ++k) {
    const QString f = FrameName(dir_.path(), k);
    EXPECT_TRUE(f.endsWith(QStringLiteral("ANIM%1.BMP").arg(k, 2, 10, QLatin1Char('0'))));
    cDIB dib;
    ASSERT_TRUE(dib.CreateFromFile(f.toStdString())) << f.toStdString();
    EXPECT_EQ(dib.BitCount(), 24);
    if (k == 0) width = dib.Width();
    EXPECT_EQ(dib.Width(), width);
    EXPECT_GT(dib.Width(), 100);
    distinct.insert(QByteArray(reinterpret_cast<const char*>(dib.PointerToBits()), dib.SizeImage()));
    if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
      QImage(f).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") +
                     QStringLiteral("/docs/screenshots/anim_frame_%1.png").arg(k, 2, 10, QLatin1Char('0')));
  }
  EXPECT_EQ(distinct.size(), 3);

  const auto r = test_data::ReadAvi(video);
  EXPECT_EQ(r.streams, 1);
  EXPECT_EQ(r.rate, 2u);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.key, 3);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(open_, QStringList{video});

  // The chart window is gone; the status counted the frames and came back.
  EXPECT_EQ(ChartOpen(), nullptr);
  EXPECT_TRUE(states_.contains(QStringLiteral("Generando imagen 2 de 3"))) << states_.join('|').toStdString();
  EXPECT_TRUE(states_.contains(QStringLiteral("Generando imagen 3 de 3")));
  EXPECT_EQ(mainWindow_->StatusText(), QStringLiteral("Preparado"));
}

// The look the user gives the chart during the wait holds for every frame,
// not only the first: the later loads must not bring the chart back.
TEST_F(MakeAnimationTest, LookChosenDuringTheWaitHoldsForEveryFrame) {
  const QStringList surfaces = ThreeSurfaces();
  auto series = [&](const QString& view) {
    float zmin = 0.0f, zmax = 37.0f;
    ModalScript script;
    script.WaitFor([&] {
           for (QMdiSubWindow* s : mainWindow_->AreaMDI()->subWindowList())
             if (auto* w = qobject_cast<frmChart3D*>(s->widget()); w && !view.isEmpty())
               w->BarraGraf3D_ButtonClick(view);
         })
        .FileName(QString());
    MakeAnimation(mainWindow_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
    EXPECT_TRUE(script.Complete());
    QStringList shots;
    for (int k = 0; k < 3; ++k) shots << QDir(dir_.path()).filePath(QStringLiteral("look%1_%2.png").arg(view).arg(k));
    for (int k = 0; k < 3; ++k) QImage(FrameName(dir_.path(), k)).save(shots[k]);
    return shots;
  };
  const QStringList normal = series(QString());
  const QStringList flat = series(QStringLiteral("vista3"));  // contours only, seen from above
  for (int k = 0; k < 3; ++k) EXPECT_NE(QImage(normal[k]), QImage(flat[k])) << "frame " << k;
  if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
    QImage(flat[2]).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/anim_frame_plano_02.png");
}

TEST_F(MakeAnimationTest, FlatSeriesGetsAUsableScale) {
  test_data::WriteSurface(Path("plana.sup"), 6, 5, [](int, int) { return 4.0; });
  float zmin = 4.0f, zmax = 4.0f;
  ModalScript script;
  script.WaitFor().FileName(QString());  // no video wanted
  MakeAnimation(mainWindow_.get(), {Path("plana.sup")}, {QString()}, zmin, zmax, 1);
  EXPECT_TRUE(script.Complete());
  EXPECT_FLOAT_EQ(zmin, 3.0f);
  EXPECT_FLOAT_EQ(zmax, 5.0f);
  EXPECT_TRUE(QFile::exists(FrameName(dir_.path(), 0)));
}

TEST_F(MakeAnimationTest, FrameThatCannotBeWrittenStopsTheSeriesAndKeepsTheChart) {
  const QStringList surfaces = ThreeSurfaces();
  QDir(dir_.path()).mkdir(QStringLiteral("ANIM01.BMP"));  // a folder where the second frame goes
  float zmin = 0.0f, zmax = 37.0f;
  QString text;
  ModalScript script;
  script.WaitFor().Message(&text);
  MakeAnimation(mainWindow_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(script.Complete());
  EXPECT_EQ(text, QStringLiteral("Error al crear bitmap"));
  EXPECT_TRUE(QFile::exists(FrameName(dir_.path(), 0)));
  EXPECT_FALSE(QFile::exists(FrameName(dir_.path(), 2)));
  EXPECT_NE(ChartOpen(), nullptr);
  EXPECT_TRUE(open_.isEmpty());
}

TEST_F(MakeAnimationTest, MissingSurfaceIsNamedAndNoVideoIsMade) {
  QStringList surfaces = ThreeSurfaces();
  surfaces[1] = Path("falta.sup");
  float zmin = 0.0f, zmax = 37.0f;
  QString text;
  ModalScript script;
  script.WaitFor().Message(&text);
  MakeAnimation(mainWindow_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(text.contains(QStringLiteral("falta.sup"))) << text.toStdString();
  EXPECT_TRUE(open_.isEmpty());
  EXPECT_EQ(mainWindow_->StatusText(), QStringLiteral("Preparado"));
}

TEST_F(MakeAnimationTest, CancellingTheFramesMakesNoVideo) {
  const QStringList surfaces = ThreeSurfaces();
  float zmin = 0.0f, zmax = 37.0f;
  ModalScript script;
  script.WaitFor().Dialog<QProgressDialog>([](QProgressDialog* p) { p->cancel(); });
  MakeAnimation(mainWindow_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty());
  EXPECT_TRUE(open_.isEmpty());
  EXPECT_FALSE(QFile::exists(FrameName(dir_.path(), 2)));
  EXPECT_EQ(mainWindow_->StatusText(), QStringLiteral("Preparado"));
}

// The wait dialog stays above the others, with a title bar, beside the chart
// it is about (not over the chart's toolbar at the screen's corner).
TEST_F(MakeAnimationTest, WaitDialogStandsBesideTheChartWithATitle) {
  QWidget grafico;
  grafico.setGeometry(100, 120, 500, 400);
  grafico.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grafico));
  bool up = false, second = true, withTitle = false;
  QRect where;
  QString caption;
  QTimer::singleShot(100, [&] {
    frmEsperar* e = frmEsperar::Instance();
    ASSERT_NE(e, nullptr);
    second = frmEsperar::WaitFor();  // a second animation may not wait too
    up = e->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    withTitle = e->windowFlags().testFlag(Qt::WindowTitleHint) &&
                !e->windowFlags().testFlag(Qt::FramelessWindowHint);
    where = e->geometry();
    caption = e->windowTitle();
    test_data::Capture(e, QStringLiteral("anim_esperar_dialog.png"));
    e->CoAceptar->click();
  });
  EXPECT_TRUE(frmEsperar::WaitFor(mainWindow_.get(), &grafico));
  EXPECT_FALSE(second);
  EXPECT_TRUE(up);
  EXPECT_TRUE(withTitle);
  EXPECT_EQ(caption, QStringLiteral("Esperando para generar el vídeo"));
  const QRect chart(grafico.mapToGlobal(QPoint(0, 0)), grafico.size());
  EXPECT_FALSE(where.intersects(chart)) << where.x() << "," << where.y();
  EXPECT_GE(where.left(), chart.right());
  EXPECT_EQ(frmEsperar::Instance(), nullptr);
}

// Placement rule: right of the chart when it fits, else left, else over the
// chart's lower right corner; always inside the screen.
TEST(WaitDialogPlacementTest, RightElseLeftElseLowerCornerInsideTheScreen) {
  const QRect screen(0, 0, 1280, 1024);
  const QSize box(300, 100);
  EXPECT_EQ(frmEsperar::PositionBeside(QRect(100, 50, 500, 400), box, screen), QPoint(607, 50));
  EXPECT_EQ(frmEsperar::PositionBeside(QRect(700, 50, 500, 400), box, screen), QPoint(392, 50));
  const QPoint p = frmEsperar::PositionBeside(QRect(0, 0, 1280, 1000), box, screen);
  EXPECT_EQ(p, QPoint(979, 899));
  EXPECT_TRUE(screen.contains(QRect(p, box)));
}

// "&Generar animación" > "&Data": 21 surfaces, the typed range, ten levels.
TEST_F(MakeAnimationTest, DataAnimationBuildsVideoAviFromTwentyOneFrames) {
  for (int k = 1; k <= 21; ++k)
    test_data::WriteSurface(Path(QStringLiteral("ANIM%1.SUP").arg(k, 2, 10, QLatin1Char('0'))), 6, 5,
                              [k](int i, int j) { return 0.5 * k + 0.2 * i * j; });
  QFile old(Path("video.avi"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old video");
  old.close();

  std::vector<double> levels;
  auto answers = [](const char* value) {
    return [value](QInputDialog* d) {
      d->setTextValue(QString::fromLatin1(value));
      d->accept();
    };
  };
  QString question1, question2;
  ModalScript script;
  script.Dialog<QInputDialog>([&](QInputDialog* d) {
         question1 = d->labelText();
         answers("0")(d);
       })
      .Dialog<QInputDialog>([&](QInputDialog* d) {
        question2 = d->labelText();
        answers("11")(d);
      })
      .WaitFor([&] {
        if (Chart3D* g = ChartOpen()) levels = g->ContourLevels();
      });
  GenerateDataAnimation(*mainWindow_);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  EXPECT_EQ(question1, QStringLiteral("Introduce el valor mínimo"));
  EXPECT_EQ(question2, QStringLiteral("Introduce el valor máximo"));
  ASSERT_EQ(levels.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_NEAR(levels[i], i + 1.0, 1e-5);
  for (int k = 1; k <= 21; ++k)
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("ANIM%1.BMP").arg(k, 2, 10, QLatin1Char('0')))));
  const auto r = test_data::ReadAvi(Path("video.avi"));
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.frames, 21);
  EXPECT_EQ(r.key, 21);
  EXPECT_EQ(open_, QStringList{Path("video.avi")});
  EXPECT_TRUE(states_.contains(QStringLiteral("Generando imagen 21 de 21")));
}

// Text typed as a value is refused naming the value and asked again; then a
// maximum not above the minimum is refused.
TEST_F(MakeAnimationTest, DataAnimationRefusesTextAndAnEmptyRange) {
  QString noNumero, text;
  ModalScript script;
  script.Dialog<QInputDialog>([](QInputDialog* d) {
         d->setTextValue(QStringLiteral("5"));
         d->accept();
       })
      .Dialog<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("abc"));
        d->accept();
      })
      .Message(&noNumero)
      .Dialog<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("3"));
        d->accept();
      })
      .Message(&text);
  GenerateDataAnimation(*mainWindow_);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(noNumero.contains(QStringLiteral("\"abc\"")) && noNumero.contains(QStringLiteral("valor máximo")))
      << noNumero.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("mayor que el mínimo"))) << text.toStdString();
  EXPECT_EQ(ChartOpen(), nullptr);
}

TEST_F(MakeAnimationTest, DataAnimationNamesTheFirstMissingSurface) {
  test_data::WriteSurface(Path("ANIM01.SUP"), 6, 5, [](int i, int) { return i; });
  QString text;
  ModalScript script;
  script.Dialog<QInputDialog>([](QInputDialog* d) {
         d->setTextValue(QStringLiteral("0"));
         d->accept();
       })
      .Dialog<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("10"));
        d->accept();
      })
      .Message(&text);
  GenerateDataAnimation(*mainWindow_);
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(text.contains(QStringLiteral("ANIM02.SUP"))) << text.toStdString();
}

}  // namespace

// The main window of these tests reads its placement from a settings store of
// their own, never the user's.
int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.ownSettings = true}); }
