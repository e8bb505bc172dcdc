// libFuzzer target of the bitmap reader (".bmp"): any input ends in a bitmap
// whose parts fit its file, or in a message naming the file; converting a
// bitmap that was read never reads past its pixels.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/bitmap/cDIB.h"

using namespace sorvan::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  static const std::string path = "/tmp/sorvan_fuzz_bitmap_" + std::to_string(::getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (length > 0 && std::fwrite(data, 1, length, f) != length) std::abort();
  if (std::fclose(f) != 0) std::abort();

  cDIB dib;
  if (!dib.CreateFromFile(path)) {
    if (dib.LastMessage().text.find(path) == std::string::npos) std::abort();
    return 0;
  }
  // What was read fits in the file.
  if (size_t(dib.SizeBitmapInfo()) + size_t(dib.SizeImage()) + cDIB::kFileHeaderSize > length) std::abort();
  std::vector<std::uint8_t> bgr;
  if (dib.ToBGR24(bgr) && bgr.size() != cDIB::RowBytes(dib.Width(), 24) * size_t(std::abs(dib.Height()))) std::abort();
  return 0;
}
