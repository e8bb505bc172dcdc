#pragma once
// Large work blocks kept for the next call. A block the system gives anew
// has to be mapped and zeroed page by page at its first touch, and unmapped
// when freed: for the order-2,000 system and its split factor that is about
// 9,000 page faults and 2 ms of unmapping in every call. Blocks of at least
// kReservedFrom bytes are therefore kept when given back, up to kReserveLimit
// in all and sixteen blocks (the oldest go first), and handed out again for a
// request they hold without wasting more than half of themselves. The
// reserve is freed when the library unloads or the process ends.
#include <cstddef>

namespace kriging {

inline constexpr std::size_t kReservedFrom = std::size_t{256} << 10;
inline constexpr std::size_t kReserveLimit = std::size_t{64} << 20;

// An unfilled block of at least `bytes` bytes, aligned as malloc aligns;
// `bytes` becomes its capacity. Null when memory is refused.
void* ObtainWorkBlock(std::size_t& bytes);

// Gives back a block from ObtainWorkBlock with its capacity.
void ReturnWorkBlock(void* block, std::size_t capacity) noexcept;

// Bytes held in the reserve now (for tests).
std::size_t ReservedBytes();

}  // namespace kriging
