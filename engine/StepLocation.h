#pragma once
// Where the march stands: the zone and step being solved, and the position
// and time that step reaches, as the result file's TIME and LENGTH columns
// would print them.  For messages about a failing step; it reads the state
// and changes nothing.

namespace kelvane {

class Calculation;

struct StepLocation {
  int Zone = 0;         // 1-based; 0 before the march
  int Step = 0;         // 1-based step within the zone
  int StepCount = 0;    // steps of the zone
  double Position = 0;  // m from the zone's entrance at the end of the step
  double Time = 0;      // s from zone 1's entrance at the end of the step
};

StepLocation CurrentStepLocation(const Calculation& calc);

}  // namespace kelvane
