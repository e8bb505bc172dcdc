#include "core/bitmap/cDIB.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

#include "core/atomic_writer.h"

namespace sorvan::core {

namespace {

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

}  // namespace

std::uint64_t cDIB::RowBytes(std::int32_t width, std::int32_t bitCount) {
  const std::uint64_t bits = static_cast<std::uint64_t>(width < 0 ? -static_cast<std::int64_t>(width) : width) *
                             static_cast<std::uint64_t>(bitCount < 0 ? 0 : bitCount);
  return ((bits + 31) / 32) * 4;
}

void cDIB::Report(DibMessage::Icon icon, const std::string& text, const std::string& filename) {
  lastMessage_.icon = icon;
  lastMessage_.text = text + "\n" + filename;
  if (onMessage_) onMessage_(lastMessage_);
}

void cDIB::ParseInfoHeader(const std::uint8_t* p) {
  infoSize_ = ReadU32(p);
  width_ = static_cast<std::int32_t>(ReadU32(p + 4));
  height_ = static_cast<std::int32_t>(ReadU32(p + 8));
  planes_ = ReadU16(p + 12);
  bitCount_ = ReadU16(p + 14);
  compression_ = ReadU32(p + 16);
  sizeImage_ = ReadU32(p + 20);
  xppm_ = static_cast<std::int32_t>(ReadU32(p + 24));
  yppm_ = static_cast<std::int32_t>(ReadU32(p + 28));
  clrUsed_ = ReadU32(p + 32);
  clrImportant_ = ReadU32(p + 36);
}

bool cDIB::CreateFromFile(const std::string& filename) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto length = fs::file_size(filename, ec);
  if (ec || fs::is_directory(filename, ec)) {
    Report(DibMessage::Icon::Critical, "File does not exist:", filename);
    return false;
  }

  errno = 0;
  std::ifstream in(filename, std::ios::binary);
  if (!in) {
    if (errno == EACCES || errno == EPERM)
      Report(DibMessage::Icon::Critical, "File is locked - cannot access:", filename);
    else
      Report(DibMessage::Icon::Information, errno ? std::strerror(errno) : "Cannot open file:", filename);
    return false;
  }

  std::uint8_t fileHeader[kFileHeaderSize] = {};
  if (!in.read(reinterpret_cast<char*>(fileHeader), kFileHeaderSize) || ReadU16(fileHeader) != kTypeBM) {
    Report(DibMessage::Icon::Information, "File is not a supported bitmap format:", filename);
    return false;
  }

  // Work on a copy so that a refused file leaves this bitmap as it was.
  cDIB next = *this;
  next.fileType_ = ReadU16(fileHeader);
  next.fileSize_ = ReadU32(fileHeader + 2);
  next.reserved1_ = ReadU16(fileHeader + 6);
  next.reserved2_ = ReadU16(fileHeader + 8);
  next.bitOffset_ = ReadU32(fileHeader + 10);

  std::uint8_t info[kInfoHeaderSize] = {};
  if (!in.read(reinterpret_cast<char*>(info), kInfoHeaderSize)) {
    Report(DibMessage::Icon::Information, "File is truncated - bitmap header incomplete:", filename);
    return false;
  }
  next.ParseInfoHeader(info);

  // Old OS/2 headers (12 bytes), headers larger than the file and offsets
  // that do not leave room for the information header cannot be described
  // by this class. Sums in 64 bits: a header size near 4 GiB must not wrap.
  if (next.infoSize_ < kInfoHeaderSize ||
      std::uint64_t(kFileHeaderSize) + next.infoSize_ > std::uint64_t(length) ||
      std::uint64_t(next.bitOffset_) < std::uint64_t(kFileHeaderSize) + next.infoSize_ ||
      std::uint64_t(next.bitOffset_) > std::uint64_t(length)) {
    Report(DibMessage::Icon::Information, "File is not a supported bitmap format:", filename);
    return false;
  }

  // An uncompressed bitmap may leave the image size at 0: it follows from the
  // geometry. A compressed one without size cannot be read.
  if (next.sizeImage_ == 0) {
    if (next.compression_ != kBiRgb && next.compression_ != kBiBitfields) {
      Report(DibMessage::Icon::Information, "File is not a supported bitmap format:", filename);
      return false;
    }
    const std::uint64_t rows = static_cast<std::uint64_t>(next.height_ < 0 ? -static_cast<std::int64_t>(next.height_)
                                                                            : next.height_);
    const std::uint64_t size = rows * RowBytes(next.width_, next.bitCount_);
    if (size > length) {
      Report(DibMessage::Icon::Information, "File is truncated - pixel data incomplete:", filename);
      return false;
    }
    next.sizeImage_ = static_cast<std::uint32_t>(size);
  }
  if (static_cast<std::uint64_t>(next.bitOffset_) + next.sizeImage_ > length) {
    Report(DibMessage::Icon::Information, "File is truncated - pixel data incomplete:", filename);
    return false;
  }

  // Both sizes are bounded by the file's length now; memory may still run short.
  try {
    next.bitmapInfo_.assign(next.bitOffset_ - kFileHeaderSize, 0);
    next.bits_.assign(next.sizeImage_, 0);
  } catch (const std::bad_alloc&) {
    Report(DibMessage::Icon::Critical, "Not enough memory to read the bitmap:", filename);
    return false;
  }
  in.seekg(kFileHeaderSize);
  in.read(reinterpret_cast<char*>(next.bitmapInfo_.data()), static_cast<std::streamsize>(next.bitmapInfo_.size()));
  in.seekg(next.bitOffset_);
  in.read(reinterpret_cast<char*>(next.bits_.data()), static_cast<std::streamsize>(next.bits_.size()));
  if (!in) {
    Report(DibMessage::Icon::Information, "File could not be read completely:", filename);
    return false;
  }

  next.onMessage_ = std::move(onMessage_);
  next.lastMessage_ = DibMessage{};
  *this = std::move(next);
  return true;
}

bool cDIB::CreateFromPackedDIBPointer(const void* pDIB, std::size_t length) {
  if (pDIB == nullptr || length < kInfoHeaderSize) return false;
  const auto* p = static_cast<const std::uint8_t*>(pDIB);
  const std::uint16_t bitCount = ReadU16(p + 14);
  const std::uint32_t sizeImage = ReadU32(p + 20);
  // Palette bitmaps would need their colour table, which a packed pointer
  // without one cannot give.
  if (bitCount < 16 || sizeImage < 1 || length - kInfoHeaderSize < sizeImage) return false;

  std::vector<std::uint8_t> bits, info;
  try {
    bits.assign(p + kInfoHeaderSize, p + kInfoHeaderSize + sizeImage);
    info.assign(p, p + kInfoHeaderSize);
  } catch (const std::bad_alloc&) {
    return false;
  }
  ParseInfoHeader(p);
  bits_.swap(bits);
  bitmapInfo_.swap(info);
  fileType_ = kTypeBM;
  fileSize_ = kFileHeaderSize + kInfoHeaderSize + sizeImage;
  reserved1_ = 0;
  reserved2_ = 0;
  bitOffset_ = kFileHeaderSize + kInfoHeaderSize;
  return true;
}

bool cDIB::WriteToFile(const std::string& filename, std::string* error) const {
  std::uint8_t header[kFileHeaderSize] = {};
  PutU16(header, fileType_);
  PutU32(header + 2, fileSize_);
  PutU16(header + 6, reserved1_);
  PutU16(header + 8, reserved2_);
  PutU32(header + 10, bitOffset_);

  // Whole or not at all: an existing file keeps its content on any failure.
  const sorvan::core::Result r =
      sorvan::core::WriteFileAtomically(filename, [&](sorvan::core::AtomicWriter& out, std::string&) {
        return out.write(header, kFileHeaderSize) && out.write(bitmapInfo_.data(), bitmapInfo_.size()) &&
               out.write(bits_.data(), bits_.size());
      });
  if (!r && error) *error = r.message;
  return r.ok;
}

bool cDIB::ToBGR24(std::vector<std::uint8_t>& out) const {
  constexpr std::int32_t kMaxSide = 65535;
  if (width_ <= 0 || width_ > kMaxSide || height_ == 0 || height_ < -kMaxSide || height_ > kMaxSide ||
      bits_.empty())
    return false;
  // Bit-field masks other than the usual 8-8-8 of 32-bit bitmaps are not decoded.
  const bool plain = compression_ == kBiRgb || (compression_ == kBiBitfields && bitCount_ == 32);
  if (!plain) return false;
  // A depth of 0 makes the source rows empty: checked before the output is sized.
  const bool knownDepth = bitCount_ == 1 || bitCount_ == 4 || bitCount_ == 8 || bitCount_ == 16 ||
                          bitCount_ == 24 || bitCount_ == 32;
  if (!knownDepth) return false;
  const std::uint32_t w = static_cast<std::uint32_t>(width_);
  const std::uint32_t rows = static_cast<std::uint32_t>(height_ < 0 ? -height_ : height_);
  const std::uint64_t srcStride = RowBytes(width_, bitCount_);
  const std::uint64_t dstStride = RowBytes(width_, 24);
  if (srcStride * rows > bits_.size()) return false;  // a header that claims more than the file held

  // Colour table (blue, green, red, reserved), right after the information header.
  const std::uint8_t* table = bitmapInfo_.data() + infoSize_;
  const std::size_t tableEntries =
      bitmapInfo_.size() > infoSize_ ? (bitmapInfo_.size() - infoSize_) / 4 : 0;

  try {
    out.assign(dstStride * rows, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::uint32_t r = 0; r < rows; ++r) {
    // Top-down bitmaps (negative height) are turned into the bottom-up order.
    const std::uint32_t srcRow = height_ < 0 ? rows - 1 - r : r;
    const std::uint8_t* s = bits_.data() + srcRow * srcStride;
    std::uint8_t* d = out.data() + r * dstStride;
    for (std::uint32_t x = 0; x < w; ++x, d += 3) {
      switch (bitCount_) {
        case 24:
          std::memcpy(d, s + 3 * x, 3);
          break;
        case 32:
          std::memcpy(d, s + 4 * x, 3);
          break;
        case 16: {  // 5-5-5, the layout of uncompressed 16-bit bitmaps
          const std::uint16_t v = ReadU16(s + 2 * x);
          d[0] = static_cast<std::uint8_t>((v & 0x1F) * 255 / 31);
          d[1] = static_cast<std::uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
          d[2] = static_cast<std::uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
          break;
        }
        case 1:
        case 4:
        case 8: {
          const std::uint32_t bit = x * bitCount_;
          const std::uint32_t shift = 8 - bitCount_ - (bit % 8);
          const std::uint32_t index = (s[bit / 8] >> shift) & ((1u << bitCount_) - 1);
          if (index < tableEntries) std::memcpy(d, table + 4 * index, 3);
          break;
        }
        default:
          return false;
      }
    }
  }
  return true;
}

}  // namespace sorvan::core
