#include "platform/imagen_archivo.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "core/escritura_atomica.h"

namespace {

bool Escribe(const QString& ruta, const QByteArray& bytes, QString* error) {
  const sorvan::Resultado r = sorvan::EscribeArchivoAtomico(
      QFile::encodeName(ruta).toStdString(), std::string_view(bytes.constData(), size_t(bytes.size())));
  if (!r && error) *error = QString::fromStdString(r.mensaje);
  return r.ok;
}

QString NoSeGenera(const QString& ruta) {
  return QStringLiteral("No se pudo generar la imagen «%1».").arg(QDir::toNativeSeparators(ruta));
}

}  // namespace

bool GuardaImagen(const QImage& imagen, const QString& ruta, const char* formato, QString* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QByteArray tipo = formato && *formato ? QByteArray(formato) : QFileInfo(ruta).suffix().toLatin1();
  if (imagen.isNull() || !imagen.save(&buffer, tipo.isEmpty() ? "PNG" : tipo.constData())) {
    if (error) *error = NoSeGenera(ruta);
    return false;
  }
  return Escribe(ruta, bytes, error);
}

bool GuardaDibujo(const QString& ruta, const QSize& tamano, int dpi, const QString& titulo,
                  const std::function<void(QPainter&)>& dibuja, QString* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPainter painter;
  bool ok = false;
  if (ruta.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(tamano, QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);
    if (painter.begin(&pdf)) {
      dibuja(painter);
      ok = painter.end();
    }
  } else {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(dpi);
    svg.setSize(tamano);
    svg.setViewBox(QRect(QPoint(0, 0), tamano));
    if (!titulo.isEmpty()) svg.setTitle(titulo);
    if (painter.begin(&svg)) {
      dibuja(painter);
      ok = painter.end();
    }
  }
  if (!ok || bytes.isEmpty()) {
    if (error) *error = NoSeGenera(ruta);
    return false;
  }
  return Escribe(ruta, bytes, error);
}
