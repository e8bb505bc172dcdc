#pragma once
// The export formats of the surfaces, in one table: a new format is one row
// here and its own writer file. One-surface formats write the prediction under
// the name given and the variance under the same name with "_var" before the
// extension (RutaVarianza); two-surface formats hold both.
#include <string>
#include <vector>

#include "core/exporta_texto.h"
#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

struct FormatoExportacion {
  std::string nombre;                    // as file dialogs show it
  std::vector<std::string> extensiones;  // lower case, with the dot
  bool dosSuperficies;                   // prediction and variance in one file
  // Writes one file: `banda` is ignored by two-surface formats; `crs` is
  // "EPSG:n" or WKT, empty when unknown (formats that cannot hold it ignore it).
  Resultado (*escribe)(const std::string& ruta, const SuperficiesKriging& s, Banda banda, const std::string& crs);
};

const std::vector<FormatoExportacion>& FormatosExportacion();

// The format for `ruta`'s extension (any case), or nullptr.
const FormatoExportacion* FormatoDeRuta(const std::string& ruta);

// Exports the surfaces to `ruta` in the format of its extension; the files
// written are added to `escritos`. An unknown extension is an error listing
// the known ones. One surface alone (SupVar empty) is written as the
// prediction only: no "_var" file, a single GeoTIFF band.
Resultado ExportaSuperficies(const std::string& ruta, const SuperficiesKriging& s, const std::string& crs,
                             std::vector<std::string>* escritos = nullptr);

// The "Guardar" frame of the options: after a run, the prediction goes to
// GuardarPred and the variance to GuardarVar (either may be empty), each in
// the format of its extension; ".sup" copies the engine's own file. A name
// without folder goes into the run's result folder. The files written are
// added to `escritos`.
Resultado GuardaTrasCalculo(const SesionKriging& sesion, std::vector<std::string>* escritos = nullptr);

// A filter for file dialogs: "GeoTIFF (*.tif *.tiff);;..."
std::string FiltroExportacion();

}  // namespace sorvan
