#pragma once
// The distances of the automatic options (CalculaDistancias) for large data
// sets, without visiting every pair: the shortest pair distances from each
// point's nearest neighbours (a k-d tree of the engine), the largest from the
// convex hull (rotating calipers). The same values as the pair-by-pair scan,
// in O(n log n).
#include "core/opciones_kriging.h"

namespace sorvan {

// x, y: n coordinates (NaN: a missing coordinate, left out). Fills cortas
// (the `cuantas` shortest pair distances, ascending, coinciding points giving
// 0), mayor, menor and menorPositiva as CalculaDistancias does. `progreso` is
// told the share of points searched; its false answer stops the search with
// only `cancelado` set.
DistanciasDatos DistanciasConArbol(int n, const double* x, const double* y, int cuantas,
                                   const AvisoProgreso& progreso = {});

}  // namespace sorvan
