#include "gui/kriging/duplicates_question.h"

#include <QMessageBox>
#include <QPushButton>

#include "core/duplicates.h"
#include "core/kriging_session.h"
#include "platform/task_with_progress.h"

namespace sorvan::gui {
using namespace sorvan::core;
using namespace sorvan::platform;

bool ChooseDuplicatePolicy(QWidget* parent, sorvan::core::KrigingSession& s) {
  const sorvan::core::SpatialData& d = s.data;
  if (s.duplicates != sorvan::core::DuplicatePolicy::Error || d.empty()) return true;
  for (int c : {s.colX, s.colY, s.colZ})
    if (c < 1 || c > d.nvar) return true;  // refused later with its own message
  // Sorting a million points: off the window's thread; cancelling cancels the run.
  std::vector<std::vector<int>> groups;
  const TaskWithProgress task{parent, QStringLiteral("Buscando puntos en las mismas coordenadas...")};
  if (!task.RunJob([&](const sorvan::core::ProgressCallback&) {
        groups = sorvan::core::CoincidentPoints(d, s.colX, s.colY, sorvan::core::CompleteRows(d, {s.colX, s.colY, s.colZ}));
      }))
    return false;
  if (groups.empty()) return true;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Sorvan: Kriging 2D"),
                   QStringLiteral("Hay puntos en las mismas coordenadas: %1.\n\n"
                                  "Dos puntos en el mismo lugar hacen imposible el kriging. ¿Qué hacer con ellos?")
                       .arg(QString::fromStdString(sorvan::core::DescribeGroups(groups))),
                   QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("PuntosCoincidentes"));
  QPushButton* average = box.addButton(QStringLiteral("&Promediar"), QMessageBox::AcceptRole);
  average->setObjectName(QStringLiteral("CoPromediar"));
  QPushButton* first = box.addButton(QStringLiteral("&Tomar el primero"), QMessageBox::AcceptRole);
  first->setObjectName(QStringLiteral("CoPrimero"));
  box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
  box.setDefaultButton(average);
  box.exec();
  if (box.clickedButton() == average) s.duplicates = sorvan::core::DuplicatePolicy::Average;
  else if (box.clickedButton() == first) s.duplicates = sorvan::core::DuplicatePolicy::First;
  else return false;
  return true;
}

}  // namespace sorvan::gui
