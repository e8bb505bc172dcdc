// "&Generar animación" > "&Datos": the fixed series ANIM01.SUP ... ANIM21.SUP
// of the current folder drawn with a Z range the user types and ten evenly
// spaced contour levels, assembled into "video.avi" and opened in the player.
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <cmath>

#include "core/number_text.h"

#include "gui/anim/animation_commands.h"
#include "gui/anim/dibuja_fotogramas.h"
#include "gui/anim/frmEsperar.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/mensajes_anim.h"
#include "gui/anim/ventana_animacion.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

namespace {

constexpr int kFotogramasDatos = 21;
constexpr int kFotogramasPorSegundoDatos = 1;

QString Nombre(const QString& carpeta, int k, const char* extension) {
  return QDir(carpeta).filePath(QStringLiteral("ANIM%1.%2").arg(k, 2, 10, QLatin1Char('0')).arg(extension));
}

// One of the two prompts, asked again until it holds a number; false when
// the user cancels.
bool PideValor(QWidget* owner, const QString& pregunta, const QString& campo, float& valor) {
  QString texto;
  for (;;) {
    bool aceptado = false;
    texto = QInputDialog::getText(owner, TituloPrograma(), pregunta, QLineEdit::Normal, texto, &aceptado);
    if (!aceptado) return false;
    const std::optional<double> v = sorvan::ParseNumber(texto.toStdString());
    if (v && std::fabs(*v) <= 3.4e38) {
      valor = static_cast<float>(*v);
      return true;
    }
    MensajeAnim(owner, QMessageBox::Warning,
                QStringLiteral("El valor \"%1\" del %2 no es un número válido.").arg(texto, campo));
  }
}

}  // namespace

void GenerarAnimacionDatos(AppShell& shell) {
  QWidget* owner = shell.Window();
  float minimo = 0, maximo = 0;
  if (!PideValor(owner, QStringLiteral("Introduce el valor mínimo"), QStringLiteral("valor mínimo"), minimo)) return;
  if (!PideValor(owner, QStringLiteral("Introduce el valor máximo"), QStringLiteral("valor máximo"), maximo)) return;
  if (!(maximo > minimo)) {
    MensajeAnim(owner, QMessageBox::Warning,
                QStringLiteral("El valor máximo (%1) debe ser mayor que el mínimo (%2).").arg(maximo).arg(minimo));
    return;
  }

  const QString carpeta = QDir::currentPath();
  QStringList superficies, fotogramas;
  for (int k = 1; k <= kFotogramasDatos; ++k) {
    superficies << Nombre(carpeta, k, "SUP");
    fotogramas << Nombre(carpeta, k, "BMP");
  }
  // Every surface of the series must be there before any frame is drawn.
  for (const QString& superficie : superficies) {
    if (!QFile::exists(superficie)) {
      MensajeAnim(owner, QMessageBox::Warning,
                  QStringLiteral("No se encuentra el fichero de superficie %1.").arg(QDir::toNativeSeparators(superficie)));
      return;
    }
  }

  VentanaAnimacion ventana(owner, QStringLiteral("Superficies animación ..."));
  Chart3D* grafico = ventana.Grafico();
  QString error;
  grafico->Batch(true);
  const bool cargado = grafico->LoadGridFile(superficies[0], &error);
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

  if (!frmEsperar::Esperar(owner, ventana.Ventana())) {
    MensajeAnim(owner, QMessageBox::Information,
                QStringLiteral("Ya hay otra animación esperando: termínela antes de empezar esta."));
    return;
  }
  if (!ventana.Existe()) return;
  if (DibujaFotogramas(owner, ventana, superficies, QStringList(), fotogramas, minimo, maximo) != FinSerie::Hecha)
    return;

  // Our own writer stands in for the outside batch command: uncompressed
  // frames, which every player shows.
  const QString video = QDir(carpeta).filePath(QStringLiteral("video.avi"));
  QFile::remove(video);
  if (EscribeVideo(owner, fotogramas, video, kFotogramasPorSegundoDatos, EleccionCompresor{})) AbreVideo(owner, video);
}
