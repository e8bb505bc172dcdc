#pragma once
// Entry points of the chart windows, called by the main window's NuevoGraf2D and
// NuevoGraf3D. Each call makes a new child window in `area` and shows it.
#include <QString>
class QMdiArea;
class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// Semivariogram chart on the ".sv" file `path` (and its ".fmt" companion).
// On failure returns nullptr, sets `error` to a message naming the file, and
// leaves no window behind.
QWidget* OpenChart2D(QMdiArea* area, const QString& path, const QString& title, QString* error);

// Surface chart: kind 1 prediction, 2 variance, 4 fitted trend (from
// `session`, the last run), 3 the surface file named by `title`. Same failure
// contract.
QWidget* OpenChart3D(QMdiArea* area, int kind, const QString& title, const sorvan::core::KrigingSession& session,
                     QString* error);

// The window counters: how many semivariogram and surface windows have been
// opened in this run (the number in the caption of the last one). They never
// go down.
int Chart2DCounter();
int Chart3DCounter();

}  // namespace sorvan::gui
