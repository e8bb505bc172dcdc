#include "gui/kriging/duplicates_question.h"

#include <QMessageBox>
#include <QPushButton>

#include "core/duplicates.h"
#include "core/kriging_session.h"
#include "platform/tarea_con_progreso.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

bool ChooseDuplicatePolicy(QWidget* padre, sorvan::core::KrigingSession& s) {
  const sorvan::core::SpatialData& d = s.data;
  if (s.duplicates != sorvan::core::DuplicatePolicy::Error || d.empty()) return true;
  for (int c : {s.colX, s.colY, s.colZ})
    if (c < 1 || c > d.nvar) return true;  // refused later with its own message
  // Sorting a million points: off the window's thread; cancelling cancels the run.
  std::vector<std::vector<int>> groups;
  const TareaConProgreso tarea{padre, QStringLiteral("Buscando puntos en las mismas coordenadas...")};
  if (!tarea.Ejecuta([&](const sorvan::core::AvisoProgreso&) {
        groups = sorvan::core::CoincidentPoints(d, s.colX, s.colY, sorvan::core::CompleteRows(d, {s.colX, s.colY, s.colZ}));
      }))
    return false;
  if (groups.empty()) return true;
  QMessageBox caja(QMessageBox::Warning, QStringLiteral("Sorvan: Kriging 2D"),
                   QStringLiteral("Hay puntos en las mismas coordenadas: %1.\n\n"
                                  "Dos puntos en el mismo lugar hacen imposible el kriging. ¿Qué hacer con ellos?")
                       .arg(QString::fromStdString(sorvan::core::DescribeGroups(groups))),
                   QMessageBox::NoButton, padre);
  caja.setObjectName(QStringLiteral("PuntosCoincidentes"));
  QPushButton* promediar = caja.addButton(QStringLiteral("&Promediar"), QMessageBox::AcceptRole);
  promediar->setObjectName(QStringLiteral("CoPromediar"));
  QPushButton* first = caja.addButton(QStringLiteral("&Tomar el primero"), QMessageBox::AcceptRole);
  first->setObjectName(QStringLiteral("CoPrimero"));
  caja.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
  caja.setDefaultButton(promediar);
  caja.exec();
  if (caja.clickedButton() == promediar) s.duplicates = sorvan::core::DuplicatePolicy::Average;
  else if (caja.clickedButton() == first) s.duplicates = sorvan::core::DuplicatePolicy::First;
  else return false;
  return true;
}

}  // namespace sorvan::gui
