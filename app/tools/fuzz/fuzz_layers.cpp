// libFuzzer target of the GIS layer reader, on GeoJSON text held in GDAL's
// in-memory file system. Any input must end in a whole data set or a message
// naming the file.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <cpl_vsi.h>

#include "platform/gis/point_layer.h"

using namespace sorvan::core;
using namespace sorvan::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  const char* path = "/vsimem/fuzz.geojson";
  VSILFILE* f = VSIFileFromMemBuffer(path, const_cast<GByte*>(reinterpret_cast<const GByte*>(data)),
                                     vsi_l_offset(length), FALSE);
  if (!f) return 0;
  VSIFCloseL(f);
  sorvan::core::SpatialData d;
  const sorvan::core::Result r = sorvan::platform::ReadPointLayer(path, d);
  VSIUnlink(path);
  if (r.ok) {
    if (d.nvar < 2 || d.matrix.size() != size_t(d.N) * size_t(d.nvar)) std::abort();
    for (double v : d.matrix)
      if (!std::isnan(v) && !std::isfinite(v)) std::abort();
  } else if (r.message.rfind(path, 0) != 0) {
    std::abort();
  }
  return 0;
}
