// Film averages of a converged step and the smoothed composition profiles:
// a sextic in normalised depth through the surface value with zero slope at
// the base, fitted by least squares to the interior nodes.

#include <cmath>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

bool SolveSmallSystem(uint8_t m, uint8_t n, SmallMatrix& A, SystemVector& b, SystemVector& x) {
  // Gaussian elimination without pivoting, then back-substitution; any fault
  // (a zero pivot, 0/0, overflow) makes the whole solve fail.
  return Guarded([&] {
    for (int k = 1; k <= m; ++k) {
      for (int i = k + 1; i <= n; ++i) {
        if (!std::islessgreater(A[i][k], 0.0)) continue;
        for (int j = k + 1; j <= n; ++j)
          A[i][j] = static_cast<double>(A[i][j] - (static_cast<LD>(A[k][j]) * A[i][k]) / A[k][k]);
        b[i] = static_cast<double>(b[i] - (static_cast<LD>(b[k]) * A[i][k]) / A[k][k]);
        if (PendingFault()) return;
      }
    }
    x[n] = static_cast<double>(static_cast<LD>(b[n]) / A[n][n]);
    if (PendingFault()) return;
    for (int t = 1; t <= m; ++t) {
      const int i = n - t;
      for (int j = i + 1; j <= n; ++j) b[i] = static_cast<double>(b[i] - static_cast<LD>(x[j]) * A[i][j]);
      x[i] = static_cast<double>(static_cast<LD>(b[i]) / A[i][i]);
      if (PendingFault()) return;
    }
  });
}

namespace {

// The depth regressors of the normal equations, the same for both solvents:
// X[i][1..4], their column sums and the centred cross-product sums.
struct Regression {
  double X[MaxNodes + 1][6];
  double T[6], U[6];
  double Cross[5][5];
};

void BuildRegressors(const NodeRow& S, int N, Regression& g) {
  const int M = N - 1;
  for (int i = 1; i <= M; ++i) {
    const LD s = S[i];
    const LD sm2 = s - 2;
    g.X[i][1] = static_cast<double>((s * s - 3) / sm2);
    g.X[i][2] = static_cast<double>((s * s * s - 4) / sm2);
    g.X[i][3] = static_cast<double>((s * s * s * s - 5) / sm2);
    g.X[i][4] = static_cast<double>((s * s * s * s * s - 6) / sm2);
  }
  // Every sum runs over the nodes in order, rounded at each node; the sums
  // are independent of one another and are formed side by side, so that
  // their chains of additions overlap.
  double t1 = 0, t2 = 0, t3 = 0, t4 = 0;
  for (int i = 1; i <= M; ++i) {
    t1 = static_cast<double>(static_cast<LD>(t1) + g.X[i][1]);
    t2 = static_cast<double>(static_cast<LD>(t2) + g.X[i][2]);
    t3 = static_cast<double>(static_cast<LD>(t3) + g.X[i][3]);
    t4 = static_cast<double>(static_cast<LD>(t4) + g.X[i][4]);
  }
  const double t[5] = {0, t1, t2, t3, t4};
  for (int c = 1; c <= 4; ++c) {
    g.T[c] = t[c];
    g.U[c] = static_cast<double>(static_cast<LD>(t[c]) / M);
  }
  // X_r X_c = X_c X_r and T_r T_c = T_c T_r exactly: the centred sums are
  // symmetric, each pair is formed once.
  double s11 = 0, s12 = 0, s13 = 0, s14 = 0, s22 = 0, s23 = 0, s24 = 0, s33 = 0, s34 = 0, s44 = 0;
  for (int i = 1; i <= M; ++i) {
    const double x1 = g.X[i][1], x2 = g.X[i][2], x3 = g.X[i][3], x4 = g.X[i][4];
    s11 = static_cast<double>(s11 + static_cast<LD>(x1) * x1);
    s12 = static_cast<double>(s12 + static_cast<LD>(x1) * x2);
    s13 = static_cast<double>(s13 + static_cast<LD>(x1) * x3);
    s14 = static_cast<double>(s14 + static_cast<LD>(x1) * x4);
    s22 = static_cast<double>(s22 + static_cast<LD>(x2) * x2);
    s23 = static_cast<double>(s23 + static_cast<LD>(x2) * x3);
    s24 = static_cast<double>(s24 + static_cast<LD>(x2) * x4);
    s33 = static_cast<double>(s33 + static_cast<LD>(x3) * x3);
    s34 = static_cast<double>(s34 + static_cast<LD>(x3) * x4);
    s44 = static_cast<double>(s44 + static_cast<LD>(x4) * x4);
  }
  const double sums[5][5] = {{}, {0, s11, s12, s13, s14}, {0, 0, s22, s23, s24}, {0, 0, 0, s33, s34},
                             {0, 0, 0, 0, s44}};
  for (int r = 1; r <= 4; ++r)
    for (int c = r; c <= 4; ++c)
      g.Cross[r][c] = g.Cross[c][r] = static_cast<double>(sums[r][c] - (static_cast<LD>(g.T[r]) * g.T[c]) / M);
}

// Fits y(s) = y0 + a1 s + ... + a6 s^6 with y'(1) = 0 to the interior nodes
// and evaluates it at the uniform depths j/N.  Dividing y - y0 by s (s - 2)
// makes it a linear regression with intercept a2.  False when the normal
// equations cannot be solved.
bool FitOne(const NodeRow& y, const NodeRow& S, int N, Regression& g, NodeRow& fit) {
  const double y0 = y[0];
  const int M = N - 1;
  for (int i = 1; i <= M; ++i) {
    const LD s = S[i];
    g.X[i][5] = static_cast<double>((static_cast<LD>(y[i]) - y0) / ((s - 2) * s));
  }
  // The sum of the X_5 and its four cross sums, side by side as above.
  double t5 = 0, r1 = 0, r2 = 0, r3 = 0, r4 = 0;
  for (int i = 1; i <= M; ++i) {
    const double x5 = g.X[i][5];
    t5 = static_cast<double>(static_cast<LD>(t5) + x5);
    r1 = static_cast<double>(r1 + static_cast<LD>(g.X[i][1]) * x5);
    r2 = static_cast<double>(r2 + static_cast<LD>(g.X[i][2]) * x5);
    r3 = static_cast<double>(r3 + static_cast<LD>(g.X[i][3]) * x5);
    r4 = static_cast<double>(r4 + static_cast<LD>(g.X[i][4]) * x5);
  }
  g.T[5] = t5;
  g.U[5] = static_cast<double>(static_cast<LD>(t5) / M);
  const double cross5[5] = {0, r1, r2, r3, r4};
  static thread_local SmallMatrix A;
  SystemVector R{}, beta{};
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 4; ++c) A[r][c] = g.Cross[r][c];
    R[r] = static_cast<double>(cross5[r] - (static_cast<LD>(g.T[r]) * g.T[5]) / M);
  }
  if (!SolveSmallSystem(3, 4, A, R, beta)) return false;
  double sum = 0;
  for (int r = 1; r <= 4; ++r) sum = static_cast<double>(sum + static_cast<LD>(beta[r]) * g.U[r]);
  const double a2 = static_cast<double>(static_cast<LD>(g.U[5]) - sum);
  const double a3 = beta[1], a4 = beta[2], a5 = beta[3], a6 = beta[4];
  const double a1 = static_cast<double>(
      -((((2.0L * a2 + 3.0L * a3) + 4.0L * a4) + 5.0L * a5) + 6.0L * a6));
  for (int j = 0; j <= N; ++j) {
    const double sd = static_cast<double>((1.0L / N) * j);
    const LD s = sd;
    LD v = static_cast<LD>(a1) * s + y0;
    v = v + a2 * (s * s);
    v = v + a3 * (s * s * s);
    v = v + a4 * (s * s * s * s);
    v = v + a5 * (s * s * s * s * s);
    v = v + a6 * (s * s * s * s * s * s);
    fit[j] = static_cast<double>(v);
  }
  return true;
}

}  // namespace

bool FitFilmProfiles(Calculation& calc, const NodeRow& phi1, const NodeRow& phi2, int N, const NodeRow& dz,
                     NodeRow& fit1, NodeRow& fit2, FilmAverages& avg) {
  const RunParameters& p = calc.Params();
  NodeRow S;
  S[0] = 0;
  double L = 0, I1 = 0, I2 = 0;
  for (int k = 1; k <= N; ++k) {
    S[k] = static_cast<double>(static_cast<LD>(L) + dz[k]);
    L = S[k];
    I1 = static_cast<double>(((static_cast<LD>(phi1[k - 1]) + phi1[k]) * dz[k]) / 2 + I1);
    I2 = static_cast<double>(((static_cast<LD>(phi2[k - 1]) + phi2[k]) * dz[k]) / 2 + I2);
  }
  const double Ip = static_cast<double>(static_cast<LD>(L) - (static_cast<LD>(I1) + I2));
  const double Phi1 = static_cast<double>(static_cast<LD>(I1) / ((static_cast<LD>(I1) + I2) + Ip));
  const double Phi2 = static_cast<double>(static_cast<LD>(I2) / ((static_cast<LD>(I1) + I2) + Ip));
  const double PhiP = static_cast<double>(1.0L - (static_cast<LD>(Phi1) + Phi2));
  avg.AvgConc1 = static_cast<double>(static_cast<LD>(Phi1) * p.Density1);
  avg.AvgConc2 = static_cast<double>(static_cast<LD>(Phi2) * p.Density2);
  avg.AvgPolymerConc = static_cast<double>(static_cast<LD>(PhiP) * p.PolymerDensity);
  avg.CoatThick = static_cast<double>(static_cast<LD>(calc.State.DryThick) / PhiP);
  for (int k = 0; k <= N; ++k) S[k] = static_cast<double>(static_cast<LD>(S[k]) / L);

  // The regressors depend on the depths only; the reference path forms them
  // afresh for each solvent.
  static thread_local Regression g;
  BuildRegressors(S, N, g);
  bool ok = FitOne(phi1, S, N, g, fit1);
  if (ok && calc.LiteralTrials) BuildRegressors(S, N, g);
  ok = ok && FitOne(phi2, S, N, g, fit2);
  if (!ok) {
    calc.Message(FitFailureMessage);
    return false;
  }
  return true;
}

}  // namespace kelvane
