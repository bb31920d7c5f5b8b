#include "study/DesignStages.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "study/BoundarySearch.h"

namespace kelvane::design_search {

namespace {

// The box sample's speed search ends within this share of the speed's
// bounds: enough to rank schedules, the polish does the rest.
constexpr double SampleTolerance = 0.01;
// The film-limited schedules sampled: the limit everywhere, then at most
// this many places of a step from the hottest gas down to the limit.
constexpr std::size_t ProfileCount = 4;
// The repair looks at runs that missed by at most this (a violation scaled
// to about one for a clear miss), at most this many schedules, and searches
// each from this share of its speed up.
constexpr double NearMiss = 0.02;
constexpr int Repairs = 3;
constexpr double RepairBackOff = 0.95;
// Where a slower web does not mend a miss: these shares of the way from the
// design to the miss.
constexpr double BackOff[] = {0.9, 0.7, 0.5};
// The slope check: each field moved by this share of its span, the speed
// searched from 1 % below the design's to 2 % above, to a thousandth of
// it; a gain above CheckGain fails the check.
constexpr double SlopeStep = 0.02;
constexpr double CheckGain = 2e-3;
// The operating window's grid: steps of at most a hundredth of the speed.
constexpr double WindowStep = 0.01;
constexpr int MostWindowRuns = 50;

double Speed(const RowResult& r) { return Number(r.Row.Values.back()); }

std::string Percent(double share) {
  return (share >= 0 ? "+" : "") + ReadableNumber(100 * share) + " %";
}

}  // namespace

void Uniform(Runs& runs, const DesignProblem& p, DesignResult& result) {
  double lo = -std::numeric_limits<double>::infinity(), hi = std::numeric_limits<double>::infinity();
  for (const SearchedField& f : p.Fields)
    if (IsGasTemperature(f)) lo = std::max(lo, f.Lower), hi = std::min(hi, f.Upper);
  if (!(lo <= hi) || !std::isfinite(lo)) return;
  const FieldTexts& base = runs.Study().Base;
  double bestT = 0, bestV = -1;
  auto at = [&](double T) {
    std::vector<std::string> fields;
    for (const SearchedField& f : p.Fields)
      fields.push_back(IsGasTemperature(f) ? Text(T)
                                           : Text(std::clamp(Number(base.Text(f.Field.Field->Component)), f.Lower, f.Upper)));
    const auto r = FastestAt(runs, fields, p.SpeedLower, p.SpeedUpper, (p.SpeedUpper - p.SpeedLower) / 500);
    if (r && Speed(*r) > bestV) bestV = Speed(*r), bestT = T;
  };
  const double step = (hi - lo) / 4;
  for (int i = 0; i <= 4; ++i) {
    if (runs.Cancelled()) return;
    at(lo + i * step);
  }
  if (bestV > 0 && step > 0)
    for (double T : {bestT - step / 2, bestT + step / 2})
      if (T >= lo && T <= hi && !runs.Cancelled()) at(T);
  if (bestV > 0) {
    result.UniformFound = true;
    result.UniformTemperature = Text(bestT);
    result.UniformSpeed = Text(bestV);
  }
}

int SampleCount(const DesignProblem& p) {
  if (p.Samples >= 0) return p.Samples;
  return std::min<int>(4 + 2 * static_cast<int>(p.Fields.size()), 12);
}

std::vector<RowResult> SampleBox(Runs& runs, const DesignProblem& p, int count) {
  std::vector<RowResult> found;
  if (count <= 0) return found;
  // Each field's range cut into `count` strata, every stratum used once, in
  // an order of its own for each field; a fixed seed keeps designs repeatable.
  std::mt19937 random(20261208u);
  std::uniform_real_distribution<double> within(0.0, 1.0);
  const std::size_t n = p.Fields.size();
  std::vector<std::vector<int>> strata(n);
  for (auto& s : strata) {
    for (int k = 0; k < count; ++k) s.push_back(k);
    std::shuffle(s.begin(), s.end(), random);
  }
  // First the film-limited schedules.  The hottest schedule whose gas never
  // exceeds the film's limit cannot overheat the film however slow the web,
  // so the residual alone (with boiling and skinning) limits it: the basin a
  // schedule relying on the web leaving a hot zone early cannot reach by
  // small steps.  Then the same with the first zones at their hottest:
  // evaporation keeps the wet coating well below its gas, and only the
  // drier film downstream needs the gas held to its limit.  Up to
  // ProfileCount places of that step.
  if (p.Goal.MaxFilmTemperature && !runs.Cancelled()) {
    std::vector<std::size_t> gas;
    for (std::size_t i = 0; i < p.Fields.size(); ++i)
      if (IsGasTemperature(p.Fields[i])) gas.push_back(i);
    std::vector<std::size_t> steps{0};
    const std::size_t places = gas.size() > 1 ? gas.size() - 1 : 0;
    for (std::size_t j = 1; j <= std::min(places, ProfileCount); ++j)
      steps.push_back((j * places + std::min(places, ProfileCount) / 2) / std::min(places, ProfileCount));
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    const FieldTexts& base = runs.Study().Base;
    for (std::size_t hot : steps) {
      if (runs.Cancelled()) break;
      std::vector<std::string> fields;
      for (std::size_t i = 0; i < p.Fields.size(); ++i) {
        const SearchedField& f = p.Fields[i];
        const std::size_t place = std::find(gas.begin(), gas.end(), i) - gas.begin();
        const double x = !IsGasTemperature(f) ? Number(base.Text(f.Field.Field->Component))
                         : place < hot        ? f.Upper
                                              : *p.Goal.MaxFilmTemperature;
        fields.push_back(Text(std::clamp(x, f.Lower, f.Upper)));
      }
      const auto r =
          FastestAt(runs, fields, p.SpeedLower, p.SpeedUpper, SampleTolerance * (p.SpeedUpper - p.SpeedLower));
      if (r && runs.Feasible(*r)) found.push_back(*r);
    }
  }
  for (int k = 0; k < count && !runs.Cancelled(); ++k) {
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < n; ++i) {
      const SearchedField& f = p.Fields[i];
      const double u = (strata[i][static_cast<std::size_t>(k)] + within(random)) / count;
      fields.push_back(Text(f.Lower + u * (f.Upper - f.Lower)));
    }
    const auto r = FastestAt(runs, fields, p.SpeedLower, p.SpeedUpper, SampleTolerance * (p.SpeedUpper - p.SpeedLower));
    if (r && runs.Feasible(*r)) found.push_back(*r);
  }
  std::stable_sort(found.begin(), found.end(), [](const RowResult& a, const RowResult& b) { return Speed(a) > Speed(b); });
  return found;
}

void Repair(Runs& runs, const DesignProblem& p) {
  const auto best = runs.Best();
  if (!best || runs.Cancelled()) return;
  const double v = Speed(*best);
  // The design itself first: the local search settles a little inside its
  // constraints, and the speed alone may still rise.
  FastestAt(runs, {best->Row.Values.begin(), best->Row.Values.end() - 1}, v, std::min(p.SpeedUpper, v * 1.03),
            v * 5e-4);
  std::vector<RowResult> misses;
  for (const RowResult& r : runs.Evaluations()) {
    const double m = r.Outcome == RowOutcome::Finished ? Miss(runs, r) : 1.0;
    if (m > 0 && m <= NearMiss && Speed(r) > v) misses.push_back(r);
  }
  // In an order of their own, not of the threads that made them.
  std::sort(misses.begin(), misses.end(), [](const RowResult& a, const RowResult& b) {
    return Speed(a) != Speed(b) ? Speed(a) > Speed(b) : a.Row.Values < b.Row.Values;
  });
  std::vector<std::vector<double>> tried;
  int done = 0;
  for (const RowResult& r : misses) {
    if (done >= Repairs || runs.Cancelled()) break;
    // One schedule per neighbourhood: the local search leaves many near
    // misses around the same point.
    std::vector<double> u;
    for (std::size_t i = 0; i < p.Fields.size(); ++i)
      u.push_back((Number(r.Row.Values[i]) - p.Fields[i].Lower) / (p.Fields[i].Upper - p.Fields[i].Lower));
    const bool near = std::any_of(tried.begin(), tried.end(), [&](const std::vector<double>& t) {
      double d = 0;
      for (std::size_t i = 0; i < u.size(); ++i) d = std::max(d, std::abs(u[i] - t[i]));
      return d < 0.02;
    });
    if (near) continue;
    tried.push_back(u);
    ++done;
    const double s = Speed(r);
    if (FastestAt(runs, {r.Row.Values.begin(), r.Row.Values.end() - 1}, std::max(p.SpeedLower, s * RepairBackOff), s,
                  s * 5e-4))
      continue;
    // A miss a slower web does not mend (the film too hot): back off along
    // the way from the design towards it instead, fields and speed together.
    std::vector<StudyRow> rows;
    for (double t : BackOff) {
      std::vector<std::string> values;
      for (std::size_t i = 0; i < r.Row.Values.size(); ++i) {
        const double a = Number(best->Row.Values[i]), b = Number(r.Row.Values[i]);
        values.push_back(Text(a + t * (b - a)));
      }
      rows.push_back({rows.size() + 1, values});
    }
    StudyOptions o = runs.Options();
    o.Jobs = 0;
    for (RowResult m : RunStudy(runs.Study(), rows, o, runs.Control())) {
      runs.Push(m);
      runs.AddWindow(m);
      runs.Consider(m);
    }
  }
}

void SlopeCheck(Runs& runs, const DesignProblem& p, DesignResult& result) {
  const std::vector<std::string>& at = result.BestRow.Row.Values;
  const double v = Speed(result.BestRow);
  result.LocallyOptimal = true;
  if (v >= p.SpeedUpper * (1 - 1e-3)) {
    result.LocalCheck.push_back("the web speed is at its upper bound: nothing to check beyond it");
    return;
  }
  for (std::size_t i = 0; i < p.Fields.size() && !runs.Cancelled(); ++i) {
    const SearchedField& f = p.Fields[i];
    const double step = SlopeStep * (f.Upper - f.Lower), x = Number(at[i]);
    std::string line = f.Field.Name + ":";
    double gainUp = -1, gainDown = -1;
    bool probed = false;
    for (int sign : {1, -1}) {
      const double moved = x + sign * step;
      if (moved < f.Lower || moved > f.Upper) continue;
      std::vector<std::string> fields(at.begin(), at.end() - 1);
      fields[i] = Text(moved);
      const auto r = FastestAt(runs, fields, std::max(p.SpeedLower, v * 0.99), std::min(p.SpeedUpper, v * 1.02),
                               v * 1e-3);
      const bool met = r && runs.Feasible(*r);
      const double gain = met ? Speed(*r) / v - 1 : -1;
      (sign > 0 ? gainUp : gainDown) = gain;
      line += std::string(probed ? ";" : "") + (sign > 0 ? " +" : " -") + ReadableNumber(step) + " → " +
              (met ? ReadableNumber(Speed(*r)) + " m/s (" + Percent(gain) + ")" : "below 99 % of the speed");
      probed = true;
    }
    if (gainUp > -1 && gainDown > -1)
      line += "; slope " + ReadableNumber((gainUp - gainDown) * v / (2 * step)) + " m/s per unit";
    const double gain = std::max(gainUp, gainDown);
    if (gain > CheckGain) {
      result.LocallyOptimal = false;
      line += ": the design could still gain " + Percent(gain) + " along " + f.Field.Name;
    }
    result.LocalCheck.push_back(line);
  }
  if (runs.Cancelled()) result.LocallyOptimal = false;
}

bool WindowCheck(Runs& runs, const DesignProblem& p, const RowResult& design, DesignResult& result) {
  const double v = Speed(design);
  std::vector<StudyRow> rows;
  if (p.Slowest < 1) {
    const int n = std::min(MostWindowRuns, static_cast<int>(std::ceil((1 - p.Slowest) / WindowStep - 1e-9)));
    for (int k = 0; k < n; ++k) {
      std::vector<std::string> values = design.Row.Values;
      values.back() = Text(v * (p.Slowest + k * (1 - p.Slowest) / n));
      rows.push_back({rows.size() + 1, values});
    }
  }
  // With a gas tolerance, the gas warmer and cooler at both ends.
  std::vector<std::string> shifted(rows.size(), "");
  if (p.GasTolerance > 0)
    for (const double shift : {p.GasTolerance, -p.GasTolerance})
      for (const double share : {p.Slowest, 1.0}) {
        std::vector<std::string> values = design.Row.Values;
        for (std::size_t i = 0; i < p.Fields.size(); ++i)
          if (IsGasTemperature(p.Fields[i])) values[i] = Text(Number(values[i]) + shift);
        values.back() = Text(v * share);
        rows.push_back({rows.size() + 1, values});
        shifted.push_back(" with the gas " + ReadableNumber(std::abs(shift)) + (shift > 0 ? " K warmer" : " K cooler"));
        if (share == 1.0 || p.Slowest >= 1) break;
      }
  StudyOptions o = runs.Options();
  o.Jobs = 0;
  bool holds = true;
  result.Window.clear();
  if (!rows.empty()) {
    const std::vector<RowResult> ran = RunStudy(runs.Study(), rows, o, runs.Control());
    for (std::size_t k = 0; k < ran.size(); ++k) {
      RowResult r = ran[k];
      runs.Push(r);
      std::string why;
      if (!MeetsTargets(r, p.Goal, &why)) {
        holds = false;
        result.Window.push_back("at " + ReadableNumber(Speed(r)) + " m/s (" + ReadableNumber(100 * Speed(r) / v) +
                                " % of the speed)" + shifted[k] + ": " + why);
      }
    }
  }
  // The slowest speed that still meets every target, searched down from
  // the design's speed.
  BoundarySearch slow;
  slow.Field = ParseVaried("WebSpeed=0");
  slow.Lower = Text(p.SpeedLower);
  slow.Upper = design.Row.Values.back();
  slow.Maximize = false;
  slow.Tolerance = v * 2e-3;
  slow.Goal = p.Goal;
  result.SlowestSpeed.clear();
  result.SlowestIsBound = false;
  if (p.SpeedLower < v && !runs.Cancelled()) {
    StudyDefinition s;
    s.Base = runs.Study().Base;
    for (std::size_t i = 0; i < p.Fields.size(); ++i)
      s.Base.SetText(p.Fields[i].Field.Field->Component, design.Row.Values[i]);
    try {
      const BoundaryResult b = SearchBoundary(s, slow, o, runs.Control());
      for (RowResult e : b.Evaluations) {
        std::vector<std::string> values = design.Row.Values;
        values.back() = e.Row.Values[0];
        e.Row.Values = values;
        runs.Push(e);
      }
      if (HasAnswer(b.End)) {
        result.SlowestSpeed = b.Best;
        result.SlowestIsBound = b.End == SearchEnd::BoundReached;
      }
    } catch (const std::invalid_argument&) {
      result.SlowestSpeed = design.Row.Values.back();  // the bounds print alike: the design's own speed
    }
  }
  result.WindowHolds = holds;
  return holds;
}

}  // namespace kelvane::design_search
