#pragma once
// cDIB: one device-independent bitmap held as the three parts of a Windows BMP
// file (file header, bitmap-info block, pixel data), as the AVI writer needs
// them: the bitmap-info block becomes the stream format and the pixel data the
// samples. Plain standard C++; all integers on file are little-endian.
//
// Messages of CreateFromFile are meant for the user. The class does not know
// how to show them: it hands each one to the message handler (the desktop
// program installs one that opens a message box) and keeps the last one.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sorvan::core {

struct DibMessage {
  enum class Icon { Critical, Information };
  Icon icon = Icon::Information;
  std::string text;  // English, e.g. "File does not exist:\n<name>"
};

class cDIB {
public:
  static constexpr std::uint16_t kTypeBM = 19778;  // "BM"
  static constexpr std::uint32_t kFileHeaderSize = 14;
  static constexpr std::uint32_t kInfoHeaderSize = 40;

  using MessageHandler = std::function<void(const DibMessage&)>;

  // Reads a BMP file. On failure the bitmap keeps its previous contents, the
  // message handler receives the reason (naming the file) and the result is
  // false. Every size of the headers is checked against the file's length in
  // 64 bits before anything is allocated; a failed allocation is a message.
  bool CreateFromFile(const std::string& filename);

  // Builds the bitmap from a packed DIB: a 40-byte BITMAPINFOHEADER directly
  // followed by the pixels, without colour table. Only bitmaps of 16 bits per
  // pixel or more with a non-zero image size are accepted; otherwise, or when
  // `length` (the bytes readable at pDIB) is shorter than header plus image
  // size, the result is false and the bitmap is left as it was.
  bool CreateFromPackedDIBPointer(const void* pDIB, std::size_t length);

  // Writes file header, bitmap-info block and pixels under a temporary name
  // beside `filename`, checking every write and the close, and renames it
  // over an existing file only when complete. False when the file cannot be
  // written completely; `error` then receives the message naming the file and
  // the cause (e.g. "no queda espacio en el disco"), and no partial file is
  // left.
  bool WriteToFile(const std::string& filename, std::string* error = nullptr) const;

  void SetMessageHandler(MessageHandler handler) { onMessage_ = std::move(handler); }
  const DibMessage& LastMessage() const { return lastMessage_; }

  // Header fields.
  std::int32_t BitCount() const { return bitCount_; }
  std::int32_t Height() const { return height_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Compression() const { return static_cast<std::int32_t>(compression_); }
  std::int32_t SizeInfoHeader() const { return static_cast<std::int32_t>(infoSize_); }
  std::int32_t SizeImage() const { return static_cast<std::int32_t>(sizeImage_); }
  std::int32_t Planes() const { return planes_; }
  std::int32_t ClrImportant() const { return static_cast<std::int32_t>(clrImportant_); }
  std::int32_t ClrUsed() const { return static_cast<std::int32_t>(clrUsed_); }
  std::int32_t XPPM() const { return xppm_; }
  std::int32_t YPPM() const { return yppm_; }
  std::int32_t FileType() const { return fileType_; }
  std::int32_t SizeFileHeader() const { return static_cast<std::int32_t>(fileSize_); }
  std::int32_t BitOffset() const { return static_cast<std::int32_t>(bitOffset_); }

  // Addresses of the parts; valid until the object is changed or destroyed.
  // Null while the part is empty.
  const std::uint8_t* PointerToBits() const { return bits_.empty() ? nullptr : bits_.data(); }
  const std::uint8_t* PointerToBitmapInfo() const {
    return bitmapInfo_.empty() ? nullptr : bitmapInfo_.data();
  }
  std::int32_t SizeBitmapInfo() const { return static_cast<std::int32_t>(bitmapInfo_.size()); }

  // The pixels in the standard 24-bit DIB layout (rows bottom-up, blue-green-red,
  // each row padded to 4 bytes): what an uncompressed video frame holds. Works
  // for uncompressed 1, 4, 8, 16 (5-5-5), 24 and 32-bit bitmaps of at most
  // 65535 pixels a side (the largest video frame); false for others, and for
  // headers whose size does not match the pixel data held.
  bool ToBGR24(std::vector<std::uint8_t>& out) const;

  // Bytes of one row of pixels, padded to a 4-byte boundary.
  static std::uint64_t RowBytes(std::int32_t width, std::int32_t bitCount);

private:
  void Report(DibMessage::Icon icon, const std::string& text, const std::string& filename);
  void ParseInfoHeader(const std::uint8_t* p);

  MessageHandler onMessage_;
  DibMessage lastMessage_;

  // File header.
  std::uint16_t fileType_ = 0;
  std::uint32_t fileSize_ = 0;
  std::uint16_t reserved1_ = 0;
  std::uint16_t reserved2_ = 0;
  std::uint32_t bitOffset_ = 0;

  // Information header.
  std::uint32_t infoSize_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::uint16_t planes_ = 0;
  std::uint16_t bitCount_ = 0;
  std::uint32_t compression_ = 0;
  std::uint32_t sizeImage_ = 0;
  std::int32_t xppm_ = 0;
  std::int32_t yppm_ = 0;
  std::uint32_t clrUsed_ = 0;
  std::uint32_t clrImportant_ = 0;

  std::vector<std::uint8_t> bitmapInfo_;  // information header + colour table
  std::vector<std::uint8_t> bits_;        // exactly SizeImage bytes
};

}  // namespace sorvan::core
