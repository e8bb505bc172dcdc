#include "gui/kriging/kriging_run.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include "core/results_folder.h"
#include "core/run_kriging.h"
#include "core/kriging_engine.h"
#include "gui/app_shell.h"
#include "gui/kriging/duplicates_question.h"
#include "platform/gis/export_formats.h"
#include "platform/tarea_con_progreso.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kTituloPrograma = QStringLiteral("Sorvan");

// A failure: the Spanish sentence first, the engine's own text behind
// "Mostrar detalles".
void MuestraFallo(QWidget* padre, const sorvan::core::EngineResult& atEnd) {
  QMessageBox caja(QMessageBox::Critical, kTituloPrograma, QString::fromStdString(atEnd.message), QMessageBox::Ok,
                   padre);
  caja.setObjectName(QStringLiteral("FalloKriging"));
  if (!atEnd.details.empty()) caja.setDetailedText(QString::fromStdString(atEnd.details));
  caja.exec();
}

}  // namespace

KrigingEnd EjecutaKrigingVentana(QWidget* padre, sorvan::core::KrigingSession& session, const QString& nombre) {
  auto MensajeEstado = [padre](const QString& text) { ShowStatusOf(padre, text); };
  // One run at a time: the engine's files have fixed names in the folder.
  static bool running = false;
  if (running) return KrigingEnd::Fallo;

  // Coinciding points: the user says what to do before anything runs.
  if (!ChooseDuplicatePolicy(padre, session)) {
    MensajeEstado(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelado;
  }
  sorvan::core::SkuArguments arguments;
  sorvan::core::DataLeftOut fuera;
  // The checks and the copy of a million points take a while: off the window's thread.
  sorvan::core::Result r;
  const TareaConProgreso tarea{padre, QStringLiteral("Preparando los datos del cálculo...")};
  if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso&) { r = sorvan::core::PrepareArguments(session, arguments, &fuera); })) {
    MensajeEstado(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelado;
  }
  if (!r) {
    QMessageBox::warning(padre, QStringLiteral("Sorvan: Kriging 2D"), QString::fromStdString(r.message));
    MensajeEstado(QStringLiteral("Preparado"));
    return KrigingEnd::Fallo;
  }

  // A slow or large global run is announced with its figures first.
  if (!r.message.empty() &&
      QMessageBox::question(padre, QStringLiteral("Sorvan: Kriging 2D"),
                            QString::fromStdString(r.message) + QStringLiteral("\n\n¿Desea continuar?")) !=
          QMessageBox::Yes) {
    MensajeEstado(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelado;
  }

  const std::string folder = QFile::encodeName(CarpetaResultadosKriging(session)).toStdString();
  const QString text = QString::fromStdString(sorvan::core::GeneratingMessage(nombre.toStdString()));
  MensajeEstado(text);

  sorvan::core::KrigingEngine engine;
  r = engine.start(arguments, folder);
  if (!r) {
    QMessageBox::critical(padre, kTituloPrograma, QString::fromStdString(r.message));
    MensajeEstado(QStringLiteral("Preparado"));
    return KrigingEnd::Fallo;
  }
  running = true;

  // The engine runs in its own process; this loop keeps the windows alive
  // and the progress dialog answering until it ends or the user cancels.
  QProgressDialog progreso(text, QStringLiteral("Cancelar"), 0, 0, padre);
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
    if (engine.poll()) bucle.quit();
  });
  QObject::connect(&progreso, &QProgressDialog::canceled, &bucle, [&] {
    engine.cancel();
    bucle.quit();
  });
  reloj.start();
  progreso.show();
  if (engine.running()) bucle.exec();
  reloj.stop();
  progreso.hide();
  running = false;

  const sorvan::core::EngineResult& atEnd = engine.result();
  KrigingEnd result = KrigingEnd::Hecho;
  if (atEnd.cancelled) {
    result = KrigingEnd::Cancelado;
  } else if (!atEnd.ok) {
    MuestraFallo(padre, atEnd);
    result = KrigingEnd::Fallo;
  } else {
    sorvan::core::ApplyResult(session, atEnd, nombre.toStdString(), folder);
    // After the engine's log has reached the folder: its lines stay as they are.
    session.dataLeftOut = fuera;
    const sorvan::core::Result anotado = sorvan::core::RecordDataLeftOut(folder, fuera);
    if (!anotado) QMessageBox::warning(padre, kTituloPrograma, QString::fromStdString(anotado.message));
    // The "Guardar" frame's files; a failure is told, the run's results stay.
    sorvan::core::Result guardado;
    const TareaConProgreso guardar{padre, QStringLiteral("Guardando las superficies..."), false};
    guardar.Ejecuta([&](const sorvan::core::AvisoProgreso&) { guardado = sorvan::platform::SaveAfterRun(session); });
    if (!guardado)
      QMessageBox::warning(padre, kTituloPrograma,
                           QStringLiteral("El cálculo ha terminado, pero no se han guardado las superficies.\n%1")
                               .arg(QString::fromStdString(guardado.message)));
  }
  MensajeEstado(result == KrigingEnd::Hecho ? EstadoTrasKriging(session) : QStringLiteral("Preparado"));
  return result;
}

QString EstadoTrasKriging(const sorvan::core::KrigingSession& session) {
  // What the run left out of the data, and how many nodes a local run left
  // as holes (the log has the causes).
  QStringList partes;
  if (!session.dataLeftOut.empty()) partes << QString::fromStdString(sorvan::core::DataLeftOutText(session.dataLeftOut));
  const sorvan::core::LocalSummary& local = session.localSummary;
  const long long huecos = local.fewNeighbours + local.singular;
  if (local.local && huecos > 0) partes << QStringLiteral("kriging local: %1 nodos sin valor").arg(huecos);
  return partes.isEmpty() ? QStringLiteral("Preparado")
                          : QStringLiteral("Preparado (%1)").arg(partes.join(QStringLiteral("; ")));
}

QString CarpetaUsuarioDatos() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return data.isEmpty() ? QDir::homePath() : data;
}

QString CarpetaResultadosKriging(const sorvan::core::KrigingSession& session) {
  return QFile::decodeName(QByteArray::fromStdString(
      sorvan::core::SessionResultsFolder(session, QFile::encodeName(CarpetaUsuarioDatos()).toStdString())));
}

QString ArchivoEnCarpeta(const QString& folder, const QString& nombre) {
  const QDir dir(folder);
  if (dir.exists(nombre)) return dir.absoluteFilePath(nombre);
  const QStringList hallados = dir.entryList({nombre}, QDir::Files, QDir::Name);  // name filters ignore case
  for (const QString& h : hallados)
    if (h.compare(nombre, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(h);
  return dir.absoluteFilePath(nombre);
}

}  // namespace sorvan::gui
