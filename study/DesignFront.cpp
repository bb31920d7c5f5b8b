#include "study/DesignFront.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "study/DesignAccount.h"
#include "study/DesignEnergy.h"
#include "study/DesignAnswer.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

double Number(const std::string& t) { return std::strtod(t.c_str(), nullptr); }

double Speed(const RowResult& r) { return Number(r.Row.Values.back()); }

// The fastest run that meets the problem's targets and cap; at one speed,
// the one that takes the least heat.
const RowResult* Fastest(const DesignProblem& p, const std::vector<RowResult>& runs) {
  const RowResult* best = nullptr;
  for (const RowResult& r : runs) {
    if (!DesignFeasible(p, r)) continue;
    if (!best || BetterDesign(p, r, *best)) best = &r;
  }
  return best;
}

std::string Quoted(const std::string& text) {
  std::string q = "\"";
  for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

}  // namespace

DesignFrontResult DesignFront(const StudyDefinition& base, const DesignProblem& problem, int points,
                              const StudyOptions& options, StudyControl& control) {
  if (points < 2) throw std::invalid_argument("the front needs at least 2 points");
  DesignFrontResult f;
  std::vector<RowResult>& all = f.Evaluations;
  auto keep = [&all](const DesignResult& d) {
    for (RowResult r : d.Evaluations) {
      r.Row.Number = all.size() + 1;
      all.push_back(std::move(r));
    }
  };
  f.Unconstrained = Design(base, problem, options, control);
  keep(f.Unconstrained);
  f.Cancelled = f.Unconstrained.Cancelled;
  if (!f.Unconstrained.Found || f.Cancelled) return f;

  // The ends: the cheapest run that dried, and the unconstrained design.
  const double high = DesignEnergy(problem, f.Unconstrained.BestRow);
  double low = high;
  std::vector<std::string> start = f.Unconstrained.BestRow.Row.Values;
  for (const RowResult& r : all)
    if (DesignFeasible(problem, r) && DesignEnergy(problem, r) < low) {
      low = DesignEnergy(problem, r);
      start = r.Row.Values;
    }

  std::vector<DesignProblem> capped(static_cast<std::size_t>(points), problem);
  for (int k = 0; k < points; ++k) {
    DesignProblem& q = capped[static_cast<std::size_t>(k)];
    q.MaxHeat = k == points - 1 ? high : low + (high - low) * k / (points - 1);
    // The last cap is the unconstrained design's own heat: no design to add.
    if (k == points - 1 || f.Cancelled) continue;
    q.Start = start;
    const DesignResult d = Design(base, q, options, control);
    keep(d);
    f.Cancelled = d.Cancelled;
    if (const RowResult* r = Fastest(q, all)) start = r->Row.Values;
  }

  // Each point from every run made: a run of a later design may serve a
  // lower cap too.
  for (const DesignProblem& q : capped) {
    FrontPoint p;
    p.Cap = *q.MaxHeat;
    if (const RowResult* r = Fastest(q, all)) {
      p.Found = true;
      p.Row = *r;
      // Below the top the cap binds by construction: name what else does.
      p.Binding = DesignBinding(problem, *r);
      p.Heat = DesignEnergy(problem, *r);
      if (r->Details.Run.Evaporated > 0) p.HeatPerKg = p.Heat / (r->Details.Run.Evaporated / 1000);
    }
    f.Points.push_back(p);
  }
  f.NonDominated = NonDominatedRuns(problem, all);
  return f;
}

std::vector<RowResult> NonDominatedRuns(const DesignProblem& problem, const std::vector<RowResult>& runs) {
  // Fastest first, the cheaper of equal speeds first; a run joins the front
  // when it takes less heat than every faster run already on it.
  std::vector<const RowResult*> dried;
  for (const RowResult& r : runs)
    if (DesignFeasible(problem, r)) dried.push_back(&r);
  std::stable_sort(dried.begin(), dried.end(), [&problem](const RowResult* a, const RowResult* b) {
    return Speed(*a) > Speed(*b) ||
           (Speed(*a) == Speed(*b) && DesignEnergy(problem, *a) < DesignEnergy(problem, *b));
  });
  std::vector<RowResult> front;
  double least = std::numeric_limits<double>::infinity();
  for (const RowResult* r : dried)
    if (DesignEnergy(problem, *r) < least) {
      least = DesignEnergy(problem, *r);
      front.push_back(*r);
    }
  return front;
}

std::string FrontCsv(const DesignProblem& problem, const DesignFrontResult& front) {
  std::string s = "point,energy_cap_kj_per_m2,WebSpeed,heat_kj_per_m2,heat_kj_per_kg";
  for (const SearchedField& f : problem.Fields) s += "," + f.Field.Name;
  s += ",binding\n";
  for (std::size_t k = 0; k < front.Points.size(); ++k) {
    const FrontPoint& p = front.Points[k];
    s += std::to_string(k + 1) + "," + ShortestNumber(p.Cap) + ",";
    if (!p.Found) {
      s += ",," + std::string(problem.Fields.size() + 1, ',') + Quoted("no run met the targets within the cap") + "\n";
      continue;
    }
    const std::vector<std::string>& v = p.Row.Row.Values;
    s += v.back() + "," + ShortestNumber(p.Heat) + "," + (p.HeatPerKg ? ShortestNumber(*p.HeatPerKg) : "");
    for (std::size_t i = 0; i + 1 < v.size(); ++i) s += "," + v[i];
    s += "," + Quoted(p.Binding) + "\n";
  }
  return s;
}

}  // namespace kelvane
