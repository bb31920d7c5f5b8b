// The robust surface solve: identical bytes wherever the secant search
// finishes, and physically sound rows where the rescue takes over.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/MiscCalc.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::RecordingHost;

struct Outcome {
  bool finished = false;
  std::vector<std::string> messages;
  std::vector<double> rows;  // every stored double of every complete row
  std::size_t rescued = 0;
};

void AppendRows(const FilmState& s, int last, int N, std::vector<double>& out) {
  for (int j = 0; j <= last; ++j) {
    for (const auto* v : {&s.FilmTemp, &s.CoatThick, &s.AvgConc1, &s.AvgConc2, &s.AvgPolymerConc, &s.ZoneTime,
                          &s.SolRemain})
      out.push_back((*v)[j]);
    for (const auto* t : {&s.VolFrac1, &s.VolFrac2, &s.VolFracP, &s.MassFrac1, &s.MassFrac2, &s.MassFracP,
                          &s.LayerThick, &s.FitVolFrac1, &s.FitVolFrac2})
      for (int i = 0; i <= N; ++i) out.push_back((*t)[j][i]);
  }
}

// One zone of the default film under the given gas.
RunSetup OneZone(int layers, double increment, double gasTemp, double p1, double p2, double lengthM) {
  RunSetup s = fixtures::DefaultSetup(layers, increment);
  s.ZoneCount = 1;
  s.Params.OuterTemperature[1] = gasTemp;
  s.Params.PartialPressure1[1] = p1;
  s.Params.PartialPressure2[1] = p2;
  s.Params.ZoneLength[1] = lengthM;
  s.ZoneStepCount[1] = static_cast<int>(std::llround(lengthM * 100 / increment));
  return s;
}

Outcome March(const RunSetup& setup, bool robust) {
  RecordingHost host;
  auto calc = std::make_unique<Calculation>(&host);
  calc->Setup = setup;
  calc->Robust = robust;
  Outcome o;
  try {
    const int failed = enginetest::MarchAll(*calc, [&](int z) {
      const bool ok = calc->TransferOk && calc->ConvergenceOk;
      AppendRows(calc->State, ok ? setup.ZoneStepCount[z] : calc->State.LastStep - 1, setup.Params.TotalLayerCount,
                 o.rows);
    });
    o.finished = failed == 0;
  } catch (const ArithmeticFault& e) {
    host.Messages.push_back(e.what());
  }
  o.messages = host.Messages;
  o.rescued = calc->Rescued.size();
  return o;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Over a grid of one-zone dryers the robust mode changes nothing where the
// secant search finishes, and finishes most of the runs where it fails.
TEST(RobustSurface, IdenticalWhereTheSecantSearchFinishes) {
  int configurations = 0, literalFailures = 0, rescuedRuns = 0;
  for (int layers : {10, 20, 30, 40})
    for (double increment : {0.5, 2.0, 10.0, 50.0, 300.0})
      for (double gas : {40.0, 80.0, 150.0})
        for (int pressures = 0; pressures < 2; ++pressures) {
          const RunSetup setup =
              OneZone(layers, increment, gas, pressures ? 0.5 : 0.0, pressures ? 0.2 : 0.0, 10.0);
          const Outcome literal = March(setup, false);
          const Outcome robust = March(setup, true);
          ++configurations;
          if (literal.finished) {
            EXPECT_TRUE(robust.finished);
            EXPECT_EQ(robust.rescued, 0u);
            EXPECT_TRUE(SameBits(literal.rows, robust.rows))
                << layers << " layers, " << increment << " cm, " << gas << " degC";
            EXPECT_TRUE(robust.messages.empty());
          } else {
            ++literalFailures;
            if (robust.finished) {
              ++rescuedRuns;
              EXPECT_GT(robust.rescued, 0u);
              EXPECT_TRUE(robust.messages.empty()) << robust.messages.front();
            } else {
              ASSERT_FALSE(robust.messages.empty());
              EXPECT_NE(robust.messages.back().find("(rescue failed: "), std::string::npos)
                  << robust.messages.back();
            }
          }
        }
  EXPECT_GE(configurations, 100);
  EXPECT_GT(literalFailures, 0);
  EXPECT_GE(rescuedRuns * 3, literalFailures * 2) << rescuedRuns << " of " << literalFailures;
}

// The default window with 10 layers fails literally at zone 1, step 7; the
// rescue finishes it, close to the 20-layer run, with sound physics.
TEST(RobustSurface, TenLayerDefaultWindowFinishes) {
  const RunSetup ten = fixtures::DefaultSetup(10, 2.0);
  const Outcome literal = March(ten, false);
  ASSERT_FALSE(literal.finished);

  RecordingHost host;
  auto calc = std::make_unique<Calculation>(&host);
  calc->Setup = ten;
  calc->Robust = true;
  InitializeFilmState(*calc);
  auto twenty = std::make_unique<Calculation>();
  twenty->Setup = fixtures::DefaultSetup(20, 2.0);
  InitializeFilmState(*twenty);

  const RunParameters& p = ten.Params;
  const double load = (p.InitialComposition1 + p.InitialComposition2) * p.InitialCoatingThickness;
  for (int z = 1; z <= 2; ++z) {
    calc->CurrentZone = twenty->CurrentZone = z;
    MarchZone(*calc, z);
    MarchZone(*twenty, z);
    ASSERT_TRUE(calc->TransferOk && calc->ConvergenceOk);
    const FilmState& s = calc->State;
    const int n = ten.ZoneStepCount[z];
    for (int j = 1; j <= n; ++j) {
      // Zero gas partial pressures: the solvent only leaves.
      EXPECT_LE(s.SolRemain[j], s.SolRemain[j - 1]) << "zone " << z << " step " << j;
      EXPECT_GE(s.AvgConc1[j], 0);
      EXPECT_GE(s.AvgConc2[j], 0);
      for (int i = 0; i <= p.TotalLayerCount; ++i) {
        EXPECT_GE(s.MassFrac1[j][i], -0.001);
        EXPECT_GE(s.MassFrac2[j][i], -0.001);
      }
      // The remaining solvent agrees with the averages and thickness.
      const double inFilm = (s.AvgConc1[j] + s.AvgConc2[j]) * s.CoatThick[j];
      EXPECT_NEAR(inFilm / load * 100, s.SolRemain[j], 1e-9);
    }
    EXPECT_NEAR(s.AvgConc1[n], twenty->State.AvgConc1[n], 0.002);
    EXPECT_NEAR(s.AvgConc2[n], twenty->State.AvgConc2[n], 0.002);
    EXPECT_NEAR(s.SolRemain[n], twenty->State.SolRemain[n], 0.5);
    CarryOverToNextZone(*calc);
    CarryOverToNextZone(*twenty);
  }
  EXPECT_GE(calc->Rescued.size(), 1u);
  EXPECT_EQ(calc->Rescued.front().Zone, 1);
  EXPECT_EQ(calc->Rescued.front().Step, 7);
  EXPECT_TRUE(host.Messages.empty());
}

// Mass balance over a rescued run: what the gas carried off, step by step,
// is what left the film.
TEST(RobustSurface, RescuedRunConservesSolvent) {
  RecordingHost host;
  auto calc = std::make_unique<Calculation>(&host);
  long double evaporated = 0;
  host.OnProgress = [&](int, int) {
    const Calculation& c = *calc;
    evaporated += (static_cast<long double>(c.Step.GasFlux1) + c.Step.GasFlux2) * c.Params().IncrementZ /
                  c.State.WebSpeedCm;
  };
  calc->Setup = fixtures::DefaultSetup(10, 2.0);
  calc->Setup.ZoneCount = 1;
  calc->Robust = true;
  calc->ProgressInterval = 1;
  InitializeFilmState(*calc);
  calc->CurrentZone = 1;
  MarchZone(*calc, 1);
  ASSERT_TRUE(calc->TransferOk && calc->ConvergenceOk);
  ASSERT_FALSE(calc->Rescued.empty());
  const RunParameters& p = calc->Params();
  const int n = calc->Setup.ZoneStepCount[1];
  const double initial = (p.InitialComposition1 + p.InitialComposition2) * p.InitialCoatingThickness;
  const double left = (calc->State.AvgConc1[n] + calc->State.AvgConc2[n]) * calc->State.CoatThick[n];
  const double lost = initial - left;
  EXPECT_NEAR(static_cast<double>(evaporated) / lost, 1.0, 0.001);
}

// A step whose secant search cycles past 200 trials is taken over instead of
// cycling on (literally it needs about 250 trials).
TEST(RobustSurface, CyclingStepIsTakenOver) {
  RunSetup setup = OneZone(10, 0.01, 150.0, 0, 0, 20.0 * 0.01 / 100 * 100);
  setup.ZoneStepCount[1] = 2000;
  const Outcome literal = March(setup, false);
  ASSERT_TRUE(literal.finished);
  const Outcome robust = March(setup, true);
  EXPECT_TRUE(robust.finished);
  EXPECT_EQ(robust.rescued, 1u);
  EXPECT_TRUE(robust.messages.empty());
}

// A gas far richer in solvent 1 than the film's vapour pressure makes the
// film take up solvent until no balance exists: the failure names the
// physics, not the numerics.
TEST(RobustSurface, FailureReasonNamesCondensation) {
  RunSetup condensing = OneZone(20, 2.0, 60.0, 5000.0, 0.0, 1.0);
  condensing.ZoneStepCount[1] = 50;
  const Outcome literal = March(condensing, false);
  ASSERT_FALSE(literal.finished);
  const Outcome robust = March(condensing, true);
  ASSERT_FALSE(robust.finished);
  ASSERT_EQ(robust.messages.size(), 1u);
  EXPECT_EQ(robust.messages.back(), "Sorry, this condition does not converge !! (rescue failed: condensation)");
}

}  // namespace
}  // namespace kelvane
