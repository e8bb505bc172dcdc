#include "platform/gis/capa_puntos.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "core/lector_lista.h"
#include "platform/gis/gdal_comun.h"

namespace sorvan {

bool EsCapaGis(const std::string& ruta) {
  std::string ext = std::filesystem::path(ruta).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".gpkg" || ext == ".shp" || ext == ".geojson" || ext == ".json";
}

Resultado LeeCapaPuntos(const std::string& ruta, DatosEspaciales& datos, const OpcionesLectura& opciones) {
  IniciaGdal();
  auto error = [&](const std::string& que) { return Resultado::Error(ruta + ": " + que + "\nNo se ha cargado el archivo."); };
  std::error_code ec;
  // GDAL's virtual file systems ("/vsimem/...") are not on disk.
  if (ruta.rfind("/vsi", 0) != 0 && !std::filesystem::exists(ruta, ec))
    return Resultado::Error(ruta + ": no se puede abrir el archivo de datos.");
  CPLErrorReset();
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(ruta.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!ds) return error("no se puede leer como capa GIS (" + UltimoErrorGdal("formato no reconocido") + ").");
  if (ds->GetLayerCount() < 1) return error("el archivo no tiene ninguna capa.");
  OGRLayer* capa = ds->GetLayer(0);
  const std::string nombreCapa = capa->GetName();
  OGRFeatureDefn* def = capa->GetLayerDefn();

  // Numeric attributes become variables; the rest are named in the warning.
  std::vector<int> campos;
  std::string textos;
  for (int i = 0; i < def->GetFieldCount(); ++i) {
    OGRFieldDefn* f = def->GetFieldDefn(i);
    const OGRFieldType t = f->GetType();
    if (t == OFTInteger || t == OFTInteger64 || t == OFTReal)
      campos.push_back(i);
    else
      textos += (textos.empty() ? "«" : ", «") + MuestraValor(f->GetNameRef()) + "»";
  }
  if (2 + campos.size() > size_t(kMaxVariables)) return error("la capa tiene demasiados atributos.");

  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> filas;
  int64_t n = 0;
  // The count for the progress only where the driver knows it cheaply (else 0: no share).
  const double total = double(std::max<GIntBig>(capa->GetFeatureCount(FALSE), 0));
  capa->ResetReading();
  for (auto& elemento : *capa) {
    if (!SigueProgreso(opciones.progreso, n, double(n), total)) return Resultado::Error(kTextoCancelado);
    double x = nan, y = nan;
    const OGRGeometry* g = elemento->GetGeometryRef();
    if (g && !g->IsEmpty()) {
      const OGRwkbGeometryType tipo = wkbFlatten(g->getGeometryType());
      const OGRPoint* p = nullptr;
      if (tipo == wkbPoint) {
        p = g->toPoint();
      } else if (tipo == wkbMultiPoint && g->toMultiPoint()->getNumGeometries() == 1) {
        p = g->toMultiPoint()->getGeometryRef(0);
      } else {
        return error("capa «" + nombreCapa + "», elemento " + std::to_string(elemento->GetFID()) +
                     ": la geometría es «" + OGRGeometryTypeToName(g->getGeometryType()) +
                     "»; solo se pueden cargar capas de puntos.");
      }
      x = p->getX();
      y = p->getY();
    }
    filas.push_back(x);
    filas.push_back(y);
    for (int i : campos) {
      double v = nan;
      if (elemento->IsFieldSetAndNotNull(i)) {
        v = elemento->GetFieldAsDouble(i);
        if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
          return error("capa «" + nombreCapa + "», elemento " + std::to_string(elemento->GetFID()) + ", atributo «" +
                       MuestraValor(def->GetFieldDefn(i)->GetNameRef()) + "»: valor fuera de rango.");
        if (opciones.valorAusente && v == *opciones.valorAusente) v = nan;
      }
      filas.push_back(v);
    }
    ++n;
    if (n > std::numeric_limits<int32_t>::max()) return error("la capa tiene demasiados elementos.");
    if (opciones.limiteFilas > 0 && n >= opciones.limiteFilas) break;
  }
  if (n == 0) return error("la capa «" + nombreCapa + "» está vacía: no tiene ningún elemento.");

  DatosEspaciales d;
  d.titulo = AjustaAncho(nombreCapa, kAnchoTexto);
  d.nvar = int(2 + campos.size());
  d.N = int(n);
  for (const char* eje : {"X", "Y"}) {
    d.nombres.push_back(AjustaAncho(eje, kAnchoNombre));
    d.descripciones.push_back(AjustaAncho(std::string("Coordenada ") + eje, kAnchoTexto));
    d.numeros.push_back(0.0f);
  }
  for (int i : campos) {
    const std::string nombre = def->GetFieldDefn(i)->GetNameRef();
    d.nombres.push_back(AjustaAncho(nombre, kAnchoNombre));
    d.descripciones.push_back(AjustaAncho(nombre, kAnchoTexto));
    d.numeros.push_back(0.0f);
  }
  d.llenaDesdeFilas(filas);
  d.crs = TextoCrs(capa->GetSpatialRef());
  datos = std::move(d);
  std::string aviso;
  if (!textos.empty()) aviso = ruta + ": atributos sin valores numéricos, no cargados: " + textos + ".";
  return Resultado::Exito(aviso);
}

}  // namespace sorvan
