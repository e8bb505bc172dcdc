#include "gui/validation/validation_commands.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>

#include "core/run_warnings.h"
#include "core/sesion_kriging.h"
#include "gui/kriging/ejecucion_kriging.h"
#include "gui/validation/frmComparaModelos.h"
#include "gui/validation/frmModeloVariograma.h"
#include "gui/validation/frmValidacionCruzada.h"

namespace {

// The checks need a run: its model, its trend and its classes.
bool HayEjecucion(QWidget* owner, const sorvan::SesionKriging& sesion, const QString& titulo) {
  if (sesion.haySuperficies && sesion.modelo.conocido && sesion.datos.N > 0) return true;
  QMessageBox::information(owner, titulo,
                           QStringLiteral("Haga primero un kriging («Kriging» > «Kriging 2D»): se usan el modelo "
                                          "ajustado y la tendencia de esa ejecución."));
  return false;
}

template <class Window, class... Args>
void Abrir(QWidget* owner, Args&... args) {
  auto* w = new Window(args..., owner);
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
}

}  // namespace

void AgregarMenusValidacion(QMenu* menu, QWidget* owner, sorvan::SesionKriging& sesion) {
  menu->addSeparator();
  QAction* validar = menu->addAction(QStringLiteral("&Validación cruzada"));
  validar->setObjectName(QStringLiteral("mnuValidacionCruzada"));
  QAction* comparar = menu->addAction(QStringLiteral("Compa&rar modelos"));
  comparar->setObjectName(QStringLiteral("mnuCompararModelos"));
  QAction* modelo = menu->addAction(QStringLiteral("&Modelo del semivariograma"));
  modelo->setObjectName(QStringLiteral("mnuModeloVariograma"));
  QObject::connect(validar, &QAction::triggered, owner, [owner, &sesion] {
    if (HayEjecucion(owner, sesion, QStringLiteral("Validación cruzada"))) Abrir<frmValidacionCruzada>(owner, sesion);
  });
  QObject::connect(comparar, &QAction::triggered, owner, [owner, &sesion] {
    if (!HayEjecucion(owner, sesion, QStringLiteral("Comparar modelos"))) return;
    auto* w = new frmComparaModelos(sesion, owner);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    if (!w->Comparar()) w->close();  // cancelled: no table to show
  });
  QObject::connect(modelo, &QAction::triggered, owner, [owner, &sesion] {
    if (HayEjecucion(owner, sesion, QStringLiteral("Modelo del semivariograma"))) Abrir<frmModeloVariograma>(owner, sesion);
  });
}

void MostrarAvisosEjecucion(QWidget* padre, const sorvan::SesionKriging& sesion) {
  if (!sesion.haySuperficies) return;  // nothing was kriged
  const size_t z = size_t(sesion.colZ - 1);
  if (z >= sesion.datos.minimo.size()) return;
  const std::vector<std::string> avisos =
      sorvan::RunWarnings(sesion.avisos, sesion.datos.minimo[z], sesion.datos.maximo[z],
                          sesion.superficies.zMin, sesion.superficies.zMax);
  if (avisos.empty()) return;
  QMessageBox::warning(padre, QStringLiteral("Sorvan: avisos de la ejecución"),
                       QStringLiteral("La ejecución terminó y sus resultados se muestran, pero:\n\n") +
                           QString::fromStdString(sorvan::RunWarningsText(avisos)));
}
