#pragma once
// The program-wide kriging state: what the desktop program holds between its
// dialogs and windows, and what the command-line tool builds for one run.
#include <cstdint>
#include <string>
#include <vector>

#include "core/datos_espaciales.h"
#include "core/datos_fuera.h"
#include "core/duplicados.h"
#include "core/opciones_kriging.h"
#include "core/trend_surface.h"

namespace sorvan {

// A prediction grid and its two surfaces, column-major with X fastest:
// node (i, j), 1-based, at index (i-1) + (j-1)*nx, lying at
// (xMin + (i-1)*dx, yMin + (j-1)*dy). Nodes left out hold kValorHueco.
struct SuperficiesKriging {
  int nx = 0, ny = 0;
  double xMin = 0, yMin = 0, dx = 0, dy = 0;  // as the options gave them
  std::vector<float> SupPred;  // kriged values
  std::vector<float> SupVar;   // kriging variances; empty for one surface alone (read from a file)
  float zMin = 0, zMax = 0;    // smallest and largest kriged value of the run
};

// The semivariogram model a run fitted, as the engine reports it.
struct ModeloAjustado {
  bool conocido = false;     // parameters found in the run log
  int32_t codigo = 0;        // model code 1..6
  float c0 = 0, c1 = 0, a = 0;  // nugget, sill/slope/scale, range/exponent (a unused by code 3)
  float errorAjuste = 0;     // weighted least-squares error of the fit ("Error MCP")
  float c0Ini = 0, c1Ini = 0, aIni = 0;  // starting values the fit used
};

// What a local run ("Kriging Local") reports about its grid.
struct ResumenLocal {
  bool local = false;            // the last run used a search neighbourhood
  int64_t calculados = 0;        // nodes kriged
  int64_t pocosVecinos = 0;      // holes: fewer neighbours than the minimum
  int64_t singulares = 0;        // holes: singular neighbourhood system
};

struct SesionKriging {
  DatosEspaciales datos;
  std::string archivoDatos;            // path of the loaded ".dae" file
  OpcionesKriging opciones;            // with opciones.perfil, the associated profile
  bool opcionesListas = false;         // OpcionesPorDefecto has run for these data and columns
  std::string defectosAnunciados;      // data file and automatic options the user was last told of
  int colX = 1, colY = 2, colZ = 3;    // 1-based columns chosen in the kriging dialog
  int colLabel = 0;                    // 0 = no label column
  // What a run does with points at the same coordinates.
  PoliticaDuplicados duplicados = PoliticaDuplicados::Error;
  SuperficiesKriging superficies;      // surfaces of the last successful run
  bool haySuperficies = false;         // a run has produced surfaces
  std::string variableSuperficies;     // name of the Z variable of those surfaces
  std::string carpetaResultados;       // folder holding that run's result files
  // The result folder the user chose for the data file `carpetaElegidaPara`;
  // for any other data file (or when empty) runs write to the data set's
  // default folder (CarpetaResultadosSesion).
  std::string carpetaElegida;
  std::string carpetaElegidaPara;
  ModeloAjustado modelo;               // model fitted by that run
  TrendFit tendencia;                  // trend fitted by that run (degree 0: none)
  ResumenLocal resumenLocal;           // that run's neighbourhood counts
  std::vector<std::string> avisos;     // that run's warnings as the engine reported them
  DatosFuera datosFuera;               // that run's rows left out and points merged
};

}  // namespace sorvan
