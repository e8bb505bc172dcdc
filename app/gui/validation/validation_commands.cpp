#include "gui/validation/validation_commands.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>

#include "core/run_warnings.h"
#include "core/kriging_session.h"
#include "gui/kriging/kriging_run.h"
#include "gui/validation/frmComparaModelos.h"
#include "gui/validation/frmModeloVariograma.h"
#include "gui/validation/frmValidacionCruzada.h"

namespace sorvan::gui {
using namespace sorvan::core;

namespace {

// The checks need a run: its model, its trend and its classes.
bool RunInProgress(QWidget* owner, const sorvan::core::KrigingSession& session, const QString& title) {
  if (session.hasSurfaces && session.model.known && session.data.N > 0) return true;
  QMessageBox::information(owner, title,
                           QStringLiteral("Haga primero un kriging («Kriging» > «Kriging 2D»): se usan el modelo "
                                          "ajustado y la tendencia de esa ejecución."));
  return false;
}

template <class Window, class... Args>
void Open(QWidget* owner, Args&... args) {
  auto* w = new Window(args..., owner);
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
}

}  // namespace

void AddValidationMenus(QMenu* menu, QWidget* owner, sorvan::core::KrigingSession& session) {
  menu->addSeparator();
  QAction* validar = menu->addAction(QStringLiteral("&Validación cruzada"));
  validar->setObjectName(QStringLiteral("mnuValidacionCruzada"));
  QAction* compare = menu->addAction(QStringLiteral("Compa&rar modelos"));
  compare->setObjectName(QStringLiteral("mnuCompararModelos"));
  QAction* model = menu->addAction(QStringLiteral("&Modelo del semivariograma"));
  model->setObjectName(QStringLiteral("mnuModeloVariograma"));
  QObject::connect(validar, &QAction::triggered, owner, [owner, &session] {
    if (RunInProgress(owner, session, QStringLiteral("Validación cruzada"))) Open<frmValidacionCruzada>(owner, session);
  });
  QObject::connect(compare, &QAction::triggered, owner, [owner, &session] {
    if (!RunInProgress(owner, session, QStringLiteral("Comparar modelos"))) return;
    auto* w = new frmComparaModelos(session, owner);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    if (!w->Compare()) w->close();  // cancelled: no table to show
  });
  QObject::connect(model, &QAction::triggered, owner, [owner, &session] {
    if (RunInProgress(owner, session, QStringLiteral("Modelo del semivariograma"))) Open<frmModeloVariograma>(owner, session);
  });
}

void ShowRunWarnings(QWidget* parent, const sorvan::core::KrigingSession& session) {
  if (!session.hasSurfaces) return;  // nothing was kriged
  const size_t z = size_t(session.colZ - 1);
  if (z >= session.data.minimum.size()) return;
  const std::vector<std::string> warnings =
      sorvan::core::RunWarnings(session.warnings, session.data.minimum[z], session.data.maximum[z],
                          session.surfaces.zMin, session.surfaces.zMax);
  if (warnings.empty()) return;
  QMessageBox::warning(parent, QStringLiteral("Sorvan: avisos de la ejecución"),
                       QStringLiteral("La ejecución terminó y sus resultados se muestran, pero:\n\n") +
                           QString::fromStdString(sorvan::core::RunWarningsText(warnings)));
}

}  // namespace sorvan::gui
