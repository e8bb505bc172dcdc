#pragma once
// Points at the same place: found before a run (two coinciding points make
// the kriging system singular) and handled as the run's policy says.
#include <string>
#include <vector>

#include "core/datos_espaciales.h"
#include "core/resultado.h"

namespace sorvan {

enum class PoliticaDuplicados { Error, Promedio, Primero };

// "average" | "first" | "error" (the command line's words); false if none.
bool PoliticaDeTexto(const std::string& texto, PoliticaDuplicados& politica);

// Tolerance for two points to coincide: this fraction of the larger side of
// the data's extent.
inline constexpr double kToleranciaRelativa = 1e-9;

// Groups (two or more, rows 0-based ascending, groups in order of their first
// row) of the `filas` whose X and Y lie within the tolerance of each other
// (chained: a near b and b near c puts a, b and c together).
std::vector<std::vector<int>> PuntosCoincidentes(const DatosEspaciales& datos, int colX, int colY,
                                                 const std::vector<int>& filas);

// "filas 3 y 17; filas 40, 41 y 42" (1-based), at most `maximo` groups named.
std::string DescribeGrupos(const std::vector<std::vector<int>>& grupos, size_t maximo = 10);

// Applies `politica` to the points (x, y, z) of `filas` (0-based rows):
// Promedio keeps one point per group at the first row's place with the mean
// of their Z; Primero keeps the group's first row; Error refuses the run with
// a message naming the rows. On success `aviso` says what was done (or is
// empty when nothing coincided).
Resultado ResuelveDuplicados(const DatosEspaciales& datos, int colX, int colY, int colZ, std::vector<int> filas,
                             PoliticaDuplicados politica, std::vector<double>& x, std::vector<double>& y,
                             std::vector<double>& z, std::string& aviso);

}  // namespace sorvan
