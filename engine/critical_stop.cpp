#include "critical_stop.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "numerics/error_service.h"

namespace kriging {

void CriticalStop(int status) {
  if (CurrentErrorState().stopThrows)
    throw ServiceStopped{ServiceStopped::kNoMemory, "ERROR CRITICO: " + std::to_string(status)};
  std::FILE* log = OutputDestination(2);
  if (log == nullptr) log = stderr;
  std::fprintf(log, "ERROR CRITICO: %d\n", status);
  // The line above must stay the last of the run log, where a caller in
  // another process looks for the reason: flush every stream and end without
  // running exit handlers that could write more.
  std::fflush(nullptr);
  std::_Exit(kCriticalStopExitCode);
}

}  // namespace kriging
