// The robust solve off the plain path: the film side of a trial gives the
// values of the literal elimination, and the continuation solve settles the
// steps as the full rescue does.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::RecordingHost;

// A dry coating (no solvent at any node, solvent 2 gone) taking solvent 1
// up at its surface: in the dry polymer the diffusivity is so small that the
// profile falls below the smallest double within a few nodes.  Off the plain
// path those zeros keep the replay's sign instead of a dense elimination's;
// every value, and so every mass and volume fraction, is the literal one.
TEST(RobustOffPath, FilmSideKeepsTheLiteralValues) {
  for (const bool gone : {true, false}) {
    auto calc = std::make_unique<Calculation>();
    calc->Setup = fixtures::DefaultSetup(20, 2.0);
    InitializeFilmState(*calc);
    StepState& st = calc->Step;
    const int N = calc->Params().TotalLayerCount;
    st.Zone = 1;
    st.T = 60;
    PrepareZone(*calc);
    for (int i = 0; i <= N; ++i) {
      st.OldMassFrac1[i] = st.OldMassFrac2[i] = 0;
      st.OldVolFrac1[i] = st.OldVolFrac2[i] = 0;
      st.OldVolFracP[i] = 1;
      if (i > 0) calc->State.OldLayerThick[i] = calc->State.LayerThick[0][i] * 0.358;
    }
    PrepareStep(*calc);
    calc->Robust = true;
    calc->LeftPlainPath = true;
    st.Gone2 = gone;

    auto trial = [&](bool literal) {
      calc->LiteralTrials = literal;
      st.NewMassFrac1[0] = 1e-3;
      st.NewMassFrac2[0] = gone ? 0 : 2e-4;
      SolveFilm(*calc);
      return std::vector<NodeRow>{st.NewConc1, st.NewConc2, st.NewMassFrac1, st.NewMassFrac2, st.NewVolFrac1,
                                  st.NewVolFrac2};
    };
    const auto offPath = trial(false);
    const auto literal = trial(true);
    int zeros = 0;
    for (std::size_t a = 0; a < offPath.size(); ++a)
      for (int i = 0; i <= N; ++i) {
        EXPECT_EQ(offPath[a][i], literal[a][i]) << "array " << a << " node " << i << " gone " << gone;
        if (a == 0 && i > 0 && offPath[a][i] == 0) ++zeros;
      }
    EXPECT_GT(offPath[0][1], 0) << gone;
    EXPECT_GT(zeros, 0) << "the uptake should fall below the smallest double inside the coating";
  }
}


// The plausible dryers kept with the tests whose labels start with one of
// the prefixes, read as a run reads them.
std::vector<std::pair<std::string, RunSetup>> KeptDryers(const std::vector<std::string>& prefixes) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/tests/data/plausible-dryers.txt");
  std::vector<std::pair<std::string, RunSetup>> out;
  std::string line;
  while (std::getline(in, line)) {
    bool wanted = false;
    for (const std::string& p : prefixes) wanted = wanted || line.rfind(p, 0) == 0;
    if (!wanted) continue;
    std::istringstream items(line);
    std::string label, item;
    std::getline(items, label, '\t');
    FieldTextMap fields;
    while (std::getline(items, item, '\t')) {
      const auto eq = item.find('=');
      const FieldSpec* f = FindField(item.substr(0, eq));
      EXPECT_NE(f, nullptr) << item;
      if (f) fields.SetText(f->Component, item.substr(eq + 1));
    }
    RecordingHost host;
    RunSetup setup;
    ReadRunParameters(fields, host, setup, '.');
    EXPECT_TRUE(setup.InputAccepted) << label;
    out.emplace_back(label, setup);
  }
  EXPECT_FALSE(out.empty());
  return out;
}

// The robust-only plausible dryers kept with the tests.
std::vector<std::pair<std::string, RunSetup>> RobustOnlyDryers() {
  auto out = KeptDryers({"rescued", "off-path"});
  EXPECT_GE(out.size(), 5u);
  return out;
}

// The default window with a few fields set, as a run reads them.
RunSetup DefaultWith(const std::vector<std::pair<std::string, std::string>>& settings) {
  FieldTextMap fields;
  for (const auto& [name, text] : settings) fields.SetText(FindField(name)->Component, text);
  RecordingHost host;
  RunSetup setup;
  ReadRunParameters(fields, host, setup, '.');
  EXPECT_TRUE(setup.InputAccepted);
  return setup;
}

struct Exit {
  bool finished = false;
  double solvent = 0, temperature = 0;
  long long steps = 0, trials = 0;
  int hardest = 0;  // trials of the hardest step
};

// settle: the many-run mode's trials before a slow step is settled (0: the
// byte-identical robust mode).
// split: the many-run mode's short budget of a step that can still be split.
Exit MarchRobust(const RunSetup& setup, bool offPathFromStart, bool continuation, int settle = 0,
                 int split = ManyRunSplitTrials) {
  RecordingHost host;
  auto calc = std::make_unique<Calculation>(&host);
  calc->Setup = setup;
  calc->Robust = true;
  calc->OffPathFromStart = offPathFromStart;
  calc->ContinuationSolve = continuation;
  calc->SettleAfterTrials = settle;
  calc->SplitAfterTrials = split;
  Exit e;
  e.finished = enginetest::MarchAll(*calc, [&](int z) {
    const int n = setup.ZoneStepCount[z];
    if (calc->TransferOk && calc->ConvergenceOk) {
      e.solvent = calc->State.SolRemain[n];
      e.temperature = calc->State.FilmTemp[n];
    }
  }) == 0;
  e.steps = calc->Stats.Steps;
  e.trials = calc->Stats.Trials;
  e.hardest = calc->Stats.MaxTrialsPerStep;
  return e;
}

// On every robust-only dryer the continuation solve ends the run within the
// increment's own convergence (0.01 percentage points of solvent, 0.05 K) of
// the full rescue.
TEST(RobustOffPath, ContinuationAgreesWithTheFullRescue) {
  for (const auto& [label, setup] : RobustOnlyDryers()) {
    const bool offPath = label.rfind("off-path", 0) == 0;
    const Exit full = MarchRobust(setup, offPath, false);
    const Exit fast = MarchRobust(setup, offPath, true);
    ASSERT_TRUE(full.finished) << label;
    ASSERT_TRUE(fast.finished) << label;
    EXPECT_EQ(fast.steps, full.steps) << label;
    EXPECT_NEAR(fast.solvent, full.solvent, 0.01) << label;
    EXPECT_NEAR(fast.temperature, full.temperature, 0.05) << label;
  }
}

// A dryer that leaves the plain path in its first zone and meets, at the
// entrance of its second, a gas supersaturated with solvent 1 at the film
// temperature (19.8 mmHg against a film still near 14 C).  The secant search
// balances those steps (the film takes solvent up and warms), so the march
// goes on as it does with the continuation solve off; only a step nothing
// balances ends the run with the condensation message.
TEST(RobustOffPath, SupersaturatedGasIsSolvedNotRefused) {
  for (const auto& [label, setup] : KeptDryers({"supersaturated"})) {
    RecordingHost host;
    auto calc = std::make_unique<Calculation>(&host);
    calc->Setup = setup;
    calc->Robust = true;
    double solvent = 0, temperature = 0;
    const int failed = enginetest::MarchAll(*calc, [&](int z) {
      solvent = calc->State.SolRemain[setup.ZoneStepCount[z]];
      temperature = calc->State.FilmTemp[setup.ZoneStepCount[z]];
    });
    ASSERT_EQ(failed, 0) << label << ": " << (host.Messages.empty() ? "" : host.Messages.back());
    EXPECT_TRUE(calc->LeftPlainPath) << label;
    // The secant search and the full rescue (a second march, off the plain
    // path from the entrance, as a run takes it) end the dryer alike.
    const Exit full = MarchRobust(setup, true, false);
    ASSERT_TRUE(full.finished) << label;
    EXPECT_NEAR(solvent, full.solvent, 0.01) << label;
    EXPECT_NEAR(temperature, full.temperature, 0.05) << label;
  }
}

// The short default dryer (two zones of 10 m) at Keff1 = 1.2911 and 1.2913
// takes one step over early in its first zone; its neighbours at 1.2905 and
// 1.2917 finish on the plain path.  Each step after the takeover settled
// just inside the balance test, from the same side step after step, would
// bias the evaporation: the exit would lie 0.03 percentage points of solvent
// and 0.04 K away from the same dryer marched by the secant search.  Settled
// to a hundredth of the test, the continuation solve ends where the balance's
// root lies, within the secant search's own spread (0.01 points, 0.01 K).
TEST(RobustOffPath, ContinuationSettlesStepsWithoutBias) {
  for (const char* keff : {"1.2911", "1.2913"}) {
    const RunSetup setup = DefaultWith({{"ZoneLength[1]", "10"}, {"ZoneLength[2]", "10"}, {"Keff1", keff}});
    const Exit fast = MarchRobust(setup, false, true);
    const Exit secant = MarchRobust(setup, false, false);
    ASSERT_TRUE(fast.finished) << keff;
    ASSERT_TRUE(secant.finished) << keff;
    EXPECT_NEAR(fast.solvent, secant.solvent, 0.015) << keff;
    EXPECT_NEAR(fast.temperature, secant.temperature, 0.02) << keff;
  }
}

// The many-run mode settles a step whose secant search is slow (rescued-10:
// three steps of thousands of trials, one to the cap of 100 000) with the
// continuation solve, or with the full robust solve where the continuation
// is off, as the fit runs it.  Every robust-only dryer ends within the
// increment's own convergence of the byte-identical mode (0.01 percentage
// points of solvent, 0.05 K), and rescued-10 in under half its trials.
TEST(ManyRunSolve, SettlesSlowStepsWithinTheBalanceTest) {
  for (const auto& [label, setup] : RobustOnlyDryers()) {
    const bool offPath = label.rfind("off-path", 0) == 0;
    for (const bool continuation : {true, false}) {
      const std::string mode = label + (continuation ? "" : " (full robust solve)");
      const Exit identical = MarchRobust(setup, offPath, continuation);
      const Exit many = MarchRobust(setup, offPath, continuation, ManyRunSettleTrials);
      ASSERT_TRUE(identical.finished) << mode;
      ASSERT_TRUE(many.finished) << mode;
      EXPECT_EQ(many.steps, identical.steps) << mode;
      EXPECT_NEAR(many.solvent, identical.solvent, 0.01) << mode;
      EXPECT_NEAR(many.temperature, identical.temperature, 0.05) << mode;
      if (label == "rescued-10" && continuation) {
        EXPECT_LT(2 * many.trials, identical.trials) << mode;
      }
    }
  }
}

// Where no step's secant search is slow, the many-run mode is the robust
// mode of single runs, whatever else takes steps over: the same trials, the
// same exit to the bit.
TEST(ManyRunSolve, UnchangedWhereNoStepIsSlow) {
  for (const auto& [label, setup] : KeptDryers({"finishes-17", "finishes-18", "rescued-41", "rescued-47"})) {
    const Exit identical = MarchRobust(setup, false, true);
    const Exit many = MarchRobust(setup, false, true, ManyRunSettleTrials);
    ASSERT_TRUE(identical.finished) << label;
    EXPECT_EQ(many.trials, identical.trials) << label;
    EXPECT_EQ(many.solvent, identical.solvent) << label;
    EXPECT_EQ(many.temperature, identical.temperature) << label;
  }
}

// split-7004-99 ends in five steps that only sub-steps settle: a single run's
// whole-step solve spends 1 000 to 1 500 trials on each before it splits it.
// The many-run mode splits them after 100 trials, to the same sub-steps and
// the same exit; with a budget too short for any split to settle, the steps
// are solved as a single run solves them, to the same exit.
TEST(ManyRunSolve, SplitsStepsThatOnlySubStepsSettle) {
  const auto dryers = KeptDryers({"split-7004-99"});
  ASSERT_EQ(dryers.size(), 1u);
  const RunSetup& setup = dryers.front().second;
  const Exit identical = MarchRobust(setup, false, true);
  const Exit full = MarchRobust(setup, false, true, ManyRunSettleTrials, 0);
  const Exit many = MarchRobust(setup, false, true, ManyRunSettleTrials);
  const Exit starved = MarchRobust(setup, false, true, ManyRunSettleTrials, 1);
  for (const Exit* e : {&identical, &full, &many, &starved}) {
    ASSERT_TRUE(e->finished);
    EXPECT_EQ(e->steps, identical.steps);
    EXPECT_NEAR(e->solvent, identical.solvent, 0.01);
    EXPECT_NEAR(e->temperature, identical.temperature, 0.05);
  }
  EXPECT_GE(identical.hardest, HardStepTrials);
  EXPECT_GE(full.hardest, HardStepTrials);
  EXPECT_LT(many.hardest, 4 * ManyRunSplitTrials);
  EXPECT_LT(3 * many.trials, full.trials);
  for (const Exit* e : {&many, &starved}) {
    EXPECT_EQ(e->solvent, full.solvent);
    EXPECT_EQ(e->temperature, full.temperature);
  }
}

}  // namespace
}  // namespace kelvane
