#pragma once
// The video encoders of this machine's FFmpeg that can go into an AVI file,
// offered to the user in place of the system's compressor dialog.
#include <string>
#include <vector>

namespace sorvan::platform {

struct AviEncoder {
  std::string name;         // FFmpeg encoder name: "rawvideo", "mjpeg", ...
  std::string description;  // what the user reads in the list
  bool lossy = false;       // true when a quality setting applies
};

// "rawvideo" (uncompressed 24-bit frames) first, then every other known
// encoder that this FFmpeg has and that the AVI muxer accepts.
std::vector<AviEncoder> AviEncoders();

}  // namespace sorvan::platform
