// Placeholder until the kriging dialogs exist; the dialogs work replaces this file.
#include "gui/kriging/kriging_commands.h"
void MostrarKriging2D(QWidget*) {}
void DescargarDialogosKriging() {}
