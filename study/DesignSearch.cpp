#include "study/DesignSearch.h"

#include <nlopt.hpp>

#include <limits>
#include <stdexcept>

#include "study/BoundarySearch.h"

namespace kelvane::design_search {

namespace {
// A neighbour of a point that failed: a small step of one field (in the
// scaled variables), alternating in sign.
constexpr double NudgeStep = 0.01;
constexpr int Nudges = 3;
// The coarsest schedule's blocks of neighbouring zones (each finer schedule
// has twice as many), and each finer schedule's first step from the
// coarser one's design (in the scaled variables; a fresh start takes 0.1).
constexpr std::size_t Blocks = 2;
constexpr double FinerStep = 0.05;

}  // namespace

const RowResult& Start::At(const std::vector<double>& u) {
  if (u == lastU) return last;
  lastU = u;
  last = runs.Run(Texts(u));
  lastFailed = false;
  for (int k = 0; k < Nudges && last.Outcome != RowOutcome::Finished && !runs.Cancelled(); ++k) {
    std::vector<double> n = u;
    const std::size_t i = static_cast<std::size_t>(k) % n.size();
    n[i] = std::clamp(n[i] + (k % 2 == 0 ? NudgeStep : -NudgeStep), 0.0, 1.0);
    last = runs.Run(Texts(n));
  }
  if (runs.Cancelled()) throw nlopt::forced_stop();
  lastFailed = last.Outcome != RowOutcome::Finished;
  if (!lastFailed && runs.Feasible(last) &&
      (!best || Number(last.Row.Values.back()) > Number(best->Row.Values.back())))
    best = last;
  return last;
}

namespace {

double Objective(const std::vector<double>& u, std::vector<double>&, void* data) {
  Start& s = *static_cast<Start*>(data);
  (void)s.At(u);
  return -u.back();  // the fastest web
}

struct Constraint {
  Start* S;
  int Which;  // 0 residual, 1 film temperature, 2 boiling, 3 boiling margin, 4 skinning, 5 order, 6 heat
};

// The constraint's violation, scaled to about one for a clear miss.
double Scaled(const Constraint& c, const RowResult& r);
constexpr double ConstraintRoom = 2e-4;

// At its worst over the run and the slower runs of its operating window;
// a slower run that failed misses by 1.
double Worst(const Constraint& c, const RowResult& r) {
  double v = Scaled(c, r);
  for (const RowResult& slow : r.Slower) v = std::max(v, slow.Outcome == RowOutcome::Finished ? Scaled(c, slow) : 1.0);
  if (c.S->problem.Robustness() && r.Slower.empty()) v = std::max(v, 1.0);
  return v;
}

double ConstraintValue(const std::vector<double>& u, std::vector<double>&, void* data) {
  const Constraint& c = *static_cast<Constraint*>(data);
  const RowResult& r = c.S->At(u);
  // Every neighbour failed too: infeasible, so that the optimiser leaves.
  if (c.S->lastFailed) return 1.0;
  // COBYLA settles on a constraint from either side; the design must be a
  // run that meets the targets, so each is asked with a little room.
  return Worst(c, r) + ConstraintRoom;
}

std::vector<Constraint> ConstraintsOf(Start* s) {
  std::vector<Constraint> constraints;
  const Targets& t = s->problem.Goal;
  if (t.MaxResidual) constraints.push_back({s, 0});
  if (t.MaxFilmTemperature) constraints.push_back({s, 1});
  if (t.NoBoiling) constraints.push_back({s, 2});
  if (t.MinBoilingMargin) constraints.push_back({s, 3});
  if (t.NoSkinning) constraints.push_back({s, 4});
  if (s->problem.NonDecreasing) constraints.push_back({s, 5});
  if (s->problem.MaxHeat) constraints.push_back({s, 6});
  if (t.MaxLflShare) constraints.push_back({s, 7});
  return constraints;
}

double Scaled(const Constraint& c, const RowResult& r) {
  const Targets& t = c.S->problem.Goal;
  const TargetViolations v = Violations(r, t, 1.0);
  switch (c.Which) {
    case 0: return *v.Residual / std::max(*t.MaxResidual, 1e-9);
    case 1: return *v.FilmTemperature / 50.0;
    case 2: return *v.Boiling / 760.0;
    case 3: return *v.BoilingMargin / 760.0;
    case 4: return *v.Skinning * 10.0;
    case 5: return c.S->runs.OrderViolation(r.Row.Values) / 40.0;
    case 7: return *v.LflShare / std::max(*t.MaxLflShare, 1e-9);
    default: return c.S->runs.HeatOver(r) / std::max(*c.S->problem.MaxHeat, 1e-9);
  }
}

}  // namespace

std::vector<std::vector<std::string>> Companions(const DesignProblem& p, const std::vector<std::string>& values) {
  std::vector<std::vector<std::string>> out;
  const std::string slowest = Text(Number(values.back()) * p.Slowest);
  if (p.Slowest < 1) {
    out.push_back(values);
    out.back().back() = slowest;
  }
  if (p.GasTolerance > 0)
    for (const double shift : {p.GasTolerance, -p.GasTolerance}) {
      std::vector<std::string> v = values;
      for (std::size_t i = 0; i < p.Fields.size(); ++i)
        if (IsGasTemperature(p.Fields[i])) v[i] = Text(Number(v[i]) + shift);
      if (shift > 0) v.back() = slowest;
      out.push_back(v);
    }
  return out;
}

double Miss(const Runs& runs, const RowResult& r) {
  if (r.Outcome != RowOutcome::Finished) return 1.0;
  Start s(const_cast<Runs&>(runs), runs.Problem());
  double worst = -std::numeric_limits<double>::infinity();
  for (const Constraint& c : ConstraintsOf(&s)) worst = std::max(worst, Worst(c, r));
  return worst;
}

namespace {

// The boundary search on the speed at the fields' texts, recorded; the run
// at its answer, or none.
std::optional<RowResult> SpeedBoundary(Runs& runs, const std::vector<std::string>& fields, double lower, double upper,
                                       double tolerance, const Targets& goal) {
  const DesignProblem& p = runs.Problem();
  StudyDefinition s;
  s.Base = runs.Study().Base;
  for (std::size_t i = 0; i < p.Fields.size(); ++i) s.Base.SetText(p.Fields[i].Field.Field->Component, fields[i]);
  BoundarySearch search;
  search.Field = ParseVaried("WebSpeed=0");
  search.Lower = Text(lower);
  search.Upper = Text(upper);
  search.Tolerance = tolerance;
  search.Goal = goal;
  if (!(lower < upper) || runs.Cancelled()) return std::nullopt;
  StudyOptions o = runs.Options();
  o.Jobs = 0;
  BoundaryResult r;
  try {
    r = SearchBoundary(s, search, o, runs.Control());
  } catch (const std::invalid_argument&) {
    return std::nullopt;  // bounds that print alike
  }
  std::optional<RowResult> best;
  for (RowResult e : r.Evaluations) {
    std::vector<std::string> v = fields;
    v.push_back(e.Row.Values[0]);
    e.Row.Values = v;
    const bool isBest = HasAnswer(r.End) && e.Row.Values.back() == r.Best;
    runs.Record(e);
    if (isBest && !best) best = e;
  }
  if (!best && HasAnswer(r.End)) {
    best = r.BestRow;
    best->Row.Values = fields;
    best->Row.Values.push_back(r.Best);
  }
  return best;
}

// Slower webs tried below the residual's boundary where a target other than
// the residual fails there, as shares of that speed.
constexpr double Slower[] = {0.97, 0.9, 0.75};

}  // namespace

std::optional<RowResult> FastestAt(Runs& runs, const std::vector<std::string>& fields, double lower, double upper,
                                   double tolerance) {
  // The residual alone has one boundary in the speed: a faster web leaves
  // more solvent.  The film's limit and boiling bound the speed from below
  // as well (a slower web gives the film longer to heat), so the speeds
  // that meet every target are an interval, and a search from the slowest
  // speed would see none where the interval lies higher.  The residual's
  // boundary first, then every target there, then slower webs below it.
  const DesignProblem& p = runs.Problem();
  Targets residual;
  residual.MaxResidual = p.Goal.MaxResidual;
  residual.ResidualIn = p.Goal.ResidualIn;
  std::optional<RowResult> best =
      SpeedBoundary(runs, fields, lower, upper, tolerance, p.Goal.MaxResidual ? residual : p.Goal);
  if (!best) return std::nullopt;
  if (!MeetsTargets(*best, p.Goal)) {
    const double v = Number(best->Row.Values.back());
    std::vector<StudyRow> rows;
    for (double share : Slower)
      if (v * share > lower) {
        std::vector<std::string> values = fields;
        values.push_back(Text(v * share));
        rows.push_back({rows.size() + 1, values});
      }
    StudyOptions o = runs.Options();
    o.Jobs = 0;
    std::optional<double> met;
    for (RowResult r : RunStudy(runs.Study(), rows, o, runs.Control())) {
      runs.Record(r);
      if (!met && MeetsTargets(r, p.Goal)) met = Number(r.Row.Values.back());
    }
    if (!met) return std::nullopt;
    best = SpeedBoundary(runs, fields, *met, v, tolerance, p.Goal);
    if (!best) return std::nullopt;
  }
  runs.AddWindow(*best);
  runs.Consider(*best);
  return best;
}

void RunStart(Start& s, std::vector<double> u0, int maxEvaluations, double tol, std::string& stop, double step) {
  const std::size_t n = u0.size();
  nlopt::opt o(nlopt::LN_COBYLA, static_cast<unsigned>(n));
  o.set_lower_bounds(std::vector<double>(n, 0.0));
  o.set_upper_bounds(std::vector<double>(n, 1.0));
  o.set_initial_step(std::vector<double>(n, step));
  o.set_maxeval(maxEvaluations);
  o.set_xtol_rel(tol);
  o.set_min_objective(Objective, &s);
  std::vector<Constraint> constraints = ConstraintsOf(&s);
  for (Constraint& c : constraints) o.add_inequality_constraint(ConstraintValue, &c, 1e-9);
  double f = 0;
  try {
    switch (o.optimize(u0, f)) {
      case nlopt::XTOL_REACHED: stop = "fields settled within the tolerance"; break;
      case nlopt::MAXEVAL_REACHED: stop = "evaluation limit reached"; break;
      case nlopt::FTOL_REACHED: stop = "speed no longer improving"; break;
      default: stop = "converged"; break;
    }
  } catch (const nlopt::forced_stop&) {
    stop = "cancelled";
  } catch (const std::exception& e) {
    stop = std::string("the optimiser stopped: ") + e.what();
  }
}

std::vector<double> Scaled(const Start& s, const std::vector<std::string>& values) {
  std::vector<double> u;
  for (std::size_t i = 0; i < s.lower.size(); ++i) u.push_back((Number(values[i]) - s.lower[i]) / (s.upper[i] - s.lower[i]));
  return u;
}

void CoarseThenFine(Start& fine, const std::vector<double>& u0, int maxEvaluations, double tol, std::string& stop) {
  const std::size_t n = u0.size();
  std::vector<std::size_t> gas;
  for (std::size_t i = 0; i + 1 < n; ++i)
    if (IsGasTemperature(fine.problem.Fields[i])) gas.push_back(i);
  std::vector<double> u = u0;
  double step = 0.1;
  for (std::size_t blocks = Blocks; blocks < gas.size(); blocks *= 2) {
    std::vector<int> block(n, -1);  // each variable's block, or -1: its own
    for (std::size_t j = 0; j < gas.size(); ++j) block[gas[j]] = static_cast<int>(j * blocks / gas.size());
    std::vector<std::size_t> own;
    for (std::size_t i = 0; i < n; ++i)
      if (block[i] < 0) own.push_back(i);
    Start coarse(fine.runs, fine.problem);
    coarse.Expand = [=](const std::vector<double>& v) {
      std::vector<double> x(n);
      for (std::size_t i = 0; i < n; ++i)
        if (block[i] >= 0) x[i] = v[static_cast<std::size_t>(block[i])];
      for (std::size_t k = 0; k < own.size(); ++k) x[own[k]] = v[blocks + k];
      return x;
    };
    // Each block starts at the mean place of its zones.
    std::vector<double> c(blocks, 0.0), count(blocks, 0.0);
    for (std::size_t i = 0; i < n; ++i)
      if (block[i] >= 0) c[block[i]] += u[i], count[block[i]] += 1;
    for (std::size_t b = 0; b < blocks; ++b) c[b] /= count[b];
    for (std::size_t i : own) c.push_back(u[i]);
    std::string coarseStop;
    RunStart(coarse, c, maxEvaluations, tol, coarseStop, step);
    if (coarseStop == "cancelled") {
      stop = coarseStop;
      return;
    }
    // The next schedule starts from this one's fastest run that met the
    // targets, a short step away: a long first step in every block at once
    // would undo what the coarser schedule found.
    if (coarse.best) u = Scaled(fine, coarse.best->Row.Values), step = FinerStep;
  }
  RunStart(fine, u, maxEvaluations, tol, stop, step);
}

namespace {

// Where each searched zone lies along the dryer, as shares of the length of
// the searched zones from the first one's entry: [entry, exit) per zone.
std::vector<std::pair<double, double>> ZoneSpans(const Runs& runs, const std::vector<std::size_t>& gas) {
  std::vector<double> length;
  double total = 0;
  for (std::size_t i : gas) {
    const double l = Number(runs.Study().Base.Text(ZoneComponent(runs.Problem().Fields[i].Field.Field->Zone, 2)));
    length.push_back(l > 0 ? l : 1.0);
    total += length.back();
  }
  std::vector<std::pair<double, double>> spans;
  double at = 0;
  for (double l : length) spans.emplace_back(at / total, (at + l) / total), at += l;
  return spans;
}

}  // namespace

std::vector<double> PlateauSchedule(const std::vector<std::pair<double, double>>& spans, const std::vector<double>& places,
                                    std::vector<double> edges) {
  std::sort(edges.begin(), edges.end());
  std::vector<double> out;
  for (const auto& [a, b] : spans) {
    double sum = 0, from = a;
    for (std::size_t k = 0; k < places.size(); ++k) {
      const double to = k < edges.size() ? std::clamp(edges[k], a, b) : b;
      if (to > from) sum += (to - from) * places[k], from = to;
    }
    out.push_back(sum / (b - a));
  }
  return out;
}

std::size_t GasZones(const DesignProblem& p) {
  return static_cast<std::size_t>(std::count_if(p.Fields.begin(), p.Fields.end(), IsGasTemperature));
}

void PlateausThenFine(Start& fine, const std::vector<double>& u0, int maxEvaluations, double tol, std::string& stop) {
  const std::size_t n = u0.size();
  std::vector<std::size_t> gas, own;
  for (std::size_t i = 0; i + 1 < n; ++i) (IsGasTemperature(fine.problem.Fields[i]) ? gas : own).push_back(i);
  own.push_back(n - 1);  // the speed
  if (gas.size() < 2) return RunStart(fine, u0, maxEvaluations, tol, stop);
  // The start as two plateaus: the edge at the zone boundary that leaves
  // the least square difference from it, each plateau at the mean of its
  // zones over their lengths.
  const std::vector<std::pair<double, double>> spans = ZoneSpans(fine.runs, gas);
  std::vector<double> c;
  double least = std::numeric_limits<double>::infinity();
  for (std::size_t cut = 1; cut < gas.size(); ++cut) {
    double mean[2] = {0, 0}, length[2] = {0, 0};
    for (std::size_t j = 0; j < gas.size(); ++j) {
      const double l = spans[j].second - spans[j].first;
      mean[j >= cut] += l * u0[gas[j]], length[j >= cut] += l;
    }
    mean[0] /= length[0], mean[1] /= length[1];
    double error = 0;
    for (std::size_t j = 0; j < gas.size(); ++j) {
      const double d = u0[gas[j]] - mean[j >= cut];
      error += (spans[j].second - spans[j].first) * d * d;
    }
    if (error < least - 1e-12) least = error, c = {mean[0], mean[1], spans[cut].first};
  }
  for (std::size_t i : own) c.push_back(u0[i]);
  Start coarse(fine.runs, fine.problem);
  coarse.Expand = [=](const std::vector<double>& v) {
    std::vector<double> x(n);
    const std::vector<double> zone = PlateauSchedule(spans, {v[0], v[1]}, {v[2]});
    for (std::size_t j = 0; j < gas.size(); ++j) x[gas[j]] = zone[j];
    for (std::size_t k = 0; k < own.size(); ++k) x[own[k]] = v[3 + k];
    return x;
  };
  std::string coarseStop;
  RunStart(coarse, c, maxEvaluations, tol, coarseStop);
  if (coarseStop == "cancelled") {
    stop = coarseStop;
    return;
  }
  // Every zone on its own from the plateaus' fastest run that met the
  // targets, a short step away: a long first step in every zone at once
  // would undo what the plateaus found.
  if (!coarse.best) return RunStart(fine, u0, maxEvaluations, tol, stop);
  RunStart(fine, Scaled(fine, coarse.best->Row.Values), maxEvaluations, tol, stop, FinerStep);
}

}  // namespace kelvane::design_search
