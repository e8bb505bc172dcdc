#pragma once
// GIS point layers (GeoPackage, Shapefile, GeoJSON...) read through GDAL/OGR
// into the data set: the point geometry gives the variables "X" and "Y", the
// numeric attributes the rest; the layer's coordinate reference system is kept
// with the data set ("EPSG:n" when it has an EPSG code, else its WKT).
#include <string>

#include "core/spatial_data.h"
#include "core/result.h"

namespace sorvan::platform {
using namespace sorvan::core;

// True for the extensions read as GIS layers (".gpkg", ".shp", ".geojson", ".json").
bool IsGisLayer(const std::string& path);

// Reads the first layer of `path`. Failures name the file and the feature:
// a file GDAL cannot open, no layer, an empty layer, a geometry that is not a
// point (by feature id and type). A feature without geometry gives missing X
// and Y; a null attribute a missing value. Text attributes are left out and
// named in the warning. `data` is replaced only on success.
Result ReadPointLayer(const std::string& path, SpatialData& data, const ReadOptions& options = {});

}  // namespace sorvan::platform
