#include "gui/anim/dibuja_fotogramas.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>

#include "gui/anim/mensajes_anim.h"
#include "gui/anim/ventana_animacion.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

FinSerie DibujaFotogramas(QWidget* owner, VentanaAnimacion& ventana, const QStringList& superficies,
                          const QStringList& titulos, const QStringList& fotogramas, float zmin, float zmax) {
  auto Estado = [owner](const QString& texto) { ShowStatusOf(owner, texto); };
  const int n = static_cast<int>(superficies.size());
  Chart3D* grafico = ventana.Grafico();
  QProgressDialog progreso(QStringLiteral("Generando imágenes..."), QStringLiteral("Cancelar"), 0, n, owner);
  progreso.setWindowTitle(TituloPrograma());
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);

  // Ends the series early: the chart draws on screen again and the status
  // is back to idle before any message.
  auto termina = [&](FinSerie fin, const QString& texto, const QString& detalle) {
    if (ventana.Existe()) grafico->RenderSwitch(true);
    Estado(QStringLiteral("Preparado"));
    progreso.close();
    if (!texto.isEmpty()) MensajeAnim(owner, QMessageBox::Warning, texto, detalle);
    return fin;
  };

  ventana.Mostrar();
  for (int k = 1; k <= n; ++k) {
    if (k > 1) {
      const QString texto = QStringLiteral("Generando imagen %1 de %2").arg(k).arg(n);
      Estado(texto);
      progreso.setLabelText(texto);
      QApplication::processEvents();
      if (progreso.wasCanceled() || !ventana.Existe()) return termina(FinSerie::Cancelada, QString(), QString());
      QString error;
      grafico->Batch(true);
      const bool cargada = grafico->LoadGridFile(superficies[k - 1], &error);
      if (k - 1 < titulos.size()) grafico->Title(titulos[k - 1]);
      grafico->ZAxisRange(zmin, zmax);
      grafico->Batch(false);
      if (!cargada)
        return termina(FinSerie::Fallo, error.isEmpty() ? superficies[k - 1] : error, QString());
    }
    QString causa;
    if (!grafico->DrawToFile(fotogramas[k - 1], 1, &causa)) {
      ventana.Conservar();
      return termina(FinSerie::Fallo, QStringLiteral("Error al crear bitmap"),
                     causa.isEmpty() ? QDir::toNativeSeparators(fotogramas[k - 1]) : causa);
    }
    // The frames are drawn off screen: the window need not repaint for each.
    if (k == 1) grafico->RenderSwitch(false);
    progreso.setValue(k);
  }
  grafico->RenderSwitch(true);
  Estado(QStringLiteral("Preparado"));
  ventana.Cerrar();
  return FinSerie::Hecha;
}
