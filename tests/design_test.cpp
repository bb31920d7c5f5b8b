// The dryer's design against an exhaustive grid of schedules and speeds on a
// short two-zone dryer, where a film-temperature limit and the residual
// target pull the two zones' gas temperatures apart.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "study/Design.h"
#include "study/StudyTable.h"
#include "design_cases.h"

namespace kelvane {
namespace {

using design_cases::ShortDryer;
DesignProblem Problem(const StudyDefinition& s) { return design_cases::ShortDryerProblem(s); }

TEST(DesignTest, NoSlowerThanTheBestOfAnExhaustiveGrid) {
  const StudyDefinition s = ShortDryer();
  const DesignProblem p = Problem(s);
  ASSERT_EQ(p.Fields.size(), 2u);
  StudyOptions options;  // the robust solve
  StudyControl control;
  const DesignResult d = Design(s, p, options, control);
  ASSERT_TRUE(d.Found) << DesignReport(p, d);
  // The design is a run that finished and met every target.
  EXPECT_EQ(d.BestRow.Outcome, RowOutcome::Finished);
  EXPECT_TRUE(MeetsTargets(d.BestRow, p.Goal));
  EXPECT_TRUE(d.LocallyOptimal) << DesignReport(p, d);
  const double speed = std::stod(d.Speed);

  // Every schedule of a 4 x 4 grid at every 0.05 m/s.
  StudyDefinition grid = s;
  grid.Varied = {ParseVaried("OuterTemperature[1]=100,120,140,160"),
                 ParseVaried("OuterTemperature[2]=65,75,85,95"), ParseVaried("WebSpeed=0.30:0.90:0.05")};
  const std::vector<RowResult> all = RunStudy(grid, ShardRows(grid, {}), options, control);
  double best = 0;
  for (const RowResult& r : all)
    if (MeetsTargets(r, p.Goal)) best = std::max(best, std::stod(r.Row.Values[2]));
  ASSERT_GT(best, 0.3);
  EXPECT_GE(speed, best - 1e-9) << DesignReport(p, d);
  // Faster than any schedule with both zones alike: the limit wants a hot
  // first zone and a cooler second one.
  EXPECT_GT(std::stod(d.Best[0]), std::stod(d.Best[1]));

  // The report ends each design field and the speed as the runner prints them.
  const std::string report = DesignReport(p, d);
  EXPECT_NE(report.find("Binding: "), std::string::npos);
  EXPECT_NE(report.find("Local check: passed"), std::string::npos) << report;
}

// Stopped after two evaluations a start cannot have settled (and with no
// sample of the box nor repair to make up for it): the check of the slopes
// must say so, naming a field along which the speed still rises, rather
// than pass.
TEST(DesignTest, TheLocalCheckCatchesAnOptimiserStoppedEarly) {
  const StudyDefinition s = ShortDryer();
  DesignProblem p = Problem(s);
  p.MaxEvaluations = 2;
  p.Samples = 0;
  p.Repair = false;
  StudyOptions options;
  StudyControl control;
  const DesignResult d = Design(s, p, options, control);
  ASSERT_TRUE(d.Found) << DesignReport(p, d);  // the best uniform schedule, at least
  EXPECT_FALSE(d.LocallyOptimal) << DesignReport(p, d);
  EXPECT_NE(DesignReport(p, d).find(": the design could still gain +"), std::string::npos) << DesignReport(p, d);
}

}  // namespace
}  // namespace kelvane
