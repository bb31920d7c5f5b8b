#pragma once
// How the engine reaches the outside world while it marches: modal messages,
// progress and a request to stop.  The engine itself does no I/O.

#include <string>

namespace kelvane {

// What a message is about, for hosts that can show more than the message's
// own text: an English explanation beside it and the input field concerned.
struct MessageDetail {
  std::string Explanation;     // one or two English sentences; empty when none
  std::string Field;           // component of the field concerned ("Edit19"); empty when none
  bool SuggestRobust = false;  // the robust surface solve may carry the run past this failure
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // A modal message with one OK button; returns when it was acknowledged.
  virtual void ShowMessage(const std::string& text) = 0;
  // The same message with its explanation.  Hosts that show only the
  // message's own text keep this default.
  virtual void ShowExplainedMessage(const std::string& text, const MessageDetail& /*detail*/) { ShowMessage(text); }
  // Step `step` of `stepCount` of zone `zone` (of `zoneCount`) is done.
  // Called at a modest rate, not after every step.
  virtual void Progress(int /*zone*/, int /*zoneCount*/, int /*step*/, int /*stepCount*/) {}
  // Polled between steps; true stops the march after the current step.
  virtual bool CancelRequested() { return false; }
};

// A host that shows nothing (tests, benchmarks).
class SilentHost : public EngineHost {
 public:
  void ShowMessage(const std::string&) override {}
};

}  // namespace kelvane
