// Material and transport models: concentration-dependent diffusion of a
// solvent in the polymer, Flory-Huggins thermodynamics of the ternary
// mixture, composition conversions, Antoine vapour pressure and the gas-side
// mass-transfer coefficient from the heat/mass-transfer analogy.
//
// Everything is evaluated in extended precision (long double); results and
// the intermediates the model stores are rounded to double where noted.
// Whole-number powers are repeated multiplications, other powers
// exp(y * ln x).

#include <cmath>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

const char* const TransferFailureMessage =
    "Sorry, this condition does not cnoverge! CONSIDER TO REDUCE OR INCREASE \"Increment of z\".";
const char* const ConvergenceFailureMessage = "Sorry, this condition does not converge !!";
const char* const FitFailureMessage = "This case can not be solved!";

// Arrhenius temperature dependence of the solvent's limiting diffusivity.
double CalcDconst(double F1, double F2, double T) {
  const LD t = static_cast<LD>(T) + 273;
  const LD e = std::exp(static_cast<LD>(F2) / t);
  return static_cast<double>(static_cast<LD>(F1) * e);
}

// Solvent mass fraction above which the diffusivity no longer depends on
// concentration.
double CalcOmegaG(double F3, double F4, double Dconst) {
  return static_cast<double>(static_cast<LD>(F4) * std::log(static_cast<LD>(Dconst)) + F3);
}

// Below omega_g, ln D falls as a polynomial in (omega - omega_g) without a
// linear term, so D and its slope are continuous at omega_g.
double CalcBaseDiff(const double* F, double omega, double omegaG, double Dconst) {
  if (omega >= omegaG) return Dconst;
  return CalcBaseDiffBelow(F, omega, omegaG, std::log(static_cast<LD>(Dconst)));
}

double CalcBaseDiffBelow(const double* F, double omega, double omegaG, long double lnDconst) {
  const LD d = static_cast<LD>(omega) - omegaG;
  LD S = lnDconst;
  S = S + F[5] * (d * d);
  S = S + F[6] * (d * d * d);
  S = S + F[7] * (d * d * d * d);
  S = S + F[8] * (d * d * d * d * d);
  S = S + F[9] * (d * d * d * d * d * d);
  S = S + F[10] * (d * d * d * d * d * d * d);
  S = S + F[11] * (d * d * d * d * d * d * d * d);
  return static_cast<double>(std::exp(S));
}

namespace {
// ln a_i of the Flory-Huggins ternary at fractions a (i), b (j), c (polymer);
// lnA is ln a, ratio = Vi / Vj and ratioChi = ratio chi_jp.
double LnActivityOf(double chiIP, double chiIJ, LD ratio, LD ratioChi, double a, double b, double c, LD lnA) {
  LD g = lnA + (1.0L - a);
  g = g - ratio * b;
  g = g + (static_cast<LD>(chiIJ) * b + static_cast<LD>(chiIP) * c) * (static_cast<LD>(b) + c);
  g = g - ((ratioChi * b) * c);
  return static_cast<double>(g);
}

double LnActivity(double chiIP, double chiJP, double chiIJ, double Vi, double Vj, double a, double b, double c,
                  LD lnA) {
  const LD ratio = static_cast<LD>(Vi) / Vj;
  return LnActivityOf(chiIP, chiIJ, ratio, ratio * chiJP, a, b, c, lnA);
}

// d ln a_i / d ln phi_i by a one-sided difference, the other two fractions
// scaled so that the three keep their sum.  With formLogsOnce the two
// logarithms are formed once and reused (the same values); otherwise they
// are evaluated wherever the formula names them, as the reference path does.
template <class LnA>
double ThermoFactorDifference(double phiI, double phiJ, double phiP, bool formLogsOnce, LnA lnActivity) {
  if (static_cast<LD>(phiI) < 0.001L) return 1.0;
  const double h = -0.00001;
  const LD oneMinus = 1.0L - phiI;
  const double dJ = static_cast<double>((-static_cast<LD>(phiJ) / oneMinus) * h);
  const double dP = static_cast<double>((-static_cast<LD>(phiP) / oneMinus) * h);
  const double phiI1 = static_cast<double>(static_cast<LD>(phiI) + h);
  const double phiJ1 = static_cast<double>(static_cast<LD>(phiJ) + dJ);
  const double phiP1 = static_cast<double>(static_cast<LD>(phiP) + dP);
  const LD ln0 = std::log(static_cast<LD>(phiI));
  const LD ln1 = std::log(static_cast<LD>(phiI1));
  const double G0 = lnActivity(phiI, phiJ, phiP, ln0);
  const double G1 = lnActivity(phiI1, phiJ1, phiP1, ln1);
  const LD num = static_cast<LD>(G1) - G0;
  const LD den = formLogsOnce ? ln1 - ln0
                              : std::log(static_cast<LD>(phiI1)) - std::log(static_cast<LD>(phiI));
  return static_cast<double>(num / den);
}

}  // namespace

ActivityConstants FormActivityConstants(double chiJP, double Vi, double Vj) {
  ActivityConstants k;
  // A fault here (a zero molar volume) is left to the formulas that name
  // the quotients: they raise it where the reference path does.
  k.Valid = Guarded([&] {
    k.Ratio = static_cast<LD>(Vi) / Vj;
    k.RatioChi = k.Ratio * chiJP;
    k.ChiRatio = (static_cast<LD>(chiJP) * Vi) / Vj;
  });
  return k;
}

double ThermoFactor(double chiIP, double chiJP, double chiIJ, double Vi, double Vj, double phiI, double phiJ,
                    double phiP) {
  return ThermoFactorDifference(phiI, phiJ, phiP, false, [&](double a, double b, double c, LD lnA) {
    return LnActivity(chiIP, chiJP, chiIJ, Vi, Vj, a, b, c, lnA);
  });
}

double ThermoFactorFast(double chiIP, double chiIJ, const ActivityConstants& k, double phiI, double phiJ,
                        double phiP) {
  return ThermoFactorDifference(phiI, phiJ, phiP, true, [&](double a, double b, double c, LD lnA) {
    return LnActivityOf(chiIP, chiIJ, k.Ratio, k.RatioChi, a, b, c, lnA);
  });
}

// Concentration of solvent i from the mass fractions, volumes additive.
double MassFracToConc(double wi, double wj, double rhoI, double rhoJ, double rhoP) {
  const double t = static_cast<double>(1.0L - (static_cast<LD>(wi) + wj));
  const double r = static_cast<double>(
      1.0L / ((static_cast<LD>(wi) / rhoI + static_cast<LD>(wj) / rhoJ) + static_cast<LD>(t) / rhoP));
  return static_cast<double>(static_cast<LD>(wi) * r);
}

// Mass fraction of solvent i from the two solvent concentrations.
double ConcToMassFrac(double ci, double cj, double rhoI, double rhoJ, double rhoP) {
  const double t = static_cast<double>((1.0L - (static_cast<LD>(ci) / rhoI + static_cast<LD>(cj) / rhoJ)) * rhoP);
  const double s = static_cast<double>((static_cast<LD>(ci) + cj) + t);
  return static_cast<double>(static_cast<LD>(ci) / s);
}

// Antoine equation, log10 Ps = A - B / (T + C), Ps in mmHg.
double VaporPressure(double A, double B, double C, double T) {
  const LD y = static_cast<LD>(A) - static_cast<LD>(B) / (static_cast<LD>(T) + C);
  return static_cast<double>(std::exp(y * std::log(10.0L)));
}

namespace {
// Q_i of ln a_i = ln phi_i + Q_i, in the gas-side operand order; ratio =
// Vi / Vj and chiRatio = (chi_jp Vi) / Vj.
LD SurfaceQOf(double phiI, double phiJ, LD ratio, LD chiRatio, double chiIP, double chiIJ) {
  const LD phiP = 1.0L - (static_cast<LD>(phiI) + phiJ);
  LD q = (1.0L - phiI) - ratio * phiJ;
  q = q + (static_cast<LD>(chiIJ) * phiJ + chiIP * phiP) * (phiP + phiJ);
  q = q - ((chiRatio * phiJ) * phiP);
  return q;
}

LD SurfaceQ(double phiI, double phiJ, double Vi, double Vj, double chiIP, double chiJP, double chiIJ) {
  return SurfaceQOf(phiI, phiJ, static_cast<LD>(Vi) / Vj, (static_cast<LD>(chiJP) * Vi) / Vj, chiIP, chiIJ);
}
}  // namespace

std::optional<double> TrySurfacePartialPressure(double T, double phiI, double phiJ, double Vi, double Vj, double A,
                                                double B, double C, double chiIP, double chiJP, double chiIJ) {
  return SurfacePartialPressureAt(VaporPressure(A, B, C, T), phiI, phiJ, Vi, Vj, chiIP, chiJP, chiIJ);
}

std::optional<double> SurfacePartialPressureAt(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                               double chiIP, double chiJP, double chiIJ) {
  // The activity must be computable: ln phi_i and the exponential are tried
  // first, and a fault there is a failure of the surface equilibrium rather
  // than an error of the run.
  volatile LD sink = 0;
  const bool ok = Guarded([&] {
    sink = std::exp(std::log(static_cast<LD>(phiI)) + SurfaceQ(phiI, phiJ, Vi, Vj, chiIP, chiJP, chiIJ));
  });
  (void)sink;
  if (!ok) return std::nullopt;
  const double Q = static_cast<double>(SurfaceQ(phiI, phiJ, Vi, Vj, chiIP, chiJP, chiIJ));
  return static_cast<double>(std::exp(static_cast<LD>(Q)) * (static_cast<LD>(Ps) * phiI));
}

std::optional<double> SurfacePartialPressureFast(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                                 double chiIP, double chiJP, double chiIJ,
                                                 const ActivityConstants& k) {
  // The guarded trial exp(ln phi_i + Q_i) only decides whether the activity
  // can be evaluated.  For 0 < phi_i <= 1 and a moderate Q_i neither the
  // logarithm nor the exponential can fault, so the trial is skipped there;
  // Q_i itself is still formed under the guard.
  LD q = 0;
  const bool ok = Guarded([&] { q = SurfaceQOf(phiI, phiJ, k.Ratio, k.ChiRatio, chiIP, chiIJ); });
  if (!ok) return std::nullopt;
  if (!(phiI > 0 && phiI <= 1 && q > -1.0e4L && q < 1.0e4L))
    return SurfacePartialPressureAt(Ps, phiI, phiJ, Vi, Vj, chiIP, chiJP, chiIJ);
  const double Q = static_cast<double>(q);
  return static_cast<double>(std::exp(static_cast<LD>(Q)) * (static_cast<LD>(Ps) * phiI));
}

double SurfacePartialPressure(Calculation& calc, double T, double phiI, double phiJ, double Vi, double Vj, double A,
                              double B, double C, double chiIP, double chiJP, double chiIJ) {
  return SurfacePartialPressureReported(calc, TrySurfacePartialPressure(T, phiI, phiJ, Vi, Vj, A, B, C, chiIP, chiJP, chiIJ));
}

double SurfacePartialPressureReported(Calculation& calc, const std::optional<double>& P) {
  if (!P) {
    calc.Message(TransferFailureMessage);
    calc.TransferOk = false;
    return 0;
  }
  return *P;
}

// k = h (rho cp)^(-1/3) (lambda / D_air)^(-2/3) with the drying gas's fixed
// volumetric heat capacity and conductivity.
double MassTransferCoeff(double airDiffusivity, double h) {
  const LD P1 = std::exp((-1.0L / 3.0L) * std::log(0.001065354L));
  const LD P2 = std::exp((-2.0L / 3.0L) * std::log(0.0002849L / airDiffusivity));
  return static_cast<double>((P2 * P1) * h);
}

}  // namespace kelvane
