#include "study/DesignAccount.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "study/StudyTable.h"

namespace kelvane {

namespace {

double Number(const std::string& t) { return std::strtod(t.c_str(), nullptr); }

bool IsGasTemperature(const SearchedField& f) {
  return f.Field.Field && f.Field.Field->Index == 1 && f.Field.Field->Zone > 0;
}

// The targets within ActiveShare of their limits in one run; `at` follows
// each ("" at the design's speed, " at 0.72 m/s" for a slower check).
void ActiveIn(const DesignProblem& p, const RowResult& r, const std::string& at, std::vector<std::string>& out) {
  const Targets& t = p.Goal;
  const RunSummary& s = r.Details;
  if (r.Outcome != RowOutcome::Finished) return;
  const TargetViolations v = Violations(r, t, 1.0);
  if (t.MaxResidual) {
    const double left = *v.Residual + *t.MaxResidual;
    if (left >= *t.MaxResidual * (1 - ActiveShare) - 1e-12) {
      const char* unit = ResidualUnitSuffix(t.ResidualIn);
      out.push_back("the solvent left at the exit: " + ReadableNumber(left) + unit + " of the " +
                    ReadableNumber(*t.MaxResidual) + unit + " allowed" + at);
    }
  }
  const ZoneSummary* margin = nullptr;
  const ZoneSummary* hottest = nullptr;
  const ZoneSummary* skin = nullptr;
  for (const ZoneSummary& z : s.Zones) {
    if (!margin || z.MinBoilingMargin.Value < margin->MinBoilingMargin.Value) margin = &z;
    if (!hottest || z.MaxTemperature.Value > hottest->MaxTemperature.Value) hottest = &z;
    if (z.MinSkinMargin && (!skin || z.MinSkinMargin->Value < skin->MinSkinMargin->Value)) skin = &z;
  }
  // The bubble pressure within half a percent of an atmosphere, or of the
  // pressure the margin leaves.
  if ((t.NoBoiling || t.MinBoilingMargin) && margin) {
    const double need = t.MinBoilingMargin.value_or(0.0);
    if (margin->MinBoilingMargin.Value - need <= ActiveShare * (760 - need))
      out.push_back("the boiling margin in zone " + std::to_string(margin->Zone) + ": " +
                    ReadableNumber(margin->MinBoilingMargin.Value) + " mmHg (at least " + ReadableNumber(need) +
                    ")" + at);
  }
  if (t.MaxFilmTemperature && hottest &&
      hottest->MaxTemperature.Value >= *t.MaxFilmTemperature - ActiveShare * std::abs(*t.MaxFilmTemperature))
    out.push_back("the film temperature in zone " + std::to_string(hottest->Zone) + ": " +
                  ReadableNumber(hottest->MaxTemperature.Value) + " °C (limit " +
                  ReadableNumber(*t.MaxFilmTemperature) + " °C)" + at);
  if (t.NoSkinning && skin && skin->MinSkinMargin->Value <= ActiveShare)
    out.push_back("skinning in zone " + std::to_string(skin->Zone) + ": the surface " +
                  ReadableNumber(skin->MinSkinMargin->Value) + " below the skin's polymer fraction" + at);
  if (t.MaxLflShare && v.LflShare && v.LflZone && *v.LflShare >= -ActiveShare * *t.MaxLflShare)
    out.push_back("the exhaust of zone " + std::to_string(v.LflZone) + ": " +
                  ReadableNumber(*v.LflShare + *t.MaxLflShare) + " % of the LFL (at most " +
                  ReadableNumber(*t.MaxLflShare) + " %)" + at);
  if (p.MaxHeat && DesignEnergy(p, r) >= *p.MaxHeat * (1 - ActiveShare))
    out.push_back("the energy: " + ReadableNumber(DesignEnergy(p, r)) + " kJ/m2 of the " +
                  ReadableNumber(*p.MaxHeat) + " kJ/m2 allowed" + at);
}

std::string Zones(const std::vector<int>& zones, std::size_t of) {
  if (zones.size() == of && of == 2) return "both zones";
  if (zones.size() == of && of > 2) return "every zone";
  std::string s = zones.size() == 1 ? "zone " : "zones ";
  for (std::size_t i = 0; i < zones.size(); ++i)
    s += (i == 0 ? "" : i + 1 == zones.size() ? " and " : ", ") + std::to_string(zones[i]);
  return s;
}

}  // namespace

bool BetterDesign(const DesignProblem& p, const RowResult& a, const RowResult& b) {
  const double va = Number(a.Row.Values.back()), vb = Number(b.Row.Values.back());
  if (va != vb) return va > vb;
  const double ea = DesignEnergy(p, a), eb = DesignEnergy(p, b);
  if (ea != eb) return ea < eb;
  return a.Row.Values < b.Row.Values;
}

DesignAccount AccountOf(const DesignProblem& p, const RowResult& r, const FieldTexts* base) {
  DesignAccount a;
  ActiveIn(p, r, "", a.Active);
  for (const RowResult& slow : r.Slower) {
    std::vector<std::string> more;
    std::string at = " at " + ReadableNumber(Number(slow.Row.Values.back())) + " m/s";
    for (std::size_t i = 0; i < p.Fields.size() && i < slow.Row.Values.size(); ++i)
      if (IsGasTemperature(p.Fields[i]) && slow.Row.Values[i] != r.Row.Values[i]) {
        const double shift = Number(slow.Row.Values[i]) - Number(r.Row.Values[i]);
        at += " with the gas " + ReadableNumber(std::abs(shift)) + (shift > 0 ? " K warmer" : " K cooler");
        break;
      }
    ActiveIn(p, slow, at, more);
    for (std::string& m : more)
      // Slower dries better: the residual counts only where the gas is cooler.
      if (m.rfind("the solvent left", 0) != 0 || m.find(" K cooler") != std::string::npos) a.Active.push_back(std::move(m));
  }

  // The fields at a bound; the gas temperatures at their upper bound are
  // gathered for the sentence on what sets the answer.
  std::vector<int> hotZones;
  std::vector<double> hotBounds, hotCentres;
  bool spanSets = false, highestSets = false;
  std::size_t gas = 0;
  for (std::size_t i = 0; i < p.Fields.size() && i < r.Row.Values.size(); ++i) {
    const SearchedField& f = p.Fields[i];
    const double x = Number(r.Row.Values[i]), span = f.Upper - f.Lower;
    const bool atUpper = x >= f.Upper - ActiveShare * span, atLower = x <= f.Lower + ActiveShare * span;
    if (IsGasTemperature(f)) ++gas;
    if (!atUpper && !atLower) continue;
    a.AtBounds.push_back(f.Field.Name + " at its " + (atUpper ? "upper" : "lower") + " bound of " +
                         ReadableNumber(atUpper ? f.Upper : f.Lower));
    if (!atUpper || !IsGasTemperature(f)) continue;
    hotZones.push_back(f.Field.Field->Zone);
    hotBounds.push_back(f.Upper);
    hotCentres.push_back(base ? Number(base->Text(f.Field.Field->Component)) : std::nan(""));
    // The zone's bound is the highest gas allowed, or the span around its
    // present gas.
    (p.HighestGas && f.Upper >= *p.HighestGas - 1e-9 ? highestSets : spanSets) = true;
  }
  const double speed = Number(r.Row.Values.back());
  const bool speedAtUpper = speed >= p.SpeedUpper * (1 - ActiveShare / 5);
  if (speedAtUpper) a.AtBounds.push_back("the web speed at its upper bound of " + ReadableNumber(p.SpeedUpper) + " m/s");

  // The coating sets the answer where a target other than the residual
  // (which any faster web reaches) is active; otherwise a bound does.
  bool coatingSets = false;
  for (const std::string& s : a.Active)
    if (s.rfind("the solvent left", 0) != 0) coatingSets = true;
  if (coatingSets) return a;
  if (speedAtUpper) {
    a.SetByBounds = "the web speed at its upper bound of " + ReadableNumber(p.SpeedUpper) + " m/s: raise it to go faster";
    return a;
  }
  if (hotZones.empty()) return a;
  // Where every hot zone shares its bound and its centre, they are said once.
  const bool sameBound = std::all_of(hotBounds.begin(), hotBounds.end(), [&](double b) { return b == hotBounds[0]; });
  const bool sameCentre =
      std::all_of(hotCentres.begin(), hotCentres.end(), [&](double c) { return c == hotCentres[0]; });
  std::string s = Zones(hotZones, gas) + (hotZones.size() == 1 ? " at its upper bound" : " at their upper bound");
  if (sameBound) {
    s += " of " + ReadableNumber(hotBounds[0]) + " ℃";
  } else {
    s += "s (";
    for (std::size_t k = 0; k < hotBounds.size(); ++k) s += (k ? ", " : "") + ReadableNumber(hotBounds[k]);
    s += " ℃)";
  }
  if (spanSets && !highestSets && sameCentre && base) s += ", the span around " + ReadableNumber(hotCentres[0]) + " ℃";
  s += ": ";
  if (spanSets && highestSets) s += "widen the span and raise the highest gas allowed";
  else if (highestSets) s += "raise the highest gas allowed";
  else s += "widen the span";
  a.SetByBounds = s + " to go faster";
  return a;
}

}  // namespace kelvane
