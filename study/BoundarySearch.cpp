#include "study/BoundarySearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "run/ReadRunParameters.h"

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
  double tol = s.Tolerance;
  if (!(tol > 0)) tol = std::pow(10.0, std::floor(std::log10((upper - lower) / 1000)));
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

}  // namespace kelvane
