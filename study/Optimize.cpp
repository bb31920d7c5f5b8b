#include "study/Optimize.h"

#include "study/StudyTable.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <nlopt.hpp>
#include <stdexcept>

namespace kelvane {

namespace {

// Fields are written with ten significant digits: short texts that read
// back to the value run.
std::string FieldText(double x) { return FieldValueText(x, 10); }

struct Problem {
  Problem(const Optimization& o, const StudyOptions& so, StudyControl& c, OptimizationResult& r)
      : Opt(o), Options(so), Control(c), Result(r) {}
  const Optimization& Opt;
  StudyDefinition Study;
  const StudyOptions& Options;
  StudyControl& Control;
  OptimizationResult& Result;
  int ObjectiveField = -1;   // index into Opt.Fields, or -1
  int ObjectiveColumn = -1;  // index into SummaryColumns(), or -1
  std::vector<double> LastX;
  RowResult Last;
  double Scale = 1;          // typical size of the objective

  // Runs the point x unless it was the last one run (the constraints are
  // asked for the same x as the objective).
  const RowResult& At(const std::vector<double>& x) {
    if (x == LastX && Last.Row.Number != 0) return Last;
    StudyRow row;
    row.Number = Result.Evaluations.size() + 1;
    // The run is made with the texts, so its field values are the texts'.
    std::vector<double> ran;
    for (double v : x) {
      row.Values.push_back(FieldText(v));
      ran.push_back(std::strtod(row.Values.back().c_str(), nullptr));
    }
    std::vector<RowResult> r = RunStudy(Study, {row}, Options, Control);
    Last = r[0];
    LastX = x;
    Result.Evaluations.push_back(Last);
    if (Last.Outcome == RowOutcome::Cancelled || Last.Outcome == RowOutcome::NotRun) {
      Result.Cancelled = true;
      throw nlopt::forced_stop();
    }
    if (MeetsTargets(Last, Opt.Goal)) {
      const double f = ObjectiveOf(Last, ran);
      if (!Result.Found || (Opt.Maximize ? f > Result.BestObjective : f < Result.BestObjective)) {
        Result.Found = true;
        Result.Best = row.Values;
        Result.BestRow = Last;
        Result.BestObjective = f;
      }
    }
    return Last;
  }

  // The objective's value; NaN when the run has no such value.
  double ObjectiveOf(const RowResult& r, const std::vector<double>& x) const {
    if (ObjectiveField >= 0) return x[static_cast<std::size_t>(ObjectiveField)];
    const auto& v = r.Summary[static_cast<std::size_t>(ObjectiveColumn)];
    return v ? *v : std::numeric_limits<double>::quiet_NaN();
  }
};

double ObjectiveFn(const std::vector<double>& x, std::vector<double>&, void* data) {
  Problem& p = *static_cast<Problem*>(data);
  const RowResult& r = p.At(x);
  std::vector<double> ran;
  for (const std::string& t : r.Row.Values) ran.push_back(std::strtod(t.c_str(), nullptr));
  double f = p.ObjectiveOf(r, ran);
  // A run without the value is a poor point, not a stop.
  if (!std::isfinite(f)) return 1e3 * p.Scale;
  // nlopt minimises.
  return p.Opt.Maximize ? -f : f;
}

// One constraint per target: its violation, scaled to the target's size.
struct Constraint {
  Problem* P;
  int Which;  // 0 residual, 1 film temperature, 2 boiling, 3 boiling margin, 4 skinning, 5 LFL share
};

double ConstraintFn(const std::vector<double>& x, std::vector<double>&, void* data) {
  const Constraint& c = *static_cast<Constraint*>(data);
  const RowResult& r = c.P->At(x);
  const TargetViolations v = Violations(r, c.P->Opt.Goal, 1e3);
  switch (c.Which) {
    case 0: return *v.Residual;
    case 1: return *v.FilmTemperature;
    case 2: return *v.Boiling;
    case 3: return *v.BoilingMargin;
    case 5: return *v.LflShare;
    default: return *v.Skinning;
  }
}

const char* StopText(nlopt::result r) {
  switch (r) {
    case nlopt::SUCCESS: return "converged";
    case nlopt::STOPVAL_REACHED: return "stop value reached";
    case nlopt::FTOL_REACHED: return "objective no longer improving";
    case nlopt::XTOL_REACHED: return "fields settled within the tolerance";
    case nlopt::MAXEVAL_REACHED: return "evaluation limit reached";
    case nlopt::MAXTIME_REACHED: return "time limit reached";
    default: return "stopped";
  }
}

}  // namespace

OptimizationResult Optimize(const StudyDefinition& base, const Optimization& opt, const StudyOptions& options,
                            StudyControl& control) {
  OptimizationResult result;
  if (opt.Fields.empty()) throw std::invalid_argument("no field to search");
  Problem p(opt, options, control, result);
  p.Study.Base = base.Base;
  const std::size_t n = opt.Fields.size();
  std::vector<double> lb(n), ub(n), x0(n), step(n);
  for (std::size_t i = 0; i < n; ++i) {
    const SearchedField& f = opt.Fields[i];
    if (!(f.Lower < f.Upper)) throw std::invalid_argument(f.Field.Name + ": the bounds are not in order");
    p.Study.Varied.push_back(f.Field);
    if (f.Field.Field == FindField(opt.Objective)) p.ObjectiveField = static_cast<int>(i);
    lb[i] = f.Lower;
    ub[i] = f.Upper;
    x0[i] = (f.Lower + f.Upper) / 2;
    step[i] = (f.Upper - f.Lower) / 4;
  }
  if (p.ObjectiveField < 0) {
    p.ObjectiveColumn = SummaryColumnIndex(opt.Objective);
    if (p.ObjectiveColumn < 0)
      throw std::invalid_argument("the objective \"" + opt.Objective +
                                  "\" is neither a searched field nor a summary column");
  }
  if (p.ObjectiveField >= 0) p.Scale = std::max(std::fabs(ub[static_cast<std::size_t>(p.ObjectiveField)]), 1.0);

  nlopt::opt o(nlopt::LN_COBYLA, static_cast<unsigned>(n));
  o.set_lower_bounds(lb);
  o.set_upper_bounds(ub);
  o.set_initial_step(step);
  o.set_maxeval(opt.MaxEvaluations);
  o.set_xtol_rel(opt.RelativeTolerance);
  o.set_min_objective(ObjectiveFn, &p);
  std::vector<Constraint> constraints;
  if (opt.Goal.MaxResidual) constraints.push_back({&p, 0});
  if (opt.Goal.MaxFilmTemperature) constraints.push_back({&p, 1});
  if (opt.Goal.NoBoiling) constraints.push_back({&p, 2});
  if (opt.Goal.MinBoilingMargin) constraints.push_back({&p, 3});
  if (opt.Goal.NoSkinning) constraints.push_back({&p, 4});
  if (opt.Goal.MaxLflShare) constraints.push_back({&p, 5});
  for (Constraint& c : constraints) o.add_inequality_constraint(ConstraintFn, &c, 1e-9);
  double f = 0;
  try {
    result.Stop = StopText(o.optimize(x0, f));
  } catch (const nlopt::forced_stop&) {
    result.Stop = "cancelled";
  } catch (const std::exception& e) {
    result.Stop = std::string("the optimiser stopped: ") + e.what();
  }
  return result;
}

}  // namespace kelvane
