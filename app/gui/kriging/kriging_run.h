#pragma once
// A kriging run started from a window: the engine works in its helper
// process while the program stays responsive, a progress dialog shows that
// work is going on and lets the user cancel, and the status bar of the main
// window says what is being done ("Generando superficies kriging (...)...",
// then "Preparado").
#include <QString>

#include "core/kriging_session.h"

class QWidget;

namespace sorvan::gui {
using namespace sorvan::core;

enum class KrigingEnd { Done, Failure, Cancelled };

// Runs the engine for the session's column choice and options, writing to
// the session's result folder (KrigingResultsFolder); `nombre` is the Z variable's name without trailing blanks. On
// success the session holds the new surfaces, range and fitted model. On
// failure (refused options, engine error) a message box over `parent` says why;
// on failure or cancellation the session keeps the surfaces it had.
KrigingEnd RunKrigingWindow(QWidget* parent, sorvan::core::KrigingSession& session, const QString& nombre);

// The status text after the session's last successful run: "Preparado", with
// the rows left out, the points merged and a local run's holes when there are
// any ("Preparado (2 filas sin X, Y o Z; 1 punto repetido promediado)").
QString StateAfterKriging(const sorvan::core::KrigingSession& session);

// The user's data folder (where results go when the data's own folder is
// read-only) and the folder the session's next run writes to.
QString UserDataFolder();
QString KrigingResultsFolder(const sorvan::core::KrigingSession& session);

// Path of the file called `nombre` in `folder`, matched ignoring case (the
// engine writes "SKUESTIM.SV", the windows ask for "skuestim.sv"); the plain
// path when no file matches.
QString FileInFolder(const QString& folder, const QString& nombre);

}  // namespace sorvan::gui
