#include "gui/kriging/opciones_automaticas.h"

#include <QString>

#include "core/opciones_kriging.h"
#include "core/sesion_kriging.h"
#include "platform/tarea_con_progreso.h"

bool CalculaOpcionesAutomaticas(QWidget* padre, sorvan::SesionKriging& sesion, sorvan::Resultado& r) {
  // Worked on a copy, so that a cancelled or refused computation changes nothing.
  sorvan::OpcionesKriging nuevas = sesion.opciones;
  const TareaConProgreso tarea{padre, QStringLiteral("Calculando las opciones automáticas...")};
  if (!tarea.Ejecuta([&](const sorvan::AvisoProgreso& aviso) {
        r = sorvan::OpcionesPorDefecto(sesion.datos, sesion.colX, sesion.colY, nuevas, nullptr, aviso);
      }))
    return false;
  if (r) sesion.opciones = nuevas;
  return true;
}
