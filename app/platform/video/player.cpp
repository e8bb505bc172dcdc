#include "platform/video/player.h"

#include <QDesktopServices>
#include <QUrl>

namespace sorvan::platform {

namespace {

// The opener in force; empty means the desktop's.
std::function<bool(const QString&)>& Opener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

}  // namespace

void SetPlayer(std::function<bool(const QString&)> opener) { Opener() = std::move(opener); }

bool OpenInPlayer(const QString& file) {
  if (Opener()) return Opener()(file);
  if (!qEnvironmentVariableIsEmpty("SORVAN_SIN_REPRODUCTOR")) return true;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace sorvan::platform
