#pragma once
// What a run leaves out of the data set: rows with X, Y or Z missing, and
// points that the duplicates policy merged into another at the same place.
// Told in the run's log (a line the program appends after the engine's own)
// and in the status bar after the run.
#include <string>

#include "core/duplicados.h"
#include "core/resultado.h"

namespace sorvan {

struct DatosFuera {
  int filasSinXYZ = 0;   // rows with X, Y or Z missing
  int puntosUnidos = 0;  // points merged into the first of their group
  PoliticaDuplicados politica = PoliticaDuplicados::Error;
  bool vacio() const { return filasSinXYZ == 0 && puntosUnidos == 0; }
};

// "2 filas sin X, Y o Z; 3 puntos repetidos promediados" (or "... descartados"
// when the first of each group is kept); empty when nothing was left out.
std::string TextoDatosFuera(const DatosFuera& fuera);

// The log line: "Datos fuera del cálculo: <TextoDatosFuera>."
std::string LineaRegistroDatosFuera(const DatosFuera& fuera);

// Appends LineaRegistroDatosFuera to `carpeta`/KRIGING.LOG; nothing when
// nothing was left out. A failure names the file.
Resultado AnotaDatosFuera(const std::string& carpeta, const DatosFuera& fuera);

}  // namespace sorvan
