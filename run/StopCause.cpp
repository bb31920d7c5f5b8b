#include "run/StopCause.h"
#include "run/TextFormat.h"

#include <cfenv>
#include <cmath>
#include <cstdio>

#include "fields/FieldTable.h"
#include "run/Plausibility.h"

namespace kelvane {
namespace {

// A gas this far above a solvent's normal boiling point heats the film past
// it while the last of that solvent leaves: the surface composition that
// balances evaporation against diffusion then changes by orders of
// magnitude within a step, and the secant search loses it.
constexpr double FarAboveBoiling = 100.0;  // K

// The robust solve named as the reader turns it on.
const char* RobustAction(Audience who) {
  switch (who) {
    case Audience::Window: return "tick \"Robust surface solve\" on the Tools page (its default)";
    case Audience::Python: return "run with robust=True (the default)";
    case Audience::Runner: break;
  }
  return "run without --plain (the robust surface solve is the default)";
}

}  // namespace

StopCause ExplainStop(const RunParameters& p, const StepLocation& at, double solventLeft, bool robust,
                      Audience who) {
  // A reading of the inputs, not part of the run: its flags stay here.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  StopCause c;
  const int k = at.Zone;
  if (k < 1 || k > MaxZones) return c;
  const double T = p.OuterTemperature[k];
  const double A[3] = {0, p.VaporA1, p.VaporA2}, B[3] = {0, p.VaporB1, p.VaporB2}, C[3] = {0, p.VaporC1, p.VaporC2};
  const double partial[3] = {0, p.PartialPressure1[k], p.PartialPressure2[k]};
  std::string actions;
  for (int s = 1; s <= 2 && c.Text.empty(); ++s) {
    const double ps = SaturationPressure(A[s], B[s], C[s], T);
    if (std::isfinite(ps) && partial[s] > 0 && partial[s] >= ps) {
      c.Text = Format("Zone %d's gas carries solvent %d at %.4g mmHg, at or above its saturation pressure at the "
                      "gas's %.4g ℃ (%.4g mmHg): solvent condenses onto the film faster than the surface can "
                      "balance it.",
                      k, s, partial[s], T, ps);
      actions = Format("lower solvent %d's partial pressure in zone %d below %.4g mmHg", s, k, ps);
      c.Field = ZoneComponent(k, 2 + s);
    }
  }
  for (int s = 1; s <= 2 && c.Text.empty(); ++s) {
    const double boiling = B[s] / (A[s] - std::log10(760.0)) - C[s];
    if (std::isfinite(boiling) && T - boiling > FarAboveBoiling) {
      c.Text = Format("Zone %d's gas at %.4g ℃ is %.0f K above solvent %d's boiling point (%.1f ℃): the film "
                      "heats toward the gas while the last of the solvent leaves (%.3g %% left here), and the "
                      "surface composition changes too fast for the search to follow.",
                      k, T, T - boiling, s, boiling, solventLeft);
      actions = Format("lower zone %d's gas temperature, or stage it over more zones", k);
      c.Field = ZoneComponent(k, 1);
    }
  }
  if (c.Text.empty()) {
    c.Text = Format("The search for the surface composition that balances evaporation against diffusion did not "
                    "settle in zone %d (%.3g %% of the solvent left here).",
                    k, solventLeft);
    actions = "try another \"Increment of z\" or more layers";
  }
  c.Text += " What helps: " + (robust ? actions : std::string(RobustAction(who)) + "; or " + actions) + ".";
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
  return c;
}

std::string TakeoverText(const TakeoverAccount& a, bool finished) {
  if (!a.TookOver) return "";
  std::string t = Format("The plain surface search failed in zone %d at %.2f m; the robust surface solve %s", a.Zone,
                         a.Position, finished ? "finished the run" : "went on from there");
  if (a.MarchedAgain) t += ", marching again from the entrance off the plain path";
  // Marched again off the plain path, every step is the robust solve's: a
  // count of zero steps taken over would read as if it had done nothing.
  if (a.MarchedAgain && a.WhileDrying == 0 && a.WhileDry == 0) return t + ".";
  t += Format(" (%lld step%s taken over while solvent still left the coating", a.WhileDrying,
              a.WhileDrying == 1 ? "" : "s");
  if (a.WhileDry > 0) t += Format("; %lld more in a coating already dry", a.WhileDry);
  return t + ").";
}

}  // namespace kelvane
