#pragma once
namespace kriging {
// Writes "ERROR CRITICO:" and the status to the run log and ends the process.
[[noreturn]] void CriticalStop(int status);
}  // namespace kriging
