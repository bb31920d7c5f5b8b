#pragma once
// Ctrl-C during a study or a search: the first stops the runs cleanly (the
// rows done are kept), a second one ends the program at once.

#include <atomic>

namespace kelvane {

// Sets `flag` on the first SIGINT (or SIGTERM) while the guard lives.
class InterruptGuard {
 public:
  explicit InterruptGuard(std::atomic<bool>& flag);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  static bool Interrupted();
};

}  // namespace kelvane
