#pragma once
// Entry points of the animation tools, called from the main window's menus.
namespace sorvan::gui { class AppShell; }

namespace sorvan::gui {
// "&Kriging" > "&Animar...": the kriging animation dialog, modal over the
// shell's window, on the shell's session.
void ShowAnimK2D(AppShell& shell);
// "&Generar animación" > "&Superficies" (surfaceMode, after PreparaSUP) or
// "&Archivos BMP" (bitmap mode): the video-assembly dialog, modal.
void ShowAnimBMP(AppShell& shell, bool surfaceMode);
// "&Generar animación" > "&Data" (mnuGAnimDatos).
void GenerateDataAnimation(AppShell& shell);
// Closing the main window: unload the hidden animation dialogs and the wait dialog.
void UnloadAnimationDialogs();

}  // namespace sorvan::gui
