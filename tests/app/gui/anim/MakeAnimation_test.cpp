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
  QStringList TresSuperficies() {
    QStringList s;
    for (int k = 0; k < 3; ++k) {
      s << Ruta(QStringLiteral("s%1.sup").arg(k));
      test_data::EscribeSuperficie(s.last(), 14, 12, [k](int i, int j) {
        const double dx = i - 3.0 - 3.5 * k, dy = j - 5.5;
        return (25.0 + 6.0 * k) * std::exp(-(dx * dx + dy * dy) / 12.0) + 0.5 * i;
      });
    }
    return s;
  }
  Chart3D* GraficoAbierto() const {
    const auto subs = principal_->AreaMDI()->subWindowList();
    for (QMdiSubWindow* s : subs)
      if (s->windowTitle() == QStringLiteral("Superficies animación ..."))
        if (auto* g = s->findChild<Chart3D*>()) return g;
    return nullptr;
  }
};

TEST_F(MakeAnimationTest, EveryFrameIsDrawnWithOneScaleAndBecomesAVideo) {
  const QStringList surfaces = TresSuperficies();
  float zmin = 0.0f, zmax = 37.0f;
  std::vector<double> levels;
  float ejeMin = 0, ejeMax = 0;
  QString title;
  const QString video = Ruta("serie.avi");
  ModalScript guion;
  guion.Esperar([&] {
      Chart3D* g = GraficoAbierto();
      ASSERT_NE(g, nullptr);
      levels = g->ContourLevels();
      ejeMin = g->ZAxisMin();
      ejeMax = g->ZAxisMax();
      title = g->TitleText();
      QTest::qWait(500);
      test_data::CapturaPantalla(QRect(0, 0, 1100, 820), QStringLiteral("anim_esperar.png"));
    })
      .Archivo(video)
      .Compresor("rawvideo");
  MakeAnimation(principal_.get(), surfaces, {"Zinc", "Cobre", "Plomo"}, zmin, zmax, 2);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(guion.Inesperados().isEmpty()) << guion.Inesperados().join('|').toStdString();

  // The rounded limits come back to the caller and drive the chart.
  EXPECT_FLOAT_EQ(zmin, 0.0f);
  EXPECT_FLOAT_EQ(zmax, 36.0f);
  EXPECT_FLOAT_EQ(ejeMin, 0.0f);
  EXPECT_FLOAT_EQ(ejeMax, 36.0f);
  ASSERT_EQ(levels.size(), 13u);  // one level every 3 units
  EXPECT_NEAR(levels[1] - levels[0], 3.0, 1e-4);
  EXPECT_EQ(title, QStringLiteral("Zinc"));

  // ANIM00 ... ANIM02.BMP: equal 24-bit frames, each its own picture.
  QSet<QByteArray> distintos;
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
    distintos.insert(QByteArray(reinterpret_cast<const char*>(dib.PointerToBits()), dib.SizeImage()));
    if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
      QImage(f).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") +
                     QStringLiteral("/docs/screenshots/anim_frame_%1.png").arg(k, 2, 10, QLatin1Char('0')));
  }
  EXPECT_EQ(distintos.size(), 3);

  const auto r = test_data::LeeAVI(video);
  EXPECT_EQ(r.flujos, 1);
  EXPECT_EQ(r.tasa, 2u);
  EXPECT_EQ(r.fotogramas, 3);
  EXPECT_EQ(r.clave, 3);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(abiertos_, QStringList{video});

  // The chart window is gone; the status counted the frames and came back.
  EXPECT_EQ(GraficoAbierto(), nullptr);
  EXPECT_TRUE(estados_.contains(QStringLiteral("Generando imagen 2 de 3"))) << estados_.join('|').toStdString();
  EXPECT_TRUE(estados_.contains(QStringLiteral("Generando imagen 3 de 3")));
  EXPECT_EQ(principal_->TextoEstado(), QStringLiteral("Preparado"));
}

// The look the user gives the chart during the wait holds for every frame,
// not only the first: the later loads must not bring the chart back.
TEST_F(MakeAnimationTest, LookChosenDuringTheWaitHoldsForEveryFrame) {
  const QStringList surfaces = TresSuperficies();
  auto serie = [&](const QString& vista) {
    float zmin = 0.0f, zmax = 37.0f;
    ModalScript guion;
    guion.Esperar([&] {
           for (QMdiSubWindow* s : principal_->AreaMDI()->subWindowList())
             if (auto* w = qobject_cast<frmChart3D*>(s->widget()); w && !vista.isEmpty())
               w->BarraGraf3D_ButtonClick(vista);
         })
        .Archivo(QString());
    MakeAnimation(principal_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
    EXPECT_TRUE(guion.Completo());
    QStringList fotos;
    for (int k = 0; k < 3; ++k) fotos << QDir(dir_.path()).filePath(QStringLiteral("look%1_%2.png").arg(vista).arg(k));
    for (int k = 0; k < 3; ++k) QImage(FrameName(dir_.path(), k)).save(fotos[k]);
    return fotos;
  };
  const QStringList normal = serie(QString());
  const QStringList plano = serie(QStringLiteral("vista3"));  // contours only, seen from above
  for (int k = 0; k < 3; ++k) EXPECT_NE(QImage(normal[k]), QImage(plano[k])) << "frame " << k;
  if (!qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS"))
    QImage(plano[2]).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/anim_frame_plano_02.png");
}

TEST_F(MakeAnimationTest, FlatSeriesGetsAUsableScale) {
  test_data::EscribeSuperficie(Ruta("plana.sup"), 6, 5, [](int, int) { return 4.0; });
  float zmin = 4.0f, zmax = 4.0f;
  ModalScript guion;
  guion.Esperar().Archivo(QString());  // no video wanted
  MakeAnimation(principal_.get(), {Ruta("plana.sup")}, {QString()}, zmin, zmax, 1);
  EXPECT_TRUE(guion.Completo());
  EXPECT_FLOAT_EQ(zmin, 3.0f);
  EXPECT_FLOAT_EQ(zmax, 5.0f);
  EXPECT_TRUE(QFile::exists(FrameName(dir_.path(), 0)));
}

TEST_F(MakeAnimationTest, FrameThatCannotBeWrittenStopsTheSeriesAndKeepsTheChart) {
  const QStringList surfaces = TresSuperficies();
  QDir(dir_.path()).mkdir(QStringLiteral("ANIM01.BMP"));  // a folder where the second frame goes
  float zmin = 0.0f, zmax = 37.0f;
  QString text;
  ModalScript guion;
  guion.Esperar().Mensaje(&text);
  MakeAnimation(principal_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(guion.Completo());
  EXPECT_EQ(text, QStringLiteral("Error al crear bitmap"));
  EXPECT_TRUE(QFile::exists(FrameName(dir_.path(), 0)));
  EXPECT_FALSE(QFile::exists(FrameName(dir_.path(), 2)));
  EXPECT_NE(GraficoAbierto(), nullptr);
  EXPECT_TRUE(abiertos_.isEmpty());
}

TEST_F(MakeAnimationTest, MissingSurfaceIsNamedAndNoVideoIsMade) {
  QStringList surfaces = TresSuperficies();
  surfaces[1] = Ruta("falta.sup");
  float zmin = 0.0f, zmax = 37.0f;
  QString text;
  ModalScript guion;
  guion.Esperar().Mensaje(&text);
  MakeAnimation(principal_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(text.contains(QStringLiteral("falta.sup"))) << text.toStdString();
  EXPECT_TRUE(abiertos_.isEmpty());
  EXPECT_EQ(principal_->TextoEstado(), QStringLiteral("Preparado"));
}

TEST_F(MakeAnimationTest, CancellingTheFramesMakesNoVideo) {
  const QStringList surfaces = TresSuperficies();
  float zmin = 0.0f, zmax = 37.0f;
  ModalScript guion;
  guion.Esperar().Dialogo<QProgressDialog>([](QProgressDialog* p) { p->cancel(); });
  MakeAnimation(principal_.get(), surfaces, {"a", "b", "c"}, zmin, zmax, 1);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(guion.Inesperados().isEmpty());
  EXPECT_TRUE(abiertos_.isEmpty());
  EXPECT_FALSE(QFile::exists(FrameName(dir_.path(), 2)));
  EXPECT_EQ(principal_->TextoEstado(), QStringLiteral("Preparado"));
}

// The wait dialog stays above the others, with a title bar, beside the chart
// it is about (not over the chart's toolbar at the screen's corner).
TEST_F(MakeAnimationTest, WaitDialogStandsBesideTheChartWithATitle) {
  QWidget grafico;
  grafico.setGeometry(100, 120, 500, 400);
  grafico.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grafico));
  bool arriba = false, segunda = true, conTitulo = false;
  QRect donde;
  QString caption;
  QTimer::singleShot(100, [&] {
    frmEsperar* e = frmEsperar::Instancia();
    ASSERT_NE(e, nullptr);
    segunda = frmEsperar::Esperar();  // a second animation may not wait too
    arriba = e->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    conTitulo = e->windowFlags().testFlag(Qt::WindowTitleHint) &&
                !e->windowFlags().testFlag(Qt::FramelessWindowHint);
    donde = e->geometry();
    caption = e->windowTitle();
    test_data::Captura(e, QStringLiteral("anim_esperar_dialog.png"));
    e->CoAceptar->click();
  });
  EXPECT_TRUE(frmEsperar::Esperar(principal_.get(), &grafico));
  EXPECT_FALSE(segunda);
  EXPECT_TRUE(arriba);
  EXPECT_TRUE(conTitulo);
  EXPECT_EQ(caption, QStringLiteral("Esperando para generar el vídeo"));
  const QRect chart(grafico.mapToGlobal(QPoint(0, 0)), grafico.size());
  EXPECT_FALSE(donde.intersects(chart)) << donde.x() << "," << donde.y();
  EXPECT_GE(donde.left(), chart.right());
  EXPECT_EQ(frmEsperar::Instancia(), nullptr);
}

// Placement rule: right of the chart when it fits, else left, else over the
// chart's lower right corner; always inside the screen.
TEST(WaitDialogPlacementTest, RightElseLeftElseLowerCornerInsideTheScreen) {
  const QRect pantalla(0, 0, 1280, 1024);
  const QSize caja(300, 100);
  EXPECT_EQ(frmEsperar::PosicionJunto(QRect(100, 50, 500, 400), caja, pantalla), QPoint(607, 50));
  EXPECT_EQ(frmEsperar::PosicionJunto(QRect(700, 50, 500, 400), caja, pantalla), QPoint(392, 50));
  const QPoint p = frmEsperar::PosicionJunto(QRect(0, 0, 1280, 1000), caja, pantalla);
  EXPECT_EQ(p, QPoint(979, 899));
  EXPECT_TRUE(pantalla.contains(QRect(p, caja)));
}

// "&Generar animación" > "&Datos": 21 surfaces, the typed range, ten levels.
TEST_F(MakeAnimationTest, DataAnimationBuildsVideoAviFromTwentyOneFrames) {
  for (int k = 1; k <= 21; ++k)
    test_data::EscribeSuperficie(Ruta(QStringLiteral("ANIM%1.SUP").arg(k, 2, 10, QLatin1Char('0'))), 6, 5,
                              [k](int i, int j) { return 0.5 * k + 0.2 * i * j; });
  QFile viejo(Ruta("video.avi"));
  ASSERT_TRUE(viejo.open(QIODevice::WriteOnly));
  viejo.write("old video");
  viejo.close();

  std::vector<double> levels;
  auto responde = [](const char* value) {
    return [value](QInputDialog* d) {
      d->setTextValue(QString::fromLatin1(value));
      d->accept();
    };
  };
  QString pregunta1, pregunta2;
  ModalScript guion;
  guion.Dialogo<QInputDialog>([&](QInputDialog* d) {
         pregunta1 = d->labelText();
         responde("0")(d);
       })
      .Dialogo<QInputDialog>([&](QInputDialog* d) {
        pregunta2 = d->labelText();
        responde("11")(d);
      })
      .Esperar([&] {
        if (Chart3D* g = GraficoAbierto()) levels = g->ContourLevels();
      });
  GenerarAnimacionDatos(*principal_);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(guion.Inesperados().isEmpty()) << guion.Inesperados().join('|').toStdString();
  EXPECT_EQ(pregunta1, QStringLiteral("Introduce el valor mínimo"));
  EXPECT_EQ(pregunta2, QStringLiteral("Introduce el valor máximo"));
  ASSERT_EQ(levels.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_NEAR(levels[i], i + 1.0, 1e-5);
  for (int k = 1; k <= 21; ++k)
    EXPECT_TRUE(QFile::exists(Ruta(QStringLiteral("ANIM%1.BMP").arg(k, 2, 10, QLatin1Char('0')))));
  const auto r = test_data::LeeAVI(Ruta("video.avi"));
  EXPECT_TRUE(r.valido);
  EXPECT_EQ(r.fotogramas, 21);
  EXPECT_EQ(r.clave, 21);
  EXPECT_EQ(abiertos_, QStringList{Ruta("video.avi")});
  EXPECT_TRUE(estados_.contains(QStringLiteral("Generando imagen 21 de 21")));
}

// Text typed as a value is refused naming the value and asked again; then a
// maximum not above the minimum is refused.
TEST_F(MakeAnimationTest, DataAnimationRefusesTextAndAnEmptyRange) {
  QString noNumero, text;
  ModalScript guion;
  guion.Dialogo<QInputDialog>([](QInputDialog* d) {
         d->setTextValue(QStringLiteral("5"));
         d->accept();
       })
      .Dialogo<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("abc"));
        d->accept();
      })
      .Mensaje(&noNumero)
      .Dialogo<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("3"));
        d->accept();
      })
      .Mensaje(&text);
  GenerarAnimacionDatos(*principal_);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(noNumero.contains(QStringLiteral("\"abc\"")) && noNumero.contains(QStringLiteral("valor máximo")))
      << noNumero.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("mayor que el mínimo"))) << text.toStdString();
  EXPECT_EQ(GraficoAbierto(), nullptr);
}

TEST_F(MakeAnimationTest, DataAnimationNamesTheFirstMissingSurface) {
  test_data::EscribeSuperficie(Ruta("ANIM01.SUP"), 6, 5, [](int i, int) { return i; });
  QString text;
  ModalScript guion;
  guion.Dialogo<QInputDialog>([](QInputDialog* d) {
         d->setTextValue(QStringLiteral("0"));
         d->accept();
       })
      .Dialogo<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("10"));
        d->accept();
      })
      .Mensaje(&text);
  GenerarAnimacionDatos(*principal_);
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(text.contains(QStringLiteral("ANIM02.SUP"))) << text.toStdString();
}

}  // namespace

// The main window of these tests reads its placement from a settings store of
// their own, never the user's.
int main(int argc, char** argv) { return test_data::EjecutaPruebas(argc, argv, {.ajustesPropios = true}); }
