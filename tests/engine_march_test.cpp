// The zone march: physics and bookkeeping of the rows, the carry-over between
// zones, the failure paths, the reference results of the default window, the
// fast path against the literal one, and independent calculations on threads.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>

#include "engine/MiscCalc.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::MarchAll;
using enginetest::RecordingHost;
using enginetest::SameBits;
using enginetest::SameRows;
using enginetest::SameRunTime;

const char* const kTransferMessage =
    "Sorry, this condition does not cnoverge! CONSIDER TO REDUCE OR INCREASE \"Increment of z\".";
const char* const kConvergenceMessage = "Sorry, this condition does not converge !!";

// One zone of 1 m at 2 cm: 50 steps of 0.02 s.
RunSetup ShortRun(int layers = 20) {
  RunSetup s = fixtures::DefaultSetup(layers);
  s.ZoneCount = 1;
  s.Params.ZoneLength[1] = 1.0;
  s.ZoneStepCount[1] = 50;
  return s;
}

// Row j of a zone was never written: a fresh film state holds zeros there.
bool RowUntouched(const FilmState& s, int j) {
  if (s.FilmTemp[j] != 0 || s.CoatThick[j] != 0 || s.SolRemain[j] != 0 || s.ZoneTime[j] != 0) return false;
  for (int i = 0; i < MaxNodes; ++i)
    if (s.VolFrac1[j][i] != 0 || s.MassFrac2[j][i] != 0 || s.LayerThick[j][i] != 0 || s.FitVolFrac1[j][i] != 0)
      return false;
  return true;
}

bool RunTimeNotExtended(const FilmState& s, int zone, int n) {
  for (int j = 1; j <= n; ++j)
    if (s.RunTime[zone][j] != 0) return false;
  return true;
}

// ---------------------------------------------------------------------------
// A short run

class ShortRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    calc_ = new Calculation(&host_);
    calc_->Setup = ShortRun();
    ClearFaults();
    InitializeFilmState(*calc_);
    calc_->CurrentZone = 1;
    MarchZone(*calc_, 1);
  }
  static void TearDownTestSuite() {
    delete calc_;
    calc_ = nullptr;
  }
  static RecordingHost host_;
  static Calculation* calc_;
  const FilmState& S() const { return calc_->State; }
  static constexpr int n = 50;
  static constexpr double dt = 2.0 / 100.0;
};
RecordingHost ShortRunTest::host_;
Calculation* ShortRunTest::calc_ = nullptr;

TEST_F(ShortRunTest, CompletesQuietlyAndReportsProgressSparingly) {
  EXPECT_TRUE(calc_->TransferOk);
  EXPECT_TRUE(calc_->ConvergenceOk);
  EXPECT_TRUE(host_.Messages.empty());
  EXPECT_EQ(S().LastStep, n);
  ASSERT_FALSE(host_.ProgressCalls.empty());
  EXPECT_LE(host_.ProgressCalls.size(), 5u);
  const auto& last = host_.ProgressCalls.back();
  EXPECT_EQ(last.Zone, 1);
  EXPECT_EQ(last.Step, n);
  EXPECT_EQ(last.StepCount, n);
}

TEST_F(ShortRunTest, SolventRemainingFallsWhileTheGasHoldsNoSolvent) {
  EXPECT_EQ(S().SolRemain[0], 100.0);
  for (int j = 1; j <= n; ++j) {
    EXPECT_LT(S().SolRemain[j], S().SolRemain[j - 1]) << j;
    EXPECT_LT(S().AvgConc1[j] * S().CoatThick[j], S().AvgConc1[j - 1] * S().CoatThick[j - 1]) << j;
    EXPECT_LT(S().AvgConc2[j] * S().CoatThick[j], S().AvgConc2[j - 1] * S().CoatThick[j - 1]) << j;
  }
}

TEST_F(ShortRunTest, CoatingShrinksTowardsButNeverBelowItsDryThickness) {
  const double dry = S().DryThick;
  EXPECT_NEAR(dry, 0.00577 * (1 - 0.321 / 0.86 - 0.321 / 0.88), 1e-15);
  for (int j = 1; j <= n; ++j) {
    EXPECT_GE(S().CoatThick[j], dry) << j;
    EXPECT_LT(S().CoatThick[j], S().CoatThick[j - 1]) << j;
    double sum = 0;
    for (int i = 1; i <= calc_->Params().TotalLayerCount; ++i) sum += S().LayerThick[j][i];
    EXPECT_NEAR(sum, S().CoatThick[j], 1e-12 * sum) << j;
    EXPECT_EQ(S().LayerThick[j][0], 0.0);
  }
}

TEST_F(ShortRunTest, SolventLostByTheFilmMatchesWhatTheGasCarriesOff) {
  // The gas-side flux of the converged trial, evaluated again from the row's
  // surface composition and the step's start temperature.
  Calculation& c = *calc_;
  const RunParameters& p = c.Params();
  const bool literal = c.LiteralTrials;
  c.LiteralTrials = true;
  for (int j = 1; j <= n; ++j) {
    c.Step.Zone = 1;
    c.Step.T = S().FilmTemp[j - 1];
    c.Step.NewVolFrac1[0] = S().VolFrac1[j][0];
    c.Step.NewVolFrac2[0] = S().VolFrac2[j][0];
    GasSideFlux(c);
    ASSERT_TRUE(c.TransferOk);
    const double lost1 = S().AvgConc1[j - 1] * S().CoatThick[j - 1] - S().AvgConc1[j] * S().CoatThick[j];
    const double lost2 = S().AvgConc2[j - 1] * S().CoatThick[j - 1] - S().AvgConc2[j] * S().CoatThick[j];
    EXPECT_GT(c.Step.GasFlux1, 0.0);
    EXPECT_GT(c.Step.GasFlux2, 0.0);
    EXPECT_LT(std::fabs(lost1 - c.Step.GasFlux1 * dt), 0.00501 * lost1) << "solvent 1, step " << j;
    EXPECT_LT(std::fabs(lost2 - c.Step.GasFlux2 * dt), 0.00501 * lost2) << "solvent 2, step " << j;
  }
  c.LiteralTrials = literal;
  (void)p;
  EXPECT_NO_THROW(CheckFaults());
}

TEST_F(ShortRunTest, TimesAdvanceByOneStepTimePerRow) {
  EXPECT_EQ(S().ZoneTime[0], 0.0);
  for (int j = 1; j <= n; ++j) {
    EXPECT_NEAR(S().RunTime[1][j] - S().RunTime[1][0], j * dt, 1e-13) << j;
    EXPECT_NEAR(S().ZoneTime[j], j * dt, 1e-13) << j;
  }
}

TEST_F(ShortRunTest, StoredRowsAreConsistent) {
  const RunParameters& p = calc_->Params();
  for (int j = 1; j <= n; ++j) {
    EXPECT_NEAR(S().SolRemain[j],
                (S().AvgConc1[j] + S().AvgConc2[j]) * S().CoatThick[j] / (0.642 * 0.00577) * 100, 1e-12)
        << j;
    for (int i = 0; i <= p.TotalLayerCount; ++i) {
      EXPECT_NEAR(S().VolFrac1[j][i] + S().VolFrac2[j][i] + S().VolFracP[j][i], 1.0, 1e-15);
      EXPECT_NEAR(S().MassFrac1[j][i] + S().MassFrac2[j][i] + S().MassFracP[j][i], 1.0, 1e-15);
      const Fractions phi = VolFracFromMass(S().MassFrac1[j][i], S().MassFrac2[j][i], p.Density1, p.Density2,
                                            p.PolymerDensity);
      EXPECT_NEAR(phi.F1, S().VolFrac1[j][i], 1e-14);
      const double f1 = S().FitVolFrac1[j][i], f2 = S().FitVolFrac2[j][i];
      const double m1 = f1 * p.Density1, m2 = f2 * p.Density2, mP = (1 - f1 - f2) * p.PolymerDensity;
      EXPECT_NEAR(S().FitMassFrac1[j][i], m1 / (m1 + m2 + mP), 1e-14);
      EXPECT_NEAR(S().FitMassFrac2[j][i], m2 / (m1 + m2 + mP), 1e-14);
    }
    EXPECT_TRUE(SameBits(S().FitVolFrac1[j][0], S().VolFrac1[j][0]));
  }
}

// ---------------------------------------------------------------------------
// The default window

TEST(DefaultWindow, ReproducesTheReferenceRowsAndTheTemperatureCourse) {
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = fixtures::DefaultSetup(20);
  struct End {
    double T, c1, c2, remain, thick;
  } ends[3] = {};
  double minT = 1e9;
  int minZone = 0, minStep = 0;
  std::vector<double> temps;
  ASSERT_EQ(MarchAll(calc,
                     [&](int z) {
                       const FilmState& s = calc.State;
                       const int n = calc.Setup.ZoneStepCount[z];
                       ends[z] = {s.FilmTemp[n], s.AvgConc1[n], s.AvgConc2[n], s.SolRemain[n], s.CoatThick[n]};
                       for (int j = z == 1 ? 0 : 1; j <= n; ++j) {
                         temps.push_back(s.FilmTemp[j]);
                         if (s.FilmTemp[j] < minT) {
                           minT = s.FilmTemp[j];
                           minZone = z;
                           minStep = j;
                         }
                       }
                     }),
            0);
  EXPECT_TRUE(host.Messages.empty());
  EXPECT_NEAR(ends[1].T, 59.30, 0.005);
  EXPECT_NEAR(ends[1].c1, 0.1563, 0.00005);
  EXPECT_NEAR(ends[1].c2, 0.0012, 0.00005);
  EXPECT_NEAR(ends[1].remain, 7.9, 0.05);
  EXPECT_NEAR(ends[1].thick, 0.00185, 0.000005);
  EXPECT_NEAR(ends[2].T, 59.91, 0.005);
  EXPECT_NEAR(ends[2].c1, 0.1354, 0.00005);
  EXPECT_NEAR(ends[2].c2, 0.0009, 0.00005);
  EXPECT_NEAR(ends[2].remain, 6.6, 0.05);
  EXPECT_NEAR(ends[2].thick, 0.00180, 0.000005);
  EXPECT_NEAR(minT, 21.7, 0.05);
  EXPECT_EQ(minZone, 1);
  EXPECT_NEAR(calc.State.RunTime[2][2500], 100.0, 1e-9);

  // Evaporative cooling first, then warming towards the 60 degC gas without
  // reaching it.
  const std::size_t m = static_cast<std::size_t>(minStep);
  ASSERT_GT(m, 10u);
  for (std::size_t j = 1; j <= m; ++j) EXPECT_LT(temps[j], temps[j - 1]) << j;
  for (std::size_t j = m + 1; j < temps.size(); ++j) EXPECT_GE(temps[j], temps[j - 1]) << j;
  for (double T : temps) EXPECT_LT(T, 60.0);
}

TEST(DefaultWindow, TenLayersFailAtTheSeventhStepOfZoneOne) {
  for (bool literal : {false, true}) {
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = fixtures::DefaultSetup(10);
    calc.LiteralTrials = literal;
    EXPECT_EQ(MarchAll(calc), 1);
    EXPECT_FALSE(calc.TransferOk);
    EXPECT_TRUE(calc.ConvergenceOk);
    EXPECT_EQ(calc.State.LastStep, 7);
    ASSERT_EQ(host.Messages.size(), 1u) << "literal " << literal;
    EXPECT_EQ(host.Messages[0], kTransferMessage);
    for (int j = 1; j <= 6; ++j) EXPECT_GT(calc.State.FilmTemp[j], 0.0) << j;
    EXPECT_TRUE(RowUntouched(calc.State, 7));
    EXPECT_TRUE(RunTimeNotExtended(calc.State, 1, 7));
  }
}

// ---------------------------------------------------------------------------
// Carry-over and empty zones

TEST(CarryOver, RowZeroOfTheNextZoneIsTheExitRow) {
  Calculation calc;
  calc.Setup = fixtures::DefaultSetup(20);
  calc.Setup.ZoneStepCount[1] = 30;
  calc.Setup.ZoneStepCount[2] = 10;
  ClearFaults();
  InitializeFilmState(calc);
  calc.CurrentZone = 1;
  MarchZone(calc, 1);
  const FilmState before = calc.State;
  const int k = 30;
  CarryOverToNextZone(calc);
  const FilmState& s = calc.State;
  const int N = calc.Params().TotalLayerCount;
  EXPECT_EQ(s.ZoneTime[0], 0.0);
  EXPECT_TRUE(SameBits(s.RunTime[2][0], before.RunTime[1][k]));
  for (auto m : {&FilmState::FilmTemp, &FilmState::CoatThick, &FilmState::AvgConc1, &FilmState::AvgConc2,
                 &FilmState::AvgPolymerConc, &FilmState::SolRemain})
    EXPECT_TRUE(SameBits((s.*m)[0], (before.*m)[k]));
  for (auto t : {&FilmState::VolFrac1, &FilmState::VolFrac2, &FilmState::VolFracP, &FilmState::MassFrac1,
                 &FilmState::MassFrac2, &FilmState::MassFracP, &FilmState::FitVolFrac1, &FilmState::FitVolFrac2,
                 &FilmState::FitVolFracP, &FilmState::LayerThick})
    EXPECT_TRUE(SameBits((s.*t)[0], (before.*t)[k], N));
  EXPECT_EQ(s.LayerThick[0][0], 0.0);
  const RunParameters& p = calc.Params();
  for (int i = 0; i <= N; ++i) {
    const double f1 = before.FitVolFrac1[k][i], f2 = before.FitVolFrac2[k][i];
    const double m1 = f1 * p.Density1, m2 = f2 * p.Density2, mP = (1 - f1 - f2) * p.PolymerDensity;
    EXPECT_NEAR(s.FitMassFrac1[0][i], m1 / (m1 + m2 + mP), 1e-14);
    EXPECT_NEAR(s.FitMassFrac2[0][i], m2 / (m1 + m2 + mP), 1e-14);
    EXPECT_NEAR(s.FitMassFracP[0][i], mP / (m1 + m2 + mP), 1e-14);
  }
  // Rows 1..k are left for the writer.
  EXPECT_TRUE(SameRows(s, before, 1, k));

  // Zone 2 continues from there: time and the solvent-remaining percentage.
  calc.CurrentZone = 2;
  MarchZone(calc, 2);
  EXPECT_NEAR(s.RunTime[2][10], before.RunTime[1][k] + 10 * 0.02, 1e-12);
  EXPECT_LT(s.SolRemain[1], before.SolRemain[k]);
  EXPECT_GT(s.SolRemain[1], before.SolRemain[k] - 1.0);
}

TEST(CarryOver, AZoneWithoutStepsChangesNothingAndPassesItsEntranceOn) {
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = fixtures::DefaultSetup(20);
  calc.Setup.ZoneCount = 3;
  calc.Setup.Params.OuterTemperature[3] = 60.0;
  calc.Setup.Params.BaseHeatTransferCoeff[3] = 0.0009228;
  calc.Setup.Params.CoatHeatTransferCoeff[3] = 0.0010944;
  calc.Setup.ZoneStepCount[1] = 5;
  calc.Setup.ZoneStepCount[2] = 0;
  calc.Setup.ZoneStepCount[3] = 5;
  ClearFaults();
  InitializeFilmState(calc);
  calc.CurrentZone = 1;
  MarchZone(calc, 1);
  CarryOverToNextZone(calc);
  const double entrance = calc.State.RunTime[2][0];
  EXPECT_NEAR(entrance, 0.1, 1e-15);

  const FilmState before = calc.State;
  calc.CurrentZone = 2;
  MarchZone(calc, 2);
  EXPECT_EQ(calc.State.LastStep, before.LastStep);
  EXPECT_TRUE(SameRows(calc.State, before, 0, 5));
  for (int z = 1; z <= 3; ++z) EXPECT_TRUE(SameRunTime(calc.State, before, z, 5));
  EXPECT_TRUE(calc.TransferOk && calc.ConvergenceOk);

  // The zone's exit is its entrance, time included.
  CarryOverToNextZone(calc);
  EXPECT_TRUE(SameRows(calc.State, before, 0, 0));
  EXPECT_EQ(calc.State.RunTime[3][0], entrance);
  calc.CurrentZone = 3;
  MarchZone(calc, 3);
  EXPECT_NEAR(calc.State.RunTime[3][5], 0.2, 1e-14);
  EXPECT_TRUE(host.Messages.empty());
}

// ---------------------------------------------------------------------------
// Gas side and heat balance of a step

TEST(StepBalances, GasAboveTheSurfacePressureGivesANegativeFluxThatHeats) {
  Calculation calc;
  calc.Setup = fixtures::DefaultSetup(20);
  ClearFaults();
  InitializeFilmState(calc);
  calc.LiteralTrials = true;
  RunParameters& p = calc.Setup.Params;
  StepState& st = calc.Step;
  st.Zone = 1;
  st.T = 30.0;
  st.NewVolFrac1[0] = calc.State.VolFrac1[0][0];
  st.NewVolFrac2[0] = calc.State.VolFrac2[0][0];
  const auto P1 = TrySurfacePartialPressure(30.0, st.NewVolFrac1[0], st.NewVolFrac2[0], calc.State.MolarVolume1,
                                            calc.State.MolarVolume2, p.VaporA1, p.VaporB1, p.VaporC1, p.Chi1p,
                                            p.Chi2p, p.Chi12);
  ASSERT_TRUE(P1.has_value());

  GasSideFlux(calc);
  const double dry1 = st.GasFlux1, dry2 = st.GasFlux2;
  EXPECT_GT(dry1, 0.0);
  EXPECT_GT(dry2, 0.0);

  p.PartialPressure1[1] = *P1;
  GasSideFlux(calc);
  EXPECT_EQ(st.GasFlux1, 0.0) << "gas in equilibrium with the surface";

  p.PartialPressure1[1] = *P1 + 20.0;
  GasSideFlux(calc);
  EXPECT_LT(st.GasFlux1, 0.0) << "solvent 1 is taken up from the gas";
  EXPECT_TRUE(SameBits(st.GasFlux2, dry2)) << "solvent 2 does not notice";
  const double Tup = UpdateTemperature(calc, 0.3, 0.3, 0.4, 0.005, 30.0, 1);
  st.GasFlux1 = 0;
  const double Tnone = UpdateTemperature(calc, 0.3, 0.3, 0.4, 0.005, 30.0, 1);
  st.GasFlux1 = dry1;
  const double Tdown = UpdateTemperature(calc, 0.3, 0.3, 0.4, 0.005, 30.0, 1);
  EXPECT_GT(Tup, Tnone) << "condensation heats the film";
  EXPECT_LT(Tdown, Tnone) << "evaporation cools it";
  EXPECT_NO_THROW(CheckFaults());
}

TEST(StepBalances, TemperatureIsOneExplicitEulerStep) {
  Calculation calc;
  calc.Setup = fixtures::DefaultSetup(20, 10.0);  // 0.1 s per step
  RunParameters& p = calc.Setup.Params;
  p.OuterTemperature[1] = 80.0;
  p.CoatHeatTransferCoeff[1] = 0.0012;
  p.BaseHeatTransferCoeff[1] = 0.0008;
  p.PolymerHeatCapacity = 1.0;
  p.BaseFilmThickness = 0.0;
  ClearFaults();
  InitializeFilmState(calc);
  calc.Step.GasFlux1 = calc.Step.GasFlux2 = 0.0;
  // C = 1 g/cm^3 * 1 J/(g K) * 0.01 cm = 0.01 J/(cm^2 K).
  EXPECT_NEAR(UpdateTemperature(calc, 0.0, 0.0, 1.0, 0.01, 20.0, 1), 21.2, 1e-12);
  EXPECT_NO_THROW(CheckFaults());
}

// ---------------------------------------------------------------------------
// Failure paths

TEST(SecantStepTest, DegeneratePointsFailWithTheMessage) {
  RecordingHost host;
  Calculation calc(&host);
  ClearFaults();
  EXPECT_NEAR(SecantStep(calc, 2.0, 1.0, 1.0, -1.0), 1.5, 1e-15);  // root of the line through both points
  EXPECT_TRUE(calc.ConvergenceOk);
  EXPECT_TRUE(host.Messages.empty());

  SecantStep(calc, 0.3, 0.3, 1e-5, 2e-5);  // x1 = x0
  EXPECT_FALSE(calc.ConvergenceOk);
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0], kConvergenceMessage);
  EXPECT_FALSE(PendingFault());

  calc.ConvergenceOk = true;
  SecantStep(calc, 0.31, 0.3, 1e-5, 1e-5);  // f1 = f0
  EXPECT_FALSE(calc.ConvergenceOk);
  EXPECT_EQ(host.Messages.size(), 2u);

  calc.ConvergenceOk = true;
  SecantStep(calc, 0.3, 0.3, 0.0, 0.0);  // 0/0
  EXPECT_FALSE(calc.ConvergenceOk);
  EXPECT_EQ(host.Messages.size(), 3u);
  EXPECT_FALSE(PendingFault());
}

// Marches a reference of the same setup, for comparing the rows a failed
// zone completed.
std::unique_ptr<Calculation> Reference(const RunSetup& setup) {
  auto ref = std::make_unique<Calculation>();
  ref->Setup = setup;
  ClearFaults();
  InitializeFilmState(*ref);
  ref->CurrentZone = 1;
  MarchZone(*ref, 1);
  return ref;
}

TEST(MarchFailure, AnEmptySurfaceEndsTheZoneOnTheGasSide) {
  for (bool literal : {false, true}) {
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = ShortRun();
    calc.Setup.Params.InitialComposition2 = 0.0;  // no solvent 2 at all
    calc.LiteralTrials = literal;
    EXPECT_EQ(MarchAll(calc), 1);
    EXPECT_FALSE(calc.TransferOk);
    EXPECT_TRUE(calc.ConvergenceOk);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0], kTransferMessage);
    EXPECT_EQ(calc.State.LastStep, 1);
    EXPECT_TRUE(RowUntouched(calc.State, 1));
    EXPECT_TRUE(RunTimeNotExtended(calc.State, 1, 50));
    EXPECT_FALSE(PendingFault());
  }
}

TEST(MarchFailure, SecantPointsThatCoincideEndTheZone) {
  // A surface mass fraction so small that moving it by 0.01 % or 0.04 %
  // leaves it where it is: both secant points coincide.
  for (bool literal : {false, true}) {
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = ShortRun();
    calc.Setup.Params.InitialComposition2 = 4.9e-324;
    calc.LiteralTrials = literal;
    EXPECT_EQ(MarchAll(calc), 1);
    EXPECT_TRUE(calc.TransferOk);
    EXPECT_FALSE(calc.ConvergenceOk);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0], kConvergenceMessage);
    EXPECT_EQ(calc.State.LastStep, 1);
    EXPECT_TRUE(RowUntouched(calc.State, 1));
  }

  // The same in the middle of a zone: after step 3 the surface of row 3
  // loses its solvent 2 down to the smallest double.
  const RunSetup setup = ShortRun();
  const auto ref = Reference(setup);
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = setup;
  calc.ProgressInterval = 1;
  host.OnProgress = [&](int, int step) {
    if (step == 3) calc.State.MassFrac2[3][0] = 4.9e-324;
  };
  EXPECT_EQ(MarchAll(calc), 1);
  EXPECT_FALSE(calc.ConvergenceOk);
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0], kConvergenceMessage);
  EXPECT_EQ(calc.State.LastStep, 4);
  EXPECT_TRUE(SameRows(calc.State, ref->State, 0, 2));
  EXPECT_TRUE(SameBits(calc.State.FilmTemp[3], ref->State.FilmTemp[3]));
  EXPECT_TRUE(RowUntouched(calc.State, 4));
  EXPECT_TRUE(RunTimeNotExtended(calc.State, 1, 50));
}

TEST(MarchFailure, TheTrialCapEndsTheZoneLikeAFailedSecant) {
  const RunSetup setup = ShortRun();
  const auto ref = Reference(setup);
  for (bool literal : {false, true}) {
    // The first step of the default window needs about thirty trials.
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = setup;
    calc.LiteralTrials = literal;
    calc.MaxTrialsPerStep = 5;
    EXPECT_EQ(MarchAll(calc), 1);
    EXPECT_FALSE(calc.ConvergenceOk);
    EXPECT_TRUE(calc.TransferOk);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0], kConvergenceMessage);
    EXPECT_EQ(calc.State.LastStep, 1);
    EXPECT_LE(calc.Stats.MaxTrialsPerStep, 5);
  }
  // Lowered to the minimum of three trials after step 3: the zone ends at
  // the first later step that needs more, with the rows before it intact.
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = setup;
  calc.ProgressInterval = 1;
  host.OnProgress = [&](int, int step) {
    if (step == 3) calc.MaxTrialsPerStep = 3;
  };
  EXPECT_EQ(MarchAll(calc), 1);
  EXPECT_FALSE(calc.ConvergenceOk);
  ASSERT_EQ(host.Messages.size(), 1u);
  EXPECT_EQ(host.Messages[0], kConvergenceMessage);
  const int j = calc.State.LastStep;
  EXPECT_GE(j, 4);
  EXPECT_TRUE(SameRows(calc.State, ref->State, 0, j - 1));
  EXPECT_TRUE(RowUntouched(calc.State, j));
  EXPECT_TRUE(RunTimeNotExtended(calc.State, 1, 50));
}

TEST(MarchFailure, AnArithmeticFaultInAStepLeavesTheMarch) {
  // Chi1p = 1 with a total solvent fraction of exactly 0.5 makes the
  // diffusivity correction (1 - phi)^2 (1 - 2 chi phi) zero.
  for (bool literal : {false, true}) {
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = ShortRun();
    RunParameters& p = calc.Setup.Params;
    p.Density1 = p.Density2 = 1.0;
    p.InitialComposition1 = p.InitialComposition2 = 0.25;
    p.Chi1p = 1.0;
    calc.LiteralTrials = literal;
    try {
      MarchAll(calc);
      ADD_FAILURE() << "no fault, literal " << literal;
    } catch (const ArithmeticFault& f) {
      EXPECT_EQ(f.Kind(), FaultKind::DivisionByZero);
      EXPECT_STREQ(f.what(), "0 による浮動小数点数除算");
    }
    EXPECT_TRUE(host.Messages.empty()) << "the general error report is the driver's";
    EXPECT_EQ(calc.State.LastStep, 1);
    EXPECT_TRUE(RowUntouched(calc.State, 1));
    EXPECT_FALSE(PendingFault());
  }

  // A zero molar mass makes a molar volume zero: the activities' quotients
  // divide by zero, on both paths in the first step (the fast path forms
  // them once per zone and leaves a fault there to the formulas).
  for (bool literal : {false, true}) {
    RecordingHost host;
    Calculation calc(&host);
    calc.Setup = ShortRun();
    calc.Setup.Params.MolecularWeight1 = 0.0;
    calc.LiteralTrials = literal;
    try {
      MarchAll(calc);
      ADD_FAILURE() << "no fault, literal " << literal;
    } catch (const ArithmeticFault& f) {
      EXPECT_EQ(f.Kind(), FaultKind::DivisionByZero) << "literal " << literal;
    }
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(calc.State.LastStep, 1);
    EXPECT_TRUE(RowUntouched(calc.State, 1));
  }

  // In the middle of a zone: after step 3 the film and the base lose their
  // heat capacity, and the heat balance of step 4 divides by zero.
  const RunSetup setup = ShortRun();
  const auto ref = Reference(setup);
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = setup;
  calc.ProgressInterval = 1;
  host.OnProgress = [&](int, int step) {
    if (step != 3) return;
    RunParameters& p = calc.Setup.Params;
    p.HeatCapacity1 = p.HeatCapacity2 = p.PolymerHeatCapacity = p.BaseHeatCapacity = 0.0;
  };
  EXPECT_THROW(MarchAll(calc), ArithmeticFault);
  EXPECT_EQ(calc.State.LastStep, 4);
  EXPECT_TRUE(SameRows(calc.State, ref->State, 0, 3));
  EXPECT_TRUE(RowUntouched(calc.State, 4)) << "the faulted step's row must not be stored";
  EXPECT_TRUE(RunTimeNotExtended(calc.State, 1, 50));
  EXPECT_TRUE(host.Messages.empty());
}

// ---------------------------------------------------------------------------
// Fast path against the literal path

void ExpectSameMarch(RunSetup setup, int expectedFailedZone) {
  RecordingHost hostF, hostL;
  Calculation fast(&hostF), literal(&hostL);
  fast.Setup = literal.Setup = setup;
  fast.LiteralTrials = false;
  literal.LiteralTrials = true;
  ClearFaults();
  InitializeFilmState(fast);
  InitializeFilmState(literal);
  int failed = 0;
  for (int k = 1; k <= setup.ZoneCount && !failed; ++k) {
    fast.CurrentZone = literal.CurrentZone = k;
    MarchZone(fast, k);
    MarchZone(literal, k);
    const int n = setup.ZoneStepCount[k];
    ASSERT_EQ(fast.State.LastStep, literal.State.LastStep) << "zone " << k;
    ASSERT_TRUE(SameRows(fast.State, literal.State, 0, n)) << "zone " << k;
    ASSERT_TRUE(SameRunTime(fast.State, literal.State, k, n)) << "zone " << k;
    ASSERT_EQ(fast.TransferOk, literal.TransferOk);
    ASSERT_EQ(fast.ConvergenceOk, literal.ConvergenceOk);
    ASSERT_EQ(fast.Stats.Trials, literal.Stats.Trials) << "zone " << k;
    if (!fast.TransferOk || !fast.ConvergenceOk) {
      failed = k;
      break;
    }
    CarryOverToNextZone(fast);
    CarryOverToNextZone(literal);
  }
  EXPECT_EQ(failed, expectedFailedZone);
  EXPECT_EQ(hostF.Messages, hostL.Messages);
}

TEST(FastMarch, MatchesTheLiteralMarchBitForBit) {
  {
    SCOPED_TRACE("20 layers, the whole default window");
    ExpectSameMarch(fixtures::DefaultSetup(20), 0);
  }
  {
    SCOPED_TRACE("40 layers");
    RunSetup s = fixtures::DefaultSetup(40);
    s.ZoneStepCount[1] = s.ZoneStepCount[2] = 150;
    ExpectSameMarch(s, 0);
  }
  {
    SCOPED_TRACE("10 layers, failing in zone 1");
    ExpectSameMarch(fixtures::DefaultSetup(10), 1);
  }
  {
    SCOPED_TRACE("20 layers, 1 cm steps, solvent 1 in the gas of zone 2");
    RunSetup s = fixtures::DefaultSetup(20, 1.0);
    s.ZoneStepCount[1] = s.ZoneStepCount[2] = 200;
    s.Params.PartialPressure1[2] = 5.0;
    ExpectSameMarch(s, 0);
  }
}

// ---------------------------------------------------------------------------
// Independent calculations

TEST(Concurrency, TwoCalculationsOnTwoThreadsMatchOneAlone) {
  RunSetup a = fixtures::DefaultSetup(20);
  a.ZoneStepCount[1] = a.ZoneStepCount[2] = 600;
  RunSetup b = fixtures::DefaultSetup(40);
  b.ZoneStepCount[1] = b.ZoneStepCount[2] = 150;
  b.Params.OuterTemperature[1] = 80.0;

  Calculation aloneA, aloneB;
  aloneA.Setup = a;
  aloneB.Setup = b;
  ASSERT_EQ(MarchAll(aloneA), 0);
  ASSERT_EQ(MarchAll(aloneB), 0);

  Calculation onA, onB;
  onA.Setup = a;
  onB.Setup = b;
  onB.LiteralTrials = true;
  int failedA = -1, failedB = -1, faults = 0;
  std::thread ta([&] { failedA = MarchAll(onA); });
  std::thread tb([&] {
    failedB = MarchAll(onB);
    // Faults raised on this thread must not reach the other one.
    for (int r = 0; r < 50; ++r) {
      Calculation bad;
      bad.Setup = ShortRun();
      bad.Setup.Params.Density1 = bad.Setup.Params.Density2 = 1.0;
      bad.Setup.Params.InitialComposition1 = bad.Setup.Params.InitialComposition2 = 0.25;
      bad.Setup.Params.Chi1p = 1.0;
      try {
        MarchAll(bad);
      } catch (const ArithmeticFault&) {
        ++faults;
      }
    }
  });
  ta.join();
  tb.join();
  EXPECT_EQ(failedA, 0);
  EXPECT_EQ(failedB, 0);
  EXPECT_EQ(faults, 50);
  // After the last zone's carry-over rows 1..n of that zone are still there.
  EXPECT_TRUE(SameRows(onA.State, aloneA.State, 0, 600));
  EXPECT_TRUE(SameRows(onB.State, aloneB.State, 0, 150));
  for (int z = 1; z <= 2; ++z) {
    EXPECT_TRUE(SameRunTime(onA.State, aloneA.State, z, 600));
    EXPECT_TRUE(SameRunTime(onB.State, aloneB.State, z, 150));
  }
}

}  // namespace
}  // namespace kelvane
