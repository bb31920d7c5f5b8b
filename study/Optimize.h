#pragma once
// The best setting of several fields that meets the targets, by NLopt's
// COBYLA (a derivative-free optimiser for inequality constraints): the
// objective is one of the searched fields or a summary column, maximised or
// minimised, and every target is a constraint.  A run that fails counts as
// missing every target by a wide margin.  The best point is the best run
// that met the targets, whatever the optimiser reports last.

#include <string>
#include <vector>

#include "study/StudyRun.h"
#include "study/Targets.h"

namespace kelvane {

struct SearchedField {
  VariedField Field;  // its Values are ignored
  double Lower = 0, Upper = 0;
};

struct Optimization {
  std::vector<SearchedField> Fields;
  std::string Objective;  // a searched field's name or a summary column's
  bool Maximize = true;
  Targets Goal;
  int MaxEvaluations = 60;
  double RelativeTolerance = 1e-3;  // on the fields, relative to their spans
};

struct OptimizationResult {
  bool Found = false;        // a run met the targets
  bool Cancelled = false;
  std::vector<std::string> Best;  // texts of the fields at the best run
  RowResult BestRow;
  double BestObjective = 0;
  std::string Stop;          // why the optimiser stopped
  std::vector<RowResult> Evaluations;
};

// Throws std::invalid_argument for an objective that names nothing known or
// bounds not in order.
OptimizationResult Optimize(const StudyDefinition& base, const Optimization& opt, const StudyOptions& options,
                            StudyControl& control);

}  // namespace kelvane
