#include "platform/chart_files.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <cmath>

namespace sorvan::platform {

namespace {

// The largest grid the chart accepts from a file: far beyond any kriging grid,
// small enough that a corrupt header cannot ask for gigabytes.
constexpr long long kMaxNodes = 16LL * 1024 * 1024;

bool readAll(const QString& path, QByteArray& text, QString* error) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    if (error) *error = QObject::tr("No se puede abrir el fichero %1.").arg(QDir::toNativeSeparators(path));
    return false;
  }
  text = file.readAll();
  return true;
}

// Tokens of the text, skipping lines whose first non-blank character is "#".
QList<QByteArray> tokens(const QByteArray& text) {
  QList<QByteArray> out;
  for (const QByteArray& rawLine : text.split('\n')) {
    const QByteArray line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    QByteArray clean = line;
    clean.replace(',', ' ').replace('\t', ' ').replace('\r', ' ');
    for (const QByteArray& t : clean.split(' '))
      if (!t.isEmpty()) out.push_back(t);
  }
  return out;
}

// Sequential reader over the tokens; any failure sticks.
struct Cursor {
  const QList<QByteArray>& items;
  qsizetype at = 0;
  bool ok = true;
  double number() {
    if (!ok || at >= items.size()) return ok = false, 0.0;
    bool good = false;
    const double v = items[at++].toDouble(&good);
    if (!good || !std::isfinite(v)) ok = false;
    return v;
  }
  long long count() {
    const double v = number();
    if (ok && (v < 0 || v != std::floor(v) || v > kMaxNodes)) ok = false;
    // A refused count is not converted: it may lie beyond any integer.
    return ok ? static_cast<long long>(v) : 0;
  }
};

QString layoutError(const QString& path, const QString& what) {
  return QObject::tr("El fichero %1 no es %2 o está incompleto.").arg(QDir::toNativeSeparators(path), what);
}

}  // namespace

bool ReadGeneralFile(const QString& path, GeneralData& data, QString* error) {
  QByteArray text;
  if (!readAll(path, text, error)) return false;
  const QList<QByteArray> items = tokens(text);
  const QString what = QObject::tr("un fichero de semivariograma (formato GENERAL)");
  if (items.isEmpty() || items[0].toUpper() != "GENERAL") {
    if (error) *error = layoutError(path, what);
    return false;
  }
  Cursor in{items, 1};
  const long long nSeries = in.count();
  in.number();  // maxPoints: each series states its own count
  GeneralData out;
  if (in.ok && in.at < items.size() && items[in.at].toUpper() == "HOLE") {
    ++in.at;
    out.hole = in.number();
  }
  if (nSeries > 1000) in.ok = false;
  for (long long s = 0; in.ok && s < nSeries; ++s) {
    const long long n = in.count();
    GeneralSeries series;
    for (long long p = 0; in.ok && p < n; ++p) series.x.push_back(in.number());
    for (long long p = 0; in.ok && p < n; ++p) series.y.push_back(in.number());
    out.series.push_back(std::move(series));
  }
  if (!in.ok || nSeries < 1) {
    if (error) *error = layoutError(path, what);
    return false;
  }
  data = std::move(out);
  return true;
}

bool ReadSurfaceFile(const QString& path, SurfaceGrid& grid, QString* error) {
  QByteArray text;
  if (!readAll(path, text, error)) return false;
  const QList<QByteArray> items = tokens(text);
  const QString what = QObject::tr("un fichero de superficie (.sup)");
  if (items.isEmpty() || items[0].toUpper() != "GRID") {
    if (error) *error = layoutError(path, what);
    return false;
  }
  Cursor in{items, 1};
  SurfaceGrid g;
  const long long nx = in.count();
  const long long ny = in.count();
  g.hole = static_cast<float>(in.number());
  g.dx = in.number();
  g.dy = in.number();
  g.xMin = in.number();
  g.yMin = in.number();
  if (in.ok && nx * ny > kMaxNodes) in.ok = false;
  // The values must be in the file before room is made for them.
  if (in.ok && items.size() - in.at < nx * ny) in.ok = false;
  if (in.ok) {
    g.nx = static_cast<int>(nx);
    g.ny = static_cast<int>(ny);
    g.z.assign(static_cast<std::size_t>(nx * ny), g.hole);
    // The file holds one row per X node; the grid keeps the X index fastest.
    for (int i = 0; in.ok && i < g.nx; ++i)
      for (int j = 0; in.ok && j < g.ny; ++j)
        g.z[static_cast<std::size_t>(i) + static_cast<std::size_t>(g.nx) * j] = static_cast<float>(in.number());
  }
  if (!in.ok) {
    if (error) *error = layoutError(path, what);
    return false;
  }
  grid = std::move(g);
  return true;
}

std::vector<double> ReadNumberStream(const QByteArray& text, bool* complete) {
  std::vector<double> out;
  QByteArray clean = text;
  clean.replace(',', ' ').replace('\t', ' ').replace('\r', ' ').replace('\n', ' ');
  if (complete) *complete = true;
  for (const QByteArray& t : clean.split(' ')) {
    if (t.isEmpty()) continue;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
      if (complete) *complete = false;
      break;
    }
    out.push_back(v);
  }
  return out;
}

}  // namespace sorvan::platform
