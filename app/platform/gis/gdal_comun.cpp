#include "platform/gis/gdal_comun.h"

#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

namespace sorvan {

void IniciaGdal() {
  static std::once_flag una;
  std::call_once(una, [] {
    GDALAllRegister();
    // Errors are reported by us, in Spanish, not printed by GDAL.
    CPLSetErrorHandler(CPLQuietErrorHandler);
  });
}

std::string UltimoErrorGdal(const std::string& siNoHay) {
  const char* m = CPLGetLastErrorMsg();
  return m && *m ? std::string(m) : siNoHay;
}

std::string TextoCrs(const OGRSpatialReference* srs) {
  if (!srs) return {};
  const char* autoridad = srs->GetAuthorityName(nullptr);
  const char* codigo = srs->GetAuthorityCode(nullptr);
  if (autoridad && codigo && std::string(autoridad) == "EPSG") return std::string("EPSG:") + codigo;
  char* wkt = nullptr;
  if (srs->exportToWkt(&wkt) != OGRERR_NONE) {
    CPLFree(wkt);
    return {};
  }
  std::string r = wkt ? wkt : "";
  CPLFree(wkt);
  return r;
}

bool LeeCrs(const std::string& texto, OGRSpatialReference& srs) {
  IniciaGdal();
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return !texto.empty() && srs.SetFromUserInput(texto.c_str()) == OGRERR_NONE;
}

}  // namespace sorvan
