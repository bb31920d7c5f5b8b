#pragma once
// The implicit diffusion step (Crank-Nicolson on the non-uniform layer
// grid), literally and by the exact fast path that eliminates each step's
// matrix once.

#include <array>
#include <cstdint>

#include "engine/FilmState.h"
#include "engine/LinearSystem.h"

namespace kelvane {

// What the fast path keeps from the start of a step: everything of the film
// side that does not depend on the trial's surface values.
struct DiffusionPlan {
  int N = 0;
  NodeRow ColdI{};               // start-of-step concentrations
  // The step's tridiagonal matrix by rows: M[k][k-1], M[k][k], M[k][k+1].
  // The full matrix is formed from them only for the literal fallback.
  SystemVector Sub{}, Diag{}, Super{};
  SystemVector Rhs{};            // right-hand side; row 1 lacks the surface term
  long double SurfaceFactor = 0; // (r1 dz[2]) / dz[1], as row 1 forms it
  double S1 = 0;                 // s_1 of row 1
  // Recorded Gauss-Jordan elimination, by position in the row order.  Per
  // stage k: the position swapped into place (k or k+1), the pivot, the
  // column-k factor of the row below (position k+1; zero where that row takes
  // no part) and the column-k factors of the pivoted rows above, positions
  // 1..k-1, from Above[(k-1)(k-2)/2] on.
  std::array<uint8_t, SystemSize + 1> Swap{};
  bool Swapped = false;  // some stage exchanged rows
  std::array<double, SystemSize + 1> PivotValue{};
  std::array<double, SystemSize + 1> Below{};
  std::array<double, SystemSize * (SystemSize - 1) / 2> Above{};
  bool Valid = false;
};

// Implicit diffusion step (Crank-Nicolson on the non-uniform layer grid).
// incrementZ / webSpeedCm is the step time.
void DiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                   double rhoJ, double rhoP, double wsi, double wsj, int N, double incrementZ, double webSpeedCm,
                   NodeRow& ci);
// Builds the system M x = B of one diffusion step (rows/columns 1..N).
void BuildDiffusionSystem(const NodeRow& cold, double cnew0, const NodeRow& D, const NodeRow& dz, int N,
                          double incrementZ, double webSpeedCm, SystemMatrix& M, SystemVector& B);
// Dense Gauss-Jordan elimination with partial pivoting through a row order.
void SolveLinearSystem(const SystemMatrix& A, const SystemVector& b, int n, SystemVector& x);
// The same elimination, skipping the products with an exactly zero factor:
// identical bits, a fraction of the work on the banded systems of the march.
void SolveLinearSystemFast(const SystemMatrix& A, const SystemVector& b, int n, SystemVector& x);

// Fast path of a step: eliminate the matrix once, then replay the
// elimination on each trial's right-hand side.
void PlanDiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                       double rhoJ, double rhoP, int N, double incrementZ, double webSpeedCm, DiffusionPlan& plan);
// Both solvents' plans at once (their eliminations interleaved): the same
// plans as two calls of PlanDiffusionStep.
void PlanDiffusionSteps(const NodeRow& w1, const NodeRow& w2, const NodeRow& D1, const NodeRow& D2,
                        const NodeRow& dz, double rho1, double rho2, double rhoP, int N, double incrementZ,
                        double webSpeedCm, DiffusionPlan& plan1, DiffusionPlan& plan2);
// zeroSigns: where the replayed solution holds an exact zero, the literal
// elimination decides its sign (the other values are the same bits either
// way); without it the replay's zero stands.
void ApplyDiffusionPlan(const DiffusionPlan& plan, double rhoI, double rhoJ, double rhoP, double wsi, double wsj,
                        NodeRow& ci, bool zeroSigns = true);
// Both solvents of a trial at once (their eliminations interleaved): the
// same bits as two calls of ApplyDiffusionPlan.
void ApplyDiffusionPlans(const DiffusionPlan& plan1, const DiffusionPlan& plan2, double rho1, double rho2,
                         double rhoP, double ws1, double ws2, NodeRow& c1, NodeRow& c2, bool zeroSigns = true);

}  // namespace kelvane
