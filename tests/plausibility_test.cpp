// The plausibility check before the march: quiet on the default window and
// on every case the tests compute, one warning for each rule on a value just
// outside its range.

#include "run/Plausibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"

namespace kelvane {
namespace {

RunSetup Read(const FieldTextMap& f) {
  RunSetup s;
  SilentHost host;
  ReadRunParameters(f, host, s);
  EXPECT_TRUE(s.InputAccepted);
  return s;
}

std::vector<std::string> WarnedFields(const FieldTextMap& f) {
  std::vector<std::string> fields;
  for (const PlausibilityWarning& w : CheckPlausibility(Read(f))) fields.push_back(w.Field);
  return fields;
}

void CopyZone(FieldTextMap& f, int from, int to) {
  for (int i = 1; i <= 6; ++i) f.SetText(ZoneComponent(to, i), f.Text(ZoneComponent(from, i)));
}

std::string Text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

TEST(Plausibility, DefaultWindowAndTheTestsOwnCasesWarnOfNothing) {
  std::vector<std::function<void(FieldTextMap&)>> cases = {
      [](FieldTextMap&) {},
      [](FieldTextMap& f) { f.SetText("Edit20", "10"); },
      [](FieldTextMap& f) { f.SetText("Edit20", "40"); f.SetText("Edit19", "0.7"); },
      [](FieldTextMap& f) { f.SetText("Edit8", "0.2"); f.SetText("Edit22", "0.2"); },  // the runner's short zones
      [](FieldTextMap& f) { f.SetText("Edit8", "160"); f.SetText("Edit22", "160"); },
      [](FieldTextMap& f) { f.SetText("Edit5", "0.05"); },
      [](FieldTextMap& f) {  // fourteen zones, warm and with solvent in the gas
        for (int z = 3; z <= 14; ++z) CopyZone(f, 2, z);
        for (int z = 2; z <= 14; ++z) {
          f.SetText(ZoneComponent(z, 1), std::to_string(40 + 10 * (z % 6)));
          f.SetText(ZoneComponent(z, 3), "1.5");
          f.SetText(ZoneComponent(z, 4), "2.5");
        }
      },
      [](FieldTextMap& f) {
        f.SetText("Edit19", "1.0");
        f.SetText("Edit21", "70.0");
        f.SetText("Edit201", "0.36");
        f.SetText("Edit6", "25.0");
      },
      [](FieldTextMap& f) { f.SetText("Edit7", "180"); f.SetText("Edit21", "180"); },  // hot, and it finishes
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FieldTextMap f;
    cases[i](f);
    EXPECT_EQ(WarnedFields(f), std::vector<std::string>{}) << "case " << i;
  }
}

// Every field with a valid range warns just outside it, naming itself.
TEST(Plausibility, EachRangeWarnsJustOutsideIt) {
  int checked = 0;
  for (const FieldSpec& field : FieldTable()) {
    if (!field.Valid.Bounded() || field.Zone > 2) continue;
    std::vector<double> outside;
    if (field.Valid.Low != -HUGE_VAL) outside.push_back(field.Valid.LowOpen ? field.Valid.Low : std::nextafter(field.Valid.Low, -HUGE_VAL));
    if (field.Valid.High != HUGE_VAL) outside.push_back(std::nextafter(field.Valid.High, HUGE_VAL));
    for (double v : outside) {
      if (field.Member == "IncrementZ") continue;  // refused by the reading itself
      if (field.Member.rfind("ZoneLength", 0) == 0) continue;  // a negative length is refused as well
      FieldTextMap f;
      f.SetText(field.Component, Text(v));
      RunSetup s;
      SilentHost host;
      ReadRunParameters(f, host, s);
      if (!s.InputAccepted) continue;  // beyond what the reading accepts at all
      const auto warnings = CheckPlausibility(s);
      bool named = false;
      for (const PlausibilityWarning& w : warnings) named = named || w.Field == field.Component;
      EXPECT_TRUE(named) << field.Member << " = " << Text(v);
      ++checked;
    }
  }
  EXPECT_GE(checked, 40);
}

// The cross-field rules, each on a value just past its edge and one just
// before it.
TEST(Plausibility, CrossFieldRulesFireJustPastTheirEdge) {
  struct Edge {
    std::string field;
    double before, past;
    std::string warned;
  };
  const double rho1 = 0.86, rho2 = 0.88, c2 = 0.321;
  const double fullC1 = (1.0 - c2 / rho2) * rho1;  // no room left for the polymer
  const double ps1 = SaturationPressure(6.95464, 1344.8, 219.482, 60.0);
  const double hot2 = 1202.29 / (6.99514 - std::log10(NearCriticalPressure)) - 226.25;
  const std::vector<Edge> edges = {
      {"Edit2", fullC1 * (1 - 1e-9), fullC1 * (1 + 1e-9), "Edit2"},
      {"Edit9", ps1 * (1 - 1e-9), ps1 * (1 + 1e-9), "Edit9"},
      {"Edit7", hot2 - 0.01, hot2 + 0.01, "Edit7"},
      {"Edit22", 0.1, 0.08, "Edit22"},  // 5 steps of 2 cm, then 4
  };
  for (const Edge& e : edges) {
    SCOPED_TRACE(e.field);
    FieldTextMap f;
    f.SetText(e.field, Text(e.before));
    EXPECT_EQ(WarnedFields(f), std::vector<std::string>{});
    f.SetText(e.field, Text(e.past));
    EXPECT_EQ(WarnedFields(f), std::vector<std::string>{e.warned});
  }
  // A zone of length zero is passed by, not warned about; a zone too short
  // for one step of the increment (0.8 cm of 2 cm steps) is.
  FieldTextMap f;
  f.SetText("Edit22", "0");
  EXPECT_EQ(WarnedFields(f), std::vector<std::string>{});
  f.SetText("Edit22", "0.008");
  EXPECT_EQ(WarnedFields(f), std::vector<std::string>{"Edit22"});
}

}  // namespace
}  // namespace kelvane
