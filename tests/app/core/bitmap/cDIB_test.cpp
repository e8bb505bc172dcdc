// cDIB: BMP files built byte by byte here (not by the class under test), read,
// rebuilt from packed bitmaps and written back.
#include "core/bitmap/cDIB.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace sorvan::core;

namespace {

namespace fs = std::filesystem;

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A BITMAPINFOHEADER of 40 bytes.
std::vector<std::uint8_t> InfoHeader(int width, int height, int bitCount, std::uint32_t sizeImage) {
  std::vector<std::uint8_t> h(40, 0);
  Put32(h, 0, 40);
  Put32(h, 4, static_cast<std::uint32_t>(width));
  Put32(h, 8, static_cast<std::uint32_t>(height));
  Put16(h, 12, 1);
  Put16(h, 14, static_cast<std::uint32_t>(bitCount));
  Put32(h, 20, sizeImage);
  Put32(h, 24, 2835);
  Put32(h, 28, 2836);
  return h;
}

// A whole BMP file: file header, info header, optional colour table, pixels
// where pixel (x, y) of row y (bottom-up) gets blue = x, green = y, red = 200.
std::vector<std::uint8_t> BmpFile(int width, int height, int bitCount, bool writeSize = true,
                                  int paletteEntries = 0) {
  const std::uint32_t stride = ((width * bitCount + 31) / 32) * 4;
  const std::uint32_t image = stride * height;
  const std::uint32_t offset = 54 + 4 * paletteEntries;
  std::vector<std::uint8_t> f(14, 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, offset + image);
  Put32(f, 10, offset);
  auto info = InfoHeader(width, height, bitCount, writeSize ? image : 0);
  f.insert(f.end(), info.begin(), info.end());
  for (int i = 0; i < paletteEntries; ++i) f.insert(f.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
  std::vector<std::uint8_t> pixels(image, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width && bitCount == 24; ++x) {
      pixels[y * stride + 3 * x] = static_cast<std::uint8_t>(x);
      pixels[y * stride + 3 * x + 1] = static_cast<std::uint8_t>(y);
      pixels[y * stride + 3 * x + 2] = 200;
    }
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

class CDibTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sorvan_cdib_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static std::vector<std::uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(CDibTest, Reads24Bit10x10WithPaddedRows) {
  const auto path = Write("a.bmp", BmpFile(10, 10, 24));
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(path));
  EXPECT_EQ(dib.FileType(), 19778);
  EXPECT_EQ(dib.Width(), 10);
  EXPECT_EQ(dib.Height(), 10);
  EXPECT_EQ(dib.BitCount(), 24);
  EXPECT_EQ(dib.Planes(), 1);
  EXPECT_EQ(dib.SizeImage(), 320);  // 30 bytes of pixels padded to 32, ten rows
  EXPECT_EQ(dib.BitOffset(), 54);
  EXPECT_EQ(dib.SizeBitmapInfo(), 40);
  EXPECT_EQ(dib.SizeInfoHeader(), 40);
  EXPECT_EQ(dib.SizeFileHeader(), 54 + 320);
  EXPECT_EQ(dib.XPPM(), 2835);
  EXPECT_EQ(dib.YPPM(), 2836);
  EXPECT_EQ(dib.Compression(), 0);
  EXPECT_EQ(dib.ClrUsed(), 0);
  EXPECT_EQ(dib.ClrImportant(), 0);
  // Pixel (7, 4): row 4 starts at 4 * 32.
  const std::uint8_t* px = dib.PointerToBits() + 4 * 32 + 3 * 7;
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 4);
  EXPECT_EQ(px[2], 200);
  EXPECT_EQ(dib.PointerToBitmapInfo()[0], 40);
}

TEST_F(CDibTest, BitmapInfoBlockKeepsTheColourTable) {
  const auto path = Write("pal.bmp", BmpFile(8, 2, 8, true, 256));
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(path));
  EXPECT_EQ(dib.BitOffset(), 54 + 1024);
  EXPECT_EQ(dib.SizeBitmapInfo(), 40 + 1024);
  EXPECT_EQ(dib.PointerToBitmapInfo()[40 + 4 * 9], 9);  // entry 9 is grey 9
  EXPECT_EQ(dib.SizeImage(), 16);
}

TEST_F(CDibTest, NonBmFileIsRefusedWithItsMessage) {
  auto bytes = BmpFile(4, 4, 24);
  bytes[0] = 'P';
  bytes[1] = 'K';
  const auto path = Write("zip.bmp", bytes);
  cDIB dib;
  std::vector<DibMessage> shown;
  dib.SetMessageHandler([&](const DibMessage& m) { shown.push_back(m); });
  EXPECT_FALSE(dib.CreateFromFile(path));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "File is not a supported bitmap format:\n" + path);
  EXPECT_EQ(shown[0].icon, DibMessage::Icon::Information);
}

TEST_F(CDibTest, MissingFileGivesCriticalMessageNamingIt) {
  cDIB dib;
  const auto path = (dir_ / "nothere.bmp").string();
  EXPECT_FALSE(dib.CreateFromFile(path));
  EXPECT_EQ(dib.LastMessage().text, "File does not exist:\n" + path);
  EXPECT_EQ(dib.LastMessage().icon, DibMessage::Icon::Critical);
}

TEST_F(CDibTest, TruncatedPixelDataIsRefusedAndOldBitmapKept) {
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("good.bmp", BmpFile(10, 10, 24))));
  auto bytes = BmpFile(20, 20, 24);
  bytes.resize(bytes.size() - 100);
  const auto path = Write("short.bmp", bytes);
  EXPECT_FALSE(dib.CreateFromFile(path));
  EXPECT_NE(dib.LastMessage().text.find(path), std::string::npos);
  EXPECT_EQ(dib.Width(), 10);  // unchanged
  EXPECT_EQ(dib.SizeImage(), 320);
}

TEST_F(CDibTest, HeaderOnlyFileIsRefused) {
  auto bytes = BmpFile(10, 10, 24);
  bytes.resize(20);
  cDIB dib;
  EXPECT_FALSE(dib.CreateFromFile(Write("stub.bmp", bytes)));
  EXPECT_NE(dib.LastMessage().text.find("truncated"), std::string::npos);
}

TEST_F(CDibTest, ZeroImageSizeIsComputedFromTheGeometry) {
  const auto path = Write("nosize.bmp", BmpFile(10, 3, 24, false));
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(path));
  EXPECT_EQ(dib.SizeImage(), 96);
}

TEST_F(CDibTest, Packed8BitIsRefusedAndLeavesTheBitmapAlone) {
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("good.bmp", BmpFile(10, 10, 24))));
  auto packed = InfoHeader(4, 4, 8, 16);
  packed.resize(40 + 16, 7);
  EXPECT_FALSE(dib.CreateFromPackedDIBPointer(packed.data(), packed.size()));
  EXPECT_EQ(dib.BitCount(), 24);
  EXPECT_EQ(dib.SizeImage(), 320);
}

TEST_F(CDibTest, Packed24BitGivesFileSize54PlusImage) {
  auto packed = InfoHeader(10, 10, 24, 320);
  for (int i = 0; i < 320; ++i) packed.push_back(static_cast<std::uint8_t>(i));
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromPackedDIBPointer(packed.data(), packed.size()));
  EXPECT_EQ(dib.SizeFileHeader(), 54 + 320);
  EXPECT_EQ(dib.BitOffset(), 54);
  EXPECT_EQ(dib.FileType(), 19778);
  EXPECT_EQ(dib.SizeBitmapInfo(), 40);
  EXPECT_EQ(std::memcmp(dib.PointerToBitmapInfo(), packed.data(), 40), 0);
  EXPECT_EQ(dib.PointerToBits()[100], 100);
}

TEST_F(CDibTest, PackedBufferShorterThanItsImageSizeIsRefused) {
  auto packed = InfoHeader(10, 10, 24, 320);
  packed.resize(40 + 100);
  cDIB dib;
  EXPECT_FALSE(dib.CreateFromPackedDIBPointer(packed.data(), packed.size()));
}

TEST_F(CDibTest, PackedThenWrittenAndReadBackKeepsHeaderAndPixels) {
  auto packed = InfoHeader(10, 10, 24, 320);
  for (int i = 0; i < 320; ++i) packed.push_back(static_cast<std::uint8_t>(3 * i));
  cDIB built;
  ASSERT_TRUE(built.CreateFromPackedDIBPointer(packed.data(), packed.size()));
  const auto path = (dir_ / "round.bmp").string();
  ASSERT_TRUE(built.WriteToFile(path));
  EXPECT_EQ(fs::file_size(path), 374u);

  cDIB back;
  ASSERT_TRUE(back.CreateFromFile(path));
  EXPECT_EQ(back.FileType(), built.FileType());
  EXPECT_EQ(back.SizeFileHeader(), built.SizeFileHeader());
  EXPECT_EQ(back.BitOffset(), built.BitOffset());
  EXPECT_EQ(back.Width(), built.Width());
  EXPECT_EQ(back.Height(), built.Height());
  EXPECT_EQ(back.BitCount(), built.BitCount());
  EXPECT_EQ(back.SizeImage(), built.SizeImage());
  EXPECT_EQ(back.XPPM(), built.XPPM());
  EXPECT_EQ(back.SizeBitmapInfo(), built.SizeBitmapInfo());
  EXPECT_EQ(std::memcmp(back.PointerToBits(), built.PointerToBits(), 320), 0);
}

TEST_F(CDibTest, FileRoundTripIsByteIdentical) {
  const auto original = BmpFile(7, 5, 8, true, 256);
  const auto in = Write("in.bmp", original);
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(in));
  const auto out = (dir_ / "out.bmp").string();
  ASSERT_TRUE(dib.WriteToFile(out));
  EXPECT_EQ(Read(out), original);
}

TEST_F(CDibTest, WritingShortensALongerExistingFile) {
  const auto out = Write("out.bmp", std::vector<std::uint8_t>(5000, 0xAB));
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("in.bmp", BmpFile(10, 10, 24))));
  ASSERT_TRUE(dib.WriteToFile(out));
  EXPECT_EQ(fs::file_size(out), 374u);
}

// The write used to report success even when nothing could be written.
TEST_F(CDibTest, WriteToUnwritablePlaceReportsFailure) {
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("in.bmp", BmpFile(10, 10, 24))));
  EXPECT_FALSE(dib.WriteToFile((dir_ / "no_such_folder" / "x.bmp").string()));
  EXPECT_FALSE(dib.WriteToFile(dir_.string()));  // a folder, not a file
}

TEST_F(CDibTest, ToBGR24KeepsA24BitFrameAsItIs) {
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("in.bmp", BmpFile(10, 10, 24))));
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(dib.ToBGR24(out));
  ASSERT_EQ(out.size(), 320u);
  EXPECT_EQ(std::memcmp(out.data(), dib.PointerToBits(), 320), 0);
}

// A width whose row size does not fit 32 bits used to pass the size check
// after truncation and overrun the output.
TEST_F(CDibTest, ToBGR24RefusesAHeaderBiggerThanItsPixels) {
  auto bytes = BmpFile(4, 2, 24);
  Put32(bytes, 18, 0x55555556u);  // width: 24 bits a pixel make just over 2^35 bits a row
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("wide.bmp", bytes)));
  std::vector<std::uint8_t> out;
  EXPECT_FALSE(dib.ToBGR24(out));
  Put32(bytes, 18, 4);
  Put32(bytes, 22, 1000);  // more rows than pixels held
  ASSERT_TRUE(dib.CreateFromFile(Write("tall.bmp", bytes)));
  EXPECT_FALSE(dib.ToBGR24(out));
  // A depth of 0 bits has empty rows, so any height passed the size check and
  // the output was sized before the depth was looked at: 12.9 GB for a 70-byte
  // file (found by fuzzing). Nothing may be allocated for it.
  Put32(bytes, 22, 2);
  bytes[28] = 0, bytes[29] = 0;
  ASSERT_TRUE(dib.CreateFromFile(Write("deep0.bmp", bytes)));
  EXPECT_FALSE(dib.ToBGR24(out));
  EXPECT_TRUE(out.empty());
}

TEST_F(CDibTest, ToBGR24ExpandsAPaletteBitmap) {
  auto bytes = BmpFile(3, 2, 8, true, 256);
  // Pixels: row 0 = 5, 6, 7; row 1 = 250, 251, 252 (grey palette: index = level).
  const std::size_t px = 54 + 1024;
  bytes[px + 0] = 5, bytes[px + 1] = 6, bytes[px + 2] = 7;
  bytes[px + 4] = 250, bytes[px + 5] = 251, bytes[px + 6] = 252;
  cDIB dib;
  ASSERT_TRUE(dib.CreateFromFile(Write("p.bmp", bytes)));
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(dib.ToBGR24(out));
  ASSERT_EQ(out.size(), 24u);  // 9 bytes padded to 12, two rows
  EXPECT_EQ(out[3], 6);
  EXPECT_EQ(out[5], 6);
  EXPECT_EQ(out[12 + 6], 252);
}

}  // namespace
