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
#include "platform/task_with_progress.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

namespace {

const QString kProgramTitle = QStringLiteral("Sorvan");

// A failure: the Spanish sentence first, the engine's own text behind
// "Show detalles".
void ShowFailure(QWidget* parent, const sorvan::core::EngineResult& atEnd) {
  QMessageBox box(QMessageBox::Critical, kProgramTitle, QString::fromStdString(atEnd.message), QMessageBox::Ok,
                   parent);
  box.setObjectName(QStringLiteral("FalloKriging"));
  if (!atEnd.details.empty()) box.setDetailedText(QString::fromStdString(atEnd.details));
  box.exec();
}

}  // namespace

KrigingEnd RunKrigingWindow(QWidget* parent, sorvan::core::KrigingSession& session, const QString& nombre) {
  auto StatusMessage = [parent](const QString& text) { ShowStatusOf(parent, text); };
  // One run at a time: the engine's files have fixed names in the folder.
  static bool running = false;
  if (running) return KrigingEnd::Failure;

  // Coinciding points: the user says what to do before anything runs.
  if (!ChooseDuplicatePolicy(parent, session)) {
    StatusMessage(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelled;
  }
  sorvan::core::SkuArguments arguments;
  sorvan::core::DataLeftOut fuera;
  // The checks and the copy of a million points take a while: off the window's thread.
  sorvan::core::Result r;
  const TaskWithProgress task{parent, QStringLiteral("Preparando los datos del cálculo...")};
  if (!task.RunJob([&](const sorvan::core::ProgressCallback&) { r = sorvan::core::PrepareArguments(session, arguments, &fuera); })) {
    StatusMessage(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelled;
  }
  if (!r) {
    QMessageBox::warning(parent, QStringLiteral("Sorvan: Kriging 2D"), QString::fromStdString(r.message));
    StatusMessage(QStringLiteral("Preparado"));
    return KrigingEnd::Failure;
  }

  // A slow or large global run is announced with its figures first.
  if (!r.message.empty() &&
      QMessageBox::question(parent, QStringLiteral("Sorvan: Kriging 2D"),
                            QString::fromStdString(r.message) + QStringLiteral("\n\n¿Desea continuar?")) !=
          QMessageBox::Yes) {
    StatusMessage(QStringLiteral("Preparado"));
    return KrigingEnd::Cancelled;
  }

  const std::string folder = QFile::encodeName(KrigingResultsFolder(session)).toStdString();
  const QString text = QString::fromStdString(sorvan::core::GeneratingMessage(nombre.toStdString()));
  StatusMessage(text);

  sorvan::core::KrigingEngine engine;
  r = engine.start(arguments, folder);
  if (!r) {
    QMessageBox::critical(parent, kProgramTitle, QString::fromStdString(r.message));
    StatusMessage(QStringLiteral("Preparado"));
    return KrigingEnd::Failure;
  }
  running = true;

  // The engine runs in its own process; this loop keeps the windows alive
  // and the progress dialog answering until it ends or the user cancels.
  QProgressDialog progress(text, QStringLiteral("Cancelar"), 0, 0, parent);
  progress.setObjectName(QStringLiteral("ProgresoKriging"));
  progress.setWindowTitle(kProgramTitle);
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(0);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QEventLoop loop;
  QTimer clock;
  clock.setInterval(40);
  QObject::connect(&clock, &QTimer::timeout, &loop, [&] {
    if (engine.poll()) loop.quit();
  });
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
    engine.cancel();
    loop.quit();
  });
  clock.start();
  progress.show();
  if (engine.running()) loop.exec();
  clock.stop();
  progress.hide();
  running = false;

  const sorvan::core::EngineResult& atEnd = engine.result();
  KrigingEnd result = KrigingEnd::Done;
  if (atEnd.cancelled) {
    result = KrigingEnd::Cancelled;
  } else if (!atEnd.ok) {
    ShowFailure(parent, atEnd);
    result = KrigingEnd::Failure;
  } else {
    sorvan::core::ApplyResult(session, atEnd, nombre.toStdString(), folder);
    // After the engine's log has reached the folder: its lines stay as they are.
    session.dataLeftOut = fuera;
    const sorvan::core::Result noted = sorvan::core::RecordDataLeftOut(folder, fuera);
    if (!noted) QMessageBox::warning(parent, kProgramTitle, QString::fromStdString(noted.message));
    // The "Save" frame's files; a failure is told, the run's results stay.
    sorvan::core::Result saved;
    const TaskWithProgress save{parent, QStringLiteral("Guardando las superficies..."), false};
    save.RunJob([&](const sorvan::core::ProgressCallback&) { saved = sorvan::platform::SaveAfterRun(session); });
    if (!saved)
      QMessageBox::warning(parent, kProgramTitle,
                           QStringLiteral("El cálculo ha terminado, pero no se han guardado las superficies.\n%1")
                               .arg(QString::fromStdString(saved.message)));
  }
  StatusMessage(result == KrigingEnd::Done ? StateAfterKriging(session) : QStringLiteral("Preparado"));
  return result;
}

QString StateAfterKriging(const sorvan::core::KrigingSession& session) {
  // What the run left out of the data, and how many nodes a local run left
  // as holes (the log has the causes).
  QStringList parts;
  if (!session.dataLeftOut.empty()) parts << QString::fromStdString(sorvan::core::DataLeftOutText(session.dataLeftOut));
  const sorvan::core::LocalSummary& local = session.localSummary;
  const long long huecos = local.fewNeighbours + local.singular;
  if (local.local && huecos > 0) parts << QStringLiteral("kriging local: %1 nodos sin valor").arg(huecos);
  return parts.isEmpty() ? QStringLiteral("Preparado")
                          : QStringLiteral("Preparado (%1)").arg(parts.join(QStringLiteral("; ")));
}

QString UserDataFolder() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  return data.isEmpty() ? QDir::homePath() : data;
}

QString KrigingResultsFolder(const sorvan::core::KrigingSession& session) {
  return QFile::decodeName(QByteArray::fromStdString(
      sorvan::core::SessionResultsFolder(session, QFile::encodeName(UserDataFolder()).toStdString())));
}

QString FileInFolder(const QString& folder, const QString& nombre) {
  const QDir dir(folder);
  if (dir.exists(nombre)) return dir.absoluteFilePath(nombre);
  const QStringList found = dir.entryList({nombre}, QDir::Files, QDir::Name);  // name filters ignore case
  for (const QString& h : found)
    if (h.compare(nombre, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(h);
  return dir.absoluteFilePath(nombre);
}

}  // namespace sorvan::gui
