#pragma once
// Work sharing for the blocked dense kernels: a loop of independent items run
// on a few threads.
//
// Results never depend on the number of threads: every item is computed by
// the same instructions whichever thread takes it, and items write disjoint
// outputs. Threads are started per call (a few tens of microseconds), which
// is negligible beside the O(n^3) or O(n^2 m) work they share.
#include <functional>

namespace kriging {

// Threads the engine may use: the environment variable SORVAN_THREADS when it
// holds a positive integer, capped by nothing else; otherwise every hardware
// thread (std::thread::hardware_concurrency, at least 1).
int WorkerCount();

// The workers worth starting for a loop of about `multiplyAdds` operations:
// below a few million (a millisecond of one core) a thread's start, and on a
// busy machine its wait for a free core, costs more than it saves. The
// threshold is SORVAN_PARALLEL_MIN_WORK when set (the tests set 0, so that
// their small matrices are shared over threads too), else 4e6.
int WorkersFor(double multiplyAdds, int workers);

// Runs task(item, worker) for item = 0..count-1 on min(workers, count)
// threads, the calling thread being worker 0. Items are handed out in
// increasing order from a shared counter; `worker` (0..workers-1) indexes
// per-thread scratch space obtained by the caller beforehand.
void ParallelFor(int count, int workers, const std::function<void(int item, int worker)>& task);

}  // namespace kriging
