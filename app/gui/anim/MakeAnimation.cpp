#include "gui/anim/MakeAnimation.h"

#include <QDir>

#include "gui/anim/frame_drawing.h"
#include "gui/anim/frmEsperar.h"
#include "core/z_limits.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/animation_messages.h"
#include "gui/anim/animation_window.h"
#include "platform/chart3d.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

QString FrameName(const QString& folder, int k) {
  return QDir(folder).filePath(QStringLiteral("ANIM%1.BMP").arg(k, 2, 10, QLatin1Char('0')));
}

void MakeAnimation(QWidget* owner, const QStringList& surfaceFiles, const QStringList& titles, float& zmin,
                   float& zmax, int fps) {
  const int n = static_cast<int>(surfaceFiles.size());
  if (n == 0) return;
  const QString folder = QDir::currentPath();
  QStringList frames;
  for (int k = 0; k < n; ++k) frames << FrameName(folder, k);

  AnimationWindow window(owner, QStringLiteral("Superficies animación ..."));
  Chart3D* grafico = window.Grafico();
  QString error;

  // First frame: the common scale, then the user's look.
  grafico->Backdrop(0, Qt::white);
  grafico->Batch(true);
  if (!grafico->LoadGridFile(surfaceFiles[0], &error)) {
    grafico->Batch(false);
    AnimationMessage(owner, QMessageBox::Warning, error.isEmpty() ? surfaceFiles[0] : error);
    return;
  }
  grafico->Title(titles.value(0));
  grafico->FrameSettings(32, 2);
  grafico->ContourLevelSwitch(true);
  const ZLimits limits = RoundedZLimits(zmin, zmax);
  zmin = limits.zmin;
  zmax = limits.zmax;
  grafico->ZAxisRange(zmin, zmax);
  grafico->Batch(false);
  grafico->ContourLevelCount(limits.levels);
  grafico->ContourLevelSwitch(false);

  if (!frmEsperar::WaitFor(owner, window.Ventana())) {
    AnimationMessage(owner, QMessageBox::Information,
                QStringLiteral("Ya hay otra animación esperando: termínela antes de empezar esta."));
    return;
  }
  if (!window.Existe()) return;  // the user closed the chart window meanwhile
  if (DrawFrames(owner, window, surfaceFiles, titles, frames, zmin, zmax) == SeriesEnd::Finished)
    WriteAVI(owner, frames, fps);
}

}  // namespace sorvan::gui
