#include "gui/Principal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "gui/frmMain.h"
#include "gui/frmSplash.h"

namespace sorvan::gui {

namespace Principal {

frmMain* Arrancar(const QString& dataFile) {
  QElapsedTimer t0;
  t0.start();

  frmSplash splash;
  splash.show();
  splash.repaint();
  QApplication::processEvents();

  auto* principal = new frmMain;

  // Keep the splash up (and alive) until the minimum time has passed.
  while (t0.elapsed() <= kEsperaSplashMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(15);
  }
  splash.close();
  principal->show();

  if (!dataFile.isEmpty()) principal->AbrirDatos(dataFile);
  return principal;
}

}  // namespace Principal

}  // namespace sorvan::gui
