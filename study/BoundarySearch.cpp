#include "study/BoundarySearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

double Value(const std::string& text, const char* what) {
  long double v = 0;
  if (!TextToExtended(text, '.', v)) throw std::invalid_argument(std::string(what) + " \"" + text + "\" is not a number");
  return static_cast<double>(v);
}

// Points are written on a decimal grid no coarser than the tolerance, so
// that every value run is a short text that can be typed back in.
struct Grid {
  double Step = 1;
  int Decimals = 0;
  std::string Text(double x) const {
    const double g = std::round(x / Step) * Step;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", Decimals, g);
    return buf;
  }
};

// The tolerance asked for, or a thousandth of the bounds' span rounded down
// to a power of ten.
double ToleranceFor(double lower, double upper, double asked) {
  return asked > 0 ? asked : std::pow(10.0, std::floor(std::log10((upper - lower) / 1000)));
}

Grid GridFor(double tolerance) {
  Grid g;
  const int e = static_cast<int>(std::floor(std::log10(tolerance)));
  g.Step = std::pow(10.0, e);
  g.Decimals = e < 0 ? -e : 0;
  return g;
}

}  // namespace

BoundaryResult SearchBoundary(const StudyDefinition& base, const BoundarySearch& s, const StudyOptions& options,
                              StudyControl& control) {
  const double lower = Value(s.Lower, "lower bound"), upper = Value(s.Upper, "upper bound");
  if (!(lower < upper)) throw std::invalid_argument("the bounds " + s.Lower + ":" + s.Upper + " are not in order");
  BoundaryResult result;
  const double tol = ToleranceFor(lower, upper, s.Tolerance);
  result.Tolerance = tol;
  const Grid grid = GridFor(tol);

  StudyDefinition study;
  study.Base = base.Base;
  study.Varied = {s.Field};
  auto run = [&](const std::vector<std::string>& texts) {
    std::vector<StudyRow> rows;
    for (const std::string& t : texts) rows.push_back({result.Evaluations.size() + rows.size() + 1, {t}});
    std::vector<RowResult> r = RunStudy(study, rows, options, control);
    for (const RowResult& x : r) result.Evaluations.push_back(x);
    return r;
  };
  auto cancelled = [&](const std::vector<RowResult>& rows) {
    for (const RowResult& r : rows)
      if (r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun) return true;
    return false;
  };

  // The near end is where the targets are expected to hold: the lower bound
  // when maximizing.  Both ends are run together.
  std::string nearText = s.Maximize ? s.Lower : s.Upper, farText = s.Maximize ? s.Upper : s.Lower;
  const std::vector<RowResult> ends = run({nearText, farText});
  if (cancelled(ends)) {
    result.End = SearchEnd::Cancelled;
    return result;
  }
  if (!MeetsTargets(ends[0], s.Goal, &result.Why)) {
    result.End = SearchEnd::NoneFeasible;
    return result;
  }
  if (MeetsTargets(ends[1], s.Goal)) {
    result.End = SearchEnd::BoundReached;
    result.Best = farText;
    result.BestRow = ends[1];
    return result;
  }
  // near meets the targets, far does not: narrow [near, far].
  double nearX = Value(nearText, "bound"), farX = Value(farText, "bound");
  RowResult nearRow = ends[0], farRow = ends[1];
  const int threads = std::max(1, StudyThreads(options.Jobs));
  while (std::fabs(farX - nearX) > tol * (1 + 1e-9)) {
    // `threads` points dividing the bracket evenly, on the grid, strictly inside.
    std::vector<std::string> texts;
    std::vector<double> xs;
    for (int i = 1; i <= threads; ++i) {
      const std::string t = grid.Text(nearX + (farX - nearX) * i / (threads + 1));
      const double x = Value(t, "point");
      const bool inside = s.Maximize ? (x > nearX && x < farX) : (x < nearX && x > farX);
      if (inside && (xs.empty() || x != xs.back())) {
        texts.push_back(t);
        xs.push_back(x);
      }
    }
    if (texts.empty()) break;  // the grid has no point left between the ends
    const std::vector<RowResult> rows = run(texts);
    if (cancelled(rows)) {
      result.End = SearchEnd::Cancelled;
      return result;
    }
    // The new bracket: the last point meeting the targets before the first
    // that misses them.
    std::size_t i = 0;
    while (i < rows.size() && MeetsTargets(rows[i], s.Goal)) ++i;
    if (i > 0) {
      nearX = xs[i - 1];
      nearText = texts[i - 1];
      nearRow = rows[i - 1];
    }
    if (i < rows.size()) {
      farX = xs[i];
      farText = texts[i];
      farRow = rows[i];
    }
  }
  result.End = SearchEnd::Boundary;
  result.Best = nearText;
  result.BestRow = nearRow;
  result.Beyond = farText;
  result.BeyondRow = farRow;
  return result;
}

std::size_t ExpectedRuns(const BoundarySearch& s, int threads) {
  long double lower = 0, upper = 0;
  if (!TextToExtended(s.Lower, '.', lower) || !TextToExtended(s.Upper, '.', upper) || !(lower < upper)) return 0;
  const double span = static_cast<double>(upper - lower);
  const double tol = ToleranceFor(static_cast<double>(lower), static_cast<double>(upper), s.Tolerance);
  const int t = std::max(1, threads);
  const double rounds = span > tol ? std::ceil(std::log(span / tol) / std::log(t + 1.0)) : 0;
  return 2 + static_cast<std::size_t>(rounds) * static_cast<std::size_t>(t);
}

std::string BoundaryAnswer(const BoundarySearch& s, const BoundaryResult& r) {
  const std::string& name = s.Field.Name;
  const std::string runs = std::to_string(r.Evaluations.size()) + " runs";
  switch (r.End) {
    case SearchEnd::Boundary:
      return name + "=" + r.Best + " meets the targets and " + name + "=" + r.Beyond +
             " does not: the boundary lies between them (tolerance " + ShortestNumber(r.Tolerance) + "; " + runs + ")";
    case SearchEnd::BoundReached: return name + "=" + r.Best + ", the bound itself, meets the targets (" + runs + ")";
    case SearchEnd::NoneFeasible:
      return "no setting in the bounds meets the targets (at " + name + "=" + (s.Maximize ? s.Lower : s.Upper) +
             ": " + r.Why + ")";
    case SearchEnd::Cancelled: break;
  }
  return "cancelled after " + runs;
}

}  // namespace kelvane
