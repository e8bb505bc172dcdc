#pragma once
// The driver's last resort when memory cannot be obtained: one line in the run
// log, then the process ends without returning to the caller.
#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace kriging {

// Status values passed to CriticalStop by WorkArray.
inline constexpr int kStatusNoMemory = 1;        // the allocator refused the request
inline constexpr int kStatusSizeTooLarge = 2;    // the size cannot be represented

// Exit status of the process after a critical stop.
inline constexpr int kCriticalStopExitCode = 3;

// Writes "ERROR CRITICO:" and the status as the last line of the run log
// (destination 2 of the output-unit service), flushes it and ends the process.
[[noreturn]] void CriticalStop(int status);

// A zero-filled work array of `count` elements; a failed allocation is a
// critical stop. Obtain work arrays once, outside loops.
template <class T>
std::vector<T> WorkArray(std::size_t count) {
  try {
    return std::vector<T>(count);
  } catch (const std::bad_alloc&) {
    CriticalStop(kStatusNoMemory);
  } catch (const std::length_error&) {
    CriticalStop(kStatusSizeTooLarge);
  }
}

// The same left unfilled, for large arrays written whole before they are
// read: no pass over the memory before the work's own.
template <class T>
std::unique_ptr<T[]> UnfilledWorkArray(std::size_t count) {
  try {
    return std::unique_ptr<T[]>(new T[count]);
  } catch (const std::bad_alloc&) {
    CriticalStop(kStatusNoMemory);
  }
}

}  // namespace kriging
