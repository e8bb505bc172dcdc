#pragma once
// Runs the kriging engine in a child process.
//
// A fatal error inside the engine ends the process that called SKU; run in the
// desktop program's own process it would close the whole application. So the
// call is made by the helper program "sorvan-engine" (found beside the calling
// executable, or in ../bin from it): the runner starts it with posix_spawn,
// sends it the 22 arguments over a socket, the helper loads libkriging.so by
// file name (the executable's ../lib, then $SORVAN_LIB_DIR, then the default
// loader path), looks up SKU by name, calls it in the working folder and sends
// the in/out arguments and the grids back.
//
// Use from the GUI: start(), then poll() from a timer until it returns true,
// then resultado(). cancel() kills the helper. Use from the tool: run().
// The runner only reports; applying a successful result to the session is the
// caller's job (ApplyResult in run_kriging.h), so a failed or
// cancelled run leaves the previous surfaces in place.
//
// Result files: the run takes the result folder (a lock file with its pid; a
// folder in use by a live run is refused) and the engine works in a new
// temporary folder inside it. On success the fitted model comes from the
// engine's reply and the files (KRIGING.LOG, SKUPRE.SUP, SKUVAR.SUP,
// SKUESTIM.SV, SKUESTIM.FMT, SKUEAJUS.SV, SKUEAJUS.FMT) are moved into the
// result folder; after a failure or a cancellation the previous results stay
// as they were (a failed run's log, with a closing line saying the run
// failed, is kept as KRIGING-FALLO.LOG) and the temporary folder is removed.
#include <chrono>
#include <string>
#include <sys/types.h>

#include "core/sku_arguments.h"
#include "core/results_folder.h"
#include "core/result.h"
#include "core/kriging_session.h"

namespace sorvan::core {

inline constexpr const char* kEngineHelperName = "sorvan-engine";
inline constexpr const char* kEngineCallError = "El cálculo de kriging ha fallado.";

struct EngineResult {
  bool ok = false;        // the engine returned and the reply arrived whole
  bool cancelled = false; // ended by cancel()
  int code = 0;         // on failure: the helper's exit status, or 128 + the signal that ended it
  // On failure: a Spanish sentence saying what went wrong and what to do
  // (kEngineCallError followed by the likely cause when the engine's text
  // names one), or the runner's own refusal (folder in use, helper missing).
  std::string message;
  // On an engine failure: "El codigo de error es :" and the code, then the
  // helper's own message (library or symbol missing) or the last non-empty
  // lines of the run's KRIGING.LOG (the engine's diagnosis).
  std::string details;
  SkuArguments output;   // on success: the arguments as the engine left them
  EngineSummary summary;   // on success: what the engine reported (model, lags, warnings)
  FittedModel model;  // on success: the model fitted, from the engine's reply

  // mensaje, then detalles under "Detalles:", for a text-only report.
  std::string fullText() const;
};

class KrigingEngine {
 public:
  // `helper`: path of the helper program; empty = search beside the
  // running executable (/proc/self/exe), then in its ../bin.
  explicit KrigingEngine(std::string helper = {});
  ~KrigingEngine();  // kills and reaps a helper still running
  KrigingEngine(const KrigingEngine&) = delete;
  KrigingEngine& operator=(const KrigingEngine&) = delete;

  // Starts a run in folder `folder` (created when missing). Refused when a
  // run is already going, the arguments are inconsistent, the folder cannot
  // be used or the helper cannot be started; nothing is running then.
  Result start(const SkuArguments& arguments, const std::string& folder);
  // Non-blocking: moves the reply along and reaps the helper when it ends.
  // True once the run has finished (or when no run was started).
  bool poll();
  bool finished() const { return !running_; }
  bool running() const { return running_; }
  // Kills the helper and waits for it; the result says cancelado.
  void cancel();
  // Outcome of the last finished run.
  const EngineResult& result() const { return result_; }
  // Blocking run: start, wait, and the outcome. `limit` > 0 cancels a run
  // that takes longer (reported as a failure).
  EngineResult run(const SkuArguments& arguments, const std::string& folder,
                     std::chrono::milliseconds limit = std::chrono::milliseconds(0));

  // The helper path that start() will use ("" when none is found).
  std::string helperPath() const;

 private:
  void finish(bool success, int code, std::string cause);
  void sendRequest();
  std::string helper_;
  std::string folder_;      // the result folder
  std::string temporary_;     // this run's folder inside it
  FolderLock lock_;
  bool running_ = false;
  bool cancelled_ = false;
  pid_t pid_ = -1;
  int socket_ = -1;
  int expected_ = 0;        // bytes of the reply expected
  std::string pending_;    // request bytes not yet sent
  size_t sent_ = 0;
  std::string received_;
  SkuArguments request_;   // sizes to check the reply against
  EngineResult result_;
};

// The Spanish lead of an engine failure: kEngineCallError and, when the
// engine's text (`details`) shows a cause the user can act on, what to do.
std::string ExplainFailure(const std::string& details, int code);

// The last `lines` non-empty lines of `folder`/KRIGING.LOG, joined by line
// breaks (empty when there is no log).
std::string LastLogLines(const std::string& folder, int lines = 4);

}  // namespace sorvan::core
