#pragma once
// The data set's summary ("Información"): rows, and per variable the missing
// values, minimum, maximum, mean and standard deviation (over the values
// present, the deviation with n - 1), the extent of X and Y and the
// coordinate reference system.
#include <string>
#include <vector>

#include "core/datos_espaciales.h"

namespace sorvan {

struct EstadisticaVariable {
  int presentes = 0, ausentes = 0;
  double minimo = 0, maximo = 0, media = 0, desviacion = 0;  // NaN when nothing is present
};

// Statistics of variable `var` (1..nvar), in double with a two-pass mean.
EstadisticaVariable Estadistica(const DatosEspaciales& datos, int var);

// The summary as text, X and Y being columns colX and colY (1-based).
std::string ResumenDatos(const DatosEspaciales& datos, int colX, int colY);

}  // namespace sorvan
