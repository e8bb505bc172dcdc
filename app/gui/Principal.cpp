#include "gui/Principal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "gui/frmMain.h"
#include "gui/frmSplash.h"

// Outside any namespace, as the resource macro requires. The resources live in
// a static library, so nothing would pull them in without this reference.
static void registrarRecursos() { Q_INIT_RESOURCE(sorvan); }

namespace Principal {

void IniciarRecursos() {
  static bool hecho = false;
  if (!hecho) {
    registrarRecursos();
    hecho = true;
  }
}

frmMain* Arrancar(const QString& archivoDatos) {
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

  if (!archivoDatos.isEmpty()) principal->AbrirDatos(archivoDatos);
  return principal;
}

}  // namespace Principal
