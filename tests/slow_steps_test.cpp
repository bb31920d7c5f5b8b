// Where a slow run's time went: the hard steps of each zone as the march
// counts them, the account's words, and the places that show it (the
// summary's table and JSON, the runner's standard error).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "study/StudyDefinition.h"
#include "study/StudyRun.h"
#include "summary/SlowSteps.h"
#include "summary/SummaryText.h"

namespace kelvane {
namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

// One of the plausible dryers kept with the tests, as field settings.
Settings KeptDryer(const std::string& label) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/tests/data/plausible-dryers.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(label + "\t", 0) != 0) continue;
    std::istringstream fields(line);
    std::string item;
    std::getline(fields, item, '\t');
    Settings settings;
    while (std::getline(fields, item, '\t')) {
      const auto eq = item.find('=');
      settings.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    }
    return settings;
  }
  ADD_FAILURE() << label;
  return {};
}

FieldTextMap FieldsOf(const Settings& settings) {
  FieldTextMap fields;
  for (const auto& [name, text] : settings)
    if (const FieldSpec* f = FindField(name)) fields.SetText(f->Component, text);
  return fields;
}

// What kelvane-run wrote to standard error for a single run of the dryer.
std::string RunnerErrors(const Settings& settings) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kelvane-slow-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string cmd = "cd '" + dir.string() + "' && '" + KELVANE_RUNNER + "' -o result.txt";
  for (const auto& [name, text] : settings) cmd += " --set '" + name + "=" + text + "'";
  cmd += " >/dev/null 2>errors.txt";
  const int rc = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << cmd;
  std::ifstream in(dir / "errors.txt");
  std::string errors((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove_all(dir);
  return errors;
}

// rescued-10 as a single robust run follows three secant searches of
// thousands of trials (one to the cap of 100 000) in one zone: its summary,
// table, JSON and the runner name the zone, the steps and their trials.  The
// same dryer as a study row settles those steps early and is not slow; with
// Identical it is the single run again.
TEST(SlowSteps, SlowRunsTellWhereTheTimeWent) {
  const Settings dryer = KeptDryer("rescued-10");
  StudyDefinition study;
  study.Base = FieldsOf(dryer);
  for (const bool identical : {true, false}) {
    StudyOptions options;
    options.Identical = identical;
    const RowResult row = RunRow(study, RowAt(study, 1), options);
    ASSERT_EQ(row.Outcome, RowOutcome::Finished) << row.Message;
    const SlowSteps& slow = row.Details.Run.Slow;
    if (!identical) {
      EXPECT_TRUE(slow.Zones.empty()) << SlowStepsText(slow);
      EXPECT_NE(SummaryJson(row.Details).find("\"slow_steps\": null"), std::string::npos);
      continue;
    }
    ASSERT_EQ(slow.Zones.size(), 1u);
    const SlowZone& z = slow.Zones.front();
    EXPECT_EQ(z.Steps, 3);
    EXPECT_GE(z.Fewest, HardStepTrials);
    EXPECT_GE(z.Most, 100000);
    // Three different steps: what the fewest and the most leave is the third.
    const long long middle = z.Trials - z.Fewest - z.Most;
    EXPECT_LT(z.Fewest, z.Most);
    EXPECT_GE(middle, z.Fewest);
    EXPECT_LE(middle, z.Most);
    EXPECT_EQ(slow.HardTrials, z.Trials);
    EXPECT_GE(4 * z.Trials, slow.RunTrials);
    const std::string text = SlowStepsText(slow);
    EXPECT_EQ(text.rfind("Where the time went: zone " + std::to_string(z.Zone) + ": 3 steps needed ", 0), 0u) << text;
    EXPECT_NE(SummaryTable(row.Details).find(text), std::string::npos);
    EXPECT_NE(SummaryJson(row.Details).find("\"slow_steps\": {\"run_trials\": " + std::to_string(slow.RunTrials)),
              std::string::npos);
    // The runner's single run is the same run, and says the same.
    const std::string errors = RunnerErrors(dryer);
    EXPECT_NE(errors.find(text + "\n"), std::string::npos) << errors;
  }
}

// The account's words: counts grouped by thousands, one step alone, and
// nothing for a run whose hard steps took less than a quarter of it (a
// quarter exactly is slow).
TEST(SlowSteps, TheAccountsWords) {
  Statistics stats;
  stats.Trials = 3512345;
  stats.Hard[8] = {81, 10069, 95727, 3300000};
  stats.Hard[9] = {1, 1204, 1204, 1204};
  EXPECT_EQ(SlowStepsText(SlowStepsOf(stats)),
            "Where the time went: zone 8: 81 steps needed 10 069–95 727 trials each, zone 9: 1 step needed 1 204 "
            "trials (94 % of the run's 3 512 345 trials).");
  stats.Trials = 4 * 3301204;
  EXPECT_EQ(SlowStepsText(SlowStepsOf(stats)),
            "Where the time went: zone 8: 81 steps needed 10 069–95 727 trials each, zone 9: 1 step needed 1 204 "
            "trials (25 % of the run's 13 204 816 trials).");
  stats.Trials = 4 * 3301204 + 1;
  EXPECT_EQ(SlowStepsText(SlowStepsOf(stats)), "");
  stats.Hard[8] = {2, 5000, 5000, 10000};
  stats.Hard[9] = {};
  stats.Trials = 20000;
  EXPECT_EQ(SlowStepsText(SlowStepsOf(stats)),
            "Where the time went: zone 8: 2 steps needed 5 000 trials each (50 % of the run's 20 000 trials).");
  EXPECT_EQ(SlowStepsText(SlowStepsOf(Statistics{})), "");
}

}  // namespace
}  // namespace kelvane
