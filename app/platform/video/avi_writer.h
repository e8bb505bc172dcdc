#pragma once
// AviWriter: one video stream into an AVI file through FFmpeg's libavformat
// and libavcodec, standing in for the Windows AVIFile library.
//
// Stream header as the program has always written it: rate = frames per
// second, scale 1, frame rectangle (0, 0, width, height), every frame a key
// frame; the suggested buffer size is the largest frame stored, which for
// uncompressed frames is the image size of a frame. Frames are
// given in the 24-bit DIB layout (rows bottom-up, blue-green-red, each row
// padded to 4 bytes); the uncompressed encoder stores them exactly so.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sorvan::platform {

struct AviStreamSettings {
  int width = 0;
  int height = 0;
  int fps = 1;                             // 1 ... 30, see LimitFramesPerSecond
  std::string encoder = "rawvideo";        // an entry of AviEncoders()
  int quality = 75;                        // 1 (smallest) ... 100 (best), lossy encoders
};

// A frame rate brought into the 1 ... 30 frames per second of the stream header.
int LimitFramesPerSecond(int fps);

class AviWriter {
public:
  AviWriter();
  ~AviWriter();  // an unfinished file is removed
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Starts the file and writes its headers: frames go to a hidden temporary
  // file beside `path`, which gets the real name (replacing an older file)
  // only when Close() succeeds. False with Error() set.
  bool Open(const std::string& path, const AviStreamSettings& settings);

  // Appends one frame at the next stream position. `size` must be the size of
  // a 24-bit DIB of the stream's width and height.
  bool WriteFrame(const std::uint8_t* bgr24, std::size_t size);

  // Writes the index, completes the headers, checks that every byte reached
  // the disk and renames the file to its path. False with Error() set (the
  // message names the file and the cause, e.g. "no queda espacio en el
  // disco"); the unfinished file is removed and an older one keeps its content.
  bool Close();

  // Stops writing and deletes the unfinished file (used when the user cancels).
  void Abort();

  int FramesWritten() const;
  const std::string& Error() const;

private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace sorvan::platform
