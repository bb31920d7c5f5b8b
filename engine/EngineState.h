#pragma once
// Fraction conversions, the film's initial state and its carry-over from
// zone to zone.

namespace kelvane {

class Calculation;

struct Fractions {
  double F1, F2, FP;
};
// Volume fractions -> mass fractions; the polymer takes what the solvents
// leave.  Its fraction and the density-weighted sum are intermediates held in
// extended precision; the three mass fractions are the stored results.
// Inline: the march stores each fraction where it belongs, instead of
// reading the returned record back across its separately stored halves.
inline Fractions MassFracFromVol(double phi1, double phi2, double rho1, double rho2, double rhoP) {
  const long double phiP = 1.0L - (static_cast<long double>(phi1) + phi2);
  const long double S = (static_cast<long double>(phi1) * rho1 + static_cast<long double>(phi2) * rho2) +
                        phiP * rhoP;
  const double w1 = static_cast<double>(static_cast<long double>(phi1) * rho1 / S);
  const double w2 = static_cast<double>(static_cast<long double>(phi2) * rho2 / S);
  const double wP = static_cast<double>(1.0L - (static_cast<long double>(w1) + w2));
  return {w1, w2, wP};
}
Fractions VolFracFromMass(double w1, double w2, double rho1, double rho2, double rhoP);

void InitializeFilmState(Calculation& calc);
void CarryOverToNextZone(Calculation& calc);

}  // namespace kelvane
