#include "gui/charts/surface_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <functional>

#include "core/kriging_session.h"
#include "platform/cFileDlg.h"
#include "platform/chart_files.h"
#include "platform/gis/export_formats.h"
#include "platform/task_with_progress.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

// A million nodes as text take a while: written beside the window, under a
// box without "Cancelar" (the writers cannot stop midway; the files are whole or absent).
void WriteWithoutBlocking(QWidget* parent, const QString& path, const std::function<void()>& write) {
  const TaskWithProgress task{parent, QStringLiteral("Guardando \"%1\"...").arg(QFileInfo(path).fileName()), false};
  task.RunJob([&](const sorvan::core::ProgressCallback&) { write(); });
}

}  // namespace

QString ExportDialogFilter() {
  QStringList parts;
  for (const sorvan::platform::ExportFormat& f : sorvan::platform::ExportFormats()) {
    QStringList patterns;
    for (const std::string& e : f.extensions) patterns << QStringLiteral("*") + QString::fromStdString(e);
    parts << QStringLiteral("%1 (%2)|%3")
                  .arg(QString::fromStdString(f.nombre), patterns.join(QLatin1Char(' ')), patterns.join(QLatin1Char(';')));
  }
  return parts.join(QLatin1Char('|'));
}

bool ExportSurfacesTo(QWidget* parent, const sorvan::core::KrigingSession& s, const QString& path, QStringList* written) {
  if (!s.hasSurfaces) {
    QMessageBox::warning(parent, QStringLiteral("Sorvan"),
                         QStringLiteral("No hay superficies que guardar: haga antes un cálculo de kriging."));
    return false;
  }
  std::vector<std::string> doneOnes;
  sorvan::core::Result r;
  WriteWithoutBlocking(parent, path, [&] {
    r = sorvan::platform::ExportSurfaces(QFile::encodeName(path).toStdString(), s.surfaces, s.data.crs, &doneOnes);
  });
  if (!r) {
    QMessageBox::critical(parent, QStringLiteral("Sorvan"),
                          QStringLiteral("No se han guardado las superficies.\n%1").arg(QString::fromStdString(r.message)));
    return false;
  }
  if (written)
    for (const std::string& h : doneOnes) *written << QString::fromStdString(h);
  return true;
}

bool ExportSurfaceFileTo(QWidget* parent, const QString& sup, const QString& path, QStringList* written) {
  SurfaceGrid grid;
  QString error;
  sorvan::core::Result r;
  if (!ReadSurfaceFile(sup, grid, &error)) {
    r = sorvan::core::Result::Error(error.toStdString());
  } else {
    sorvan::core::KrigingSurfaces s;
    s.nx = grid.nx, s.ny = grid.ny;
    s.xMin = float(grid.xMin), s.yMin = float(grid.yMin);
    s.dx = float(grid.dx), s.dy = float(grid.dy);
    // The file's own hole value becomes the program's.
    s.SupPred.resize(grid.z.size());
    for (size_t k = 0; k < grid.z.size(); ++k)
      s.SupPred[k] = grid.isHole(grid.z[k]) ? sorvan::core::kHoleValue : grid.z[k];
    std::vector<std::string> doneOnes;
    WriteWithoutBlocking(parent, path, [&] {
      r = sorvan::platform::ExportSurfaces(QFile::encodeName(path).toStdString(), s, std::string(), &doneOnes);
    });
    if (r && written)
      for (const std::string& h : doneOnes) *written << QString::fromStdString(h);
  }
  if (!r)
    QMessageBox::critical(parent, QStringLiteral("Sorvan"),
                          QStringLiteral("No se ha guardado la superficie.\n%1").arg(QString::fromStdString(r.message)));
  return r.ok;
}

bool ExportSurfaceFile(QWidget* parent, const QString& sup) {
  cFileDlg dlg;
  dlg.OwnerHwnd = parent;
  dlg.Filter = ExportDialogFilter();
  dlg.FilterIndex = 1;
  dlg.DefaultExt = QStringLiteral("tif");
  const QFileInfo info(sup);
  dlg.InitDirectory = info.absolutePath();
  QString file = info.completeBaseName() + QStringLiteral(".tif");
  if (!dlg.VBGetSaveFileName(file)) return false;
  return ExportSurfaceFileTo(parent, sup, file);
}

bool ExportSurfacesOf(QWidget* parent, const sorvan::core::KrigingSession& s) {
  cFileDlg dlg;
  dlg.OwnerHwnd = parent;
  dlg.Filter = ExportDialogFilter();
  dlg.FilterIndex = 1;
  dlg.DefaultExt = QStringLiteral("tif");
  dlg.InitDirectory = s.resultsFolder.empty() ? QDir::currentPath() : QString::fromStdString(s.resultsFolder);
  QString file = QString::fromStdString(s.surfacesVariable) + QStringLiteral(".tif");
  if (!dlg.VBGetSaveFileName(file)) return false;
  return ExportSurfacesTo(parent, s, file);
}

}  // namespace sorvan::gui
