// Studies: the table of a sweep (values, row order, shards), its rows against
// the same runs made one by one, cancelling, and the bracketing search
// against a brute-force sweep.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "files_test_support.h"
#include "study/BoundarySearch.h"
#include "study/Optimize.h"
#include "study/StudyTable.h"
#include "summary/RunSummary.h"
#include "tests/support/RunTestSupport.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;

std::vector<std::string> V(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

TEST(StudyDefinitionTest, ValuesRowsAndShards) {
  // Ranges include their stop and keep the texts' decimals, with no rounding
  // creeping in from repeated addition.
  EXPECT_EQ(ExpandValues("0.5:2.0:0.25"), V({"0.50", "0.75", "1.00", "1.25", "1.50", "1.75", "2.00"}));
  EXPECT_EQ(ExpandValues("0.1:0.7:0.1"), V({"0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7"}));
  EXPECT_EQ(ExpandValues("90:60:-15"), V({"90", "75", "60"}));
  EXPECT_EQ(ExpandValues(" 60, 70 ,8E1"), V({"60", "70", "8E1"}));
  for (const char* bad : {"1:2:0", "2:1:0.5", "1:x:1", "1:2", "60,,70", ""})
    EXPECT_THROW(ExpandValues(bad), std::invalid_argument) << bad;
  EXPECT_THROW(ParseVaried("NoSuchField=1,2"), std::invalid_argument);
  EXPECT_EQ(ParseVaried("OuterTemperature[2]=1,2").Field->Component, "Edit21");

  // The first varied field changes slowest.
  StudyDefinition s;
  s.Varied = {ParseVaried("Edit7=60,70"), ParseVaried("WebSpeed=1:3:1")};
  ASSERT_EQ(RowCount(s), 6u);
  EXPECT_EQ(RowAt(s, 1).Values, V({"60", "1"}));
  EXPECT_EQ(RowAt(s, 3).Values, V({"60", "3"}));
  EXPECT_EQ(RowAt(s, 4).Values, V({"70", "1"}));
  EXPECT_EQ(RowFields(s, RowAt(s, 5)).Text("Edit5"), "2");

  // Shards interleave and together hold every row once, in order.
  std::vector<std::size_t> seen(7, 0);
  for (int k = 1; k <= 4; ++k) {
    std::size_t last = 0;
    for (const StudyRow& r : ShardRows(s, ParseShard(std::to_string(k) + "/4"))) {
      EXPECT_GT(r.Number, last);
      last = r.Number;
      EXPECT_EQ(r.Values, RowAt(s, r.Number).Values);
      ++seen[r.Number];
    }
  }
  for (std::size_t r = 1; r <= 6; ++r) EXPECT_EQ(seen[r], 1u) << r;
  const std::vector<StudyRow> second = ShardRows(s, ParseShard("2/4"));
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1].Number, 6u);
  for (const char* bad : {"0/3", "4/3", "1/0", "1-3", "a/b"}) EXPECT_THROW(ParseShard(bad), std::invalid_argument);
}


class StudyTest : public filetest::ScratchDir {
 protected:
  // Short zones: a run is a few hundred steps.
  StudyDefinition ShortStudy() {
    StudyDefinition s;
    s.Base.SetText(ZoneComponent(1, 2), "5");
    s.Base.SetText(ZoneComponent(2, 2), "5");
    return s;
  }
};

TEST_F(StudyTest, RowsAreTheSingleRunsWhateverTheThreads) {
  StudyDefinition s = ShortStudy();
  // Finishes; stops on the surface equilibrium at zone 1; refused as no
  // number; a web at rest refused too.
  s.Varied = {ParseVaried("WebSpeed=0.20,0.30,abc,0")};
  const std::vector<StudyRow> rows = ShardRows(s, {});
  StudyOptions o;
  o.Robust = false;  // the seed's march, as the single runs below make it
  o.Jobs = 2;
  o.ResultFile = [&](const StudyRow& r) { return Path("row" + std::to_string(r.Number) + ".txt"); };
  StudyControl control;
  const std::vector<RowResult> table = RunStudy(s, rows, o, control);
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].Outcome, RowOutcome::Finished);
  EXPECT_EQ(table[1].Outcome, RowOutcome::Failed);
  EXPECT_EQ(table[1].FailedZone, 1);
  EXPECT_EQ(table[2].Outcome, RowOutcome::Refused);
  EXPECT_EQ(table[3].Outcome, RowOutcome::Refused);

  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].Values[0]);
    EXPECT_EQ(table[i].Row.Number, i + 1);
    FieldTextMap f = RowFields(s, rows[i]);
    f.SetText("Edit250", Path("single.txt"));
    runtest::RecordingRunHost host;  // a single run as the OK button makes it
    auto calc = std::make_unique<Calculation>();
    TraceRecorder trace;
    RunOptions run;
    run.Robust = false;  // plain, as the study's rows
    run.ZoneMarched = [&](const Calculation& c, int zone, int last, bool complete) { trace.Zone(c, zone, last, complete); };
    const RunReport report = StartRun(f, host, *calc, run);
    // The same messages and the same result file, byte for byte.
    EXPECT_EQ(table[i].Message, report.Outcome == RunOutcome::Finished ? "" : host.last);
    EXPECT_FALSE(host.last.empty() && report.Outcome != RunOutcome::Finished);
    EXPECT_EQ(ReadBytes(Path("row" + std::to_string(i + 1) + ".txt")), ReadBytes(Path("single.txt")));
    std::filesystem::remove(Path("single.txt"));
    // The summary columns are the single run's summary; a run that did not
    // finish has none: the figures of the place it stopped are no result.
    const auto column = [&](const char* name) { return table[i].Summary[static_cast<std::size_t>(SummaryColumnIndex(name))]; };
    if (report.Outcome != RunOutcome::Finished) {
      for (const auto& v : table[i].Summary) EXPECT_FALSE(v);
      continue;
    }
    trace.Trace().End = RunEndOf(report, *calc);
    const RunSummary summary = SummarizeRun(trace.Trace());
    ASSERT_TRUE(column("final_residual_percent"));
    EXPECT_EQ(*column("final_residual_percent"), summary.Run.ResidualPercent);
    EXPECT_EQ(*column("warnings"), static_cast<double>(summary.Warnings.size()));
    double hottest = summary.Zones[0].MaxTemperature.Value;
    for (const ZoneSummary& z : summary.Zones) hottest = std::max(hottest, z.MaxTemperature.Value);
    EXPECT_EQ(*column("max_film_temperature_c"), hottest);
    EXPECT_EQ(*column("total_heat_kj_per_m2"), summary.Run.TotalHeat);
  }

  // One thread gives the same table, line for line.
  o.Jobs = 1;
  o.ResultFile = nullptr;
  const std::vector<RowResult> serial = RunStudy(s, rows, o, control);
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(CsvLine(serial[i]), CsvLine(table[i]));
  EXPECT_EQ(CsvHeader(s).substr(0, 78),
            "row,WebSpeed,outcome,message,failed_zone,rescued_steps,final_residual_percent,");
  EXPECT_EQ(CsvLine(table[1]).substr(0, 24), "2,0.30,failed,\"Sorry, th");
}

TEST_F(StudyTest, CancelKeepsTheRowsDoneAndMarksTheRest) {
  StudyDefinition s = ShortStudy();
  s.Varied = {ParseVaried("WebSpeed=0.2:0.9:0.1")};
  StudyOptions o;
  o.Jobs = 1;
  StudyControl control;
  std::size_t calls = 0;
  control.RowDone = [&](const RowResult&, std::size_t done, std::size_t total) {
    ++calls;
    EXPECT_EQ(total, 8u);
    EXPECT_EQ(done, calls);
    if (done == 2) control.Cancel = true;
  };
  const std::vector<RowResult> table = RunStudy(s, ShardRows(s, {}), o, control);
  ASSERT_EQ(table.size(), 8u);
  EXPECT_EQ(calls, 2u);
  EXPECT_EQ(table[0].Outcome, RowOutcome::Finished);
  for (std::size_t i = 2; i < 8; ++i) {
    EXPECT_EQ(table[i].Outcome, RowOutcome::NotRun);
    EXPECT_EQ(table[i].Row.Values, RowAt(s, i + 1).Values);
    EXPECT_EQ(CsvLine(table[i]), std::to_string(i + 1) + "," + table[i].Row.Values[0] + ",not run,,,0" +
                                     std::string(SummaryColumns().size(), ',') + "\n");
  }

  // A cancel during a run stops it after its current step.
  std::atomic<bool> stop{true};
  const RowResult r = RunRow(s, RowAt(s, 1), o, &stop);
  EXPECT_EQ(r.Outcome, RowOutcome::Cancelled);
}

TEST_F(StudyTest, TheSearchFindsTheBoundaryOfABruteForceSweep) {
  StudyDefinition s = ShortStudy();
  StudyOptions o;
  o.Robust = true;  // the feasible speeds form one interval
  Targets goal;
  goal.MaxResidual = 8.0;

  // Brute force: every 0.005 m/s.
  StudyDefinition sweep = s;
  sweep.Varied = {ParseVaried("WebSpeed=0.100:0.300:0.005")};
  StudyControl control;
  const std::vector<RowResult> all = RunStudy(sweep, ShardRows(sweep, {}), o, control);
  double lastFeasible = 0, firstInfeasible = 0;
  for (const RowResult& r : all) {
    const double v = std::stod(r.Row.Values[0]);
    if (MeetsTargets(r, goal)) {
      ASSERT_EQ(firstInfeasible, 0) << "feasible again at " << v;
      lastFeasible = v;
    } else if (firstInfeasible == 0) {
      firstInfeasible = v;
    }
  }
  ASSERT_GT(lastFeasible, 0.1);
  ASSERT_GT(firstInfeasible, 0);

  BoundarySearch search;
  search.Field = ParseVaried("WebSpeed=0");
  search.Lower = "0.1";
  search.Upper = "5";
  search.Goal = goal;
  // No tolerance given: the bracket is narrowed to a thousandth of the
  // bounds' span (4.9 m/s) or finer, never coarser and never needlessly
  // finer than a power of ten below that.
  const BoundaryResult r = SearchBoundary(s, search, o, control);
  ASSERT_EQ(r.End, SearchEnd::Boundary);
  EXPECT_LE(r.Tolerance, 4.9 / 1000);
  EXPECT_GT(r.Tolerance, 4.9 / 10000);
  const double best = std::stod(r.Best), beyond = std::stod(r.Beyond);
  // A proven bracket no wider than that, inside the brute-force one.
  EXPECT_TRUE(MeetsTargets(r.BestRow, goal));
  EXPECT_FALSE(MeetsTargets(r.BeyondRow, goal));
  EXPECT_LE(beyond - best, 4.9 / 1000 + 1e-12);
  EXPECT_GE(best, lastFeasible);
  EXPECT_LE(beyond, firstInfeasible);
  EXPECT_EQ(r.Evaluations.front().Row.Values[0], "0.1");
  EXPECT_EQ(r.Evaluations[1].Row.Values[0], "5");
  // The estimate behind the progress bars is off by at most one round.
  const int threads = StudyThreads(o.Jobs);
  EXPECT_NEAR(static_cast<double>(ExpectedRuns(search, threads)), static_cast<double>(r.Evaluations.size()), threads);
  EXPECT_EQ(BoundaryAnswer(search, r), "WebSpeed=" + r.Best + " meets the targets and WebSpeed=" + r.Beyond +
                                           " does not: the boundary lies between them (tolerance 0.001; " +
                                           std::to_string(r.Evaluations.size()) + " runs)");

  // A tolerance given is the bracket's width, coarser here than the default.
  BoundarySearch coarse = search;
  coarse.Tolerance = 0.01;
  const BoundaryResult c = SearchBoundary(s, coarse, o, control);
  ASSERT_EQ(c.End, SearchEnd::Boundary);
  EXPECT_EQ(c.Tolerance, 0.01);
  EXPECT_LE(std::stod(c.Beyond) - std::stod(c.Best), 0.01 + 1e-12);
  EXPECT_GT(std::stod(c.Beyond), lastFeasible);
  EXPECT_LT(std::stod(c.Best), firstInfeasible);
  EXPECT_LT(c.Evaluations.size(), r.Evaluations.size());

  // A target nothing meets is reported as such, with what the near end missed.
  search.Goal.MaxResidual = 0.01;
  const BoundaryResult none = SearchBoundary(s, search, o, control);
  EXPECT_EQ(none.End, SearchEnd::NoneFeasible);
  EXPECT_TRUE(none.Best.empty());
  EXPECT_EQ(none.Why.rfind("residual ", 0), 0u) << none.Why;
  EXPECT_EQ(BoundaryAnswer(search, none), "no setting in the bounds meets the targets (at WebSpeed=0.1: " + none.Why + ")");
  // A target the far end meets is the bound itself.
  search.Goal.MaxResidual = 90;
  EXPECT_EQ(SearchBoundary(s, search, o, control).End, SearchEnd::BoundReached);
}

// The seed's march fails at 0.3 and 0.4 m/s on the short dryer and finishes
// 0.2 and 0.45; the robust solve finishes them all.  A failure is no
// answer: the search passes over it and never takes it for a miss.
TEST_F(StudyTest, AFailedRunIsNeitherAMissNorAnAnswer) {
  StudyDefinition s = ShortStudy();
  StudyOptions plain;
  plain.Robust = false;
  plain.Jobs = 1;  // one point a round: the first is the bracket's middle, 0.3
  StudyControl control;
  BoundarySearch search;
  search.Field = ParseVaried("WebSpeed=0");
  search.Lower = "0.1";
  search.Upper = "0.45";
  search.Tolerance = 0.1;
  search.Goal.MaxResidual = 8.0;
  const BoundaryResult r = SearchBoundary(s, search, plain, control);
  ASSERT_EQ(r.End, SearchEnd::Boundary) << BoundaryAnswer(search, r);
  EXPECT_EQ(r.BestRow.Outcome, RowOutcome::Finished);
  EXPECT_EQ(r.BeyondRow.Outcome, RowOutcome::Finished) << "a failed run taken for a miss";
  EXPECT_TRUE(MeetsTargets(r.BestRow, search.Goal));
  EXPECT_FALSE(MeetsTargets(r.BeyondRow, search.Goal));
  EXPECT_EQ(r.Best, "0.2");
  EXPECT_EQ(r.Beyond, "0.45");
  ASSERT_EQ(r.FailedBetween, V({"0.3", "0.4"}));
  const std::string answer = BoundaryAnswer(search, r);
  EXPECT_NE(answer.find("the runs at WebSpeed=0.3, 0.4 between them failed"), std::string::npos) << answer;
  // The failed point was replaced by its neighbours, each run once.
  std::set<std::string> once;
  for (const RowResult& e : r.Evaluations) EXPECT_TRUE(once.insert(e.Row.Values[0]).second) << e.Row.Values[0];

  // The robust solve, the study library's default, finishes that run.
  StudyOptions robust;
  robust.Jobs = 1;
  const BoundaryResult rr = SearchBoundary(s, search, robust, control);
  EXPECT_TRUE(rr.FailedBetween.empty());
  EXPECT_EQ(rr.End, SearchEnd::Boundary);

  // A lenient end that fails says so with its message, not "no setting
  // meets the targets".
  search.Lower = "0.3";
  search.Upper = "5";
  search.Tolerance = 0;
  const BoundaryResult near = SearchBoundary(s, search, plain, control);
  EXPECT_EQ(near.End, SearchEnd::NearFailed);
  EXPECT_FALSE(HasAnswer(near.End));
  const std::string nearAnswer = BoundaryAnswer(search, near);
  EXPECT_EQ(nearAnswer.rfind("the run at WebSpeed=0.3, the lenient end of the bounds, did not finish", 0), 0u)
      << nearAnswer;
  EXPECT_NE(nearAnswer.find("Sorry"), std::string::npos) << nearAnswer;
  // ... and what the engine's words mean, beside them.
  EXPECT_NE(nearAnswer.find("The march stopped at zone "), std::string::npos) << nearAnswer;

  // A far bound that fails while every run inside meets the targets: the
  // answer is a setting that met them, short of the failed bound, and the
  // account says the failure, never a boundary between a met and a missed run.
  search.Lower = "0.1";
  search.Upper = "0.4";
  search.Tolerance = 0.05;
  search.Goal.MaxResidual = 95;
  const BoundaryResult far = SearchBoundary(s, search, plain, control);
  ASSERT_EQ(far.End, SearchEnd::BeyondFailed);
  EXPECT_TRUE(HasAnswer(far.End));
  EXPECT_EQ(far.BestRow.Outcome, RowOutcome::Finished);
  EXPECT_EQ(far.BestRow.Row.Values, std::vector<std::string>{far.Best});
  EXPECT_LT(std::stod(far.Best), std::stod(far.Beyond));
  EXPECT_LE(std::stod(far.Beyond), 0.4);
  const std::string farAnswer = BoundaryAnswer(search, far);
  EXPECT_NE(farAnswer.find("did not finish"), std::string::npos) << farAnswer;
  EXPECT_EQ(farAnswer.find("the boundary lies between"), std::string::npos) << farAnswer;
  EXPECT_EQ(farAnswer.find("does not:"), std::string::npos) << farAnswer;
}

TEST_F(StudyTest, CobylaKeepsTheBestRunThatMeetsTheTargets) {
  StudyDefinition s = ShortStudy();
  StudyOptions o;
  o.Robust = true;
  // The search's path over this dryer turns on the last digits of its first
  // runs (a run that leaves the plain path moves by a few thousandths of a
  // point): the byte-identical mode keeps the path this test was made on.
  o.Identical = true;
  Optimization opt;
  opt.Fields = {{ParseVaried("WebSpeed=0"), 0.1, 1.0}, {ParseVaried("OuterTemperature[2]=0"), 60, 100}};
  opt.Objective = "WebSpeed";
  opt.Goal.MaxResidual = 8.0;
  opt.MaxEvaluations = 25;
  StudyControl control;
  const OptimizationResult r = Optimize(s, opt, o, control);
  ASSERT_TRUE(r.Found) << r.Stop;
  ASSERT_LE(r.Evaluations.size(), 25u);
  // The best is a run that met the targets, and no run that met them was faster.
  EXPECT_TRUE(MeetsTargets(r.BestRow, opt.Goal));
  EXPECT_EQ(std::stod(r.Best[0]), r.BestObjective);
  for (const RowResult& e : r.Evaluations) {
    if (MeetsTargets(e, opt.Goal)) {
      EXPECT_LE(std::stod(e.Row.Values[0]), r.BestObjective);
    }
  }
  // A hotter zone 2 dries faster: the best beats the one-field boundary at 60 degC
  // (between 0.20 and 0.25 m/s).
  EXPECT_GT(r.BestObjective, 0.25);
  // An objective that names nothing is refused.
  opt.Objective = "NoSuchColumn";
  EXPECT_THROW(Optimize(s, opt, o, control), std::invalid_argument);
}

}  // namespace
}  // namespace kelvane
