// The robust surface solve: identical bytes wherever the secant search
// finishes, and physically sound rows where the rescue takes over.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <thread>

#include "engine/MiscCalc.h"
#include "files/ResultFileReader.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"
#include "run/StartRun.h"
#include "study/StudyRun.h"
#include "study/StudyTable.h"
#include "summary/SummaryText.h"
#include "tests/support/DefaultSetup.h"
#include "tests/support/EngineTestSupport.h"
#include "tests/support/RunTestSupport.h"

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
// secant search finishes, and finishes every run where it fails.
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
  EXPECT_EQ(rescuedRuns, literalFailures) << rescuedRuns << " of " << literalFailures;
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

using Settings = std::vector<std::pair<std::string, std::string>>;

// Field settings applied to the window's defaults.
FieldTextMap FieldsFromSettings(const Settings& settings) {
  FieldTextMap fields;
  for (const auto& [name, text] : settings) {
    const FieldSpec* f = FindField(name);
    EXPECT_NE(f, nullptr) << name;
    if (f) fields.SetText(f->Component, text);
  }
  return fields;
}

// The same, read as a run reads them.
RunSetup SetupFromSettings(const Settings& settings) {
  RecordingHost host;
  RunSetup setup;
  ReadRunParameters(FieldsFromSettings(settings), host, setup, '.');
  EXPECT_TRUE(setup.InputAccepted) << (host.Messages.empty() ? "" : host.Messages.front());
  return setup;
}

// The plausible dryers kept with the tests, by label prefix, as settings.
std::vector<std::pair<std::string, Settings>> DryerSettings(const std::string& kind) {
  std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/tests/data/plausible-dryers.txt");
  std::vector<std::pair<std::string, Settings>> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind(kind, 0) != 0) continue;
    std::istringstream fields(line);
    std::string label, item;
    std::getline(fields, label, '\t');
    Settings settings;
    while (std::getline(fields, item, '\t')) {
      const auto eq = item.find('=');
      settings.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    }
    out.emplace_back(label, settings);
  }
  EXPECT_FALSE(out.empty()) << kind;
  return out;
}

std::vector<std::pair<std::string, RunSetup>> Dryers(const std::string& kind) {
  std::vector<std::pair<std::string, RunSetup>> out;
  for (const auto& [label, settings] : DryerSettings(kind)) out.emplace_back(label, SetupFromSettings(settings));
  return out;
}

// Wherever the secant search finishes, the robust mode gives the same bits:
// steps that need many trials (here up to a few hundred) are left to it, and
// so are plausible dryers that it finishes.
TEST(RobustSurface, IdenticalOnRunsTheSecantSearchFinishes) {
  std::vector<std::pair<std::string, RunSetup>> cases = Dryers("finishes");
  cases.emplace_back("many trials", SetupFromSettings({{"Edit2", "0.0813"},
                                                      {"Edit274", "-0.102757"},
                                                      {"Edit277", "-2.455387E+05"},
                                                      {"Edit278", "-1.737299E+06"},
                                                      {"Edit279", "-6.520244E+06"},
                                                      {"Edit280", "-1.237272E+07"},
                                                      {"Edit281", "-9.366435E+06"}}));
  for (const auto& [label, setup] : cases) {
    const Outcome plain = March(setup, false);
    ASSERT_TRUE(plain.finished) << label;
    const Outcome robust = March(setup, true);
    EXPECT_TRUE(robust.finished) << label;
    EXPECT_EQ(robust.rescued, 0u) << label;
    EXPECT_TRUE(SameBits(plain.rows, robust.rows)) << label;
  }
}

// The coldest a film can get in zone z: evaporative cooling balanced by the
// heat from the gas on both faces, with both solvents evaporating as if pure
// (activity 1, the most a solvent can evaporate at a temperature).
double WetBulbBound(const RunParameters& p, int z) {
  const double h = p.CoatHeatTransferCoeff[z] + p.BaseHeatTransferCoeff[z];
  const double Tg = p.OuterTemperature[z];
  auto surplus = [&](double T) {  // heat in minus heat out, W/cm^2
    double out = 0;
    const double kc[2][6] = {{p.VaporA1, p.VaporB1, p.VaporC1, p.Keff1 * MassTransferCoeff(p.AirDiffusivity1, p.CoatHeatTransferCoeff[z]),
                              p.MolecularWeight1, p.PartialPressure1[z]},
                             {p.VaporA2, p.VaporB2, p.VaporC2, p.Keff2 * MassTransferCoeff(p.AirDiffusivity2, p.CoatHeatTransferCoeff[z]),
                              p.MolecularWeight2, p.PartialPressure2[z]}};
    const double dH[2] = {p.HeatOfVaporization1, p.HeatOfVaporization2};
    for (int k = 0; k < 2; ++k) {
      const double P = std::pow(10.0, kc[k][0] - kc[k][1] / (T + kc[k][2]));
      if (P >= 760) return -1.0;
      out += kc[k][3] * 0.001059 * kc[k][4] / 28.97 * (P - kc[k][5]) / (760 - P) * dH[k];
    }
    return h * (Tg - T) - out;
  };
  double lo = -60, hi = Tg;
  for (int n = 0; n < 100; ++n) {
    const double m = 0.5 * (lo + hi);
    (surplus(m) > 0 ? lo : hi) = m;
  }
  return lo;
}

// Physical checks on dryers only the robust mode finishes: polymer kept,
// no negative amounts, solvent never gained from a solvent-free gas, the
// film temperature no hotter than the hottest gas or start and no colder than
// the wet-bulb bound of the coldest (evaporation cools a wet film below both,
// as on the default window), and per zone the solvent that left the coating
// equals what the gas carried off.
// The same of dryers whose secant balances carry the profile beyond one (no
// polymer left at a node) before any step fails: the robust march fails on
// them and only a march off the plain path from its first step finishes.
// Both robust modes: the byte-identical one of single runs, and the one of
// many-run features, which settles slow steps early; and a dryer whose last
// steps only sub-steps settle.
TEST(RobustSurface, RescuedDryersArePhysicallySound) {
  auto dryers = Dryers("rescued");
  for (auto& d : Dryers("off-path")) dryers.push_back(d);
  for (auto& d : Dryers("split")) dryers.push_back(d);
  for (const int settle : {0, ManyRunSettleTrials})
  for (const auto& [name, setup] : dryers) {
    const std::string label = name + (settle ? " (many-run)" : "");
    const bool offPath = label.rfind("off-path", 0) == 0;
    if (!settle) {
      ASSERT_FALSE(March(setup, false).finished) << label;
    }
    if (offPath && !settle) {
      ASSERT_FALSE(March(setup, true).finished) << label;
    }
    RecordingHost host;
    auto calc = std::make_unique<Calculation>(&host);
    Calculation& c = *calc;
    c.Setup = setup;
    c.Robust = true;
    c.SettleAfterTrials = settle;
    c.OffPathFromStart = offPath;
    c.ProgressInterval = 1;
    const RunParameters& p = setup.Params;
    const int N = p.TotalLayerCount;
    const double load = (p.InitialComposition1 + p.InitialComposition2) * p.InitialCoatingThickness;
    long double evaporated = 0, evaporated2 = 0;
    int unbalanced = 0;
    host.OnProgress = [&](int z, int j) {
      const StepState& st = c.Step;
      const double dt = p.IncrementZ / c.State.WebSpeedCm;
      evaporated += (static_cast<long double>(st.GasFlux1) + st.GasFlux2) * dt;
      evaporated2 += static_cast<long double>(st.GasFlux2) * dt;
      // Every stored step balances each solvent present on its own: the film
      // delivers what the gas carries off, within half a percent of the film
      // side, a few thousandths of the step's whole evaporation, or (for a
      // trace solvent, with room for a step split in 64) a millionth of its
      // content per step; a trace solvent resting at its lowest surface may
      // be out by 1e-6 of the initial load per step (the film side's own
      // resolution for so little solvent).
      const double E = std::max(std::fabs(st.FilmFlux1) + std::fabs(st.FilmFlux2),
                                std::fabs(st.GasFlux1) + std::fabs(st.GasFlux2));
      const double content[2] = {c.State.AvgConc1[j - 1] * c.State.CoatThick[j - 1],
                                 c.State.AvgConc2[j - 1] * c.State.CoatThick[j - 1]};
      const double F[2] = {st.FilmFlux1, st.FilmFlux2}, G[2] = {st.GasFlux1, st.GasFlux2};
      const bool gone[2] = {st.Gone1, st.Gone2};
      for (int k = 0; k < 2; ++k) {
        if (gone[k]) continue;
        const double room = 0.005 * std::fabs(F[k]) + 0.002 * E + 64e-7 * content[k] / dt;
        if (std::fabs(F[k] - G[k]) > room && std::fabs(F[k] - G[k]) * dt > 1e-6 * load && unbalanced++ < 3)
          ADD_FAILURE() << label << " zone " << z << " step " << j << ": solvent " << k + 1 << " film " << F[k]
                        << ", gas " << G[k];
      }
    };
    double tLow = p.InitialTemperature, tHigh = p.InitialTemperature;
    for (int z = 1; z <= setup.ZoneCount; ++z) {
      tLow = std::min(tLow, WetBulbBound(p, z));
      tHigh = std::max(tHigh, p.OuterTemperature[z]);
    }
    double polymer = 0;
    const int failed = enginetest::MarchAll(c, [&](int z) {
      const FilmState& s = c.State;
      const int n = setup.ZoneStepCount[z];
      if (z == 1) polymer = s.AvgPolymerConc[0] * s.CoatThick[0];
      const bool dryGas = p.PartialPressure1[z] == 0 && p.PartialPressure2[z] == 0;
      for (int j = 1; j <= n && c.ConvergenceOk; ++j) {
        EXPECT_NEAR(s.AvgPolymerConc[j] * s.CoatThick[j] / polymer, 1.0, 1e-6) << label << " zone " << z;
        EXPECT_GE(s.AvgConc1[j], 0) << label;
        EXPECT_GE(s.AvgConc2[j], 0) << label;
        for (int i = 0; i <= N; ++i) {
          EXPECT_GE(s.MassFrac1[j][i], 0) << label << " zone " << z << " step " << j << " node " << i;
          EXPECT_GE(s.MassFrac2[j][i], 0) << label << " zone " << z << " step " << j << " node " << i;
          EXPECT_LT(s.MassFrac1[j][i] + s.MassFrac2[j][i], 1) << label << " zone " << z << " step " << j;
        }
        if (dryGas) {
          EXPECT_LE(s.SolRemain[j], s.SolRemain[j - 1] + 1e-9) << label << " zone " << z << " step " << j;
        }
        EXPECT_GE(s.FilmTemp[j], tLow - 1e-9) << label;
        EXPECT_LE(s.FilmTemp[j], tHigh + 1e-9) << label;
      }
      // What left the coating in the zone against what the gas carried off.
      const double left = (s.SolRemain[0] - s.SolRemain[n]) / 100 * load;
      EXPECT_NEAR(static_cast<double>(evaporated), left, 0.005 * std::fabs(left) + 1e-6 * load)
          << label << " zone " << z;
      // And so for solvent 2 alone: both solvents are balanced, not their sum.
      // (A trace of it may be out by 2e-5 of the load over a zone.)
      const double left2 = s.AvgConc2[0] * s.CoatThick[0] - s.AvgConc2[n] * s.CoatThick[n];
      EXPECT_NEAR(static_cast<double>(evaporated2), left2, 0.005 * std::fabs(left2) + 2e-5 * load)
          << label << " zone " << z << ", solvent 2";
      evaporated = evaporated2 = 0;
    });
    EXPECT_EQ(failed, 0) << label << ": " << (host.Messages.empty() ? "" : host.Messages.back());
    EXPECT_EQ(unbalanced, 0) << label << ": steps with one solvent unbalanced";
    EXPECT_FALSE(c.Rescued.empty()) << label;
    c.SetHost(nullptr);
  }
}

// A robust run that fails is marched again from the entrance, off the plain
// path from the first step: the user sees that march alone, as one run
// that finished, and its file holds every zone once.
TEST(RobustSurface, FailedRobustRunIsMarchedAgainOffThePlainPath) {
  const auto dryers = DryerSettings("off-path");
  ASSERT_FALSE(dryers.empty());
  const auto dir = std::filesystem::temp_directory_path() / ("kelvane-off-path-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const bool robust : {false, true}) {
    FieldTextMap fields = FieldsFromSettings(dryers.front().second);
    const std::string path = (dir / (robust ? "robust.txt" : "plain.txt")).string();
    fields.SetText("Edit250", path);
    runtest::RecordingRunHost host;
    auto calc = std::make_unique<Calculation>();
    RunOptions options;
    options.Robust = robust;
    int zone1Reports = 0;
    options.ZoneMarched = [&](const Calculation&, int zone, int, bool) { zone1Reports += zone == 1; };
    const RunReport report = StartRun(fields, host, *calc, options);
    const ResultFileRead read = ReadResultFile(path);
    ASSERT_TRUE(read.Ok) << read.Error;
    if (!robust) {
      EXPECT_EQ(report.Outcome, RunOutcome::EngineFailed);
      EXPECT_EQ(calc->Stats.Marches, 1);
      EXPECT_EQ(host.messages.size(), 1u);
      continue;
    }
    EXPECT_EQ(report.Outcome, RunOutcome::Finished) << host.Shown();
    EXPECT_EQ(calc->Stats.Marches, 2);
    EXPECT_EQ(zone1Reports, 2);
    EXPECT_TRUE(host.messages.empty() && host.reports.empty()) << host.Shown();
    EXPECT_EQ(host.finishDialogs, 1);
    EXPECT_EQ(report.ZonesWritten, calc->Setup.ZoneCount);
    EXPECT_EQ(read.Data.Zones.size(), static_cast<size_t>(calc->Setup.ZoneCount));
    EXPECT_EQ(read.Data.Conditions.size(), static_cast<size_t>(calc->Setup.ZoneCount));
  }
  std::filesystem::remove_all(dir);
}

// Every caller and every output take the one run path: a robust run whose
// first march fails is marched again from the entrance whether it writes a
// file, the null device or a pipe, and a study row (the runs of a search)
// is that same run.  A robust run that fails on the null device says why.
TEST(RobustSurface, MarchedAgainAlikeOnEveryOutputAndCaller) {
  const auto dryers = DryerSettings("off-path");
  ASSERT_FALSE(dryers.empty());
  const auto dir = std::filesystem::temp_directory_path() / ("kelvane-one-path-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  struct Seen {
    RunOutcome outcome;
    std::vector<std::string> messages;
    std::size_t rescued;
    int marches;
  };
  auto single = [&](FieldTextMap fields, const std::string& path) {
    fields.SetText("Edit250", path);
    runtest::RecordingRunHost host;
    auto calc = std::make_unique<Calculation>();
    RunOptions options;
    options.Robust = true;
    const RunReport report = StartRun(fields, host, *calc, options);
    return Seen{report.Outcome, host.messages, calc->Rescued.size(), calc->Stats.Marches};
  };
  const FieldTextMap fields = FieldsFromSettings(dryers.front().second);
  const std::string file = (dir / "file.txt").string();
  const Seen toFile = single(fields, file);
  ASSERT_EQ(toFile.outcome, RunOutcome::Finished);
  ASSERT_EQ(toFile.marches, 2);
  const std::string bytes = filetest::ReadBytes(file);

  const Seen toNull = single(fields, "/dev/null");
  EXPECT_EQ(toNull.outcome, RunOutcome::Finished);
  EXPECT_EQ(toNull.marches, 2);
  EXPECT_EQ(toNull.rescued, toFile.rescued);

  // A pipe receives the second march's file only, whole.
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string piped;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    piped.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  });
  const Seen toPipe = single(fields, fifo);
  reader.join();
  EXPECT_EQ(toPipe.outcome, RunOutcome::Finished);
  EXPECT_EQ(toPipe.rescued, toFile.rescued);
  EXPECT_TRUE(piped == bytes) << piped.size() << " bytes through the pipe, " << bytes.size() << " in the file";

  // A study row, to a file and to nowhere (as a search's runs go).
  StudyDefinition study;
  study.Base = fields;
  study.Varied = {ParseVaried("WebSpeed=" + fields.Text(FindField("WebSpeed")->Component))};
  StudyOptions options;  // the robust solve by default
  options.Identical = true;  // the bytes of the single run (by default slow steps are settled early)
  options.ResultFile = [&](const StudyRow&) { return (dir / "row.txt").string(); };
  const RowResult row = RunRow(study, RowAt(study, 1), options);
  EXPECT_EQ(row.Outcome, RowOutcome::Finished) << row.Message;
  EXPECT_EQ(static_cast<std::size_t>(row.RescuedSteps), toFile.rescued);
  EXPECT_TRUE(filetest::ReadBytes((dir / "row.txt").string()) == bytes);
  options.ResultFile = nullptr;
  const RowResult discarded = RunRow(study, RowAt(study, 1), options);
  EXPECT_EQ(discarded.Outcome, RowOutcome::Finished) << discarded.Message;
  EXPECT_EQ(static_cast<std::size_t>(discarded.RescuedSteps), toFile.rescued);
  EXPECT_EQ(CsvLine(discarded), CsvLine(row));

  // A robust run that fails for good shows its message on every output.
  FieldTextMap saturated;
  saturated.SetText(FindField("PartialPressure1[1]")->Component, "5000");
  const Seen failedFile = single(saturated, (dir / "failed.txt").string());
  const Seen failedNull = single(saturated, "/dev/null");
  EXPECT_NE(failedFile.outcome, RunOutcome::Finished);
  ASSERT_EQ(failedFile.messages.size(), 1u);
  EXPECT_EQ(failedNull.outcome, failedFile.outcome);
  EXPECT_EQ(failedNull.messages, failedFile.messages);
  std::filesystem::remove_all(dir);
}

// Halving the increment moves the exit solvent remaining by less than one
// percentage point and the exit temperature by less than 1 K; so too in the
// many-run mode on a dryer with steps it settles early (rescued-10: three
// steps of its secant search need thousands of trials, one 100 000) and on
// one whose last steps it splits early (split-7004-99).
TEST(RobustSurface, RescuedDryersConvergeOnAFinerGrid) {
  auto dryers = Dryers("rescued-47");
  for (const auto& [name, setup] : Dryers("rescued-10")) dryers.emplace_back(name + " (many-run)", setup);
  for (const auto& [name, setup] : Dryers("split")) dryers.emplace_back(name + " (many-run)", setup);
  for (const auto& [label, coarse] : dryers) {
    const int settle = label.find("many-run") != std::string::npos ? ManyRunSettleTrials : 0;
    RunSetup fine = coarse;
    fine.Params.IncrementZ = coarse.Params.IncrementZ / 2;
    for (int z = 1; z <= fine.ZoneCount; ++z) fine.ZoneStepCount[z] = 2 * coarse.ZoneStepCount[z];
    RecordingHost h1, h2;
    auto a = std::make_unique<Calculation>(&h1);
    auto b = std::make_unique<Calculation>(&h2);
    a->Setup = coarse;
    b->Setup = fine;
    a->Robust = b->Robust = true;
    a->SettleAfterTrials = b->SettleAfterTrials = settle;
    double exitA[2] = {0, 0}, exitB[2] = {0, 0};
    const int last = coarse.ZoneCount;
    ASSERT_EQ(enginetest::MarchAll(*a, [&](int z) {
                if (z == last) exitA[0] = a->State.SolRemain[coarse.ZoneStepCount[z]],
                               exitA[1] = a->State.FilmTemp[coarse.ZoneStepCount[z]];
              }),
              0)
        << label;
    ASSERT_EQ(enginetest::MarchAll(*b, [&](int z) {
                if (z == last) exitB[0] = b->State.SolRemain[fine.ZoneStepCount[z]],
                               exitB[1] = b->State.FilmTemp[fine.ZoneStepCount[z]];
              }),
              0)
        << label;
    EXPECT_NEAR(exitA[0], exitB[0], 1.0) << label;
    EXPECT_NEAR(exitA[1], exitB[1], 1.0) << label;
  }
}

// A gas far richer in solvent 1 than the film's vapour pressure would
// condense liquid on the coating: the failure names the physics, the zone
// and where along the web.
TEST(RobustSurface, FailureReasonNamesCondensation) {
  RunSetup condensing = OneZone(20, 2.0, 60.0, 5000.0, 0.0, 1.0);
  condensing.ZoneStepCount[1] = 50;
  const Outcome literal = March(condensing, false);
  ASSERT_FALSE(literal.finished);
  const Outcome robust = March(condensing, true);
  ASSERT_FALSE(robust.finished);
  ASSERT_EQ(robust.messages.size(), 1u);
  EXPECT_EQ(robust.messages.back(),
            "Sorry, this condition does not converge !! (rescue failed: condensation: the gas is supersaturated "
            "with solvent 1 at the film temperature; zone 1, 0.26 m, 0.26 s)");
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// Each rule of a rescue trial at its edge: the case it must refuse beside the
// neighbouring case it must accept.
TEST(RobustSurfaceRules, EachRuleRefusesJustPastItsEdge) {
  // Surface mass fractions: a solvent may be absent, never negative; the
  // polymer must keep a share.
  EXPECT_TRUE(RescueSurfaceAdmissible(0.0, 0.3));
  EXPECT_TRUE(RescueSurfaceAdmissible(0.3, 0.0));
  EXPECT_FALSE(RescueSurfaceAdmissible(-1e-300, 0.3));
  EXPECT_FALSE(RescueSurfaceAdmissible(0.3, -1e-300));
  EXPECT_TRUE(RescueSurfaceAdmissible(0.5, 0.4999999));
  EXPECT_FALSE(RescueSurfaceAdmissible(0.5, 0.5));
  EXPECT_FALSE(RescueSurfaceAdmissible(1.0, 0.0));
  EXPECT_FALSE(RescueSurfaceAdmissible(std::nan(""), 0.1));

  // Boiling: the partial pressures together reach one atmosphere.
  EXPECT_FALSE(RescueSurfaceBoils(400.0, std::nextafter(360.0, 0.0)));
  EXPECT_TRUE(RescueSurfaceBoils(400.0, 360.0));
  EXPECT_TRUE(RescueSurfaceBoils(760.0, 0.0));
  EXPECT_FALSE(RescueSurfaceBoils(759.9, 0.0));

  // Profiles: zero is a dry node, anything below it is refused, in either
  // solvent and at any node up to the last.
  NodeRow w1{}, w2{};
  const int N = 24;
  EXPECT_TRUE(RescueProfilesNonNegative(w1, w2, N));
  w2[N] = -1e-300;
  EXPECT_FALSE(RescueProfilesNonNegative(w1, w2, N));
  EXPECT_TRUE(RescueProfilesNonNegative(w1, w2, N - 1));
  w2[N] = 0;
  w1[0] = -1e-300;
  EXPECT_FALSE(RescueProfilesNonNegative(w1, w2, N));

  // Balance of one solvent: relative half a percent, strictly.
  EXPECT_TRUE(RescueSolventBalanced(1000.0, 1004.999, 0.0));
  EXPECT_FALSE(RescueSolventBalanced(1000.0, 1005.0, 0.0)) << "exactly half a percent is not balanced";
  EXPECT_TRUE(RescueSolventBalanced(1.0, 1.0049, 0.0));
  EXPECT_FALSE(RescueSolventBalanced(1.0, 1.0051, 0.0));
  EXPECT_FALSE(RescueSolventBalanced(1.0, 0.9949, 0.0));
  EXPECT_TRUE(RescueSolventBalanced(-1.0, -0.996, 0.0)) << "uptake from the gas balances like evaporation";
  // Absolute: within the scale, inclusive; the scale is a thousandth of the
  // step's evaporation or 1e-7 of the content per step, the larger.
  EXPECT_TRUE(RescueSolventBalanced(0.0, 2e-9, 2e-9));
  EXPECT_FALSE(RescueSolventBalanced(0.0, 2.0001e-9, 2e-9));
  EXPECT_DOUBLE_EQ(RescueBalanceScale(2e-6, 0.0, 0.02), 2e-9);
  EXPECT_DOUBLE_EQ(RescueBalanceScale(2e-6, 1e-3, 0.02), 5e-9);
  EXPECT_DOUBLE_EQ(RescueBalanceScale(1e-5, 1e-3, 0.02), 1e-8);
  EXPECT_GT(RescueBalanceScale(0.0, 0.0, 1.0), 0.0);
}


// A solvent is exhausted once its content falls to a millionth of the
// initial solvent load, and only under a gas that holds none of it.  Dropping
// it keeps the other solvent and the polymer and hands its last traces to the
// gas.
TEST(RobustSurfaceRules, ExhaustedSolventIsDroppedAtItsThresholdOnly) {
  struct Trial {
    double share;  // of the threshold content
    double gasPressure;
    bool gone;
  };
  for (const Trial t : {Trial{1 - 1e-6, 0.0, true}, Trial{1 + 1e-6, 0.0, false}, Trial{0.5, 1e-3, false}}) {
    auto calc = std::make_unique<Calculation>();
    calc->Setup = fixtures::DefaultSetup(20, 2.0);
    RunParameters& p = calc->Setup.Params;
    p.PartialPressure2[1] = t.gasPressure;
    StepState& st = calc->Step;
    st.Zone = 1;
    const int N = p.TotalLayerCount;
    const double L = p.InitialCoatingThickness / N;
    const double load = (p.InitialComposition1 + p.InitialComposition2) * p.InitialCoatingThickness;
    const double phi2 = t.share * 1e-6 * load / (p.Density2 * N * L), phi1 = 0.3;
    const Fractions w = MassFracFromVol(phi1, phi2, p.Density1, p.Density2, p.PolymerDensity);
    for (int i = 0; i <= N; ++i) {
      st.OldVolFrac1[i] = phi1;
      st.OldVolFrac2[i] = phi2;
      st.OldVolFracP[i] = 1 - phi1 - phi2;
      st.OldMassFrac1[i] = w.F1;
      st.OldMassFrac2[i] = w.F2;
      if (i > 0) calc->State.OldLayerThick[i] = L;
    }
    EXPECT_EQ(DropExhaustedSolvents(*calc), t.gone) << t.share << " " << t.gasPressure;
    EXPECT_EQ(st.Gone2, t.gone);
    EXPECT_FALSE(st.Gone1);
    if (!t.gone) continue;
    double polymer = 0, solvent1 = 0;
    for (int i = 1; i <= N; ++i) {
      const double Li = calc->State.OldLayerThick[i];
      polymer += Li * (st.OldVolFracP[i - 1] + st.OldVolFracP[i]) / 2;
      solvent1 += Li * (st.OldVolFrac1[i - 1] + st.OldVolFrac1[i]) / 2;
    }
    for (int i = 0; i <= N; ++i) {
      EXPECT_EQ(st.OldMassFrac2[i], 0.0);
      EXPECT_EQ(st.OldVolFrac2[i], 0.0);
    }
    EXPECT_NEAR(st.Removed2 / (p.Density2 * phi2 * N * L), 1.0, 1e-12);
    EXPECT_NEAR(polymer / ((1 - phi1 - phi2) * N * L), 1.0, 1e-12);
    EXPECT_NEAR(solvent1 / (phi1 * N * L), 1.0, 1e-12);
  }
}

// The robust solve takes a step over exactly where the secant search runs
// out of trials: a cap one below the most trials any step of the default
// window needs hands that step, and no earlier one, to the rescue; at that
// count the plain march finishes unchanged.
TEST(RobustSurfaceRules, TrialCapHandsOverTheStepThatReachesIt) {
  const RunSetup setup = fixtures::DefaultSetup(20, 2.0);
  int most = 0, where = 0, zoneOf = 0;
  Outcome plain;
  {
    RecordingHost host;
    auto calc = std::make_unique<Calculation>(&host);
    calc->Setup = setup;
    calc->ProgressInterval = 1;
    host.OnProgress = [&](int z, int j) {
      if (calc->Step.Trials > most) most = calc->Step.Trials, where = j, zoneOf = z;
    };
    ASSERT_EQ(enginetest::MarchAll(*calc, [](int) {}), 0);
  }
  ASSERT_GT(most, 2);
  for (const bool robust : {false, true})
    for (const int cap : {most - 1, most}) {
      RecordingHost host;
      auto calc = std::make_unique<Calculation>(&host);
      calc->Setup = setup;
      calc->Robust = robust;
      calc->MaxTrialsPerStep = cap;
      const int failed = enginetest::MarchAll(*calc, [](int) {});
      if (cap == most) {
        EXPECT_EQ(failed, 0) << robust;
        EXPECT_TRUE(calc->Rescued.empty()) << robust;
      } else if (robust) {
        EXPECT_EQ(failed, 0);
        ASSERT_FALSE(calc->Rescued.empty());
        EXPECT_EQ(calc->Rescued.front().Zone, zoneOf);
        EXPECT_EQ(calc->Rescued.front().Step, where);
      } else {
        EXPECT_NE(failed, 0);
        EXPECT_EQ(calc->State.LastStep, where);
      }
    }
}

// The secant search's last two takeovers, both reached by a dryer of the
// kept list (zone 6 of rescued-41, where solvent 2 is all but gone): a trial
// whose film-side flux is exactly zero, which the balance test would divide
// by, and a search that comes back exactly to a state it was in, which would
// cycle until its trials ran out.  Each hands the step to the robust solve
// and the run finishes.  Both happen after the run has left the plain path,
// where by default the continuation solve settles the steps and the secant
// search is not run; off the plain path the secant search still carries the
// runs of a fit and the steps in a supersaturated gas, so the dryer is marched
// here with the continuation solve off.
TEST(RobustSurfaceRules, ZeroFilmFluxAndARepeatedStateHandTheStepOver) {
  for (const auto& [label, setup] : Dryers("rescued-41")) {
    RecordingHost host;
    auto calc = std::make_unique<Calculation>(&host);
    calc->Setup = setup;
    calc->Robust = true;
    calc->ContinuationSolve = false;
    EXPECT_EQ(enginetest::MarchAll(*calc), 0) << label << ": " << (host.Messages.empty() ? "" : host.Messages.back());
    EXPECT_GE(calc->Stats.ZeroFluxTakeovers, 1) << label;
    EXPECT_GE(calc->Stats.CycleTakeovers, 1) << label;
    EXPECT_LT(calc->Stats.MaxTrialsPerStep, calc->MaxTrialsPerStep) << label;
  }
}

}  // namespace
}  // namespace kelvane
