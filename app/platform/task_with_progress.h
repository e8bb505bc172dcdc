#pragma once
// Long work (reading or saving a large data file, the automatic options of a
// million points) done on a worker thread while the window keeps answering.
//
// The calling thread waits in an event loop of its own, so windows repaint
// and timers fire. For the first dialogDelayMs the user's input is held
// back (a short job shows nothing); after that a modal progress box with the
// text and "Cancelar" appears. Cancelling makes the job's progress function
// answer false: the job stops at its next report and, by the contract of
// ProgressCallback, leaves nothing half done. The call returns only when the
// job has ended, so the job may use the caller's variables by reference.
#include <QString>
#include <functional>

#include "core/progress.h"

class QWidget;

namespace sorvan::platform {
using namespace sorvan::core;

struct TaskWithProgress {
  QWidget* owner = nullptr;  // the progress box is modal over it
  QString text;                   // what is being done ("Cargando datos...")
  bool cancellable = true;          // false: a job that cannot stop midway, the box has no "Cancelar"
  // Milliseconds before the progress box shows (tests set 0 to reach "Cancelar" at once).
  static inline int dialogDelayMs = 300;

  // Runs `job` on a worker thread and returns when it has ended: false
  // when the user cancelled (whatever the job returned), else true.
  bool RunJob(const std::function<void(const sorvan::core::ProgressCallback&)>& job) const;
};

}  // namespace sorvan::platform
