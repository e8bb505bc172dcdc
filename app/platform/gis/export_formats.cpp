#include "platform/gis/export_formats.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/atomic_writer.h"

#include "platform/gis/geotiff.h"

namespace sorvan::platform {
using namespace sorvan::core;

const std::vector<ExportFormat>& ExportFormats() {
  static const std::vector<ExportFormat> table = {
      {"GeoTIFF", {".tif", ".tiff"}, true,
       [](const std::string& r, const KrigingSurfaces& s, Band, const std::string& crs) {
         return WriteGeoTiff(r, s, crs);
       }},
      {"Rejilla ESRI ASCII", {".asc"}, false,
       [](const std::string& r, const KrigingSurfaces& s, Band b, const std::string&) { return WriteAsc(r, s, b); }},
      {"Rejilla de texto (DSAA)", {".grd"}, false,
       [](const std::string& r, const KrigingSurfaces& s, Band b, const std::string&) { return WriteGrd(r, s, b); }},
      {"Nodos CSV", {".csv"}, true,
       [](const std::string& r, const KrigingSurfaces& s, Band, const std::string&) { return WriteNodesCsv(r, s); }},
  };
  return table;
}

const ExportFormat* FormatOfPath(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  for (const ExportFormat& f : ExportFormats())
    if (std::find(f.extensions.begin(), f.extensions.end(), ext) != f.extensions.end()) return &f;
  return nullptr;
}

Result ExportSurfaces(const std::string& path, const KrigingSurfaces& s, const std::string& crs,
                             std::vector<std::string>* written) {
  const ExportFormat* f = FormatOfPath(path);
  if (!f) {
    std::string knownOnes;
    for (const ExportFormat& g : ExportFormats())
      for (const std::string& e : g.extensions) knownOnes += (knownOnes.empty() ? "" : ", ") + e;
    return Result::Error(path + ": formato de exportación desconocido (extensiones: " + knownOnes + ").");
  }
  Result r = f->write(path, s, Band::Prediction, crs);
  if (!r) return r;
  if (written) written->push_back(path);
  if (f->twoSurfaces || s.SupVar.empty()) return r;  // one surface alone: no "_var" file
  const std::string var = VariancePath(path);
  r = f->write(var, s, Band::Variance, crs);
  if (r && written) written->push_back(var);
  return r;
}

Result SaveAfterRun(const KrigingSession& s, std::vector<std::string>* written) {
  namespace fs = std::filesystem;
  const std::pair<const std::string*, Band> requested[] = {{&s.options.GuardarPred, Band::Prediction},
                                                          {&s.options.GuardarVar, Band::Variance}};
  for (const auto& [nombre, band] : requested) {
    if (nombre->empty()) continue;
    fs::path path(*nombre);
    if (!path.has_parent_path()) path = fs::path(s.resultsFolder) / path;
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    Result r;
    if (ext == ".sup") {
      // The engine's file itself, copied whole.
      const fs::path origin =
          fs::path(s.resultsFolder) / (band == Band::Prediction ? "SKUPRE.SUP" : "SKUVAR.SUP");
      std::ifstream f(origin, std::ios::binary);
      std::stringstream content;
      content << f.rdbuf();
      r = f ? WriteFileAtomically(path.string(), content.str())
            : Result::Error(origin.string() + ": no se puede leer la superficie del cálculo.");
    } else if (const ExportFormat* fmt = FormatOfPath(path.string())) {
      r = fmt->write(path.string(), s.surfaces, band, s.data.crs);
    } else {
      r = Result::Error(path.string() + ": formato de exportación desconocido (extensiones: .tif, .tiff, .asc, "
                                           ".grd, .csv, .sup).");
    }
    if (!r) return r;
    if (written) written->push_back(path.string());
  }
  return Result::Success();
}

std::string ExportFilter() {
  std::string filter;
  for (const ExportFormat& f : ExportFormats()) {
    filter += (filter.empty() ? "" : ";;") + f.nombre + " (";
    for (size_t i = 0; i < f.extensions.size(); ++i) filter += (i ? " *" : "*") + f.extensions[i];
    filter += ")";
  }
  return filter;
}

}  // namespace sorvan::platform
