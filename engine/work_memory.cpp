#include "work_memory.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace kriging {
namespace {

struct Block {
  void* data;
  std::size_t capacity;
};

class Reserve {
 public:
  void* Take(std::size_t& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The smallest kept block that holds the request without wasting more
    // than half of itself.
    auto best = blocks_.end();
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
      if (it->capacity >= bytes && it->capacity / 2 <= bytes &&
          (best == blocks_.end() || it->capacity < best->capacity))
        best = it;
    if (best == blocks_.end()) return nullptr;
    void* data = best->data;
    bytes = best->capacity;
    held_ -= best->capacity;
    blocks_.erase(best);
    return data;
  }

  // Keeps the block, freeing the oldest ones beyond the limit; false when it
  // is not kept (too large, or the reserve is closed).
  bool Keep(void* data, std::size_t capacity) {
    if (capacity > kReserveLimit) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    blocks_.reserve(blocks_.size() + 1);  // before the block counts as kept
    while (held_ + capacity > kReserveLimit) {
      std::free(blocks_.front().data);
      held_ -= blocks_.front().capacity;
      blocks_.erase(blocks_.begin());
    }
    blocks_.push_back({data, capacity});
    held_ += capacity;
    return true;
  }

  // Frees every kept block; blocks given back later are freed at once.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Block& block : blocks_) std::free(block.data);
    blocks_.clear();
    held_ = 0;
    closed_ = true;
  }

  std::size_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }

 private:
  std::mutex mutex_;
  std::vector<Block> blocks_;
  std::size_t held_ = 0;
  bool closed_ = false;
};

// Never destroyed, so that a block given back during the static destructors
// still finds it; its blocks are freed by the closer below, a static object
// destroyed when the library unloads or the process ends.
Reserve& TheReserve() {
  static Reserve* reserve = new Reserve;
  return *reserve;
}

struct ReserveCloser {
  ReserveCloser() { TheReserve(); }
  ~ReserveCloser() { TheReserve().Close(); }
} closer;

}  // namespace

void* ObtainWorkBlock(std::size_t& bytes) {
  if (bytes >= kReservedFrom)
    if (void* kept = TheReserve().Take(bytes)) return kept;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void ReturnWorkBlock(void* block, std::size_t capacity) noexcept {
  if (block == nullptr) return;
  if (capacity >= kReservedFrom) {
    try {
      if (TheReserve().Keep(block, capacity)) return;
    } catch (...) {  // no room to note it: freed below
    }
  }
  std::free(block);
}

std::size_t ReservedBytes() { return TheReserve().Held(); }

}  // namespace kriging
