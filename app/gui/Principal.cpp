#include "gui/Principal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "gui/frmMain.h"
#include "gui/frmSplash.h"

namespace sorvan::gui {

namespace Principal {

frmMain* Launch(const QString& dataFile) {
  QElapsedTimer t0;
  t0.start();

  frmSplash splash;
  splash.show();
  splash.repaint();
  QApplication::processEvents();

  auto* mainWindow = new frmMain;

  // Keep the splash up (and alive) until the minimum time has passed.
  while (t0.elapsed() <= kSplashWaitMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(15);
  }
  splash.close();
  mainWindow->show();

  if (!dataFile.isEmpty()) mainWindow->OpenData(dataFile);
  return mainWindow;
}

}  // namespace Principal

}  // namespace sorvan::gui
