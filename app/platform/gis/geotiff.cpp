#include "platform/gis/geotiff.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "core/atomic_writer.h"
#include "core/text_export.h"
#include "platform/gis/gdal_common.h"

namespace sorvan::platform {
using namespace sorvan::core;

Result WriteGeoTiff(const std::string& path, const KrigingSurfaces& s, const std::string& crs) {
  StartGdal();
  if (s.nx < 1 || s.ny < 1 || s.SupPred.size() != size_t(s.nx) * size_t(s.ny) || (!s.SupVar.empty() && s.SupVar.size() != s.SupPred.size()))
    return Result::Error(path + ": no hay superficies que exportar.");
  // One surface alone (read from a file) is a single band.
  const int bands = s.SupVar.empty() ? 1 : 2;
  OGRSpatialReference srs;
  if (!crs.empty() && !ReadCrs(crs, srs))
    return Result::Error("No se reconoce el sistema de referencia «" + crs + "».");

  namespace fs = std::filesystem;
  const fs::path destination(path);
  const fs::path temporary = (destination.has_parent_path() ? destination.parent_path() : fs::path(".")) /
                            ("." + destination.filename().string() + ".tmp-" + std::to_string(::getpid()) + ".tif");
  auto fail = [&](const std::string& cause) {
    std::error_code ec;
    fs::remove(temporary, ec);
    return Result::Error("No se pudo escribir el archivo «" + path + "»: " + cause + ".");
  };

  CPLErrorReset();
  GDALDriver* drv = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (!drv) return fail("GDAL no tiene el controlador GeoTIFF");
  GDALDataset* ds = drv->Create(temporary.string().c_str(), s.nx, s.ny, bands, GDT_Float32, nullptr);
  if (!ds) return fail(LastGdalError("no se pudo crear"));
  // The top-left corner of the top-left pixel, half a cell from its node.
  double gt[6] = {double(s.xMin) - double(s.dx) / 2, double(s.dx), 0,
                  double(s.yMin) + double(s.dy) * (s.ny - 1) + double(s.dy) / 2, 0, -double(s.dy)};
  bool ok = ds->SetGeoTransform(gt) == CE_None;
  if (ok && !crs.empty()) ok = ds->SetSpatialRef(&srs) == CE_None;
  std::vector<float> row(size_t(s.nx));
  for (int b = 1; b <= bands && ok; ++b) {
    GDALRasterBand* band = ds->GetRasterBand(b);
    band->SetNoDataValue(kRasterNoData);
    band->SetDescription(bands == 1 ? "valor" : b == 1 ? "prediccion" : "varianza");
    const std::vector<float>& v = b == 1 ? s.SupPred : s.SupVar;
    for (int r = 0; r < s.ny && ok; ++r) {
      const int j = s.ny - 1 - r;  // rows from the top (largest Y)
      for (int i = 0; i < s.nx; ++i) {
        const size_t k = size_t(i) + size_t(j) * size_t(s.nx);
        row[size_t(i)] = IsHole(s, k) ? float(kRasterNoData) : v[k];
      }
      ok = band->RasterIO(GF_Write, 0, r, s.nx, 1, row.data(), s.nx, 1, GDT_Float32, 0, 0) == CE_None;
    }
  }
  GDALClose(ds);  // flushes; a write error shows as GDAL's last error
  if (!ok || CPLGetLastErrorType() >= CE_Failure) return fail(LastGdalError("error de escritura"));
  std::error_code ec;
  fs::rename(temporary, destination, ec);
  if (ec) return fail(ErrorCause(ec.value()));
  return Result::Success();
}

}  // namespace sorvan::platform
