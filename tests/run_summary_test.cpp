// The run summary: heat balance, evaporated mass, the boiling warnings
// against the property models evaluated by hand, and the same summary from a
// run in memory and from its result file read back.

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <memory>

#include "files/ResultFileReader.h"
#include "files_test_support.h"
#include "run/StartRun.h"
#include "summary/RunSummary.h"
#include "summary/SummaryText.h"
#include "tests/support/RunTestSupport.h"

namespace kelvane {
namespace {

using runtest::RecordingRunHost;

struct Ran {
  RunReport Report;
  RunTrace Trace;
  RunSummary Summary;
};

class RunSummaryTest : public filetest::ScratchDir {
 protected:
  // Runs the field texts through the driver, recording the trace.
  Ran Run(FieldTextMap fields, const SummarySettings& settings = {}, int cancelZone = 0, int cancelStep = 0,
          bool robust = false) {
    fields.SetText("Edit250", Path("result.txt"));
    RecordingRunHost host;
    host.cancelInZone = cancelZone;
    host.cancelAtStep = cancelStep;
    auto calc = std::make_unique<Calculation>();
    TraceRecorder recorder;
    RunOptions options;
    options.Robust = robust;
    options.ZoneMarched = [&](const Calculation& c, int zone, int last, bool complete) {
      recorder.Zone(c, zone, last, complete);
    };
    Ran r;
    r.Report = StartRun(fields, host, *calc, options);
    r.Trace = recorder.Trace();
    r.Trace.End = RunEndOf(r.Report, *calc);
    r.Summary = SummarizeRun(r.Trace, settings);
    return r;
  }
  static FieldTextMap Defaults() { return FieldTextMap(); }
};

// The Flory-Huggins partial pressure of solvent i, written out here from the
// model's definition rather than through the engine's function.
double HandPartialPressure(double T, double phiI, double phiJ, double Vi, double Vj, double A, double B, double C,
                           double chiIP, double chiJP, double chiIJ) {
  if (phiI <= 0) return 0;
  const double phiP = 1 - phiI - phiJ;
  const double Q = (1 - phiI) - Vi / Vj * phiJ + (chiIJ * phiJ + chiIP * phiP) * (phiJ + phiP) -
                   Vi / Vj * chiJP * phiJ * phiP;
  return std::pow(10.0, A - B / (T + C)) * phiI * std::exp(Q);
}

void Set(FieldTextMap& f, const char* member, const char* text) { f.SetText(FindField(member)->Component, text); }

int Count(const RunSummary& s, WarningKind kind, int zone = 0) {
  int n = 0;
  for (const Warning& w : s.Warnings) n += w.Kind == kind && (zone == 0 || w.At.Zone == zone);
  return n;
}

void ExpectBalanced(const RunSummary& s, const RunParameters& p) {
  const double initial = (p.InitialComposition1 + p.InitialComposition2) * p.InitialCoatingThickness * 1e4;
  double before = 100.0;
  for (const ZoneSummary& z : s.Zones) {
    SCOPED_TRACE("zone " + std::to_string(z.Zone));
    // The march balances film and gas fluxes to 0.5 %; latent heat from the
    // mass that left and heat from the gas close to well within that.
    EXPECT_LT(std::fabs(z.Heat.Residual), 0.005 * std::fabs(z.Heat.FromGas)) << z.Heat.Residual;
    EXPECT_NEAR(z.Heat.FromGas, z.Heat.Latent + z.Heat.Sensible + z.Heat.Residual, 1e-9 * std::fabs(z.Heat.FromGas));
    // Evaporated mass = the drop of the solvent remaining.
    EXPECT_NEAR(z.Evaporated1 + z.Evaporated2, (before - z.RemainingPercent) / 100.0 * initial, 1e-9 * initial);
    before = z.RemainingPercent;
  }
  EXPECT_NEAR(s.Run.TotalHeat, s.Run.TotalLatent + s.Run.TotalSensible + s.Run.TotalResidual, 1e-9 * s.Run.TotalHeat);
}

TEST_F(RunSummaryTest, HeatBalanceClosesAndEvaporationMatchesTheSolventLost) {
  const Ran d = Run(Defaults());
  ASSERT_EQ(d.Report.Outcome, RunOutcome::Finished);
  ASSERT_EQ(d.Summary.Zones.size(), 2u);
  ExpectBalanced(d.Summary, d.Trace.Params);
  EXPECT_EQ(d.Summary.Warnings.size(), 0u) << SummaryTable(d.Summary);
  // The last rows of the result file: 6.6 % left, film at 59.91 degC.
  EXPECT_NEAR(d.Summary.Run.ResidualPercent, 6.6, 0.05);
  EXPECT_NEAR(d.Summary.Zones[1].ExitTemperature, 59.91, 0.005);
  EXPECT_NEAR(d.Summary.Run.DryThickness, 57.7 * (1 - 0.321 / 0.86 - 0.321 / 0.88), 1e-9);

  // A hot three-zone dryer with a strong base side and solvent in the gas.
  FieldTextMap hot;
  const char* zones[3][6] = {{"120", "8", "0", "0", "0.003", "0.0015"},
                             {"140", "8", "5", "2", "0.002", "0.0015"},
                             {"80", "8", "0", "0", "0.001", "0.001"}};
  for (int k = 1; k <= 3; ++k)
    for (int i = 1; i <= 6; ++i) hot.SetText(ZoneComponent(k, i), zones[k - 1][i - 1]);
  const Ran h = Run(hot);
  ASSERT_EQ(h.Report.Outcome, RunOutcome::Finished);
  ASSERT_EQ(h.Summary.Zones.size(), 3u);
  ExpectBalanced(h.Summary, h.Trace.Params);
  // Zone 3 is cooler than the film that enters it: the film gives heat back.
  EXPECT_LT(h.Summary.Zones[2].Heat.Sensible, 0);
  EXPECT_LT(h.Summary.Zones[2].Heat.FromGas, 0);
}

TEST_F(RunSummaryTest, AboveBoilingPointAtHotZoneTwoAndTheMarginShrinksWithTheGas) {
  const Ran d = Run(Defaults());
  EXPECT_EQ(Count(d.Summary, WarningKind::AboveBoilingPoint), 0);
  double lastMargin = 1e9;
  for (const char* gas : {"100", "150"}) {
    SCOPED_TRACE(gas);
    FieldTextMap f;
    f.SetText(ZoneComponent(2, 1), gas);
    const Ran r = Run(f);
    ASSERT_EQ(r.Report.Outcome, RunOutcome::Finished);
    const double margin = r.Summary.Zones[1].MinBoilingMargin.Value;
    EXPECT_LT(margin, lastMargin);
    EXPECT_LT(margin, d.Summary.Zones[1].MinBoilingMargin.Value);
    lastMargin = margin;
    if (std::string(gas) != "150") continue;
    // Solvent 1 boils at about 110.6 degC by its own constants; the film
    // passes that in zone 2 with solvent 1 still in it.
    const RunParameters& p = r.Trace.Params;
    EXPECT_NEAR(NormalBoilingPoint(p.VaporA1, p.VaporB1, p.VaporC1), 110.6, 0.05);
    ASSERT_EQ(Count(r.Summary, WarningKind::AboveBoilingPoint, 2), 1) << SummaryTable(r.Summary);
    const Warning& w = *std::find_if(r.Summary.Warnings.begin(), r.Summary.Warnings.end(),
                                     [](const Warning& w) { return w.Kind == WarningKind::AboveBoilingPoint; });
    EXPECT_EQ(w.Solvent, 1);
    EXPECT_GT(w.Value, 110.6);
    EXPECT_LT(w.At.Position, 50.0);
    EXPECT_NEAR(w.Worst, r.Summary.Zones[1].MaxTemperature.Value, 1e-12);
    EXPECT_NE(w.Text.find("Zone 2"), std::string::npos);
    // The model's activity keeps the coating below boiling all the same.
    EXPECT_EQ(Count(r.Summary, WarningKind::Boiling), 0);
    EXPECT_GT(margin, 0);
  }
}

TEST_F(RunSummaryTest, BubblePressureWarningAgreesWithTheModelsByHand) {
  // A thick wet coating of a low boiler, heated hard from the base side.
  FieldTextMap f;
  Set(f, "InitialCoatingThickness", "0.03");
  Set(f, "VaporA1", "7.11714");
  Set(f, "VaporB1", "1210.595");
  Set(f, "VaporC1", "229.664");
  const char* zone1[6] = {"140", "4", "0", "0", "0.02", "0.0005"};
  for (int i = 1; i <= 6; ++i) f.SetText(ZoneComponent(1, i), zone1[i - 1]);
  f.SetText(ZoneComponent(2, 1), "");
  const Ran r = Run(f);
  ASSERT_EQ(r.Report.Outcome, RunOutcome::Finished);
  ASSERT_EQ(Count(r.Summary, WarningKind::Boiling), 1) << SummaryTable(r.Summary);
  const Warning& w = *std::find_if(r.Summary.Warnings.begin(), r.Summary.Warnings.end(),
                                   [](const Warning& w) { return w.Kind == WarningKind::Boiling; });
  const TracePoint* at = nullptr;
  for (const TracePoint& t : r.Trace.Zones[0].Points)
    if (t.Position == w.At.Position) at = &t;
  ASSERT_NE(at, nullptr);
  const RunParameters& p = r.Trace.Params;
  const double V1 = p.MolecularWeight1 / p.Density1, V2 = p.MolecularWeight2 / p.Density2;
  const double hand =
      HandPartialPressure(at->FilmTemp, at->Base1, at->Base2, V1, V2, p.VaporA1, p.VaporB1, p.VaporC1, p.Chi1p,
                          p.Chi2p, p.Chi12) +
      HandPartialPressure(at->FilmTemp, at->Base2, at->Base1, V2, V1, p.VaporA2, p.VaporB2, p.VaporC2, p.Chi2p,
                          p.Chi1p, p.Chi12);
  EXPECT_NEAR(w.Value, hand, 1e-9 * hand);
  EXPECT_GE(hand, 760.0);
  // The point before it was still below boiling: the warning names the first.
  const TracePoint* before = at - 1;
  EXPECT_LT(BubblePressure(p, before->FilmTemp, before->Base1, before->Base2), 760.0);
  EXPECT_NEAR(r.Summary.Zones[0].MinBoilingMargin.Value, 760.0 - w.Worst, 1e-9 * w.Worst);
  // The rule of thumb fires as well, and earlier.
  const auto rule = std::find_if(r.Summary.Warnings.begin(), r.Summary.Warnings.end(), [](const Warning& w) {
    return w.Kind == WarningKind::AboveBoilingPoint && w.Solvent == 1;
  });
  ASSERT_NE(rule, r.Summary.Warnings.end());
}

TEST_F(RunSummaryTest, SummaryFromMemoryEqualsTheSummaryOfItsResultFile) {
  // Hot zone 2 with targets, and a zone 2 whose gas carries solvent 1.
  FieldTextMap hot, wetGas;
  hot.SetText(ZoneComponent(2, 1), "150");
  wetGas.SetText(ZoneComponent(2, 3), "60");
  SummarySettings settings;
  settings.ResidualTarget = 5.0;
  settings.MaxFilmTemperature = 120.0;
  settings.WebWidth = 1.5;
  for (const FieldTextMap* f : {&hot, &wetGas}) {
    const Ran m = Run(*f, settings);
    ASSERT_EQ(m.Report.Outcome, RunOutcome::Finished);
    const ResultFileRead read = ReadResultFile(Path("result.txt"));
    ASSERT_TRUE(read.Ok) << read.Error;
    RunTrace back;
    std::string why;
    ASSERT_TRUE(TraceFromResultFile(read.Data, back, why)) << why;
    const RunSummary b = SummarizeRun(back, settings);

    EXPECT_EQ(b.Run.End.Kind, RunEndKind::Finished);
    ASSERT_EQ(b.Zones.size(), m.Summary.Zones.size());
    for (size_t i = 0; i < b.Zones.size(); ++i) {
      const ZoneSummary &x = m.Summary.Zones[i], &y = b.Zones[i];
      SCOPED_TRACE("zone " + std::to_string(x.Zone));
      EXPECT_NEAR(y.ExitTemperature, x.ExitTemperature, 0.005);
      EXPECT_NEAR(y.MaxTemperature.Value, x.MaxTemperature.Value, 0.005);
      EXPECT_NEAR(y.RemainingPercent, x.RemainingPercent, 0.05);
      EXPECT_NEAR(y.Evaporated1, x.Evaporated1, 0.01);
      EXPECT_NEAR(y.Evaporated2, x.Evaporated2, 0.01);
      EXPECT_NEAR(y.ExitThickness, x.ExitThickness, 0.051);  // the file's 0.1 um
      EXPECT_NEAR(y.ResidenceTime, x.ResidenceTime, 1e-9);
      // The file's concentrations and thicknesses carry four or five digits.
      const double heat = std::max(std::fabs(x.Heat.FromGas), 2.5);
      EXPECT_NEAR(y.Heat.FromGas, x.Heat.FromGas, 0.002 * heat);
      EXPECT_NEAR(y.Heat.Latent, x.Heat.Latent, 0.002 * heat);
      EXPECT_NEAR(y.Heat.Sensible, x.Heat.Sensible, 0.002 * heat);
      EXPECT_NEAR(y.Heat.Power.value(), x.Heat.Power.value(), 0.002 * std::fabs(x.Heat.Power.value()));
      EXPECT_NEAR(y.MinBoilingMargin.Value, x.MinBoilingMargin.Value, 1.0);
    }
    EXPECT_NEAR(b.Run.ResidualGrams, m.Summary.Run.ResidualGrams, 0.01);
    EXPECT_NEAR(b.Run.DryThickness, m.Summary.Run.DryThickness, 1e-9);
    EXPECT_EQ(b.Run.TargetMet, m.Summary.Run.TargetMet);
    // The same warnings, at the same places to within the file's five steps.
    // Uptake at a zone's entrance settles within a few steps, to a surface
    // a hair below the gas's pressure: every fifth row of four digits cannot
    // show it, and the read-back summary gives it only when it is certain.
    auto seen = [](const RunSummary& s) {
      std::vector<Warning> w;
      for (const Warning& x : s.Warnings)
        if (x.Kind != WarningKind::Uptake) w.push_back(x);
      return w;
    };
    const std::vector<Warning> wm = seen(m.Summary), wb = seen(b);
    EXPECT_LE(Count(b, WarningKind::Uptake), Count(m.Summary, WarningKind::Uptake));
    ASSERT_EQ(wb.size(), wm.size()) << SummaryTable(m.Summary) << SummaryTable(b);
    for (size_t i = 0; i < wb.size(); ++i) {
      SCOPED_TRACE(wm[i].Text);
      EXPECT_EQ(wb[i].Kind, wm[i].Kind);
      EXPECT_EQ(wb[i].At.Zone, wm[i].At.Zone);
      EXPECT_EQ(wb[i].Solvent, wm[i].Solvent);
      EXPECT_NEAR(wb[i].At.Position, wm[i].At.Position, 0.1 + 1e-9);
    }
    if (f == &hot) {
      EXPECT_EQ(Count(m.Summary, WarningKind::FilmTemperatureLimit, 2), 1);
      EXPECT_EQ(Count(m.Summary, WarningKind::AboveBoilingPoint, 2), 1);
    } else {
      EXPECT_EQ(Count(m.Summary, WarningKind::Uptake, 2), 1) << SummaryTable(m.Summary);
      EXPECT_EQ(Count(m.Summary, WarningKind::ResidualTarget), 1);
    }
  }
}

TEST_F(RunSummaryTest, StoppedRunsAndTheCallersFloatingPointState) {
  // A run stopped in zone 2 after step 300: the summary names the zone and
  // the place, and its partial zone is summarised up to there.
  const Ran r = Run(Defaults(), {}, 2, 300);
  ASSERT_EQ(r.Report.Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(r.Summary.Run.End.Kind, RunEndKind::Cancelled);
  EXPECT_EQ(r.Summary.Run.StopZone, 2);
  EXPECT_NEAR(r.Summary.Run.StopPosition, 300 * 0.02, 1e-9);
  ASSERT_EQ(r.Summary.Zones.size(), 2u);
  EXPECT_FALSE(r.Summary.Zones[1].Complete);
  EXPECT_NEAR(r.Summary.Zones[1].Length, 6.0, 1e-9);
  EXPECT_NEAR(r.Summary.Run.TotalTime, 56.0, 1e-9);
  EXPECT_EQ(OutcomeLine(r.Summary).rfind("Stopped in zone 2 at 6.00 m", 0), 0u) << OutcomeLine(r.Summary);

  // The summary leaves no fault flag behind for the engine's checkpoints.
  const Ran d = Run(Defaults());
  std::feclearexcept(FE_ALL_EXCEPT);
  RunTrace t = d.Trace;
  t.Params.VaporA1 = std::log10(760.0);  // no normal boiling point: B / 0
  t.Zones[0].Points[3].Base1 = 0;        // a solvent that is gone
  (void)SummarizeRun(t);
  EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW), 0);
}

// "Dry" is a claim about a target: never made without one, never for a run
// that stopped, whatever it had left.
TEST_F(RunSummaryTest, OutcomeWordsClaimDryOnlyForAMetTarget) {
  const Ran d = Run(Defaults());
  ASSERT_EQ(d.Report.Outcome, RunOutcome::Finished);
  const double left = d.Summary.Run.ResidualPercent;
  ASSERT_GT(left, 1.0);
  const std::string free = OutcomeLine(d.Summary);
  EXPECT_EQ(free.rfind("Finished: ", 0), 0u) << free;
  EXPECT_NE(free.find("(no residual target set)"), std::string::npos) << free;
  EXPECT_EQ(free.find("Dry"), std::string::npos) << free;

  SummarySettings set;
  set.ResidualTarget = left + 0.5;
  const std::string met = OutcomeLine(SummarizeRun(d.Trace, set));
  EXPECT_EQ(met.rfind("Dry: ", 0), 0u) << met;
  set.ResidualTarget = left - 0.5;
  const std::string missed = OutcomeLine(SummarizeRun(d.Trace, set));
  EXPECT_EQ(missed.rfind("Not dry: ", 0), 0u) << missed;
  EXPECT_NE(missed.find("above the target of"), std::string::npos) << missed;
  // The warning names the target in its unit, as the engineer gave it.
  set.ResidualTargetUnit = ResidualUnit::GramsPerSquareMetre;
  set.ResidualTarget = 0.5;
  const RunSummary grams = SummarizeRun(d.Trace, set);
  ASSERT_EQ(Count(grams, WarningKind::ResidualTarget), 1);
  for (const Warning& w : grams.Warnings)
    if (w.Kind == WarningKind::ResidualTarget) {
      EXPECT_NE(w.Text.find("(target 0.5 g/m2)"), std::string::npos) << w.Text;
    }
  // In ppm of the dry coating the words follow the unit of the target.
  set.ResidualTargetUnit = ResidualUnit::PpmOfDryCoating;
  set.ResidualTarget = 2 * d.Summary.Run.ResidualPpm;
  const std::string ppm = OutcomeLine(SummarizeRun(d.Trace, set));
  EXPECT_EQ(ppm.rfind("Dry: ", 0), 0u) << ppm;
  EXPECT_NE(ppm.find(" ppm"), std::string::npos) << ppm;

  // Stopped in zone 2 with less left than a generous target: not met.
  set = {};
  set.ResidualTarget = 100.0;
  const Ran stopped = Run(Defaults(), set, 2, 300);
  ASSERT_TRUE(stopped.Summary.Run.TargetMet.has_value());
  EXPECT_FALSE(*stopped.Summary.Run.TargetMet);
  const std::string line = OutcomeLine(stopped.Summary);
  EXPECT_EQ(line.find("Dry"), std::string::npos) << line;
  EXPECT_NE(SummaryJson(stopped.Summary).find("\"residual_target_met\": false"), std::string::npos);
}

// The warnings' figures are the zone table's: a film far above a solvent's
// boiling point once that solvent has gone is said to be so, with the
// zone's hottest film; and every warning ends with its advice.
TEST_F(RunSummaryTest, WarningFiguresAgreeWithTheZoneTable) {
  FieldTextMap f = Defaults();
  Set(f, "OuterTemperature[1]", "400");
  Set(f, "OuterTemperature[2]", "150");
  const Ran r = Run(f, {}, 0, 0, true);
  ASSERT_EQ(r.Report.Outcome, RunOutcome::Finished);
  ASSERT_GT(Count(r.Summary, WarningKind::AboveBoilingPoint), 0);
  char hottest[32];
  for (const Warning& w : r.Summary.Warnings) {
    SCOPED_TRACE(w.Text);
    ASSERT_FALSE(w.Advice.empty());
    EXPECT_EQ(w.Text.substr(w.Text.size() - w.Advice.size()), w.Advice);
    if (w.Kind == WarningKind::AboveBoilingPoint) {
      std::snprintf(hottest, sizeof hottest, "%.1f °C", r.Summary.Zones[static_cast<std::size_t>(w.At.Zone - 1)].MaxTemperature.Value);
      EXPECT_NE(w.Text.find(hottest), std::string::npos) << "the zone's hottest film is " << hottest;
    }
  }
}

}  // namespace
}  // namespace kelvane
