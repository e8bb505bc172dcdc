#pragma once
// The notice that a run takes the automatic options: shown once per data
// set, saying which values were chosen.
#include <QString>

class QWidget;
namespace sorvan {
struct SesionKriging;
}

// Tells the user, over `padre` with `titulo`, that the options of `sesion`
// hold the automatic values and which they are, the first time for the
// session's data file and these values; later calls for the same say
// nothing.
void AvisaDefectos(QWidget* padre, sorvan::SesionKriging& sesion, const QString& titulo);

// The notice's text for the options of `sesion`.
QString TextoAvisoDefectos(const sorvan::SesionKriging& sesion);
