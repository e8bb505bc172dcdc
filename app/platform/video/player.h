#pragma once
// Opening a finished video with the desktop's default player, in place of the
// system's "open" verb. Tests and unattended runs replace the opener, or set
// the environment variable SORVAN_SIN_REPRODUCTOR to any non-empty value so
// that no player is ever started.
#include <QString>
#include <functional>

namespace sorvan::platform {

// Asks the desktop to open `file` in its default application. Returns false
// when the desktop refuses (no application for the type, no desktop).
bool OpenInPlayer(const QString& file);

// Replaces the opener (a null function restores the desktop's).
void SetPlayer(std::function<bool(const QString&)> opener);

}  // namespace sorvan::platform
