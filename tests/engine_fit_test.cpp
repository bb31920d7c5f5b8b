// Film averages and the smoothed sextic profiles, and the small elimination
// that solves their normal equations.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/MiscCalc.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::RecordingHost;
using enginetest::SameBits;

struct FitFixture : ::testing::Test {
  RecordingHost host;
  Calculation calc{&host};
  void SetUp() override {
    calc.Setup = fixtures::DefaultSetup();
    ClearFaults();
    InitializeFilmState(calc);
  }
  void TearDown() override { EXPECT_NO_THROW(CheckFaults()); }
};

NodeRow RandomGrid(std::mt19937_64& rng, int N) {
  std::uniform_real_distribution<double> u(0.2, 1.0);
  NodeRow dz{};
  for (int k = 1; k <= N; ++k) dz[k] = 0.0002 * u(rng);
  return dz;
}

// Node depths normalised to the coating thickness.
NodeRow Depths(const NodeRow& dz, int N) {
  NodeRow S{};
  for (int k = 1; k <= N; ++k) S[k] = S[k - 1] + dz[k];
  for (int k = 1; k <= N; ++k) S[k] /= S[N];
  return S;
}

// y0 + a1 s + ... + a6 s^6 with a1 chosen for zero slope at s = 1.
double Sextic(const double a[7], double s) {
  double v = 0;
  for (int k = 6; k >= 1; --k) v = (v + a[k]) * s;
  return v + a[0];
}

TEST_F(FitFixture, UniformProfilesAverageToThemselvesAndFitFlat) {
  const RunParameters& p = calc.Params();
  std::mt19937_64 rng(1);
  for (int N : {14, 24, 44}) {
    const NodeRow dz = RandomGrid(rng, N);
    NodeRow phi1{}, phi2{}, fit1{}, fit2{};
    phi1.fill(0.3);
    phi2.fill(0.1);
    FilmAverages avg;
    ASSERT_TRUE(FitFilmProfiles(calc, phi1, phi2, N, dz, fit1, fit2, avg));
    EXPECT_NEAR(avg.AvgConc1, 0.3 * p.Density1, 1e-15);
    EXPECT_NEAR(avg.AvgConc2, 0.1 * p.Density2, 1e-15);
    EXPECT_NEAR(avg.AvgPolymerConc, 0.6 * p.PolymerDensity, 1e-15);
    EXPECT_NEAR(avg.CoatThick, calc.State.DryThick / 0.6, 1e-18);
    for (int j = 0; j <= N; ++j) {
      EXPECT_NEAR(fit1[j], 0.3, 1e-12) << N << " " << j;
      EXPECT_NEAR(fit2[j], 0.1, 1e-12) << N << " " << j;
    }
  }
  EXPECT_TRUE(host.Messages.empty());
}

TEST_F(FitFixture, AveragesAreTrapezoidIntegralsOverTheLayers) {
  // Linear profiles are integrated exactly by the trapezoid rule.
  const RunParameters& p = calc.Params();
  std::mt19937_64 rng(2);
  const int N = 24;
  const NodeRow dz = RandomGrid(rng, N);
  const NodeRow S = Depths(dz, N);
  NodeRow phi1{}, phi2{}, fit1{}, fit2{};
  for (int k = 0; k <= N; ++k) {
    phi1[k] = 0.1 + 0.3 * S[k];  // drier at the surface
    phi2[k] = 0.05 + 0.1 * S[k];
  }
  FilmAverages avg;
  FitFilmProfiles(calc, phi1, phi2, N, dz, fit1, fit2, avg);
  const double P1 = 0.25, P2 = 0.1, PP = 1 - P1 - P2;  // depth means
  EXPECT_NEAR(avg.AvgConc1, P1 * p.Density1, 1e-14);
  EXPECT_NEAR(avg.AvgConc2, P2 * p.Density2, 1e-14);
  EXPECT_NEAR(avg.AvgPolymerConc, PP * p.PolymerDensity, 1e-14);
  EXPECT_NEAR(avg.CoatThick, calc.State.DryThick / PP, 1e-16);
}

TEST_F(FitFixture, ASexticOfTheModelFormIsReproducedAtTheUniformDepths) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-0.05, 0.05);
  for (int N : {14, 24, 34, 44}) {
    for (int rep = 0; rep < 5; ++rep) {
      // Non-uniform grid: the coating's grid, or random spacings.
      NodeRow dz{};
      if (rep == 0) {
        for (int k = 1; k <= N; ++k) dz[k] = k <= 5 ? 0.001 / 5 : 0.001;
      } else {
        dz = RandomGrid(rng, N);
      }
      const NodeRow S = Depths(dz, N);
      double a1[7], a2[7];
      a1[0] = 0.2;
      a2[0] = 0.1;
      for (int k = 2; k <= 6; ++k) {
        a1[k] = u(rng);
        a2[k] = u(rng);
      }
      a1[1] = -(2 * a1[2] + 3 * a1[3] + 4 * a1[4] + 5 * a1[5] + 6 * a1[6]);
      a2[1] = -(2 * a2[2] + 3 * a2[3] + 4 * a2[4] + 5 * a2[5] + 6 * a2[6]);
      NodeRow phi1{}, phi2{}, fit1{}, fit2{};
      for (int k = 0; k <= N; ++k) {
        phi1[k] = Sextic(a1, S[k]);
        phi2[k] = Sextic(a2, S[k]);
      }
      FilmAverages avg;
      ASSERT_TRUE(FitFilmProfiles(calc, phi1, phi2, N, dz, fit1, fit2, avg));
      EXPECT_TRUE(SameBits(fit1[0], phi1[0]));
      EXPECT_TRUE(SameBits(fit2[0], phi2[0]));
      for (int j = 0; j <= N; ++j) {
        EXPECT_NEAR(fit1[j], Sextic(a1, static_cast<double>(j) / N), 1e-9) << N << " " << j;
        EXPECT_NEAR(fit2[j], Sextic(a2, static_cast<double>(j) / N), 1e-9) << N << " " << j;
      }
    }
  }
}

TEST_F(FitFixture, AnyProfileKeepsItsSurfaceValueAndFitsWithZeroSlopeAtTheBase) {
  std::mt19937_64 rng(4);
  std::uniform_real_distribution<double> u(0.0, 0.3);
  const int N = 24;
  const NodeRow dz = RandomGrid(rng, N);
  NodeRow phi1{}, phi2{}, fit1{}, fit2{};
  for (int k = 0; k <= N; ++k) {
    phi1[k] = u(rng);
    phi2[k] = u(rng);
  }
  FilmAverages avg;
  ASSERT_TRUE(FitFilmProfiles(calc, phi1, phi2, N, dz, fit1, fit2, avg));
  EXPECT_TRUE(SameBits(fit1[0], phi1[0]));
  EXPECT_TRUE(SameBits(fit2[0], phi2[0]));
  // The fitted profile is itself of the model form: fitted again on the
  // uniform grid it reproduces itself, which it could not without the
  // surface value and the zero slope at s = 1.
  NodeRow uniform{}, refit1{}, refit2{};
  for (int k = 1; k <= N; ++k) uniform[k] = 0.0001;
  ASSERT_TRUE(FitFilmProfiles(calc, fit1, fit2, N, uniform, refit1, refit2, avg));
  for (int j = 0; j <= N; ++j) {
    // The normal equations of the sextic are poorly conditioned.
    EXPECT_NEAR(refit1[j], fit1[j], 1e-7) << j;
    EXPECT_NEAR(refit2[j], fit2[j], 1e-7) << j;
  }
  // The seven-point one-sided derivative is exact for a sextic.
  const double c[7] = {49.0 / 20, -6.0, 15.0 / 2, -20.0 / 3, 15.0 / 4, -6.0 / 5, 1.0 / 6};
  for (const NodeRow* f : {&fit1, &fit2}) {
    double slope = 0;
    for (int m = 0; m <= 6; ++m) slope += c[m] * (*f)[N - m];
    EXPECT_NEAR(slope * N, 0.0, 1e-9);
  }
}

TEST_F(FitFixture, BothSolventsShareTheNodeDepths) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 0.4);
  const int N = 34;
  const NodeRow dz = RandomGrid(rng, N);
  NodeRow phi{}, fit1{}, fit2{};
  for (int k = 0; k <= N; ++k) phi[k] = u(rng);
  FilmAverages avg;
  ASSERT_TRUE(FitFilmProfiles(calc, phi, phi, N, dz, fit1, fit2, avg));
  EXPECT_TRUE(SameBits(fit1, fit2, N));
}

TEST_F(FitFixture, TwoLayersCannotBeFittedButStillAverage) {
  // One interior node: every centred sum cancels to exactly 0 when the
  // regressor products are exact, which they are with the interior node at
  // depth 1 (the second layer collapsed) and dyadic fractions.
  const int N = 2;
  NodeRow dz{}, phi1{}, phi2{}, fit1{}, fit2{};
  dz[1] = 0.002;
  dz[2] = 0.0;
  phi1[0] = 0.25; phi1[1] = 0.5; phi1[2] = 0.3;
  phi2[0] = 0.0625; phi2[1] = 0.125; phi2[2] = 0.125;
  fit1.fill(-7.0);
  fit2.fill(-8.0);
  FilmAverages avg;
  EXPECT_FALSE(FitFilmProfiles(calc, phi1, phi2, N, dz, fit1, fit2, avg));
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0], "This case can not be solved!");
  for (int j = 0; j < MaxNodes; ++j) {
    EXPECT_EQ(fit1[j], -7.0);
    EXPECT_EQ(fit2[j], -8.0);
  }
  const double P1 = 0.375, P2 = 0.09375;  // trapezoid means over the one layer
  EXPECT_NEAR(avg.AvgConc1, P1 * calc.Params().Density1, 1e-15);
  EXPECT_NEAR(avg.AvgConc2, P2 * calc.Params().Density2, 1e-15);
  EXPECT_NEAR(avg.CoatThick, calc.State.DryThick / (1 - P1 - P2), 1e-16);
  EXPECT_FALSE(PendingFault()) << "the failed fit is a guarded failure";
}

// ---------------------------------------------------------------------------
// SolveSmallSystem

TEST(SmallSystem, SolvesAndBackSubstitutes) {
  SmallMatrix A{};
  SystemVector b{}, x{};
  // A x = b with x = (1, -2, 0.5, 3).
  const double M[4][4] = {{4, 1, 0, 2}, {1, 5, 1, 0}, {2, 0, 6, 1}, {0, 1, 1, 3}};
  const double xs[4] = {1, -2, 0.5, 3};
  for (int i = 0; i < 4; ++i) {
    b[i + 1] = 0;
    for (int j = 0; j < 4; ++j) {
      A[i + 1][j + 1] = M[i][j];
      b[i + 1] += M[i][j] * xs[j];
    }
  }
  ClearFaults();
  ASSERT_TRUE(SolveSmallSystem(3, 4, A, b, x));
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(x[i + 1], xs[i], 1e-14);
  EXPECT_NO_THROW(CheckFaults());
}

TEST(SmallSystem, ZeroLowerEntriesSkipTheirRows) {
  // Upper triangular, with a quiet NaN below the diagonal: rows whose entry
  // compares equal to 0 or unordered are not eliminated, and nothing reads
  // the lower triangle afterwards.
  SmallMatrix A{};
  SystemVector b{}, x{};
  A[1][1] = 2; A[1][2] = 1; A[1][3] = 0; A[1][4] = 1;
  A[2][2] = 4; A[2][3] = 2; A[2][4] = 0;
  A[3][3] = 1; A[3][4] = 1;
  A[4][4] = 8;
  A[3][1] = -0.0;
  A[4][2] = std::nan("");
  b[1] = 4; b[2] = 6; b[3] = 2; b[4] = 8;  // x = (1, 1, 1, 1)
  ClearFaults();
  ASSERT_TRUE(SolveSmallSystem(3, 4, A, b, x));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(x[i], 1.0) << i;
  EXPECT_FALSE(PendingFault());
}

TEST(SmallSystem, AZeroPivotReportsFalseAndLeavesNoFault) {
  SmallMatrix A{};
  SystemVector b{}, x{};
  A[1][1] = 0; A[1][2] = 1;
  A[2][1] = 1; A[2][2] = 1;
  A[3][3] = 1; A[4][4] = 1;
  b[1] = 1; b[2] = 2; b[3] = 3; b[4] = 4;
  ClearFaults();
  EXPECT_FALSE(SolveSmallSystem(3, 4, A, b, x));
  EXPECT_FALSE(PendingFault());

  // Singular: 0/0 in the back-substitution.
  A = {};
  b = {};
  A[1][1] = 1; A[2][1] = 1;
  EXPECT_FALSE(SolveSmallSystem(3, 4, A, b, x));
  EXPECT_FALSE(PendingFault());
}

}  // namespace
}  // namespace kelvane
