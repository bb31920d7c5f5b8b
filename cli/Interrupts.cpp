#include "cli/Interrupts.h"

#include <csignal>
#include <initializer_list>

namespace kelvane {
namespace {

volatile std::sig_atomic_t caught = 0;
std::atomic<bool>* volatile cancelFlag = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores into an atomic flag");

void Restore(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

// Only async-signal-safe work: note the signal and give both signals their
// default action back, so that the next one ends the process.
void OnInterrupt(int signal) {
  if (caught == 0) caught = signal;
  if (std::atomic<bool>* flag = cancelFlag) flag->store(true);
  for (int s : {SIGINT, SIGTERM}) {
    struct sigaction now {};
    if (sigaction(s, nullptr, &now) == 0 && now.sa_handler == OnInterrupt) Restore(s);
  }
}

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESTART;  // a write under way is completed, not failed
  for (int signal : {SIGINT, SIGTERM}) {
    // A signal ignored by whoever started us (a background job of a
    // non-interactive shell, nohup) stays ignored.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

int InterruptSignal() { return caught; }

InterruptGuard::InterruptGuard(std::atomic<bool>& cancel) {
  cancelFlag = &cancel;
  CatchInterrupts();
}

InterruptGuard::~InterruptGuard() { cancelFlag = nullptr; }

}  // namespace kelvane
