#pragma once
// "Save como..." on a surface window: the surfaces of the last run written
// in a format for GIS and contouring programs (GeoTIFF, ".asc", ".grd", CSV
// of nodes), chosen by the file name's extension.
#include <QString>

class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// The export formats as a file-dialog filter ("GeoTIFF (*.tif *.tiff)|*.tif;*.tiff|...").
QString ExportDialogFilter();

// Writes the session's surfaces to `path`; false after a message naming the
// file and the cause. `written` gets the files written.
bool ExportSurfacesTo(QWidget* parent, const sorvan::core::KrigingSession& session, const QString& path,
                          QStringList* written = nullptr);

// Asks for a file name and exports; false if cancelled or failed.
bool ExportSurfacesOf(QWidget* parent, const sorvan::core::KrigingSession& session);

// The same for a surface file (".sup") shown in a window: its one surface,
// written as a prediction alone (no "_var" file, a single GeoTIFF band), the
// grid and holes taken from the file's header.
bool ExportSurfaceFileTo(QWidget* parent, const QString& sup, const QString& path, QStringList* written = nullptr);
bool ExportSurfaceFile(QWidget* parent, const QString& sup);

}  // namespace sorvan::gui
