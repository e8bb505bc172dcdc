// AviWriter: the files are checked twice, by walking their RIFF chunks here and
// by reading them back through libavformat/libavcodec.
#include "platform/video/avi_encoders.h"
#include "platform/video/avi_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

using namespace sorvan::platform;

namespace {

namespace fs = std::filesystem;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string FourCC(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

// What the RIFF walk finds in an AVI file.
struct RiffSummary {
  int streamLists = 0;
  std::size_t strh = 0, strf = 0, avih = 0;  // offsets of the chunk data
  int movieChunks = 0;
  std::vector<std::uint32_t> movieChunkSizes;
  int indexEntries = 0;
  int indexKeyFrames = 0;
};

void Walk(const std::vector<std::uint8_t>& b, std::size_t begin, std::size_t end, RiffSummary& s,
          const std::string& inside) {
  std::size_t at = begin;
  while (at + 8 <= end) {
    const std::string id = FourCC(b, at);
    const std::uint32_t size = U32(b, at + 4);
    const std::size_t data = at + 8;
    ASSERT_LE(data + size, b.size()) << "chunk " << id << " runs past the end of the file";
    if (id == "RIFF" || id == "LIST") {
      const std::string type = FourCC(b, data);
      if (type == "strl") ++s.streamLists;
      Walk(b, data + 4, data + size, s, type);
    } else if (id == "avih") {
      s.avih = data;
    } else if (id == "strh") {
      s.strh = data;
    } else if (id == "strf") {
      s.strf = data;
    } else if (inside == "movi" && (id == "00dc" || id == "00db")) {
      ++s.movieChunks;
      s.movieChunkSizes.push_back(size);
    } else if (id == "idx1") {
      for (std::size_t e = data; e + 16 <= data + size; e += 16) {
        ++s.indexEntries;
        if (U32(b, e + 4) & 0x10) ++s.indexKeyFrames;  // AVIIF_KEYFRAME
      }
    }
    at = data + size + (size & 1);
  }
}

// A 24-bit DIB frame, bottom-up rows padded to 4 bytes: a colour band per frame
// number, and a white block in the top-left corner to check the orientation.
std::vector<std::uint8_t> Frame(int width, int height, int number) {
  const int stride = ((width * 24 + 31) / 32) * 4;
  std::vector<std::uint8_t> px(static_cast<std::size_t>(stride) * height, 0);
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &px[static_cast<std::size_t>(row) * stride + 3 * x];
      const int yTop = height - 1 - row;
      const bool corner = x < width / 4 && yTop < height / 4;
      p[0] = corner ? 255 : static_cast<std::uint8_t>(40 * number);
      p[1] = corner ? 255 : static_cast<std::uint8_t>(x % 256);
      p[2] = corner ? 255 : 100;
    }
  return px;
}

class AviWriterTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sorvan_avi_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string WriteVideo(const std::string& name, int width, int height, int fps, const std::string& encoder,
                         int frames = 3) {
    const std::string path = (dir_ / name).string();
    AviStreamSettings s;
    s.width = width;
    s.height = height;
    s.fps = fps;
    s.encoder = encoder;
    AviWriter w;
    EXPECT_TRUE(w.Open(path, s)) << w.Error();
    for (int i = 0; i < frames; ++i) {
      const auto f = Frame(width, height, i + 1);
      EXPECT_TRUE(w.WriteFrame(f.data(), f.size())) << w.Error();
    }
    EXPECT_TRUE(w.Close()) << w.Error();
    return path;
  }

  fs::path dir_;
};

TEST(FrameRate, IsBroughtIntoOneToThirty) {
  EXPECT_EQ(LimitFramesPerSecond(0), 1);
  EXPECT_EQ(LimitFramesPerSecond(-4), 1);
  EXPECT_EQ(LimitFramesPerSecond(1), 1);
  EXPECT_EQ(LimitFramesPerSecond(12), 12);
  EXPECT_EQ(LimitFramesPerSecond(30), 30);
  EXPECT_EQ(LimitFramesPerSecond(45), 30);
}

TEST(Encoders, OfferUncompressedAndTheUsualCompressors) {
  const auto list = AviEncoders();
  std::map<std::string, bool> names;
  for (const auto& e : list) names[e.name] = e.lossy;
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.front().name, "rawvideo");
  EXPECT_TRUE(names.count("mjpeg"));
  EXPECT_TRUE(names.count("mpeg4"));
  EXPECT_TRUE(names.count("ffv1") || names.count("huffyuv"));
  EXPECT_FALSE(names["rawvideo"]);
  EXPECT_TRUE(names["mjpeg"]);
}

TEST_F(AviWriterTest, ThreeFramesOf320x240HaveTheExpectedRiffHeaders) {
  const auto path = WriteVideo("three.avi", 320, 240, 5, "rawvideo");
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(b.size(), 3u * 230400u);
  ASSERT_EQ(FourCC(b, 0), "RIFF");
  ASSERT_EQ(FourCC(b, 8), "AVI ");

  RiffSummary s;
  Walk(b, 0, b.size(), s, "");
  EXPECT_EQ(s.streamLists, 1);
  ASSERT_NE(s.avih, 0u);
  ASSERT_NE(s.strh, 0u);
  ASSERT_NE(s.strf, 0u);

  EXPECT_EQ(U32(b, s.avih + 16), 3u);  // dwTotalFrames
  EXPECT_EQ(U32(b, s.avih + 24), 1u);  // dwStreams
  EXPECT_EQ(U32(b, s.avih + 32), 320u);
  EXPECT_EQ(U32(b, s.avih + 36), 240u);

  EXPECT_EQ(FourCC(b, s.strh), "vids");
  EXPECT_EQ(U32(b, s.strh + 20), 1u);       // dwScale
  EXPECT_EQ(U32(b, s.strh + 24), 5u);       // dwRate
  EXPECT_EQ(U32(b, s.strh + 32), 3u);       // dwLength: the frame count
  EXPECT_EQ(U32(b, s.strh + 36), 230400u);  // dwSuggestedBufferSize = 320 * 240 * 3
  EXPECT_EQ(U16(b, s.strh + 48), 0);        // rcFrame
  EXPECT_EQ(U16(b, s.strh + 50), 0);
  EXPECT_EQ(U16(b, s.strh + 52), 320);
  EXPECT_EQ(U16(b, s.strh + 54), 240);

  EXPECT_EQ(U32(b, s.strf + 4), 320u);   // biWidth
  EXPECT_EQ(U32(b, s.strf + 8), 240u);   // biHeight, positive: bottom-up rows
  EXPECT_EQ(U16(b, s.strf + 14), 24);    // biBitCount
  EXPECT_EQ(U32(b, s.strf + 16), 0u);    // BI_RGB

  EXPECT_EQ(s.movieChunks, 3);
  for (auto size : s.movieChunkSizes) EXPECT_EQ(size, 230400u);
  EXPECT_EQ(s.indexEntries, 3);
  EXPECT_EQ(s.indexKeyFrames, 3);
}

// Reads a video back through FFmpeg: stream count, rate, frames, key flags,
// and the colour of the top-left corner and of the centre of the last frame.
struct ReadBack {
  int streams = 0;
  AVRational rate{0, 1};
  int width = 0, height = 0;
  int packets = 0, keyPackets = 0, frames = 0;
  std::uint8_t corner[3] = {}, centre[3] = {};
};

ReadBack ReadWithFfmpeg(const std::string& path) {
  ReadBack r;
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return r;
  avformat_find_stream_info(fmt, nullptr);
  r.streams = static_cast<int>(fmt->nb_streams);
  AVStream* st = fmt->streams[0];
  r.rate = st->r_frame_rate;
  r.width = st->codecpar->width;
  r.height = st->codecpar->height;
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, st->codecpar);
  avcodec_open2(dec, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  AVFrame* rgb = av_frame_alloc();
  auto take = [&] {
    while (avcodec_receive_frame(dec, frame) == 0) {
      ++r.frames;
      // Sample in RGB through a tiny conversion of two pixels.
      rgb->format = AV_PIX_FMT_RGB24;
      rgb->width = frame->width;
      rgb->height = frame->height;
      av_frame_get_buffer(rgb, 0);
      SwsContext* sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                       frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr,
                                       nullptr);
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, rgb->data, rgb->linesize);
      sws_freeContext(sws);
      const std::uint8_t* c = rgb->data[0] + 4 * rgb->linesize[0] + 3 * 4;
      const std::uint8_t* m = rgb->data[0] + (rgb->height / 2) * rgb->linesize[0] + 3 * (rgb->width / 2);
      std::memcpy(r.corner, c, 3);
      std::memcpy(r.centre, m, 3);
      av_frame_unref(rgb);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    if (pkt->size > 0) {
      ++r.packets;
      if (pkt->flags & AV_PKT_FLAG_KEY) ++r.keyPackets;
      avcodec_send_packet(dec, pkt);
      take();
    }
    av_packet_unref(pkt);
  }
  avcodec_send_packet(dec, nullptr);
  take();
  av_frame_free(&rgb);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  avformat_close_input(&fmt);
  return r;
}

TEST_F(AviWriterTest, UncompressedVideoReadsBackThroughFfmpegTheRightWayUp) {
  const auto r = ReadWithFfmpeg(WriteVideo("raw.avi", 320, 240, 5, "rawvideo"));
  EXPECT_EQ(r.streams, 1);
  EXPECT_EQ(r.rate.num, 5);
  EXPECT_EQ(r.rate.den, 1);
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.height, 240);
  EXPECT_EQ(r.packets, 3);
  EXPECT_EQ(r.keyPackets, 3);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.corner[0], 255);  // white corner block at the top left
  EXPECT_EQ(r.corner[2], 255);
  EXPECT_EQ(r.centre[0], 100);  // red 100, blue 40 * 3 in the third frame
  EXPECT_EQ(r.centre[2], 120);
}

TEST_F(AviWriterTest, RowsPaddedToFourBytesSurviveTheRoundTrip) {
  // 10 pixels of 3 bytes: rows of 30 bytes padded to 32.
  const auto r = ReadWithFfmpeg(WriteVideo("odd.avi", 10, 10, 30, "rawvideo", 2));
  EXPECT_EQ(r.frames, 2);
  EXPECT_EQ(r.rate.num, 30);
  EXPECT_EQ(r.centre[0], 100);
  EXPECT_EQ(r.centre[1], 5);  // green = x
  EXPECT_EQ(r.centre[2], 80);
}

TEST_F(AviWriterTest, EveryOfferedEncoderWritesThreeKeyFrames) {
  for (const auto& e : AviEncoders()) {
    SCOPED_TRACE(e.name);
    const auto r = ReadWithFfmpeg(WriteVideo(e.name + ".avi", 320, 240, 2, e.name));
    EXPECT_EQ(r.streams, 1);
    EXPECT_EQ(r.rate.num, 2);
    EXPECT_EQ(r.packets, 3);
    EXPECT_EQ(r.keyPackets, 3);
    EXPECT_EQ(r.frames, 3);
    EXPECT_NEAR(r.corner[1], 255, 12);  // the white corner block, after compression
    EXPECT_NEAR(r.centre[0], 100, 12);
    EXPECT_NEAR(r.centre[2], 120, 12);
  }
}

TEST_F(AviWriterTest, CompressedStreamKeepsScaleRateAndRectangle) {
  const auto path = WriteVideo("mjpeg.avi", 320, 240, 7, "mjpeg");
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  RiffSummary s;
  Walk(b, 0, b.size(), s, "");
  EXPECT_EQ(s.streamLists, 1);
  EXPECT_EQ(U32(b, s.strh + 20), 1u);
  EXPECT_EQ(U32(b, s.strh + 24), 7u);
  EXPECT_EQ(U16(b, s.strh + 52), 320);
  EXPECT_EQ(U16(b, s.strh + 54), 240);
  EXPECT_EQ(s.indexKeyFrames, 3);
}

TEST_F(AviWriterTest, FrameOfTheWrongSizeIsRefusedWithAMessage) {
  AviStreamSettings s;
  s.width = 320;
  s.height = 240;
  AviWriter w;
  ASSERT_TRUE(w.Open((dir_ / "x.avi").string(), s)) << w.Error();
  std::vector<std::uint8_t> small(100);
  EXPECT_FALSE(w.WriteFrame(small.data(), small.size()));
  EXPECT_NE(w.Error().find("se esperaban 230400"), std::string::npos) << w.Error();
}

TEST_F(AviWriterTest, UnwritablePathFailsToOpen) {
  AviStreamSettings s;
  s.width = 32;
  s.height = 32;
  AviWriter w;
  const auto path = (dir_ / "missing" / "x.avi").string();
  EXPECT_FALSE(w.Open(path, s));
  EXPECT_NE(w.Error().find(path), std::string::npos) << w.Error();
}

TEST_F(AviWriterTest, AbortRemovesTheUnfinishedFile) {
  AviStreamSettings s;
  s.width = 32;
  s.height = 32;
  const auto path = (dir_ / "gone.avi").string();
  AviWriter w;
  ASSERT_TRUE(w.Open(path, s));
  const auto f = Frame(32, 32, 1);
  ASSERT_TRUE(w.WriteFrame(f.data(), f.size()));
  w.Abort();
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
