#include "platform/video/reproductor.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

// The opener in force; empty means the desktop's.
std::function<bool(const QString&)>& Opener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

}  // namespace

void EstablecerReproductor(std::function<bool(const QString&)> opener) { Opener() = std::move(opener); }

bool AbrirEnReproductor(const QString& file) {
  if (Opener()) return Opener()(file);
  if (!qEnvironmentVariableIsEmpty("SORVAN_SIN_REPRODUCTOR")) return true;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}
