#pragma once
// Entry points of the animation tools, called from the main window's menus.
class QWidget;
// "&Kriging" > "&Animar...": the kriging animation dialog, modal over `owner`.
void MostrarAnimK2D(QWidget* owner);
// "&Generar animación" > "&Superficies" (surfaceMode, after PreparaSUP) or
// "&Archivos BMP´s" (bitmap mode): the video-assembly dialog, modal.
void MostrarAnimBMP(QWidget* owner, bool surfaceMode);
// "&Generar animación" > "&Datos" (mnuGAnimDatos).
void GenerarAnimacionDatos(QWidget* owner);
// Closing the main window: unload the hidden animation dialogs and the wait dialog.
void DescargarDialogosAnimacion();
