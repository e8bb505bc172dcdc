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
  sorvan::core::KrigingSession& Sesion() { return principal_->Sesion(); }
  void CargaDatos(const QString& path) {
    const sorvan::core::Result r = sorvan::core::ReadData(path.toStdString(), Sesion().data);
    ASSERT_TRUE(r.ok) << r.message;
    Sesion().dataFile = path.toStdString();
    // The runs' results (and the series) in the test's folder.
    Sesion().chosenFolder = QFile::encodeName(dir_.path()).toStdString();
    Sesion().chosenFolderFor = Sesion().dataFile;
  }
  void CargaMeuse() { CargaDatos(qEnvironmentVariable("SORVAN_SOURCE_DIR") + QStringLiteral("/examples/meuse.dae")); }

  static void Elige(QComboBox* combo, const QString& nombre) {
    for (int i = 0; i < combo->count(); ++i)
      if (combo->itemText(i).trimmed() == nombre) combo->setCurrentIndex(i);
  }
  static void Selecciona(QListWidget* lista, const QStringList& names) {
    lista->clearSelection();
    for (const QString& n : names)
      for (int i = 0; i < lista->count(); ++i)
        if (lista->item(i)->text().trimmed() == n) lista->item(i)->setSelected(true);
  }
  static QStringList Textos(QListWidget* lista) {
    QStringList t;
    for (int i = 0; i < lista->count(); ++i) t << lista->item(i)->text().trimmed();
    return t;
  }
  // Coordinates x and y, and `variables` added to the series in this order.
  static void Prepara(frmAnimK2D& dlg, const QStringList& variables) {
    Elige(dlg.ComboX, QStringLiteral("x"));
    Elige(dlg.ComboY, QStringLiteral("y"));
    for (const QString& v : variables) {
      Selecciona(dlg.ListaZ, {v});
      dlg.CoAñadir->click();
    }
  }
  // "Opciones" answered with a small grid fitted to the data.
  static void OpcionesRejillaPequena(frmAnimK2D& dlg, int nodes) {
    ModalScript guion;
    guion.Dialogo<frmOpKriging>([nodes](frmOpKriging* o) {
      o->TxtNRx->setText(QString::number(nodes));
      o->TxtNRy->setText(QString::number(nodes));
      o->CoAutoRej->click();
      o->CoAceptar->click();
    });
    dlg.CoOpciones->click();
    EXPECT_TRUE(guion.Completo());
    EXPECT_TRUE(guion.Inesperados().isEmpty()) << guion.Inesperados().join('|').toStdString();
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
  CargaMeuse();
  frmAnimK2D dlg(Sesion(), principal_.get());
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
  Prepara(dlg, {QStringLiteral("zinc"), QStringLiteral("copper"), QStringLiteral("lead")});
  test_data::Captura(&dlg, QStringLiteral("anim_k2d_dialog.png"));
}

TEST_F(FrmAnimK2DTest, AddAndRemoveShareOnePlaceAndFollowTheSelection) {
  CargaMeuse();
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  dlg.ListaZ->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.CoAñadir->isVisible());
  EXPECT_FALSE(dlg.CoEliminar->isVisible());
  const QRect lugar = dlg.CoAñadir->geometry();
  EXPECT_FALSE(dlg.CoAñadir->isEnabled());

  Selecciona(dlg.ListaZ, {QStringLiteral("lead"), QStringLiteral("zinc")});
  EXPECT_TRUE(dlg.CoAñadir->isEnabled());
  dlg.CoAñadir->click();
  // Taken from the top of the list, so zinc comes before lead.
  EXPECT_EQ(Textos(dlg.ListaSup), (QStringList{"zinc", "lead"}));
  EXPECT_EQ(dlg.ListaZ->count(), 6);
  EXPECT_FALSE(dlg.CoAñadir->isEnabled());
  EXPECT_EQ(dlg.ListaSup->item(1)->data(Qt::UserRole).toInt(), 7);

  dlg.ListaSup->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.CoEliminar->isVisible());
  EXPECT_FALSE(dlg.CoAñadir->isVisible());
  EXPECT_EQ(dlg.CoEliminar->geometry().center(), lugar.center());  // the same place
  Selecciona(dlg.ListaSup, {QStringLiteral("zinc")});
  EXPECT_TRUE(dlg.CoEliminar->isEnabled());
  dlg.CoEliminar->click();
  EXPECT_EQ(Textos(dlg.ListaSup), QStringList{"lead"});
  EXPECT_EQ(Textos(dlg.ListaZ).last(), QStringLiteral("zinc"));
  EXPECT_FALSE(dlg.CoEliminar->isEnabled());
}

TEST_F(FrmAnimK2DTest, MissingChoicesAreRefusedAndTouchNoFile) {
  CargaMeuse();
  QFile viejo(Ruta("ANIM00.SUP"));
  ASSERT_TRUE(viejo.open(QIODevice::WriteOnly));
  viejo.close();
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  Elige(dlg.ComboX, QStringLiteral("x"));
  Elige(dlg.ComboY, QStringLiteral("y"));  // but no variable in the series
  QString texto1, texto2;
  ModalScript guion;
  guion.Mensaje(&texto1).Mensaje(&texto2);
  dlg.CoAceptar->click();
  dlg.CoOpciones->click();
  EXPECT_TRUE(guion.Completo());
  EXPECT_EQ(texto1, QStringLiteral("No se han seleccionado todas las variables necesarias"));
  EXPECT_EQ(texto2, texto1);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(QFile::exists(Ruta("ANIM00.SUP")));
}

TEST_F(FrmAnimK2DTest, OptionsDropAnEarlierProfile) {
  CargaMeuse();
  Sesion().options.profile.npts = 3;  // left by an earlier single run
  Sesion().options.profile.x = {1, 2, 3};
  Sesion().options.profile.y = {1, 2, 1};
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  Prepara(dlg, {QStringLiteral("zinc")});
  Elige(dlg.ComboE, QStringLiteral("lead"));
  bool perfilEnDialogo = true;
  ModalScript guion;
  guion.Dialogo<frmOpKriging>([&](frmOpKriging* o) {
    perfilEnDialogo = Sesion().options.profile.attached();
    o->CoCancelar->click();
  });
  dlg.CoOpciones->click();
  EXPECT_TRUE(guion.Completo());
  EXPECT_FALSE(perfilEnDialogo);
  EXPECT_TRUE(dlg.OpcionesElegidas());
  EXPECT_EQ(Sesion().colX, 1);
  EXPECT_EQ(Sesion().colY, 2);
  EXPECT_EQ(Sesion().colLabel, 7);
}

// The whole series on the bundled example: three runs, ANIM00 ... ANIM02.SUP
// in the order of the list, one Z scale, the frames gone afterwards, a video.
TEST_F(FrmAnimK2DTest, ThreeVariablesOfMeuseMakeASeriesAndAVideo) {
  CargaMeuse();
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  Prepara(dlg, {QStringLiteral("copper"), QStringLiteral("zinc"), QStringLiteral("lead")});
  OpcionesRejillaPequena(dlg, 12);
  EXPECT_EQ(Sesion().options.NRx, 12);
  dlg.txtFPS->setText(QStringLiteral("2.5"));  // 2, ties to even

  float ejeMin = 0, ejeMax = 0;
  QStringList fotogramasHechos;
  const QString video = Ruta("meuse.avi");
  ModalScript guion;
  guion.Esperar([&] {
         const auto subs = principal_->AreaMDI()->subWindowList();
         for (QMdiSubWindow* s : subs)
           if (auto* g = s->findChild<Chart3D*>()) ejeMin = g->ZAxisMin(), ejeMax = g->ZAxisMax();
         QTest::qWait(300);
         test_data::CapturaPantalla(QRect(0, 0, 1100, 820), QStringLiteral("anim_k2d_esperar.png"));
       })
      .Archivo(video, nullptr,
               [&] {
                 // The frames exist while the video is being asked for.
                 fotogramasHechos = QDir(dir_.path()).entryList({QStringLiteral("ANIM*.BMP")});
                 if (qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS")) return;
                 for (const QString& f : fotogramasHechos)
                   QImage(Ruta(f)).save(qEnvironmentVariable("SORVAN_SOURCE_DIR") + "/docs/screenshots/anim_meuse_" +
                                        QFileInfo(f).baseName().toLower() + ".png");
               })
      .Compresor("rawvideo");
  dlg.CoAceptar->click();
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(guion.Inesperados().isEmpty()) << guion.Inesperados().join('|').toStdString();
  EXPECT_FALSE(dlg.isVisible());  // hidden, still loaded
  EXPECT_EQ(fotogramasHechos, (QStringList{"ANIM00.BMP", "ANIM01.BMP", "ANIM02.BMP"}));

  // One surface file per variable, in the order of the list.
  const QStringList esperados{Ruta("ANIM00.SUP"), Ruta("ANIM01.SUP"), Ruta("ANIM02.SUP")};
  EXPECT_EQ(dlg.ArchivosSerie(), esperados);
  EXPECT_EQ(dlg.TitulosSerie(), (QStringList{"copper  ", "zinc    ", "lead    "}));
  float lo = 3e38f, hi = -3e38f;
  for (const QString& f : esperados) {
    ASSERT_TRUE(QFile::exists(f)) << f.toStdString();
    const auto [a, b] = Rango(f);
    lo = std::min(lo, a);
    hi = std::max(hi, b);
  }
  // Zinc reaches far beyond copper: its surface is the one with the top range.
  EXPECT_GT(Rango(esperados[1]).second, 5 * Rango(esperados[0]).second);
  EXPECT_FALSE(QFile::exists(Ruta("SKUPRE.SUP")));

  // One Z scale for all frames: the rounded limits of the union of the ranges.
  const ZLimits comun = RoundedZLimits(lo, hi);
  EXPECT_NEAR(ejeMin, comun.zmin, 1e-3);
  EXPECT_NEAR(ejeMax, comun.zmax, 1e-3);

  EXPECT_TRUE(QDir(dir_.path()).entryList({QStringLiteral("ANIM*.BMP")}).isEmpty());
  const auto r = test_data::LeeAVI(video);
  EXPECT_EQ(r.flujos, 1);
  EXPECT_EQ(r.tasa, 2u);
  EXPECT_EQ(r.fotogramas, 3);
  EXPECT_EQ(r.clave, 3);
  EXPECT_EQ(abiertos_, QStringList{video});

  for (int i = 1; i <= 3; ++i)
    EXPECT_TRUE(estados_.contains(QStringLiteral("Generando superficies kriging (%1 de 3)...").arg(i)))
        << estados_.join('|').toStdString();
  EXPECT_EQ(principal_->TextoEstado(), QStringLiteral("Preparado"));
}

TEST_F(FrmAnimK2DTest, DefaultsMessageComesOnceAndTheOldSeriesIsReplaced) {
  CargaMeuse();
  for (const char* viejo : {"ANIM00.SUP", "ANIM07.SUP", "anim03.sup"}) {
    QFile f(Ruta(viejo));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  Prepara(dlg, {QStringLiteral("logzinc")});
  QString warning;
  QString tituloAviso;
  ModalScript guion;
  guion.Dialogo<QMessageBox>([&](QMessageBox* m) {
         warning = m->text();
         tituloAviso = m->windowTitle();
         m->button(QMessageBox::Ok)->click();
       })
      .Esperar()
      .Archivo(QString());  // no video this time
  dlg.CoAceptar->click();
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(warning.startsWith(QStringLiteral("Atención se toman los valores iniciales por defecto")));
  EXPECT_EQ(tituloAviso, QStringLiteral("Sorvan: Kriging 2D"));
  EXPECT_EQ(Sesion().options.NRx, 50);
  EXPECT_TRUE(QFile::exists(Ruta("ANIM00.SUP")));
  EXPECT_FALSE(QFile::exists(Ruta("ANIM07.SUP")));
  EXPECT_FALSE(QFile::exists(Ruta("anim03.sup")));
  EXPECT_TRUE(abiertos_.isEmpty());

  // The same dialog again: no second message.
  dlg.show();
  ModalScript otra;
  otra.Esperar().Archivo(QString());
  dlg.CoAceptar->click();
  EXPECT_TRUE(otra.Completo());
  EXPECT_TRUE(otra.Inesperados().isEmpty()) << otra.Inesperados().join('|').toStdString();
}

// A run that leaves no prediction surface used to stop the renaming; the
// variable is now named, left out, and the series goes on.
TEST_F(FrmAnimK2DTest, VariableWhoseRunFailsIsSkippedWithItsName) {
  // A constant variable makes the kriging system singular: that run fails.
  QFile dae(Ruta("cte.dae"));
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
  CargaDatos(Ruta("cte.dae"));
  frmAnimK2D dlg(Sesion(), principal_.get());
  dlg.show();
  Prepara(dlg, {QStringLiteral("zinc"), QStringLiteral("cte"), QStringLiteral("lead")});
  OpcionesRejillaPequena(dlg, 8);

  QString delMotor, omitida;
  ModalScript guion;
  guion.Mensaje(&delMotor).Mensaje(&omitida).Esperar().Archivo(Ruta("dos.avi")).Compresor("rawvideo");
  dlg.CoAceptar->click();
  EXPECT_TRUE(guion.Completo());
  EXPECT_TRUE(guion.Inesperados().isEmpty()) << guion.Inesperados().join('|').toStdString();
  EXPECT_TRUE(omitida.contains(QStringLiteral("cte"))) << omitida.toStdString();
  EXPECT_EQ(dlg.ArchivosSerie(), (QStringList{Ruta("ANIM00.SUP"), Ruta("ANIM01.SUP")}));
  EXPECT_EQ(dlg.TitulosSerie(), (QStringList{"zinc    ", "lead    "}));
  EXPECT_FALSE(QFile::exists(Ruta("ANIM02.SUP")));
  EXPECT_EQ(test_data::LeeAVI(Ruta("dos.avi")).fotogramas, 2);
}

// The menu entry points: the dialog is made from the session's data and
// "Cancelar" unloads it.
TEST_F(FrmAnimK2DTest, MenuCommandsOpenAndUnloadTheDialogs) {
  QString sinDatos;
  {
    ModalScript guion;
    guion.Mensaje(&sinDatos);
    MostrarAnimK2D(*principal_);
    EXPECT_TRUE(guion.Completo());
  }
  EXPECT_EQ(sinDatos, QStringLiteral("No hay datos espaciales abiertos."));

  CargaMeuse();
  QPointer<frmAnimK2D> visto;
  int variables = 0;
  {
    ModalScript guion;
    guion.Dialogo<frmAnimK2D>([&](frmAnimK2D* d) {
      visto = d;
      variables = d->ListaZ->count();
      d->CoCancelar->click();
    });
    MostrarAnimK2D(*principal_);
    EXPECT_TRUE(guion.Completo());
  }
  EXPECT_EQ(variables, 8);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(visto.isNull());  // unloaded

  MostrarAnimBMP(*principal_, true);
  auto* sup = principal_->findChild<frmAnimBMP*>();
  ASSERT_NE(sup, nullptr);
  EXPECT_TRUE(sup->ModoSuperficies());
  EXPECT_EQ(sup->windowModality(), Qt::NonModal);  // the animation's chart stays usable
  QPointer<frmAnimBMP> anterior = sup;
  MostrarAnimBMP(*principal_, false);
  EXPECT_TRUE(anterior.isNull());
  auto* bmp = principal_->findChild<frmAnimBMP*>();
  ASSERT_NE(bmp, nullptr);
  EXPECT_FALSE(bmp->ModoSuperficies());
  EXPECT_EQ(bmp->windowModality(), Qt::ApplicationModal);
  QPointer<frmAnimBMP> abierto = bmp;
  DescargarDialogosAnimacion();
  EXPECT_TRUE(abierto.isNull());
}

}  // namespace

// The main window of these tests reads its placement from a settings store of
// their own, never the user's.
int main(int argc, char** argv) { return test_data::EjecutaPruebas(argc, argv, {.ajustesPropios = true}); }
