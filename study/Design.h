#pragma once
// The dryer's design: the fastest web speed, with the gas temperature of
// each zone (and any further field, such as a zone's heat-transfer
// coefficients standing for its nozzle velocity), at which the coating
// leaves the last zone below the residual target without boiling at the
// base film, skinning, or a film hotter than its limit.
//
// NLopt's COBYLA maximises the speed over the fields and the speed at once,
// every target a constraint, from two starts run side by side: the best
// uniform schedule (every zone at one temperature, its speed found by the
// boundary search) and the base case's own temperatures.  With more than
// two zones the uniform start first designs coarser schedules, the zones in
// 2, then 4, 8, ... blocks of neighbours, each from the last, and goes on to
// every zone on its own from there: COBYLA started at once in many
// temperatures from the uniform schedule settles far from the fastest
// schedule, short of a target it cannot come back to.  With four zones or
// more a further start goes through a step along the dryer (two plateaus
// and the edge between them), where the blocks would fix the step at a
// boundary of their own.  A run that does
// not finish is no answer: its point is replaced by the nearest of a few
// neighbours that finishes, and only when all of them fail does the
// optimiser see the point as infeasible.  The design is the fastest run
// that met every target, whatever the optimiser reports last.

#include <optional>
#include <string>
#include <vector>

#include "study/Optimize.h"
#include "study/StudyRun.h"
#include "study/Targets.h"

namespace kelvane {

struct DesignProblem {
  std::vector<SearchedField> Fields;  // the zones' gas temperatures and any further field
  double SpeedLower = 0.05, SpeedUpper = 5;  // m/s
  Targets Goal;
  // The gas temperatures (the OuterTemperature fields searched, in zone
  // order) never fall along the dryer.
  bool NonDecreasing = false;
  int MaxEvaluations = 120;  // per start, and per coarser stage of the uniform start
  double RelativeTolerance = 1e-3;
  std::optional<double> WebWidth;  // m: the power per zone in kW
  // An energy cap: the heat from the gas at most this, kJ/m^2 (a further
  // target; the best uniform schedule is still found without it).
  std::optional<double> MaxHeat;
  // The second start in place of the base case's values: the fields' texts,
  // then the speed's (a design already made, say).  Empty: the base case.
  std::vector<std::string> Start;
  // The operating window: every target holds at every speed from this share
  // of the answer up to the answer (1: at the answer only).
  double Slowest = 1;
  // The targets hold with every zone's gas this much warmer (at the
  // window's slowest speed, where the film is hottest) and cooler (at the
  // design's speed, where most solvent is left), K; 0: the gas as designed.
  double GasTolerance = 0;
  // True when each point of the search is run again under the window or
  // with the gas tolerance.
  bool Robustness() const { return Slowest < 1 || GasTolerance > 0; }
  // The global stage: schedules spread over the whole box, each at its
  // fastest speed, the best of them polished; -1: as many as the fields
  // ask, 0: none.
  int Samples = -1;
  // Back off from the fastest runs that missed a target by a hair.
  bool Repair = true;
  // The highest gas temperature allowed, degC, where the zones' bounds were
  // cut by it: the account then says which limit to move.
  std::optional<double> HighestGas;
};

// Each zone of the base case with its gas temperature searched within
// `span` of its current value, and within [lowest, highest] degC.
std::vector<SearchedField> ZoneTemperatureFields(const FieldTexts& base, double span = 40, double lowest = 20,
                                                 double highest = 200);

// The first zone in use whose gas temperature has no range to search
// (its current value lies more than `span` outside [lowest, highest]), which
// ZoneTemperatureFields leaves out: a sentence naming the zone, its value
// and the range.  Empty when every zone in use has a range.
std::string UnsearchableZone(const FieldTexts& base, double span = 40, double lowest = 20, double highest = 200);

struct ZoneCost {
  int Zone = 0;
  double Heat = 0;                  // kJ/m^2 from the gas
  std::optional<double> PerKg;      // kJ per kg of solvent evaporated in the zone
  std::optional<double> Power;      // kW at the web width and the design's speed
};

struct DesignResult {
  bool Found = false;
  bool Cancelled = false;
  std::vector<std::string> Best;  // texts of the fields at the design
  std::string Speed;              // the web speed's text
  RowResult BestRow;
  std::string Binding;            // which target binds, and where
  std::vector<ZoneCost> Costs;
  double TotalHeat = 0;           // kJ/m^2
  std::optional<double> HeatPerKg;
  // The best uniform schedule: every searched temperature at one value.
  bool UniformFound = false;
  std::string UniformTemperature, UniformSpeed;
  // A local check of the design: each field moved a small step either way,
  // at a slightly faster web, breaks a target; one line per move.
  std::vector<std::string> LocalCheck;
  bool LocallyOptimal = false;
  // The account: every target within half a percent of its limit, every
  // field at a bound, and, where a bound rather than the coating sets the
  // answer, the sentence that says so and what to widen.
  std::vector<std::string> Active, AtBounds;
  std::string SetByBounds;
  // The slowest speed at which the schedule still meets every target
  // (empty when no run below the design's speed was made); SlowestIsBound:
  // it is the lowest speed allowed, and slower speeds were not tried.
  std::string SlowestSpeed;
  bool SlowestIsBound = false;
  // The operating window checked on a grid of speeds: one line per miss.
  bool WindowHolds = true;
  std::vector<std::string> Window;
  // What each stage of the search bought: its runs and the fastest design
  // known when it ended (m/s, 0: none yet).
  struct Stage {
    std::string Name;
    std::size_t Runs = 0;
    double Speed = 0;
  };
  std::vector<Stage> Stages;
  std::string Stop;               // why the optimiser stopped
  std::vector<RowResult> Evaluations;
};

// Throws std::invalid_argument for bounds out of order or no target.
DesignResult Design(const StudyDefinition& base, const DesignProblem& problem, const StudyOptions& options,
                    StudyControl& control);

// Which target has the least room left at a run that meets them, and in
// which zone; then the fields (and the speed) held at a bound.
std::string DesignBinding(const DesignProblem& problem, const RowResult& row);

// The design in a few lines for people: the speed and schedule, the binding
// target, the energy by zone, the gain over the uniform schedule and the
// local check.
std::string DesignReport(const DesignProblem& problem, const DesignResult& result);

}  // namespace kelvane
