#pragma once
// Entry points of the animation tools, called from the main window's menus.
namespace sorvan::gui { class AppShell; }

namespace sorvan::gui {
// "&Kriging" > "&Animar...": the kriging animation dialog, modal over the
// shell's window, on the shell's session.
void MostrarAnimK2D(AppShell& shell);
// "&Generar animación" > "&Superficies" (surfaceMode, after PreparaSUP) or
// "&Archivos BMP" (bitmap mode): the video-assembly dialog, modal.
void MostrarAnimBMP(AppShell& shell, bool surfaceMode);
// "&Generar animación" > "&Datos" (mnuGAnimDatos).
void GenerarAnimacionDatos(AppShell& shell);
// Closing the main window: unload the hidden animation dialogs and the wait dialog.
void DescargarDialogosAnimacion();

}  // namespace sorvan::gui
