#pragma once
// MakeAnimation: a series of surface files drawn to bitmap frames with one
// common Z scale, then assembled into an AVI video.
#include <QStringList>

class QWidget;

namespace sorvan::gui {

// Frame name k (0-based) in `folder`: "ANIM" + k with at least two digits + ".BMP".
QString FrameName(const QString& folder, int k);

// Loads surfaceFiles[0] into a surface chart window ("Superficies
// animación ..."), fixes the Z axis to the rounded limits of zmin ... zmax
// (written back into both) with one contour level per step, and waits in the
// wait dialog while the user adjusts the look of the chart. Then every
// surface is drawn, with that look and its title from `titles`, to
// ANIM00.BMP, ANIM01.BMP, ... in the current folder, with the status bar
// counting "Generando imagen k de n" and a progress dialog that can stop the
// series; and the frames go to WriteAVI with `owner` and `fps`.
// A surface that cannot be loaded or a frame that cannot be drawn ends the
// series with a message, without video.
void MakeAnimation(QWidget* owner, const QStringList& surfaceFiles, const QStringList& titles, float& zmin,
                   float& zmax, int fps);

}  // namespace sorvan::gui
