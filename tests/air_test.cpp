// The dryer's air against hand calculations, and zones whose gas carries
// what the coating gave off: the balance closes, it tends to the open run as
// the exhaust grows, it slows a recirculating zone, and it changes nothing
// when off.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "air/AirModel.h"
#include "engine/MiscCalc.h"
#include "files_test_support.h"
#include "run/StartRun.h"
#include "summary/RunSummary.h"
#include "tests/support/RunTestSupport.h"

namespace kelvane {
namespace {

constexpr double kTolueneM = 92.13, kThfM = 72.11;

// Ideal gas at 1 atm, written out: m^3 per mol at T degC.
double Vm(double T) { return 8.314462618 * (T + 273.15) / 101325.0; }

TEST(AirModel, ExhaustNeededAgreesWithHandFigures) {
  // One US gallon of toluene (3.28 kg) given off at 25 degC, held at 25 % of
  // its 1.1 % LFL: its 35.6 mol make 871 L of vapour, diluted to 0.275 %.
  // A web at 1/3600 m/s and 1 m wide turns g/m^2 into g per hour, so the
  // needed m^3/h is the volume of air for the gallon.
  AirSettings set;
  const AirRun run{1.0 / 3600.0, 1.0, kTolueneM, kThfM};
  ZoneAirInput in;
  in.Zone = 1;
  in.GasTemperature = 25;
  in.Evaporated1 = 3280;
  const ZoneAir a = ZoneAirOf(in, run, set);
  ASSERT_TRUE(a.ExhaustNeeded);
  EXPECT_NEAR(3280 / kTolueneM, 35.6, 0.01);
  EXPECT_NEAR(3280 / kTolueneM * Vm(25) * 1000, 871, 1);
  EXPECT_NEAR(*a.ExhaustNeeded, 0.871 / (0.25 * 0.011), 0.5);
  // The rule of thumb: about 11 000 ft^3 (312 m^3) per gallon.
  EXPECT_NEAR(*a.ExhaustNeeded / 0.3048 / 0.3048 / 0.3048, 11000, 0.02 * 11000);
  EXPECT_NEAR(*a.GivenOffKgPerHour, 3.28, 1e-12);

  // Both solvents at 80 degC: the needed exhaust at the allowed share of the
  // mixture's LFL (Le Chatelier, at 80 degC) carries exactly the moles given
  // off, and a flow of just that is at the share.
  in.GasTemperature = 80;
  in.Evaporated1 = 12, in.Evaporated2 = 7;
  const AirRun line{2.5, 1.5, kTolueneM, kThfM};
  const ZoneAir b = ZoneAirOf(in, line, set);
  const double n1 = 12 / kTolueneM * 2.5 * 1.5, n2 = 7 / kThfM * 2.5 * 1.5;  // mol/s
  const double lfl = MixtureLfl(n1, n2, 1.1 * (1 - 0.000721 * 55), 2.0 * (1 - 0.000721 * 55));
  const double allowed = 0.25 * lfl / 100;  // volume fraction of vapour
  EXPECT_NEAR(*b.ExhaustNeeded / 3600 * allowed / Vm(80), n1 + n2, 1e-12 * (n1 + n2));
  set.ExhaustFlow[1] = *b.ExhaustNeeded;
  const ZoneAir c = ZoneAirOf(in, line, set);
  EXPECT_NEAR(*c.ExhaustLflPercent, 25, 1e-10);
  EXPECT_NEAR(*c.AirHeatKw, *b.AirHeatKw, 1e-9 * *b.AirHeatKw);
  set.ExhaustFlow[1] = 0.5 * *b.ExhaustNeeded;
  EXPECT_NEAR(*ZoneAirOf(in, line, set).ExhaustLflPercent, 50, 1e-10);
  EXPECT_TRUE(ZoneAirOf(in, line, set).AboveShare);

  // Make-up air that already carries solvent leaves less room; at the share
  // no flow dilutes it.
  in.MakeUp1 = 760 * 0.25 * 0.011 * (1 - 0.000721 * 55) / 2;  // half the share
  set.ExhaustFlow[1].reset();
  EXPECT_NEAR(*ZoneAirOf(in, line, set).ExhaustNeeded, 2 * *b.ExhaustNeeded, 1e-9 * *b.ExhaustNeeded);
  in.MakeUp1 *= 2.001;
  EXPECT_FALSE(ZoneAirOf(in, line, set).ExhaustNeeded);
}

TEST(AirModel, MakeUpAirHeatAndZoneEnergy) {
  // 1000 m^3/h at 120 degC, from a 20 degC room: 0.898 kg/m^3 of air,
  // 0.2494 kg/s, 1.006 kJ/(kg.K) over 100 K = 25.09 kW.
  AirSettings set;
  set.ExhaustFlow[2] = 1000;
  const AirRun run{2.0, 1.25, kTolueneM, kThfM};
  ZoneAirInput in;
  in.Zone = 2;
  in.GasTemperature = 120;
  in.Evaporated1 = 1;
  in.HeatIn = 40;
  const ZoneAir a = ZoneAirOf(in, run, set);
  EXPECT_NEAR(*a.AirHeatKw, 25.09, 0.01);
  EXPECT_NEAR(*a.AirHeatPerArea, *a.AirHeatKw / (2.0 * 1.25), 1e-12);
  EXPECT_NEAR(*a.EnergyPerArea, 40 + *a.AirHeatPerArea, 1e-12);
  // A zone cooler than the room needs no heating of its air, and a gas that
  // took heat back from the web is credited nothing.
  in.GasTemperature = 15;
  in.HeatIn = -3;
  const ZoneAir b = ZoneAirOf(in, run, set);
  EXPECT_EQ(*b.AirHeatKw, 0);
  EXPECT_EQ(*b.EnergyPerArea, 0);
  // Without a width the given flow cannot be spread over the web: the
  // energy is at the needed flow, which is per metre of width.
  const ZoneAir c = ZoneAirOf(in, {2.0, std::nullopt, kTolueneM, kThfM}, set);
  EXPECT_FALSE(c.ExhaustLflPercent);
  EXPECT_FALSE(c.AirHeatKw);
  EXPECT_TRUE(c.EnergyPerArea);
}

struct Ran {
  RunReport Report;
  RunSummary Summary;
  std::string File;
  double Gas1[MaxZones + 1] = {}, Gas2[MaxZones + 1] = {};
  ZoneGasBalance Balance;
};

class ZoneBalanceTest : public filetest::ScratchDir {
 protected:
  // The default dryer at a web 1.5 m wide, robust, with the given exhausts;
  // balanced or not.
  Ran Run(std::array<std::optional<double>, MaxZones + 1> flows, bool balance) {
    FieldTextMap fields;
    fields.SetText("Edit250", Path("result.txt"));
    runtest::RecordingRunHost host;
    auto calc = std::make_unique<Calculation>();
    TraceRecorder recorder;
    RunOptions options;
    options.Robust = true;
    options.ZoneMarched = [&](const Calculation& c, int zone, int last, bool complete) {
      recorder.Zone(c, zone, last, complete);
    };
    if (balance) options.ZoneBalance = RunOptions::ZoneBalanceFlows{flows, 1.5};
    Ran r;
    r.Report = StartRun(fields, host, *calc, options);
    RunTrace trace = recorder.Trace();
    trace.End = RunEndOf(r.Report, *calc);
    SummarySettings settings;
    settings.WebWidth = 1.5;
    for (int k = 1; k <= MaxZones; ++k) settings.Air.ExhaustFlow[k] = flows[k];
    settings.Air.ZoneBalance = balance;
    r.Summary = SummarizeRun(trace, settings);
    r.File = filetest::ReadBytes(Path("result.txt"));
    for (int k = 1; k <= MaxZones; ++k) {
      r.Gas1[k] = calc->Params().PartialPressure1[k];
      r.Gas2[k] = calc->Params().PartialPressure2[k];
    }
    r.Balance = calc->Balance;
    return r;
  }
};

TEST_F(ZoneBalanceTest, OffChangesNothingAndVeryLargeFlowsTendToTheOpenRun) {
  const Ran open = Run({}, false);
  ASSERT_EQ(open.Report.Outcome, RunOutcome::Finished);
  // Flows given for the summary alone, or the balance asked for with no
  // zone's flow: the march and its file are the open run's, byte for byte.
  std::array<std::optional<double>, MaxZones + 1> flows{};
  flows[1] = 3000;
  EXPECT_EQ(Run(flows, false).File, open.File);
  EXPECT_EQ(Run({}, true).File, open.File);

  flows[1] = flows[2] = 1e8;
  const Ran wide = Run(flows, true);
  ASSERT_EQ(wide.Report.Outcome, RunOutcome::Finished);
  EXPECT_GT(wide.Gas1[1], 0);  // the zone's gas does carry some solvent
  EXPECT_LT(wide.Gas1[1], 1e-3);
  for (size_t k = 0; k < open.Summary.Zones.size(); ++k) {
    const ZoneSummary &a = open.Summary.Zones[k], &b = wide.Summary.Zones[k];
    EXPECT_NEAR(b.Evaporated1, a.Evaporated1, 1e-4 * a.Evaporated1);
    EXPECT_NEAR(b.ExitTemperature, a.ExitTemperature, 1e-3);
  }
  EXPECT_NEAR(wide.Summary.Run.ResidualPercent, open.Summary.Run.ResidualPercent,
              1e-4 * open.Summary.Run.ResidualPercent);
}

TEST_F(ZoneBalanceTest, BalanceClosesAndSlowsARecirculatingZone) {
  const Ran open = Run({}, false);
  std::array<std::optional<double>, MaxZones + 1> flows{};
  flows[1] = 1000;  // a sixth of what zone 1 needs at 25 % of the LFL
  const Ran rec = Run(flows, true);
  ASSERT_EQ(rec.Report.Outcome, RunOutcome::Finished);
  // What the exhaust carries beyond the make-up air is what the coating gave
  // off, per solvent, written out from the ideal gas: 1000 m^3/h over a web
  // 1.5 m wide at the web's speed.
  const ZoneSummary& z = rec.Summary.Zones[0];
  const double v = 1.0;  // m/s, the default web speed
  ASSERT_NEAR(z.Air.GivenOffPerWidth, (z.Evaporated1 + z.Evaporated2) * v, 1e-9);
  const double exhaust = 1000.0 / 3600.0;  // m^3/s at 60 degC
  const double carried1 = rec.Gas1[1] / 760 * exhaust / Vm(60) * kTolueneM;  // g/s
  const double carried2 = rec.Gas2[1] / 760 * exhaust / Vm(60) * kThfM;
  EXPECT_NEAR(carried1, z.Evaporated1 * v * 1.5, 1e-6 * z.Evaporated1 * v * 1.5);
  EXPECT_NEAR(carried2, z.Evaporated2 * v * 1.5, 1e-6 * z.Evaporated2 * v * 1.5);
  EXPECT_LE(rec.Balance.Imbalance[1], 1e-6);
  // Zone 2 has no exhaust given: its gas is the given one.
  EXPECT_EQ(rec.Gas1[2], 0);
  EXPECT_EQ(rec.Balance.Marches[2], 0);
  // The zone's own vapour slows its drying: more solvent left at its exit,
  // and its exhaust well above the allowed share.
  EXPECT_GT(z.RemainingPercent, open.Summary.Zones[0].RemainingPercent + 0.5);
  EXPECT_LT(z.Evaporated1 + z.Evaporated2, open.Summary.Zones[0].Evaporated1 + open.Summary.Zones[0].Evaporated2);
  EXPECT_GT(*z.Air.ExhaustLflPercent, 100);
  EXPECT_TRUE(z.Air.AboveShare);
}

class AirRunnerTest : public filetest::ScratchDir {
 protected:
  int Run(const std::string& args, std::string& err) {
    const std::string cmd = "cd '" + dir_.string() + "' && '" KELVANE_RUNNER "' " + args + " >.out 2>.err";
    const int rc = std::system(cmd.c_str());
    err = filetest::ReadBytes(dir_ / ".err");
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
};

TEST_F(AirRunnerTest, RefusalsNameTheOptionAndTheSummaryCarriesTheAir) {
  const std::pair<const char*, const char*> refused[] = {
      {"--web-width 1.5 --exhaust 1:1200", "--exhaust 1:1200: expected ZONE=M3H"},
      {"--web-width 1.5 --exhaust 15=1200", "--exhaust 15=1200: expected ZONE=M3H with a zone from 1 to 14"},
      {"--web-width 1.5 --exhaust 1=-5", "--exhaust 1=-5: the exhaust flow must be"},
      {"--web-width 1.5 --exhaust 1=5 --exhaust 1=6", "--exhaust 1=6: zone 1's exhaust is given twice"},
      {"--exhaust 1=1200", "--exhaust 1=1200: the flow is for the whole web"},
      {"--web-width 1.5 --zone-balance", "--zone-balance: no zone has an exhaust flow"},
      {"--lfl 1.1", "--lfl 1.1: expected the two solvents' LFLs"},
      {"--lfl 1.1,0", "--lfl 1.1,0: an LFL must be"},
      {"--lfl-share 0", "--lfl-share 0: the allowed share"},
      {"--room-temperature -300", "--room-temperature -300: the room temperature"},
  };
  for (const auto& [args, said] : refused) {
    SCOPED_TRACE(args);
    std::string err;
    EXPECT_EQ(Run(std::string("--quiet -o r.txt ") + args, err), 1);
    EXPECT_NE(err.find(said), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "r.txt"));
  }
  std::string err;
  ASSERT_EQ(Run("--quiet --robust -o r.txt --web-width 1.5 --exhaust 1=2000 --lfl-share 50 --summary-json s.json "
                "--summary-csv s.csv",
                err),
            0)
      << err;
  const std::string json = filetest::ReadBytes(dir_ / "s.json");
  for (const char* key : {"\"solvent_given_off_g_per_s_per_m\": 34.1", "\"solvent_given_off_kg_per_h\": 184.",
                          "\"exhaust_needed_m3_per_h\": 855", "\"exhaust_lfl_percent\": 213.", "\"air_heat_kw\": ",
                          "\"energy_kj_per_m2\": ", "\"total_energy_kj_per_m2\": ", "\"kind\": \"exhaust_lfl\""})
    EXPECT_NE(json.find(key), std::string::npos) << key << "\n" << json;
  const std::string csv = filetest::ReadBytes(dir_ / "s.csv");
  EXPECT_NE(csv.find(",exhaust_needed_m3_per_h,exhaust_lfl_percent,air_heat_kw,energy_kj_per_m2\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace kelvane
