// libFuzzer target of the ".dae" and ".per" readers. The first byte chooses
// the reader and the row limit; the rest is the file. Any input must end in
// a data set or a message naming the file, within bounded memory.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/spatial_data.h"
#include "core/profile.h"

using namespace sorvan::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  if (length == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, length - 1);
  std::istringstream input(text);
  sorvan::core::Result r;
  if (data[0] & 1) {
    sorvan::core::Profile p;
    r = sorvan::core::LeePerfil(input, "fuzz.per", p);
    if (r.ok && (p.npts < 3 || p.x.size() != size_t(p.npts))) std::abort();
  } else {
    sorvan::core::SpatialData d;
    sorvan::core::ReadOptions op;
    op.rowLimit = (data[0] & 2) ? 0 : 2048;
    if (data[0] & 4) op.missingValue = -9999.0;
    r = sorvan::core::ReadData(input, "fuzz.dae", d, op);
    if (r.ok && d.matrix.size() != size_t(d.N) * size_t(d.nvar)) std::abort();
  }
  if (!r.ok && r.message.rfind("fuzz.", 0) != 0) std::abort();
  return 0;
}
