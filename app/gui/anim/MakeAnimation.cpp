#include "gui/anim/MakeAnimation.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>

#include "gui/anim/frmEsperar.h"
#include "gui/anim/limites_z.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/mensajes_anim.h"
#include "gui/anim/ventana_animacion.h"
#include "gui/frmMain.h"
#include "platform/chart3d.h"

namespace {

void Estado(const QString& texto) {
  if (frmMain* principal = frmMain::Instance()) principal->MensajeBE(texto);
}

const QString kErrorBitmap = QStringLiteral("Error al crear bitmap");

}  // namespace

QString NombreFotograma(const QString& carpeta, int k) {
  return QDir(carpeta).filePath(QStringLiteral("ANIM%1.BMP").arg(k, 2, 10, QLatin1Char('0')));
}

void MakeAnimation(QWidget* owner, const QStringList& surfaceFiles, const QStringList& titles, float& zmin,
                   float& zmax, int fps) {
  const int n = static_cast<int>(surfaceFiles.size());
  if (n == 0) return;
  const QString carpeta = QDir::currentPath();
  QStringList fotogramas;
  for (int k = 0; k < n; ++k) fotogramas << NombreFotograma(carpeta, k);
  auto titulo = [&titles](int k) { return k < titles.size() ? titles[k] : QString(); };

  VentanaAnimacion ventana(QStringLiteral("Superficies animación ..."));
  Chart3D* grafico = ventana.Grafico();
  QString error;

  // First frame: the common scale, then the user's look.
  grafico->Backdrop(0, Qt::white);
  grafico->Batch(true);
  if (!grafico->LoadGridFile(surfaceFiles[0], &error)) {
    grafico->Batch(false);
    MensajeAnim(owner, QMessageBox::Warning, error.isEmpty() ? surfaceFiles[0] : error);
    return;
  }
  grafico->Title(titulo(0));
  grafico->FrameSettings(32, 2);
  grafico->ContourLevelSwitch(true);
  const LimitesZ limites = LimitesZRedondeados(zmin, zmax);
  zmin = limites.zmin;
  zmax = limites.zmax;
  grafico->ZAxisRange(zmin, zmax);
  grafico->Batch(false);
  grafico->ContourLevelCount(limites.niveles);
  grafico->ContourLevelSwitch(false);

  frmEsperar::Esperar(frmMain::Instance() ? static_cast<QWidget*>(frmMain::Instance()) : owner);
  if (!ventana.Existe()) return;  // the user closed the chart window meanwhile
  ventana.Mostrar();
  if (!grafico->DrawToFile(fotogramas[0], 1)) {
    MensajeAnim(owner, QMessageBox::Warning, kErrorBitmap, QDir::toNativeSeparators(fotogramas[0]));
    ventana.Conservar();
    return;
  }
  grafico->RenderSwitch(false);

  QProgressDialog progreso(QStringLiteral("Generando imágenes..."), QStringLiteral("Cancelar"), 0, n, owner);
  progreso.setWindowTitle(TituloPrograma());
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);
  progreso.setValue(1);
  for (int k = 2; k <= n; ++k) {
    const QString texto = QStringLiteral("Generando imagen %1 de %2").arg(k).arg(n);
    Estado(texto);
    progreso.setLabelText(texto);
    QApplication::processEvents();
    if (progreso.wasCanceled() || !ventana.Existe()) {
      if (ventana.Existe()) grafico->RenderSwitch(true);
      Estado(QStringLiteral("Preparado"));
      return;
    }
    grafico->Batch(true);
    const bool cargado = grafico->LoadGridFile(surfaceFiles[k - 1], &error);
    grafico->Title(titulo(k - 1));
    grafico->ZAxisRange(zmin, zmax);
    grafico->Batch(false);
    if (!cargado) {
      grafico->RenderSwitch(true);
      Estado(QStringLiteral("Preparado"));
      progreso.close();
      MensajeAnim(owner, QMessageBox::Warning, error.isEmpty() ? surfaceFiles[k - 1] : error);
      return;
    }
    if (!grafico->DrawToFile(fotogramas[k - 1], 1)) {
      grafico->RenderSwitch(true);
      Estado(QStringLiteral("Preparado"));
      progreso.close();
      MensajeAnim(owner, QMessageBox::Warning, kErrorBitmap, QDir::toNativeSeparators(fotogramas[k - 1]));
      ventana.Conservar();
      return;
    }
    progreso.setValue(k);
  }
  progreso.setValue(n);
  grafico->RenderSwitch(true);
  Estado(QStringLiteral("Preparado"));
  ventana.Cerrar();

  WriteAVI(owner, fotogramas, fps);
}
