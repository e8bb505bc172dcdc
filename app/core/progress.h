#pragma once
// Progress of a long job (reading or writing a large data file) and the
// user's wish to stop it. The job calls the function now and then with the
// share done (0 to 1); a false answer asks it to stop, and it then fails with
// kCancelledText, leaving nothing half loaded or half written. The function
// may be called from a worker thread: it must only touch thread-safe state.
#include <functional>

namespace sorvan::core {

using ProgressCallback = std::function<bool(double fraction)>;

inline constexpr const char* kCancelledText = "Cancelado por el usuario.";

// Calls `warning` (when there is one) at every `every`-th step, with the share
// `done` / `total` (total > 0); true to go on. `step` counts from 0.
inline bool KeepGoing(const ProgressCallback& warning, long long step, double done, double total,
                          long long every = 8192) {
  if (!warning || step % every != 0) return true;
  const double f = total > 0 ? done / total : 0.0;
  return warning(f < 1.0 ? f : 1.0);
}

}  // namespace sorvan::core
