// Work spread over a few threads whose results are taken in their original order: the parallel
// search and the parallel share commands log exactly what the one-by-one runs log.
#pragma once
#include <cstddef>
#include <functional>

namespace corvane {

struct OrderedPool {
  // Runs job(k, worker) for every k in [0, n) on `workers` threads (worker is 0 .. workers-1, so a
  // worker can use something of its own, a drive letter). deliver(k) runs on the calling thread,
  // in order of k, as soon as jobs 0 .. k are done; between deliveries the caller's pump() runs at
  // least every 50 ms, and once it answers false no further job starts (those running finish).
  std::function<void(size_t k, size_t worker)> job;
  std::function<void(size_t k)> deliver;
  std::function<bool()> pump = [] { return true; };
  bool com = false;  // each worker thread joins a single-threaded COM apartment of its own

  // False when pump() stopped it before every job was delivered.
  bool run(size_t n, size_t workers) const;
};

}  // namespace corvane
