// Pictures written whole or not at all: a disk that fills after K bytes
// leaves the earlier file as it was and no temporary beside it, and the
// message names the file and the cause; with room the picture reads back.
#include "platform/imagen_archivo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>

#include "core/escritura_atomica.h"
#include "gui_test_support.h"

namespace {

std::size_t g_quedan = 0;
ssize_t DiscoLleno(int fd, const void* datos, std::size_t n) {
  if (g_quedan == 0) {
    errno = ENOSPC;
    return -1;
  }
  const std::size_t k = std::min(n, g_quedan);
  g_quedan -= k;
  return ::write(fd, datos, k);
}

// Noise, so that no format compresses it below the byte counts tried.
QImage Imagen() {
  QImage im(64, 48, QImage::Format_RGB888);
  unsigned v = 12345;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x) {
      v = v * 1103515245u + 12345u;
      im.setPixelColor(x, y, QColor((v >> 8) & 255, (v >> 16) & 255, (v >> 24) & 255));
    }
  return im;
}

QByteArray Contenido(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ImagenArchivo : public ::testing::TestWithParam<std::size_t> {
 protected:
  void TearDown() override { sorvan::EscrituraAtomica::PonFuncionEscritura(nullptr); }
  QTemporaryDir dir;
};

TEST_P(ImagenArchivo, FullDiskKeepsTheOldFileAndNamesTheCause) {
  for (const char* nombre : {"a.png", "a.bmp", "a.svg", "a.pdf"}) {
    const QString ruta = dir.filePath(QString::fromLatin1(nombre));
    QFile viejo(ruta);
    ASSERT_TRUE(viejo.open(QIODevice::WriteOnly));
    viejo.write("anterior");
    viejo.close();
    g_quedan = GetParam();
    sorvan::EscrituraAtomica::PonFuncionEscritura(&DiscoLleno);
    QString error;
    const bool ok = ruta.endsWith(".svg") || ruta.endsWith(".pdf")
                        ? GuardaDibujo(ruta, QSize(64, 48), 96, "t",
                                       [](QPainter& p) { p.drawImage(0, 0, Imagen()); }, &error)
                        : GuardaImagen(Imagen(), ruta, nullptr, &error);
    sorvan::EscrituraAtomica::PonFuncionEscritura(nullptr);
    EXPECT_FALSE(ok) << nombre;
    EXPECT_TRUE(error.contains("no queda espacio en el disco")) << error.toStdString();
    EXPECT_TRUE(error.contains(ruta)) << error.toStdString();
    EXPECT_EQ(Contenido(ruta), QByteArray("anterior")) << nombre;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << nombre;
    // With room the same write succeeds.
    ASSERT_TRUE(ruta.endsWith(".svg") || ruta.endsWith(".pdf")
                    ? GuardaDibujo(ruta, QSize(64, 48), 96, "t", [](QPainter& p) { p.drawImage(0, 0, Imagen()); },
                                   &error)
                    : GuardaImagen(Imagen(), ruta, nullptr, &error))
        << error.toStdString();
    QFile::remove(ruta);
  }
}

INSTANTIATE_TEST_SUITE_P(Bytes, ImagenArchivo, ::testing::Values(std::size_t(0), std::size_t(40), std::size_t(300)));

TEST(ImagenArchivoLectura, ABitmapReadsBackPixelForPixel) {
  QTemporaryDir dir;
  const QString ruta = dir.filePath("f.bmp");
  QString error;
  ASSERT_TRUE(GuardaImagen(Imagen(), ruta, "BMP", &error)) << error.toStdString();
  QImage leida(ruta);
  ASSERT_FALSE(leida.isNull());
  EXPECT_EQ(leida.convertToFormat(QImage::Format_RGB888), Imagen());
  EXPECT_FALSE(GuardaImagen(Imagen(), dir.filePath("no/hay/carpeta.png"), nullptr, &error));
  EXPECT_TRUE(error.contains("no/hay/carpeta.png")) << error.toStdString();
}

}  // namespace

int main(int argc, char** argv) { return prueba::EjecutaPruebas(argc, argv); }
