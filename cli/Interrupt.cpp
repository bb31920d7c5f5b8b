#include "cli/Interrupt.h"

#include <csignal>

namespace kelvane {

namespace {

std::atomic<bool>* g_flag = nullptr;
volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_oldInt, g_oldTerm;

extern "C" void OnInterrupt(int sig) {
  if (g_interrupted) {
    // The second signal: the default action, at once.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  g_interrupted = 1;
  if (g_flag) g_flag->store(true);
}

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores into an atomic flag");

}  // namespace

InterruptGuard::InterruptGuard(std::atomic<bool>& flag) {
  g_flag = &flag;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &g_oldInt);
  sigaction(SIGTERM, &sa, &g_oldTerm);
}

InterruptGuard::~InterruptGuard() {
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  g_flag = nullptr;
}

bool InterruptGuard::Interrupted() { return g_interrupted != 0; }

}  // namespace kelvane
