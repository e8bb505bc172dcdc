#pragma once
// Files for the animation tests, written here byte by byte: surface files in
// the engine's layout, BMP files, and a reading of an AVI file's RIFF headers.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace test_data {

// A surface file: range line, grid line, geometry line, nx rows of ny values.
inline void WriteSurface(const QString& path, int nx, int ny, const std::function<double(int, int)>& z) {
  double lo = 1e300, hi = -1e300;
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) lo = std::min(lo, z(i, j)), hi = std::max(hi, z(i, j));
  std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
  std::fprintf(f, "#  %15.4f  %15.4f\n GRID %d %d\n -10000.0 1.0 1.0 0.0 0.0\n", lo, hi, nx, ny);
  for (int i = 0; i < nx; ++i) {
    for (int j = 0; j < ny; ++j) std::fprintf(f, "  %15.4f", z(i, j));
    std::fprintf(f, "\n");
  }
  std::fclose(f);
}

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// An uncompressed BMP of `bits` per pixel (8 with a grey palette, or 24) in one colour level.
inline void WriteBmp(const QString& path, int width, int height, int bits, std::uint8_t level) {
  const std::uint32_t row = ((width * bits + 31) / 32) * 4;
  const std::uint32_t palette = bits == 8 ? 1024 : 0;
  const std::uint32_t image = row * height;
  std::vector<std::uint8_t> b(54 + palette + image, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, 54 + palette);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  b[26] = 1;
  b[28] = static_cast<std::uint8_t>(bits);
  Put32(b, 34, image);
  for (std::uint32_t i = 0; i < palette / 4; ++i) b[54 + 4 * i] = b[55 + 4 * i] = b[56 + 4 * i] = static_cast<std::uint8_t>(i);
  for (std::uint32_t i = 0; i < image; ++i) b[54 + palette + i] = level;
  std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                           static_cast<std::streamsize>(b.size()));
}

// What the stream header and the index of an AVI file say.
struct AviSummary {
  bool valid = false;
  int streams = 0;
  std::uint32_t escala = 0, rate = 0, longitud = 0, buffer = 0;
  int width = 0, height = 0;
  int frames = 0, key = 0;
};

inline std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline void WalkRiff(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t hasta, AviSummary& r) {
  for (std::size_t at = from; at + 8 <= hasta;) {
    const std::string id(reinterpret_cast<const char*>(&b[at]), 4);
    const std::uint32_t sizeBytes = U32(b, at + 4);
    const std::size_t dato = at + 8;
    if (dato + sizeBytes > b.size()) return;
    if (id == "RIFF" || id == "LIST") {
      if (std::string(reinterpret_cast<const char*>(&b[dato]), 4) == "strl") ++r.streams;
      WalkRiff(b, dato + 4, dato + sizeBytes, r);
    } else if (id == "strh") {
      r.escala = U32(b, dato + 20);
      r.rate = U32(b, dato + 24);
      r.longitud = U32(b, dato + 32);
      r.buffer = U32(b, dato + 36);
      r.width = b[dato + 52] | (b[dato + 53] << 8);
      r.height = b[dato + 54] | (b[dato + 55] << 8);
    } else if (id == "idx1") {
      for (std::size_t e = dato; e + 16 <= dato + sizeBytes; e += 16) {
        ++r.frames;
        if (U32(b, e + 4) & 0x10) ++r.key;
      }
    }
    at = dato + sizeBytes + (sizeBytes & 1);
  }
}

inline AviSummary ReadAvi(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  AviSummary r;
  if (b.size() < 12 || std::string(reinterpret_cast<const char*>(b.data()), 4) != "RIFF") return r;
  r.valid = true;
  WalkRiff(b, 0, b.size(), r);
  return r;
}

// Saves a picture of `w` as docs/screenshots/<nombre> when SORVAN_CAPTURAS is
// set (the pictures of the documentation are made so; ordinary runs leave the
// source tree alone).
inline void Capture(QWidget* w, const QString& nombre) {
  if (qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS") || w == nullptr) return;
  const QString folder = qEnvironmentVariable("SORVAN_SOURCE_DIR") + QStringLiteral("/docs/screenshots");
  QDir().mkpath(folder);
  w->grab().save(folder + QLatin1Char('/') + nombre);
}

// The same for a region of the screen, where 3-D views and windows kept on
// top are seen as the user sees them.
inline void ScreenCapture(const QRect& region, const QString& nombre) {
  if (qEnvironmentVariableIsEmpty("SORVAN_CAPTURAS")) return;
  const QString folder = qEnvironmentVariable("SORVAN_SOURCE_DIR") + QStringLiteral("/docs/screenshots");
  QDir().mkpath(folder);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    screen->grabWindow(0, region.x(), region.y(), region.width(), region.height())
        .save(folder + QLatin1Char('/') + nombre);
}

}  // namespace prueba
