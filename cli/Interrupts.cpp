#include "cli/Interrupts.h"

#include <csignal>
#include <initializer_list>

#include "files/StagedFile.h"

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

// Only async-signal-safe work.  The first of SIGINT, SIGTERM and SIGHUP
// notes the signal and asks the run to stop; the next one ends the process
// at once, as the signal's default would, but without leaving the
// temporary files of the outputs behind.
void OnInterrupt(int signal) {
  if (caught == 0) {
    caught = signal;
    if (std::atomic<bool>* flag = cancelFlag) flag->store(true);
    return;
  }
  RemoveStagedFilesNow();
  Restore(signal);
  raise(signal);  // delivered, with its default action, when the handler returns
}

// SIGQUIT ends the run at once (with its core dump, where enabled), its
// temporary files removed first; so does any of the four before the run.
void OnQuit(int signal) {
  RemoveStagedFilesNow();
  Restore(signal);
  raise(signal);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void Install(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int s : kStopSignals) sigaddset(&action.sa_mask, s);
  sigaddset(&action.sa_mask, SIGQUIT);
  action.sa_flags = SA_RESTART;  // a write under way is completed, not failed
  // A signal ignored by whoever started us (a background job of a
  // non-interactive shell, nohup) stays ignored.
  struct sigaction before {};
  if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) return;
  sigaction(signal, &action, nullptr);
}

}  // namespace

void EndAtOnceOnInterrupts() {
  for (int signal : kStopSignals) Install(signal, OnQuit);
  Install(SIGQUIT, OnQuit);
}

void CatchInterrupts() {
  for (int signal : kStopSignals) Install(signal, OnInterrupt);
  Install(SIGQUIT, OnQuit);
}

int InterruptSignal() { return caught; }

InterruptGuard::InterruptGuard(std::atomic<bool>& cancel) {
  cancelFlag = &cancel;
  CatchInterrupts();
}

InterruptGuard::~InterruptGuard() { cancelFlag = nullptr; }

}  // namespace kelvane
