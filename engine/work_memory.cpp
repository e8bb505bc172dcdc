#include "work_memory.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>

namespace kriging {
namespace {

struct Block {
  void* data;
  std::size_t capacity;
};

// At most kMaxBlocks blocks, in the order they were given back, in fixed
// storage: nothing of the reserve itself is on the heap.
class Reserve {
 public:
  void* Take(std::size_t& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The smallest kept block that holds the request without wasting more
    // than half of itself.
    int best = -1;
    for (int b = 0; b < count_; ++b)
      if (blocks_[b].capacity >= bytes && blocks_[b].capacity / 2 <= bytes &&
          (best < 0 || blocks_[b].capacity < blocks_[best].capacity))
        best = b;
    if (best < 0) return nullptr;
    void* data = blocks_[best].data;
    bytes = blocks_[best].capacity;
    Remove(best);
    return data;
  }

  // Keeps the block, freeing the oldest ones beyond the limits; false when it
  // is not kept (too large, or the reserve is closed).
  bool Keep(void* data, std::size_t capacity) {
    if (capacity > kReserveLimit) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    while (count_ == kMaxBlocks || held_ + capacity > kReserveLimit) {
      std::free(blocks_[0].data);
      Remove(0);
    }
    blocks_[count_++] = {data, capacity};
    held_ += capacity;
    return true;
  }

  // Frees every kept block; blocks given back later are freed at once.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (count_ > 0) {
      std::free(blocks_[0].data);
      Remove(0);
    }
    closed_ = true;
  }

  std::size_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }

 private:
  static constexpr int kMaxBlocks = 16;

  void Remove(int b) {
    held_ -= blocks_[b].capacity;
    std::copy(blocks_ + b + 1, blocks_ + count_, blocks_ + b);
    --count_;
  }

  std::mutex mutex_;
  Block blocks_[kMaxBlocks] = {};
  int count_ = 0;
  std::size_t held_ = 0;
  bool closed_ = false;
};

// Built in static storage and never destroyed, so that a block given back
// during the static destructors still finds it; its blocks are freed by the
// closer below, a static object destroyed when the library unloads or the
// process ends.
Reserve& TheReserve() {
  alignas(Reserve) static unsigned char storage[sizeof(Reserve)];
  static Reserve* reserve = new (storage) Reserve;
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
