// Pictures written whole or not at all: a disk that fills after K bytes
// leaves the earlier file as it was and no temporary beside it, and the
// message names the file and the cause; with room the picture reads back.
#include "platform/image_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>

#include "core/atomic_writer.h"
#include "gui_test_support.h"

using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

std::size_t g_left = 0;
ssize_t FullDisk(int fd, const void* data, std::size_t n) {
  if (g_left == 0) {
    errno = ENOSPC;
    return -1;
  }
  const std::size_t k = std::min(n, g_left);
  g_left -= k;
  return ::write(fd, data, k);
}

// Noise, so that no format compresses it below the byte counts tried.
QImage Image() {
  QImage im(64, 48, QImage::Format_RGB888);
  unsigned v = 12345;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x) {
      v = v * 1103515245u + 12345u;
      im.setPixelColor(x, y, QColor((v >> 8) & 255, (v >> 16) & 255, (v >> 24) & 255));
    }
  return im;
}

QByteArray Content(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ImageFile : public ::testing::TestWithParam<std::size_t> {
 protected:
  void TearDown() override { sorvan::core::AtomicWriter::SetWriteFunction(nullptr); }
  QTemporaryDir dir;
};

TEST_P(ImageFile, FullDiskKeepsTheOldFileAndNamesTheCause) {
  for (const char* nombre : {"a.png", "a.bmp", "a.svg", "a.pdf"}) {
    const QString path = dir.filePath(QString::fromLatin1(nombre));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("anterior");
    old.close();
    g_left = GetParam();
    sorvan::core::AtomicWriter::SetWriteFunction(&FullDisk);
    QString error;
    const bool ok = path.endsWith(".svg") || path.endsWith(".pdf")
                        ? SaveDrawing(path, QSize(64, 48), 96, "t",
                                       [](QPainter& p) { p.drawImage(0, 0, Image()); }, &error)
                        : SaveImage(Image(), path, nullptr, &error);
    sorvan::core::AtomicWriter::SetWriteFunction(nullptr);
    EXPECT_FALSE(ok) << nombre;
    EXPECT_TRUE(error.contains("no queda espacio en el disco")) << error.toStdString();
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(Content(path), QByteArray("anterior")) << nombre;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << nombre;
    // With room the same write succeeds.
    ASSERT_TRUE(path.endsWith(".svg") || path.endsWith(".pdf")
                    ? SaveDrawing(path, QSize(64, 48), 96, "t", [](QPainter& p) { p.drawImage(0, 0, Image()); },
                                   &error)
                    : SaveImage(Image(), path, nullptr, &error))
        << error.toStdString();
    QFile::remove(path);
  }
}

INSTANTIATE_TEST_SUITE_P(Bytes, ImageFile, ::testing::Values(std::size_t(0), std::size_t(40), std::size_t(300)));

TEST(ImageFileReading, ABitmapReadsBackPixelForPixel) {
  QTemporaryDir dir;
  const QString path = dir.filePath("f.bmp");
  QString error;
  ASSERT_TRUE(SaveImage(Image(), path, "BMP", &error)) << error.toStdString();
  QImage readOnce(path);
  ASSERT_FALSE(readOnce.isNull());
  EXPECT_EQ(readOnce.convertToFormat(QImage::Format_RGB888), Image());
  EXPECT_FALSE(SaveImage(Image(), dir.filePath("no/hay/carpeta.png"), nullptr, &error));
  EXPECT_TRUE(error.contains("no/hay/carpeta.png")) << error.toStdString();
}

}  // namespace

int main(int argc, char** argv) { return test_data::RunTests(argc, argv); }
