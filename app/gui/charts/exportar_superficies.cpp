#include "gui/charts/exportar_superficies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <functional>

#include "core/sesion_kriging.h"
#include "platform/cFileDlg.h"
#include "platform/chart_files.h"
#include "platform/gis/formatos_exportacion.h"
#include "platform/tarea_con_progreso.h"

namespace {

// A million nodes as text take a while: written beside the window, under a
// box without "Cancelar" (the writers cannot stop midway; the files are whole or absent).
void EscribeSinBloquear(QWidget* padre, const QString& ruta, const std::function<void()>& escribe) {
  const TareaConProgreso tarea{padre, QStringLiteral("Guardando \"%1\"...").arg(QFileInfo(ruta).fileName()), false};
  tarea.Ejecuta([&](const sorvan::AvisoProgreso&) { escribe(); });
}

}  // namespace

QString FiltroExportacionDialogo() {
  QStringList partes;
  for (const sorvan::FormatoExportacion& f : sorvan::FormatosExportacion()) {
    QStringList patrones;
    for (const std::string& e : f.extensiones) patrones << QStringLiteral("*") + QString::fromStdString(e);
    partes << QStringLiteral("%1 (%2)|%3")
                  .arg(QString::fromStdString(f.nombre), patrones.join(QLatin1Char(' ')), patrones.join(QLatin1Char(';')));
  }
  return partes.join(QLatin1Char('|'));
}

bool ExportarSuperficiesA(QWidget* padre, const sorvan::SesionKriging& s, const QString& ruta, QStringList* escritos) {
  if (!s.haySuperficies) {
    QMessageBox::warning(padre, QStringLiteral("Sorvan"),
                         QStringLiteral("No hay superficies que guardar: haga antes un cálculo de kriging."));
    return false;
  }
  std::vector<std::string> hechos;
  sorvan::Resultado r;
  EscribeSinBloquear(padre, ruta, [&] {
    r = sorvan::ExportaSuperficies(QFile::encodeName(ruta).toStdString(), s.superficies, s.datos.crs, &hechos);
  });
  if (!r) {
    QMessageBox::critical(padre, QStringLiteral("Sorvan"),
                          QStringLiteral("No se han guardado las superficies.\n%1").arg(QString::fromStdString(r.mensaje)));
    return false;
  }
  if (escritos)
    for (const std::string& h : hechos) *escritos << QString::fromStdString(h);
  return true;
}

bool ExportarSuperficieArchivoA(QWidget* padre, const QString& sup, const QString& ruta, QStringList* escritos) {
  SurfaceGrid rejilla;
  QString error;
  sorvan::Resultado r;
  if (!ReadSurfaceFile(sup, rejilla, &error)) {
    r = sorvan::Resultado::Error(error.toStdString());
  } else {
    sorvan::SuperficiesKriging s;
    s.nx = rejilla.nx, s.ny = rejilla.ny;
    s.xMin = float(rejilla.xMin), s.yMin = float(rejilla.yMin);
    s.dx = float(rejilla.dx), s.dy = float(rejilla.dy);
    // The file's own hole value becomes the program's.
    s.SupPred.resize(rejilla.z.size());
    for (size_t k = 0; k < rejilla.z.size(); ++k)
      s.SupPred[k] = rejilla.isHole(rejilla.z[k]) ? sorvan::kValorHueco : rejilla.z[k];
    std::vector<std::string> hechos;
    EscribeSinBloquear(padre, ruta, [&] {
      r = sorvan::ExportaSuperficies(QFile::encodeName(ruta).toStdString(), s, std::string(), &hechos);
    });
    if (r && escritos)
      for (const std::string& h : hechos) *escritos << QString::fromStdString(h);
  }
  if (!r)
    QMessageBox::critical(padre, QStringLiteral("Sorvan"),
                          QStringLiteral("No se ha guardado la superficie.\n%1").arg(QString::fromStdString(r.mensaje)));
  return r.ok;
}

bool ExportarSuperficieArchivo(QWidget* padre, const QString& sup) {
  cFileDlg dlg;
  dlg.OwnerHwnd = padre;
  dlg.Filter = FiltroExportacionDialogo();
  dlg.FilterIndex = 1;
  dlg.DefaultExt = QStringLiteral("tif");
  const QFileInfo info(sup);
  dlg.InitDirectory = info.absolutePath();
  QString archivo = info.completeBaseName() + QStringLiteral(".tif");
  if (!dlg.VBGetSaveFileName(archivo)) return false;
  return ExportarSuperficieArchivoA(padre, sup, archivo);
}

bool ExportarSuperficies(QWidget* padre, const sorvan::SesionKriging& s) {
  cFileDlg dlg;
  dlg.OwnerHwnd = padre;
  dlg.Filter = FiltroExportacionDialogo();
  dlg.FilterIndex = 1;
  dlg.DefaultExt = QStringLiteral("tif");
  dlg.InitDirectory = s.carpetaResultados.empty() ? QDir::currentPath() : QString::fromStdString(s.carpetaResultados);
  QString archivo = QString::fromStdString(s.variableSuperficies) + QStringLiteral(".tif");
  if (!dlg.VBGetSaveFileName(archivo)) return false;
  return ExportarSuperficiesA(padre, s, archivo);
}
