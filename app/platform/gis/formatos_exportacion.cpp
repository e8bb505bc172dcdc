#include "platform/gis/formatos_exportacion.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/escritura_atomica.h"

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
  if (f->dosSuperficies || s.SupVar.empty()) return r;  // one surface alone: no "_var" file
  const std::string var = RutaVarianza(ruta);
  r = f->escribe(var, s, Banda::Varianza, crs);
  if (r && escritos) escritos->push_back(var);
  return r;
}

Resultado GuardaTrasCalculo(const SesionKriging& s, std::vector<std::string>* escritos) {
  namespace fs = std::filesystem;
  const std::pair<const std::string*, Banda> pedidos[] = {{&s.opciones.GuardarPred, Banda::Prediccion},
                                                          {&s.opciones.GuardarVar, Banda::Varianza}};
  for (const auto& [nombre, banda] : pedidos) {
    if (nombre->empty()) continue;
    fs::path ruta(*nombre);
    if (!ruta.has_parent_path()) ruta = fs::path(s.carpetaResultados) / ruta;
    std::string ext = ruta.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    Resultado r;
    if (ext == ".sup") {
      // The engine's file itself, copied whole.
      const fs::path origen =
          fs::path(s.carpetaResultados) / (banda == Banda::Prediccion ? "SKUPRE.SUP" : "SKUVAR.SUP");
      std::ifstream f(origen, std::ios::binary);
      std::stringstream contenido;
      contenido << f.rdbuf();
      r = f ? EscribeArchivoAtomico(ruta.string(), contenido.str())
            : Resultado::Error(origen.string() + ": no se puede leer la superficie del cálculo.");
    } else if (const FormatoExportacion* fmt = FormatoDeRuta(ruta.string())) {
      r = fmt->escribe(ruta.string(), s.superficies, banda, s.datos.crs);
    } else {
      r = Resultado::Error(ruta.string() + ": formato de exportación desconocido (extensiones: .tif, .tiff, .asc, "
                                           ".grd, .csv, .sup).");
    }
    if (!r) return r;
    if (escritos) escritos->push_back(ruta.string());
  }
  return Resultado::Exito();
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
