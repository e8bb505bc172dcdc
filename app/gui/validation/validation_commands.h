#pragma once
// The commands of the model checks in the "Kriging" menu, and the warnings
// shown after a run.
class QMenu;
class QWidget;
namespace sorvan::core {
struct KrigingSession;
}

namespace sorvan::gui {
using namespace sorvan::core;

// Adds "Validación cruzada", "Compare modelos" and "Modelo del
// semivariograma" to `menu`; their windows open over `owner` on `session`.
void AddValidationMenus(QMenu* menu, QWidget* owner, sorvan::core::KrigingSession& session);

// After a successful run: one message listing its warnings, if any.
void ShowRunWarnings(QWidget* parent, const sorvan::core::KrigingSession& session);

}  // namespace sorvan::gui
