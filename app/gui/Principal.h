#pragma once
// Start-up of the program: the splash window, the main window, and the data
// file named on the command line.
#include <QString>

#include "gui/resources_init.h"

namespace sorvan::gui { class frmMain; }

namespace sorvan::gui {

namespace Principal {

// Milliseconds the splash window stays up, however fast the main window loads.
inline constexpr int kSplashWaitMs = 1500;

// Shows the splash window, creates and loads the main window, keeps the splash
// up (processing events) until more than kSplashWaitMs have passed since the
// start, then closes it and shows the main window, which is returned (owned by
// the caller). When `dataFile` is not empty, that ".dae" file is opened
// into the data window once the main window is up.
frmMain* Launch(const QString& dataFile = {});

}  // namespace Principal

}  // namespace sorvan::gui
