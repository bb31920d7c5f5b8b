// The speed/energy front on a short two-zone dryer: more heat allowed never
// means a slower line, every point keeps to its cap and dries, the caps
// span the cheapest run that dried to the unconstrained design, and a run
// that did not finish is never a point nor the front's cheap end.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "study/DesignEnergy.h"
#include "study/DesignAccount.h"
#include "study/DesignFront.h"
#include "study/StudyTable.h"
#include "design_cases.h"

namespace kelvane {
namespace {

using design_cases::ShortDryer;
DesignProblem Problem(const StudyDefinition& s) {
  DesignProblem p = design_cases::ShortDryerProblem(s);
  p.MaxEvaluations = 60;
  return p;
}

double Speed(const FrontPoint& p) { return std::stod(p.Row.Row.Values.back()); }

// The least heat of a finished run that met every target.
double CheapestDried(const DesignProblem& p, const std::vector<RowResult>& runs) {
  double least = 1e300;
  for (const RowResult& r : runs)
    if (r.Outcome == RowOutcome::Finished && MeetsTargets(r, p.Goal)) least = std::min(least, DesignEnergy(p, r));
  return least;
}

TEST(DesignFrontTest, MoreHeatAllowedIsNeverSlowerAndEachPointKeepsItsCap) {
  const StudyDefinition s = ShortDryer();
  const DesignProblem p = Problem(s);
  StudyOptions options;  // the robust solve
  StudyControl control;
  const DesignFrontResult f = DesignFront(s, p, 4, options, control);
  ASSERT_TRUE(f.Unconstrained.Found) << DesignReport(p, f.Unconstrained);
  ASSERT_EQ(f.Points.size(), 4u);

  // The ends: the cheapest run of the unconstrained design that dried, and
  // the design's own heat; the caps evenly between them.
  const double low = CheapestDried(p, f.Unconstrained.Evaluations), high = DesignEnergy(p, f.Unconstrained.BestRow);
  ASSERT_LT(low, high);
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_NEAR(f.Points[k].Cap, low + (high - low) * static_cast<double>(k) / 3, 1e-9 * high) << k;
  EXPECT_EQ(f.Points.back().Cap, high);

  for (std::size_t k = 0; k < f.Points.size(); ++k) {
    SCOPED_TRACE(k);
    const FrontPoint& q = f.Points[k];
    ASSERT_TRUE(q.Found);
    EXPECT_EQ(q.Row.Outcome, RowOutcome::Finished);
    EXPECT_TRUE(MeetsTargets(q.Row, p.Goal));
    EXPECT_LE(q.Heat, q.Cap);
    EXPECT_EQ(q.Heat, DesignEnergy(p, q.Row));
    ASSERT_TRUE(q.HeatPerKg.has_value());
    EXPECT_GT(*q.HeatPerKg, 0);
    if (k > 0) {
      EXPECT_GE(Speed(q), Speed(f.Points[k - 1]));
    }
  }
  // No run made for any cap is faster within a point's cap: a design
  // stopped short for one cap is made up by the runs of the others.
  for (const FrontPoint& q : f.Points)
    for (const RowResult& r : f.Evaluations) {
      if (r.Outcome != RowOutcome::Finished || !MeetsTargets(r, p.Goal) || DesignEnergy(p, r) > q.Cap) continue;
      EXPECT_LE(std::stod(r.Row.Values.back()), Speed(q)) << "run " << r.Row.Number << " within " << q.Cap;
    }
  // A real trade: the cheap end is slower than the top, where the cap
  // binds in between, and the top is the unconstrained design's speed.
  EXPECT_LT(Speed(f.Points.front()), Speed(f.Points.back()));
  EXPECT_GE(Speed(f.Points.back()), std::stod(f.Unconstrained.Speed));
  // Below the top, the fastest run for a cap uses all the heat it allows.
  for (std::size_t k = 1; k + 1 < f.Points.size(); ++k) EXPECT_GT(f.Points[k].Heat, f.Points[k].Cap * (1 - 1e-3)) << k;
  // Every run of every design is in the table, numbered in order.
  ASSERT_GT(f.Evaluations.size(), f.Unconstrained.Evaluations.size());
  for (std::size_t i = 0; i < f.Evaluations.size(); ++i) EXPECT_EQ(f.Evaluations[i].Row.Number, i + 1);
}

// The seed's march fails on this dryer at some speeds; a failed run has no
// heat (zero in its summary) and must neither set the cheap end nor be a
// point.
TEST(DesignFrontTest, AFailedRunIsNeverAPointNorTheCheapEnd) {
  const StudyDefinition s = ShortDryer();
  DesignProblem p = Problem(s);
  StudyOptions plain;
  plain.Robust = false;
  StudyControl control;
  const DesignFrontResult f = DesignFront(s, p, 2, plain, control);
  ASSERT_TRUE(f.Unconstrained.Found) << DesignReport(p, f.Unconstrained);
  ASSERT_TRUE(std::any_of(f.Evaluations.begin(), f.Evaluations.end(),
                          [](const RowResult& r) { return r.Outcome == RowOutcome::Failed; }))
      << "no run failed: the case no longer tests anything";
  ASSERT_EQ(f.Points.size(), 2u);
  EXPECT_EQ(f.Points.front().Cap, CheapestDried(p, f.Unconstrained.Evaluations));
  EXPECT_GT(f.Points.front().Cap, 0);
  for (const FrontPoint& q : f.Points) {
    ASSERT_TRUE(q.Found);
    EXPECT_EQ(q.Row.Outcome, RowOutcome::Finished);
    EXPECT_GT(q.Heat, 0);
  }
}

// Each line of the CSV has the header's columns, whether its cap was met or
// not, with the binding quoted (it holds commas).
TEST(DesignFrontTest, TheCsvKeepsItsColumnsForPointsFoundOrNot) {
  DesignProblem p = Problem(ShortDryer());
  DesignFrontResult f;
  FrontPoint none;
  none.Cap = 10;
  FrontPoint found;
  found.Cap = 12.5;
  found.Found = true;
  found.Row.Row.Values = {"160", "84.7322", "0.667514"};
  found.Heat = 12.25;
  found.HeatPerKg = 573.5;
  found.Binding = "the film temperature in zone 2: 75 °C (limit 75 °C); the \"upper\" bound";
  f.Points = {none, found};
  const std::string csv = FrontCsv(p, f);
  std::istringstream in(csv);
  std::string line;
  std::vector<int> columns;
  while (std::getline(in, line)) {
    int n = 1;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') quoted = !quoted;
      if (c == ',' && !quoted) ++n;
    }
    columns.push_back(n);
  }
  ASSERT_EQ(columns.size(), 3u) << csv;
  EXPECT_EQ(columns[0], 8) << csv;  // point, cap, speed, two heats, two fields, binding
  EXPECT_EQ(columns[1], 8) << csv;
  EXPECT_EQ(columns[2], 8) << csv;
  EXPECT_NE(csv.find("\n2,12.5,0.667514,12.25,573.5,160,84.7322,\"the film temperature in zone 2: 75 °C (limit 75 "
                     "°C); the \"\"upper\"\" bound\"\n"),
            std::string::npos)
      << csv;
  EXPECT_EQ(csv.rfind("point,energy_cap_kj_per_m2,WebSpeed,heat_kj_per_m2,heat_kj_per_kg,OuterTemperature[1],"
                      "OuterTemperature[2],binding\n",
                      0),
            0u)
      << csv;
}

}  // namespace
}  // namespace kelvane
