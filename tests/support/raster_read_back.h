#pragma once
// A raster export read back with GDAL: its size, geotransform and CRS code,
// and each band's values (rows from the top) and no-data value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

namespace test_data {

struct RasterReadBack {
  int nx = 0, ny = 0, bands = 0;
  double gt[6] = {};
  std::vector<std::vector<float>> values;  // per band, rows from the top
  std::vector<double> noData;               // per band; NaN when the band has none
  std::string crs;                          // "EPSG:<code>", or empty
};

inline RasterReadBack ReadRasterBack(const std::string& path) {
  RasterReadBack r;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  EXPECT_NE(ds, nullptr) << path;
  if (!ds) return r;
  r.nx = ds->GetRasterXSize();
  r.ny = ds->GetRasterYSize();
  r.bands = ds->GetRasterCount();
  ds->GetGeoTransform(r.gt);
  if (const OGRSpatialReference* srs = ds->GetSpatialRef()) {
    const char* code = srs->GetAuthorityCode(nullptr);
    if (code) r.crs = std::string("EPSG:") + code;
  }
  for (int b = 1; b <= r.bands; ++b) {
    GDALRasterBand* band = ds->GetRasterBand(b);
    std::vector<float> v(std::size_t(r.nx) * std::size_t(r.ny));
    EXPECT_EQ(band->RasterIO(GF_Read, 0, 0, r.nx, r.ny, v.data(), r.nx, r.ny, GDT_Float32, 0, 0), CE_None) << path;
    r.values.push_back(v);
    int has = 0;
    const double value = band->GetNoDataValue(&has);
    r.noData.push_back(has ? value : NAN);
  }
  return r;
}

// The value of grid node (i, j), 0-based with j growing northwards, in a band.
inline float RasterNode(const RasterReadBack& r, int band, int i, int j) {
  return r.values[std::size_t(band)][std::size_t(i) + std::size_t(r.ny - 1 - j) * std::size_t(r.nx)];
}

}  // namespace test_data
