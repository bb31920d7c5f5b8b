#pragma once
// English explanations beside the run's own messages: which field a refusal
// is about, what a Japanese error report means, where in the dryer the
// march failed and what to try next.  The hosts show them: the window as
// the message box's informative text, kelvane-run as a line after the
// message.

#include <string>

#include "engine/EngineHost.h"
#include "engine/Faults.h"
#include "engine/StepLocation.h"

namespace kelvane {

// An engine message ("Sorry, this condition does not cnoverge! ...", "...
// does not converge !!", the rescue's failure, "This case can not be
// solved!") at the step `at`; `robust` tells whether the robust surface
// solve was on.
MessageDetail ExplainEngineMessage(const std::string& text, const StepLocation& at, bool robust,
                                   bool forPython = false);
// An arithmetic fault that ended the march at `at` (zone 0: before it).
MessageDetail ExplainFault(FaultKind kind, const StepLocation& at);
// "'x' は浮動小数点数ではありません" from the field `component`.
MessageDetail ExplainNotARealNumber(const std::string& text, const std::string& component);

// "I/O エラー (n)": writing the result file failed; `earlierKept` tells
// whether an earlier file of that name stays as it was.
MessageDetail ExplainWriteFailure(int code, bool earlierKept);

// "Zone 1, step 7 of 2500: 0.14 m into the zone, 0.14 s after the dryer's
// entrance".
std::string LocationText(const StepLocation& at);

// The explanation as kelvane-run prints it after the message: the field by
// its field name, record name and caption, then the explanation.
std::string RunnerExplanation(const MessageDetail& d);
// The explanation as the window's message box shows it beside the message:
// the explanation, then the field by its caption, group and page.
std::string WindowExplanation(const MessageDetail& d);

}  // namespace kelvane
