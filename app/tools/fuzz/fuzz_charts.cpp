// libFuzzer target of the chart file readers: the surface file (".sup"), the
// semivariogram file (".sv", GENERAL layout) and the number stream of its
// annotation companion (".fmt"). The first byte chooses the reader; the rest
// is the file. Any input must end in a whole result or a message naming the
// file, within bounded memory.
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/chart_files.h"

using namespace sorvan::platform;

namespace {

// The readers take a path: each input goes to one file of this process.
const QString& FileName() {
  static const QString path = QStringLiteral("/tmp/sorvan_fuzz_charts_%1").arg(::getpid());
  return path;
}

void WriteBytes(const uint8_t* data, size_t length) {
  std::FILE* f = std::fopen(FileName().toLocal8Bit().constData(), "wb");
  if (!f) std::abort();
  if (length > 0 && std::fwrite(data, 1, length, f) != length) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t length) {
  if (length == 0) return 0;
  const int reader = data[0] % 3;
  if (reader == 2) {
    bool completeOne = false;
    const std::vector<double> v =
        ReadNumberStream(QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(length - 1)), &completeOne);
    if (v.size() > length) std::abort();  // never more numbers than bytes
    return 0;
  }
  WriteBytes(data + 1, length - 1);
  QString error;
  if (reader == 0) {
    SurfaceGrid g;
    const bool ok = ReadSurfaceFile(FileName(), g, &error);
    if (ok && g.z.size() != size_t(g.nx) * size_t(g.ny)) std::abort();
    if (ok && g.z.size() > length) std::abort();  // one value takes at least a byte
    if (!ok && !error.contains(FileName())) std::abort();
  } else {
    GeneralData d;
    const bool ok = ReadGeneralFile(FileName(), d, &error);
    if (ok)
      for (const GeneralSeries& s : d.series)
        if (s.x.size() != s.y.size()) std::abort();
    if (!ok && !error.contains(FileName())) std::abort();
  }
  return 0;
}
