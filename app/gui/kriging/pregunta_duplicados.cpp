#include "gui/kriging/pregunta_duplicados.h"

#include <QMessageBox>
#include <QPushButton>

#include "core/duplicados.h"
#include "core/sesion_kriging.h"
#include "platform/tarea_con_progreso.h"

bool EligePoliticaDuplicados(QWidget* padre, sorvan::SesionKriging& s) {
  const sorvan::DatosEspaciales& d = s.datos;
  if (s.duplicados != sorvan::PoliticaDuplicados::Error || d.vacio()) return true;
  for (int c : {s.colX, s.colY, s.colZ})
    if (c < 1 || c > d.nvar) return true;  // refused later with its own message
  // Sorting a million points: off the window's thread; cancelling cancels the run.
  std::vector<std::vector<int>> grupos;
  const TareaConProgreso tarea{padre, QStringLiteral("Buscando puntos en las mismas coordenadas...")};
  if (!tarea.Ejecuta([&](const sorvan::AvisoProgreso&) {
        grupos = sorvan::PuntosCoincidentes(d, s.colX, s.colY, sorvan::FilasCompletas(d, {s.colX, s.colY, s.colZ}));
      }))
    return false;
  if (grupos.empty()) return true;
  QMessageBox caja(QMessageBox::Warning, QStringLiteral("Sorvan: Kriging 2D"),
                   QStringLiteral("Hay puntos en las mismas coordenadas: %1.\n\n"
                                  "Dos puntos en el mismo lugar hacen imposible el kriging. ¿Qué hacer con ellos?")
                       .arg(QString::fromStdString(sorvan::DescribeGrupos(grupos))),
                   QMessageBox::NoButton, padre);
  caja.setObjectName(QStringLiteral("PuntosCoincidentes"));
  QPushButton* promediar = caja.addButton(QStringLiteral("&Promediar"), QMessageBox::AcceptRole);
  promediar->setObjectName(QStringLiteral("CoPromediar"));
  QPushButton* primero = caja.addButton(QStringLiteral("&Tomar el primero"), QMessageBox::AcceptRole);
  primero->setObjectName(QStringLiteral("CoPrimero"));
  caja.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
  caja.setDefaultButton(promediar);
  caja.exec();
  if (caja.clickedButton() == promediar) s.duplicados = sorvan::PoliticaDuplicados::Promedio;
  else if (caja.clickedButton() == primero) s.duplicados = sorvan::PoliticaDuplicados::Primero;
  else return false;
  return true;
}
