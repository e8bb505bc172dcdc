#pragma once
// The export formats of the surfaces, in one table: a new format is one row
// here and its own writer file. One-surface formats write the prediction under
// the name given and the variance under the same name with "_var" before the
// extension (VariancePath); two-surface formats hold both.
#include <string>
#include <vector>

#include "core/text_export.h"
#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::platform {
using namespace sorvan::core;

struct ExportFormat {
  std::string nombre;                    // as file dialogs show it
  std::vector<std::string> extensions;  // lower case, with the dot
  bool twoSurfaces;                   // prediction and variance in one file
  // Writes one file: `band` is ignored by two-surface formats; `crs` is
  // "EPSG:n" or WKT, empty when unknown (formats that cannot hold it ignore it).
  Result (*write)(const std::string& path, const KrigingSurfaces& s, Band band, const std::string& crs);
};

const std::vector<ExportFormat>& ExportFormats();

// The format for `path`'s extension (any case), or nullptr.
const ExportFormat* FormatOfPath(const std::string& path);

// Exports the surfaces to `path` in the format of its extension; the files
// written are added to `written`. An unknown extension is an error listing
// the known ones. One surface alone (SupVar empty) is written as the
// prediction only: no "_var" file, a single GeoTIFF band.
Result ExportSurfaces(const std::string& path, const KrigingSurfaces& s, const std::string& crs,
                             std::vector<std::string>* written = nullptr);

// The "Save" frame of the options: after a run, the prediction goes to
// GuardarPred and the variance to GuardarVar (either may be empty), each in
// the format of its extension; ".sup" copies the engine's own file. A name
// without folder goes into the run's result folder. The files written are
// added to `written`.
Result SaveAfterRun(const KrigingSession& session, std::vector<std::string>* written = nullptr);

// A filter for file dialogs: "GeoTIFF (*.tif *.tiff);;..."
std::string ExportFilter();

}  // namespace sorvan::platform
