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
#include "run/FieldTable.h"
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


// The robust-only plausible dryers kept with the tests, read as a run reads
// them.
std::vector<std::pair<std::string, RunSetup>> RobustOnlyDryers() {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/tests/data/plausible-dryers.txt");
  std::vector<std::pair<std::string, RunSetup>> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("rescued", 0) != 0 && line.rfind("off-path", 0) != 0) continue;
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
  EXPECT_GE(out.size(), 5u);
  return out;
}

struct Exit {
  bool finished = false;
  double solvent = 0, temperature = 0;
  long long steps = 0;
};

Exit MarchRobust(const RunSetup& setup, bool offPathFromStart, bool continuation) {
  RecordingHost host;
  auto calc = std::make_unique<Calculation>(&host);
  calc->Setup = setup;
  calc->Robust = true;
  calc->OffPathFromStart = offPathFromStart;
  calc->ContinuationSolve = continuation;
  Exit e;
  e.finished = enginetest::MarchAll(*calc, [&](int z) {
    const int n = setup.ZoneStepCount[z];
    if (calc->TransferOk && calc->ConvergenceOk) {
      e.solvent = calc->State.SolRemain[n];
      e.temperature = calc->State.FilmTemp[n];
    }
  }) == 0;
  e.steps = calc->Stats.Steps;
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

}  // namespace
}  // namespace kelvane
