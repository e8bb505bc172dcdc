#pragma once
// The commands of the model checks in the "Kriging" menu, and the warnings
// shown after a run.
class QMenu;
class QWidget;
namespace sorvan {
struct SesionKriging;
}

// Adds "Validación cruzada", "Comparar modelos" and "Modelo del
// semivariograma" to `menu`; their windows open over `owner` on `sesion`.
void AgregarMenusValidacion(QMenu* menu, QWidget* owner, sorvan::SesionKriging& sesion);

// After a successful run: one message listing its warnings, if any.
void MostrarAvisosEjecucion(QWidget* padre, const sorvan::SesionKriging& sesion);
