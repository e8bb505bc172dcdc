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

SeriesEnd DrawFrames(QWidget* owner, AnimationWindow& ventana, const QStringList& surfaces,
                          const QStringList& titulos, const QStringList& fotogramas, float zmin, float zmax) {
  auto Estado = [owner](const QString& text) { ShowStatusOf(owner, text); };
  const int n = static_cast<int>(surfaces.size());
  Chart3D* grafico = ventana.Grafico();
  QProgressDialog progreso(QStringLiteral("Generando imágenes..."), QStringLiteral("Cancelar"), 0, n, owner);
  progreso.setWindowTitle(TituloPrograma());
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);

  // Ends the series early: the chart draws on screen again and the status
  // is back to idle before any message.
  auto finish = [&](SeriesEnd atEnd, const QString& text, const QString& detalle) {
    if (ventana.Existe()) grafico->RenderSwitch(true);
    Estado(QStringLiteral("Preparado"));
    progreso.close();
    if (!text.isEmpty()) AnimationMessage(owner, QMessageBox::Warning, text, detalle);
    return atEnd;
  };

  ventana.Mostrar();
  for (int k = 1; k <= n; ++k) {
    if (k > 1) {
      const QString text = QStringLiteral("Generando imagen %1 de %2").arg(k).arg(n);
      Estado(text);
      progreso.setLabelText(text);
      QApplication::processEvents();
      if (progreso.wasCanceled() || !ventana.Existe()) return finish(SeriesEnd::Cancelada, QString(), QString());
      QString error;
      grafico->Batch(true);
      const bool cargada = grafico->LoadGridFile(surfaces[k - 1], &error);
      if (k - 1 < titulos.size()) grafico->Title(titulos[k - 1]);
      grafico->ZAxisRange(zmin, zmax);
      grafico->Batch(false);
      if (!cargada)
        return finish(SeriesEnd::Fallo, error.isEmpty() ? surfaces[k - 1] : error, QString());
    }
    QString cause;
    if (!grafico->DrawToFile(fotogramas[k - 1], 1, &cause)) {
      ventana.Conservar();
      return finish(SeriesEnd::Fallo, QStringLiteral("Error al crear bitmap"),
                     cause.isEmpty() ? QDir::toNativeSeparators(fotogramas[k - 1]) : cause);
    }
    // The frames are drawn off screen: the window need not repaint for each.
    if (k == 1) grafico->RenderSwitch(false);
    progreso.setValue(k);
  }
  grafico->RenderSwitch(true);
  Estado(QStringLiteral("Preparado"));
  ventana.Cerrar();
  return SeriesEnd::Hecha;
}

}  // namespace sorvan::gui
