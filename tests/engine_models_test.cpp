// Property models, fraction conversions, the initial film state and the
// floating-point fault guard.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "engine/MiscCalc.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::RecordingHost;
using enginetest::SameBits;
using LD = long double;

// Solvent-1 Antoine constants and diffusion parameters of the default window.
constexpr double kA1 = 6.95464, kB1 = 1344.8, kC1 = 219.482;

FaultKind ThrownKind() {
  try {
    CheckFaults();
  } catch (const ArithmeticFault& f) {
    return f.Kind();
  }
  ADD_FAILURE() << "no arithmetic fault pending";
  return FaultKind::InvalidOperation;
}

// ---------------------------------------------------------------------------
// Fault guard

TEST(EngineFaults, CheckpointsTurnFlagsIntoTypedErrorsWithTheReportText) {
  ClearFaults();
  EXPECT_NO_THROW(CheckFaults());

  volatile double zero = 0, one = 1, big = DBL_MAX;
  volatile double r = one / zero;
  (void)r;
  try {
    CheckFaults();
    FAIL() << "division by zero not reported";
  } catch (const ArithmeticFault& f) {
    EXPECT_EQ(f.Kind(), FaultKind::DivisionByZero);
    EXPECT_STREQ(f.what(), "0 による浮動小数点数除算");
  }
  EXPECT_FALSE(PendingFault()) << "a reported fault must not be reported again";

  r = zero / zero;
  EXPECT_EQ(ThrownKind(), FaultKind::InvalidOperation);
  EXPECT_STREQ(FaultMessage(FaultKind::InvalidOperation), "不正な浮動小数点数演算命令");
  r = big * 2.0;
  EXPECT_EQ(ThrownKind(), FaultKind::Overflow);
  EXPECT_STREQ(FaultMessage(FaultKind::Overflow), "浮動小数点数のオーバーフロー");

  // Underflow and inexact results stay silent.
  r = DBL_MIN / 3.0;
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineFaults, GuardedReportsItsOwnFaultAsFalseButThrowsOneThatWasAlreadyPending) {
  ClearFaults();
  volatile double zero = 0;
  EXPECT_TRUE(Guarded([&] { volatile double x = 1.0 + zero; (void)x; }));
  EXPECT_FALSE(Guarded([&] { volatile double x = 1.0 / zero; (void)x; }));
  EXPECT_FALSE(PendingFault()) << "a guarded fault leaves no flag behind";

  volatile double y = std::log(zero);  // fault of the unguarded code before the guard
  (void)y;
  EXPECT_THROW(Guarded([] {}), ArithmeticFault);
  EXPECT_FALSE(PendingFault());
}

// ---------------------------------------------------------------------------
// Diffusion coefficient

TEST(EngineModels, DconstIsArrheniusWithOffset273) {
  ClearFaults();
  const double D = CalcDconst(0.001316, -2392.0, 60.0);
  EXPECT_NEAR(D, 9.9917e-7, 0.0001e-7);
  EXPECT_EQ(D, static_cast<double>(0.001316L * std::exp(-2392.0L / 333.0L)));
  // 273.15 would give a visibly different value.
  EXPECT_GT(std::fabs(D - 0.001316 * std::exp(-2392.0 / 333.15)), 1e-11);
  // omega_g = F4 ln Dconst + F3 for the solvent-1 defaults.
  EXPECT_NEAR(CalcOmegaG(-0.7017, -0.07954, D), -0.07954 * std::log(D) - 0.7017, 1e-15);
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, DconstTooLargeForADoubleIsAnOverflowFault) {
  // exp(1e4 / 273) fits the extended intermediate; only the stored double
  // overflows.
  ClearFaults();
  volatile double D = CalcDconst(1e300, 1.0e4, 0.0);
  (void)D;
  EXPECT_EQ(ThrownKind(), FaultKind::Overflow);
}

TEST(EngineModels, BaseDiffIsContinuousAtOmegaGAndIgnoresTheShapeAboveIt) {
  ClearFaults();
  const RunParameters p = fixtures::DefaultSetup().Params;
  const double D = CalcDconst(p.DiffParams1[1], p.DiffParams1[2], 45.0);
  const double wg = CalcOmegaG(p.DiffParams1[3], p.DiffParams1[4], D);
  ASSERT_GT(wg, 0.2);
  ASSERT_LT(wg, 0.6);

  EXPECT_TRUE(SameBits(CalcBaseDiff(p.DiffParams1, wg, wg, D), D));
  const double below = CalcBaseDiff(p.DiffParams1, std::nextafter(wg, 0.0), wg, D);
  EXPECT_NEAR(below, D, 4 * DBL_EPSILON * D);
  const double wild[12] = {0, 0, 0, 0, 0, 1e9, -1e9, 1e9, -1e9, 1e9, -1e9, 1e9};
  EXPECT_TRUE(SameBits(CalcBaseDiff(wild, wg + 0.01, wg, D), D));
  EXPECT_TRUE(SameBits(CalcBaseDiff(p.DiffParams1, 1.0, wg, D), D));

  // Below omega_g: ln D = ln Dconst + sum F_k d^k (k = 2..8), d = omega - omega_g.
  for (double w : {0.0, 0.05, 0.1, 0.2, wg - 1e-3}) {
    const LD d = static_cast<LD>(w) - wg;
    LD S = std::log(static_cast<LD>(D));
    LD pw = d;
    for (int k = 5; k <= 11; ++k) {
      pw *= d;
      S += p.DiffParams1[k] * pw;
    }
    EXPECT_NEAR(CalcBaseDiff(p.DiffParams1, w, wg, D), static_cast<double>(std::exp(S)), 1e-12 * D) << w;
  }
  // The default parameters make the solvent slow down as the film dries.
  double last = 0;
  for (double w = 0.0; w < wg; w += 0.01) {
    const double Dw = CalcBaseDiff(p.DiffParams1, w, wg, D);
    EXPECT_GT(Dw, last) << w;
    last = Dw;
  }
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, BaseDiffWithGivenLogMatchesBitForBit) {
  ClearFaults();
  const RunParameters p = fixtures::DefaultSetup().Params;
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> T(0.0, 150.0), w(0.0, 1.0);
  for (int n = 0; n < 20000; ++n) {
    const double* F = n % 2 ? p.DiffParams1 : p.DiffParams2;
    const double D = CalcDconst(F[1], F[2], T(rng));
    const double wg = CalcOmegaG(F[3], F[4], D);
    const double omega = n % 7 == 0 ? wg : w(rng) * wg;
    const double lit = CalcBaseDiff(F, omega, wg, D);
    const double fast = omega >= wg ? D : CalcBaseDiffBelow(F, omega, wg, std::log(static_cast<LD>(D)));
    ASSERT_TRUE(SameBits(lit, fast)) << "omega " << omega << " omega_g " << wg;
  }
  EXPECT_NO_THROW(CheckFaults());
}

// ---------------------------------------------------------------------------
// Thermodynamic factor

TEST(EngineModels, ThermoFactorIsOneBelowTheThresholdAndADifferenceFromIt) {
  ClearFaults();
  const double V1 = 92.13 / 0.86, V2 = 72.11 / 0.88;
  EXPECT_EQ(ThermoFactor(0.354, 0.34, 1.0, V1, V2, 0.0009, 0.3, 0.6991), 1.0);
  EXPECT_EQ(ThermoFactor(0.354, 0.34, 1.0, V1, V2, std::nextafter(0.001, 0.0), 0.3, 0.699), 1.0);
  EXPECT_EQ(ThermoFactor(0.354, 0.34, 1.0, V1, V2, 0.0, 0.3, 0.7), 1.0);
  // The double 0.001 lies above the extended-precision constant: it is
  // differentiated, and without interactions it gives about 1 - phi_i.
  const double atThreshold = ThermoFactor(0, 0, 0, V1, V2, 0.001, 0.0, 0.999);
  EXPECT_NE(atThreshold, 1.0);
  EXPECT_NEAR(atThreshold, 0.999, 2e-5);
  for (double phi : {0.002, 0.05, 0.3, 0.5, 0.8, 0.95})
    EXPECT_NEAR(ThermoFactor(0, 0, 0, V1, V2, phi, 0.0, 1 - phi), 1 - phi, 2e-5) << phi;
  EXPECT_NO_THROW(CheckFaults());
}

// d ln a_i / d ln phi_i along phi_j, phi_p scaled by (1 - phi_i), from the
// Flory-Huggins expression differentiated by hand.
double AnalyticThermoFactor(double chiIP, double chiJP, double chiIJ, double Vi, double Vj, double a, double b,
                            double c) {
  const double r = Vi / Vj;
  const double db = -b / (1 - a), dc = -c / (1 - a);  // d phi_j, d phi_p per d phi_i
  const double dG = 1 / a - 1 - r * db + (chiIJ * db + chiIP * dc) * (b + c) + (chiIJ * b + chiIP * c) * (db + dc) -
                    r * chiJP * (db * c + b * dc);
  return a * dG;
}

TEST(EngineModels, ThermoFactorFollowsTheFloryHugginsDerivative) {
  ClearFaults();
  const double V1 = 92.13 / 0.86, V2 = 72.11 / 0.88;
  struct Case {
    double chiIP, chiJP, chiIJ, Vi, Vj, a, b;
  } cases[] = {
      {0.354, 0.34, 1.0, V1, V2, 0.37, 0.36}, {0.34, 0.354, 1.0, V2, V1, 0.36, 0.37},
      {0.354, 0.34, 1.0, V1, V2, 0.05, 0.01}, {0.9, 0.2, -0.5, V1, V2, 0.2, 0.1},
      {0.354, 0.34, 1.0, V1, V2, 0.6, 0.0},
  };
  for (const Case& k : cases) {
    const double c = 1 - (k.a + k.b);
    const double exact = AnalyticThermoFactor(k.chiIP, k.chiJP, k.chiIJ, k.Vi, k.Vj, k.a, k.b, c);
    const double got = ThermoFactor(k.chiIP, k.chiJP, k.chiIJ, k.Vi, k.Vj, k.a, k.b, c);
    // One-sided difference with |h| = 1e-5 against the exact derivative.
    EXPECT_NEAR(got, exact, 2e-4 * std::max(1.0, std::fabs(exact))) << k.a << " " << k.b;
  }
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, ThermoFactorFastMatchesBitForBit) {
  ClearFaults();
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0), chi(-1.0, 2.0), V(20.0, 200.0);
  for (int n = 0; n < 50000; ++n) {
    double a = u(rng);
    if (n % 10 == 0) a = 0.001 + (u(rng) - 0.5) * 1e-6;  // around the threshold
    if (n % 10 == 1) a = 1e-3 * u(rng);
    const double b = (1 - a) * u(rng) * 0.999;
    const double c = 1 - (a + b);
    const double ci = chi(rng), cj = chi(rng), cij = chi(rng), vi = V(rng), vj = V(rng);
    const double lit = ThermoFactor(ci, cj, cij, vi, vj, a, b, c);
    const double fast = ThermoFactorFast(ci, cij, FormActivityConstants(cj, vi, vj), a, b, c);
    ASSERT_TRUE(SameBits(lit, fast)) << a << " " << b;
  }
  EXPECT_NO_THROW(CheckFaults());
}

// ---------------------------------------------------------------------------
// Composition conversions

TEST(EngineModels, MassFractionsSurviveTheRoundTripThroughConcentrations) {
  ClearFaults();
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.0, 1.0), rho(0.6, 1.6);
  for (int n = 0; n < 5000; ++n) {
    const double w1 = u(rng), w2 = (1 - w1) * u(rng);
    const double r1 = rho(rng), r2 = rho(rng), rp = rho(rng);
    const double c1 = MassFracToConc(w1, w2, r1, r2, rp);
    const double c2 = MassFracToConc(w2, w1, r2, r1, rp);
    EXPECT_NEAR(ConcToMassFrac(c1, c2, r1, r2, rp), w1, 1e-14);
    EXPECT_NEAR(ConcToMassFrac(c2, c1, r2, r1, rp), w2, 1e-14);
    // A concentration is the volume fraction times the density.
    const Fractions phi = VolFracFromMass(w1, w2, r1, r2, rp);
    EXPECT_NEAR(c1, phi.F1 * r1, 1e-14);
    EXPECT_NEAR(c2, phi.F2 * r2, 1e-14);
  }
  EXPECT_EQ(MassFracToConc(0, 0, 0.86, 0.88, 1.083), 0.0);
  EXPECT_EQ(ConcToMassFrac(0, 0.3, 0.86, 0.88, 1.083), 0.0);
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, VolumeAndMassFractionsConvertBothWays) {
  ClearFaults();
  const Fractions w = MassFracFromVol(0.25, 0.1, 0.8, 1.0, 1.2);
  EXPECT_NEAR(w.F1, 0.2 / 1.08, 1e-15);
  EXPECT_NEAR(w.F2, 0.1 / 1.08, 1e-15);
  EXPECT_NEAR(w.FP, 0.78 / 1.08, 1e-15);
  std::mt19937_64 rng(4);
  std::uniform_real_distribution<double> u(0.0, 1.0), rho(0.6, 1.6);
  for (int n = 0; n < 2000; ++n) {
    const double p1 = u(rng), p2 = (1 - p1) * u(rng), r1 = rho(rng), r2 = rho(rng), rp = rho(rng);
    const Fractions m = MassFracFromVol(p1, p2, r1, r2, rp);
    EXPECT_NEAR(m.F1 + m.F2 + m.FP, 1.0, 1e-15);
    const Fractions back = VolFracFromMass(m.F1, m.F2, r1, r2, rp);
    EXPECT_NEAR(back.F1, p1, 1e-14);
    EXPECT_NEAR(back.F2, p2, 1e-14);
  }
  EXPECT_NO_THROW(CheckFaults());
}

// ---------------------------------------------------------------------------
// Gas side

TEST(EngineModels, VaporPressureIsAntoineAndFaultsAtTPlusCZero) {
  ClearFaults();
  EXPECT_NEAR(VaporPressure(kA1, kB1, kC1, 25.0), 28.447, 0.0005);
  EXPECT_NEAR(VaporPressure(kA1, kB1, kC1, 110.6), 760.0, 10.0);  // boils near 110 degC
  EXPECT_NO_THROW(CheckFaults());
  volatile double P = VaporPressure(kA1, kB1, kC1, -kC1);
  (void)P;
  EXPECT_EQ(ThrownKind(), FaultKind::DivisionByZero);
}

TEST(EngineModels, SurfacePartialPressureOfPureSolventIsTheSaturationPressure) {
  ClearFaults();
  const double V1 = 92.13 / 0.86, V2 = 72.11 / 0.88;
  const double Ps = VaporPressure(kA1, kB1, kC1, 40.0);
  const auto P = TrySurfacePartialPressure(40.0, 1.0, 0.0, V1, V2, kA1, kB1, kC1, 0.354, 0.34, 1.0);
  ASSERT_TRUE(P.has_value());
  EXPECT_TRUE(SameBits(*P, Ps));

  // A mixture: P = Ps phi_i exp(Q_i).
  const double a = 0.3, b = 0.2, c = 0.5;
  const double Q = (1 - a) - V1 / V2 * b + (1.0 * b + 0.354 * c) * (b + c) - V1 / V2 * 0.34 * b * c;
  const auto Pm = TrySurfacePartialPressure(40.0, a, b, V1, V2, kA1, kB1, kC1, 0.354, 0.34, 1.0);
  ASSERT_TRUE(Pm.has_value());
  EXPECT_NEAR(*Pm, Ps * a * std::exp(Q), 1e-12 * Ps);

  RecordingHost host;
  Calculation calc(&host);
  EXPECT_TRUE(SameBits(SurfacePartialPressure(calc, 40.0, 1.0, 0.0, V1, V2, kA1, kB1, kC1, 0.354, 0.34, 1.0), Ps));
  EXPECT_TRUE(calc.TransferOk);
  EXPECT_TRUE(host.Messages.empty());
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, SurfacePartialPressureOfAnEmptySurfaceFailsOnceAndStopsTheGasSide) {
  ClearFaults();
  const double V1 = 92.13 / 0.86, V2 = 72.11 / 0.88;
  EXPECT_FALSE(TrySurfacePartialPressure(40.0, 0.0, 0.3, V1, V2, kA1, kB1, kC1, 0.354, 0.34, 1.0).has_value());
  EXPECT_FALSE(PendingFault()) << "the guarded trial must not leave its fault behind";

  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = fixtures::DefaultSetup();
  InitializeFilmState(calc);
  calc.LiteralTrials = true;
  StepState& st = calc.Step;
  st.Zone = 1;
  st.T = 40.0;
  st.NewVolFrac1[0] = 0.0;
  st.NewVolFrac2[0] = 0.3;
  st.GasFlux1 = 111.0;
  st.GasFlux2 = 222.0;
  GasSideFlux(calc);
  EXPECT_FALSE(calc.TransferOk);
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0],
            "Sorry, this condition does not cnoverge! CONSIDER TO REDUCE OR INCREASE \"Increment of z\".");
  EXPECT_EQ(st.GasFlux1, 111.0) << "the gas side stops at once";
  EXPECT_EQ(st.GasFlux2, 222.0);
  EXPECT_NO_THROW(CheckFaults());
}

TEST(EngineModels, SurfacePartialPressureFastMatchesBitForBit) {
  ClearFaults();
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> u(0.0, 1.0), chi(-1.0, 2.0), V(20.0, 200.0), T(-10.0, 120.0);
  int failures = 0;
  for (int n = 0; n < 50000; ++n) {
    double a = u(rng);
    double b = (1 - a) * u(rng);
    switch (n % 25) {
      case 0: a = 0.0; break;
      case 1: a = -1e-3 * u(rng); break;
      case 2: a = 1.0; b = 0.0; break;
      case 3: a = 1.0 + 1e-3 * u(rng); b = 0.0; break;
      case 4: a = 1e-300 * u(rng); break;
      case 5: a = 4.9e-324; break;
      default: break;
    }
    const double vi = V(rng), vj = V(rng);
    double ci = chi(rng), cj = chi(rng), cij = chi(rng);
    if (n % 25 == 6) ci = 1e4;  // a huge activity exponent
    const double Ps = VaporPressure(kA1, kB1, kC1, T(rng));
    const auto lit = SurfacePartialPressureAt(Ps, a, b, vi, vj, ci, cj, cij);
    const bool litFault = PendingFault();
    ClearFaults();
    const auto fast = SurfacePartialPressureFast(Ps, a, b, vi, vj, ci, cj, cij, FormActivityConstants(cj, vi, vj));
    const bool fastFault = PendingFault();
    ClearFaults();
    ASSERT_EQ(lit.has_value(), fast.has_value()) << a << " " << b;
    ASSERT_EQ(litFault, fastFault) << a << " " << b;
    if (lit) {
      ASSERT_TRUE(SameBits(*lit, *fast)) << a << " " << b;
    } else {
      ++failures;
    }
  }
  EXPECT_GT(failures, 1000) << "the failing surfaces must be part of the sample";
}

TEST(EngineModels, MassTransferCoefficientFollowsTheHeatTransferAnalogy) {
  ClearFaults();
  const double h = 0.0010944;
  const double k = MassTransferCoeff(0.0002849, h);
  EXPECT_NEAR(k, h * std::pow(0.001065354, -1.0 / 3.0), 1e-15 * k);
  EXPECT_NEAR(k / h, 9.79, 0.005);
  // k grows as D_air^(2/3).
  EXPECT_NEAR(MassTransferCoeff(8 * 0.0849, h) / MassTransferCoeff(0.0849, h), 4.0, 1e-14);
  EXPECT_NO_THROW(CheckFaults());
}

// ---------------------------------------------------------------------------
// Initial state

TEST(EngineState, InitialGridSplitsTheSurfaceSliceIntoFiveThinLayers) {
  for (int layers : {10, 20, 30, 40}) {
    Calculation calc;
    calc.Setup = fixtures::DefaultSetup(layers);
    ClearFaults();
    InitializeFilmState(calc);
    const FilmState& s = calc.State;
    const int N = layers + 4;
    const double L = calc.Params().InitialCoatingThickness;
    EXPECT_EQ(s.LayerThick[0][0], 0.0);
    double sum = 0;
    for (int i = 1; i <= N; ++i) {
      const double expected = i <= 5 ? L / (layers * 5) : L / layers;
      EXPECT_NEAR(s.LayerThick[0][i], expected, 1e-16 * L / layers) << layers << " layer " << i;
      sum += s.LayerThick[0][i];
    }
    EXPECT_NEAR(sum, L, 1e-14 * L);
  }
  Calculation calc10, calc40;
  calc10.Setup = fixtures::DefaultSetup(10);
  calc40.Setup = fixtures::DefaultSetup(40);
  InitializeFilmState(calc10);
  InitializeFilmState(calc40);
  const double L = 0.00577;
  EXPECT_NEAR(calc10.State.LayerThick[0][5], L / 50, 1e-20);
  EXPECT_NEAR(calc10.State.LayerThick[0][14], L / 10, 1e-20);
  EXPECT_NEAR(calc40.State.LayerThick[0][1], L / 200, 1e-20);
  EXPECT_NEAR(calc40.State.LayerThick[0][44], L / 40, 1e-20);
}

TEST(EngineState, InitialStateIsAUniformCoating) {
  Calculation calc;
  calc.Setup = fixtures::DefaultSetup(20);
  RunParameters& p = calc.Setup.Params;
  p.InitialComposition1 = 0.2;
  p.Density1 = 0.8;
  p.InitialComposition2 = 0.1;
  p.Density2 = 1.0;
  p.PolymerDensity = 1.2;
  p.InitialCoatingThickness = 0.01;
  ClearFaults();
  InitializeFilmState(calc);
  const FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  for (int i = 0; i <= N; ++i) {
    EXPECT_NEAR(s.VolFrac1[0][i], 0.25, 1e-16);
    EXPECT_NEAR(s.VolFrac2[0][i], 0.1, 1e-16);
    EXPECT_NEAR(s.VolFracP[0][i], 0.65, 1e-15);
    EXPECT_NEAR(s.MassFrac1[0][i], 0.2 / 1.08, 1e-15);
    EXPECT_NEAR(s.MassFrac2[0][i], 0.1 / 1.08, 1e-15);
    EXPECT_NEAR(s.MassFracP[0][i], 0.78 / 1.08, 1e-15);
    for (const ProfileTable* t : {&s.VolFrac1, &s.VolFrac2, &s.VolFracP, &s.MassFrac1, &s.MassFrac2, &s.MassFracP})
      EXPECT_TRUE(SameBits((*t)[0][i], (*t)[0][0])) << "node " << i;
    EXPECT_TRUE(SameBits(s.FitVolFrac1[0][i], s.VolFrac1[0][i]));
    EXPECT_TRUE(SameBits(s.FitVolFrac2[0][i], s.VolFrac2[0][i]));
    EXPECT_TRUE(SameBits(s.FitVolFracP[0][i], s.VolFracP[0][i]));
    EXPECT_TRUE(SameBits(s.FitMassFrac1[0][i], s.MassFrac1[0][i]));
    EXPECT_TRUE(SameBits(s.FitMassFrac2[0][i], s.MassFrac2[0][i]));
    EXPECT_TRUE(SameBits(s.FitMassFracP[0][i], s.MassFracP[0][i]));
  }
  EXPECT_NEAR(s.InitPolymerConc, 0.78, 1e-15);
  EXPECT_NEAR(s.DryThick, 0.65 * 0.01, 1e-17);
  EXPECT_EQ(s.SolRemain[0], 100.0);
  EXPECT_EQ(s.ZoneTime[0], 0.0);
  EXPECT_EQ(s.RunTime[1][0], 0.0);
  EXPECT_EQ(s.FilmTemp[0], p.InitialTemperature);
  EXPECT_EQ(s.CoatThick[0], 0.01);
  EXPECT_EQ(s.AvgConc1[0], 0.2);
  EXPECT_EQ(s.AvgConc2[0], 0.1);
  EXPECT_EQ(s.AvgPolymerConc[0], s.InitPolymerConc);
  EXPECT_EQ(s.WebSpeedCm, 100.0);
  EXPECT_NEAR(s.MolarVolume1, p.MolecularWeight1 / 0.8, 1e-12);
  EXPECT_GE(s.RowCapacity, calc.Setup.ZoneStepCount[1] + 1);
  EXPECT_NO_THROW(CheckFaults());
}

}  // namespace
}  // namespace kelvane
