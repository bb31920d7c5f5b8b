#include "run/Plausibility.h"

#include <cfenv>
#include <cmath>

#include "run/FieldHelp.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"

namespace kelvane {
namespace {

std::string WithUnit(double v, const std::string& unit) {
  return ShortNumber(v) + (unit.empty() || unit == "-" ? "" : " " + unit);
}

std::string OutOfRange(const FieldSpec& f, double v) {
  std::string text = "The value " + WithUnit(v, f.Unit) + " lies outside the range that makes physical sense here, " +
                     RangeText(f.Valid, f.Unit);
  if (const std::string typical = RangeText(f.Typical, f.Unit); !typical.empty()) text += " (typical: " + typical + ")";
  return text + ".";
}

std::string SolventName(int s) { return "Solvent-" + std::to_string(s); }

}  // namespace

double SaturationPressure(double A, double B, double C, double T) {
  const double tc = T + C;
  if (!(tc > 0)) return std::nan("");
  return std::pow(10.0, A - B / tc);
}

std::vector<PlausibilityWarning> CheckPlausibility(const RunSetup& setup) {
  // A check about the run, not part of it: what it raises stays here.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);

  std::vector<PlausibilityWarning> out;
  RunParameters p = setup.Params;
  const int zones = setup.ZoneCount;

  for (const FieldSpec& f : FieldTable()) {
    if (!f.Valid.Bounded() || (f.Zone > 0 && f.Zone > zones)) continue;
    const double* v = RealMember(p, f.Member);
    if (v && !f.Valid.Contains(*v)) out.push_back({f.Component, OutOfRange(f, *v)});
  }

  // Room for the polymer: the solvents' volume fractions on entry.
  if (p.Density1 > 0 && p.Density2 > 0 && p.InitialComposition1 >= 0 && p.InitialComposition2 >= 0) {
    const double solvents = p.InitialComposition1 / p.Density1 + p.InitialComposition2 / p.Density2;
    if (solvents >= 1.0)
      out.push_back({"Edit2", "The two initial compositions fill " + ShortNumber(100 * solvents) +
                                  " % of the coating's volume (composition / density of each solvent), leaving no "
                                  "room for the polymer."});
  }

  const double A[3] = {0, p.VaporA1, p.VaporA2}, B[3] = {0, p.VaporB1, p.VaporB2}, C[3] = {0, p.VaporC1, p.VaporC2};
  for (int k = 1; k <= zones; ++k) {
    const double T = p.OuterTemperature[k];
    const std::string zone = " in zone " + std::to_string(k);
    for (int s = 1; s <= 2; ++s) {
      const double ps = SaturationPressure(A[s], B[s], C[s], T);
      if (!std::isfinite(ps)) continue;
      if (ps > NearCriticalPressure) {
        const double limit = B[s] / (A[s] - std::log10(NearCriticalPressure)) - C[s];
        out.push_back({ZoneComponent(k, 1), "A gas of " + ShortNumber(T) + " degC" + zone + " lies far above " +
                                                SolventName(s) + "'s boiling point, toward its critical region "
                                                "(its vapour pressure would pass 15 atm above about " +
                                                ShortNumber(std::round(limit)) + " degC), where the model does "
                                                "not hold."});
      }
      const double partial = s == 1 ? p.PartialPressure1[k] : p.PartialPressure2[k];
      if (partial > 0 && partial >= ps)
        out.push_back({ZoneComponent(k, 2 + s), SolventName(s) + "'s partial pressure of " +
                                                    ShortNumber(partial) + " mmHg" + zone +
                                                    " is not below its saturation pressure at the gas temperature (" +
                                                    ShortNumber(ps) + " mmHg at " + ShortNumber(T) +
                                                    " degC): the gas is supersaturated."});
    }
    // A zone of positive length whose increment rounds to no step at all is
    // passed through unmarched: the worst case of too few steps.
    const int steps = setup.ZoneStepCount[k];
    if (steps <= 0 && p.ZoneLength[k] > 0)
      out.push_back({ZoneComponent(k, 2), "Zone " + std::to_string(k) + " (" + ShortNumber(p.ZoneLength[k]) +
                                              " m) gets no marching step of the increment: the film would leave "
                                              "it as it entered."});
    else if (steps > 0 && steps < FewestStepsPerZone)
      out.push_back({ZoneComponent(k, 2), "Zone " + std::to_string(k) + " gets only " + std::to_string(steps) +
                                              " marching step" + (steps == 1 ? "" : "s") +
                                              " of the increment; the march needs a handful per zone and the "
                                              "result tables print every fifth step."});
  }

  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
  return out;
}

}  // namespace kelvane
