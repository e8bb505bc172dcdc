#include "gui/charts/exportar_superficies.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStringList>

#include "core/sesion_kriging.h"
#include "platform/cFileDlg.h"
#include "platform/gis/formatos_exportacion.h"

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
  const sorvan::Resultado r =
      sorvan::ExportaSuperficies(QFile::encodeName(ruta).toStdString(), s.superficies, s.datos.crs, &hechos);
  if (!r) {
    QMessageBox::critical(padre, QStringLiteral("Sorvan"),
                          QStringLiteral("No se han guardado las superficies.\n%1").arg(QString::fromStdString(r.mensaje)));
    return false;
  }
  if (escritos)
    for (const std::string& h : hechos) *escritos << QString::fromStdString(h);
  return true;
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
