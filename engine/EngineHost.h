#pragma once
// How the engine reaches the outside world while it marches: modal messages,
// progress and a request to stop.  The engine itself does no I/O.

#include <string>

namespace kelvane {

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // A modal message with one OK button; returns when it was acknowledged.
  virtual void ShowMessage(const std::string& text) = 0;
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
