#pragma once
// Pictures written whole or not at all: the image (or the PDF or SVG page a
// painter draws) is produced in memory and handed to the atomic file writer
// of the core, so a full disk or a missing folder leaves no partial file and
// an earlier file keeps its content. The message names the file and the
// cause in Spanish ("no queda espacio en el disco").
#include <QImage>
#include <QString>
#include <functional>

class QPainter;

namespace sorvan::platform {

// `image` in `format` ("PNG", "BMP", ...; empty: from the file name).
bool SaveImage(const QImage& image, const QString& path, const char* format, QString* error);

// A page of `size` points (PDF) or pixels (SVG, at `dpi`) drawn by
// `draw`; the kind follows the extension of `path` (".pdf" or ".svg").
bool SaveDrawing(const QString& path, const QSize& size, int dpi, const QString& title,
                  const std::function<void(QPainter&)>& draw, QString* error);

}  // namespace sorvan::platform
