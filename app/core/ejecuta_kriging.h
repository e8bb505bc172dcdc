#pragma once
// One kriging run for the session's column choice and options: packing the
// engine's 22 arguments, and taking back what a successful run returns.
#include <string>
#include <vector>

#include "core/argumentos_sku.h"
#include "core/datos_fuera.h"
#include "core/motor_kriging.h"
#include "core/resultado.h"
#include "core/sesion_kriging.h"

namespace sorvan {

// Text shown while the engine works on variable `nombre`.
std::string MensajeGenerando(const std::string& nombre);  // "Generando superficies kriging (nombre)..."

// Packs the 22 arguments: N and the columns colZ, colX, colY; SaltoIni and
// RSalto; copies of NSaltos and NAjus; Modelo, Media; the grid (gridRows =
// NRx); SupPred's entry image (1 for a node to krige, kValorHueco for a node
// whose profile mask, built now for this grid, equals the excluded side);
// the hole value; the integer options (Estimador, NMinAjus, -1, fitting
// method, 2 when LongVar else 1, NApor, -1) and the real options (-1.0, or the
// starting values c0, c1, a in entries 1 to 3 when C0Ini >= 0).
// Refused with a message (arguments untouched) for: no data, a column out of
// range, options that ValidaOpciones refuses, a global system that does not
// fit in memory (CompruebaRecursos), data that CompruebaDatosKriging refuses,
// fewer than 2 complete rows, points at the same coordinates under
// PoliticaDuplicados::Error (the rows named). Only rows with X, Y and Z
// present go to the engine, coinciding points resolved by the session's
// policy. Success may carry how many rows were left out (MensajeFilasFuera),
// which points were merged, and the warning that the run will be slow or large.
// `fuera`, when given, gets those two counts.
Resultado PreparaArgumentos(const SesionKriging& sesion, ArgumentosSKU& argumentos, DatosFuera* fuera = nullptr);

// "Se han dejado fuera N filas con valores ausentes en X, Y o Z", followed,
// when `numeros` (1-based row numbers) is given, by the first ten of them:
// " (filas 11, 20 y 31)".
std::string MensajeFilasFuera(int filas, const std::vector<int>& numeros = {});

// The search neighbourhood of a local run (op.KrigingLocal), checked by the
// engine's own rule: N, M, D, the sectors against the trend degree, and the
// subsample size. Success when the run is global.
Resultado ValidaVecindario(const OpcionesKriging& op);

// Applies a successful run: the surfaces and their grid, the range of the
// prediction (real options 1 and 2), SaltoIni and RSalto as the engine
// returned them (NSaltos and NAjus keep their values), and the fitted model
// the run itself reported, with its warnings. `carpeta` is the result folder the run's files
// went to. Marks the session as holding surfaces.
void AplicaResultado(SesionKriging& sesion, const ResultadoMotor& resultado, const std::string& nombre,
                     const std::string& carpeta);
// The same from the engine's arguments alone, the model read from
// `carpeta`/KRIGING.LOG (for a folder no other run writes to).
void AplicaResultado(SesionKriging& sesion, const ArgumentosSKU& salida, const std::string& nombre,
                     const std::string& carpeta);
// Everything but the model.
void AplicaSuperficies(SesionKriging& sesion, const ArgumentosSKU& salida, const std::string& nombre,
                       const std::string& carpeta);

// The model fitted by the last run whose log is in `carpeta`: the last
// "Parámetros estimados:" line of KRIGING.LOG, with the fit error and the
// starting values from the real options the engine returned.
ModeloAjustado LeeModeloAjustado(const std::string& carpeta, const ArgumentosSKU& salida);
// The model as the engine reported it in its reply.
ModeloAjustado ModeloDelResumen(const ResumenMotor& resumen);

// The whole run, blocking: prepare, run the engine in its helper process in
// folder `carpeta`, and on success apply the result. On failure the session
// is unchanged and the message is the runner's (kErrorLlamadaMotor, the code,
// the engine's diagnosis). `nombre` is the Z variable's name without trailing
// blanks. Success may carry PreparaArgumentos's warning; the rows and points
// left out are appended to the run's KRIGING.LOG (AnotaDatosFuera).
Resultado EjecutaKriging(SesionKriging& sesion, const std::string& nombre, const std::string& carpeta,
                         MotorKriging& motor);

}  // namespace sorvan
