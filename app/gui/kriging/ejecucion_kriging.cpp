#include "gui/kriging/ejecucion_kriging.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include "core/carpeta_resultados.h"
#include "core/ejecuta_kriging.h"
#include "core/motor_kriging.h"
#include "gui/app_shell.h"
#include "gui/kriging/pregunta_duplicados.h"
#include "platform/gis/formatos_exportacion.h"
#include "platform/tarea_con_progreso.h"

namespace {

const QString kTituloPrograma = QStringLiteral("Sorvan");

// A failure: the Spanish sentence first, the engine's own text behind
// "Mostrar detalles".
void MuestraFallo(QWidget* padre, const sorvan::ResultadoMotor& fin) {
  QMessageBox caja(QMessageBox::Critical, kTituloPrograma, QString::fromStdString(fin.mensaje), QMessageBox::Ok,
                   padre);
  caja.setObjectName(QStringLiteral("FalloKriging"));
  if (!fin.detalles.empty()) caja.setDetailedText(QString::fromStdString(fin.detalles));
  caja.exec();
}

}  // namespace

FinKriging EjecutaKrigingVentana(QWidget* padre, sorvan::SesionKriging& sesion, const QString& nombre) {
  auto MensajeEstado = [padre](const QString& texto) { ShowStatusOf(padre, texto); };
  // One run at a time: the engine's files have fixed names in the folder.
  static bool enMarcha = false;
  if (enMarcha) return FinKriging::Fallo;

  // Coinciding points: the user says what to do before anything runs.
  if (!EligePoliticaDuplicados(padre, sesion)) {
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Cancelado;
  }
  sorvan::ArgumentosSKU argumentos;
  sorvan::DatosFuera fuera;
  // The checks and the copy of a million points take a while: off the window's thread.
  sorvan::Resultado r;
  const TareaConProgreso tarea{padre, QStringLiteral("Preparando los datos del cálculo...")};
  if (!tarea.Ejecuta([&](const sorvan::AvisoProgreso&) { r = sorvan::PreparaArgumentos(sesion, argumentos, &fuera); })) {
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Cancelado;
  }
  if (!r) {
    QMessageBox::warning(padre, QStringLiteral("Sorvan: Kriging 2D"), QString::fromStdString(r.mensaje));
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Fallo;
  }

  // A slow or large global run is announced with its figures first.
  if (!r.mensaje.empty() &&
      QMessageBox::question(padre, QStringLiteral("Sorvan: Kriging 2D"),
                            QString::fromStdString(r.mensaje) + QStringLiteral("\n\n¿Desea continuar?")) !=
          QMessageBox::Yes) {
    MensajeEstado(QStringLiteral("Preparado"));
    return FinKriging::Cancelado;
  }

  const std::string carpeta = QFile::encodeName(CarpetaResultadosKriging(sesion)).toStdString();
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
    MuestraFallo(padre, fin);
    resultado = FinKriging::Fallo;
  } else {
    sorvan::AplicaResultado(sesion, fin, nombre.toStdString(), carpeta);
    // After the engine's log has reached the folder: its lines stay as they are.
    sesion.datosFuera = fuera;
    const sorvan::Resultado anotado = sorvan::AnotaDatosFuera(carpeta, fuera);
    if (!anotado) QMessageBox::warning(padre, kTituloPrograma, QString::fromStdString(anotado.mensaje));
    // The "Guardar" frame's files; a failure is told, the run's results stay.
    sorvan::Resultado guardado;
    const TareaConProgreso guardar{padre, QStringLiteral("Guardando las superficies..."), false};
    guardar.Ejecuta([&](const sorvan::AvisoProgreso&) { guardado = sorvan::GuardaTrasCalculo(sesion); });
    if (!guardado)
      QMessageBox::warning(padre, kTituloPrograma,
                           QStringLiteral("El cálculo ha terminado, pero no se han guardado las superficies.\n%1")
                               .arg(QString::fromStdString(guardado.mensaje)));
  }
  MensajeEstado(resultado == FinKriging::Hecho ? EstadoTrasKriging(sesion) : QStringLiteral("Preparado"));
  return resultado;
}

QString EstadoTrasKriging(const sorvan::SesionKriging& sesion) {
  // What the run left out of the data, and how many nodes a local run left
  // as holes (the log has the causes).
  QStringList partes;
  if (!sesion.datosFuera.vacio()) partes << QString::fromStdString(sorvan::TextoDatosFuera(sesion.datosFuera));
  const sorvan::ResumenLocal& local = sesion.resumenLocal;
  const long long huecos = local.pocosVecinos + local.singulares;
  if (local.local && huecos > 0) partes << QStringLiteral("kriging local: %1 nodos sin valor").arg(huecos);
  return partes.isEmpty() ? QStringLiteral("Preparado")
                          : QStringLiteral("Preparado (%1)").arg(partes.join(QStringLiteral("; ")));
}

QString CarpetaUsuarioDatos() {
  const QString datos = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return datos.isEmpty() ? QDir::homePath() : datos;
}

QString CarpetaResultadosKriging(const sorvan::SesionKriging& sesion) {
  return QFile::decodeName(QByteArray::fromStdString(
      sorvan::CarpetaResultadosSesion(sesion, QFile::encodeName(CarpetaUsuarioDatos()).toStdString())));
}

QString ArchivoEnCarpeta(const QString& carpeta, const QString& nombre) {
  const QDir dir(carpeta);
  if (dir.exists(nombre)) return dir.absoluteFilePath(nombre);
  const QStringList hallados = dir.entryList({nombre}, QDir::Files, QDir::Name);  // name filters ignore case
  for (const QString& h : hallados)
    if (h.compare(nombre, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(h);
  return dir.absoluteFilePath(nombre);
}
