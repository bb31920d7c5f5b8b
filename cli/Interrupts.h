#pragma once
// SIGINT, SIGTERM and SIGHUP (a closed terminal) stop a run of kelvane-run
// the way the window's Cancel does: the march stops between steps, the
// zones completed stay in the result file and the run ends as cancelled; a
// study or a search stops its runs, keeping the rows done.  A second signal
// ends the process at once, and so does SIGQUIT; both remove the temporary
// files of the outputs first, so the earlier files stay as they were and
// nothing is left beside them.

#include <atomic>

namespace kelvane {

// Until CatchInterrupts: SIGINT, SIGTERM, SIGHUP and SIGQUIT end the
// program at once, as their default does, but remove the temporary files of
// the outputs first (a data file, a study's table written before its runs).
void EndAtOnceOnInterrupts();

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT.
void CatchInterrupts();

// While it lives, the handlers are installed and the first signal also sets
// `cancel` (a study's or a search's stop flag).
class InterruptGuard {
 public:
  explicit InterruptGuard(std::atomic<bool>& cancel);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The signal that asked the run to stop, or 0.
int InterruptSignal();

// The exit status of a run stopped by `signal`: 128 + the signal's number,
// as a shell reports a process that a signal ended (129 for SIGHUP, 130 for
// SIGINT, 143 for SIGTERM).
inline int InterruptedStatus(int signal) { return 128 + signal; }

}  // namespace kelvane
