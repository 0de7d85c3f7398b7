#pragma once
// Progress that one thread publishes and another shows: a count done of a count in all. Both are
// read and written whole, so the window's thread reads them while a worker moves them on.

#include <atomic>
#include <cstdint>

namespace runtime {

struct Progress {
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};

  // Starts over at none done of `all`.
  void Restart(std::uint64_t all) {
    done.store(0, std::memory_order_relaxed);
    total.store(all, std::memory_order_relaxed);
  }
};

}  // namespace runtime
