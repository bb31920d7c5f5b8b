// Zones whose gas carries what the coating gave off.
//
// The zone's gas is well mixed: make-up air brings in the zone's given
// partial pressures p0, the exhaust (q m^3 per m^2 of web passing, at the
// gas temperature) leaves at the zone's own p, and the solvent the coating
// gives off over the zone, E_i(p), is what the exhaust carries beyond the
// make-up air:
//     p_i = p0_i + E_i(p) / M_i * R T / (P q) * 760 mmHg.
// E falls as p rises, so each solvent's root lies between p0 and the
// pressure the open zone's evaporation would raise.  The root is found by
// Broyden's method from the fixed-point step, kept inside that bracket; each
// evaluation marches the zone again from its entrance state with the trial
// partial pressures.  The march's own arithmetic is untouched: a zone
// without exhaust, or the balance off, is exactly MarchZone.

#include <algorithm>
#include <cmath>

#include "engine/MiscCalc.h"

namespace kelvane {

const char* const ZoneBalanceFailureMessage =
    "The zone's gas did not settle: its solvent balance with the exhaust did not close.";

double ZonePressureRise(double evaporated, double M, double T, double perArea) {
  constexpr double GasConstant = 8.314462618;  // J/(mol.K)
  constexpr double Atmosphere = 101325.0;      // Pa
  const double moles = evaporated * 1e4 / M;   // mol per m^2 of web
  return moles * GasConstant * (T + 273.15) / Atmosphere / perArea * 760.0;
}

namespace {

// What a march of the zone changes beside its rows: restored before each
// march so that every one starts from the same entrance.
struct ZoneEntry {
  FilmState State;
  StepState Step;
  bool LeftPlainPath = false;
  size_t Rescued = 0;
  TrialRecord Best;
  SurfaceHistory History;
};

ZoneEntry Save(const Calculation& c) {
  return {c.State, c.Step, c.LeftPlainPath, c.Rescued.size(), c.Best, c.History};
}

void Restore(Calculation& c, const ZoneEntry& e) {
  c.State = e.State;
  c.Step = e.Step;
  c.LeftPlainPath = e.LeftPlainPath;
  c.Rescued.resize(e.Rescued);
  c.Best = e.Best;
  c.History = e.History;
}

// Solvent i's loss over the zone as marched, g/cm^2.
double GivenOff(const FilmState& s, int i) {
  const int k = s.LastStep;
  const std::vector<double>& c = i == 0 ? s.AvgConc1 : s.AvgConc2;
  return c[0] * s.CoatThick[0] - c[k] * s.CoatThick[k];
}

}  // namespace

bool MarchZoneBalanced(Calculation& calc, int zone) {
  ZoneGasBalance& b = calc.Balance;
  const double q = b.On ? b.ExhaustPerArea[zone] : 0;
  if (!(q > 0) || calc.Setup.ZoneStepCount[zone] <= 0) {
    MarchZone(calc, zone);
    return true;
  }
  RunParameters& p = calc.Setup.Params;
  const double T = p.OuterTemperature[zone];
  const double M[2] = {p.MolecularWeight1, p.MolecularWeight2};
  const double p0[2] = {b.MakeUp1[zone], b.MakeUp2[zone]};
  const ZoneEntry entry = Save(calc);
  int marches = 0;

  // Marches the zone at partial pressures x; r = x - p0 - rise.  False when
  // the march stopped.
  auto evaluate = [&](const double* x, double* r, double* rise) {
    if (marches > 0) Restore(calc, entry);
    p.PartialPressure1[zone] = x[0];
    p.PartialPressure2[zone] = x[1];
    MarchZone(calc, zone);
    ++marches;
    if (!calc.TransferOk || !calc.ConvergenceOk || calc.Cancelled) return false;
    for (int i = 0; i < 2; ++i) {
      rise[i] = ZonePressureRise(GivenOff(calc.State, i), M[i], T, q);
      r[i] = x[i] - p0[i] - rise[i];
    }
    return true;
  };
  // The larger of the two solvents' relative imbalances: what the exhaust
  // carries beyond the make-up air against what the coating gave off.  A
  // rise below 1e-9 mmHg is no solvent worth balancing.
  auto imbalance = [](const double* r, const double* rise) {
    double worst = 0;
    for (int i = 0; i < 2; ++i) worst = std::max(worst, std::fabs(r[i]) / std::max(std::fabs(rise[i]), 1e-9));
    return worst;
  };

  double x[2] = {p0[0], p0[1]}, r[2], rise[2];
  if (!evaluate(x, r, rise)) return false;
  double lo[2], hi[2];
  for (int i = 0; i < 2; ++i) {
    lo[i] = std::max(0.0, std::min(p0[i], p0[i] + 2 * rise[i]));
    hi[i] = std::max(p0[i], p0[i] + 2 * rise[i]);
  }
  double J[2][2] = {{1, 0}, {0, 1}};  // d r / d x; the identity makes the first step the fixed-point one
  for (;;) {
    const double worst = imbalance(r, rise);
    b.Marches[zone] = marches;
    b.Imbalance[zone] = worst;
    if (worst <= b.Tolerance) return true;
    if (marches >= b.MaxMarches) break;
    const double det = J[0][0] * J[1][1] - J[0][1] * J[1][0];
    double dx[2] = {-r[0], -r[1]};
    if (std::isfinite(det) && std::fabs(det) > 1e-12) {
      dx[0] = -(J[1][1] * r[0] - J[0][1] * r[1]) / det;
      dx[1] = -(J[0][0] * r[1] - J[1][0] * r[0]) / det;
    }
    double xn[2], rn[2];
    for (int i = 0; i < 2; ++i) xn[i] = std::clamp(x[i] + dx[i], lo[i], hi[i]);
    if (xn[0] == x[0] && xn[1] == x[1]) break;  // stuck on the bracket
    if (!evaluate(xn, rn, rise)) return false;
    const double s[2] = {xn[0] - x[0], xn[1] - x[1]};
    const double y[2] = {rn[0] - r[0], rn[1] - r[1]};
    const double ss = s[0] * s[0] + s[1] * s[1];
    for (int i = 0; i < 2 && ss > 0; ++i) {
      const double u = y[i] - (J[i][0] * s[0] + J[i][1] * s[1]);
      for (int j = 0; j < 2; ++j) J[i][j] += u * s[j] / ss;
    }
    x[0] = xn[0], x[1] = xn[1], r[0] = rn[0], r[1] = rn[1];
  }
  calc.Message(ZoneBalanceFailureMessage);
  calc.ConvergenceOk = false;
  return false;
}

}  // namespace kelvane
