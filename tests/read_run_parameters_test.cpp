#include "run/ReadRunParameters.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <clocale>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "engine/Faults.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

const std::string kNotCorrect = "Input value is not correct!";
const std::string kTooMuch = "Number of Layers is too much! It shoud be 10, 20, 30 or 40.";
const std::string kLayers = "Number of Layers shoud be 10, 20, 30 or 40.";
const std::string kBound1 =
    "\"Increment of z\" is too small !  \"Zone Length/Increment of z\" should be less than 8000.";
const std::string kBoundK =
    "\"Increment of z\" is too small !  \"Zone Length/Increment of z\" should be less than 8001.";
const std::string kSaveName = "Input Save File Name!";

using enginetest::RecordingHost;

constexpr int32_t kUntouched = -777;

// One reading of `fields` into a fresh record whose step counts hold a
// sentinel, so that a refusal can be seen not to have written them.
struct Reading {
  RunSetup setup;
  RecordingHost host;

  explicit Reading(const FieldTextMap& fields, char sep = '.') {
    for (int32_t& n : setup.ZoneStepCount) n = kUntouched;
    ReadRunParameters(fields, host, setup, sep);
    EXPECT_EQ(std::fetestexcept(kFaultFlags), 0) << "the reading left a fault flag behind";
  }
  const RunParameters& p() const { return setup.Params; }
  // The single message shown, "" when none; more than one is a failure.
  std::string Message() const {
    EXPECT_LE(host.Messages.size(), 1u);
    return host.Messages.empty() ? "" : host.Messages.front();
  }
  bool Refused(const std::string& message) const {
    const bool stepsUntouched = setup.ZoneStepCount[1] == kUntouched;
    return !setup.InputAccepted && Message() == message && stepsUntouched;
  }
};

void FillZone(FieldTextMap& f, int zone, const std::string& temperature, const std::string& length) {
  f.SetText(ZoneComponent(zone, 1), temperature);
  f.SetText(ZoneComponent(zone, 2), length);
  f.SetText(ZoneComponent(zone, 3), "1.5");
  f.SetText(ZoneComponent(zone, 4), "2.5");
  f.SetText(ZoneComponent(zone, 5), "0.0009");
  f.SetText(ZoneComponent(zone, 6), "0.001");
}

TEST(ReadRunParameters, DefaultWindowIsAccepted) {
  FieldTextMap f;
  Reading r(f);
  EXPECT_TRUE(r.setup.InputAccepted);
  EXPECT_EQ(r.Message(), "");
  EXPECT_EQ(r.setup.ZoneCount, 2);
  EXPECT_EQ(r.p().TotalLayerCount, 24);
  EXPECT_EQ(r.setup.ZoneStepCount[1], 2500);
  EXPECT_EQ(r.setup.ZoneStepCount[2], 2500);
  EXPECT_EQ(r.setup.ZoneStepCount[3], kUntouched);
  EXPECT_EQ(r.setup.SaveFileName, "result.txt");
  EXPECT_EQ(r.p().IncrementZ, 2.0);
  EXPECT_EQ(r.p().ZoneLength[2], 50.0);
  EXPECT_EQ(r.p().CoatHeatTransferCoeff[2], 0.0010944);
  EXPECT_EQ(r.p().DiffParams1[5], -601.069);
  EXPECT_EQ(r.p().DiffParams2[11], -1.01071E7);
  // Every number of the window's defaults lands as the hand-written default
  // window has it.
  RunSetup expected = fixtures::DefaultSetup();
  for (const FieldSpec& f : FieldTable()) {
    const double* want = RealMember(expected.Params, f.Member);
    if (!want) continue;
    RunParameters read = r.p();
    EXPECT_EQ(*RealMember(read, f.Member), *want) << f.Component << " " << f.Member;
  }
}

TEST(ReadRunParameters, FlagsLeftByEarlierArithmeticDoNotRefuse) {
  // Status flags raised before OK was pressed (the toolkit's own arithmetic)
  // are no fault of this reading.
  std::feraiseexcept(FE_INVALID | FE_DIVBYZERO);
  FieldTextMap f;
  Reading r(f);
  EXPECT_TRUE(r.setup.InputAccepted);
  EXPECT_EQ(r.Message(), "");
}

// Each field lands in the member of its row: every real field gets its own
// value and every member is checked against it.
TEST(ReadRunParameters, EveryFieldReachesItsMember) {
  struct Row {
    const char* component;
    double RunParameters::*member;
  };
  const Row rows[] = {
      {"Edit1", &RunParameters::InitialCoatingThickness}, {"Edit2", &RunParameters::InitialComposition1},
      {"Edit3", &RunParameters::InitialComposition2},     {"Edit4", &RunParameters::BaseFilmThickness},
      {"Edit5", &RunParameters::WebSpeed},                {"Edit6", &RunParameters::InitialTemperature},
      {"Edit201", &RunParameters::Chi1p},                 {"Edit202", &RunParameters::Chi2p},
      {"Edit203", &RunParameters::Chi12},                 {"Edit204", &RunParameters::Keff1},
      {"Edit205", &RunParameters::Keff2},                 {"Edit206", &RunParameters::Fter1},
      {"Edit207", &RunParameters::Fter2},                 {"Edit211", &RunParameters::PolymerHeatCapacity},
      {"Edit212", &RunParameters::PolymerDensity},        {"Edit221", &RunParameters::HeatCapacity1},
      {"Edit222", &RunParameters::HeatOfVaporization1},   {"Edit223", &RunParameters::AirDiffusivity1},
      {"Edit224", &RunParameters::VaporA1},               {"Edit225", &RunParameters::VaporB1},
      {"Edit226", &RunParameters::VaporC1},               {"Edit227", &RunParameters::Density1},
      {"Edit228", &RunParameters::MolecularWeight1},      {"Edit231", &RunParameters::HeatCapacity2},
      {"Edit232", &RunParameters::HeatOfVaporization2},   {"Edit233", &RunParameters::AirDiffusivity2},
      {"Edit234", &RunParameters::VaporA2},               {"Edit235", &RunParameters::VaporB2},
      {"Edit236", &RunParameters::VaporC2},               {"Edit237", &RunParameters::Density2},
      {"Edit238", &RunParameters::MolecularWeight2},      {"Edit241", &RunParameters::BaseHeatCapacity},
      {"Edit242", &RunParameters::BaseDensity},
  };
  FieldTextMap f;
  double value = 1.25;
  for (const Row& row : rows) f.SetText(row.component, std::to_string(value += 1.0));
  for (int i = 1; i <= 11; ++i) {
    f.SetText("Edit" + std::to_string(250 + i), std::to_string(100 + i) + ".5");
    f.SetText("Edit" + std::to_string(270 + i), std::to_string(200 + i) + ".5");
  }
  for (int z = 1; z <= 3; ++z)
    for (int i = 1; i <= 6; ++i) f.SetText(ZoneComponent(z, i), std::to_string(10 * z + i) + ".5");
  f.SetText("Edit250", "out.txt");

  Reading r(f);
  ASSERT_TRUE(r.setup.InputAccepted) << r.Message();
  value = 1.25;
  for (const Row& row : rows) EXPECT_EQ(r.p().*(row.member), value += 1.0) << row.component;
  for (int i = 1; i <= 11; ++i) {
    EXPECT_EQ(r.p().DiffParams1[i], 100 + i + 0.5);
    EXPECT_EQ(r.p().DiffParams2[i], 200 + i + 0.5);
  }
  EXPECT_EQ(r.setup.ZoneCount, 3);
  for (int z = 1; z <= 3; ++z) {
    EXPECT_EQ(r.p().OuterTemperature[z], 10 * z + 1.5);
    EXPECT_EQ(r.p().ZoneLength[z], 10 * z + 2.5);
    EXPECT_EQ(r.p().PartialPressure1[z], 10 * z + 3.5);
    EXPECT_EQ(r.p().PartialPressure2[z], 10 * z + 4.5);
    EXPECT_EQ(r.p().BaseHeatTransferCoeff[z], 10 * z + 5.5);
    EXPECT_EQ(r.p().CoatHeatTransferCoeff[z], 10 * z + 6.5);
  }
  EXPECT_EQ(r.setup.SaveFileName, "out.txt");
}

TEST(ReadRunParameters, GeneralFieldRefusalsInCheckingOrder) {
  {  // the increment itself
    FieldTextMap f;
    f.SetText("Edit19", "abc");
    f.SetText("Edit20", "41");  // would be the next refusal
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect));
    EXPECT_EQ(r.p().IncrementZ, 0.0);
  }
  for (const char* layers : {"abc", "", "20.0", "2147483648"}) {
    FieldTextMap f;
    f.SetText("Edit20", layers);
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect)) << layers;
    EXPECT_EQ(r.p().IncrementZ, 2.0);
    EXPECT_EQ(r.p().TotalLayerCount, 0);
  }
  for (const auto& [layers, stored] : {std::pair{"41", 45}, {"100", 104}}) {
    FieldTextMap f;
    f.SetText("Edit20", layers);
    f.SetText("Edit1", "bad");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kTooMuch)) << layers;
    EXPECT_EQ(r.p().TotalLayerCount, stored);
    EXPECT_EQ(r.p().InitialCoatingThickness, 0.0);
  }
  for (const auto& [layers, stored] : {std::pair{"25", 29}, {"5", 9}, {"0", 4}, {"-10", -6}}) {
    FieldTextMap f;
    f.SetText("Edit20", layers);
    Reading r(f);
    EXPECT_TRUE(r.Refused(kLayers)) << layers;
    EXPECT_EQ(r.p().TotalLayerCount, stored);
    EXPECT_EQ(r.p().IncrementZ, 2.0);
    EXPECT_EQ(r.p().InitialCoatingThickness, 0.0);
  }
  {  // a film field: the ones before it are stored, it and later ones not
    FieldTextMap f;
    f.SetText("Edit4", "0.003.5");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect));
    EXPECT_EQ(r.p().TotalLayerCount, 24);
    EXPECT_EQ(r.p().InitialComposition2, 0.321);
    EXPECT_EQ(r.p().BaseFilmThickness, 0.0);
    EXPECT_EQ(r.p().WebSpeed, 0.0);
  }
  {  // the last diffusion parameter; the save file name is not reached
    FieldTextMap f;
    f.SetText("Edit281", "-1.01071E");
    f.SetText("Edit250", "");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect));
    EXPECT_EQ(r.p().DiffParams2[10], -1.33504E7);
    EXPECT_EQ(r.p().DiffParams2[11], 0.0);
    EXPECT_EQ(r.setup.SaveFileName, "");
    EXPECT_EQ(r.setup.ZoneCount, 0);
  }
  {  // a value beyond the double range overflows on storing
    FieldTextMap f;
    f.SetText("Edit203", "1e400");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect));
    EXPECT_EQ(r.p().Chi2p, 0.34);
    EXPECT_EQ(r.p().Chi12, 0.0);
  }
}

TEST(ReadRunParameters, IncrementAndZoneOneBound) {
  // Zero increment: division by zero in the bound.  Negative increment:
  // refused at the same place, since it would mark every zone with a
  // negative step count and report an empty march as a success.  A zone
  // length whose centimetres overflow a 64-bit integer: invalid rounding.
  for (const auto& [increment, length] : {std::pair{"0", "50.0"}, {"0.0", "0"}, {"-2.0", "50.0"},
                                          {"-0.0", "50.0"}, {"2.0", "1e17"}, {"2.0", "-1e300"}}) {
    FieldTextMap f;
    f.SetText("Edit19", increment);
    f.SetText("Edit8", length);
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect)) << increment << " " << length;
    EXPECT_EQ(r.p().InitialTemperature, 30.0);
    EXPECT_EQ(r.p().OuterTemperature[1], 60.0);
    EXPECT_EQ(r.p().BaseHeatTransferCoeff[1], 0.0);
  }
  {
    FieldTextMap f;
    f.SetText("Edit8", "160.02");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kBound1));
    EXPECT_EQ(r.p().ZoneLength[1], 160.02);
    EXPECT_EQ(r.p().BaseHeatTransferCoeff[1], 0.0);
    EXPECT_EQ(r.p().Chi1p, 0.0);
  }
  {
    FieldTextMap f;
    f.SetText("Edit8", "160");
    Reading r(f);
    EXPECT_TRUE(r.setup.InputAccepted);
    EXPECT_EQ(r.setup.ZoneStepCount[1], 8000);
    EXPECT_EQ(r.setup.ZoneStepCount[2], 2500);
  }
}

TEST(ReadRunParameters, SaveFileName) {
  {
    FieldTextMap f;
    f.SetText("Edit250", "");
    FillZone(f, 2, "60.0", "");  // a zone error comes after the name
    Reading r(f);
    EXPECT_TRUE(r.Refused(kSaveName));
    EXPECT_EQ(r.setup.ZoneCount, 1);
    EXPECT_EQ(r.p().DiffParams2[11], -1.01071E7);
  }
  {  // bad general field reported first
    FieldTextMap f;
    f.SetText("Edit250", "");
    f.SetText("Edit242", "x");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kNotCorrect));
  }
  {  // blanks only pass, taken unchanged
    FieldTextMap f;
    f.SetText("Edit250", "  ");
    Reading r(f);
    EXPECT_TRUE(r.setup.InputAccepted);
    EXPECT_EQ(r.setup.SaveFileName, "  ");
  }
}

TEST(ReadRunParameters, ZoneListEndsAtTheFirstZoneNotInUse) {
  for (const char* off : {"0", "0.0", "", "-0", "0E5"}) {
    FieldTextMap f;
    for (int z = 3; z <= 14; ++z) FillZone(f, z, "70.0", "10.0");
    f.SetText("Edit21", off);
    f.SetText("Edit22", "junk");
    Reading r(f);
    EXPECT_TRUE(r.setup.InputAccepted) << off;
    EXPECT_EQ(r.setup.ZoneCount, 1) << off;
    EXPECT_EQ(r.setup.ZoneStepCount[1], 2500);
    EXPECT_EQ(r.setup.ZoneStepCount[2], kUntouched);
    EXPECT_EQ(r.p().OuterTemperature[2], 0.0);
  }
  {  // zone 3 ignored, its non-numeric texts not validated
    FieldTextMap f;
    f.SetText("Edit21", "");
    FillZone(f, 3, "hot", "long");
    Reading r(f);
    EXPECT_TRUE(r.setup.InputAccepted);
    EXPECT_EQ(r.setup.ZoneCount, 1);
  }
  {  // zone 4 ends the list; zones 5.. are filled but unused
    FieldTextMap f;
    FillZone(f, 3, "80", "25");
    for (int z = 5; z <= 14; ++z) FillZone(f, z, "x", "y");
    Reading r(f);
    EXPECT_TRUE(r.setup.InputAccepted);
    EXPECT_EQ(r.setup.ZoneCount, 3);
    EXPECT_EQ(r.setup.ZoneStepCount[3], 1250);
    EXPECT_EQ(r.setup.ZoneStepCount[4], kUntouched);
  }
}

TEST(ReadRunParameters, FourteenZones) {
  FieldTextMap f;
  for (int z = 2; z <= 14; ++z) FillZone(f, z, std::to_string(40 + z), std::to_string(z) + ".5");
  f.SetText("Edit19", "0.5");
  f.SetText("Edit8", "1.5");
  Reading r(f);
  ASSERT_TRUE(r.setup.InputAccepted) << r.Message();
  EXPECT_EQ(r.setup.ZoneCount, 14);
  EXPECT_EQ(r.setup.ZoneStepCount[1], 300);
  for (int z = 2; z <= 14; ++z) {
    EXPECT_EQ(r.setup.ZoneStepCount[z], (z * 100 + 50) * 2) << z;
    EXPECT_EQ(r.p().OuterTemperature[z], 40.0 + z);
    EXPECT_EQ(r.p().CoatHeatTransferCoeff[z], 0.001);
  }
}

TEST(ReadRunParameters, LaterZoneRefusals) {
  {  // zone 2 with an empty length
    FieldTextMap f;
    f.SetText("Edit22", "");
    Reading r(f);
    EXPECT_TRUE(r.Refused("Input value of Zone 2 is not correct!"));
    EXPECT_EQ(r.setup.ZoneCount, 1);
    EXPECT_EQ(r.p().OuterTemperature[2], 0.0);
  }
  {  // zone 14 fails after 2..13 were read: nothing of the scan committed
    FieldTextMap f;
    for (int z = 3; z <= 14; ++z) FillZone(f, z, "70", "10");
    f.SetText("Edit146", "1e400");
    Reading r(f);
    EXPECT_TRUE(r.Refused("Input value of Zone 14 is not correct!"));
    EXPECT_EQ(r.setup.ZoneCount, 1);
    EXPECT_EQ(r.p().OuterTemperature[2], 0.0);
    EXPECT_EQ(r.p().OuterTemperature[13], 0.0);
  }
  {  // zone 2's bound: 160 m accepted, 160.02 m refused with the 8001 text
    FieldTextMap f;
    f.SetText("Edit22", "160");
    Reading accepted(f);
    EXPECT_TRUE(accepted.setup.InputAccepted);
    EXPECT_EQ(accepted.setup.ZoneStepCount[2], 8000);

    f.SetText("Edit22", "160.02");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kBoundK));
    EXPECT_EQ(r.setup.ZoneCount, 2);
    EXPECT_EQ(r.p().OuterTemperature[2], 60.0);
    EXPECT_EQ(r.p().ZoneLength[2], 160.02);
    EXPECT_EQ(r.p().BaseHeatTransferCoeff[2], 0.0);
  }
  {  // zone 3's bound: zone 2 committed whole, zone 3 in part
    FieldTextMap f;
    FillZone(f, 3, "90", "170");
    Reading r(f);
    EXPECT_TRUE(r.Refused(kBoundK));
    EXPECT_EQ(r.p().CoatHeatTransferCoeff[2], 0.0010944);
    EXPECT_EQ(r.p().ZoneLength[3], 170.0);
    EXPECT_EQ(r.p().PartialPressure1[3], 0.0);
  }
  {  // a length whose centimetres overflow the 64-bit rounding
    FieldTextMap f;
    f.SetText("Edit22", "1e17");
    Reading r(f);
    EXPECT_TRUE(r.Refused("Input value of Zone 2 is not correct!"));
    EXPECT_EQ(r.p().ZoneLength[2], 1e17);
    EXPECT_EQ(r.p().PartialPressure1[2], 0.0);
  }
}

TEST(ReadRunParameters, ZoneTemperatureThatIsNotANumberLeavesThroughTheErrorReport) {
  FieldTextMap f;
  f.SetText("Edit21", "x");
  RunSetup setup;
  RecordingHost host;
  try {
    ReadRunParameters(f, host, setup);
    FAIL() << "no error";
  } catch (const GeneralError& e) {
    EXPECT_EQ(std::string(e.what()), "'x' は浮動小数点数ではありません");
  }
  EXPECT_TRUE(host.Messages.empty());
  EXPECT_FALSE(setup.InputAccepted);
  EXPECT_EQ(setup.ZoneCount, 1);
  EXPECT_EQ(setup.ZoneStepCount[1], 0);
  EXPECT_EQ(setup.Params.DiffParams2[11], -1.01071E7);
}

// Every refusal names the field it is about.  The table lists the checks in
// the order the reading makes them; two neighbouring rows applied together
// (on different fields) give the earlier row's message and field.
TEST(ReadRunParameters, EachRefusalNamesItsFieldInCheckingOrder) {
  struct Row {
    std::vector<std::pair<std::string, std::string>> texts;
    std::string message, field;
  };
  std::vector<Row> rows = {
      {{{"Edit19", "abc"}}, kNotCorrect, "Edit19"},
      {{{"Edit20", "abc"}}, kNotCorrect, "Edit20"},
      {{{"Edit20", "41"}}, kTooMuch, "Edit20"},
      {{{"Edit20", "25"}}, kLayers, "Edit20"},
  };
  for (int n = 1; n <= 8; ++n) rows.push_back({{{"Edit" + std::to_string(n), "x"}}, kNotCorrect, "Edit" + std::to_string(n)});
  rows.push_back({{{"Edit19", "0"}}, kNotCorrect, "Edit19"});
  rows.push_back({{{"Edit8", "-5"}}, kNotCorrect, "Edit8"});  // a negative zone length marches nothing
  rows.push_back({{{"Edit8", "160.02"}}, kBound1, "Edit8"});
  std::vector<int> later = {9, 10, 11, 12};
  for (int first : {201, 211, 221, 231, 241}) {
    const int last = first == 201 ? 207 : first == 211 || first == 241 ? first + 1 : first + 7;
    for (int n = first; n <= last; ++n) later.push_back(n);
  }
  for (int n = 251; n <= 261; ++n) later.push_back(n);
  for (int n = 271; n <= 281; ++n) later.push_back(n);
  for (int n : later) rows.push_back({{{"Edit" + std::to_string(n), "1e400"}}, kNotCorrect, "Edit" + std::to_string(n)});
  rows.push_back({{{"Edit250", ""}}, kSaveName, "Edit250"});
  for (int i = 2; i <= 6; ++i) rows.push_back({{{ZoneComponent(2, i), "x"}}, "Input value of Zone 2 is not correct!", ZoneComponent(2, i)});
  for (int i = 2; i <= 6; ++i)
    rows.push_back({{{"Edit31", "70"}, {"Edit32", "10"}, {"Edit33", "0"}, {"Edit34", "0"}, {"Edit35", "0.001"},
                     {"Edit36", "0.001"}, {ZoneComponent(3, i), ""}},
                    "Input value of Zone 3 is not correct!", ZoneComponent(3, i)});
  rows.push_back({{{"Edit22", "-5"}}, "Input value of Zone 2 is not correct!", "Edit22"});
  rows.push_back({{{"Edit22", "160.02"}}, kBoundK, "Edit22"});
  // A web at rest or running backwards: after every other check.
  rows.push_back({{{"Edit5", "0"}}, kNotCorrect, "Edit5"});
  rows.push_back({{{"Edit5", "-0.5"}}, kNotCorrect, "Edit5"});

  struct Explaining : EngineHost {
    void ShowMessage(const std::string& text) override { shown.push_back({text, "(unexplained)"}); }
    void ShowExplainedMessage(const std::string& text, const MessageDetail& d) override {
      shown.push_back({text, d.Field});
      EXPECT_FALSE(d.Explanation.empty()) << text;
    }
    std::vector<std::pair<std::string, std::string>> shown;
  };
  auto refusal = [](const std::vector<const Row*>& applied) {
    FieldTextMap f;
    for (const Row* r : applied)
      for (const auto& [field, text] : r->texts) f.SetText(field, text);
    RunSetup setup;
    Explaining host;
    ReadRunParameters(f, host, setup);
    EXPECT_FALSE(setup.InputAccepted);
    return host.shown.size() == 1 ? host.shown[0] : std::pair<std::string, std::string>{"(not one message)", ""};
  };
  auto fieldsOf = [](const Row& r) {
    std::set<std::string> names;
    for (const auto& t : r.texts) names.insert(t.first);
    return names;
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE(r.field + " = " + r.texts.back().second);
    EXPECT_EQ(refusal({&r}), (std::pair{r.message, r.field}));
    if (i + 1 == rows.size()) continue;
    const Row& next = rows[i + 1];
    const auto a = fieldsOf(r), b = fieldsOf(next);
    if (std::any_of(b.begin(), b.end(), [&](const std::string& n) { return a.count(n) > 0; })) continue;
    EXPECT_EQ(refusal({&r, &next}), (std::pair{r.message, r.field})) << "checked before " << next.field;
  }

  // A zone's outer temperature that is not a number names its field too.
  FieldTextMap f;
  f.SetText("Edit21", "6O");
  RunSetup setup;
  Explaining host;
  try {
    ReadRunParameters(f, host, setup);
    ADD_FAILURE() << "no error";
  } catch (const FieldTextError& e) {
    EXPECT_EQ(e.Field, "Edit21");
  }
}

// A zone of length zero stays allowed: its exit is its entrance.
TEST(ReadRunParameters, ZeroZoneLengthIsAccepted) {
  FieldTextMap f;
  f.SetText("Edit8", "0");
  f.SetText("Edit22", "-0.0");
  Reading r(f);
  EXPECT_TRUE(r.setup.InputAccepted);
  EXPECT_EQ(r.setup.ZoneStepCount[1], 0);
  EXPECT_EQ(r.setup.ZoneStepCount[2], 0);
}

TEST(ReadRunParameters, RoundingOfBoundAndStepCount) {
  // Step count: ties to even after dividing (25 cm / 2 = 12.5 -> 12,
  // 75 / 2 = 37.5 -> 38).
  {
    FieldTextMap f;
    f.SetText("Edit8", "0.25");
    f.SetText("Edit22", "0.75");
    Reading r(f);
    ASSERT_TRUE(r.setup.InputAccepted);
    EXPECT_EQ(r.setup.ZoneStepCount[1], 12);
    EXPECT_EQ(r.setup.ZoneStepCount[2], 38);
  }
  // The bound rounds the centimetres first: 4000.49 cm -> 4000 / 0.5 = 8000
  // passes, while the step count 8000.98 rounds to 8001, which is admitted.
  {
    FieldTextMap f;
    f.SetText("Edit19", "0.5");
    f.SetText("Edit8", "40.0049");
    f.SetText("Edit22", "40.0049");
    Reading r(f);
    ASSERT_TRUE(r.setup.InputAccepted) << r.Message();
    EXPECT_EQ(r.setup.ZoneStepCount[1], 8001);
    EXPECT_EQ(r.setup.ZoneStepCount[2], 8001);
  }
  // Past 8001 the zone is refused with its step-bound message even though
  // the rounded-centimetre ratio passes: 2000.4 cm / 0.25 -> 8000, but
  // 8001.6 steps; 0.4 cm at 0.00001 cm rounds to a ratio of 0 but asks for
  // 40000 steps.
  for (const auto& [increment, length] : {std::pair{"0.25", "20.004"}, {"0.00001", "0.004"}}) {
    FieldTextMap one;
    one.SetText("Edit19", increment);
    one.SetText("Edit8", length);
    one.SetText("Edit22", "0.001");
    Reading r1(one);
    EXPECT_TRUE(r1.Refused(kBound1)) << length;

    FieldTextMap two;
    two.SetText("Edit19", increment);
    two.SetText("Edit8", "0.0005");
    two.SetText("Edit22", length);
    Reading r2(two);
    EXPECT_TRUE(r2.Refused(kBoundK)) << length;
  }
}

TEST(ReadRunParameters, DecimalSeparatorIsTheCallers) {
  FieldTextMap f;
  for (const FieldSpec& field : FieldTable()) {
    std::string text = f.Text(field.Component);
    if (field.Component == "Edit250") continue;
    for (char& c : text)
      if (c == '.') c = ',';
    f.SetText(field.Component, text);
  }
  Reading comma(f, ',');
  EXPECT_TRUE(comma.setup.InputAccepted) << comma.Message();
  EXPECT_EQ(comma.p().CoatHeatTransferCoeff[1], 0.0010944);
  EXPECT_EQ(comma.setup.ZoneStepCount[2], 2500);

  Reading point(f, '.');
  EXPECT_TRUE(point.Refused(kNotCorrect));
}

TEST(TextToNumber, ExtendedAcceptsTheStandardForms) {
  struct Case {
    const char* text;
    long double value;
  };
  const Case cases[] = {
      {"1.0", 1.0L},          {"-6.01069E2", -601.069L}, {"0.0009228", 0.0009228L}, {"+5", 5.0L},
      {"5.", 5.0L},           {".5", 0.5L},              {"1e-3", 0.001L},          {"2E+03", 2000.0L},
      {" 2.0 ", 2.0L},        {"-0", -0.0L},             {"007", 7.0L},             {"1e-5000", 0.0L},
  };
  for (const Case& c : cases) {
    long double v = -1;
    EXPECT_TRUE(TextToExtended(c.text, '.', v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
  long double v = 0;
  EXPECT_TRUE(TextToExtended("1,5", ',', v));
  EXPECT_EQ(v, 1.5L);
}

TEST(TextToNumber, ExtendedRejects) {
  for (const char* text : {"", " ", "abc", "1.0x", "inf", "-INF", "nan", "0x10", "1e", "1e+", ".", "-", "+",
                           "1 0", "\t1", "1\t", "1,000", "1.2.3", "e5", "1e5000", "1.5e-", "１", "60.0℃"}) {
    long double v = 42;
    EXPECT_FALSE(TextToExtended(text, '.', v)) << text;
    EXPECT_EQ(v, 42.0L) << text;
  }
  long double v = 42;
  EXPECT_FALSE(TextToExtended("1.5", ',', v));
}

TEST(TextToNumber, ExtendedKeepsTheFloatingPointFlags) {
  long double v = 0;
  std::feclearexcept(FE_ALL_EXCEPT);
  EXPECT_FALSE(TextToExtended("1e99999", '.', v));
  EXPECT_TRUE(TextToExtended("1e-4940", '.', v));
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

TEST(TextToNumber, ExtendedIgnoresACommaDecimalProcessLocale) {
  // The toolkit switches the process to the user's locale at start; the
  // conversion must not notice.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no comma-decimal locale (de_DE.UTF-8 or fr_FR.UTF-8) is installed on this machine";
  long double v = 0;
  EXPECT_TRUE(TextToExtended("2.5", '.', v));
  EXPECT_EQ(v, 2.5L);
  EXPECT_FALSE(TextToExtended("2,5", '.', v));
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(TextToNumber, StoredDoubleIsTheExtendedValueRoundedAgain) {
  // 2^53 + 1.00000001: nearer 2^53 + 2 as a double, but in extended precision
  // it rounds to 2^53 + 1, a double tie, which goes to the even 2^53.
  FieldTextMap f;
  f.SetText("Edit6", "9007199254740993.00000001");
  Reading r(f);
  EXPECT_EQ(r.p().InitialTemperature, 9007199254740992.0);
  EXPECT_NE(std::strtod("9007199254740993.00000001", nullptr), 9007199254740992.0);
}

TEST(TextToNumber, Int) {
  const std::pair<const char*, int> good[] = {{"20", 20},   {" 40 ", 40},           {"+10", 10},
                                              {"-10", -10}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}};
  for (const auto& [text, expected] : good) {
    int n = 0;
    EXPECT_TRUE(TextToInt(text, n)) << text;
    EXPECT_EQ(n, expected) << text;
  }
  for (const char* text : {"", " ", "abc", "20.0", "2e1", "0x14", "$14", "2147483648", "-2147483649", "+", "2 0"}) {
    int n = 7;
    EXPECT_FALSE(TextToInt(text, n)) << text;
    EXPECT_EQ(n, 7) << text;
  }
}

}  // namespace
}  // namespace kelvane
