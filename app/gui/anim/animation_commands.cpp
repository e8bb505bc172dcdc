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
// after "Aceptar" and keeps its choices until "Cancelar" unloads it.
QPointer<frmAnimK2D> dialogoAnimK2D;
QPointer<frmAnimBMP> dialogoAnimBMP;
}  // namespace

void MostrarAnimK2D(AppShell& shell) {
  QWidget* owner = shell.Window();
  sorvan::core::KrigingSession& session = shell.Session();
  if (session.data.empty()) {
    QMessageBox::information(owner, QStringLiteral("Sorvan: Kriging 2D"),
                             QStringLiteral("No hay datos espaciales abiertos."));
    return;
  }
  // Another data file opened since the last showing: the old choices belong
  // to the old data, so the dialog starts afresh.
  if (dialogoAnimK2D && !dialogoAnimK2D->MismosDatos()) delete dialogoAnimK2D;
  if (!dialogoAnimK2D) dialogoAnimK2D = new frmAnimK2D(session, owner);
  dialogoAnimK2D->exec();
}

void MostrarAnimBMP(AppShell& shell, bool surfaceMode) {
  QWidget* owner = shell.Window();
  if (dialogoAnimBMP && dialogoAnimBMP->ModoSuperficies() != surfaceMode) delete dialogoAnimBMP;
  if (!dialogoAnimBMP) {
    dialogoAnimBMP = new frmAnimBMP(owner);
    if (surfaceMode) dialogoAnimBMP->PreparaSUP();
  }
  // Bitmap mode blocks the other windows; surface mode leaves them usable, so
  // that the chart of the animation can be adjusted. Neither waits here: the
  // dialog hides and shows itself again while the video is made.
  dialogoAnimBMP->setWindowModality(surfaceMode ? Qt::NonModal : Qt::ApplicationModal);
  dialogoAnimBMP->show();
  dialogoAnimBMP->raise();
  dialogoAnimBMP->activateWindow();
}

void DescargarDialogosAnimacion() {
  delete dialogoAnimK2D;
  delete dialogoAnimBMP;
  frmEsperar::DescargarEsperar();
}

}  // namespace sorvan::gui
