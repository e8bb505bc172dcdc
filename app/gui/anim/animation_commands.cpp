#include "gui/anim/animation_commands.h"

#include <QMessageBox>
#include <QPointer>

#include "gui/anim/frmAnimBMP.h"
#include "gui/anim/frmAnimK2D.h"
#include "gui/anim/frmEsperar.h"
#include "gui/app_shell.h"
#include "gui/app_shell.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {
// Created on first use; the kriging animation dialog stays loaded, hidden,
// after "Accept" and keeps its choices until "Cancelar" unloads it.
QPointer<frmAnimK2D> animK2DDialog;
QPointer<frmAnimBMP> animBmpDialog;
}  // namespace

void ShowAnimK2D(AppShell& shell) {
  QWidget* owner = shell.Window();
  sorvan::core::KrigingSession& session = shell.Session();
  if (session.data.empty()) {
    QMessageBox::information(owner, QStringLiteral("Sorvan: Kriging 2D"),
                             QStringLiteral("No hay datos espaciales abiertos."));
    return;
  }
  // Another data file opened since the last showing: the old choices belong
  // to the old data, so the dialog starts afresh.
  if (animK2DDialog && !animK2DDialog->SameData()) delete animK2DDialog;
  if (!animK2DDialog) animK2DDialog = new frmAnimK2D(session, owner);
  animK2DDialog->exec();
}

void ShowAnimBMP(AppShell& shell, bool surfaceMode) {
  QWidget* owner = shell.Window();
  if (animBmpDialog && animBmpDialog->SurfaceMode() != surfaceMode) delete animBmpDialog;
  if (!animBmpDialog) {
    animBmpDialog = new frmAnimBMP(owner);
    if (surfaceMode) animBmpDialog->PreparaSUP();
  }
  // Bitmap mode blocks the other windows; surface mode leaves them usable, so
  // that the chart of the animation can be adjusted. Neither waits here: the
  // dialog hides and shows itself again while the video is made.
  animBmpDialog->setWindowModality(surfaceMode ? Qt::NonModal : Qt::ApplicationModal);
  animBmpDialog->show();
  animBmpDialog->raise();
  animBmpDialog->activateWindow();
}

void UnloadAnimationDialogs() {
  delete animK2DDialog;
  delete animBmpDialog;
  frmEsperar::UnloadAndWait();
}

}  // namespace sorvan::gui
