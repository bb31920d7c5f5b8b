// The implicit diffusion step: the Crank-Nicolson rows, the dense
// Gauss-Jordan solver and its exact fast counterpart, and the physics of the
// step (inventory balance, the slab solution, no diffusion).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "engine/MiscCalc.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::SameBits;
using LD = long double;

constexpr double kIncrementZ = 2.0;   // cm per step
constexpr double kWebSpeedCm = 100.0;  // cm/s: 0.02 s per step

// The coating's layer grid: L equal slices, the surface one split in five.
NodeRow CoatingGrid(int layers, double thickness) {
  NodeRow dz{};
  for (int i = 1; i <= layers + 4; ++i) dz[i] = i <= 5 ? thickness / (layers * 5) : thickness / layers;
  return dz;
}

// ---------------------------------------------------------------------------
// The system of one step

TEST(DiffusionSystem, UniformGridGivesTheClassicalCrankNicolsonRows) {
  const int N = 8;
  const double dz0 = 0.0005;
  NodeRow dz{}, D{}, cold{};
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int k = 1; k <= N; ++k) {
    dz[k] = dz0;
    D[k] = 1e-7 * (1 + u(rng));
  }
  for (int k = 0; k <= N; ++k) cold[k] = 0.2 + 0.1 * u(rng);
  const double cnew0 = 0.05;
  SystemMatrix M;
  SystemVector B;
  for (auto& row : M) row.fill(99.0);  // stale entries must be cleared
  ClearFaults();
  BuildDiffusionSystem(cold, cnew0, D, dz, N, kIncrementZ, kWebSpeedCm, M, B);
  EXPECT_NO_THROW(CheckFaults());

  const double dt = kIncrementZ / kWebSpeedCm;
  auto r = [&](int k) { return D[k] * dt / (2 * dz0 * dz0); };
  const double rN = D[N] * dt / (dz0 * dz0);
  const double tol = 1e-15;
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= N; ++j) {
      if (std::abs(i - j) > 1) {
        EXPECT_EQ(M[i][j], 0.0) << i << "," << j;
      }
    }
  }
  EXPECT_NEAR(M[1][1], 1 + 2 * r(1), tol);
  EXPECT_NEAR(M[1][2], -r(1), tol);
  EXPECT_NEAR(B[1], r(1) * cnew0 + cold[1] + r(1) * (cold[2] - 2 * cold[1] + cold[0]), tol);
  for (int k = 2; k <= N - 1; ++k) {
    EXPECT_NEAR(M[k][k - 1], -r(k), tol) << k;
    EXPECT_NEAR(M[k][k], 1 + 2 * r(k), tol) << k;
    EXPECT_NEAR(M[k][k + 1], -r(k), tol) << k;
    EXPECT_NEAR(B[k], cold[k] + r(k) * (cold[k + 1] - 2 * cold[k] + cold[k - 1]), tol) << k;
  }
  // Zero flux into the base: a mirror node beyond node N doubles r.
  EXPECT_NEAR(M[N][N - 1], -rN, tol);
  EXPECT_NEAR(M[N][N], 1 + rN, tol);
  EXPECT_NEAR(B[N], cold[N] + rN * (cold[N - 1] - cold[N]), tol);
}

TEST(DiffusionSystem, NonUniformRowsLeaveAUniformProfileAlone) {
  // Every row of the non-uniform discretisation sums to 1 and has a zero
  // second difference on a constant profile.
  const int N = 24;
  const NodeRow dz = CoatingGrid(20, 0.00577);
  NodeRow D{}, cold{};
  for (int k = 1; k <= N; ++k) D[k] = 1e-7 * (1 + 0.1 * k);
  cold.fill(0.3);
  SystemMatrix M;
  SystemVector B;
  BuildDiffusionSystem(cold, 0.3, D, dz, N, kIncrementZ, kWebSpeedCm, M, B);
  // Row 1: the surface coefficient r1 dz2/dz1 = M11 + M12 - 1 sits on the
  // right-hand side with the known surface value.
  EXPECT_NEAR(B[1], 0.3 * (M[1][1] + M[1][2]), 1e-15);
  for (int k = 2; k <= N; ++k) {
    double rowSum = 0;
    for (int j = 1; j <= N; ++j) rowSum += M[k][j];
    EXPECT_NEAR(rowSum, 1.0, 1e-14) << k;
    EXPECT_NEAR(B[k], 0.3, 1e-16) << k;
  }

  // A uniform old profile equal to the new surface value comes back.
  NodeRow w{}, wj{}, c{};
  w.fill(0.35);
  wj.fill(0.2);
  ClearFaults();
  DiffusionStep(w, wj, D, dz, 0.86, 0.88, 1.083, 0.35, 0.2, N, kIncrementZ, kWebSpeedCm, c);
  const double c0 = MassFracToConc(0.35, 0.2, 0.86, 0.88, 1.083);
  EXPECT_TRUE(SameBits(c[0], c0));
  for (int k = 1; k <= N; ++k) EXPECT_NEAR(c[k], c0, 1e-15) << k;
  EXPECT_NO_THROW(CheckFaults());
}

TEST(DiffusionStepPhysics, WithoutDiffusionTheOldProfileComesBackExactly) {
  const int N = 44;
  const NodeRow dz = CoatingGrid(40, 0.00577);
  NodeRow D{}, wi{}, wj{}, c{}, cf{};
  std::mt19937_64 rng(2);
  std::uniform_real_distribution<double> u(0.0, 0.4);
  for (int k = 0; k <= N; ++k) {
    wi[k] = u(rng);
    wj[k] = u(rng);
  }
  ClearFaults();
  DiffusionStep(wi, wj, D, dz, 0.86, 0.88, 1.083, 0.01, 0.02, N, kIncrementZ, kWebSpeedCm, c);
  EXPECT_TRUE(SameBits(c[0], MassFracToConc(0.01, 0.02, 0.86, 0.88, 1.083)));
  for (int k = 1; k <= N; ++k) EXPECT_TRUE(SameBits(c[k], MassFracToConc(wi[k], wj[k], 0.86, 0.88, 1.083))) << k;
  DiffusionPlan plan;
  PlanDiffusionStep(wi, wj, D, dz, 0.86, 0.88, 1.083, N, kIncrementZ, kWebSpeedCm, plan);
  ApplyDiffusionPlan(plan, 0.86, 0.88, 1.083, 0.01, 0.02, cf);
  EXPECT_TRUE(enginetest::SameBits(c, cf, N));
  EXPECT_NO_THROW(CheckFaults());
}

// With constant D the step is conservative in the finite-volume sense: the
// inventory sum_k V_k c_k (V_k half the two adjacent spacings, V_N = dz_N/2)
// changes only by the Crank-Nicolson average of the surface flux; the base
// lets nothing through.
TEST(DiffusionStepPhysics, InventoryChangesOnlyByTheSurfaceFlux) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double rho = 1.0;
  for (int layers : {10, 20, 40}) {
    const int N = layers + 4;
    const NodeRow dz = CoatingGrid(layers, 0.00577);
    for (int trial = 0; trial < 20; ++trial) {
      const double Dc = std::pow(10.0, -9 + 3 * u(rng));
      NodeRow D{}, wi{}, wj{}, c{};
      for (int k = 1; k <= N; ++k) D[k] = Dc;
      for (int k = 0; k <= N; ++k) {
        wi[k] = 0.1 + 0.3 * u(rng);
        wj[k] = 0.0;
      }
      // Surface held at its start value (trial % 2) or moved.
      const double ws = trial % 2 ? wi[0] : 0.5 * wi[0];
      DiffusionStep(wi, wj, D, dz, rho, rho, rho, ws, 0.0, N, kIncrementZ, kWebSpeedCm, c);
      NodeRow cold{};
      for (int k = 0; k <= N; ++k) cold[k] = MassFracToConc(wi[k], wj[k], rho, rho, rho);
      LD before = 0, after = 0;
      for (int k = 1; k <= N; ++k) {
        const LD V = k < N ? (static_cast<LD>(dz[k]) + dz[k + 1]) / 2 : static_cast<LD>(dz[N]) / 2;
        before += V * cold[k];
        after += V * c[k];
      }
      const LD dt = static_cast<LD>(kIncrementZ) / kWebSpeedCm;
      const LD influx = Dc * dt / 2 * ((static_cast<LD>(cold[0]) - cold[1]) + (static_cast<LD>(c[0]) - c[1])) / dz[1];
      EXPECT_NEAR(static_cast<double>(after - before), static_cast<double>(influx), 1e-13 * static_cast<double>(before))
          << layers << " layers, D " << Dc;
    }
  }
}

// Diffusion into a slab 0 <= z <= L with the surface z = 0 held at cs from
// t = 0 and no flux at z = L:
// (c - cs) / (ci - cs) = sum_n 4/((2n+1) pi) sin((2n+1) pi z / 2L) exp(-(2n+1)^2 pi^2 D t / 4L^2).
double SlabSolution(double z, double t, double L, double D) {
  double sum = 0;
  for (int n = 0; n < 200; ++n) {
    const double m = (2 * n + 1) * std::numbers::pi;
    sum += 4 / m * std::sin(m * z / (2 * L)) * std::exp(-m * m * D * t / (4 * L * L));
  }
  return sum;
}

TEST(DiffusionStepPhysics, ManySmallStepsApproachTheSlabSolution) {
  const int N = 40;
  const double L = 0.004, Dc = 1e-7, ci = 0.4, cs = 0.1;
  NodeRow dz{}, D{}, w{}, wj{}, c{};
  for (int k = 1; k <= N; ++k) {
    dz[k] = L / N;
    D[k] = Dc;
  }
  // Unit densities: the concentration is the mass fraction.
  w.fill(ci);
  const double dt = kIncrementZ / kWebSpeedCm;
  int steps = 0;
  for (double tau : {0.05, 0.2, 0.6}) {  // D t / L^2
    const int target = static_cast<int>(std::lround(tau * L * L / Dc / dt));
    for (; steps < target; ++steps) {
      DiffusionStep(w, wj, D, dz, 1.0, 1.0, 1.0, cs, 0.0, N, kIncrementZ, kWebSpeedCm, c);
      for (int k = 0; k <= N; ++k) w[k] = ConcToMassFrac(c[k], 0.0, 1.0, 1.0, 1.0);
    }
    const double t = steps * dt;
    double maxErr = 0;
    for (int k = 0; k <= N; ++k) {
      const double exact = cs + (ci - cs) * SlabSolution(k * L / N, t, L, Dc);
      maxErr = std::max(maxErr, std::fabs(c[k] - exact));
    }
    // Second order in space and time: within 0.2 % of the step ci - cs.
    EXPECT_LT(maxErr, 0.002 * (ci - cs)) << "D t / L^2 = " << tau;
  }
}

// ---------------------------------------------------------------------------
// The dense solver

TEST(LinearSolver, OneEquationAndAKnownSystem) {
  SystemMatrix A{};
  SystemVector b{}, x{};
  A[1][1] = 3.0;
  b[1] = 1.0;
  ClearFaults();
  SolveLinearSystem(A, b, 1, x);
  EXPECT_EQ(x[1], static_cast<double>(1.0L / 3.0L));

  // [2 1 0; 1 3 1; 0 1 4] x = [3 5 5] -> x = (1, 1, 1)
  A = {};
  A[1][1] = 2; A[1][2] = 1;
  A[2][1] = 1; A[2][2] = 3; A[2][3] = 1;
  A[3][2] = 1; A[3][3] = 4;
  b[1] = 3; b[2] = 5; b[3] = 5;
  const SystemMatrix A0 = A;
  const SystemVector b0 = b;
  SolveLinearSystem(A, b, 3, x);
  for (int k = 1; k <= 3; ++k) EXPECT_NEAR(x[k], 1.0, 1e-15);
  EXPECT_EQ(std::memcmp(&A, &A0, sizeof A), 0) << "the caller's matrix must not change";
  EXPECT_EQ(std::memcmp(&b, &b0, sizeof b), 0);
  EXPECT_NO_THROW(CheckFaults());
}

// Column 1 holds 3 in both rows.  Pivoting on row 1 first divides exact
// multiples of 3 and stays in dyadic numbers: the exact solution (1/2, 1/2, 1/4).
// Pivoting on row 2 first divides 5 and 4 by -3 and rounds.  Swapping the
// two rows in storage turns one order into the other.
TEST(LinearSolver, TiesInPivotMagnitudeGoToTheEarlierRow) {
  SystemMatrix A{};
  SystemVector b{}, x{}, xs{};
  const double rows[3][4] = {{3, 3, 0, 3}, {-3, 5, 4, 2}, {0, 4, 0, 2}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) A[i + 1][j + 1] = rows[i][j];
    b[i + 1] = rows[i][3];
  }
  ClearFaults();
  SolveLinearSystem(A, b, 3, x);
  EXPECT_EQ(x[1], 0.5);
  EXPECT_EQ(x[2], 0.5);
  EXPECT_EQ(x[3], 0.25);

  SystemMatrix As = A;
  SystemVector bs = b;
  std::swap(As[1], As[2]);
  std::swap(bs[1], bs[2]);
  SolveLinearSystem(As, bs, 3, xs);
  EXPECT_FALSE(xs[1] == 0.5 && xs[2] == 0.5 && xs[3] == 0.25)
      << "with the rows swapped the other row pivots first and rounding shows";
  for (int k = 1; k <= 3; ++k) EXPECT_NEAR(xs[k], x[k], 1e-15);

  SystemVector xf{};
  SolveLinearSystemFast(A, b, 3, xf);
  EXPECT_TRUE(SameBits(x[1], xf[1]) && SameBits(x[2], xf[2]) && SameBits(x[3], xf[3]));
  SolveLinearSystemFast(As, bs, 3, xf);
  EXPECT_TRUE(SameBits(xs[1], xf[1]) && SameBits(xs[2], xf[2]) && SameBits(xs[3], xf[3]));
  EXPECT_NO_THROW(CheckFaults());
}

TEST(LinearSolver, AZeroPivotIsADivisionFaultInBothSolvers) {
  SystemMatrix A{};
  SystemVector b{}, x{};
  A[1][1] = 1; A[1][2] = 2;
  A[2][1] = 2; A[2][2] = 4;
  b[1] = 1; b[2] = 1;
  ClearFaults();
  SolveLinearSystem(A, b, 2, x);
  EXPECT_THROW(CheckFaults(), ArithmeticFault);
  SolveLinearSystemFast(A, b, 2, x);
  EXPECT_THROW(CheckFaults(), ArithmeticFault);

  // A zero first column: 0/0 in the first stage.
  A = {};
  A[1][2] = 1;
  A[2][2] = 1;
  SolveLinearSystem(A, b, 2, x);
  EXPECT_THROW(CheckFaults(), ArithmeticFault);
}

// ---------------------------------------------------------------------------
// Fast solver against the literal one

enum class Kind { Tridiagonal, Dense, Ties, SignedZeros, Banded };

void RandomSystem(std::mt19937_64& rng, Kind kind, int n, SystemMatrix& A, SystemVector& b) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_int_distribution<int> small(-2, 2);
  const double pool[] = {0.0, -0.0, 1.0, -1.0, 0.5, -2.0, 2.0};
  std::uniform_int_distribution<int> pick(0, 6);
  for (auto& row : A) row.fill(0.0);
  b.fill(0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      switch (kind) {
        case Kind::Tridiagonal:
          if (std::abs(i - j) == 1) A[i][j] = u(rng) * std::pow(10.0, 4 * u(rng));
          break;
        case Kind::Banded:
          if (std::abs(i - j) == 1) A[i][j] = (i + j) % 5 == 0 ? -0.0 : -std::fabs(u(rng));
          break;
        case Kind::Dense: A[i][j] = u(rng) * std::pow(10.0, 3 * u(rng)); break;
        case Kind::Ties: A[i][j] = small(rng); break;
        case Kind::SignedZeros: A[i][j] = pool[pick(rng)]; break;
      }
    }
    if (kind == Kind::Tridiagonal || kind == Kind::Banded) {
      A[i][i] = 1.0 + std::fabs(A[i][i - 1 > 0 ? i - 1 : i]) + std::fabs(i < n ? A[i][i + 1] : 0.0) +
                std::fabs(u(rng));
      if (i > 1) A[i][i] += std::fabs(A[i][i - 1]);
    }
    b[i] = u(rng);
    if (kind == Kind::SignedZeros || kind == Kind::Ties) b[i] = pool[pick(rng)];
    if (kind == Kind::Banded && i % 3 == 0) b[i] = i % 2 ? 0.0 : -0.0;
  }
}

void ExpectSameSolution(const SystemMatrix& A, const SystemVector& b, int n, const char* what, int seed) {
  SystemVector xl{}, xf{};
  ClearFaults();
  SolveLinearSystem(A, b, n, xl);
  FaultKind litKind{};
  const bool litFault = PendingFault(&litKind);
  ClearFaults();
  SolveLinearSystemFast(A, b, n, xf);
  FaultKind fastKind{};
  const bool fastFault = PendingFault(&fastKind);
  ClearFaults();
  ASSERT_EQ(litFault, fastFault) << what << " #" << seed << " n=" << n;
  if (litFault) {
    EXPECT_EQ(litKind, fastKind) << what << " #" << seed << " n=" << n;
    return;  // the run ends on the fault; the values are not used
  }
  ASSERT_EQ(std::memcmp(&xl[1], &xf[1], sizeof(double) * n), 0) << what << " #" << seed << " n=" << n;
}

TEST(LinearSolverFast, MatchesTheLiteralSolverBitForBit) {
  struct Set {
    Kind kind;
    const char* name;
    int count;
  } sets[] = {
      {Kind::Tridiagonal, "diagonally dominant tridiagonal", 3000},
      {Kind::Banded, "banded with zero couplings and zero right-hand sides", 2000},
      {Kind::Dense, "general dense", 1500},
      {Kind::Ties, "small integers (ties in pivot magnitude)", 2000},
      {Kind::SignedZeros, "signed zeros", 2000},
  };
  int faults = 0;
  for (const Set& set : sets) {
    std::mt19937_64 rng(17 + static_cast<int>(set.kind));
    std::uniform_int_distribution<int> size(1, 50);
    for (int s = 0; s < set.count; ++s) {
      const int n = s < 50 ? s + 1 : size(rng);
      static SystemMatrix A;
      SystemVector b;
      RandomSystem(rng, set.kind, n, A, b);
      ExpectSameSolution(A, b, n, set.name, s);
      if (::testing::Test::HasFatalFailure()) return;
      ClearFaults();
      SystemVector x;
      SolveLinearSystem(A, b, n, x);
      faults += PendingFault();
      ClearFaults();
    }
  }
  EXPECT_GT(faults, 0) << "singular systems must be among the samples";
}

// The plans of a step against the literal step, bit for bit: each solvent
// alone (PlanDiffusionStep, ApplyDiffusionPlan) and both together as the
// march forms them (PlanDiffusionSteps, ApplyDiffusionPlans).  The samples
// reach row exchanges, zero couplings, chains of factors that underflow to
// zero, zero and negative-zero fractions and surface values.
TEST(LinearSolverFast, PlannedStepMatchesTheLiteralStepBitForBit) {
  std::mt19937_64 rng(23);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int pivotedSamples = 0, skippingSamples = 0, underflowSamples = 0;
  auto diffusivity = [&](int s) {
    if (s % 5 == 0 && u(rng) < 0.3) return 0.0;
    if (s % 7 == 0) return std::pow(10.0, -300 + 290 * u(rng));
    return std::pow(10.0, -12 + 6 * u(rng));
  };
  auto fraction = [&](int s, int zeroEvery) {
    if (s % zeroEvery == 0) return s % 2 ? 0.0 : -0.0;
    if (s % 19 == 0 && u(rng) < 0.2) return -0.0;
    return 0.45 * u(rng);
  };
  for (int s = 0; s < 3000; ++s) {
    const int layers = 10 + 10 * (s % 4);
    const int N = s % 17 == 0 ? 2 + s % 7 : layers + 4;
    NodeRow dz{}, D1{}, D2{}, w1{}, w2{};
    for (int k = 1; k <= N; ++k) {
      dz[k] = s % 3 ? 1e-5 + 1e-3 * u(rng) : 0.00577 / (k <= 5 ? layers * 5 : layers);
      D1[k] = diffusivity(s);
      D2[k] = diffusivity(s + 1);
    }
    for (int k = 0; k <= N; ++k) {
      w1[k] = fraction(s, 11);
      w2[k] = fraction(s, 13);
    }
    const double rho1 = 0.7 + u(rng), rho2 = 0.7 + u(rng), rhoP = 0.9 + u(rng);
    DiffusionPlan alone1, alone2, pair1, pair2;
    ClearFaults();
    PlanDiffusionStep(w1, w2, D1, dz, rho1, rho2, rhoP, N, kIncrementZ, kWebSpeedCm, alone1);
    PlanDiffusionStep(w2, w1, D2, dz, rho2, rho1, rhoP, N, kIncrementZ, kWebSpeedCm, alone2);
    PlanDiffusionSteps(w1, w2, D1, D2, dz, rho1, rho2, rhoP, N, kIncrementZ, kWebSpeedCm, pair1, pair2);
    // The samples must exercise row exchanges (and with them the fill-in two
    // columns right of the diagonal) and factors that are exactly zero, not
    // only the plain diagonal pivots.
    for (const DiffusionPlan* plan : {&alone1, &alone2}) {
      bool pivoted = false, zeroFactor = false;
      for (int k = 1; k <= N; ++k) pivoted |= plan->Swap[k] != k;
      for (int k = 1; k < N; ++k) zeroFactor |= plan->Below[k] == 0;
      for (int i = 0; i < N * (N - 1) / 2; ++i) zeroFactor |= plan->Above[i] == 0;
      pivotedSamples += pivoted;
      skippingSamples += zeroFactor;
      underflowSamples += zeroFactor && s % 7 == 0;
    }
    for (int trial = 0; trial < 5; ++trial) {
      double ws1 = w1[0] * (1 + 0.001 * (u(rng) - 0.5)), ws2 = w2[0] * (1 + 0.001 * (u(rng) - 0.5));
      if (trial == 3) ws1 = 0.0;
      if (trial == 4) ws2 = -0.0;
      NodeRow l1{}, l2{}, a1{}, a2{}, p1{}, p2{};
      DiffusionStep(w1, w2, D1, dz, rho1, rho2, rhoP, ws1, ws2, N, kIncrementZ, kWebSpeedCm, l1);
      DiffusionStep(w2, w1, D2, dz, rho2, rho1, rhoP, ws2, ws1, N, kIncrementZ, kWebSpeedCm, l2);
      ApplyDiffusionPlan(alone1, rho1, rho2, rhoP, ws1, ws2, a1);
      ApplyDiffusionPlan(alone2, rho2, rho1, rhoP, ws2, ws1, a2);
      ApplyDiffusionPlans(pair1, pair2, rho1, rho2, rhoP, ws1, ws2, p1, p2);
      ASSERT_TRUE(enginetest::SameBits(l1, a1, N)) << "sample " << s << " trial " << trial << " N " << N;
      ASSERT_TRUE(enginetest::SameBits(l2, a2, N)) << "sample " << s << " trial " << trial << " N " << N;
      ASSERT_TRUE(enginetest::SameBits(l1, p1, N)) << "sample " << s << " trial " << trial << " N " << N;
      ASSERT_TRUE(enginetest::SameBits(l2, p2, N)) << "sample " << s << " trial " << trial << " N " << N;
    }
    ASSERT_NO_THROW(CheckFaults()) << s;
  }
  EXPECT_GT(pivotedSamples, 100);
  EXPECT_GT(skippingSamples, 100);
  EXPECT_GT(underflowSamples, 100);
}

}  // namespace
}  // namespace kelvane
