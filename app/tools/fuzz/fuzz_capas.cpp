// libFuzzer target of the GIS layer reader, on GeoJSON text held in GDAL's
// in-memory file system. Any input must end in a whole data set or a message
// naming the file.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <cpl_vsi.h>

#include "platform/gis/capa_puntos.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
  const char* ruta = "/vsimem/fuzz.geojson";
  VSILFILE* f = VSIFileFromMemBuffer(ruta, const_cast<GByte*>(reinterpret_cast<const GByte*>(datos)),
                                     vsi_l_offset(largo), FALSE);
  if (!f) return 0;
  VSIFCloseL(f);
  sorvan::DatosEspaciales d;
  const sorvan::Resultado r = sorvan::LeeCapaPuntos(ruta, d);
  VSIUnlink(ruta);
  if (r.ok) {
    if (d.nvar < 2 || d.matriz.size() != size_t(d.N) * size_t(d.nvar)) std::abort();
    for (double v : d.matriz)
      if (!std::isnan(v) && !std::isfinite(v)) std::abort();
  } else if (r.mensaje.rfind(ruta, 0) != 0) {
    std::abort();
  }
  return 0;
}
