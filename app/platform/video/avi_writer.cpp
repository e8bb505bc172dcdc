#include "platform/video/avi_writer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/atomic_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace sorvan::platform {
using namespace sorvan::core;

namespace {

std::string AvError(const std::string& what, int code) {
  // FFmpeg's I/O errors are negated system error numbers: their cause in
  // Spanish, as every other writer of the program gives it.
  if (code < 0 && code > -4096) return what + ": " + sorvan::core::ErrorCause(-code) + ".";
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return what + ": " + text + ".";
}

// A hidden name beside `path` for the file being written; the video gets its
// real name only once it is complete.
std::string TemporaryPath(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path p(path);
  return (p.parent_path() / ("." + p.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++)))
      .string();
}

std::uint32_t DibRowBytes(int width) { return static_cast<std::uint32_t>(((width * 24 + 31) / 32) * 4); }

// Pixel format the encoder works in. Lossy encoders get 4:2:0, which every
// player decodes; lossless ones the format that keeps the most of BGR24.
AVPixelFormat EncoderPixelFormat(const AVCodec* codec) {
  if (codec->id == AV_CODEC_ID_MJPEG) return AV_PIX_FMT_YUVJ420P;
  if (codec->pix_fmts == nullptr) return AV_PIX_FMT_YUV420P;
  for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
    if (*f == AV_PIX_FMT_BGR24) return AV_PIX_FMT_BGR24;
  if (codec->id == AV_CODEC_ID_MPEG4 || codec->id == AV_CODEC_ID_MSMPEG4V3) return AV_PIX_FMT_YUV420P;
  return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

}  // namespace

int LimitFramesPerSecond(int fps) { return std::clamp(fps, 1, 30); }

struct AviWriter::Impl {
  AviStreamSettings settings;
  std::string path;
  std::string temporary;  // where the frames go until Close() renames it to `path`
  std::string error;
  AVFormatContext* format = nullptr;
  AVStream* stream = nullptr;
  AVCodecContext* encoder = nullptr;  // null for uncompressed frames
  SwsContext* scaler = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int frames = 0;
  bool headerWritten = false;

  bool Fail(const std::string& text) {
    error = text;
    return false;
  }
  bool Fail(const std::string& what, int code) { return Fail(AvError(what, code)); }

  bool OpenEncoder(const AVCodec* codec);
  bool Drain(AVFrame* input);
  // Closes the output, and returns the close's status (0 or an error).
  int Release();
  void Discard();
};

bool AviWriter::Impl::OpenEncoder(const AVCodec* codec) {
  encoder = avcodec_alloc_context3(codec);
  if (encoder == nullptr) return Fail("Cannot allocate the video encoder");
  encoder->width = settings.width;
  encoder->height = settings.height;
  encoder->pix_fmt = EncoderPixelFormat(codec);
  encoder->time_base = AVRational{1, settings.fps};
  encoder->framerate = AVRational{settings.fps, 1};
  // Every frame a key frame, so that any frame of the video can be shown alone.
  encoder->gop_size = 1;
  encoder->max_b_frames = 0;
  if (format->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (codec->id == AV_CODEC_ID_MJPEG) encoder->color_range = AVCOL_RANGE_JPEG;
  if (codec->id == AV_CODEC_ID_MPEG4 || codec->id == AV_CODEC_ID_MJPEG || codec->id == AV_CODEC_ID_MSMPEG4V3) {
    // Constant quality: quality 100 is quantiser 2, quality 1 quantiser 31.
    const int q = 31 - (std::clamp(settings.quality, 1, 100) - 1) * 29 / 99;
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * q;
  }
  int rc = avcodec_open2(encoder, codec, nullptr);
  if (rc < 0) return Fail("Cannot open the video encoder", rc);
  rc = avcodec_parameters_from_context(stream->codecpar, encoder);
  if (rc < 0) return Fail("Cannot set the stream format", rc);

  frame = av_frame_alloc();
  if (frame == nullptr) return Fail("Cannot allocate a video frame");
  frame->format = encoder->pix_fmt;
  frame->width = settings.width;
  frame->height = settings.height;
  rc = av_frame_get_buffer(frame, 0);
  if (rc < 0) return Fail("Cannot allocate a video frame", rc);
  scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGR24, settings.width, settings.height,
                          encoder->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (scaler == nullptr) return Fail("Cannot convert the frames to the encoder's pixel format");
  return true;
}

// Sends one frame (or null to flush) and writes every packet the encoder returns.
bool AviWriter::Impl::Drain(AVFrame* input) {
  int rc = avcodec_send_frame(encoder, input);
  if (rc < 0) return Fail("Cannot encode a frame", rc);
  for (;;) {
    rc = avcodec_receive_packet(encoder, packet);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail("Cannot encode a frame", rc);
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
    rc = av_interleaved_write_frame(format, packet);
    if (rc == 0 && format->pb->error < 0) rc = format->pb->error;
    if (rc < 0) return Fail("No se puede escribir el vídeo «" + path + "»", rc);
  }
}

int AviWriter::Impl::Release() {
  int rc = 0;
  if (format != nullptr) {
    if (format->pb != nullptr) {
      // The buffered end of the file is written here: its failure counts.
      avio_flush(format->pb);
      if (format->pb->error < 0) rc = format->pb->error;
      const int closed = avio_closep(&format->pb);
      if (rc == 0) rc = closed;
    }
    avformat_free_context(format);
    format = nullptr;
  }
  stream = nullptr;
  avcodec_free_context(&encoder);
  sws_freeContext(scaler);
  scaler = nullptr;
  av_frame_free(&frame);
  av_packet_free(&packet);
  headerWritten = false;
  return rc;
}

void AviWriter::Impl::Discard() {
  Release();
  if (!temporary.empty()) std::remove(temporary.c_str());
  temporary.clear();
}

AviWriter::AviWriter() : d_(std::make_unique<Impl>()) {}

AviWriter::~AviWriter() { d_->Discard(); }

int AviWriter::FramesWritten() const { return d_->frames; }
const std::string& AviWriter::Error() const { return d_->error; }

bool AviWriter::Open(const std::string& path, const AviStreamSettings& settings) {
  d_->Discard();
  // FFmpeg's own notices would go to the terminal; failures reach the user
  // through Error() instead.
  av_log_set_level(AV_LOG_ERROR);
  d_->settings = settings;
  d_->settings.fps = LimitFramesPerSecond(settings.fps);
  d_->path = path;
  d_->frames = 0;
  d_->error.clear();
  if (settings.width <= 0 || settings.height <= 0 || settings.width > 65535 || settings.height > 65535)
    return d_->Fail("Invalid frame size " + std::to_string(settings.width) + " x " + std::to_string(settings.height));

  const AVCodec* codec = avcodec_find_encoder_by_name(settings.encoder.c_str());
  if (codec == nullptr) return d_->Fail("Video encoder not available: " + settings.encoder);

  int rc = avformat_alloc_output_context2(&d_->format, nullptr, "avi", path.c_str());
  if (rc < 0 || d_->format == nullptr) return d_->Fail("Cannot create the AVI writer", rc);
  d_->stream = avformat_new_stream(d_->format, nullptr);
  if (d_->stream == nullptr) return d_->Fail("Cannot create the video stream");
  d_->stream->time_base = AVRational{1, d_->settings.fps};  // scale 1, rate fps
  d_->stream->avg_frame_rate = AVRational{d_->settings.fps, 1};
  d_->packet = av_packet_alloc();
  if (d_->packet == nullptr) return d_->Fail("Cannot allocate a video packet");

  AVDictionary* muxerOptions = nullptr;
  if (codec->id == AV_CODEC_ID_RAWVIDEO) {
    // Uncompressed: the DIB rows go into the file as they are, bottom-up with
    // a positive height in the stream format, like any Windows AVI.
    AVCodecParameters* par = d_->stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0;
    par->format = AV_PIX_FMT_BGR24;
    par->width = settings.width;
    par->height = settings.height;
    par->bits_per_coded_sample = 24;
    av_dict_set(&muxerOptions, "flipped_raw_rgb", "1", 0);
  } else if (!d_->OpenEncoder(codec)) {
    return false;
  }

  d_->temporary = TemporaryPath(path);
  rc = avio_open(&d_->format->pb, d_->temporary.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    d_->temporary.clear();
    av_dict_free(&muxerOptions);
    return d_->Fail("No se puede crear el vídeo «" + path + "»", rc);
  }
  rc = avformat_write_header(d_->format, &muxerOptions);
  av_dict_free(&muxerOptions);
  if (rc < 0) {
    const bool ok = d_->Fail("No se puede escribir el vídeo «" + path + "»", rc);
    d_->Discard();
    return ok;
  }
  d_->headerWritten = true;
  return true;
}

bool AviWriter::WriteFrame(const std::uint8_t* bgr24, std::size_t size) {
  if (!d_->headerWritten) return d_->Fail("The AVI file is not open");
  const std::uint32_t stride = DibRowBytes(d_->settings.width);
  const std::size_t expected = static_cast<std::size_t>(stride) * static_cast<std::size_t>(d_->settings.height);
  if (bgr24 == nullptr || size != expected)
    return d_->Fail("El fotograma " + std::to_string(d_->frames + 1) + " tiene " + std::to_string(size) +
                    " bytes; se esperaban " + std::to_string(expected));

  if (d_->encoder == nullptr) {
    AVPacket* p = d_->packet;
    int rc = av_new_packet(p, static_cast<int>(size));
    if (rc < 0) return d_->Fail("Cannot allocate a video packet", rc);
    std::memcpy(p->data, bgr24, size);
    p->pts = p->dts = d_->frames;
    p->duration = 1;
    p->flags |= AV_PKT_FLAG_KEY;
    p->stream_index = d_->stream->index;
    rc = av_interleaved_write_frame(d_->format, p);
    if (rc == 0 && d_->format->pb->error < 0) rc = d_->format->pb->error;
    if (rc < 0) return d_->Fail("No se puede escribir el vídeo «" + d_->path + "»", rc);
  } else {
    int rc = av_frame_make_writable(d_->frame);
    if (rc < 0) return d_->Fail("Cannot prepare a video frame", rc);
    // The DIB is bottom-up: start at its last row and walk backwards.
    const std::uint8_t* src[1] = {bgr24 + static_cast<std::size_t>(stride) * (d_->settings.height - 1)};
    const int srcStride[1] = {-static_cast<int>(stride)};
    sws_scale(d_->scaler, src, srcStride, 0, d_->settings.height, d_->frame->data, d_->frame->linesize);
    d_->frame->pts = d_->frames;
    d_->frame->pict_type = AV_PICTURE_TYPE_I;
    d_->frame->key_frame = 1;
    if (d_->encoder->flags & AV_CODEC_FLAG_QSCALE) d_->frame->quality = d_->encoder->global_quality;
    if (!d_->Drain(d_->frame)) return false;
  }
  ++d_->frames;
  return true;
}

bool AviWriter::Close() {
  if (!d_->headerWritten) return d_->Fail("The AVI file is not open");
  bool ok = true;
  if (d_->encoder != nullptr) ok = d_->Drain(nullptr);
  const int rc = av_write_trailer(d_->format);
  d_->headerWritten = false;
  const std::string name = "No se puede completar el vídeo «" + d_->path + "»";
  if (rc < 0 && ok) ok = d_->Fail(name, rc);
  const int closed = d_->Release();
  if (closed < 0 && ok) ok = d_->Fail(name, closed);
  // Only a complete file takes the real name; anything else is removed.
  if (ok && std::rename(d_->temporary.c_str(), d_->path.c_str()) != 0) ok = d_->Fail(name, AVERROR(errno));
  if (!ok) std::remove(d_->temporary.c_str());
  d_->temporary.clear();
  return ok;
}

void AviWriter::Abort() { d_->Discard(); }

}  // namespace sorvan::platform
