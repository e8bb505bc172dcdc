#include "gui/kriging/ejecucion_kriging.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "core/ejecuta_kriging.h"
#include "core/motor_kriging.h"
#include "gui/frmMain.h"

namespace {

const QString kTituloPrograma = QStringLiteral("Sorvan");

void MensajeEstado(const QString& texto) {
  if (frmMain* principal = frmMain::Instance()) principal->MensajeBE(texto);
}

}  // namespace

FinKriging EjecutaKrigingVentana(QWidget* padre, sorvan::SesionKriging& sesion, const QString& nombre) {
  // One run at a time: the engine's files have fixed names in the folder.
  static bool enMarcha = false;
  if (enMarcha) return FinKriging::Fallo;

  sorvan::ArgumentosSKU argumentos;
  sorvan::Resultado r = sorvan::PreparaArgumentos(sesion, argumentos);
  if (!r) {
    QMessageBox::warning(padre, QStringLiteral("Sorvan: Kriging 2D"), QString::fromStdString(r.mensaje));
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Fallo;
  }

  const std::string carpeta = QFile::encodeName(QDir::currentPath()).toStdString();
  const QString texto = QString::fromStdString(sorvan::MensajeGenerando(nombre.toStdString()));
  MensajeEstado(texto);

  sorvan::MotorKriging motor;
  r = motor.start(argumentos, carpeta);
  if (!r) {
    QMessageBox::critical(padre, kTituloPrograma, QString::fromStdString(r.mensaje));
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Fallo;
  }
  enMarcha = true;

  // The engine runs in its own process; this loop keeps the windows alive
  // and the progress dialog answering until it ends or the user cancels.
  QProgressDialog progreso(texto, QStringLiteral("Cancelar"), 0, 0, padre);
  progreso.setObjectName(QStringLiteral("ProgresoKriging"));
  progreso.setWindowTitle(kTituloPrograma);
  progreso.setWindowModality(Qt::ApplicationModal);
  progreso.setMinimumDuration(0);
  progreso.setAutoClose(false);
  progreso.setAutoReset(false);
  QEventLoop bucle;
  QTimer reloj;
  reloj.setInterval(40);
  QObject::connect(&reloj, &QTimer::timeout, &bucle, [&] {
    if (motor.poll()) bucle.quit();
  });
  QObject::connect(&progreso, &QProgressDialog::canceled, &bucle, [&] {
    motor.cancel();
    bucle.quit();
  });
  reloj.start();
  progreso.show();
  if (motor.enMarcha()) bucle.exec();
  reloj.stop();
  progreso.hide();
  enMarcha = false;

  const sorvan::ResultadoMotor& fin = motor.resultado();
  FinKriging resultado = FinKriging::Hecho;
  if (fin.cancelado) {
    resultado = FinKriging::Cancelado;
  } else if (!fin.ok) {
    QMessageBox::critical(padre, kTituloPrograma, QString::fromStdString(fin.mensaje));
    resultado = FinKriging::Fallo;
  } else {
    sorvan::AplicaResultado(sesion, fin.salida, nombre.toStdString(), carpeta);
  }
  MensajeEstado(QStringLiteral("Preparado"));
  return resultado;
}

QString ArchivoEnCarpeta(const QString& carpeta, const QString& nombre) {
  const QDir dir(carpeta);
  if (dir.exists(nombre)) return dir.absoluteFilePath(nombre);
  const QStringList hallados = dir.entryList({nombre}, QDir::Files, QDir::Name);  // name filters ignore case
  for (const QString& h : hallados)
    if (h.compare(nombre, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(h);
  return dir.absoluteFilePath(nombre);
}
