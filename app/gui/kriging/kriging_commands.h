#pragma once
// Entry points of the kriging dialogs, called from the main window.
class QWidget;
// "&Kriging" > "Kriging &2D": the kriging dialog frmKriging2D, modal over `owner`.
void MostrarKriging2D(QWidget* owner);
// Closing the main window: unload the hidden kriging dialogs.
void DescargarDialogosKriging();
