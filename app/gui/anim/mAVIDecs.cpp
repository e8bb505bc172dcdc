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

const QString kErrorEscritura = QStringLiteral("Se producieron errores al escribir el fichero.");
const QString kErrorPrimero = QStringLiteral("No se pudo cargar primer bitmap!");

// The save dialog of the video; empty when the user cancels.
QString PideNombreAVI(QWidget* owner) {
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

int AltoDe(const cDIB& dib) { return dib.Height() < 0 ? -dib.Height() : dib.Height(); }

// Reads the first frame, which fixes the size of the video, in the 24-bit
// layout the writer takes.
bool CargaPrimero(QWidget* owner, cDIB& dib, const QString& file, std::vector<std::uint8_t>& pixeles) {
  MensajesAlUsuario(dib, owner);
  if (dib.CreateFromFile(file.toStdString()) && dib.ToBGR24(pixeles)) return true;
  AnimationMessage(owner, QMessageBox::Warning, kErrorPrimero);
  return false;
}

}  // namespace

void WriteAVI(QWidget* ownerWindow, const QStringList& frameFiles, int fps) {
  if (frameFiles.isEmpty()) return;
  const QString fichero = PideNombreAVI(ownerWindow);
  if (fichero.isEmpty()) return;
  cDIB first;
  std::vector<std::uint8_t> pixeles;
  if (!CargaPrimero(ownerWindow, first, frameFiles.first(), pixeles)) return;
  CompressorChoice compresor;
  if (!frmCompresion::Elegir(ownerWindow, compresor)) return;
  if (EscribeVideo(ownerWindow, frameFiles, fichero, fps, compresor)) AbreVideo(ownerWindow, fichero);
}

bool EscribeVideo(QWidget* owner, const QStringList& frameFiles, const QString& fichero, int fps,
                  const CompressorChoice& compresor) {
  if (frameFiles.isEmpty()) return false;
  cDIB dib;
  std::vector<std::uint8_t> pixeles;
  if (!CargaPrimero(owner, dib, frameFiles.first(), pixeles)) return false;
  const int width = dib.Width();
  const int alto = AltoDe(dib);

  AviStreamSettings ajustes;
  ajustes.width = width;
  ajustes.height = alto;
  ajustes.fps = LimitFramesPerSecond(fps);
  ajustes.encoder = compresor.encoder;
  ajustes.quality = compresor.calidad;
  AviWriter escritor;
  if (!escritor.Open(fichero.toStdString(), ajustes)) {
    AnimationMessage(owner, QMessageBox::Information, kErrorEscritura, QString::fromStdString(escritor.Error()));
    return false;
  }

  const int n = static_cast<int>(frameFiles.size());
  QProgressDialog progreso(QStringLiteral("Generando vídeo..."), QStringLiteral("Cancelar"), 0, n, owner);
  progreso.setWindowTitle(TituloPrograma());
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);

  bool failure = false;
  for (int i = 0; i < n && !failure; ++i) {
    progreso.setLabelText(QStringLiteral("Escribiendo fotograma %1 de %2...").arg(i + 1).arg(n));
    progreso.setValue(i);
    QApplication::processEvents();
    if (progreso.wasCanceled()) {
      escritor.Abort();
      return false;
    }
    // A frame that cannot be used keeps the previous picture, so the video
    // keeps its length and timing.
    if (i > 0 && dib.CreateFromFile(frameFiles[i].toStdString())) {
      std::vector<std::uint8_t> siguiente;
      if (dib.Width() != width || AltoDe(dib) != alto || !dib.ToBGR24(siguiente))
        AnimationMessage(owner, QMessageBox::Information,
                    QStringLiteral("El bitmap %1 no tiene el formato del primero; se repite el fotograma anterior.")
                        .arg(QDir::toNativeSeparators(frameFiles[i])));
      else
        pixeles.swap(siguiente);
    }
    failure = !escritor.WriteFrame(pixeles.data(), pixeles.size());
  }
  progreso.setValue(n);
  if (!escritor.Close()) failure = true;
  if (failure) {
    AnimationMessage(owner, QMessageBox::Information, kErrorEscritura, QString::fromStdString(escritor.Error()));
    return false;
  }
  return true;
}

void AbreVideo(QWidget* owner, const QString& fichero) {
  QApplication::processEvents();
  if (!OpenInPlayer(fichero))
    AnimationMessage(owner, QMessageBox::Information, QStringLiteral("El proceso requerido falló"));
}

}  // namespace sorvan::gui
