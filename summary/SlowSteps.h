#pragma once
// Where a slow run's time went.  A plain step's surface solve needs a
// handful of trials; a step that needs a thousand or more (a hard step) costs
// as much as hundreds of plain ones, and hard steps cluster where the
// coating's surface balance is stiff: a region of the dryer an engineer can
// see and change (its gas, its length, the increment).

#include <string>
#include <vector>

namespace kelvane {

struct Statistics;

struct SlowZone {
  int Zone = 0;
  int Steps = 0;             // hard steps in the zone
  int Fewest = 0, Most = 0;  // trials of one of them
  long long Trials = 0;      // of its hard steps together
};

struct SlowSteps {
  std::vector<SlowZone> Zones;  // in zone order; empty for a run that is not slow
  long long RunTrials = 0;      // the run's trials, all steps
  long long HardTrials = 0;     // the hard steps' trials together
};

// The zones of a slow run, one whose hard steps took at least a quarter of
// its trials; nothing otherwise.
SlowSteps SlowStepsOf(const Statistics& stats);

// "Where the time went: zone 8: 81 steps needed 10 069–95 727 trials each
// (97 % of the run's 3 512 345 trials)."; empty for a run that is not slow.
std::string SlowStepsText(const SlowSteps& slow);

}  // namespace kelvane
