#pragma once
// The driver's last resort when memory cannot be obtained: one line in the run
// log, then the process ends without returning to the caller.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "work_memory.h"

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

// Gives an UnfilledWorkArray's block back to the work memory.
struct ReturnToWorkMemory {
  std::size_t capacity = 0;
  void operator()(void* block) const noexcept { ReturnWorkBlock(block, capacity); }
};

template <class T>
using UnfilledArray = std::unique_ptr<T[], ReturnToWorkMemory>;

// The same left unfilled, for large arrays of trivial types written whole
// before they are read: no pass over the memory before the work's own, and
// the block kept for the next call (work_memory.h).
template <class T>
UnfilledArray<T> UnfilledWorkArray(std::size_t count) {
  static_assert(std::is_trivially_default_constructible_v<T>);
  if (count > static_cast<std::size_t>(-1) / sizeof(T)) CriticalStop(kStatusSizeTooLarge);
  std::size_t capacity = count * sizeof(T);
  void* block = ObtainWorkBlock(capacity);
  if (block == nullptr) CriticalStop(kStatusNoMemory);
  return UnfilledArray<T>(static_cast<T*>(block), ReturnToWorkMemory{capacity});
}

// The same zero-filled: for work arrays of a few hundred kilobytes and more
// that a call obtains again and again.
template <class T>
UnfilledArray<T> ZeroedWorkArray(std::size_t count) {
  UnfilledArray<T> array = UnfilledWorkArray<T>(count);
  std::fill_n(array.get(), count, T{});
  return array;
}

}  // namespace kriging
