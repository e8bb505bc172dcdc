#include "gui/kriging/automatic_options.h"

#include <QString>

#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "platform/task_with_progress.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

bool ComputeAutomaticOptions(QWidget* parent, sorvan::core::KrigingSession& session, sorvan::core::Result& r) {
  // Worked on a copy, so that a cancelled or refused computation changes nothing.
  sorvan::core::OpcionesKriging newOnesF = session.options;
  const TaskWithProgress task{parent, QStringLiteral("Calculando las opciones automáticas...")};
  if (!task.RunJob([&](const sorvan::core::ProgressCallback& warning) {
        r = sorvan::core::OpcionesPorDefecto(session.data, session.colX, session.colY, newOnesF, nullptr, warning);
      }))
    return false;
  if (r) session.options = newOnesF;
  return true;
}

}  // namespace sorvan::gui
