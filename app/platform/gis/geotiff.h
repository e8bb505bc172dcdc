#pragma once
// Surfaces as a GeoTIFF: float32, band 1 the prediction, band 2 the kriging
// variance, holes as no-data (kRasterNoData), each node at the centre of its
// pixel, the coordinate reference system when known. Written under a
// temporary name in the same folder and renamed when GDAL reports no error.
// One surface alone (SupVar empty) is a single band.
#include <string>

#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::platform {
using namespace sorvan::core;

Result WriteGeoTiff(const std::string& path, const KrigingSurfaces& s, const std::string& crs);

}  // namespace sorvan::platform
