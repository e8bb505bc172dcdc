#pragma once
// Entry points of the kriging dialogs, called from the main window.
namespace sorvan::gui { class AppShell; }

namespace sorvan::gui {
// "&Kriging" > "Kriging &2D": the kriging dialog frmKriging2D, modal over the
// shell's window, working on the shell's session.
void MostrarKriging2D(AppShell& shell);
// Closing the main window: unload the hidden kriging dialogs.
void DescargarDialogosKriging();

}  // namespace sorvan::gui
