#pragma once

namespace sorvan::platform {
// Giving memory freed by closed windows back to the system. The C library
// keeps freed blocks for reuse; after the graphs of a large surface are gone
// that can be gigabytes the process no longer needs.

// Returns the free memory at the top of the heap and in whole free pages to
// the system, where the C library allows it (glibc's malloc_trim); elsewhere
// does nothing.
void ReleaseFreedMemory();

// The resident set size of this process in bytes (from /proc/self/statm);
// 0 where it cannot be read.
long long ResidentBytes();

}  // namespace sorvan::platform
