// "Animar superficies Kriging 2D" driven through its real widgets: the lists
// and their shared button place, validity, the options, and whole series of
// runs of the real engine on the bundled example (on a small grid).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "core/spatial_data.h"
#include "test_data.h"
#include "gui/anim/animation_commands.h"
#include "gui/anim/frmAnimBMP.h"
#include "gui/anim/frmAnimK2D.h"
#include "core/z_limits.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmOpKriging.h"
#include "modal_script.h"
#include "platform/chart3d.h"
#include "platform/video/player.h"
#include "animation_test.h"

using namespace sorvan::core;
using namespace sorvan::platform;
using namespace sorvan::gui;

namespace {

class FrmAnimK2DTest : public MainWindowTestBase {
protected:
  sorvan::core::KrigingSession& OwnSession() { return mainWindow_->OwnSession(); }
  void LoadData(const QString& path) {
    const sorvan::core::Result r = sorvan::core::ReadData(path.toStdString(), OwnSession().data);
    ASSERT_TRUE(r.ok) << r.message;
    OwnSession().dataFile = path.toStdString();
    // The runs' results (and the series) in the test's folder.
    OwnSession().chosenFolder = QFile::encodeName(dir_.path()).toStdString();
    OwnSession().chosenFolderFor = OwnSession().dataFile;
  }
  void LoadMeuse() { LoadData(qEnvironmentVariable("SORVAN_SOURCE_DIR") + QStringLiteral("/examples/meuse.dae")); }

  static void ChooseIn(QComboBox* combo, const QString& nombre) {
    for (int i = 0; i < combo->count(); ++i)
      if (combo->itemText(i).trimmed() == nombre) combo->setCurrentIndex(i);
  }
  static void SelectItem(QListWidget* list, const QStringList& names) {
    list->clearSelection();
    for (const QString& n : names)
      for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().trimmed() == n) list->item(i)->setSelected(true);
  }
  static QStringList TextSource(QListWidget* list) {
    QStringList t;
    for (int i = 0; i < list->count(); ++i) t << list->item(i)->text().trimmed();
    return t;
  }
  // Coordinates x and y, and `variables` added to the series in this order.
  static void Prepare(frmAnimK2D& dlg, const QStringList& variables) {
    ChooseIn(dlg.ComboX, QStringLiteral("x"));
    ChooseIn(dlg.ComboY, QStringLiteral("y"));
    for (const QString& v : variables) {
      SelectItem(dlg.ListaZ, {v});
      dlg.CoAñadir->click();
    }
  }
  // "Options" answered with a small grid fitted to the data.
  static void SmallGridOptions(frmAnimK2D& dlg, int nodes) {
    ModalScript script;
    script.Dialog<frmOpKriging>([nodes](frmOpKriging* o) {
      o->TxtNRx->setText(QString::number(nodes));
      o->TxtNRy->setText(QString::number(nodes));
      o->CoAutoRej->click();
      o->CoAceptar->click();
    });
    dlg.CoOpciones->click();
    EXPECT_TRUE(script.Complete());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  }
  // The range line of a surface file written by the engine.
  static std::pair<float, float> Rango(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {NAN, NAN};
    const QStringList fields = QString::fromLatin1(f.readLine()).mid(1).split(' ', Qt::SkipEmptyParts);
    return {fields.value(0).toFloat(), fields.value(1).toFloat()};
  }
};

TEST_F(FrmAnimK2DTest, LoadFillsTheListsWithEveryVariable) {
  LoadMeuse();
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Animar superficies Kriging 2D"));
  ASSERT_EQ(dlg.ListaZ->count(), 8);
  EXPECT_EQ(dlg.ListaZ->item(2)->text(), QStringLiteral("zinc    "));  // the 8-character stored form
  EXPECT_EQ(dlg.ListaZ->item(2)->data(Qt::UserRole).toInt(), 3);
  EXPECT_EQ(dlg.ListaSup->count(), 0);
  EXPECT_EQ(dlg.ComboX->count(), 8);
  EXPECT_EQ(dlg.ComboX->currentIndex(), -1);  // no coordinate preselected
  EXPECT_EQ(dlg.ComboY->currentIndex(), -1);
  ASSERT_EQ(dlg.ComboE->count(), 9);
  EXPECT_EQ(dlg.ComboE->itemText(8), QStringLiteral(" "));
  EXPECT_EQ(dlg.ComboE->itemData(8).toInt(), 0);
  EXPECT_EQ(dlg.ComboE->currentIndex(), 0);
  EXPECT_EQ(dlg.txtFPS->text(), QStringLiteral("1"));
  dlg.show();
  QTest::qWait(50);
  Prepare(dlg, {QStringLiteral("zinc"), QStringLiteral("copper"), QStringLiteral("lead")});
  test_data::Capture(&dlg, QStringLiteral("anim_k2d_dialog.png"));
}

TEST_F(FrmAnimK2DTest, AddAndRemoveShareOnePlaceAndFollowTheSelection) {
  LoadMeuse();
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  dlg.ListaZ->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.CoAñadir->isVisible());
  EXPECT_FALSE(dlg.CoEliminar->isVisible());
  const QRect lugar = dlg.CoAñadir->geometry();
  EXPECT_FALSE(dlg.CoAñadir->isEnabled());

  SelectItem(dlg.ListaZ, {QStringLiteral("lead"), QStringLiteral("zinc")});
  EXPECT_TRUE(dlg.CoAñadir->isEnabled());
  dlg.CoAñadir->click();
  // Taken from the top of the list, so zinc comes before lead.
  EXPECT_EQ(TextSource(dlg.ListaSup), (QStringList{"zinc", "lead"}));
  EXPECT_EQ(dlg.ListaZ->count(), 6);
  EXPECT_FALSE(dlg.CoAñadir->isEnabled());
  EXPECT_EQ(dlg.ListaSup->item(1)->data(Qt::UserRole).toInt(), 7);

  dlg.ListaSup->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.CoEliminar->isVisible());
  EXPECT_FALSE(dlg.CoAñadir->isVisible());
  EXPECT_EQ(dlg.CoEliminar->geometry().center(), lugar.center());  // the same place
  SelectItem(dlg.ListaSup, {QStringLiteral("zinc")});
  EXPECT_TRUE(dlg.CoEliminar->isEnabled());
  dlg.CoEliminar->click();
  EXPECT_EQ(TextSource(dlg.ListaSup), QStringList{"lead"});
  EXPECT_EQ(TextSource(dlg.ListaZ).last(), QStringLiteral("zinc"));
  EXPECT_FALSE(dlg.CoEliminar->isEnabled());
}

TEST_F(FrmAnimK2DTest, MissingChoicesAreRefusedAndTouchNoFile) {
  LoadMeuse();
  QFile old(Path("ANIM00.SUP"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.close();
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  ChooseIn(dlg.ComboX, QStringLiteral("x"));
  ChooseIn(dlg.ComboY, QStringLiteral("y"));  // but no variable in the series
  QString text1, text2;
  ModalScript script;
  script.Message(&text1).Message(&text2);
  dlg.CoAceptar->click();
  dlg.CoOpciones->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_EQ(text1, QStringLiteral("No se han seleccionado todas las variables necesarias"));
  EXPECT_EQ(text2, text1);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(QFile::exists(Path("ANIM00.SUP")));
}

TEST_F(FrmAnimK2DTest, OptionsDropAnEarlierProfile) {
  LoadMeuse();
  OwnSession().options.profile.npts = 3;  // left by an earlier single run
  OwnSession().options.profile.x = {1, 2, 3};
  OwnSession().options.profile.y = {1, 2, 1};
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  Prepare(dlg, {QStringLiteral("zinc")});
  ChooseIn(dlg.ComboE, QStringLiteral("lead"));
  bool profileInDialog = true;
  ModalScript script;
  script.Dialog<frmOpKriging>([&](frmOpKriging* o) {
    profileInDialog = OwnSession().options.profile.attached();
    o->CoCancelar->click();
  });
  dlg.CoOpciones->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_FALSE(profileInDialog);
  EXPECT_TRUE(dlg.ChosenOptions());
  EXPECT_EQ(OwnSession().colX, 1);
  EXPECT_EQ(OwnSession().colY, 2);
  EXPECT_EQ(OwnSession().colLabel, 7);
}

// The whole series on the bundled example: three runs, ANIM00 ... ANIM02.SUP
// in the order of the list, one Z scale, the frames gone afterwards, a video.
TEST_F(FrmAnimK2DTest, ThreeVariablesOfMeuseMakeASeriesAndAVideo) {
  LoadMeuse();
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  Prepare(dlg, {QStringLiteral("copper"), QStringLiteral("zinc"), QStringLiteral("lead")});
  SmallGridOptions(dlg, 12);
  EXPECT_EQ(OwnSession().options.NRx, 12);
  dlg.txtFPS->setText(QStringLiteral("2.5"));  // 2, ties to even

  float axisMin = 0, axisMax = 0;
  QStringList framesDone;
  const QString video = Path("meuse.avi");
  ModalScript script;
  script.WaitFor([&] {
         const auto subs = mainWindow_->AreaMDI()->subWindowList();
         for (QMdiSubWindow* s : subs)
           if (auto* g = s->findChild<Chart3D*>()) axisMin = g->ZAxisMin(), axisMax = g->ZAxisMax();
         QTest::qWait(300);
         test_data::ScreenCapture(QRect(0, 0, 1100, 820), QStringLiteral("anim_k2d_esperar.png"));
       })
      .FileName(video, nullptr,
               [&] {
                 // The frames exist while the video is being asked for.
                 framesDone = QDir(dir_.path()).entryList({QStringLiteral("ANIM*.BMP")});
                 if (qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS")) return;
                 for (const QString& f : framesDone)
                   QImage(Path(f)).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/anim_meuse_" +
                                        QFileInfo(f).baseName().toLower() + ".png");
               })
      .Compressor("rawvideo");
  dlg.CoAceptar->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  EXPECT_FALSE(dlg.isVisible());  // hidden, still loaded
  EXPECT_EQ(framesDone, (QStringList{"ANIM00.BMP", "ANIM01.BMP", "ANIM02.BMP"}));

  // One surface file per variable, in the order of the list.
  const QStringList expectedCount{Path("ANIM00.SUP"), Path("ANIM01.SUP"), Path("ANIM02.SUP")};
  EXPECT_EQ(dlg.SeriesFiles(), expectedCount);
  EXPECT_EQ(dlg.SeriesTitles(), (QStringList{"copper  ", "zinc    ", "lead    "}));
  float lo = 3e38f, hi = -3e38f;
  for (const QString& f : expectedCount) {
    ASSERT_TRUE(QFile::exists(f)) << f.toStdString();
    const auto [a, b] = Rango(f);
    lo = std::min(lo, a);
    hi = std::max(hi, b);
  }
  // Zinc reaches far beyond copper: its surface is the one with the top range.
  EXPECT_GT(Rango(expectedCount[1]).second, 5 * Rango(expectedCount[0]).second);
  EXPECT_FALSE(QFile::exists(Path("SKUPRE.SUP")));

  // One Z scale for all frames: the rounded limits of the union of the ranges.
  const ZLimits common = RoundedZLimits(lo, hi);
  EXPECT_NEAR(axisMin, common.zmin, 1e-3);
  EXPECT_NEAR(axisMax, common.zmax, 1e-3);

  EXPECT_TRUE(QDir(dir_.path()).entryList({QStringLiteral("ANIM*.BMP")}).isEmpty());
  const auto r = test_data::ReadAvi(video);
  EXPECT_EQ(r.streams, 1);
  EXPECT_EQ(r.rate, 2u);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.key, 3);
  EXPECT_EQ(open_, QStringList{video});

  for (int i = 1; i <= 3; ++i)
    EXPECT_TRUE(states_.contains(QStringLiteral("Generando superficies kriging (%1 de 3)...").arg(i)))
        << states_.join('|').toStdString();
  EXPECT_EQ(mainWindow_->StatusText(), QStringLiteral("Preparado"));
}

TEST_F(FrmAnimK2DTest, DefaultsMessageComesOnceAndTheOldSeriesIsReplaced) {
  LoadMeuse();
  for (const char* old : {"ANIM00.SUP", "ANIM07.SUP", "anim03.sup"}) {
    QFile f(Path(old));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  Prepare(dlg, {QStringLiteral("logzinc")});
  QString warning;
  QString noticeTitle;
  ModalScript script;
  script.Dialog<QMessageBox>([&](QMessageBox* m) {
         warning = m->text();
         noticeTitle = m->windowTitle();
         m->button(QMessageBox::Ok)->click();
       })
      .WaitFor()
      .FileName(QString());  // no video this time
  dlg.CoAceptar->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(warning.startsWith(QStringLiteral("Atención se toman los valores iniciales por defecto")));
  EXPECT_EQ(noticeTitle, QStringLiteral("Sorvan: Kriging 2D"));
  EXPECT_EQ(OwnSession().options.NRx, 50);
  EXPECT_TRUE(QFile::exists(Path("ANIM00.SUP")));
  EXPECT_FALSE(QFile::exists(Path("ANIM07.SUP")));
  EXPECT_FALSE(QFile::exists(Path("anim03.sup")));
  EXPECT_TRUE(open_.isEmpty());

  // The same dialog again: no second message.
  dlg.show();
  ModalScript other;
  other.WaitFor().FileName(QString());
  dlg.CoAceptar->click();
  EXPECT_TRUE(other.Complete());
  EXPECT_TRUE(other.Unexpected().isEmpty()) << other.Unexpected().join('|').toStdString();
}

// A run that leaves no prediction surface used to stop the renaming; the
// variable is now named, left out, and the series goes on.
TEST_F(FrmAnimK2DTest, VariableWhoseRunFailsIsSkippedWithItsName) {
  // A constant variable makes the kriging system singular: that run fails.
  QFile dae(Path("cte.dae"));
  ASSERT_TRUE(dae.open(QIODevice::WriteOnly | QIODevice::Text));
  dae.write("\"prueba\"\n5,30\n\"x\",\"\",0\n\"y\",\"\",0\n\"zinc\",\"\",0\n\"cte\",\"\",0\n\"lead\",\"\",0\n");
  for (int i = 0; i < 30; ++i)
    dae.write(QStringLiteral("%1,%2,%3,5,%4\n")
                  .arg(100 + (i * 37) % 97)
                  .arg(200 + (i * 53) % 89)
                  .arg(300 + (i * 29) % 71)
                  .arg(50 + (i * 13) % 23)
                  .toLatin1());
  dae.close();
  LoadData(Path("cte.dae"));
  frmAnimK2D dlg(OwnSession(), mainWindow_.get());
  dlg.show();
  Prepare(dlg, {QStringLiteral("zinc"), QStringLiteral("cte"), QStringLiteral("lead")});
  SmallGridOptions(dlg, 8);

  QString ofEngine, omitted;
  ModalScript script;
  script.Message(&ofEngine).Message(&omitted).WaitFor().FileName(Path("dos.avi")).Compressor("rawvideo");
  dlg.CoAceptar->click();
  EXPECT_TRUE(script.Complete());
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join('|').toStdString();
  EXPECT_TRUE(omitted.contains(QStringLiteral("cte"))) << omitted.toStdString();
  EXPECT_EQ(dlg.SeriesFiles(), (QStringList{Path("ANIM00.SUP"), Path("ANIM01.SUP")}));
  EXPECT_EQ(dlg.SeriesTitles(), (QStringList{"zinc    ", "lead    "}));
  EXPECT_FALSE(QFile::exists(Path("ANIM02.SUP")));
  EXPECT_EQ(test_data::ReadAvi(Path("dos.avi")).frames, 2);
}

// The menu entry points: the dialog is made from the session's data and
// "Cancelar" unloads it.
TEST_F(FrmAnimK2DTest, MenuCommandsOpenAndUnloadTheDialogs) {
  QString withoutData;
  {
    ModalScript script;
    script.Message(&withoutData);
    ShowAnimK2D(*mainWindow_);
    EXPECT_TRUE(script.Complete());
  }
  EXPECT_EQ(withoutData, QStringLiteral("No hay datos espaciales abiertos."));

  LoadMeuse();
  QPointer<frmAnimK2D> seen;
  int variables = 0;
  {
    ModalScript script;
    script.Dialog<frmAnimK2D>([&](frmAnimK2D* d) {
      seen = d;
      variables = d->ListaZ->count();
      d->CoCancelar->click();
    });
    ShowAnimK2D(*mainWindow_);
    EXPECT_TRUE(script.Complete());
  }
  EXPECT_EQ(variables, 8);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(seen.isNull());  // unloaded

  ShowAnimBMP(*mainWindow_, true);
  auto* sup = mainWindow_->findChild<frmAnimBMP*>();
  ASSERT_NE(sup, nullptr);
  EXPECT_TRUE(sup->SurfaceMode());
  EXPECT_EQ(sup->windowModality(), Qt::NonModal);  // the animation's chart stays usable
  QPointer<frmAnimBMP> previous = sup;
  ShowAnimBMP(*mainWindow_, false);
  EXPECT_TRUE(previous.isNull());
  auto* bmp = mainWindow_->findChild<frmAnimBMP*>();
  ASSERT_NE(bmp, nullptr);
  EXPECT_FALSE(bmp->SurfaceMode());
  EXPECT_EQ(bmp->windowModality(), Qt::ApplicationModal);
  QPointer<frmAnimBMP> opened = bmp;
  UnloadAnimationDialogs();
  EXPECT_TRUE(opened.isNull());
}

}  // namespace

// The main window of these tests reads its placement from a settings store of
// their own, never the user's.
int main(int argc, char** argv) { return test_data::RunTests(argc, argv, {.ownSettings = true}); }
