#include "gui/kriging/opciones_automaticas.h"

#include <QString>

#include "core/kriging_options.h"
#include "core/kriging_session.h"
#include "platform/tarea_con_progreso.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

bool CalculaOpcionesAutomaticas(QWidget* padre, sorvan::core::KrigingSession& session, sorvan::core::Result& r) {
  // Worked on a copy, so that a cancelled or refused computation changes nothing.
  sorvan::core::OpcionesKriging nuevas = session.options;
  const TareaConProgreso tarea{padre, QStringLiteral("Calculando las opciones automáticas...")};
  if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso& warning) {
        r = sorvan::core::OpcionesPorDefecto(session.data, session.colX, session.colY, nuevas, nullptr, warning);
      }))
    return false;
  if (r) session.options = nuevas;
  return true;
}

}  // namespace sorvan::gui
