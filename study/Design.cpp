#include "study/DesignEnergy.h"
#include "study/Design.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <thread>

#include "run/ReadRunParameters.h"
#include "study/BoundarySearch.h"
#include "study/DesignAccount.h"
#include "study/DesignAnswer.h"
#include "study/DesignSearch.h"
#include "study/DesignStages.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

using namespace design_search;

// The fewest zones searched that the start through a step along the dryer is made for.
constexpr std::size_t StepZones = 4;
// How often the design moves to a faster schedule its check found.
constexpr int MostCheckMoves = 2;

}  // namespace

namespace {

// The target with the least room left, and where.
std::string LeastRoom(const DesignProblem& p, const RowResult& r) {
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
  if (t.MaxLflShare && v.LflShare && v.LflZone) {
    std::snprintf(buf, sizeof buf, "the exhaust of zone %d: %s %% of the LFL (at most %s %%)", v.LflZone,
                  ReadableNumber(*v.LflShare + *t.MaxLflShare).c_str(), ReadableNumber(*t.MaxLflShare).c_str());
    consider(-*v.LflShare / std::max(*t.MaxLflShare, 1e-9), buf);
  }
  if (p.MaxHeat) {
    const double energy = DesignEnergy(p, r);
    std::snprintf(buf, sizeof buf, "the energy: %s kJ/m2 of the %s kJ/m2 allowed", ReadableNumber(energy).c_str(),
                  ReadableNumber(*p.MaxHeat).c_str());
    consider((*p.MaxHeat - energy) / std::max(*p.MaxHeat, 1e-9), buf);
  }
  return text.empty() ? std::string("no target") : text;
}

}  // namespace

std::string DesignBinding(const DesignProblem& p, const RowResult& r) {
  const DesignAccount a = AccountOf(p, r, nullptr);
  std::string s;
  for (const std::string& t : a.Active) s += (s.empty() ? "" : "; ") + t;
  if (s.empty()) s = LeastRoom(p, r);
  for (const std::string& b : a.AtBounds) s += "; " + b;
  return s;
}

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

std::string UnsearchableZone(const FieldTexts& base, double span, double lowest, double highest) {
  constexpr double Anything = std::numeric_limits<double>::max() / 4;
  const std::vector<SearchedField> inUse = ZoneTemperatureFields(base, Anything, -Anything, Anything);
  const std::vector<SearchedField> searched = ZoneTemperatureFields(base, span, lowest, highest);
  for (std::size_t i = 0; i < inUse.size(); ++i) {
    const FieldSpec& f = *inUse[i].Field.Field;
    if (i < searched.size() && searched[i].Field.Field == &f) continue;
    return "Zone " + std::to_string(f.Zone) + ": its gas temperature, " + base.Text(f.Component) +
           " ℃, lies more than " + ReadableNumber(span) + " K outside " + ReadableNumber(lowest) + "–" +
           ReadableNumber(highest) + " ℃.";
  }
  return {};
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
  if (!(p.GasTolerance >= 0 && p.GasTolerance < 100))
    throw std::invalid_argument("the gas tolerance must lie from 0 K to below 100 K");
  if (!(p.Slowest > 0 && p.Slowest <= 1))
    throw std::invalid_argument("the slowest share of the speed must lie above 0 % and at most 100 %");

  StudyDefinition study;
  study.Base = base.Base;
  for (const SearchedField& f : p.Fields) study.Varied.push_back(f.Field);
  study.Varied.push_back(ParseVaried("WebSpeed=0"));
  Runs runs(study, p, options, control);
  DesignResult result;
  auto stage = [&](const char* name) {
    std::size_t before = 0;
    for (const DesignResult::Stage& s : result.Stages) before += s.Runs;
    const auto best = runs.Best();
    result.Stages.push_back({name, runs.Count() - before, best ? Number(best->Row.Values.back()) : 0.0});
  };

  Uniform(runs, p, result);
  stage("uniform schedules");
  const std::vector<RowResult> sampled = SampleBox(runs, p, SampleCount(p));
  stage("box sample");

  // The local search from several starts, two at a time: the best uniform
  // schedule through its coarser schedules, the base case's temperatures
  // (or the given start) at the uniform speed, and the fastest schedules of
  // the box sample that lie apart.
  std::vector<Start> starts;
  starts.reserve(4);
  starts.emplace_back(runs, p);
  starts.emplace_back(runs, p);
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
      ub[i] = std::clamp((Number(p.Start[i]) - starts[0].lower[i]) / (starts[0].upper[i] - starts[0].lower[i]), 0.0, 1.0);
  std::vector<std::vector<double>> from{ua, ub};
  for (const RowResult& r : sampled) {
    if (from.size() >= 4) break;
    const std::vector<double> u = Scaled(starts[0], r.Row.Values);
    // Apart from every start already taken, in some field by a tenth of its range.
    const bool apart = std::all_of(from.begin() + 2, from.end(), [&](const std::vector<double>& o) {
      double d = 0;
      for (std::size_t i = 0; i + 1 < u.size(); ++i) d = std::max(d, std::abs(u[i] - o[i]));
      return d > 0.1;
    });
    if (!apart) continue;
    from.push_back(u);
    starts.emplace_back(runs, p);
  }
  // With four zones or more, a start through a step along the dryer from
  // the fastest schedule known: blocks of zones fixed by how the dryer is
  // cut keep the step where the cut puts it, and the fine search in many
  // temperatures does not move it far.
  std::size_t step = 0;
  if (const auto known = runs.Best(); known && GasZones(p) >= StepZones) {
    step = from.size();
    from.push_back(Scaled(starts[0], known->Row.Values));
    starts.emplace_back(runs, p);
  }
  std::vector<std::string> stops(from.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k = next++; k < from.size() && !runs.Cancelled(); k = next++) {
      if (k == 0) CoarseThenFine(starts[k], from[k], p.MaxEvaluations, p.RelativeTolerance, stops[k]);
      else if (step && k == step) PlateausThenFine(starts[k], from[k], p.MaxEvaluations, p.RelativeTolerance, stops[k]);
      else RunStart(starts[k], from[k], p.MaxEvaluations, p.RelativeTolerance, stops[k]);
    }
  };
  if (!runs.Cancelled()) {
    std::thread second(work);
    work();
    second.join();
  }
  stage("local search");
  if (p.Repair) Repair(runs, p);
  stage("repair");

  std::vector<std::string> names = {" (uniform start)", p.Start.empty() ? " (base start)" : " (given start)",
                                    " (sample start)", " (second sample start)"};
  if (step) names.insert(names.begin() + static_cast<std::ptrdiff_t>(step), " (step start)");
  result.Stop.clear();
  bool same = true;
  for (const std::string& s : stops) same = same && s == stops[0];
  for (std::size_t k = 0; k < stops.size(); ++k)
    if (!stops[k].empty()) result.Stop += (result.Stop.empty() ? "" : ", ") + stops[k] + (same ? "" : names[k]);
  if (same && !stops.empty()) result.Stop = stops[0];
  result.Cancelled = runs.Cancelled();
  if (const auto first = runs.Best(); first && !result.Cancelled) {
    // The fastest design whose window holds: with a window, the next
    // fastest schedules that met the targets are tried in turn.
    RowResult chosen = *first;
    if (!WindowCheck(runs, p, chosen, result) && p.Robustness()) {
      std::vector<RowResult> others;
      for (const RowResult& r : runs.Evaluations())
        if (runs.Feasible(r) && r.Row.Values != chosen.Row.Values) others.push_back(r);
      std::sort(others.begin(), others.end(), [&p](const RowResult& a, const RowResult& b) { return BetterDesign(p, a, b); });
      DesignResult trial;
      for (std::size_t k = 0; k < others.size() && k < 3 && !runs.Cancelled(); ++k)
        if (WindowCheck(runs, p, others[k], trial)) {
          chosen = others[k];
          result.Window = trial.Window;
          result.WindowHolds = true;
          result.SlowestSpeed = trial.SlowestSpeed;
          result.SlowestIsBound = trial.SlowestIsBound;
          break;
        }
    }
    auto fill = [&](const RowResult& chosen) {
    result.Found = true;
    result.BestRow = chosen;
    result.Costs.clear();
    result.Best.assign(chosen.Row.Values.begin(), chosen.Row.Values.end() - 1);
    result.Speed = chosen.Row.Values.back();
    result.Binding = DesignBinding(p, chosen);
    const DesignAccount account = AccountOf(p, chosen, &base.Base);
    result.Active = account.Active;
    result.AtBounds = account.AtBounds;
    result.SetByBounds = account.SetByBounds;
    const double speed = Number(result.Speed);
    for (const ZoneSummary& z : chosen.Details.Zones) {
      ZoneCost c;
      c.Zone = z.Zone;
      c.Heat = z.Heat.FromGas;
      c.PerKg = z.Heat.SpecificEnergy;
      if (p.WebWidth) c.Power = z.Heat.FromGas * *p.WebWidth * speed;
      result.Costs.push_back(c);
    }
    result.TotalHeat = HeatFromGas(chosen);
    if (chosen.Details.Run.Evaporated > 0) result.HeatPerKg = result.TotalHeat / (chosen.Details.Run.Evaporated / 1000);
    };
    fill(chosen);
    SlopeCheck(runs, p, result);
    // A probe of the check that met every target (its window too) faster
    // than the design is the better design: move there and check again.
    for (int round = 0; round < MostCheckMoves && !result.LocallyOptimal && !runs.Cancelled(); ++round) {
      const std::optional<RowResult> better = runs.Best();
      const double from = Number(chosen.Row.Values.back());
      if (!better || !(Number(better->Row.Values.back()) > from * (1 + 1e-3))) break;
      DesignResult trial;
      if (!WindowCheck(runs, p, *better, trial) && p.Robustness()) break;
      chosen = *better;
      result.Window = trial.Window;
      result.WindowHolds = trial.WindowHolds;
      result.SlowestSpeed = trial.SlowestSpeed;
      result.SlowestIsBound = trial.SlowestIsBound;
      fill(chosen);
      result.LocalCheck = {"the check found " + ReadableNumber(Number(chosen.Row.Values.back())) + " m/s against " +
                           ReadableNumber(from) + " m/s; the design moved there and was checked again"};
      SlopeCheck(runs, p, result);
    }
    stage("checks");
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
  if (!r.SetByBounds.empty()) s += "\nSet by the bounds, not by the coating: " + r.SetByBounds;
  s += "\nBinding: " + r.Binding;
  if (!r.Active.empty()) {
    s += "\nActive targets (within 0.5 % of the limit):";
    for (const std::string& a : r.Active) s += "\n  " + a;
  }
  if (!r.AtBounds.empty()) {
    s += "\nAt a bound:";
    for (const std::string& b : r.AtBounds) s += "\n  " + b;
  }
  if (p.Slowest < 1) {
    s += "\nOperating window: must hold down to " + ReadableNumber(100 * p.Slowest) + " % of the speed (" +
         ReadableNumber(p.Slowest * Number(r.Speed)) + " m/s): " + (r.WindowHolds ? "holds" : "FAILED");
    for (const std::string& w : r.Window) s += "\n  " + w;
  }
  if (p.GasTolerance > 0)
    s += "\nGas tolerance: every target holds with each zone's gas " + ReadableNumber(p.GasTolerance) +
         " K warmer or cooler: " + (r.WindowHolds ? "holds" : "FAILED");
  if (p.Slowest >= 1) for (const std::string& w : r.Window) s += "\n  " + w;
  if (!r.SlowestSpeed.empty())
    s += "\nSlowest speed that meets every target: " + ReadableNumber(Number(r.SlowestSpeed)) + " m/s (" +
         ReadableNumber(100 * Number(r.SlowestSpeed) / Number(r.Speed)) + " % of the speed" +
         (r.SlowestIsBound ? ", the lowest speed allowed" : "") + ")";
  s += "\nEnergy:";
  for (const ZoneCost& c : r.Costs) {
    s += "\n  zone " + std::to_string(c.Zone) + ": " + ReadableNumber(c.Heat) + " kJ/m2";
    if (c.PerKg) s += ", " + ReadableNumber(*c.PerKg) + " kJ/kg evaporated";
    if (c.Power) s += ", " + ReadableNumber(*c.Power) + " kW";
  }
  s += "\n  total: " + ReadableNumber(r.TotalHeat) + " kJ/m2";
  if (r.HeatPerKg) s += ", " + ReadableNumber(*r.HeatPerKg) + " kJ/kg evaporated";
  s += "\n  with the air: " + ReadableNumber(DesignEnergy(p, r.BestRow)) +
       " kJ/m2 (the heat into the web where the gas gives it, and the make-up air's heat)";
  s += std::string("\nLocal check: ") + (r.LocallyOptimal ? "passed" : "FAILED");
  for (const std::string& line : r.LocalCheck) s += "\n  " + line;
  s += "\nStages:";
  for (const DesignResult::Stage& st : r.Stages)
    s += "\n  " + st.Name + ": " + std::to_string(st.Runs) + " runs, " +
         (st.Speed > 0 ? ReadableNumber(st.Speed) + " m/s" : std::string("no design yet"));
  s += "\nCOBYLA: " + r.Stop + "; " + std::to_string(r.Evaluations.size()) + " runs in all\n";
  return s;
}

}  // namespace kelvane
