#include "numerics/thread_pool.h"

#include "run_context.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>
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

namespace {

// One loop handed to the pool: workers 1..threads-1 join the calling thread.
struct Job {
  const std::function<void(int, int)>* task = nullptr;
  int count = 0;
  int threads = 0;
  std::atomic<int> next{0};
};

class Pool {
 public:
  // Stops and joins the workers (see the header). The pool object itself is
  // never destroyed: a thread that is still waiting on one of its condition
  // variables (the loop's caller, when a worker ended the process) must not
  // see them destroyed under it (a pool that is unloaded with the library
  // leaves its few hundred bytes behind). In a child process made by fork
  // the workers do not exist and are left alone.
  void Stop() {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_.store(true);
      if (getpid() != owner_) return;
      threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& t : threads) {
      if (t.get_id() == std::this_thread::get_id())
        t.detach();  // std::exit called inside an item on this worker
      else
        t.join();
    }
  }

  int Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(threads_.size());
  }

  // False when another loop holds the pool (the caller then runs alone).
  bool Run(int count, int threads, const std::function<void(int, int)>& task) {
    bool idle = false;
    if (!busy_.compare_exchange_strong(idle, true)) return false;
    struct Release {
      std::atomic<bool>& flag;
      ~Release() { flag.store(false); }
    } release{busy_};
    Job job;
    job.task = &task;
    job.count = count;
    job.threads = threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_.load() || getpid() != owner_) return false;
      while (static_cast<int>(threads_.size()) < threads - 1) {
        const int worker = static_cast<int>(threads_.size()) + 1;
        threads_.emplace_back([this, worker] { Serve(worker); });
      }
      job_ = &job;
      ++generation_;
    }
    wake_.notify_all();
    Work(job, 0);
    // Close the loop to workers that have not woken yet (on a loaded machine
    // one may not run for a while: waiting for it would cost more than its
    // share), then wait only for those working on it.
    std::unique_lock<std::mutex> lock(mutex_);
    job_ = nullptr;
    done_.wait(lock, [this] { return active_ == 0; });
    return true;
  }

 private:
  void Work(Job& job, int worker) {
    for (int item = job.next.fetch_add(1); item < job.count && !stopping_.load();
         item = job.next.fetch_add(1))
      (*job.task)(item, worker);
  }

  // A worker's life: wait for a new loop that wants it, join it if it is
  // still open, share its items, report, wait again; leave when the pool
  // stops.
  void Serve(int worker) {
    unsigned long long seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_.load() || generation_ != seen; });
      if (stopping_.load()) return;
      seen = generation_;
      Job* job = job_;
      if (job == nullptr || worker >= job->threads) continue;
      ++active_;
      lock.unlock();
      Work(*job, worker);
      lock.lock();
      if (--active_ == 0) done_.notify_one();
    }
  }

  std::atomic<bool> busy_{false};  // a loop is in progress
  std::mutex mutex_;               // guards everything below
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  Job* job_ = nullptr;
  int active_ = 0;  // workers inside the open or closing loop
  unsigned long long generation_ = 0;
  std::atomic<bool> stopping_{false};
  const pid_t owner_ = getpid();
};

// The pool lives as long as the process; this static's destructor, run by
// std::exit and by dlclose, stops its workers.
struct PoolOwner {
  Pool* pool = new Pool;
  ~PoolOwner() { pool->Stop(); }
};

Pool& ThePool() {
  static PoolOwner owner;
  return *owner.pool;
}

}  // namespace

int PoolThreadCount() { return ThePool().Size(); }

void ParallelFor(int count, int workers, const std::function<void(int, int)>& task) {
  if (count <= 0) return;
  const int threads = std::max(1, std::min(workers, count));
  // The items belong to the caller's run: its context goes with them.
  RunContext* context = BoundContext();
  const std::function<void(int, int)> bound = [&](int item, int worker) {
    const ContextScope scope(context);
    task(item, worker);
  };
  if (threads > 1 && ThePool().Run(count, threads, context != nullptr ? bound : task)) return;
  for (int item = 0; item < count; ++item) task(item, 0);
}

}  // namespace kriging
