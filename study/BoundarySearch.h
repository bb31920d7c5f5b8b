#pragma once
// The best value of one field that still meets the targets, found by
// bracketing: the search proves both ends of its bracket by running them
// (the one end meets the targets, the other does not) and narrows the
// bracket until it is no wider than the tolerance.  Each round runs as many
// points inside the bracket as there are threads.  The targets are assumed
// to be met on one side of a single boundary (a faster web leaves more
// solvent).  A run that fails is no answer: it neither meets nor misses the
// targets, the bracket moves only between runs that finished, and a point
// that failed is replaced by an untried point near it.

#include <cstddef>
#include <string>
#include <vector>

#include "study/StudyRun.h"
#include "study/Targets.h"

namespace kelvane {

struct BoundarySearch {
  VariedField Field;        // the field searched (its Values are ignored)
  std::string Lower, Upper; // the bounds as texts, Lower < Upper
  bool Maximize = true;     // the largest value that meets the targets, or the smallest
  double Tolerance = 0;     // width of the final bracket; 0: a thousandth of the bounds' span
  Targets Goal;
};

enum class SearchEnd {
  Boundary,       // Best meets the targets, Beyond does not, within the tolerance
  BoundReached,   // the far bound itself meets the targets: Best is that bound
  NoneFeasible,   // the near bound misses the targets (so, by the assumption, does every value)
  NearFailed,     // the run at the near bound failed: nothing is known to meet the targets
  BeyondFailed,   // Best meets the targets; no run beyond it finished (Beyond is a failed run)
  Cancelled,
};

// True for the ends that found a setting meeting the targets.
bool HasAnswer(SearchEnd end);

struct BoundaryResult {
  SearchEnd End = SearchEnd::NoneFeasible;
  double Tolerance = 0;           // as used
  std::string Best;               // the text of the best value (empty unless Boundary / BoundReached)
  RowResult BestRow;
  std::string Beyond;             // the nearest value found to miss the targets
  RowResult BeyondRow;
  std::string Why;                // what the near bound missed (NoneFeasible) or why it failed (NearFailed)
  // Runs between Best and Beyond that failed, in the order of the field.
  std::vector<std::string> FailedBetween;
  // A value beyond Beyond whose run met the targets again: the targets are
  // not met on one side of a single boundary, and Best is the first
  // boundary found.  Empty when no run showed that.
  std::string MetAgain;
  std::vector<RowResult> Evaluations;  // every run, numbered in the order made
};

// Throws std::invalid_argument for bounds that are not numbers or not in order.
// Each run reports to control.RowDone as it ends, numbered in the order made
// (runs of one round may end out of order); control.Cancel stops the search
// after the runs in progress.
BoundaryResult SearchBoundary(const StudyDefinition& base, const BoundarySearch& search, const StudyOptions& options,
                              StudyControl& control);

// About how many runs the search makes with `threads` threads, for a
// progress bar: both bounds, then rounds of one point per thread, each
// dividing the bracket by threads + 1, until it is no wider than the
// tolerance.  The grid of short texts can make it one round more or fewer.
// 0 for bounds the search would refuse.
std::size_t ExpectedRuns(const BoundarySearch& search, int threads);

// What the search found, in one sentence:
//   "WebSpeed=0.3056 meets the targets and WebSpeed=0.3057 does not: the
//    boundary lies between them (tolerance 1e-04; 17 runs)",
//   with what failed between them and a value that meets the targets again
//   beyond the boundary where runs showed them;
//   "WebSpeed=5, the bound itself, meets the targets (2 runs)",
//   "no setting in the bounds meets the targets (at WebSpeed=0.1: residual 6.6 % > 5 %)",
//   "the run at WebSpeed=0.1, the lenient end of the bounds, failed: ...",
//   "cancelled after 3 runs".
std::string BoundaryAnswer(const BoundarySearch& search, const BoundaryResult& result);

}  // namespace kelvane
