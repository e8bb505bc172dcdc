// A local run from the desktop program, through the real dialogs: "Kriging
// 2D" > "Options" > the "Kriging Local" frame > "Accept"; the surfaces in
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

#include "core/kriging_session.h"
#include "gui/frmMain.h"
#include "gui/kriging/frmKriging2D.h"
#include "gui/kriging/frmOpKriging.h"
#include "gui/kriging/kriging_commands.h"
#include "gui_test_support.h"

using namespace sorvan::core;
using namespace sorvan::gui;

using test_data::Reply;

namespace {

TEST(LocalKrigingDesktop, CountedHolesAreTheSurfaceHoles) {
  test_data::TemporaryFolder folder;
  auto mainWindow = std::make_unique<frmMain>();
  mainWindow->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
  ASSERT_TRUE(mainWindow->OpenData(QString::fromLocal8Bit(qgetenv("SORVAN_SOURCE_DIR")) + "/examples/meuse.dae"));
  folder.MakeCurrent();
  sorvan::core::KrigingSession& session = mainWindow->OwnSession();
  session.chosenFolder = QFile::encodeName(folder.path()).toStdString();
  session.chosenFolderFor = session.dataFile;

  Reply<frmOpKriging> options([](frmOpKriging* d) {
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
  Reply<frmKriging2D> dialog([](frmKriging2D* d) {
    d->ComboZ->setCurrentIndex(d->ComboZ->findText(QStringLiteral("logzinc"), Qt::MatchStartsWith));
    QTest::mouseClick(d->CoOpciones, Qt::LeftButton);
    QTest::mouseClick(d->CoAceptar, Qt::LeftButton);
  });
  QStringList texts;
  Reply<QMessageBox> boxes(
      [&texts](QMessageBox* box) {
        texts << box->text();
        box->button(QMessageBox::Ok)->click();
      },
      3, 20000);
  ShowKriging2D(*mainWindow);
  ASSERT_EQ(dialog.views(), 1);
  ASSERT_EQ(options.views(), 1);

  ASSERT_TRUE(session.hasSurfaces) << texts.join(" | ").toStdString();
  const sorvan::core::LocalSummary& local = session.localSummary;
  EXPECT_TRUE(local.local);
  long long huecos = 0;
  for (float v : session.surfaces.SupPred) huecos += v == sorvan::core::kHoleValue;
  EXPECT_GT(local.fewNeighbours, 0);
  EXPECT_EQ(huecos, local.fewNeighbours + local.singular);
  EXPECT_EQ(local.computed + huecos, static_cast<long long>(session.surfaces.SupPred.size()));
  EXPECT_EQ(mainWindow->StatusText(), QStringLiteral("Preparado (kriging local: %1 nodos sin valor)").arg(huecos));
  UnloadKrigingDialogs();
  mainWindow.reset();
}

}  // namespace

int main(int argc, char** argv) {
  return test_data::RunTests(argc, argv, {.forgottenModalMs = 30000, .ownSettings = true});
}
