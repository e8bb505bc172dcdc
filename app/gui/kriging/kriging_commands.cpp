#include "gui/kriging/kriging_commands.h"

#include <QMessageBox>
#include <QPointer>

#include "gui/app_shell.h"
#include "gui/kriging/frmKriging2D.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {
// Created on first use and kept, hidden, between showings; it unloads itself
// on "Cancelar".
QPointer<frmKriging2D> krigingDialog;
}  // namespace

void ShowKriging2D(AppShell& shell) {
  QWidget* owner = shell.Window();
  sorvan::core::KrigingSession& session = shell.Session();
  QString reason;
  if (!frmKriging2D::CanBeShown(session, &reason)) {
    QMessageBox::information(owner, QStringLiteral("Sorvan: Kriging 2D"), reason);
    return;
  }
  // Another data file opened since the last showing: the kept choices and
  // options belong to the old data, so the dialog starts afresh.
  if (krigingDialog && !krigingDialog->SameData()) delete krigingDialog;
  if (!krigingDialog) krigingDialog = new frmKriging2D(session, owner);
  // "Cancelar" or closing the window unloads the dialog. Deleted here rather
  // than left to the event loop, so that a showing right after this one
  // cannot pick up the dialog on its way out.
  if (krigingDialog->exec() == QDialog::Rejected) delete krigingDialog;
}

void UnloadKrigingDialogs() { delete krigingDialog; }

}  // namespace sorvan::gui
