// The video-assembly dialog driven through its real widgets, with every file
// dialog, compressor dialog and message box answered, and the player
// replaced by a recorder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "test_data.h"
#include "gui/anim/frmAnimBMP.h"
#include "gui/anim/frmCompresion.h"
#include "core/z_limits.h"
#include "gui_test_support.h"
#include "modal_script.h"
#include "platform/chart3d.h"
#include "platform/video/player.h"
#include "animation_test.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

class FrmAnimBMPTest : public AnimationTest {
protected:
  QStringList ThreeFrames() {
    QStringList f;
    for (int i = 0; i < 3; ++i) {
      f << Path(QStringLiteral("f%1.bmp").arg(i));
      test_data::WriteBmp(f.last(), 320, 240, 24, static_cast<std::uint8_t>(60 * i + 20));
    }
    return f;
  }
};

TEST_F(FrmAnimBMPTest, StartsInBitmapModeWithItsCaptions) {
  frmAnimBMP dlg;
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Generar AVI de ficheros BMP"));
  EXPECT_EQ(dlg.cmdFileOpen->text(), QStringLiteral("Añadir BMP..."));
  EXPECT_EQ(dlg.txtFPS->text(), QStringLiteral("1"));
  EXPECT_FALSE(dlg.cmdWriteAVI->isEnabled());
  EXPECT_FALSE(dlg.cmdClearList->isEnabled());
  EXPECT_FALSE(dlg.SurfaceMode());
  dlg.PreparaSUP();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Generar AVI de ficheros SUP"));
  EXPECT_EQ(dlg.cmdFileOpen->text(), QStringLiteral("Añadir SUP..."));
  EXPECT_TRUE(dlg.SurfaceMode());
  EXPECT_TRUE(dlg.imgPreview->isHidden());
}

TEST_F(FrmAnimBMPTest, BitmapOfAnotherFormatIsRefusedAndTheListKept) {
  const auto f = ThreeFrames();
  test_data::WriteBmp(Path("pal.bmp"), 320, 240, 8, 7);
  test_data::WriteBmp(Path("small.bmp"), 160, 120, 24, 7);
  frmAnimBMP dlg;
  dlg.show();
  QString first, secondOne;
  ModalScript script;
  script.Message(&first).Message(&secondOne);
  dlg.AddFiles({f[0], Path("pal.bmp"), f[1], Path("small.bmp")});
  EXPECT_TRUE(script.Complete());
  // In Spanish, naming the file, the first one and what differs.
  EXPECT_TRUE(first.contains("pal.bmp") && first.contains("f0.bmp")) << first.toStdString();
  EXPECT_TRUE(first.contains("tiene 8 bits de color y no 24")) << first.toStdString();
  EXPECT_FALSE(first.contains("píxeles")) << first.toStdString();  // the size is the same
  EXPECT_TRUE(secondOne.contains("small.bmp")) << secondOne.toStdString();
  EXPECT_TRUE(secondOne.contains("mide 160 x 120 píxeles y no 320 x 240")) << secondOne.toStdString();
  EXPECT_FALSE(secondOne.contains("bits de color")) << secondOne.toStdString();
  EXPECT_EQ(dlg.Archivos(), (QStringList{f[0], f[1]}));
  EXPECT_TRUE(dlg.cmdWriteAVI->isEnabled());
  EXPECT_TRUE(dlg.cmdClearList->isEnabled());
  EXPECT_FALSE(dlg.imgPreview->pixmap().isNull());
  test_data::Capture(&dlg, QStringLiteral("anim_bmp_dialog.png"));
}

TEST_F(FrmAnimBMPTest, UnreadableFileIsSkippedAfterTheBitmapMessage) {
  QFile garbage(Path("junk.bmp"));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write("PK not a bitmap at all");
  garbage.close();
  frmAnimBMP dlg;
  QString text;
  ModalScript script;
  script.Message(&text);
  dlg.AddFiles({Path("junk.bmp")});
  EXPECT_EQ(text, QStringLiteral("File is not a supported bitmap format:\n") + Path("junk.bmp"));
  EXPECT_EQ(dlg.lstDIBList->count(), 0);
  EXPECT_FALSE(dlg.cmdWriteAVI->isEnabled());
}

TEST_F(FrmAnimBMPTest, FilesComeFromTheOpenDialog) {
  const auto f = ThreeFrames();
  frmAnimBMP dlg;
  dlg.show();
  QString title;
  ModalScript script;
  script.FileName(f[2], &title);
  dlg.cmdFileOpen->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  EXPECT_EQ(title, QStringLiteral("Seleccionar fichero BMP"));
  EXPECT_EQ(dlg.Archivos(), QStringList{f[2]});
}

TEST_F(FrmAnimBMPTest, SurfacesWidenOneRunningZRange) {
  test_data::WriteSurface(Path("a.sup"), 6, 5, [](int i, int j) { return (i + j) * 5.0 / 9.0; });  // 0 ... 5
  test_data::WriteSurface(Path("b.sup"), 6, 5, [](int i, int j) { return 3.0 + (i + j) * 6.0 / 9.0; });  // 3 ... 9
  frmAnimBMP dlg;
  dlg.PreparaSUP();
  dlg.show();
  dlg.AddFiles({Path("a.sup"), Path("b.sup")});
  EXPECT_FLOAT_EQ(dlg.ZMinimo(), 0.0f);
  EXPECT_FLOAT_EQ(dlg.ZMaximo(), 9.0f);
  EXPECT_FALSE(dlg.grafico->isHidden());
  EXPECT_FLOAT_EQ(dlg.grafico->ZAxisMin(), 0.0f);
  EXPECT_FLOAT_EQ(dlg.grafico->ZAxisMax(), 9.0f);

  // Selecting the first again keeps the common range, without widening it.
  dlg.lstDIBList->setCurrentRow(0);
  EXPECT_FLOAT_EQ(dlg.grafico->ZAxisMax(), 9.0f);
  dlg.move(0, 0);
  QTest::qWait(400);
  test_data::ScreenCapture(dlg.frameGeometry(), QStringLiteral("anim_sup_dialog.png"));

  dlg.cmdClearList->click();
  EXPECT_EQ(dlg.lstDIBList->count(), 0);
  EXPECT_FLOAT_EQ(dlg.ZMinimo(), 3e38f);
  EXPECT_FLOAT_EQ(dlg.ZMaximo(), -3e38f);
  EXPECT_TRUE(dlg.grafico->isHidden());
  EXPECT_FALSE(dlg.cmdWriteAVI->isEnabled());
  EXPECT_FALSE(dlg.cmdClearList->isEnabled());
}

TEST_F(FrmAnimBMPTest, SurfaceModeRendersTheListWithItsCommonRange) {
  test_data::WriteSurface(Path("a.sup"), 6, 5, [](int i, int j) { return (i + j) * 5.0 / 9.0; });  // 0 ... 5
  test_data::WriteSurface(Path("b.sup"), 6, 5, [](int i, int j) { return 3.0 + (i + j) * 6.0 / 9.0; });  // 3 ... 9
  frmAnimBMP dlg;
  dlg.PreparaSUP();
  dlg.show();
  dlg.AddFiles({Path("a.sup"), Path("b.sup")});
  float axisMin = -1, axisMax = -1;
  QString title = QStringLiteral("sin mirar");
  const QString video = Path("sup.avi");
  ModalScript script;
  script.WaitFor([&] {
         for (QWidget* w : QApplication::topLevelWidgets())
           if (auto* g = w->findChild<Chart3D*>(); g && g != dlg.grafico && w->isVisible()) {
             axisMin = g->ZAxisMin();
             axisMax = g->ZAxisMax();
             title = g->TitleText();
           }
       })
      .FileName(video)
      .Compressor("rawvideo");
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  const ZLimits common = RoundedZLimits(0.0f, 9.0f);
  EXPECT_FLOAT_EQ(axisMin, common.zmin);
  EXPECT_FLOAT_EQ(axisMax, common.zmax);
  EXPECT_EQ(title, QString());  // the engine's surface files carry no title
  EXPECT_EQ(test_data::ReadAvi(video).frames, 2);
  EXPECT_EQ(open_, QStringList{video});
  EXPECT_TRUE(dlg.isVisible());
}

TEST_F(FrmAnimBMPTest, MissingSurfaceIsNamedAndSkipped) {
  frmAnimBMP dlg;
  dlg.PreparaSUP();
  QString text;
  ModalScript script;
  script.Message(&text);
  dlg.AddFiles({Path("none.sup")});
  EXPECT_TRUE(text.contains(QStringLiteral("none.sup"))) << text.toStdString();
  EXPECT_EQ(dlg.lstDIBList->count(), 0);
}

TEST_F(FrmAnimBMPTest, ThreeFramesBecomeAVideoAtTheLimitedRate) {
  const auto f = ThreeFrames();
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(f);
  dlg.txtFPS->setText(QStringLiteral("45"));
  QString title;
  const QString video = Path("salida.avi");
  ModalScript script;
  script.FileName(video, &title).Compressor("rawvideo");
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  EXPECT_EQ(title, QStringLiteral("Seleccionar fichero para guardar AVI..."));
  EXPECT_TRUE(dlg.isVisible());  // shown again after the video
  ASSERT_EQ(open_, QStringList{video});

  const auto r = test_data::ReadAvi(video);
  ASSERT_TRUE(r.valid);
  EXPECT_EQ(r.streams, 1);
  EXPECT_EQ(r.escala, 1u);
  EXPECT_EQ(r.rate, 30u);  // 45 brought to the upper bound
  EXPECT_EQ(r.buffer, 320u * 240u * 3u);
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.height, 240);
  EXPECT_EQ(r.longitud, 3u);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.key, 3);
}

// An empty rate is refused naming the box, before any file is asked for.
TEST_F(FrmAnimBMPTest, EmptyRateIsRefusedThenOneFramePerSecondWithACompressor) {
  const auto f = ThreeFrames();
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(f);
  dlg.txtFPS->clear();
  QString text;
  {
    ModalScript rejection;
    rejection.Message(&text);
    dlg.cmdWriteAVI->click();
    EXPECT_TRUE(rejection.Complete());
  }
  EXPECT_TRUE(text.contains(QStringLiteral("Frames/seg."))) << text.toStdString();
  EXPECT_TRUE(dlg.isVisible());
  dlg.txtFPS->setText(QStringLiteral("1"));
  const QString video = Path("mjpeg.avi");
  ModalScript script;
  script.FileName(video).Compressor("mjpeg");
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  const auto r = test_data::ReadAvi(video);
  EXPECT_EQ(r.rate, 1u);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.key, 3);
  EXPECT_EQ(open_.size(), 1);
}

TEST_F(FrmAnimBMPTest, CancellingTheSaveDialogIsQuiet) {
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(ThreeFrames());
  ModalScript script;
  script.FileName(QString());
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty());
  EXPECT_TRUE(open_.isEmpty());
  EXPECT_TRUE(QDir(dir_.path()).entryList({QStringLiteral("*.avi")}).isEmpty());
}

TEST_F(FrmAnimBMPTest, CancellingTheCompressorLeavesNoFileAndNoPlayer) {
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(ThreeFrames());
  const QString video = Path("nada.avi");
  ModalScript script;
  script.FileName(video).Compressor("");
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty());
  EXPECT_TRUE(open_.isEmpty());
  EXPECT_FALSE(QFile::exists(video));
}

TEST_F(FrmAnimBMPTest, FirstBitmapGoneGivesItsMessage) {
  const auto f = ThreeFrames();
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(f);
  QFile::remove(f[0]);
  QString delBitmap, ofWriter;
  ModalScript script;
  script.FileName(Path("x.avi")).Message(&delBitmap).Message(&ofWriter);
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_EQ(delBitmap, QStringLiteral("File does not exist:\n") + f[0]);
  EXPECT_EQ(ofWriter, QStringLiteral("No se pudo cargar primer bitmap!"));
  EXPECT_TRUE(open_.isEmpty());
}

TEST_F(FrmAnimBMPTest, LaterFrameGoneRepeatsThePreviousPicture) {
  const auto f = ThreeFrames();
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(f);
  QFile::remove(f[1]);
  const QString video = Path("hueco.avi");
  QString text;
  ModalScript script;
  script.FileName(video).Compressor("rawvideo").Message(&text);
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_EQ(text, QStringLiteral("File does not exist:\n") + f[1]);
  EXPECT_EQ(test_data::ReadAvi(video).frames, 3);
  EXPECT_EQ(open_, QStringList{video});
}

TEST_F(FrmAnimBMPTest, PlayerThatCannotStartIsReported) {
  playerAnswers_ = false;
  frmAnimBMP dlg;
  dlg.show();
  dlg.AddFiles(ThreeFrames());
  QString text;
  ModalScript script;
  script.FileName(Path("v.avi")).Compressor("rawvideo").Message(&text);
  dlg.cmdWriteAVI->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_EQ(text, QStringLiteral("El proceso requerido falló"));
}

TEST_F(FrmAnimBMPTest, CompressorDialogOffersTheEncoders) {
  frmCompresion dlg(nullptr);
  ASSERT_GE(dlg.ComboCompresor->count(), 4);
  EXPECT_EQ(dlg.ComboCompresor->itemText(0), QStringLiteral("Fotogramas completos (sin compresión)"));
  EXPECT_FALSE(dlg.TxtCalidad->isEnabled());  // nothing to tune without compression
  CompressorChoice e;
  e.encoder = "mjpeg";
  e.quality = 40;
  dlg.Select(e);
  EXPECT_TRUE(dlg.TxtCalidad->isEnabled());
  EXPECT_EQ(dlg.Choice().encoder, "mjpeg");
  EXPECT_EQ(dlg.Choice().quality, 40);
  dlg.show();
  QTest::qWait(50);
  test_data::Capture(&dlg, QStringLiteral("anim_compresor_dialog.png"));
}

}  // namespace

int main(int argc, char** argv) { return test_data::RunTests(argc, argv); }
