#include "study/DesignEnergy.h"
#include "study/Design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <thread>

#include "run/ReadRunParameters.h"
#include "study/BoundarySearch.h"
#include "study/DesignAnswer.h"
#include "study/DesignSearch.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

using namespace design_search;

// The local check's steps: the speed this much faster, each field moved
// by this share of its span.
constexpr double CheckSpeedStep = 0.005;
constexpr double CheckFieldStep = 0.01;

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
    CoarseThenFine(a, ua, p.MaxEvaluations, p.RelativeTolerance, stopA);
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
  s += "\n  with the air: " + ReadableNumber(DesignEnergy(p, r.BestRow)) +
       " kJ/m2 (the heat into the web where the gas gives it, and the make-up air's heat)";
  s += std::string("\nLocal check: ") + (r.LocallyOptimal ? "passed" : "FAILED");
  for (const std::string& line : r.LocalCheck) s += "\n  " + line;
  s += "\nCOBYLA: " + r.Stop + "; " + std::to_string(r.Evaluations.size()) + " runs in all\n";
  return s;
}

}  // namespace kelvane
