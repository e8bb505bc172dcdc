#include "gui/anim/mAVIDecs.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <vector>

#include "core/bitmap/cDIB.h"
#include "gui/anim/animation_messages.h"
#include "platform/cFileDlg.h"
#include "platform/video/avi_writer.h"
#include "platform/video/player.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kWriteError = QStringLiteral("Se producieron errores al escribir el fichero.");
const QString kFirstError = QStringLiteral("No se pudo cargar primer bitmap!");

// The save dialog of the video; empty when the user cancels.
QString AskAviName(QWidget* owner) {
  cFileDlg dlg;
  dlg.OwnerHwnd = owner;
  dlg.DlgTitle = QStringLiteral("Seleccionar fichero para guardar AVI...");
  dlg.Filter = QStringLiteral("Archivos AVI|*.avi");
  dlg.DefaultExt = QStringLiteral("avi");
  dlg.InitDirectory = QDir::currentPath();
  QString nombre = QStringLiteral("Anim.avi");
  if (!dlg.VBGetSaveFileName(nombre)) return QString();
  return QDir::fromNativeSeparators(nombre);
}

int HeightOf(const cDIB& dib) { return dib.Height() < 0 ? -dib.Height() : dib.Height(); }

// Reads the first frame, which fixes the size of the video, in the 24-bit
// layout the writer takes.
bool LoadFirst(QWidget* owner, cDIB& dib, const QString& file, std::vector<std::uint8_t>& pixels) {
  UserMessages(dib, owner);
  if (dib.CreateFromFile(file.toStdString()) && dib.ToBGR24(pixels)) return true;
  AnimationMessage(owner, QMessageBox::Warning, kFirstError);
  return false;
}

}  // namespace

void WriteAVI(QWidget* ownerWindow, const QStringList& frameFiles, int fps) {
  if (frameFiles.isEmpty()) return;
  const QString dataFileName = AskAviName(ownerWindow);
  if (dataFileName.isEmpty()) return;
  cDIB first;
  std::vector<std::uint8_t> pixels;
  if (!LoadFirst(ownerWindow, first, frameFiles.first(), pixels)) return;
  CompressorChoice compressor;
  if (!frmCompresion::Choose(ownerWindow, compressor)) return;
  if (WriteVideo(ownerWindow, frameFiles, dataFileName, fps, compressor)) OpenVideo(ownerWindow, dataFileName);
}

bool WriteVideo(QWidget* owner, const QStringList& frameFiles, const QString& dataFileName, int fps,
                  const CompressorChoice& compressor) {
  if (frameFiles.isEmpty()) return false;
  cDIB dib;
  std::vector<std::uint8_t> pixels;
  if (!LoadFirst(owner, dib, frameFiles.first(), pixels)) return false;
  const int width = dib.Width();
  const int height = HeightOf(dib);

  AviStreamSettings settings;
  settings.width = width;
  settings.height = height;
  settings.fps = LimitFramesPerSecond(fps);
  settings.encoder = compressor.encoder;
  settings.quality = compressor.quality;
  AviWriter writer;
  if (!writer.Open(dataFileName.toStdString(), settings)) {
    AnimationMessage(owner, QMessageBox::Information, kWriteError, QString::fromStdString(writer.Error()));
    return false;
  }

  const int n = static_cast<int>(frameFiles.size());
  QProgressDialog progress(QStringLiteral("Generando vídeo..."), QStringLiteral("Cancelar"), 0, n, owner);
  progress.setWindowTitle(ProgramTitle());
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(0);

  bool failure = false;
  for (int i = 0; i < n && !failure; ++i) {
    progress.setLabelText(QStringLiteral("Escribiendo fotograma %1 de %2...").arg(i + 1).arg(n));
    progress.setValue(i);
    QApplication::processEvents();
    if (progress.wasCanceled()) {
      writer.Abort();
      return false;
    }
    // A frame that cannot be used keeps the previous picture, so the video
    // keeps its length and timing.
    if (i > 0 && dib.CreateFromFile(frameFiles[i].toStdString())) {
      std::vector<std::uint8_t> next;
      if (dib.Width() != width || HeightOf(dib) != height || !dib.ToBGR24(next))
        AnimationMessage(owner, QMessageBox::Information,
                    QStringLiteral("El bitmap %1 no tiene el formato del primero; se repite el fotograma anterior.")
                        .arg(QDir::toNativeSeparators(frameFiles[i])));
      else
        pixels.swap(next);
    }
    failure = !writer.WriteFrame(pixels.data(), pixels.size());
  }
  progress.setValue(n);
  if (!writer.Close()) failure = true;
  if (failure) {
    AnimationMessage(owner, QMessageBox::Information, kWriteError, QString::fromStdString(writer.Error()));
    return false;
  }
  return true;
}

void OpenVideo(QWidget* owner, const QString& dataFileName) {
  QApplication::processEvents();
  if (!OpenInPlayer(dataFileName))
    AnimationMessage(owner, QMessageBox::Information, QStringLiteral("El proceso requerido falló"));
}

}  // namespace sorvan::gui
