#pragma once
// Entry points of the kriging dialogs, called from the main window.
namespace sorvan::gui { class AppShell; }

namespace sorvan::gui {
// "&Kriging" > "Kriging &2D": the kriging dialog frmKriging2D, modal over the
// shell's window, working on the shell's session.
void ShowKriging2D(AppShell& shell);
// Closing the main window: unload the hidden kriging dialogs.
void UnloadKrigingDialogs();

}  // namespace sorvan::gui
