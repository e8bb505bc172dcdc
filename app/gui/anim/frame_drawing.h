#pragma once
// The drawing of a series of surfaces to frame bitmaps, shared by
// MakeAnimation and the data animation: the chart of `window` already holds
// the first surface with the look the user chose in the wait dialog.
#include <QStringList>

class QWidget;
namespace sorvan::gui { class AnimationWindow; }

namespace sorvan::gui {

enum class SeriesEnd { Finished, CancelledRun, Failure };

// Draws surface 1 (already loaded) to fotogramas[0], then loads every other
// surface in turn, sets its title (when `titles` has one) and the Z range
// zmin ... zmax, and draws it to its frame. The status bar counts "Generando
// imagen k de n" and a progress dialog over `owner` lets the user stop.
// A surface that cannot be loaded or a frame that cannot be drawn ends the
// series with a message ("Error al crear bitmap" for the latter, after which
// the chart window stays open). On success the chart window is closed.
SeriesEnd DrawFrames(QWidget* owner, AnimationWindow& window, const QStringList& surfaces,
                          const QStringList& titles, const QStringList& frames, float zmin, float zmax);

}  // namespace sorvan::gui
