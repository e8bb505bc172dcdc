#include "platform/image_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "core/atomic_writer.h"

namespace sorvan::platform {
using namespace sorvan::core;

namespace {

bool WriteBytes(const QString& path, const QByteArray& bytes, QString* error) {
  const sorvan::core::Result r = sorvan::core::WriteFileAtomically(
      QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), size_t(bytes.size())));
  if (!r && error) *error = QString::fromStdString(r.message);
  return r.ok;
}

QString NotGeneratedMessage(const QString& path) {
  return QStringLiteral("No se pudo generar la imagen «%1».").arg(QDir::toNativeSeparators(path));
}

}  // namespace

bool SaveImage(const QImage& image, const QString& path, const char* format, QString* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QByteArray kind = format && *format ? QByteArray(format) : QFileInfo(path).suffix().toLatin1();
  if (image.isNull() || !image.save(&buffer, kind.isEmpty() ? "PNG" : kind.constData())) {
    if (error) *error = NotGeneratedMessage(path);
    return false;
  }
  return WriteBytes(path, bytes, error);
}

bool SaveDrawing(const QString& path, const QSize& size, int dpi, const QString& title,
                  const std::function<void(QPainter&)>& draw, QString* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPainter painter;
  bool ok = false;
  if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(size, QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);
    if (painter.begin(&pdf)) {
      draw(painter);
      ok = painter.end();
    }
  } else {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(dpi);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    if (!title.isEmpty()) svg.setTitle(title);
    if (painter.begin(&svg)) {
      draw(painter);
      ok = painter.end();
    }
  }
  if (!ok || bytes.isEmpty()) {
    if (error) *error = NotGeneratedMessage(path);
    return false;
  }
  return WriteBytes(path, bytes, error);
}

}  // namespace sorvan::platform
