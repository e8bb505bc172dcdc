#pragma once
// mAVIDecs: assembling a list of equally sized bitmap files into one AVI
// video, which then opens in the desktop's default player.
#include <QString>
#include <QStringList>

#include "gui/anim/frmCompresion.h"

class QWidget;

namespace sorvan::gui {

// Asks for the file name ("Anim.avi" in the working folder by default) and
// for the compressor, writes every frame of `frameFiles` (in order) at `fps`
// frames per second (brought into 1 ... 30) and opens the result in the
// player. Cancelling either dialog ends quietly; every other outcome is told
// to the user.
void WriteAVI(QWidget* ownerWindow, const QStringList& frameFiles, int fps);

// The writing itself, without dialogs: every frame a key frame, a progress
// dialog over `owner` that lets the user stop (the unfinished file is then
// removed). A frame that cannot be read, or whose size differs from the
// first, repeats the previous picture after a message naming it. Failures
// are told to the user. True when the video is complete.
bool WriteVideo(QWidget* owner, const QStringList& frameFiles, const QString& dataFileName, int fps,
                  const CompressorChoice& compressor);

// Opens a finished video in the desktop's player, or says that it could not.
void OpenVideo(QWidget* owner, const QString& dataFileName);

}  // namespace sorvan::gui
