#include "platform/gis/gdal_common.h"

#include <mutex>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

namespace sorvan::platform {

void StartGdal() {
  static std::once_flag una;
  std::call_once(una, [] {
    GDALAllRegister();
    // Errors are reported by us, in Spanish, not printed by GDAL.
    CPLSetErrorHandler(CPLQuietErrorHandler);
  });
}

std::string LastGdalError(const std::string& ifNone) {
  const char* m = CPLGetLastErrorMsg();
  return m && *m ? std::string(m) : ifNone;
}

std::string CrsText(const OGRSpatialReference* srs) {
  if (!srs) return {};
  const char* authority = srs->GetAuthorityName(nullptr);
  const char* code = srs->GetAuthorityCode(nullptr);
  if (authority && code && std::string(authority) == "EPSG") return std::string("EPSG:") + code;
  char* wkt = nullptr;
  if (srs->exportToWkt(&wkt) != OGRERR_NONE) {
    CPLFree(wkt);
    return {};
  }
  std::string r = wkt ? wkt : "";
  CPLFree(wkt);
  return r;
}

bool ReadCrs(const std::string& text, OGRSpatialReference& srs) {
  StartGdal();
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return !text.empty() && srs.SetFromUserInput(text.c_str()) == OGRERR_NONE;
}

}  // namespace sorvan::platform
