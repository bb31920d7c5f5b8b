#pragma once
// SIGINT and SIGTERM stop a run of kelvane-run the way the window's Cancel
// does: the march stops between steps, the zones completed stay in the
// result file and the run ends as cancelled.  A second signal ends the
// process at once.

namespace kelvane {

// Installs the handlers for SIGINT and SIGTERM.
void CatchInterrupts();

// The signal that asked the run to stop, or 0.
int InterruptSignal();

// The exit status of a run stopped by `signal`: 128 + the signal's number,
// as a shell reports a process that a signal ended (130 for SIGINT, 143 for
// SIGTERM).
inline int InterruptedStatus(int signal) { return 128 + signal; }

}  // namespace kelvane
