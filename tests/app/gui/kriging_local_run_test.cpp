// A local run from the desktop program, through the real dialogs: "Kriging
// 2D" > "Opciones" > the "Kriging Local" frame > "Aceptar"; the surfaces in
// memory have exactly the holes the run counted, and the status bar says how
// many there are.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "core/sesion_kriging.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/kriging_commands.h"
#include "gui_test_support.h"

using prueba::Respuesta;

namespace {

TEST(KrigingLocalEscritorio, LosHuecosContadosSonLosDeLaSuperficie) {
  prueba::CarpetaTemporal carpeta;
  auto principal = std::make_unique<frmMain>();
  principal->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(principal.get()));
  ASSERT_TRUE(principal->AbrirDatos(QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"));
  carpeta.HacerActual();
  sorvan::SesionKriging& sesion = principal->Sesion();
  sesion.carpetaElegida = QFile::encodeName(carpeta.path()).toStdString();
  sesion.carpetaElegidaPara = sesion.archivoDatos;

  Respuesta<frmOpKriging> opciones([](frmOpKriging* d) {
    d->FraKrigingLocal->setChecked(true);
    d->TxtNVecinos->setText(QStringLiteral("16"));
    d->TxtNMinVecinos->setText(QStringLiteral("8"));
    d->TxtDistVecinos->setText(QStringLiteral("500"));
    d->VerCuadrantes->setChecked(true);
    d->VerSupPred->setChecked(false);  // no chart windows: the surfaces in memory are enough
    d->VerSupVar->setChecked(false);
    d->VerAjuste->setChecked(false);
    d->VerEstimadores->setChecked(false);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  Respuesta<frmKriging2D> dialogo([](frmKriging2D* d) {
    d->ComboZ->setCurrentIndex(d->ComboZ->findText(QStringLiteral("logzinc"), Qt::MatchStartsWith));
    QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  QStringList textos;
  Respuesta<QMessageBox> cajas(
      [&textos](QMessageBox* box) {
        textos << box->text();
        box->button(QMessageBox::Ok)->click();
      },
      3, 20000);
  MostrarKriging2D(*principal);
  ASSERT_EQ(dialogo.vistas(), 1);
  ASSERT_EQ(opciones.vistas(), 1);

  ASSERT_TRUE(sesion.haySuperficies) << textos.join(" | ").toStdString();
  const sorvan::ResumenLocal& local = sesion.resumenLocal;
  EXPECT_TRUE(local.local);
  long long huecos = 0;
  for (float v : sesion.superficies.SupPred) huecos += v == sorvan::kValorHueco;
  EXPECT_GT(local.pocosVecinos, 0);
  EXPECT_EQ(huecos, local.pocosVecinos + local.singulares);
  EXPECT_EQ(local.calculados + huecos, static_cast<long long>(sesion.superficies.SupPred.size()));
  EXPECT_EQ(principal->TextoEstado(), QStringLiteral("Preparado (kriging local: %1 nodos sin valor)").arg(huecos));
  DescargarDialogosKriging();
  principal.reset();
}

}  // namespace

int main(int argc, char** argv) {
  return prueba::EjecutaPruebas(argc, argv, {.modalOlvidadoMs = 30000, .ajustesPropios = true});
}
