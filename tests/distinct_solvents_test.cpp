// Two solvents that differ in every property of their own: each solvent's
// loss is its own evaporation, each flux follows its own transfer data, and
// exchanging the solvents exchanges their drying curves.  The default window
// shares Keff, Fter and the heat capacity between the solvents, so a property
// of one solvent used for the other would pass unnoticed there.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "engine/MiscCalc.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"

namespace kelvane {
namespace {

using enginetest::MarchAll;
using enginetest::RecordingHost;
using enginetest::SameBits;

// One zone of 4 m in 10 cm steps (40 steps of 0.1 s) with a partial pressure
// of each solvent in the gas.
RunSetup DistinctSolvents() {
  RunSetup s = fixtures::DefaultSetup(20, 10.0);
  RunParameters& p = s.Params;
  s.ZoneCount = 1;
  p.ZoneLength[1] = 4.0;
  s.ZoneStepCount[1] = 40;
  p.InitialComposition1 = 0.30;
  p.InitialComposition2 = 0.25;
  p.Keff1 = 1.0;
  p.Keff2 = 0.8;
  p.Fter1 = 1.0;
  p.Fter2 = 0.9;
  p.HeatCapacity1 = 1.7;
  p.HeatCapacity2 = 2.2;
  p.PartialPressure1[1] = 5.0;
  p.PartialPressure2[1] = 10.0;
  p.Chi1p = 0.2;
  p.Chi2p = 0.5;
  // The heat of vaporization, air diffusivity, Antoine constants,
  // density, molecular weight and the diffusivity data differ already.
  return s;
}

// Solvent 1 becomes solvent 2 and the other way round.
RunSetup Exchanged(RunSetup s) {
  RunParameters& p = s.Params;
  std::swap(p.InitialComposition1, p.InitialComposition2);
  std::swap(p.Keff1, p.Keff2);
  std::swap(p.Fter1, p.Fter2);
  std::swap(p.Chi1p, p.Chi2p);
  std::swap(p.HeatCapacity1, p.HeatCapacity2);
  std::swap(p.HeatOfVaporization1, p.HeatOfVaporization2);
  std::swap(p.AirDiffusivity1, p.AirDiffusivity2);
  std::swap(p.VaporA1, p.VaporA2);
  std::swap(p.VaporB1, p.VaporB2);
  std::swap(p.VaporC1, p.VaporC2);
  std::swap(p.Density1, p.Density2);
  std::swap(p.MolecularWeight1, p.MolecularWeight2);
  for (int z = 1; z <= s.ZoneCount; ++z) std::swap(p.PartialPressure1[z], p.PartialPressure2[z]);
  for (int i = 0; i <= DiffParamCount; ++i) std::swap(p.DiffParams1[i], p.DiffParams2[i]);
  return s;
}

// Per row: each solvent's and the polymer's amount in the coating (g/cm^2),
// the film temperature, and the amount each solvent's gas-side flux carried
// off during the step.
struct DryingCurves {
  std::vector<double> Amount1, Amount2, Polymer, Temp, Evaporated1, Evaporated2;
};

DryingCurves March(const RunSetup& setup) {
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = setup;
  calc.ProgressInterval = 1;
  DryingCurves c;
  const double dt = setup.Params.IncrementZ / (setup.Params.WebSpeed * 100.0);
  c.Evaporated1.push_back(0.0);
  c.Evaporated2.push_back(0.0);
  host.OnProgress = [&](int, int) {
    c.Evaporated1.push_back(calc.Step.GasFlux1 * dt);
    c.Evaporated2.push_back(calc.Step.GasFlux2 * dt);
  };
  EXPECT_EQ(MarchAll(calc, [&](int) {
              const FilmState& s = calc.State;
              for (int j = 0; j <= s.LastStep; ++j) {
                c.Amount1.push_back(s.AvgConc1[j] * s.CoatThick[j]);
                c.Amount2.push_back(s.AvgConc2[j] * s.CoatThick[j]);
                c.Polymer.push_back(s.AvgPolymerConc[j] * s.CoatThick[j]);
                c.Temp.push_back(s.FilmTemp[j]);
              }
            }),
            0);
  EXPECT_TRUE(host.Messages.empty());
  return c;
}

TEST(DistinctSolvents, EachSolventLosesWhatItsOwnFluxCarriesOff) {
  const RunSetup setup = DistinctSolvents();
  const DryingCurves c = March(setup);
  const int n = setup.ZoneStepCount[1];
  ASSERT_EQ(c.Amount1.size(), std::size_t(n + 1));
  // The layer starts with what was coated.
  const double L0 = setup.Params.InitialCoatingThickness;
  EXPECT_NEAR(c.Amount1[0], 0.30 * L0, 1e-12);
  EXPECT_NEAR(c.Amount2[0], 0.25 * L0, 1e-12);
  // A step is balanced when the film side and the gas side of each solvent
  // agree within half a percent; the stored averages come from the fitted
  // profiles, which add a little to a single step's share.
  for (int j = 1; j <= n; ++j) {
    double evaporated1 = 0, evaporated2 = 0;
    for (int i = 1; i <= j; ++i) {
      evaporated1 += c.Evaporated1[i];
      evaporated2 += c.Evaporated2[i];
    }
    EXPECT_NEAR((c.Amount1[0] - c.Amount1[j]) / evaporated1, 1.0, 0.005) << "solvent 1, row " << j;
    EXPECT_NEAR((c.Amount2[0] - c.Amount2[j]) / evaporated2, 1.0, 0.005) << "solvent 2, row " << j;
    EXPECT_NEAR((c.Amount1[j - 1] - c.Amount1[j]) / c.Evaporated1[j], 1.0, 0.01) << "solvent 1, step " << j;
    EXPECT_NEAR((c.Amount2[j - 1] - c.Amount2[j]) / c.Evaporated2[j], 1.0, 0.01) << "solvent 2, step " << j;
    EXPECT_NEAR(c.Polymer[j], c.Polymer[0], 1e-9 * c.Polymer[0]) << "the polymer stays, row " << j;
  }
  // Both solvents dry, solvent 2 clearly faster.
  const double dried1 = 1.0 - c.Amount1[n] / c.Amount1[0];
  const double dried2 = 1.0 - c.Amount2[n] / c.Amount2[0];
  EXPECT_GT(dried1, 0.05);
  EXPECT_GT(dried2, 3.0 * dried1);
}

// At a state in the middle of drying, the gas-side flux and the effective
// diffusivity of each solvent scale with its own Keff, air diffusivity and
// Fter, and keep every bit when the other solvent's are changed.
TEST(DistinctSolvents, EachFluxFollowsItsOwnTransferData) {
  RecordingHost host;
  Calculation calc(&host);
  calc.Setup = DistinctSolvents();
  ASSERT_EQ(MarchAll(calc), 0);
  RunParameters& p = calc.Setup.Params;
  StepState& st = calc.Step;
  const RunParameters base = p;
  auto fluxes = [&] {
    PrepareZone(calc);
    GasSideFlux(calc);
    return std::pair{st.GasFlux1, st.GasFlux2};
  };
  auto diffusivities = [&] {
    PrepareStep(calc);
    return std::pair{st.EffDiff1[5], st.EffDiff2[5]};
  };
  const auto g = fluxes();
  const auto d = diffusivities();
  ASSERT_GT(g.first, 0.0);
  ASSERT_GT(g.second, 0.0);
  ASSERT_GT(d.first, 0.0);
  ASSERT_GT(d.second, 0.0);
  // The mass-transfer coefficient goes with the gas diffusivity to the 2/3.
  const double k23 = std::pow(2.0, 2.0 / 3.0);
  struct Case {
    const char* name;
    double RunParameters::*member;
    bool gasSide;
    int solvent;
    double factor;
  } cases[] = {
      {"Keff1", &RunParameters::Keff1, true, 1, 2.0},
      {"Keff2", &RunParameters::Keff2, true, 2, 2.0},
      {"AirDiffusivity1", &RunParameters::AirDiffusivity1, true, 1, k23},
      {"AirDiffusivity2", &RunParameters::AirDiffusivity2, true, 2, k23},
      {"Fter1", &RunParameters::Fter1, false, 1, 2.0},
      {"Fter2", &RunParameters::Fter2, false, 2, 2.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    p = base;
    p.*k.member *= 2.0;
    const auto now = k.gasSide ? fluxes() : diffusivities();
    const auto was = k.gasSide ? g : d;
    const double own = k.solvent == 1 ? now.first / was.first : now.second / was.second;
    EXPECT_NEAR(own, k.factor, 1e-12 * k.factor);
    EXPECT_TRUE(SameBits(k.solvent == 1 ? now.second : now.first, k.solvent == 1 ? was.second : was.first))
        << "the other solvent's value moved";
  }
}

// Exchanging the two solvents' complete data and amounts exchanges their
// drying curves; the film temperature is the same.  The two marches converge
// independently, so they agree within the balance tolerance: half a percent
// of what has evaporated.
TEST(DistinctSolvents, ExchangingTheSolventsMirrorsTheDryingCurves) {
  const RunSetup setup = DistinctSolvents();
  const DryingCurves a = March(setup);
  const DryingCurves b = March(Exchanged(setup));
  ASSERT_EQ(a.Amount1.size(), b.Amount1.size());
  const double heatUp = 0.005 * std::fabs(a.Temp.back() - a.Temp.front()) + 1e-9;
  for (std::size_t j = 0; j < a.Amount1.size(); ++j) {
    const double tol1 = 0.005 * (a.Amount1[0] - a.Amount1[j]) + 1e-15;
    const double tol2 = 0.005 * (a.Amount2[0] - a.Amount2[j]) + 1e-15;
    EXPECT_NEAR(b.Amount2[j], a.Amount1[j], tol1) << "row " << j;
    EXPECT_NEAR(b.Amount1[j], a.Amount2[j], tol2) << "row " << j;
    EXPECT_NEAR(b.Temp[j], a.Temp[j], 0.005 * std::fabs(a.Temp[j] - a.Temp[0]) + heatUp) << "row " << j;
  }
}

}  // namespace
}  // namespace kelvane
