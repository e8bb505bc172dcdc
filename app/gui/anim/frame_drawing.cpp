#include "gui/anim/frame_drawing.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>

#include "gui/anim/animation_messages.h"
#include "gui/anim/animation_window.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

namespace sorvan::gui {
using namespace sorvan::platform;

SeriesEnd DrawFrames(QWidget* owner, AnimationWindow& window, const QStringList& surfaces,
                          const QStringList& titles, const QStringList& frames, float zmin, float zmax) {
  auto State = [owner](const QString& text) { ShowStatusOf(owner, text); };
  const int n = static_cast<int>(surfaces.size());
  Chart3D* grafico = window.Grafico();
  QProgressDialog progress(QStringLiteral("Generando imágenes..."), QStringLiteral("Cancelar"), 0, n, owner);
  progress.setWindowTitle(ProgramTitle());
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(0);

  // Ends the series early: the chart draws on screen again and the status
  // is back to idle before any message.
  auto finish = [&](SeriesEnd atEnd, const QString& text, const QString& detail) {
    if (window.Existe()) grafico->RenderSwitch(true);
    State(QStringLiteral("Preparado"));
    progress.close();
    if (!text.isEmpty()) AnimationMessage(owner, QMessageBox::Warning, text, detail);
    return atEnd;
  };

  window.Show();
  for (int k = 1; k <= n; ++k) {
    if (k > 1) {
      const QString text = QStringLiteral("Generando imagen %1 de %2").arg(k).arg(n);
      State(text);
      progress.setLabelText(text);
      QApplication::processEvents();
      if (progress.wasCanceled() || !window.Existe()) return finish(SeriesEnd::CancelledRun, QString(), QString());
      QString error;
      grafico->Batch(true);
      const bool loadedOne = grafico->LoadGridFile(surfaces[k - 1], &error);
      if (k - 1 < titles.size()) grafico->Title(titles[k - 1]);
      grafico->ZAxisRange(zmin, zmax);
      grafico->Batch(false);
      if (!loadedOne)
        return finish(SeriesEnd::Failure, error.isEmpty() ? surfaces[k - 1] : error, QString());
    }
    QString cause;
    if (!grafico->DrawToFile(frames[k - 1], 1, &cause)) {
      window.Keep();
      return finish(SeriesEnd::Failure, QStringLiteral("Error al crear bitmap"),
                     cause.isEmpty() ? QDir::toNativeSeparators(frames[k - 1]) : cause);
    }
    // The frames are drawn off screen: the window need not repaint for each.
    if (k == 1) grafico->RenderSwitch(false);
    progress.setValue(k);
  }
  grafico->RenderSwitch(true);
  State(QStringLiteral("Preparado"));
  window.Close();
  return SeriesEnd::Finished;
}

}  // namespace sorvan::gui
