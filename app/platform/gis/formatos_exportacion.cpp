#include "platform/gis/formatos_exportacion.h"

#include <algorithm>
#include <filesystem>

#include "platform/gis/geotiff.h"

namespace sorvan {

const std::vector<FormatoExportacion>& FormatosExportacion() {
  static const std::vector<FormatoExportacion> tabla = {
      {"GeoTIFF", {".tif", ".tiff"}, true,
       [](const std::string& r, const SuperficiesKriging& s, Banda, const std::string& crs) {
         return EscribeGeoTiff(r, s, crs);
       }},
      {"Rejilla ESRI ASCII", {".asc"}, false,
       [](const std::string& r, const SuperficiesKriging& s, Banda b, const std::string&) { return EscribeAsc(r, s, b); }},
      {"Rejilla de texto (DSAA)", {".grd"}, false,
       [](const std::string& r, const SuperficiesKriging& s, Banda b, const std::string&) { return EscribeGrd(r, s, b); }},
      {"Nodos CSV", {".csv"}, true,
       [](const std::string& r, const SuperficiesKriging& s, Banda, const std::string&) { return EscribeCsvNodos(r, s); }},
  };
  return tabla;
}

const FormatoExportacion* FormatoDeRuta(const std::string& ruta) {
  std::string ext = std::filesystem::path(ruta).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  for (const FormatoExportacion& f : FormatosExportacion())
    if (std::find(f.extensiones.begin(), f.extensiones.end(), ext) != f.extensiones.end()) return &f;
  return nullptr;
}

Resultado ExportaSuperficies(const std::string& ruta, const SuperficiesKriging& s, const std::string& crs,
                             std::vector<std::string>* escritos) {
  const FormatoExportacion* f = FormatoDeRuta(ruta);
  if (!f) {
    std::string conocidas;
    for (const FormatoExportacion& g : FormatosExportacion())
      for (const std::string& e : g.extensiones) conocidas += (conocidas.empty() ? "" : ", ") + e;
    return Resultado::Error(ruta + ": formato de exportación desconocido (extensiones: " + conocidas + ").");
  }
  Resultado r = f->escribe(ruta, s, Banda::Prediccion, crs);
  if (!r) return r;
  if (escritos) escritos->push_back(ruta);
  if (f->dosSuperficies) return r;
  const std::string var = RutaVarianza(ruta);
  r = f->escribe(var, s, Banda::Varianza, crs);
  if (r && escritos) escritos->push_back(var);
  return r;
}

std::string FiltroExportacion() {
  std::string filtro;
  for (const FormatoExportacion& f : FormatosExportacion()) {
    filtro += (filtro.empty() ? "" : ";;") + f.nombre + " (";
    for (size_t i = 0; i < f.extensiones.size(); ++i) filtro += (i ? " *" : "*") + f.extensiones[i];
    filtro += ")";
  }
  return filtro;
}

}  // namespace sorvan
