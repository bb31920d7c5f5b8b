// The implicit diffusion step of one solvent: Crank-Nicolson for
// dc/dt = D d2c/dz2 on the coating's non-uniform node grid, the surface
// concentration prescribed at the end of the step and no flux into the base
// film (a mirror node beyond node N).
//
// The system is tridiagonal but is solved by Gauss-Jordan elimination with
// partial pivoting, whose rounding is part of the result.  The fast path
// below performs exactly the same floating-point operations except those
// whose factor is exactly zero, and replays the elimination of the
// trial-independent matrix on each trial's right-hand side.

#include <algorithm>
#include <cmath>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

namespace {

// The coefficients of one step: r_k and s_k per node, and the surface factor
// (r1 dz2)/dz1 of row 1, kept in extended precision as the row forms it.
struct Coefficients {
  NodeRow r{}, s{};
};

void ComputeCoefficients(const NodeRow& cold, const NodeRow& D, const NodeRow& dz, int N, double incrementZ,
                         double webSpeedCm, Coefficients& c) {
  for (int k = 1; k <= N - 1; ++k) {
    const LD q = static_cast<LD>(dz[k + 1]) / dz[k];
    c.r[k] = static_cast<double>(((static_cast<LD>(incrementZ) * D[k]) / webSpeedCm) /
                                 ((static_cast<LD>(dz[k]) * dz[k + 1]) * (q + 1)));
    c.s[k] = static_cast<double>(((cold[k + 1] - (q + 1) * cold[k]) + q * cold[k - 1]) * c.r[k]);
  }
  c.r[N] = static_cast<double>((static_cast<LD>(incrementZ) * D[N]) /
                               ((static_cast<LD>(webSpeedCm) * dz[N]) * dz[N]));
  c.s[N] = static_cast<double>((static_cast<LD>(cold[N - 1]) - cold[N]) * c.r[N]);
}

inline LD SurfaceFactor(const Coefficients& c, const NodeRow& dz) {
  return (static_cast<LD>(c.r[1]) * dz[2]) / dz[1];
}

inline double Row1Rhs(LD surfaceFactor, double cnew0, double cold1, double s1) {
  return static_cast<double>((surfaceFactor * cnew0 + cold1) + s1);
}

// The entries of row k of the system: M[k][k-1], M[k][k], M[k][k+1] and the
// right-hand side (row 1's lacks the surface term, added per trial).
struct RowEntries {
  double sub = 0, diag = 0, super = 0, rhs = 0;
};

inline RowEntries Row(const Coefficients& c, const NodeRow& cold, const NodeRow& dz, int N, int k) {
  RowEntries e;
  if (k == 1) {
    const LD q = static_cast<LD>(dz[2]) / dz[1];
    e.diag = static_cast<double>((q + 1) * c.r[1] + 1);
    e.super = -c.r[1];
  } else if (k < N) {
    const LD q = static_cast<LD>(dz[k + 1]) / dz[k];
    e.sub = static_cast<double>((-static_cast<LD>(c.r[k]) * dz[k + 1]) / dz[k]);
    e.diag = static_cast<double>((q + 1) * c.r[k] + 1);
    e.super = -c.r[k];
    e.rhs = static_cast<double>(static_cast<LD>(cold[k]) + c.s[k]);
  } else {
    e.sub = -c.r[N];
    e.diag = static_cast<double>(1 + static_cast<LD>(c.r[N]));
    e.rhs = static_cast<double>(static_cast<LD>(cold[N]) + c.s[N]);
  }
  return e;
}

void FillMatrix(const Coefficients& c, const NodeRow& cold, const NodeRow& dz, int N, SystemMatrix& M,
                SystemVector& B) {
  for (int i = 1; i <= N; ++i) {
    for (int j = 1; j <= N; ++j) M[i][j] = 0;
  }
  for (int k = 1; k <= N; ++k) {
    const RowEntries e = Row(c, cold, dz, N, k);
    if (k > 1) M[k][k - 1] = e.sub;
    M[k][k] = e.diag;
    if (k < N) M[k][k + 1] = e.super;
    B[k] = e.rhs;
  }
}

void FillBand(const Coefficients& c, const NodeRow& cold, const NodeRow& dz, int N, DiffusionPlan& plan) {
  for (int k = 1; k <= N; ++k) {
    const RowEntries e = Row(c, cold, dz, N, k);
    plan.Sub[k] = e.sub;
    plan.Diag[k] = e.diag;
    plan.Super[k] = e.super;
    plan.Rhs[k] = e.rhs;
  }
}

// The full matrix of a plan's band, for the literal elimination.
const SystemMatrix& FullMatrix(const DiffusionPlan& plan) {
  static thread_local SystemMatrix M;
  const int N = plan.N;
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= N; ++j) M[i][j] = 0;
  for (int k = 1; k <= N; ++k) {
    if (k > 1) M[k][k - 1] = plan.Sub[k];
    M[k][k] = plan.Diag[k];
    if (k < N) M[k][k + 1] = plan.Super[k];
  }
  return M;
}

// The record of a dense elimination: per stage k the position swapped into
// place, the pivot, and the positions it updates with their column-k
// factors.  The first Dense[k] updates are the positions 1, 2, ..., Dense[k]
// in order.
struct DenseRecord {
  std::array<uint8_t, SystemSize + 1> Swap{};
  std::array<double, SystemSize + 1> PivotValue{};
  std::array<uint8_t, SystemSize + 1> Dense{};
  std::array<uint8_t, SystemSize * SystemSize> UpdPos{};
  std::array<double, SystemSize * SystemSize> UpdFactor{};
  std::array<int, SystemSize + 2> UpdStart{};
};

// Gauss-Jordan elimination of columns 1..n of A, recording for every stage
// the pivot and the positions it updates with their column-k factors, so
// that any right-hand side can be eliminated afterwards with the identical
// operations.  Rows are handled through pointers in row-order position, and
// each row's possibly non-zero columns are tracked, so that products with an
// exactly zero factor are skipped: they could change at most the sign of a
// zero entry, never a non-zero value.  Returns false on a zero pivot (the
// literal elimination must then raise its fault).
bool EliminateRecorded(SystemMatrix& A, int n, DenseRecord& plan) {
  double* R[SystemSize + 1];
  int lo[SystemSize + 1], hi[SystemSize + 1];
  for (int i = 1; i <= n; ++i) {
    R[i] = A[i].data();
    lo[i] = n + 1;
    hi[i] = 0;
    for (int j = 1; j <= n; ++j)
      if (R[i][j] != 0) {
        if (lo[i] > n) lo[i] = j;
        hi[i] = j;
      }
  }
  int upd = 0;
  int cols[SystemSize + 1];
  for (int k = 1; k <= n; ++k) {
    const int reach = n;
    int m = k;
    double best = std::fabs(R[k][k]);
    for (int i = k + 1; i <= reach; ++i)
      if (lo[i] <= k && std::fabs(R[i][k]) > best) {
        m = i;
        best = std::fabs(R[i][k]);
      }
    std::swap(R[m], R[k]);
    std::swap(lo[m], lo[k]);
    std::swap(hi[m], hi[k]);
    plan.Swap[k] = static_cast<uint8_t>(m);
    double* P = R[k];
    const double pivot = P[k];
    if (!(pivot != 0)) return false;
    plan.PivotValue[k] = pivot;
    int nc = 0;
    for (int j = k + 1; j <= hi[k]; ++j) {
      if (P[j] != 0) {
        P[j] = static_cast<double>(static_cast<LD>(P[j]) / pivot);
        cols[nc++] = j;
      }
    }
    plan.UpdStart[k] = upd;
    int dense = 0;
    bool contiguous = true;
    for (int i = 1; i <= reach; ++i) {
      if (i == k) continue;
      if (i < k ? hi[i] < k : lo[i] > k) continue;
      double* Ri = R[i];
      const double f = Ri[k];
      if (f == 0) {
        contiguous = false;
        continue;
      }
      for (int c = 0; c < nc; ++c) {
        const int j = cols[c];
        Ri[j] = static_cast<double>(Ri[j] - static_cast<LD>(f) * P[j]);
      }
      if (hi[i] < hi[k]) hi[i] = hi[k];
      if (contiguous && i == dense + 1 && i < k) ++dense;
      else contiguous = false;
      plan.UpdPos[upd] = static_cast<uint8_t>(i);
      plan.UpdFactor[upd] = f;
      ++upd;
    }
    plan.Dense[k] = static_cast<uint8_t>(dense);
  }
  plan.UpdStart[n + 1] = upd;
  return true;
}

// The recorded elimination of a plan's tridiagonal matrix on band storage:
// the operations of the dense elimination on every entry that can be
// non-zero, in the same order.  At stage k only the rows at positions k and
// k+1 can hold the pivot, and every row's live columns (those still to be
// read) lie within k..k+2.  The rows not yet pivoted keep a window of four
// columns addressed by column & 3; an entry beyond a row's last possibly
// non-zero column reads as the zero the full matrix holds there.  The
// pivoted rows above hold their column k in the record itself (it is their
// factor at stage k) and their column k+1 in X; their columns beyond are
// zero.  A product with a factor that is exactly zero changes at most the
// sign of a zero entry: the pivoted rows go through such products without a
// test (a zero entry of theirs is only ever a factor again), the rows below
// skip them.  Returns false on a zero pivot (the literal elimination must
// then raise its fault).
class BandElimination {
 public:
  explicit BandElimination(DiffusionPlan& plan) : plan_(plan), n_(plan.N), U_(plan.Above.data()) {
    plan.Swapped = false;
    for (int i = 1; i <= n_; ++i) {
      at_[i] = i;
      lo_[i] = i > 1 ? i - 1 : 1;
      hi_[i] = i < n_ ? i + 1 : n_;
      W_[i][(i + 2) & 3] = 0;
      if (i > 1) W_[i][(i - 1) & 3] = plan.Sub[i];
      if (i < n_) W_[i][(i + 1) & 3] = plan.Super[i];
      W_[i][i & 3] = plan.Diag[i];
      X_[i] = 0;
    }
  }

  // Stage k (stages in order 1..N); false on a zero pivot.
  bool Stage(int k) {
    const int n = n_;
    const int kc = k & 3;
    const int reach = k < n ? k + 1 : n;
    int m = k;
    if (reach > k && lo_[at_[k + 1]] <= k && std::fabs(W_[at_[k + 1]][kc]) > std::fabs(W_[at_[k]][kc])) m = k + 1;
    std::swap(at_[m], at_[k]);
    plan_.Swap[k] = static_cast<uint8_t>(m);
    if (m != k) plan_.Swapped = true;
    const int P = at_[k];
    double* Pw = W_[P];
    const double pivot = Pw[kc];
    if (!(pivot != 0)) return false;
    plan_.PivotValue[k] = pivot;
    const int hiP = hi_[P];
    // The pivot row's columns k+1 and k+2 that take part (non-zero ones).
    bool use1 = false, use2 = false;
    LD p1 = 0, p2 = 0;
    if (hiP >= k + 1 && Pw[(k + 1) & 3] != 0) {
      Pw[(k + 1) & 3] = static_cast<double>(static_cast<LD>(Pw[(k + 1) & 3]) / pivot);
      p1 = Pw[(k + 1) & 3];
      use1 = true;
    }
    if (hiP >= k + 2 && Pw[(k + 2) & 3] != 0) {
      Pw[(k + 2) & 3] = static_cast<double>(static_cast<LD>(Pw[(k + 2) & 3]) / pivot);
      p2 = Pw[(k + 2) & 3];
      use2 = true;
    }
    // The row below the pivot, if its column k is possibly non-zero.
    plan_.Below[k] = 0;
    if (reach > k) {
      const int r = at_[k + 1];
      double* Rw = W_[r];
      const double f = lo_[r] <= k ? Rw[kc] : 0.0;
      if (f != 0) {
        for (int j = hi_[r] + 1; j <= hiP; ++j) Rw[j & 3] = 0;
        if (hi_[r] < hiP) hi_[r] = hiP;
        if (use1) Rw[(k + 1) & 3] = static_cast<double>(Rw[(k + 1) & 3] - static_cast<LD>(f) * Pw[(k + 1) & 3]);
        if (use2) Rw[(k + 2) & 3] = static_cast<double>(Rw[(k + 2) & 3] - static_cast<LD>(f) * Pw[(k + 2) & 3]);
        plan_.Below[k] = f;
      }
    }
    if (k == n) return true;
    // The pivoted rows above: their columns k+1 (the next stage's factors)
    // and k+2.
    const int above = k - 1;
    double* U = U_;
    double* Next = U + above;
    if (use1) {
      for (int i = 0; i < above; ++i) Next[i] = static_cast<double>(X_[i + 1] - static_cast<LD>(U[i]) * p1);
    } else {
      for (int i = 0; i < above; ++i) Next[i] = X_[i + 1];
    }
    if (use2) {
      for (int i = 0; i < above; ++i) X_[i + 1] = static_cast<double>(0.0L - static_cast<LD>(U[i]) * p2);
      xLive_ = true;
    } else if (xLive_) {
      for (int i = 1; i <= above; ++i) X_[i] = 0;
      xLive_ = false;
    }
    // The pivot row joins them.
    Next[above] = hiP >= k + 1 ? Pw[(k + 1) & 3] : 0.0;
    X_[k] = hiP >= k + 2 ? Pw[(k + 2) & 3] : 0.0;
    if (X_[k] != 0) xLive_ = true;
    U_ = Next;
    return true;
  }

 private:
  DiffusionPlan& plan_;
  const int n_;
  double W_[SystemSize + 1][4];
  int lo_[SystemSize + 1], hi_[SystemSize + 1];  // rows not yet pivoted, by row
  int at_[SystemSize + 1];                        // row at each position from k on
  double X_[SystemSize + 1];                      // pivoted rows' column k+1, by position
  bool xLive_ = false;                            // some entry of X_ may be non-zero
  double* U_;                                     // stage k's factors of positions 1..k-1
};

bool EliminateBandRecorded(DiffusionPlan& plan) {
  BandElimination e(plan);
  for (int k = 1; k <= plan.N; ++k)
    if (!e.Stage(k)) return false;
  return true;
}

// Two independent eliminations of the same size, stage by stage, so that the
// chain of pivots of one overlaps that of the other.
void EliminateBandRecordedPair(DiffusionPlan& p1, DiffusionPlan& p2) {
  BandElimination e1(p1), e2(p2);
  bool ok1 = true, ok2 = true;
  for (int k = 1; k <= p1.N; ++k) {
    if (ok1) ok1 = e1.Stage(k);
    if (ok2) ok2 = e2.Stage(k);
  }
  p1.Valid = ok1;
  p2.Valid = ok2;
}

// One stage of the right-hand-side column of the recorded elimination,
// held by row-order position.
inline void ReplayStage(const DenseRecord& plan, int k, SystemVector& b) {
  std::swap(b[k], b[plan.Swap[k]]);
  const double bk = static_cast<double>(static_cast<LD>(b[k]) / plan.PivotValue[k]);
  b[k] = bk;
  const LD bkl = bk;
  const int start = plan.UpdStart[k];
  const int dense = plan.Dense[k];
  const double* F = plan.UpdFactor.data() + start;
  // The rows below the pivot first: the next stage's pivot waits on them,
  // the processed rows above do not.
  for (int u = start + dense; u < plan.UpdStart[k + 1]; ++u) {
    const int r = plan.UpdPos[u];
    b[r] = static_cast<double>(b[r] - plan.UpdFactor[u] * bkl);
  }
  for (int i = 1; i <= dense; ++i) b[i] = static_cast<double>(b[i] - F[i - 1] * bkl);
}

// The right-hand-side column of the recorded elimination; on return b[k] is
// the solution's component k.
void ReplayRhs(const DenseRecord& plan, int n, SystemVector& b) {
  for (int k = 1; k <= n; ++k) ReplayStage(plan, k, b);
}

// The pivot row of stage k of the recorded band elimination on a
// right-hand side held by row-order position (b[n+1] must be readable).
// Position k's value comes in `carry`, where the previous stage's row below
// left it; position k+1's, after this stage's row below, goes out in it: the
// chain from pivot to pivot runs in registers.  Returns the pivot's
// quotient, stored at position k.
template <bool Swaps>
inline LD ReplayPivot(const DiffusionPlan& plan, int k, SystemVector& b, double& carry) {
  double here = carry;
  double next = b[k + 1];
  if (Swaps && plan.Swap[k] != k) std::swap(here, next);
  const double q = static_cast<double>(static_cast<LD>(here) / plan.PivotValue[k]);
  b[k] = q;
  const double fb = plan.Below[k];
  carry = fb != 0 ? static_cast<double>(next - fb * static_cast<LD>(q)) : next;
  return q;
}

// The factors of stage k's pivoted rows above, positions 1..k-1.
inline const double* AboveFactors(const DiffusionPlan& plan, int k) {
  return plan.Above.data() + (k - 1) * (k - 2) / 2;
}

// The right-hand-side column of the recorded elimination; on return b[k] is
// the solution's component k.
void ReplayBand(const DiffusionPlan& plan, SystemVector& b) {
  double carry = b[1];
  for (int k = 1; k <= plan.N; ++k) {
    const LD bk = ReplayPivot<true>(plan, k, b, carry);
    const double* U = AboveFactors(plan, k);
    for (int i = 1; i < k; ++i) b[i] = static_cast<double>(b[i] - U[i - 1] * bk);
  }
}

// Two independent eliminations of the same size, stage by stage, so that the
// chain of one overlaps that of the other and the updates of both.
template <bool Swaps>
void ReplayBandPair(const DiffusionPlan& p1, SystemVector& b1, const DiffusionPlan& p2, SystemVector& b2) {
  double carry1 = b1[1], carry2 = b2[1];
  for (int k = 1; k <= p1.N; ++k) {
    const LD bk1 = ReplayPivot<Swaps>(p1, k, b1, carry1);
    const LD bk2 = ReplayPivot<Swaps>(p2, k, b2, carry2);
    const double* U1 = AboveFactors(p1, k);
    const double* U2 = AboveFactors(p2, k);
    for (int i = 1; i < k; ++i) {
      b1[i] = static_cast<double>(b1[i] - U1[i - 1] * bk1);
      b2[i] = static_cast<double>(b2[i] - U2[i - 1] * bk2);
    }
  }
}

bool AnyZero(const SystemVector& x, int n) {
  for (int k = 1; k <= n; ++k)
    if (x[k] == 0) return true;
  return false;
}

}  // namespace

void SolveLinearSystem(const SystemMatrix& Ain, const SystemVector& b, int n, SystemVector& x) {
  // Private copies of the whole matrix and right-hand side: the caller's
  // arrays are not changed.
  static thread_local SystemMatrix A;
  A = Ain;
  SystemVector bCopy = b;
  uint8_t RowOrder[SystemSize + 1];
  for (uint8_t k = 1; k <= n; ++k) {
    A[k][n + 1] = bCopy[k];
    RowOrder[k] = k;
  }
  for (uint8_t k = 1; k <= n; ++k) {
    uint8_t m = k;
    for (uint8_t i = k + 1; i <= n; ++i)
      if (std::fabs(A[RowOrder[i]][k]) > std::fabs(A[RowOrder[m]][k])) m = i;
    std::swap(RowOrder[m], RowOrder[k]);
    const int p = RowOrder[k];
    for (int j = k + 1; j <= n + 1; ++j) A[p][j] = static_cast<double>(static_cast<LD>(A[p][j]) / A[p][k]);
    for (uint8_t i = 1; i <= n; ++i) {
      if (i == k) continue;
      const int r = RowOrder[i];
      for (int j = k + 1; j <= n + 1; ++j) A[r][j] = static_cast<double>(A[r][j] - static_cast<LD>(A[r][k]) * A[p][j]);
    }
  }
  for (int k = 1; k <= n; ++k) x[k] = A[RowOrder[k]][n + 1];
}

void SolveLinearSystemFast(const SystemMatrix& Ain, const SystemVector& bin, int n, SystemVector& x) {
  static thread_local SystemMatrix A;
  static thread_local DenseRecord plan;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) A[i][j] = Ain[i][j];
  if (!EliminateRecorded(A, n, plan)) {
    SolveLinearSystem(Ain, bin, n, x);
    return;
  }
  SystemVector b = bin;
  ReplayRhs(plan, n, b);
  for (int k = 1; k <= n; ++k) x[k] = b[k];
  // A zero in the solution may carry the sign the skipped products would
  // have given it; let the literal elimination decide it.
  if (AnyZero(x, n)) SolveLinearSystem(Ain, bin, n, x);
}

void BuildDiffusionSystem(const NodeRow& cold, double cnew0, const NodeRow& D, const NodeRow& dz, int N,
                          double incrementZ, double webSpeedCm, SystemMatrix& M, SystemVector& B) {
  Coefficients c;
  ComputeCoefficients(cold, D, dz, N, incrementZ, webSpeedCm, c);
  FillMatrix(c, cold, dz, N, M, B);
  B[1] = Row1Rhs(SurfaceFactor(c, dz), cnew0, cold[1], c.s[1]);
}

void DiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                   double rhoJ, double rhoP, double wsi, double wsj, int N, double incrementZ, double webSpeedCm,
                   NodeRow& ci) {
  NodeRow cold;
  for (int k = 0; k <= N; ++k) cold[k] = MassFracToConc(wi[k], wj[k], rhoI, rhoJ, rhoP);
  const double cnew0 = MassFracToConc(wsi, wsj, rhoI, rhoJ, rhoP);
  ci[0] = cnew0;
  static thread_local SystemMatrix M;
  SystemVector B, x;
  BuildDiffusionSystem(cold, cnew0, D, dz, N, incrementZ, webSpeedCm, M, B);
  SolveLinearSystem(M, B, N, x);
  for (int k = 1; k <= N; ++k) ci[k] = x[k];
}

// ---------------------------------------------------------------------------
// Fast path of a step.

namespace {

// Both solvents' concentrations from the mass fractions.  The conversion of
// either solvent forms the same polymer fraction and the same reciprocal of
// the specific volume (the sums are the same in either order), so they are
// formed once; each concentration is then its own product, as
// MassFracToConc forms it.
inline void ConcentrationsOf(double w1, double w2, double rho1, double rho2, double rhoP, double& c1, double& c2) {
  const double t = static_cast<double>(1.0L - (static_cast<LD>(w1) + w2));
  const double r = static_cast<double>(
      1.0L / ((static_cast<LD>(w1) / rho1 + static_cast<LD>(w2) / rho2) + static_cast<LD>(t) / rhoP));
  c1 = static_cast<double>(static_cast<LD>(w1) * r);
  c2 = static_cast<double>(static_cast<LD>(w2) * r);
}

// The trial-independent system of a plan whose start-of-step concentrations
// are in ColdI, not yet eliminated.
void FormPlan(const NodeRow& D, const NodeRow& dz, int N, double incrementZ, double webSpeedCm, DiffusionPlan& plan) {
  plan.N = N;
  Coefficients c;
  ComputeCoefficients(plan.ColdI, D, dz, N, incrementZ, webSpeedCm, c);
  FillBand(c, plan.ColdI, dz, N, plan);
  plan.SurfaceFactor = SurfaceFactor(c, dz);
  plan.S1 = c.s[1];
}

}  // namespace

void PlanDiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                       double rhoJ, double rhoP, int N, double incrementZ, double webSpeedCm, DiffusionPlan& plan) {
  for (int k = 0; k <= N; ++k) plan.ColdI[k] = MassFracToConc(wi[k], wj[k], rhoI, rhoJ, rhoP);
  FormPlan(D, dz, N, incrementZ, webSpeedCm, plan);
  plan.Valid = EliminateBandRecorded(plan);
}

void PlanDiffusionSteps(const NodeRow& w1, const NodeRow& w2, const NodeRow& D1, const NodeRow& D2,
                        const NodeRow& dz, double rho1, double rho2, double rhoP, int N, double incrementZ,
                        double webSpeedCm, DiffusionPlan& plan1, DiffusionPlan& plan2) {
  for (int k = 0; k <= N; ++k) ConcentrationsOf(w1[k], w2[k], rho1, rho2, rhoP, plan1.ColdI[k], plan2.ColdI[k]);
  FormPlan(D1, dz, N, incrementZ, webSpeedCm, plan1);
  FormPlan(D2, dz, N, incrementZ, webSpeedCm, plan2);
  EliminateBandRecordedPair(plan1, plan2);
}

namespace {

// The trial's right-hand side: the plan's, with row 1's surface term (and
// a zero beyond row N, read but not used by the replay's last stage).
void TrialRhs(const DiffusionPlan& plan, double cnew0, SystemVector& b) {
  for (int k = 2; k <= plan.N; ++k) b[k] = plan.Rhs[k];
  b[1] = Row1Rhs(plan.SurfaceFactor, cnew0, plan.ColdI[1], plan.S1);
  b[plan.N + 1] = 0;
}

// The literal elimination of the trial's system.
void SolveLiterally(const DiffusionPlan& plan, double cnew0, NodeRow& ci) {
  SystemVector rhs{}, x{};
  TrialRhs(plan, cnew0, rhs);
  SolveLinearSystem(FullMatrix(plan), rhs, plan.N, x);
  for (int k = 1; k <= plan.N; ++k) ci[k] = x[k];
}

// The replayed solution, or the literal one where the replay cannot vouch for
// the sign of a zero (and the caller needs it: the values themselves are the
// same either way, as only products with a zero factor are skipped).
void FinishSolution(const DiffusionPlan& plan, double cnew0, const SystemVector& replayed, NodeRow& ci,
                    bool zeroSigns) {
  if (zeroSigns && AnyZero(replayed, plan.N)) {
    SolveLiterally(plan, cnew0, ci);
    return;
  }
  for (int k = 1; k <= plan.N; ++k) ci[k] = replayed[k];
}

}  // namespace

void ApplyDiffusionPlan(const DiffusionPlan& plan, double rhoI, double rhoJ, double rhoP, double wsi, double wsj,
                        NodeRow& ci, bool zeroSigns) {
  const double cnew0 = MassFracToConc(wsi, wsj, rhoI, rhoJ, rhoP);
  ci[0] = cnew0;
  if (!plan.Valid) {
    SolveLiterally(plan, cnew0, ci);
    return;
  }
  SystemVector b;
  TrialRhs(plan, cnew0, b);
  ReplayBand(plan, b);
  FinishSolution(plan, cnew0, b, ci, zeroSigns);
}

void ApplyDiffusionPlans(const DiffusionPlan& plan1, const DiffusionPlan& plan2, double rho1, double rho2,
                         double rhoP, double ws1, double ws2, NodeRow& c1, NodeRow& c2, bool zeroSigns) {
  if (!plan1.Valid || !plan2.Valid || plan1.N != plan2.N) {
    ApplyDiffusionPlan(plan1, rho1, rho2, rhoP, ws1, ws2, c1, zeroSigns);
    ApplyDiffusionPlan(plan2, rho2, rho1, rhoP, ws2, ws1, c2, zeroSigns);
    return;
  }
  double cnew1, cnew2;
  ConcentrationsOf(ws1, ws2, rho1, rho2, rhoP, cnew1, cnew2);
  c1[0] = cnew1;
  c2[0] = cnew2;
  SystemVector b1, b2;
  TrialRhs(plan1, cnew1, b1);
  TrialRhs(plan2, cnew2, b2);
  // Diagonally dominant systems never exchange rows.
  if (plan1.Swapped || plan2.Swapped) ReplayBandPair<true>(plan1, b1, plan2, b2);
  else ReplayBandPair<false>(plan1, b1, plan2, b2);
  FinishSolution(plan1, cnew1, b1, c1, zeroSigns);
  FinishSolution(plan2, cnew2, b2, c2, zeroSigns);
}

}  // namespace kelvane
