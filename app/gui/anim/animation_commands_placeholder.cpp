// Placeholder until the animation tools exist; the animation work replaces this file.
#include "gui/anim/animation_commands.h"
void MostrarAnimK2D(QWidget*) {}
void MostrarAnimBMP(QWidget*, bool) {}
void GenerarAnimacionDatos(QWidget*) {}
void DescargarDialogosAnimacion() {}
