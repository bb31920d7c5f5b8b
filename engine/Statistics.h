#pragma once
// What a march counts: steps, trials, takeovers, and the hard steps of each
// zone.

#include <array>

#include "engine/RunParameters.h"

namespace kelvane {

struct Statistics {
  long long Steps = 0;
  long long Trials = 0;
  int MaxTrialsPerStep = 0;
  long long SplitSteps = 0;  // robust steps solved in sub-steps
  int Marches = 0;           // 2 when a robust run was marched again
  // Secant searches handed to the robust solve because their state came
  // back exactly (a cycle) or a trial's film-side flux was exactly zero.
  long long CycleTakeovers = 0;
  long long ZeroFluxTakeovers = 0;
  // Hard steps (at least HardStepTrials trials of their surface solve) per
  // zone 1..14: how many, the fewest and most trials of one, and their
  // trials together.
  struct HardSteps {
    int Count = 0, Fewest = 0, Most = 0;
    long long Trials = 0;
  };
  std::array<HardSteps, MaxZones + 1> Hard{};
};

// A step whose surface solve needs this many trials is hard: a plain step
// needs a handful.
constexpr int HardStepTrials = 1000;

}  // namespace kelvane
