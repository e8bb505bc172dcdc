// "&Generar animación" > "&Datos": the fixed series ANIM01.SUP ... ANIM21.SUP
// of the current folder drawn with a Z range the user types and ten evenly
// spaced contour levels, assembled into "video.avi" and opened in the player.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QProgressDialog>

#include "gui/anim/animation_commands.h"
#include "gui/anim/frmEsperar.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/mensajes_anim.h"
#include "gui/anim/numero_texto.h"
#include "gui/anim/ventana_animacion.h"
#include "gui/frmMain.h"
#include "platform/chart3d.h"

namespace {

constexpr int kFotogramasDatos = 21;
constexpr int kFotogramasPorSegundoDatos = 1;

void Estado(const QString& texto) {
  if (frmMain* principal = frmMain::Instance()) principal->MensajeBE(texto);
}

QString Nombre(const QString& carpeta, int k, const char* extension) {
  return QDir(carpeta).filePath(QStringLiteral("ANIM%1.%2").arg(k, 2, 10, QLatin1Char('0')).arg(extension));
}

// One of the two prompts; false when the user cancels.
bool PideValor(QWidget* owner, const QString& pregunta, float& valor) {
  bool aceptado = false;
  const QString texto = QInputDialog::getText(owner, TituloPrograma(), pregunta, QLineEdit::Normal, QString(),
                                              &aceptado);
  if (!aceptado) return false;
  valor = static_cast<float>(ValorNumerico(texto));
  return true;
}

}  // namespace

void GenerarAnimacionDatos(QWidget* owner) {
  float minimo = 0, maximo = 0;
  if (!PideValor(owner, QStringLiteral("Introduce el valor mínimo"), minimo)) return;
  if (!PideValor(owner, QStringLiteral("Introduce el valor máximo"), maximo)) return;
  if (!(maximo > minimo)) {
    MensajeAnim(owner, QMessageBox::Warning,
                QStringLiteral("El valor máximo (%1) debe ser mayor que el mínimo (%2).").arg(maximo).arg(minimo));
    return;
  }

  // Every surface of the series must be there before any frame is drawn.
  const QString carpeta = QDir::currentPath();
  for (int k = 1; k <= kFotogramasDatos; ++k) {
    if (!QFile::exists(Nombre(carpeta, k, "SUP"))) {
      MensajeAnim(owner, QMessageBox::Warning,
                  QStringLiteral("No se encuentra el fichero de superficie %1.")
                      .arg(QDir::toNativeSeparators(Nombre(carpeta, k, "SUP"))));
      return;
    }
  }

  VentanaAnimacion ventana(QStringLiteral("Superficies animación ..."));
  Chart3D* grafico = ventana.Grafico();
  QString error;
  grafico->Batch(true);
  const bool cargado = grafico->LoadGridFile(Nombre(carpeta, 1, "SUP"), &error);
  grafico->ZAxisRange(minimo, maximo);
  grafico->ContourLevelCount(0);
  grafico->FrameSwitch(false);
  for (int i = 1; i <= 10; ++i) grafico->AddContourLevel(minimo + (maximo - minimo) * i / 11.0f);
  grafico->ContourLevelSwitch(false);
  grafico->Batch(false);
  if (!cargado) {
    MensajeAnim(owner, QMessageBox::Warning, error);
    return;
  }

  frmEsperar::Esperar(frmMain::Instance() ? static_cast<QWidget*>(frmMain::Instance()) : owner);
  if (!ventana.Existe()) return;
  ventana.Mostrar();

  QStringList fotogramas;
  QProgressDialog progreso(QStringLiteral("Generando imágenes..."), QStringLiteral("Cancelar"), 0,
                           kFotogramasDatos, owner);
  progreso.setWindowTitle(TituloPrograma());
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);
  for (int k = 1; k <= kFotogramasDatos; ++k) {
    if (k > 1) {
      const QString texto = QStringLiteral("Generando imagen %1 de %2").arg(k).arg(kFotogramasDatos);
      Estado(texto);
      progreso.setLabelText(texto);
      QApplication::processEvents();
      if (progreso.wasCanceled() || !ventana.Existe()) {
        if (ventana.Existe()) grafico->RenderSwitch(true);
        Estado(QStringLiteral("Preparado"));
        return;
      }
      grafico->Batch(true);
      const bool ok = grafico->LoadGridFile(Nombre(carpeta, k, "SUP"), &error);
      grafico->ZAxisRange(minimo, maximo);
      grafico->Batch(false);
      if (!ok) {
        grafico->RenderSwitch(true);
        Estado(QStringLiteral("Preparado"));
        progreso.close();
        MensajeAnim(owner, QMessageBox::Warning, error);
        return;
      }
    }
    fotogramas << Nombre(carpeta, k, "BMP");
    if (!grafico->DrawToFile(fotogramas.last(), 1)) {
      grafico->RenderSwitch(true);
      Estado(QStringLiteral("Preparado"));
      progreso.close();
      MensajeAnim(owner, QMessageBox::Warning, QStringLiteral("Error al crear bitmap"),
                  QDir::toNativeSeparators(fotogramas.last()));
      ventana.Conservar();
      return;
    }
    if (k == 1) grafico->RenderSwitch(false);
    progreso.setValue(k);
  }
  grafico->RenderSwitch(true);
  Estado(QStringLiteral("Preparado"));
  ventana.Cerrar();

  // Our own writer stands in for the outside batch command: uncompressed
  // frames, which every player shows.
  const QString video = QDir(carpeta).filePath(QStringLiteral("video.avi"));
  QFile::remove(video);
  if (EscribeVideo(owner, fotogramas, video, kFotogramasPorSegundoDatos, EleccionCompresor{})) AbreVideo(owner, video);
}
