#pragma once
// Surfaces of a run written as text grids other programs read: ESRI ASCII
// grid (".asc"), the text grid of contouring programs (".grd", "DSAA"), and
// CSV of nodes. Each node of the kriging grid is the centre of its cell.
// Values are written with the fewest digits that read back to the same
// float32. Nodes left out of the run (kValorHueco in the prediction) are
// holes: the format's no-data value, or an empty CSV field.
#include <string>

#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

// Which surface a one-surface writer takes.
enum class Banda { Prediccion, Varianza };

// No-data value of ".asc" files and GeoTIFF bands: the lowest float32, which
// no prediction or variance reaches.
inline constexpr double kSinDatoRaster = -3.4028234663852886e38;
// Blank value of ".grd" files, the one contouring programs expect.
inline constexpr double kSinDatoGrd = 1.70141e38;

// True for a node left out of the run.
bool EsHueco(const SuperficiesKriging& s, size_t indice);

Resultado EscribeAsc(const std::string& ruta, const SuperficiesKriging& s, Banda banda);
Resultado EscribeGrd(const std::string& ruta, const SuperficiesKriging& s, Banda banda);
// "x,y,prediccion,varianza", one line per node, X fastest, holes empty;
// "x,y,valor" for one surface alone (SupVar empty).
Resultado EscribeCsvNodos(const std::string& ruta, const SuperficiesKriging& s);

// "dir/nombre.ext" -> "dir/nombre_var.ext": where one-surface formats put the variance.
std::string RutaVarianza(const std::string& ruta);

// The shortest text that reads back as the float32 `v`.
std::string TextoFloat(float v);

}  // namespace sorvan
