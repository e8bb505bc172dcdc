#include "platform/video/avi_encoders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace sorvan::platform {

namespace {

struct Candidate {
  const char* name;
  const char* description;
  bool lossy;
};

// Encoders that AVI players commonly know, in the order they are offered.
constexpr Candidate kCandidates[] = {
    {"rawvideo", "Fotogramas completos (sin compresión)", false},
    {"mjpeg", "Motion JPEG", true},
    {"mpeg4", "MPEG-4 parte 2", true},
    {"msmpeg4", "MPEG-4 de Microsoft v3", true},
    {"huffyuv", "HuffYUV (sin pérdidas)", false},
    {"ffv1", "FFV1 (sin pérdidas)", false},
    {"utvideo", "Ut Video (sin pérdidas)", false},
};

}  // namespace

std::vector<AviEncoder> AviEncoders() {
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  std::vector<AviEncoder> list;
  for (const Candidate& c : kCandidates) {
    const AVCodec* codec = avcodec_find_encoder_by_name(c.name);
    if (codec == nullptr) continue;
    if (avi != nullptr && avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) != 1) continue;
    list.push_back({c.name, c.description, c.lossy});
  }
  return list;
}

}  // namespace sorvan::platform
