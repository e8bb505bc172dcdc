#include "gui/app_shell.h"

#include <QWidget>

namespace sorvan::gui {

AppShell* AppShellOf(const QWidget* widget) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
    if (auto* shell = dynamic_cast<AppShell*>(const_cast<QWidget*>(w))) return shell;
  return nullptr;
}

void ShowStatusOf(const QWidget* widget, const QString& text) {
  if (AppShell* shell = AppShellOf(widget)) shell->ShowStatus(text);
}

}  // namespace sorvan::gui
