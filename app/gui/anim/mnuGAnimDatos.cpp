// "&Generar animación" > "&Data": the fixed series ANIM01.SUP ... ANIM21.SUP
// of the current folder drawn with a Z range the user types and ten evenly
// spaced contour levels, assembled into "video.avi" and opened in the player.
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <cmath>

#include "core/number_text.h"

#include "gui/anim/animation_commands.h"
#include "gui/anim/frame_drawing.h"
#include "gui/anim/frmEsperar.h"
#include "gui/anim/mAVIDecs.h"
#include "gui/anim/animation_messages.h"
#include "gui/anim/animation_window.h"
#include "gui/app_shell.h"
#include "platform/chart3d.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

constexpr int kDataFrames = 21;
constexpr int kDataFramesPerSecond = 1;

QString Name(const QString& folder, int k, const char* extension) {
  return QDir(folder).filePath(QStringLiteral("ANIM%1.%2").arg(k, 2, 10, QLatin1Char('0')).arg(extension));
}

// One of the two prompts, asked again until it holds a number; false when
// the user cancels.
bool AskValue(QWidget* owner, const QString& question, const QString& field, float& value) {
  QString text;
  for (;;) {
    bool accepted = false;
    text = QInputDialog::getText(owner, ProgramTitle(), question, QLineEdit::Normal, text, &accepted);
    if (!accepted) return false;
    const std::optional<double> v = sorvan::core::ParseNumber(text.toStdString());
    if (v && std::fabs(*v) <= 3.4e38) {
      value = static_cast<float>(*v);
      return true;
    }
    AnimationMessage(owner, QMessageBox::Warning,
                QStringLiteral("El valor \"%1\" del %2 no es un número válido.").arg(text, field));
  }
}

}  // namespace

void GenerateDataAnimation(AppShell& shell) {
  QWidget* owner = shell.Window();
  float minimum = 0, maximum = 0;
  if (!AskValue(owner, QStringLiteral("Introduce el valor mínimo"), QStringLiteral("valor mínimo"), minimum)) return;
  if (!AskValue(owner, QStringLiteral("Introduce el valor máximo"), QStringLiteral("valor máximo"), maximum)) return;
  if (!(maximum > minimum)) {
    AnimationMessage(owner, QMessageBox::Warning,
                QStringLiteral("El valor máximo (%1) debe ser mayor que el mínimo (%2).").arg(maximum).arg(minimum));
    return;
  }

  const QString folder = QDir::currentPath();
  QStringList surfaces, frames;
  for (int k = 1; k <= kDataFrames; ++k) {
    surfaces << Name(folder, k, "SUP");
    frames << Name(folder, k, "BMP");
  }
  // Every surface of the series must be there before any frame is drawn.
  for (const QString& surface : surfaces) {
    if (!QFile::exists(surface)) {
      AnimationMessage(owner, QMessageBox::Warning,
                  QStringLiteral("No se encuentra el fichero de superficie %1.").arg(QDir::toNativeSeparators(surface)));
      return;
    }
  }

  AnimationWindow window(owner, QStringLiteral("Superficies animación ..."));
  Chart3D* grafico = window.Grafico();
  QString error;
  grafico->Batch(true);
  const bool loaded = grafico->LoadGridFile(surfaces[0], &error);
  grafico->ZAxisRange(minimum, maximum);
  grafico->ContourLevelCount(0);
  grafico->FrameSwitch(false);
  for (int i = 1; i <= 10; ++i) grafico->AddContourLevel(minimum + (maximum - minimum) * i / 11.0f);
  grafico->ContourLevelSwitch(false);
  grafico->Batch(false);
  if (!loaded) {
    AnimationMessage(owner, QMessageBox::Warning, error);
    return;
  }

  if (!frmEsperar::WaitFor(owner, window.Ventana())) {
    AnimationMessage(owner, QMessageBox::Information,
                QStringLiteral("Ya hay otra animación esperando: termínela antes de empezar esta."));
    return;
  }
  if (!window.Existe()) return;
  if (DrawFrames(owner, window, surfaces, QStringList(), frames, minimum, maximum) != SeriesEnd::Finished)
    return;

  // Our own writer stands in for the outside batch command: uncompressed
  // frames, which every player shows.
  const QString video = QDir(folder).filePath(QStringLiteral("video.avi"));
  QFile::remove(video);
  if (WriteVideo(owner, frames, video, kDataFramesPerSecond, CompressorChoice{})) OpenVideo(owner, video);
}

}  // namespace sorvan::gui
