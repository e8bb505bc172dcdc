#include "platform/tarea_con_progreso.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace sorvan::platform {
using namespace sorvan::core;

namespace {

// What the worker and the window share.
struct Estado {
  std::atomic<int> milesimas{0};
  std::atomic<bool> informado{false};  // the job has reported its progress at least once
  std::atomic<bool> cancelled{false};
  std::atomic<bool> terminado{false};
};

}  // namespace

bool TareaConProgreso::Ejecuta(const std::function<void(const sorvan::core::AvisoProgreso&)>& trabajo) const {
  auto estado = std::make_shared<Estado>();
  const sorvan::core::AvisoProgreso warning = [estado](double f) {
    estado->milesimas = int(f * 1000);
    estado->informado = true;
    return !estado->cancelled.load();
  };
  // An exception of the job (say, no memory for a huge file) reaches the caller as before.
  std::exception_ptr failure;
  std::thread hilo([&trabajo, &warning, &failure, estado] {
    try {
      trabajo(warning);
    } catch (...) {
      failure = std::current_exception();
    }
    estado->terminado = true;
  });

  // Wait in a local loop; the poll also moves the bar (the worker never touches widgets).
  QEventLoop bucle;
  QTimer sondeo;
  sondeo.setInterval(30);
  std::unique_ptr<QProgressDialog> caja;
  QElapsedTimer reloj;
  reloj.start();
  QObject::connect(&sondeo, &QTimer::timeout, &bucle, [&] {
    if (estado->terminado) {
      bucle.exit(0);
    } else if (caja) {
      if (caja->wasCanceled()) estado->cancelled = true;  // also closed by Escape
      if (estado->informado) {
        caja->setMaximum(1000);
        caja->setValue(std::min(estado->milesimas.load(), 999));
      }
    } else if (reloj.elapsed() >= retardoDialogoMs) {
      bucle.exit(1);  // time to show the box: leave the loop that holds input back
    }
  });
  sondeo.start();
  if (!estado->terminado && bucle.exec(QEventLoop::ExcludeUserInputEvents) == 1) {
    // A job that has told no progress (yet) gets a busy bar.
    caja = std::make_unique<QProgressDialog>(text, QStringLiteral("Cancelar"), 0, estado->informado ? 1000 : 0,
                                             propietario);
    if (!cancelable) caja->setCancelButton(nullptr);
    caja->setObjectName(QStringLiteral("ProgresoTarea"));
    caja->setWindowTitle(QStringLiteral("Sorvan"));
    caja->setWindowModality(Qt::ApplicationModal);
    caja->setAutoClose(false);
    caja->setAutoReset(false);
    caja->setMinimumDuration(0);
    QObject::connect(caja.get(), &QProgressDialog::canceled, caja.get(), [&] {
      estado->cancelled = true;
      caja->setLabelText(QStringLiteral("Cancelando..."));
    });
    caja->show();
    if (!estado->terminado) bucle.exec();
  }
  hilo.join();
  if (failure) std::rethrow_exception(failure);
  return !estado->cancelled;
}

}  // namespace sorvan::platform
