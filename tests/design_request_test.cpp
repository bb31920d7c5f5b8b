// The dryer's design as the window asks for it and uses its answer: the
// typed request read into the design problem over the zones in use (or
// refused, naming the input), the answer's field texts written back, the
// schedule against the current gas, and the design's run traced again.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "study/DesignAnswer.h"
#include "study/DesignRequest.h"

namespace kelvane {
namespace {

FieldTextMap ShortDryer() {
  FieldTextMap f;
  f.SetText(ZoneComponent(1, 2), "5");
  f.SetText(ZoneComponent(2, 2), "5");
  return f;
}

RequestRefusal Refused(const DesignRequest& q, const FieldTexts& base) {
  const auto read = ReadDesignRequest(q, base);
  EXPECT_TRUE(std::holds_alternative<RequestRefusal>(read));
  return std::holds_alternative<RequestRefusal>(read) ? std::get<RequestRefusal>(read)
                                                      : RequestRefusal{RequestInput::Targets, ""};
}

TEST(DesignRequestTest, TheRequestBecomesTheProblemOverTheZonesInUse) {
  FieldTextMap base;  // two zones at 60 degC
  for (int i = 1; i <= 6; ++i) base.SetText(ZoneComponent(3, i), base.Text(ZoneComponent(2, i)));
  base.SetText(ZoneComponent(3, 1), "190");
  DesignRequest q;
  q.Residual = "500";
  q.ResidualIn = ResidualUnit::PpmOfDryCoating;
  q.MaxFilmTemperature = "80";
  q.NonDecreasing = true;
  q.CoefficientShare = "50";
  q.SpeedLower = "0.1";
  q.SpeedUpper = "2";
  q.MaxEvaluations = "30";
  q.WebWidth = "1.5";
  q.Slowest = "90";
  const auto read = ReadDesignRequest(q, base);
  ASSERT_TRUE(std::holds_alternative<DesignProblem>(read)) << std::get<RequestRefusal>(read).Text;
  const DesignProblem& p = std::get<DesignProblem>(read);
  // Three gas temperatures, then each zone's coat-side and base-side coefficient.
  ASSERT_EQ(p.Fields.size(), 9u);
  EXPECT_EQ(p.Fields[0].Field.Name, "OuterTemperature[1]");
  EXPECT_DOUBLE_EQ(p.Fields[0].Lower, 20);
  EXPECT_DOUBLE_EQ(p.Fields[0].Upper, 100);
  EXPECT_DOUBLE_EQ(p.Fields[2].Lower, 150);  // 190 - 40
  EXPECT_DOUBLE_EQ(p.Fields[2].Upper, 200);  // the highest gas, not 230
  EXPECT_EQ(p.Fields[3].Field.Name, "CoatHeatTransferCoeff[1]");
  EXPECT_EQ(p.Fields[4].Field.Name, "BaseHeatTransferCoeff[1]");
  EXPECT_DOUBLE_EQ(p.Fields[3].Lower, 0.0010944 * 0.5);
  EXPECT_DOUBLE_EQ(p.Fields[3].Upper, 0.0010944 * 1.5);
  EXPECT_EQ(p.Fields[8].Field.Name, "BaseHeatTransferCoeff[3]");
  EXPECT_EQ(p.Goal.MaxResidual, std::optional<double>(500));
  EXPECT_EQ(p.Goal.ResidualIn, ResidualUnit::PpmOfDryCoating);
  EXPECT_TRUE(p.Goal.NoBoiling);
  EXPECT_FALSE(p.Goal.MinBoilingMargin);
  EXPECT_EQ(p.Goal.MaxFilmTemperature, std::optional<double>(80));
  EXPECT_TRUE(p.NonDecreasing);
  EXPECT_DOUBLE_EQ(p.SpeedLower, 0.1);
  EXPECT_DOUBLE_EQ(p.SpeedUpper, 2);
  EXPECT_EQ(p.MaxEvaluations, 30);
  EXPECT_EQ(p.WebWidth, std::optional<double>(1.5));
  EXPECT_DOUBLE_EQ(p.Slowest, 0.9);
  EXPECT_EQ(p.HighestGas, std::optional<double>(200));  // the account names the ceiling it meets
  EXPECT_FALSE(std::get<DesignProblem>(ReadDesignRequest(DesignRequest{}, base)).WebWidth);
}

TEST(DesignRequestTest, ARefusalNamesTheInputAtFault) {
  const FieldTextMap base;
  struct Case {
    const char* what;
    DesignRequest q;
    RequestInput input;
    const char* starts;
  };
  std::vector<Case> cases;
  auto add = [&](const char* what, RequestInput input, const char* starts, auto change) {
    DesignRequest q;
    change(q);
    cases.push_back({what, q, input, starts});
  };
  add("residual text", RequestInput::Residual, "Solvent left at the exit: \"7 %\"", [](DesignRequest& q) { q.Residual = "7 %"; });
  add("negative residual", RequestInput::Residual, "Solvent left", [](DesignRequest& q) { q.Residual = "-1"; });
  add("no target", RequestInput::Targets, "Choose at least one target",
      [](DesignRequest& q) { q.Residual.clear(), q.NoBoiling = false; });
  add("margin text", RequestInput::BoilingMargin, "Boiling margin", [](DesignRequest& q) { q.BoilingMargin = "lots"; });
  add("zero span", RequestInput::Span, "Gas temperatures within", [](DesignRequest& q) { q.Span = "0"; });
  add("range upside down", RequestInput::Highest, "Gas no hotter than: 20",
      [](DesignRequest& q) { q.Lowest = "150", q.Highest = "20"; });
  add("a zone out of reach", RequestInput::Zones, "Zone 1: its gas temperature, 60.0 ℃, lies more than 40 K outside 150–200",
      [](DesignRequest& q) { q.Lowest = "150"; });
  add("share of 100 %", RequestInput::CoefficientShare, "Heat-transfer", [](DesignRequest& q) { q.CoefficientShare = "100"; });
  add("speed from 0", RequestInput::SpeedLower, "Web speed from: 0 m/s", [](DesignRequest& q) { q.SpeedLower = "0"; });
  add("speeds upside down", RequestInput::SpeedUpper, "Web speed to: 0.01", [](DesignRequest& q) { q.SpeedUpper = "0.01"; });
  add("no width", RequestInput::WebWidth, "Web width: a width above 0 m", [](DesignRequest& q) { q.WebWidth = "0"; });
  add("runs not whole", RequestInput::MaxEvaluations, "Runs per start", [](DesignRequest& q) { q.MaxEvaluations = "2.5"; });
  add("window of no speed", RequestInput::Slowest, "Must hold down to: a share above 0 %",
      [](DesignRequest& q) { q.Slowest = "0"; });
  add("window above the speed", RequestInput::Slowest, "Must hold down to: a share", [](DesignRequest& q) { q.Slowest = "120"; });
  for (const Case& c : cases) {
    const RequestRefusal r = Refused(c.q, base);
    EXPECT_EQ(r.Input, c.input) << c.what << ": " << r.Text;
    EXPECT_EQ(r.Text.rfind(c.starts, 0), 0u) << c.what << ": " << r.Text;
  }
  // A coefficient that is not one cannot be varied.
  FieldTextMap broken;
  broken.SetText(ZoneComponent(2, 5), "0");
  DesignRequest q;
  q.CoefficientShare = "20";
  const RequestRefusal r = Refused(q, broken);
  EXPECT_EQ(r.Input, RequestInput::CoefficientShare);
  EXPECT_NE(r.Text.find("Zone 2"), std::string::npos) << r.Text;
}

// The answer's texts go into the fields they came from, the web speed
// last; the schedule pairs each zone's gas now and at the design; the rule
// that the gas never cools is checked on the run's own values.
TEST(DesignAnswerTest, TheAnswerGoesBackIntoItsFields) {
  const FieldTextMap base = ShortDryer();
  DesignRequest q;
  q.CoefficientShare = "10";
  q.NonDecreasing = true;
  const DesignProblem p = std::get<DesignProblem>(ReadDesignRequest(q, base));
  ASSERT_EQ(p.Fields.size(), 6u);
  DesignResult r;
  EXPECT_TRUE(DesignSettings(p, r).empty());  // nothing found, nothing to load
  r.Found = true;
  r.Best = {"95.5", "71.25", "0.0011", "0.00095", "0.0012", "0.00091"};
  r.Speed = "0.4321";
  const std::vector<FieldSetting> s = DesignSettings(p, r);
  ASSERT_EQ(s.size(), 7u);
  FieldTextMap fields = base;
  ApplySettings(s, fields);
  EXPECT_EQ(fields.Text("Edit7"), "95.5");
  EXPECT_EQ(fields.Text("Edit21"), "71.25");
  EXPECT_EQ(fields.Text("Edit12"), "0.0011");    // zone 1 coat side
  EXPECT_EQ(fields.Text("Edit11"), "0.00095");   // zone 1 base side
  EXPECT_EQ(fields.Text("Edit26"), "0.0012");
  EXPECT_EQ(fields.Text("Edit25"), "0.00091");
  EXPECT_EQ(fields.Text("Edit5"), "0.4321");
  EXPECT_EQ(fields.Text(ZoneComponent(1, 2)), "5");  // untouched

  const std::vector<ZoneGas> gas = GasSchedule(p, r, base);
  ASSERT_EQ(gas.size(), 2u);
  EXPECT_EQ(gas[1].Zone, 2);
  EXPECT_DOUBLE_EQ(gas[1].Current, 60);
  EXPECT_DOUBLE_EQ(gas[1].Designed, 71.25);
  EXPECT_EQ(DesignHeadline(r), "Fastest line speed: 0.4321 m/s");
  r.UniformFound = true;
  r.UniformSpeed = "0.2";
  EXPECT_EQ(DesignHeadline(r), "Fastest line speed: 0.4321 m/s, +116 % over the best uniform schedule");

  // A run that met the targets with the gas cooling from zone 1 to 2.
  RowResult row;
  row.Outcome = RowOutcome::Finished;
  row.Summary.resize(SummaryColumns().size());
  row.Summary[static_cast<std::size_t>(SummaryColumnIndex("final_residual_percent"))] = 1;
  row.Summary[static_cast<std::size_t>(SummaryColumnIndex("min_boiling_margin_mmhg"))] = 300;
  row.Summary[static_cast<std::size_t>(SummaryColumnIndex("boiling_warnings"))] = 0;
  row.Row.Values = {"80", "79", "0.001", "0.001", "0.001", "0.001", "0.3"};
  std::string why;
  ASSERT_TRUE(MeetsTargets(row, p.Goal, &why)) << why;
  EXPECT_FALSE(DesignFeasible(p, row, &why));
  EXPECT_EQ(why, "the gas cools from zone 1 to zone 2");
  row.Row.Values[1] = "80";
  EXPECT_TRUE(DesignFeasible(p, row));
}

// The traced run is the design's own: the same schedule and speed, the
// same solvent left at the exit as the design's row.
TEST(DesignAnswerTest, TheTraceIsTheDesignsRun) {
  StudyDefinition study;
  study.Base = ShortDryer();
  const DesignProblem p = std::get<DesignProblem>(ReadDesignRequest(DesignRequest{}, study.Base));
  DesignResult r;
  r.Found = true;
  r.Best = {"100", "75"};
  r.Speed = "0.4";
  StudyOptions options;
  const RunTrace trace = TraceDesign(study, p, r, options);
  ASSERT_EQ(trace.Zones.size(), 2u);
  EXPECT_EQ(trace.End.Kind, RunEndKind::Finished);
  EXPECT_DOUBLE_EQ(trace.Params.OuterTemperature[1], 100);
  EXPECT_DOUBLE_EQ(trace.Params.OuterTemperature[2], 75);
  EXPECT_DOUBLE_EQ(trace.Params.WebSpeed, 0.4);

  StudyDefinition design = study;
  design.Varied = {ParseVaried("OuterTemperature[1]=0"), ParseVaried("OuterTemperature[2]=0"), ParseVaried("WebSpeed=0")};
  const RowResult row = RunRow(design, StudyRow{1, {"100", "75", "0.4"}}, options);
  ASSERT_EQ(row.Outcome, RowOutcome::Finished);
  EXPECT_DOUBLE_EQ(trace.Zones.back().Points.back().SolRemain,
                   *row.Summary[static_cast<std::size_t>(SummaryColumnIndex("final_residual_percent"))]);
  r.Found = false;
  EXPECT_TRUE(TraceDesign(study, p, r, options).Zones.empty());
}

}  // namespace
}  // namespace kelvane
