// libFuzzer target of the delimited text reader. The first byte chooses the
// separator and decimal mark (or detection); the rest is the file. Any input
// must end in a whole data set or a message naming the file.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/delimited_text.h"

using namespace sorvan::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  if (length == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, length - 1);
  sorvan::core::TextFormat f = sorvan::core::DetectFormat(text);
  if (data[0] & 1) f.separator = ";,\t "[(data[0] >> 1) & 3];
  if (data[0] & 8) f.decimal = f.decimal == '.' ? ',' : '.';
  sorvan::core::ReadOptions op;
  if (data[0] & 16) op.missingValue = -9999.0;
  sorvan::core::SpatialData d;
  const sorvan::core::Result r = sorvan::core::ReadDelimitedText(text, "fuzz.csv", f, d, op);
  if (r.ok) {
    if (d.matrix.size() != size_t(d.N) * size_t(d.nvar) || d.names.size() != size_t(d.nvar)) std::abort();
    for (double v : d.matrix)
      if (!std::isnan(v) && !std::isfinite(v)) std::abort();
  } else if (r.message.rfind("fuzz.csv", 0) != 0) {
    std::abort();
  }
  (void)sorvan::core::Preview(text, f, 20);
  return 0;
}
