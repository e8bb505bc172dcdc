#pragma once
// What the GDAL adapters share: one-time driver registration, the last GDAL
// error as text, and a coordinate reference system as the data set keeps it.
#include <string>

class OGRSpatialReference;

namespace sorvan::platform {

void StartGdal();
// GDAL's last error message, or `ifNone` when there is none.
std::string LastGdalError(const std::string& ifNone);
// "EPSG:n" when the system has an EPSG code, else its WKT; empty for none.
std::string CrsText(const OGRSpatialReference* srs);
// Sets `srs` from "EPSG:n" or WKT (or anything GDAL's user input takes);
// false if it is not understood.
bool ReadCrs(const std::string& text, OGRSpatialReference& srs);

}  // namespace sorvan::platform
