#include "ordered_pool.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "raii.h"

namespace corvane {

bool OrderedPool::run(size_t n, size_t workers) const {
  workers = std::max<size_t>(1, std::min(workers, std::max<size_t>(n, 1)));
  std::vector<char> done(n, 0);
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<bool> stop{false};
  std::atomic<size_t> next{0};
  size_t running = workers;

  std::vector<std::thread> threads;
  for (size_t w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      // The components a job uses are then created in the worker's own apartment.
      std::optional<corv::ComApartment> apartment;
      if (com) apartment.emplace();
      for (size_t k; !stop.load() && (k = next.fetch_add(1)) < n;) {
        job(k, w);
        std::lock_guard<std::mutex> hold(lock);
        done[k] = 1;
        changed.notify_all();
      }
      apartment.reset();
      std::lock_guard<std::mutex> hold(lock);
      --running;
      changed.notify_all();
    });
  }

  size_t delivered = 0;
  for (;;) {
    bool finished;
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait_for(hold, std::chrono::milliseconds(50),
                       [&] { return running == 0 || (delivered < n && done[delivered]); });
      finished = running == 0;
    }
    for (;;) {
      {
        std::lock_guard<std::mutex> hold(lock);
        if (delivered >= n || !done[delivered]) break;
      }
      deliver(delivered++);
    }
    if (finished) break;
    if (!pump()) stop = true;
  }
  for (std::thread& t : threads) t.join();
  return !stop.load() && delivered == n;
}

}  // namespace corvane
