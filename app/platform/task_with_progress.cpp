#include "platform/task_with_progress.h"

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
struct State {
  std::atomic<int> thousandths{0};
  std::atomic<bool> reported{false};  // the job has reported its progress at least once
  std::atomic<bool> cancelled{false};
  std::atomic<bool> terminado{false};
};

}  // namespace

bool TaskWithProgress::RunJob(const std::function<void(const sorvan::core::ProgressCallback&)>& job) const {
  auto state = std::make_shared<State>();
  const sorvan::core::ProgressCallback warning = [state](double f) {
    state->thousandths = int(f * 1000);
    state->reported = true;
    return !state->cancelled.load();
  };
  // An exception of the job (say, no memory for a huge file) reaches the caller as before.
  std::exception_ptr failure;
  std::thread worker([&job, &warning, &failure, state] {
    try {
      job(warning);
    } catch (...) {
      failure = std::current_exception();
    }
    state->terminado = true;
  });

  // Wait in a local loop; the poll also moves the bar (the worker never touches widgets).
  QEventLoop loop;
  QTimer probe;
  probe.setInterval(30);
  std::unique_ptr<QProgressDialog> box;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&probe, &QTimer::timeout, &loop, [&] {
    if (state->terminado) {
      loop.exit(0);
    } else if (box) {
      if (box->wasCanceled()) state->cancelled = true;  // also closed by Escape
      if (state->reported) {
        box->setMaximum(1000);
        box->setValue(std::min(state->thousandths.load(), 999));
      }
    } else if (clock.elapsed() >= dialogDelayMs) {
      loop.exit(1);  // time to show the box: leave the loop that holds input back
    }
  });
  probe.start();
  if (!state->terminado && loop.exec(QEventLoop::ExcludeUserInputEvents) == 1) {
    // A job that has told no progress (yet) gets a busy bar.
    box = std::make_unique<QProgressDialog>(text, QStringLiteral("Cancelar"), 0, state->reported ? 1000 : 0,
                                             owner);
    if (!cancellable) box->setCancelButton(nullptr);
    box->setObjectName(QStringLiteral("ProgresoTarea"));
    box->setWindowTitle(QStringLiteral("Sorvan"));
    box->setWindowModality(Qt::ApplicationModal);
    box->setAutoClose(false);
    box->setAutoReset(false);
    box->setMinimumDuration(0);
    QObject::connect(box.get(), &QProgressDialog::canceled, box.get(), [&] {
      state->cancelled = true;
      box->setLabelText(QStringLiteral("Cancelando..."));
    });
    box->show();
    if (!state->terminado) loop.exec();
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return !state->cancelled;
}

}  // namespace sorvan::platform
