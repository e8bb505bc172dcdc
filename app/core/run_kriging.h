#pragma once
// One kriging run for the session's column choice and options: packing the
// engine's 22 arguments, and taking back what a successful run returns.
#include <string>
#include <vector>

#include "core/sku_arguments.h"
#include "core/data_left_out.h"
#include "core/kriging_engine.h"
#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::core {

// Text shown while the engine works on variable `nombre`.
std::string GeneratingMessage(const std::string& nombre);  // "Generando superficies kriging (nombre)..."

// Packs the 22 arguments: N and the columns colZ, colX, colY; SaltoIni and
// RSalto; copies of NSaltos and NAjus; Modelo, Media; the grid (gridRows =
// NRx); SupPred's entry image (1 for a node to krige, kHoleValue for a node
// whose profile mask, built now for this grid, equals the excluded side);
// the hole value; the integer options (Estimador, NMinAjus, -1, fitting
// method, 2 when LongVar else 1, NApor, -1) and the real options (-1.0, or the
// starting values c0, c1, a in entries 1 to 3 when C0Ini >= 0).
// Refused with a message (arguments untouched) for: no data, a column out of
// range, options that ValidateOptions refuses, a global system that does not
// fit in memory (CheckResources), data that CheckKrigingData refuses,
// fewer than 2 complete rows, points at the same coordinates under
// DuplicatePolicy::Error (the rows named). Only rows with X, Y and Z
// present go to the engine, coinciding points resolved by the session's
// policy. Success may carry how many rows were left out (RowsLeftOutMessage),
// which points were merged, and the warning that the run will be slow or large.
// `fuera`, when given, gets those two counts.
Result PrepareArguments(const KrigingSession& session, SkuArguments& arguments, DataLeftOut* fuera = nullptr);

// "Se han dejado fuera N filas con valores ausentes en X, Y o Z", followed,
// when `numbers` (1-based row numbers) is given, by the first ten of them:
// " (filas 11, 20 y 31)".
std::string RowsLeftOutMessage(int rows, const std::vector<int>& numbers = {});

// The search neighbourhood of a local run (op.KrigingLocal), checked by the
// engine's own rule: N, M, D, the sectors against the trend degree, and the
// subsample size. Success when the run is global.
Result ValidateNeighbourhood(const OpcionesKriging& op);

// Applies a successful run: the surfaces and their grid, the range of the
// prediction (real options 1 and 2), SaltoIni and RSalto as the engine
// returned them (NSaltos and NAjus keep their values), and the fitted model
// the run itself reported, with its warnings. `folder` is the result folder the run's files
// went to. Marks the session as holding surfaces.
void ApplyResult(KrigingSession& session, const EngineResult& result, const std::string& nombre,
                     const std::string& folder);
// The same from the engine's arguments alone, the model read from
// `folder`/KRIGING.LOG (for a folder no other run writes to).
void ApplyResult(KrigingSession& session, const SkuArguments& output, const std::string& nombre,
                     const std::string& folder);
// Everything but the model.
void ApplySurfaces(KrigingSession& session, const SkuArguments& output, const std::string& nombre,
                       const std::string& folder);

// The model fitted by the last run whose log is in `folder`: the last
// "Pairámetros estimados:" line of KRIGING.LOG, with the fit error and the
// starting values from the real options the engine returned.
FittedModel ReadFittedModel(const std::string& folder, const SkuArguments& output);
// The model as the engine reported it in its reply.
FittedModel ModelFromSummary(const EngineSummary& summary);

// The whole run, blocking: prepare, run the engine in its helper process in
// folder `folder`, and on success apply the result. On failure the session
// is unchanged and the message is the runner's (kEngineCallError, the code,
// the engine's diagnosis). `nombre` is the Z variable's name without trailing
// blanks. Success may carry PrepareArguments's warning; the rows and points
// left out are appended to the run's KRIGING.LOG (RecordDataLeftOut).
Result EjecutaKriging(KrigingSession& session, const std::string& nombre, const std::string& folder,
                         KrigingEngine& engine);

}  // namespace sorvan::core
