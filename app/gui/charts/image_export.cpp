#include "gui/charts/image_export.h"

#include "platform/cFileDlg.h"

#include <QDir>
#include <QMessageBox>
#include <QWidget>

namespace sorvan::gui {
using namespace sorvan::platform;

void ExportImage(QWidget* window, const std::function<bool(const QString&, QString*)>& escribir) {
  cFileDlg dlg;
  dlg.OwnerHwnd = window;
  dlg.DlgTitle = QObject::tr("Exportar imagen");
  dlg.Filter = QObject::tr("Imagen PNG (*.png)|*.png|Documento PDF (*.pdf)|*.pdf|Dibujo SVG (*.svg)|*.svg");
  dlg.DefaultExt = "png";
  dlg.InitDirectory = QDir::currentPath();
  QString nombre = window->windowTitle().section(':', 0, 0) + ".png";
  if (!dlg.VBGetSaveFileName(nombre)) return;
  QString error;
  if (!escribir(nombre, &error))
    QMessageBox::warning(window, QStringLiteral("Sorvan"),
                         error.isEmpty() ? QObject::tr("No se puede escribir la imagen %1.")
                                               .arg(QDir::toNativeSeparators(nombre))
                                         : error);
}

}  // namespace sorvan::gui
