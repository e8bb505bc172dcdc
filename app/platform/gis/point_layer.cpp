#include "platform/gis/point_layer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "core/list_reader.h"
#include "platform/gis/gdal_common.h"

namespace sorvan::platform {
using namespace sorvan::core;

bool IsGisLayer(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".gpkg" || ext == ".shp" || ext == ".geojson" || ext == ".json";
}

Result ReadPointLayer(const std::string& path, SpatialData& data, const ReadOptions& options) {
  StartGdal();
  auto error = [&](const std::string& what) { return Result::Error(path + ": " + what + "\nNo se ha cargado el archivo."); };
  std::error_code ec;
  // GDAL's virtual file systems ("/vsimem/...") are not on disk.
  if (path.rfind("/vsi", 0) != 0 && !std::filesystem::exists(path, ec))
    return Result::Error(path + ": no se puede abrir el archivo de datos.");
  CPLErrorReset();
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!ds) return error("no se puede leer como capa GIS (" + LastGdalError("formato no reconocido") + ").");
  if (ds->GetLayerCount() < 1) return error("el archivo no tiene ninguna capa.");
  OGRLayer* layer = ds->GetLayer(0);
  const std::string layerName = layer->GetName();
  OGRFeatureDefn* def = layer->GetLayerDefn();

  // Numeric attributes become variables; the rest are named in the warning.
  std::vector<int> fields;
  std::string texts;
  for (int i = 0; i < def->GetFieldCount(); ++i) {
    OGRFieldDefn* f = def->GetFieldDefn(i);
    const OGRFieldType t = f->GetType();
    if (t == OFTInteger || t == OFTInteger64 || t == OFTReal)
      fields.push_back(i);
    else
      texts += (texts.empty() ? "«" : ", «") + ShowValue(f->GetNameRef()) + "»";
  }
  if (2 + fields.size() > size_t(kMaxVariables)) return error("la capa tiene demasiados atributos.");

  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> rows;
  int64_t n = 0;
  // The count for the progress only where the driver knows it cheaply (else 0: no share).
  const double total = double(std::max<GIntBig>(layer->GetFeatureCount(FALSE), 0));
  layer->ResetReading();
  for (auto& element : *layer) {
    if (!KeepGoing(options.progress, n, double(n), total)) return Result::Error(kCancelledText);
    double x = nan, y = nan;
    const OGRGeometry* g = element->GetGeometryRef();
    if (g && !g->IsEmpty()) {
      const OGRwkbGeometryType kind = wkbFlatten(g->getGeometryType());
      const OGRPoint* p = nullptr;
      if (kind == wkbPoint) {
        p = g->toPoint();
      } else if (kind == wkbMultiPoint && g->toMultiPoint()->getNumGeometries() == 1) {
        p = g->toMultiPoint()->getGeometryRef(0);
      } else {
        return error("capa «" + layerName + "», elemento " + std::to_string(element->GetFID()) +
                     ": la geometría es «" + OGRGeometryTypeToName(g->getGeometryType()) +
                     "»; solo se pueden cargar capas de puntos.");
      }
      x = p->getX();
      y = p->getY();
    }
    rows.push_back(x);
    rows.push_back(y);
    for (int i : fields) {
      double v = nan;
      if (element->IsFieldSetAndNotNull(i)) {
        v = element->GetFieldAsDouble(i);
        if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
          return error("capa «" + layerName + "», elemento " + std::to_string(element->GetFID()) + ", atributo «" +
                       ShowValue(def->GetFieldDefn(i)->GetNameRef()) + "»: valor fuera de rango.");
        if (options.missingValue && v == *options.missingValue) v = nan;
      }
      rows.push_back(v);
    }
    ++n;
    if (n > std::numeric_limits<int32_t>::max()) return error("la capa tiene demasiados elementos.");
    if (options.rowLimit > 0 && n >= options.rowLimit) break;
  }
  if (n == 0) return error("la capa «" + layerName + "» está vacía: no tiene ningún elemento.");

  SpatialData d;
  d.title = FitWidth(layerName, kTextWidth);
  d.nvar = int(2 + fields.size());
  d.N = int(n);
  for (const char* axis : {"X", "Y"}) {
    d.names.push_back(FitWidth(axis, kNameWidth));
    d.descriptions.push_back(FitWidth(std::string("Coordenada ") + axis, kTextWidth));
    d.numbers.push_back(0.0f);
  }
  for (int i : fields) {
    const std::string nombre = def->GetFieldDefn(i)->GetNameRef();
    d.names.push_back(FitWidth(nombre, kNameWidth));
    d.descriptions.push_back(FitWidth(nombre, kTextWidth));
    d.numbers.push_back(0.0f);
  }
  d.fillFromRows(rows);
  d.crs = CrsText(layer->GetSpatialRef());
  data = std::move(d);
  std::string warning;
  if (!texts.empty()) warning = path + ": atributos sin valores numéricos, no cargados: " + texts + ".";
  return Result::Success(warning);
}

}  // namespace sorvan::platform
