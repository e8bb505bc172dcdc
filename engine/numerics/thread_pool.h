#pragma once
// Work sharing for the blocked dense kernels: a loop of independent items run
// on a few threads.
//
// Results never depend on the number of threads: the loop's items are fixed
// by the caller (a block of rows, a column), every item is computed by the
// same instructions whichever thread takes it, and items write disjoint
// outputs. Only which thread runs which item varies.
//
// The threads are one pool per process, started on first use and grown when a
// loop asks for more; between loops they wait on a condition variable, so a
// loop costs a wake-up rather than a thread start, and a loaded machine does
// not pay for thread creation in every loop. Why one pool rather than one per
// engine call: the blocked routines are called from many places and a pool
// per call would need every entry point to own one; a process-wide pool needs
// only its shutdown to be right:
//   - a static object of this library stops and joins the workers in its
//     destructor, which runs at std::exit and when the library is unloaded
//     (dlclose), so no thread outlives the code it runs; parked workers wake,
//     see the stop flag and return, so the join cannot deadlock;
//   - workers check the stop flag before each item, so work in progress is
//     not finished first;
//   - std::exit called inside an item on a worker detaches that worker rather
//     than joining it; the pool's mutex and condition variables are never
//     destroyed, since the loop's caller may still be waiting on one;
//   - the engine's fatal stops use std::_Exit, which ends the threads with the
//     process; in a child made by fork (the pool's threads do not exist
//     there) loops run on the calling thread.
// A loop started while another is running (from a second thread, or from
// inside an item) also runs on its calling thread alone. The results are the
// same bits either way.
#include <functional>

namespace kriging {

// Threads the engine may use: the environment variable SORVAN_THREADS when it
// holds a positive integer, capped by nothing else; otherwise every hardware
// thread (std::thread::hardware_concurrency, at least 1).
int WorkerCount();

// The workers worth starting for a loop of about `multiplyAdds` operations:
// below a few million (a millisecond of one core) a thread's wake-up, and on
// a busy machine its wait for a free core, costs more than it saves. The
// threshold is SORVAN_PARALLEL_MIN_WORK when set (the tests set 0, so that
// their small matrices are shared over threads too), else 4e6.
int WorkersFor(double multiplyAdds, int workers);

// Runs task(item, worker) for item = 0..count-1 on min(workers, count)
// threads, the calling thread being worker 0. Items are handed out in
// increasing order from a shared counter; `worker` (0..workers-1) indexes
// per-thread scratch space obtained by the caller beforehand. Returns when
// every item is done.
void ParallelFor(int count, int workers, const std::function<void(int item, int worker)>& task);

// Threads the pool holds now, the calling thread not counted (0 before the
// first shared loop). For tests.
int PoolThreadCount();

}  // namespace kriging
