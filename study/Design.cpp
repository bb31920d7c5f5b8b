#include "study/Design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <nlopt.hpp>
#include <stdexcept>
#include <thread>

#include "run/ReadRunParameters.h"
#include "study/BoundarySearch.h"
#include "study/DesignAnswer.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

std::string Text(double x) { return FieldValueText(x, 6); }

double Number(const std::string& t) { return std::strtod(t.c_str(), nullptr); }

bool IsGasTemperature(const SearchedField& f) { return f.Field.Field && f.Field.Field->Index == 1 && f.Field.Field->Zone > 0; }

// A neighbour of a point that failed: a small step of one field (in the
// scaled variables), alternating in sign.
constexpr double NudgeStep = 0.01;
constexpr int Nudges = 3;
// The local check's steps: the speed this much faster, each field moved
// by this share of its span.
constexpr double CheckSpeedStep = 0.005;
constexpr double CheckFieldStep = 0.01;

// Everything the starts share: the runs made and the best design.
class Runs {
 public:
  Runs(const StudyDefinition& study, const DesignProblem& p, const StudyOptions& o, StudyControl& c)
      : study_(study), problem_(p), options_(o), control_(c) {
    options_.Jobs = 1;
  }

  // Runs the texts of one point (the fields, then the speed).
  RowResult Run(const std::vector<std::string>& values) {
    std::vector<StudyRow> rows{{0, values}};
    RowResult r = RunStudy(study_, rows, options_, control_)[0];
    Record(r);
    return r;
  }
  void Record(RowResult& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    r.Row.Number = evaluations_.size() + 1;
    evaluations_.push_back(r);
    if (r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun) cancelled_ = true;
    if (!Feasible(r)) return;
    const double v = Number(r.Row.Values.back());
    if (!best_ || v > Number(best_->Row.Values.back())) best_ = r;
  }
  bool Feasible(const RowResult& r) const { return DesignFeasible(problem_, r); }
  // The heat from the gas beyond the cap, kJ/m^2 (finished runs only).
  double HeatOver(const RowResult& r) const {
    return problem_.MaxHeat ? r.Details.Run.TotalHeat - *problem_.MaxHeat : -1;
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
  std::vector<RowResult> Evaluations() const { return evaluations_; }
  std::optional<RowResult> Best() const { return best_; }
  StudyControl& Control() { return control_; }
  const StudyDefinition& Study() const { return study_; }
  StudyOptions& Options() { return options_; }

 private:
  const StudyDefinition& study_;
  const DesignProblem& problem_;
  StudyOptions options_;
  StudyControl& control_;
  std::mutex mutex_;
  std::vector<RowResult> evaluations_;
  std::optional<RowResult> best_;
  bool cancelled_ = false;
};

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
  std::vector<double> lastU;
  RowResult last;
  bool lastFailed = false;

  std::vector<std::string> Texts(const std::vector<double>& u) const {
    std::vector<std::string> t;
    for (std::size_t i = 0; i < u.size(); ++i)
      t.push_back(Text(lower[i] + std::clamp(u[i], 0.0, 1.0) * (upper[i] - lower[i])));
    return t;
  }
  // The run at u, or at the nearest neighbour that finishes.
  const RowResult& At(const std::vector<double>& u) {
    if (u == lastU) return last;
    lastU = u;
    last = runs.Run(Texts(u));
    lastFailed = false;
    for (int k = 0; k < Nudges && last.Outcome != RowOutcome::Finished && !runs.Cancelled(); ++k) {
      std::vector<double> n = u;
      const std::size_t i = static_cast<std::size_t>(k) % n.size();
      n[i] = std::clamp(n[i] + (k % 2 == 0 ? NudgeStep : -NudgeStep), 0.0, 1.0);
      last = runs.Run(Texts(n));
    }
    if (runs.Cancelled()) throw nlopt::forced_stop();
    lastFailed = last.Outcome != RowOutcome::Finished;
    return last;
  }
};

double Objective(const std::vector<double>& u, std::vector<double>&, void* data) {
  Start& s = *static_cast<Start*>(data);
  (void)s.At(u);
  return -u.back();  // the fastest web
}

struct Constraint {
  Start* S;
  int Which;  // 0 residual, 1 film temperature, 2 boiling, 3 boiling margin, 4 skinning, 5 order, 6 heat
};

// The constraint's violation, scaled to about one for a clear miss.
double Scaled(const Constraint& c, const RowResult& r);
constexpr double ConstraintRoom = 2e-4;

double ConstraintValue(const std::vector<double>& u, std::vector<double>&, void* data) {
  const Constraint& c = *static_cast<Constraint*>(data);
  const RowResult& r = c.S->At(u);
  // Every neighbour failed too: infeasible, so that the optimiser leaves.
  if (c.S->lastFailed) return 1.0;
  // COBYLA settles on a constraint from either side; the design must be a
  // run that meets the targets, so each is asked with a little room.
  return Scaled(c, r) + ConstraintRoom;
}

double Scaled(const Constraint& c, const RowResult& r) {
  const Targets& t = c.S->problem.Goal;
  const TargetViolations v = Violations(r, t, 1.0);
  switch (c.Which) {
    case 0: return *v.Residual / std::max(*t.MaxResidual, 1e-9);
    case 1: return *v.FilmTemperature / 50.0;
    case 2: return *v.Boiling / 760.0;
    case 3: return *v.BoilingMargin / 760.0;
    case 4: return *v.Skinning * 10.0;
    case 5: return c.S->runs.OrderViolation(r.Row.Values) / 40.0;
    default: return c.S->runs.HeatOver(r) / std::max(*c.S->problem.MaxHeat, 1e-9);
  }
}

void RunStart(Start& s, std::vector<double> u0, int maxEvaluations, double tol, std::string& stop) {
  const std::size_t n = u0.size();
  nlopt::opt o(nlopt::LN_COBYLA, static_cast<unsigned>(n));
  o.set_lower_bounds(std::vector<double>(n, 0.0));
  o.set_upper_bounds(std::vector<double>(n, 1.0));
  o.set_initial_step(std::vector<double>(n, 0.1));
  o.set_maxeval(maxEvaluations);
  o.set_xtol_rel(tol);
  o.set_min_objective(Objective, &s);
  std::vector<Constraint> constraints;
  const Targets& t = s.problem.Goal;
  if (t.MaxResidual) constraints.push_back({&s, 0});
  if (t.MaxFilmTemperature) constraints.push_back({&s, 1});
  if (t.NoBoiling) constraints.push_back({&s, 2});
  if (t.MinBoilingMargin) constraints.push_back({&s, 3});
  if (t.NoSkinning) constraints.push_back({&s, 4});
  if (s.problem.NonDecreasing) constraints.push_back({&s, 5});
  if (s.problem.MaxHeat) constraints.push_back({&s, 6});
  for (Constraint& c : constraints) o.add_inequality_constraint(ConstraintValue, &c, 1e-9);
  double f = 0;
  try {
    switch (o.optimize(u0, f)) {
      case nlopt::XTOL_REACHED: stop = "fields settled within the tolerance"; break;
      case nlopt::MAXEVAL_REACHED: stop = "evaluation limit reached"; break;
      case nlopt::FTOL_REACHED: stop = "speed no longer improving"; break;
      default: stop = "converged"; break;
    }
  } catch (const nlopt::forced_stop&) {
    stop = "cancelled";
  } catch (const std::exception& e) {
    stop = std::string("the optimiser stopped: ") + e.what();
  }
}

// The best uniform schedule: every searched gas temperature at one value,
// its speed by the boundary search (which needs the slowest speed to meet
// the targets); five temperatures over the common range, then the two
// midpoints beside the best.
void Uniform(Runs& runs, const DesignProblem& p, DesignResult& result) {
  double lo = -std::numeric_limits<double>::infinity(), hi = std::numeric_limits<double>::infinity();
  for (const SearchedField& f : p.Fields)
    if (IsGasTemperature(f)) lo = std::max(lo, f.Lower), hi = std::min(hi, f.Upper);
  if (!(lo <= hi) || !std::isfinite(lo)) return;
  BoundarySearch search;
  search.Field = ParseVaried("WebSpeed=0");
  search.Lower = Text(p.SpeedLower);
  search.Upper = Text(p.SpeedUpper);
  search.Tolerance = (p.SpeedUpper - p.SpeedLower) / 500;
  search.Goal = p.Goal;
  double bestT = 0, bestV = -1;
  auto at = [&](double T) {
    StudyDefinition s;
    s.Base = runs.Study().Base;
    std::vector<std::string> fields;
    for (const SearchedField& f : p.Fields) {
      const std::string t = IsGasTemperature(f) ? Text(T) : Text(std::clamp(Number(s.Base.Text(f.Field.Field->Component)), f.Lower, f.Upper));
      s.Base.SetText(f.Field.Field->Component, t);
      fields.push_back(t);
    }
    StudyOptions o = runs.Options();
    o.Jobs = 0;
    const BoundaryResult r = SearchBoundary(s, search, o, runs.Control());
    for (RowResult e : r.Evaluations) {
      std::vector<std::string> v = fields;
      v.push_back(e.Row.Values[0]);
      e.Row.Values = v;
      runs.Record(e);
    }
    if (HasAnswer(r.End) && Number(r.Best) > bestV) bestV = Number(r.Best), bestT = T;
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

}  // namespace

std::string DesignBinding(const DesignProblem& p, const RowResult& r) {
  const Targets& t = p.Goal;
  const RunSummary& s = r.Details;
  double least = std::numeric_limits<double>::infinity();
  std::string text;
  auto consider = [&](double room, const std::string& what) {
    if (room < least) least = room, text = what;
  };
  char buf[256];
  const TargetViolations v = Violations(r, t, 1.0);
  if (t.MaxResidual) {
    const int zone = s.Zones.empty() ? 0 : s.Zones.back().Zone;
    const char* unit = ResidualUnitSuffix(t.ResidualIn);
    std::snprintf(buf, sizeof buf, "the solvent left at the exit of zone %d: %s%s of the %s%s allowed", zone,
                  ReadableNumber(*v.Residual + *t.MaxResidual).c_str(), unit, ReadableNumber(*t.MaxResidual).c_str(),
                  unit);
    consider(-*v.Residual / std::max(*t.MaxResidual, 1e-9), buf);
  }
  const ZoneSummary* margin = nullptr;
  const ZoneSummary* hottest = nullptr;
  const ZoneSummary* skin = nullptr;
  for (const ZoneSummary& z : s.Zones) {
    if (!margin || z.MinBoilingMargin.Value < margin->MinBoilingMargin.Value) margin = &z;
    if (!hottest || z.MaxTemperature.Value > hottest->MaxTemperature.Value) hottest = &z;
    if (z.MinSkinMargin && (!skin || z.MinSkinMargin->Value < skin->MinSkinMargin->Value)) skin = &z;
  }
  if ((t.NoBoiling || t.MinBoilingMargin) && margin) {
    const double need = t.MinBoilingMargin.value_or(0.0);
    std::snprintf(buf, sizeof buf, "the boiling margin in zone %d: %s mmHg (at least %s)", margin->Zone,
                  ReadableNumber(margin->MinBoilingMargin.Value).c_str(), ReadableNumber(need).c_str());
    consider((margin->MinBoilingMargin.Value - need) / 760.0, buf);
  }
  if (t.MaxFilmTemperature && hottest) {
    std::snprintf(buf, sizeof buf, "the film temperature in zone %d: %s °C (limit %s °C)", hottest->Zone,
                  ReadableNumber(hottest->MaxTemperature.Value).c_str(), ReadableNumber(*t.MaxFilmTemperature).c_str());
    consider((*t.MaxFilmTemperature - hottest->MaxTemperature.Value) / 50.0, buf);
  }
  if (t.NoSkinning && skin) {
    std::snprintf(buf, sizeof buf, "skinning in zone %d: the surface %s below the skin's polymer fraction",
                  skin->Zone, ReadableNumber(skin->MinSkinMargin->Value).c_str());
    consider(skin->MinSkinMargin->Value * 10.0, buf);
  }
  if (p.MaxHeat) {
    std::snprintf(buf, sizeof buf, "the energy: %s kJ/m2 from the gas of the %s kJ/m2 allowed",
                  ReadableNumber(s.Run.TotalHeat).c_str(), ReadableNumber(*p.MaxHeat).c_str());
    consider((*p.MaxHeat - s.Run.TotalHeat) / std::max(*p.MaxHeat, 1e-9), buf);
  }
  // Fields held at a bound bind too.
  std::string bounds;
  for (std::size_t i = 0; i < p.Fields.size() && i < r.Row.Values.size(); ++i) {
    const SearchedField& f = p.Fields[i];
    const double x = Number(r.Row.Values[i]), span = f.Upper - f.Lower;
    const bool atUpper = x >= f.Upper - 0.005 * span, atLower = x <= f.Lower + 0.005 * span;
    if (atUpper || atLower)
      bounds += "; " + f.Field.Name + " at its " + (atUpper ? "upper" : "lower") + " bound " +
                ReadableNumber(atUpper ? f.Upper : f.Lower);
  }
  if (Number(r.Row.Values.back()) >= p.SpeedUpper * (1 - 1e-3)) bounds += "; the web speed at its upper bound";
  return (text.empty() ? std::string("no target") : text) + bounds;
}

namespace {

void LocalCheck(Runs& runs, const DesignProblem& p, DesignResult& result) {
  const std::vector<std::string>& at = result.BestRow.Row.Values;
  const double faster = Number(at.back()) * (1 + CheckSpeedStep);
  if (faster > p.SpeedUpper) {
    result.LocalCheck.push_back("the web speed is at its upper bound: nothing to check beyond it");
    result.LocallyOptimal = true;
    return;
  }
  std::vector<std::vector<std::string>> moves;
  std::vector<std::string> what;
  moves.push_back(at);
  moves.back().back() = Text(faster);
  what.push_back("WebSpeed +" + ReadableNumber(100 * CheckSpeedStep) + " %");
  for (std::size_t i = 0; i < p.Fields.size(); ++i) {
    const SearchedField& f = p.Fields[i];
    const double step = CheckFieldStep * (f.Upper - f.Lower);
    for (int sign : {1, -1}) {
      const double x = Number(at[i]) + sign * step;
      if (x < f.Lower || x > f.Upper) continue;
      std::vector<std::string> m = at;
      m[i] = Text(x);
      m.back() = Text(faster);
      moves.push_back(m);
      what.push_back(f.Field.Name + (sign > 0 ? " +" : " -") + ReadableNumber(step) + ", WebSpeed +" +
                     ReadableNumber(100 * CheckSpeedStep) + " %");
    }
  }
  std::vector<StudyRow> rows;
  for (const auto& m : moves) rows.push_back({rows.size() + 1, m});
  StudyOptions o = runs.Options();
  o.Jobs = 0;
  const std::vector<RowResult> ran = RunStudy(runs.Study(), rows, o, runs.Control());
  result.LocallyOptimal = true;
  for (std::size_t i = 0; i < ran.size(); ++i) {
    RowResult r = ran[i];
    runs.Record(r);
    std::string why;
    if (r.Outcome != RowOutcome::Finished) {
      result.LocallyOptimal = false;
      result.LocalCheck.push_back(what[i] + ": did not finish, so unchecked");
    } else if (runs.Feasible(r)) {
      result.LocallyOptimal = false;
      result.LocalCheck.push_back(what[i] + ": still meets every target: the design is not a local optimum");
    } else {
      if (MeetsTargets(r, p.Goal, &why)) DesignFeasible(p, r, &why);  // the cap or the order of the gas
      result.LocalCheck.push_back(what[i] + ": breaks a target (" + why + ")");
    }
  }
}

}  // namespace

std::vector<SearchedField> ZoneTemperatureFields(const FieldTexts& base, double span, double lowest, double highest) {
  std::vector<SearchedField> out;
  // The zones in use: zone 1, then each zone whose gas temperature is given
  // and not zero, up to the first that is not.
  for (int k = 1; k <= 14; ++k) {
    SearchedField f;
    f.Field = ParseVaried("OuterTemperature[" + std::to_string(k) + "]=0");
    const std::string text = base.Text(f.Field.Field->Component);
    long double now = 0;
    const bool given = TextToExtended(text, '.', now) && now != 0;
    if (k > 1 && !given) break;
    f.Lower = std::max(lowest, static_cast<double>(now) - span);
    f.Upper = std::min(highest, static_cast<double>(now) + span);
    if (f.Lower < f.Upper) out.push_back(f);
  }
  return out;
}

DesignResult Design(const StudyDefinition& base, const DesignProblem& p, const StudyOptions& options,
                    StudyControl& control) {
  if (p.Fields.empty()) throw std::invalid_argument("no field to design");
  if (!(p.SpeedLower > 0 && p.SpeedLower < p.SpeedUpper))
    throw std::invalid_argument("the web speed's bounds are not in order above zero");
  for (const SearchedField& f : p.Fields)
    if (!(f.Lower < f.Upper)) throw std::invalid_argument(f.Field.Name + ": the bounds are not in order");
  const Targets& t = p.Goal;
  if (!t.MaxResidual && !t.MaxFilmTemperature && !t.NoBoiling && !t.MinBoilingMargin && !t.NoSkinning)
    throw std::invalid_argument("give at least one target");
  if (p.MaxHeat && !(*p.MaxHeat > 0)) throw std::invalid_argument("the energy cap is not above zero");
  if (!p.Start.empty() && p.Start.size() != p.Fields.size() + 1)
    throw std::invalid_argument("the start needs a value for each field and the speed");

  StudyDefinition study;
  study.Base = base.Base;
  for (const SearchedField& f : p.Fields) study.Varied.push_back(f.Field);
  study.Varied.push_back(ParseVaried("WebSpeed=0"));
  Runs runs(study, p, options, control);
  DesignResult result;

  Uniform(runs, p, result);
  // Two starts side by side: the best uniform schedule at its speed, and
  // the base case's temperatures at the same speed.
  Start a(runs, p), b(runs, p);
  std::vector<double> ua, ub;
  const double v0 =
      result.UniformFound ? Number(result.UniformSpeed) : p.SpeedLower + (p.SpeedUpper - p.SpeedLower) / 4;
  for (std::size_t i = 0; i < p.Fields.size(); ++i) {
    const SearchedField& f = p.Fields[i];
    const double now = std::clamp(Number(base.Base.Text(f.Field.Field->Component)), f.Lower, f.Upper);
    // Without a uniform schedule that meets the targets, the middle of the bounds.
    const double uniform = !result.UniformFound ? (f.Lower + f.Upper) / 2
                           : IsGasTemperature(f) ? Number(result.UniformTemperature)
                                                 : now;
    ua.push_back((uniform - f.Lower) / (f.Upper - f.Lower));
    ub.push_back((now - f.Lower) / (f.Upper - f.Lower));
  }
  ua.push_back((v0 - p.SpeedLower) / (p.SpeedUpper - p.SpeedLower));
  ub.push_back(ua.back());
  if (!p.Start.empty())
    for (std::size_t i = 0; i < ub.size(); ++i)
      ub[i] = std::clamp((Number(p.Start[i]) - a.lower[i]) / (a.upper[i] - a.lower[i]), 0.0, 1.0);
  std::string stopA, stopB;
  if (!runs.Cancelled()) {
    std::thread second([&] { RunStart(b, ub, p.MaxEvaluations, p.RelativeTolerance, stopB); });
    RunStart(a, ua, p.MaxEvaluations, p.RelativeTolerance, stopA);
    second.join();
  }
  result.Stop = stopA == stopB ? stopA : stopA + " (uniform start), " + stopB + (p.Start.empty() ? " (base start)" : " (given start)");
  result.Cancelled = runs.Cancelled();
  if (const auto best = runs.Best(); best && !result.Cancelled) {
    result.Found = true;
    result.BestRow = *best;
    result.Best.assign(best->Row.Values.begin(), best->Row.Values.end() - 1);
    result.Speed = best->Row.Values.back();
    result.Binding = DesignBinding(p, *best);
    const double speed = Number(result.Speed);
    for (const ZoneSummary& z : best->Details.Zones) {
      ZoneCost c;
      c.Zone = z.Zone;
      c.Heat = z.Heat.FromGas;
      c.PerKg = z.Heat.SpecificEnergy;
      if (p.WebWidth) c.Power = z.Heat.FromGas * *p.WebWidth * speed;
      result.Costs.push_back(c);
    }
    result.TotalHeat = best->Details.Run.TotalHeat;
    if (best->Details.Run.Evaporated > 0) result.HeatPerKg = result.TotalHeat / (best->Details.Run.Evaporated / 1000);
    LocalCheck(runs, p, result);
    result.Cancelled = runs.Cancelled();
  }
  result.Evaluations = runs.Evaluations();
  return result;
}

std::string DesignReport(const DesignProblem& p, const DesignResult& r) {
  if (r.Cancelled) return "cancelled after " + std::to_string(r.Evaluations.size()) + " runs\n";
  if (!r.Found)
    return "no schedule in the bounds met the targets (" + std::to_string(r.Evaluations.size()) + " runs; " + r.Stop +
           ")\n";
  std::string s = "Design: WebSpeed=" + ReadableNumber(Number(r.Speed)) + " m/s";
  if (r.UniformFound) {
    const double gain = 100 * (Number(r.Speed) / Number(r.UniformSpeed) - 1);
    s += " (the best uniform schedule, every zone at " + ReadableNumber(Number(r.UniformTemperature)) + " °C: " +
         ReadableNumber(Number(r.UniformSpeed)) + " m/s; " + (gain >= 0 ? "+" : "") + ReadableNumber(gain) + " %)";
  }
  s += "\nSchedule:";
  for (std::size_t i = 0; i < p.Fields.size(); ++i)
    s += (i ? ", " : " ") + p.Fields[i].Field.Name + "=" + ReadableNumber(Number(r.Best[i]));
  s += "\nBinding: " + r.Binding + "\nEnergy:";
  for (const ZoneCost& c : r.Costs) {
    s += "\n  zone " + std::to_string(c.Zone) + ": " + ReadableNumber(c.Heat) + " kJ/m2";
    if (c.PerKg) s += ", " + ReadableNumber(*c.PerKg) + " kJ/kg evaporated";
    if (c.Power) s += ", " + ReadableNumber(*c.Power) + " kW";
  }
  s += "\n  total: " + ReadableNumber(r.TotalHeat) + " kJ/m2";
  if (r.HeatPerKg) s += ", " + ReadableNumber(*r.HeatPerKg) + " kJ/kg evaporated";
  s += std::string("\nLocal check: ") + (r.LocallyOptimal ? "passed" : "FAILED");
  for (const std::string& line : r.LocalCheck) s += "\n  " + line;
  s += "\nCOBYLA: " + r.Stop + "; " + std::to_string(r.Evaluations.size()) + " runs in all\n";
  return s;
}

}  // namespace kelvane
