#pragma once
// Progress of a long job (reading or writing a large data file) and the
// user's wish to stop it. The job calls the function now and then with the
// share done (0 to 1); a false answer asks it to stop, and it then fails with
// kTextoCancelado, leaving nothing half loaded or half written. The function
// may be called from a worker thread: it must only touch thread-safe state.
#include <functional>

namespace sorvan::core {

using AvisoProgreso = std::function<bool(double fraccion)>;

inline constexpr const char* kTextoCancelado = "Cancelado por el usuario.";

// Calls `warning` (when there is one) at every `cada`-th step, with the share
// `done` / `total` (total > 0); true to go on. `step` counts from 0.
inline bool SigueProgreso(const AvisoProgreso& warning, long long step, double done, double total,
                          long long cada = 8192) {
  if (!warning || step % cada != 0) return true;
  const double f = total > 0 ? done / total : 0.0;
  return warning(f < 1.0 ? f : 1.0);
}

}  // namespace sorvan::core
