#pragma once
// The search behind the dryer's design: the runs every start shares, one
// start of COBYLA in variables scaled to [0, 1], and the coarser schedules
// that lead the uniform start to the fine one.

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "study/DesignEnergy.h"
#include "study/Design.h"
#include "study/DesignAccount.h"
#include "study/DesignAnswer.h"
#include "study/StudyTable.h"

namespace kelvane::design_search {

inline std::string Text(double x) { return FieldValueText(x, 6); }

inline double Number(const std::string& t) { return std::strtod(t.c_str(), nullptr); }

inline bool IsGasTemperature(const SearchedField& f) { return f.Field.Field && f.Field.Field->Index == 1 && f.Field.Field->Zone > 0; }

// The settings a point is checked at besides its own: its fields and speed
// (`values`) at the window's slowest speed, and with a gas tolerance the gas
// warmer there and cooler at the point's speed.
std::vector<std::vector<std::string>> Companions(const DesignProblem& p, const std::vector<std::string>& values);

// Everything the starts share: the runs made and the best design.
class Runs {
 public:
  Runs(const StudyDefinition& study, const DesignProblem& p, const StudyOptions& o, StudyControl& c)
      : study_(study), problem_(p), options_(o), control_(c) {
    options_.Jobs = 1;
  }

  // Runs the texts of one point (the fields, then the speed); with an
  // operating window, a run that finished is made again at the slowest
  // speed of the window.
  RowResult Run(const std::vector<std::string>& values) {
    std::vector<StudyRow> rows{{0, values}};
    RowResult r = RunStudy(study_, rows, options_, control_)[0];
    AddWindow(r);
    Record(r);
    return r;
  }
  // The runs that check a finished point that has none yet: the slowest
  // speed of the operating window (the film heats most where the web is
  // slowest), and with a gas tolerance the gas warmer there and cooler at
  // the point's own speed.  They stop at the first that misses a target.
  void AddWindow(RowResult& r) {
    if (!problem_.Robustness() || r.Outcome != RowOutcome::Finished || !r.Slower.empty() || Cancelled()) return;
    for (const std::vector<std::string>& values : Companions(problem_, r.Row.Values)) {
      std::vector<StudyRow> rows{{0, values}};
      RowResult s = RunStudy(study_, rows, options_, control_)[0];
      Push(s);
      const bool met = MeetsTargets(s, problem_.Goal);
      r.Slower.push_back(std::move(s));
      if (!met || Cancelled()) break;
    }
  }
  void Record(RowResult& r) {
    Push(r);
    Consider(r);
  }
  // A run counted among the runs made, never a design by itself.
  void Push(RowResult& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    r.Row.Number = evaluations_.size() + 1;
    evaluations_.push_back(r);
    if (r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun) cancelled_ = true;
  }
  // A run already counted, now known with its window, as a design.
  void Consider(const RowResult& r) {
    if (!Feasible(r)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!best_ || BetterDesign(problem_, r, *best_)) best_ = r;
  }
  bool Feasible(const RowResult& r) const { return DesignFeasible(problem_, r); }
  // The heat from the gas beyond the cap, kJ/m^2 (finished runs only).
  double HeatOver(const RowResult& r) const {
    return problem_.MaxHeat ? DesignEnergy(problem_, r) - *problem_.MaxHeat : -1;
  }
  // The largest fall of the gas temperature from one zone to the next, K.
  double OrderViolation(const std::vector<std::string>& values) const {
    if (!problem_.NonDecreasing) return -1;
    double worst = -std::numeric_limits<double>::infinity(), last = 0;
    bool any = false;
    for (std::size_t i = 0; i < problem_.Fields.size(); ++i) {
      if (!IsGasTemperature(problem_.Fields[i])) continue;
      const double t = Number(values[i]);
      if (any) worst = std::max(worst, last - t);
      last = t;
      any = true;
    }
    return any ? worst : -1;
  }
  bool Cancelled() const { return cancelled_ || control_.Cancel.load(); }
  std::vector<RowResult> Evaluations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return evaluations_;
  }
  std::size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return evaluations_.size();
  }
  std::optional<RowResult> Best() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return best_;
  }
  const DesignProblem& Problem() const { return problem_; }
  StudyControl& Control() { return control_; }
  const StudyDefinition& Study() const { return study_; }
  StudyOptions& Options() { return options_; }

 private:
  const StudyDefinition& study_;
  const DesignProblem& problem_;
  StudyOptions options_;
  StudyControl& control_;
  mutable std::mutex mutex_;
  std::vector<RowResult> evaluations_;
  std::optional<RowResult> best_;
  bool cancelled_ = false;
};

// How far a run misses the targets, each violation scaled to about one for
// a clear miss, at its worst over the run and its slower companions: <= 0
// met.  A run that did not finish misses by 1.
double Miss(const Runs& runs, const RowResult& r);

// The fastest speed within [lower, upper] m/s at which the fields' texts
// meet the targets, by the boundary search to `tolerance` m/s; every run is
// recorded, and the answer is given its operating window.  None when no
// speed in the bounds meets them (or the search was cancelled).
std::optional<RowResult> FastestAt(Runs& runs, const std::vector<std::string>& fields, double lower, double upper,
                                   double tolerance);

// One start of COBYLA, in variables scaled to [0, 1]: the fields, then the speed.
struct Start {
  Start(Runs& r, const DesignProblem& p) : runs(r), problem(p) {
    for (const SearchedField& f : p.Fields) {
      lower.push_back(f.Lower);
      upper.push_back(f.Upper);
    }
    lower.push_back(p.SpeedLower);
    upper.push_back(p.SpeedUpper);
  }
  Runs& runs;
  const DesignProblem& problem;
  std::vector<double> lower, upper;
  // The full variables from the optimiser's own (a coarser schedule); none: the same.
  std::function<std::vector<double>(const std::vector<double>&)> Expand;
  std::vector<double> lastU;
  RowResult last;
  bool lastFailed = false;
  std::optional<RowResult> best;  // this start's fastest run that met the targets

  std::vector<std::string> Texts(const std::vector<double>& v) const {
    const std::vector<double> u = Expand ? Expand(v) : v;
    std::vector<std::string> t;
    for (std::size_t i = 0; i < u.size(); ++i)
      t.push_back(Text(lower[i] + std::clamp(u[i], 0.0, 1.0) * (upper[i] - lower[i])));
    return t;
  }
  // The run at u, or at the nearest neighbour that finishes.
  const RowResult& At(const std::vector<double>& u);
};

// COBYLA from u0 (scaled variables) until it settles or has made
// maxEvaluations points; `step` is its first move in each variable.
void RunStart(Start& s, std::vector<double> u0, int maxEvaluations, double tol, std::string& stop, double step = 0.1);

// The variables of a run, scaled to [0, 1] by the start's bounds.
std::vector<double> Scaled(const Start& s, const std::vector<std::string>& values);

// The uniform start through coarser schedules: the zones' gas temperatures
// in 2 blocks of neighbouring zones, each block at one place within each of
// its zones' own ranges, designed first; then 4 blocks from that design,
// then 8, ..., while there are fewer blocks than zones; then every zone on
// its own.  With two zones or fewer, the fine design alone.
void CoarseThenFine(Start& fine, const std::vector<double>& u0, int maxEvaluations, double tol, std::string& stop);

// Each zone's place within its own range (scaled) under a schedule of
// plateaus along the dryer: `places` in order along it, `edges` between
// them as shares of the length (in any order); each zone, [entry, exit) in
// shares of the length, takes the mean of the plateaus over its length.
std::vector<double> PlateauSchedule(const std::vector<std::pair<double, double>>& spans, const std::vector<double>& places,
                                    std::vector<double> edges);

// The zones whose gas temperature is searched.
std::size_t GasZones(const DesignProblem& p);

// A start through a step along the dryer: the gas temperatures first as two
// plateaus, each at one place within every zone's own range, and the edge
// between them, as a share of the dryer's length, searched with them; then
// every zone on its own from that design.  Where the gas should step down
// is searched as such, not fixed by how the dryer is cut into zones: a
// plateau ending within a zone gives it the mean over its length, so the
// speed moves smoothly with the edge, and a dryer cut into many zones finds
// the step a dryer of fewer, longer zones has at its zones' boundary.
void PlateausThenFine(Start& fine, const std::vector<double>& u0, int maxEvaluations, double tol, std::string& stop);

}  // namespace kelvane::design_search
