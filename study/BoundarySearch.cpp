#include "study/BoundarySearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <utility>

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

bool HasAnswer(SearchEnd end) {
  return end == SearchEnd::Boundary || end == SearchEnd::BoundReached || end == SearchEnd::BeyondFailed;
}

namespace {

enum class Verdict { Met, Missed, Failed, Stopped };

Verdict VerdictOf(const RowResult& r, const Targets& goal, std::string* why = nullptr) {
  if (r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun) return Verdict::Stopped;
  if (r.Outcome != RowOutcome::Finished) {
    // The engine's own text, then what it means in English.
    if (why)
      *why = std::string(RowOutcomeName(r.Outcome)) + (r.Message.empty() ? "" : ": " + r.Message) +
             (r.Explanation.empty() ? "" : " — " + r.Explanation);
    return Verdict::Failed;
  }
  return MeetsTargets(r, goal, why) ? Verdict::Met : Verdict::Missed;
}

// Rounds without an answer (every point failed) before the search gives up
// on narrowing further.
constexpr int MaxBarrenRounds = 4;
// How many grid steps away from its place a point that failed is replaced.
constexpr int MaxNudge = 64;

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
  std::set<std::string> tried;
  auto run = [&](const std::vector<std::string>& texts) {
    std::vector<StudyRow> rows;
    for (const std::string& t : texts) {
      rows.push_back({result.Evaluations.size() + rows.size() + 1, {t}});
      tried.insert(t);
    }
    std::vector<RowResult> r = RunStudy(study, rows, options, control);
    for (const RowResult& x : r) result.Evaluations.push_back(x);
    return r;
  };
  auto stopped = [&](const std::vector<RowResult>& rows) {
    for (const RowResult& r : rows)
      if (VerdictOf(r, s.Goal) == Verdict::Stopped) return true;
    return false;
  };
  // Distance from the near end along the search's direction.
  const double sign = s.Maximize ? 1.0 : -1.0;

  // The near end is where the targets are expected to hold: the lower bound
  // when maximizing.  Both ends are run together.
  std::string nearText = s.Maximize ? s.Lower : s.Upper, farText = s.Maximize ? s.Upper : s.Lower;
  const std::vector<RowResult> ends = run({nearText, farText});
  if (stopped(ends)) {
    result.End = SearchEnd::Cancelled;
    return result;
  }
  switch (VerdictOf(ends[0], s.Goal, &result.Why)) {
    case Verdict::Failed: result.End = SearchEnd::NearFailed; return result;
    case Verdict::Missed: result.End = SearchEnd::NoneFeasible; return result;
    default: break;
  }
  const Verdict farVerdict = VerdictOf(ends[1], s.Goal);
  if (farVerdict == Verdict::Met) {
    result.End = SearchEnd::BoundReached;
    result.Best = farText;
    result.BestRow = ends[1];
    return result;
  }
  // near meets the targets; far misses them, or failed and so says nothing.
  double nearX = Value(nearText, "bound"), farX = Value(farText, "bound");
  RowResult nearRow = ends[0], farRow = ends[1];
  bool farFailed = farVerdict == Verdict::Failed;
  const int threads = std::max(1, StudyThreads(options.Jobs));
  auto inside = [&](double x) { return sign * (x - nearX) > 0 && sign * (farX - x) > 0; };
  int barren = 0;
  while (std::fabs(farX - nearX) > tol * (1 + 1e-9) && barren < MaxBarrenRounds) {
    // `threads` points dividing the bracket evenly, on the grid, strictly
    // inside; a point already run (it failed) gives way to the nearest
    // untried point of the grid.
    std::vector<std::pair<double, std::string>> points;
    auto taken = [&](const std::string& t) {
      if (tried.count(t)) return true;
      for (const auto& p : points)
        if (p.second == t) return true;
      return false;
    };
    for (int i = 1; i <= threads; ++i) {
      const double ideal = nearX + (farX - nearX) * i / (threads + 1);
      for (int k = 0; k <= MaxNudge; ++k) {
        bool placed = false;
        for (int side : {1, -1}) {
          if (k == 0 && side < 0) continue;
          const std::string t = grid.Text(ideal + side * k * grid.Step);
          const double x = Value(t, "point");
          if (inside(x) && !taken(t)) {
            points.emplace_back(x, t);
            placed = true;
            break;
          }
        }
        if (placed) break;
      }
    }
    if (points.empty()) break;  // the grid has no untried point left between the ends
    std::sort(points.begin(), points.end(),
              [&](const auto& a, const auto& b) { return sign * a.first < sign * b.first; });
    std::vector<std::string> texts;
    for (const auto& p : points) texts.push_back(p.second);
    const std::vector<RowResult> rows = run(texts);
    if (stopped(rows)) {
      result.End = SearchEnd::Cancelled;
      return result;
    }
    // The new bracket: the last point meeting the targets before the first
    // that misses them; failed points are passed over.
    bool progress = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Verdict v = VerdictOf(rows[i], s.Goal);
      if (v == Verdict::Met) {
        nearX = points[i].first;
        nearText = texts[i];
        nearRow = rows[i];
        progress = true;
      } else if (v == Verdict::Missed) {
        farX = points[i].first;
        farText = texts[i];
        farRow = rows[i];
        farFailed = false;
        progress = true;
        break;
      }
    }
    barren = progress ? 0 : barren + 1;
  }
  result.End = farFailed ? SearchEnd::BeyondFailed : SearchEnd::Boundary;
  result.Best = nearText;
  result.BestRow = nearRow;
  result.Beyond = farText;
  result.BeyondRow = farRow;
  // What the runs made say beyond the answer: failures inside the final
  // bracket, and the targets met again past the first miss.
  std::vector<std::pair<double, std::string>> failed;
  double metAgain = 0;
  for (const RowResult& r : result.Evaluations) {
    const double x = Value(r.Row.Values[0], "point");
    const Verdict v = VerdictOf(r, s.Goal);
    if (v == Verdict::Failed && inside(x)) failed.emplace_back(x, r.Row.Values[0]);
    if (v == Verdict::Met && !farFailed && sign * (x - farX) > 0 &&
        (result.MetAgain.empty() || sign * (x - metAgain) < 0)) {
      metAgain = x;
      result.MetAgain = r.Row.Values[0];
    }
  }
  std::sort(failed.begin(), failed.end(), [&](const auto& a, const auto& b) { return sign * a.first < sign * b.first; });
  for (const auto& f : failed) result.FailedBetween.push_back(f.second);
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
  std::string failedBetween;
  for (const std::string& t : r.FailedBetween) failedBetween += (failedBetween.empty() ? "" : ", ") + t;
  const std::string again =
      r.MetAgain.empty() ? std::string()
                         : "; but " + name + "=" + r.MetAgain +
                               " meets the targets again beyond it: the targets are not met on one side of a single "
                               "boundary, and this is the first boundary found";
  switch (r.End) {
    case SearchEnd::Boundary:
      return name + "=" + r.Best + " meets the targets and " + name + "=" + r.Beyond +
             " does not: the boundary lies between them (tolerance " + ShortestNumber(r.Tolerance) + "; " + runs +
             (failedBetween.empty() ? "" : "; the runs at " + name + "=" + failedBetween + " between them failed") +
             ")" + again;
    case SearchEnd::BoundReached: return name + "=" + r.Best + ", the bound itself, meets the targets (" + runs + ")";
    case SearchEnd::NoneFeasible:
      return "no setting in the bounds meets the targets (at " + name + "=" + (s.Maximize ? s.Lower : s.Upper) +
             ": " + r.Why + ")";
    case SearchEnd::NearFailed:
      return "the run at " + name + "=" + (s.Maximize ? s.Lower : s.Upper) +
             ", the lenient end of the bounds, did not finish, so no setting is known to meet the targets (" + r.Why +
             ")";
    case SearchEnd::BeyondFailed: {
      const std::string why = r.BeyondRow.Message.empty() ? std::string(RowOutcomeName(r.BeyondRow.Outcome))
                                                          : r.BeyondRow.Message;
      return name + "=" + r.Best + " meets the targets; the run at " + name + "=" + r.Beyond +
             " beyond it did not finish (" + why + "), and no run beyond it finished, so whether settings beyond it "
             "meet the targets is not known (" + runs + ")";
    }
    case SearchEnd::Cancelled: break;
  }
  return "cancelled after " + runs;
}

}  // namespace kelvane
