#include "numerics/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace kriging {

int WorkerCount() {
  if (const char* text = std::getenv("SORVAN_THREADS")) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != text && value > 0) return static_cast<int>(std::min(value, 256L));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

int WorkersFor(double multiplyAdds, int workers) {
  double threshold = 4e6;
  if (const char* text = std::getenv("SORVAN_PARALLEL_MIN_WORK")) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && value >= 0) threshold = value;
  }
  return multiplyAdds < threshold ? 1 : std::max(1, workers);
}

void ParallelFor(int count, int workers, const std::function<void(int, int)>& task) {
  if (count <= 0) return;
  const int threads = std::max(1, std::min(workers, count));
  if (threads == 1) {
    for (int item = 0; item < count; ++item) task(item, 0);
    return;
  }
  std::atomic<int> next{0};
  auto run = [&](int worker) {
    for (int item = next.fetch_add(1); item < count; item = next.fetch_add(1)) task(item, worker);
  };
  std::vector<std::thread> helpers;
  helpers.reserve(threads - 1);
  for (int worker = 1; worker < threads; ++worker) helpers.emplace_back(run, worker);
  run(0);
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace kriging
