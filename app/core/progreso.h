#pragma once
// Progress of a long job (reading or writing a large data file) and the
// user's wish to stop it. The job calls the function now and then with the
// share done (0 to 1); a false answer asks it to stop, and it then fails with
// kTextoCancelado, leaving nothing half loaded or half written. The function
// may be called from a worker thread: it must only touch thread-safe state.
#include <functional>

namespace sorvan {

using AvisoProgreso = std::function<bool(double fraccion)>;

inline constexpr const char* kTextoCancelado = "Cancelado por el usuario.";

// Calls `aviso` (when there is one) at every `cada`-th step, with the share
// `hecho` / `total` (total > 0); true to go on. `paso` counts from 0.
inline bool SigueProgreso(const AvisoProgreso& aviso, long long paso, double hecho, double total,
                          long long cada = 8192) {
  if (!aviso || paso % cada != 0) return true;
  const double f = total > 0 ? hecho / total : 0.0;
  return aviso(f < 1.0 ? f : 1.0);
}

}  // namespace sorvan
