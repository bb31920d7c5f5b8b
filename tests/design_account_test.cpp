// What a design rests on, and how it holds as the line slows, on the short
// two-zone dryer: the account names both targets the design sits on, a
// design boxed in by its bounds says so instead of boasting, the operating
// window holds on speeds it was never searched at, and the front keeps only
// runs no other beats on both speed and heat, counting no zone's heat taken
// back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "study/DesignAccount.h"
#include "study/DesignAnswer.h"
#include "study/DesignFront.h"
#include "study/StudyTable.h"
#include "design_cases.h"

namespace kelvane {
namespace {

using design_cases::ShortDryer;

DesignResult Designed(const StudyDefinition& s, const DesignProblem& p) {
  StudyOptions options;  // the robust solve
  StudyControl control;
  return Design(s, p, options, control);
}

bool Names(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& l : lines)
    if (l.rfind(start, 0) == 0) return true;
  return false;
}

// The film's limit pulls the zones apart and the residual sets the speed:
// both are active, and both are named in the account and the headline.
TEST(DesignAccountTest, BothActiveTargetsAreNamedAndABoxedInAnswerSaysSo) {
  const StudyDefinition s = ShortDryer();
  DesignProblem p = design_cases::ShortDryerProblem(s);
  const DesignResult d = Designed(s, p);
  ASSERT_TRUE(d.Found) << DesignReport(p, d);
  EXPECT_TRUE(Names(d.Active, "the solvent left at the exit")) << DesignReport(p, d);
  EXPECT_TRUE(Names(d.Active, "the film temperature in zone")) << DesignReport(p, d);
  EXPECT_TRUE(d.SetByBounds.empty()) << d.SetByBounds;
  EXPECT_NE(DesignHeadline(d).find("held by the residual and the film temperature"), std::string::npos)
      << DesignHeadline(d);
  EXPECT_NE(d.Binding.find("; the film temperature"), std::string::npos) << d.Binding;

  // Without the film's limit and with gas no hotter than 80 ℃, both zones
  // sit at that ceiling and the residual alone sets the speed: the bound,
  // not the coating, is the limit, and the headline gives no gain to praise.
  DesignProblem boxed = p;
  boxed.Goal.MaxFilmTemperature.reset();
  boxed.Fields = ZoneTemperatureFields(s.Base, 100, 20, 80);
  boxed.HighestGas = 80;
  const DesignResult b = Designed(s, boxed);
  ASSERT_TRUE(b.Found) << DesignReport(boxed, b);
  EXPECT_EQ(b.SetByBounds, "both zones at their upper bound of 80 ℃: raise the highest gas allowed to go faster")
      << DesignReport(boxed, b);
  const std::string headline = DesignHeadline(b);
  EXPECT_EQ(headline.rfind("Fastest line speed within the bounds: ", 0), 0u) << headline;
  EXPECT_EQ(headline.find("over the best uniform"), std::string::npos) << headline;
  EXPECT_NE(DesignReport(boxed, b).find("Set by the bounds, not by the coating: both zones"), std::string::npos);
}

// Searched with a window down to 90 %, the design meets every target when
// run again, apart from the search, at 90, 95 and 100 % of its speed; the
// slowest speed it gives holds too.
TEST(DesignAccountTest, TheOperatingWindowHoldsAtSpeedsItWasNotSearchedAt) {
  const StudyDefinition s = ShortDryer();
  DesignProblem p = design_cases::ShortDryerProblem(s);
  p.Slowest = 0.9;
  const DesignResult d = Designed(s, p);
  ASSERT_TRUE(d.Found) << DesignReport(p, d);
  EXPECT_TRUE(d.WindowHolds) << DesignReport(p, d);
  ASSERT_FALSE(d.SlowestSpeed.empty()) << DesignReport(p, d);
  const double v = std::stod(d.Speed), slowest = std::stod(d.SlowestSpeed);
  EXPECT_LE(slowest, 0.9 * v * (1 + 1e-9)) << DesignReport(p, d);
  StudyDefinition again = s;
  for (std::size_t i = 0; i < p.Fields.size(); ++i) again.Varied.push_back(p.Fields[i].Field);
  again.Varied.push_back(ParseVaried("WebSpeed=0"));
  std::vector<StudyRow> rows;
  for (double share : {0.9, 0.95, 1.0}) {
    std::vector<std::string> values = d.Best;
    values.push_back(FieldValueText(v * share, 6));
    rows.push_back({rows.size() + 1, values});
  }
  std::vector<std::string> values = d.Best;
  values.push_back(d.SlowestSpeed);
  rows.push_back({rows.size() + 1, values});
  StudyOptions options;
  StudyControl control;
  for (const RowResult& r : RunStudy(again, rows, options, control)) {
    std::string why;
    EXPECT_TRUE(MeetsTargets(r, p.Goal, &why)) << r.Row.Values.back() << " m/s: " << why;
  }
}

// With the gas allowed 3 K either way, the design holds with every zone's
// gas 3 K warmer at the window's slowest speed and 3 K cooler at its own.
TEST(DesignAccountTest, TheGasToleranceHoldsBothWays) {
  const StudyDefinition s = ShortDryer();
  DesignProblem p = design_cases::ShortDryerProblem(s);
  p.Slowest = 0.95;
  p.GasTolerance = 3;
  const DesignResult d = Designed(s, p);
  ASSERT_TRUE(d.Found) << DesignReport(p, d);
  EXPECT_TRUE(d.WindowHolds) << DesignReport(p, d);
  StudyDefinition again = s;
  for (const SearchedField& f : p.Fields) again.Varied.push_back(f.Field);
  again.Varied.push_back(ParseVaried("WebSpeed=0"));
  std::vector<StudyRow> rows;
  for (const auto& [shift, share] : {std::pair{3.0, 0.95}, std::pair{3.0, 1.0}, std::pair{-3.0, 1.0}}) {
    std::vector<std::string> values;
    for (const std::string& t : d.Best) values.push_back(FieldValueText(std::stod(t) + shift, 6));
    values.push_back(FieldValueText(std::stod(d.Speed) * share, 6));
    rows.push_back({rows.size() + 1, values});
  }
  StudyOptions options;
  StudyControl control;
  for (const RowResult& r : RunStudy(again, rows, options, control)) {
    std::string why;
    EXPECT_TRUE(MeetsTargets(r, p.Goal, &why)) << r.Row.Values[0] << " ℃ at " << r.Row.Values.back() << " m/s: " << why;
  }
}

// Runs made up for the front: only the zones' heat from the gas counts, and
// a run slower and dearer than another is not on it.
TEST(DesignAccountTest, TheFrontKeepsOnlyRunsNoneBeatsAndCountsNoHeatTakenBack) {
  auto run = [](const char* speed, std::vector<double> heat) {
    RowResult r;
    r.Outcome = RowOutcome::Finished;
    r.Row.Values = {"100", speed};
    for (std::size_t k = 0; k < heat.size(); ++k) {
      ZoneSummary z;
      z.Zone = static_cast<int>(k) + 1;
      z.Heat.FromGas = heat[k];
      r.Details.Zones.push_back(z);
    }
    return r;
  };
  // A zone that gives 4 kJ/m2 back to cooler gas earns no credit.
  DesignProblem p;  // no target: every finished run dries
  EXPECT_EQ(HeatFromGas(run("1", {20, -4})), 20);
  EXPECT_EQ(DesignEnergy(p, run("1", {20, -4})), 20);
  const std::vector<RowResult> runs = {run("0.5", {10}), run("0.6", {12, -5}), run("0.55", {13}),
                                       run("0.7", {15}), run("0.7", {14, 0.5})};
  const std::vector<RowResult> front = NonDominatedRuns(p, runs);
  std::vector<std::string> speeds;
  for (const RowResult& r : front) speeds.push_back(r.Row.Values.back() + "@" + std::to_string(DesignEnergy(p, r)));
  // 0.55 m/s at 13 is beaten by 0.6 m/s at 12 (the 5 taken back not
  // credited), and 0.7 at 15 by 0.7 at 14.5.
  EXPECT_EQ(speeds, (std::vector<std::string>{"0.7@14.500000", "0.6@12.000000", "0.5@10.000000"}));
}

}  // namespace
}  // namespace kelvane
