// The robust surface solve on plausible dryers (bench/data/robust-dryers.txt):
// CPU per run and per step in robust and plain mode, trials per step, the
// steps taken over, and the cost of a step in plain steps of the default
// window at the same layer count.  The exit solvent remaining and exit film
// temperature are counters too, so that two builds can be compared on the
// same set (run with --benchmark_format=json for every digit).
//
//   build/bench/kelvane-bench-robust [--benchmark_filter=Robust/]

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"

using namespace kelvane;

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The many-run mode's trials before a hard step is settled:
// KELVANE_SETTLE_TRIALS overrides the library's choice, to measure others
// (and KELVANE_SPLIT_TRIALS the short budget of a step that can be split).
int SettleTrials() {
  if (const char* v = std::getenv("KELVANE_SETTLE_TRIALS")) return std::atoi(v);
  return ManyRunSettleTrials;
}

struct Dryer {
  std::string Label;
  FieldTextMap Fields;
};

// One dryer a line: a label, then NAME=TEXT field settings, tab-separated.
// KELVANE_ROBUST_DRYERS names another such file (bench/plausible_dryers.py
// writes one from the generator's dryers).
std::vector<Dryer> LoadDryers() {
  const char* other = std::getenv("KELVANE_ROBUST_DRYERS");
  std::ifstream in(other ? std::string(other) : std::string(KELVANE_SOURCE_DIR) + "/bench/data/robust-dryers.txt");
  std::vector<Dryer> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream items(line);
    Dryer d;
    std::getline(items, d.Label, '\t');
    std::string item;
    while (std::getline(items, item, '\t')) {
      const auto eq = item.find('=');
      if (const FieldSpec* f = FindField(item.substr(0, eq))) d.Fields.SetText(f->Component, item.substr(eq + 1));
    }
    out.push_back(std::move(d));
  }
  return out;
}

struct MarchResult {
  bool Finished = false;
  long long Steps = 0, Trials = 0, Rescued = 0, Split = 0, HardSteps = 0;
  int MaxTrials = 0;
  double ExitSolvent = 0, ExitTemperature = 0;
};

// Marches every zone as a run does: a robust march that fails is marched
// again from the entrance, off the plain path from its first step.
MarchResult March(Calculation& calc) {
  MarchResult r;
  calc.OffPathFromStart = false;
  for (bool again = true; again;) {
    again = false;
    calc.TransferOk = calc.ConvergenceOk = true;
    calc.Rescued.clear();
    InitializeFilmState(calc);
    for (int z = 1; z <= calc.Setup.ZoneCount; ++z) {
      calc.CurrentZone = z;
      MarchZone(calc, z);
      if (!calc.TransferOk || !calc.ConvergenceOk) {
        if (calc.Robust && !calc.OffPathFromStart) {
          calc.OffPathFromStart = true;
          again = true;
        }
        break;
      }
      const int n = calc.Setup.ZoneStepCount[z];
      r.ExitSolvent = calc.State.SolRemain[n];
      r.ExitTemperature = calc.State.FilmTemp[n];
      if (z == calc.Setup.ZoneCount) r.Finished = true;
      else CarryOverToNextZone(calc);
    }
  }
  r.Steps = calc.Stats.Steps;
  r.Trials = calc.Stats.Trials;
  r.MaxTrials = calc.Stats.MaxTrialsPerStep;
  r.Split = calc.Stats.SplitSteps;
  r.Rescued = static_cast<long long>(calc.Rescued.size());
  for (const Statistics::HardSteps& h : calc.Stats.Hard) r.HardSteps += h.Count;
  return r;
}

class QuietHost : public EngineHost {
 public:
  void ShowMessage(const std::string&) override {}
};

// The plain march, the byte-identical robust mode of single runs, and the
// robust mode of many-run features (hard steps settled early).
enum class Mode { Plain, Robust, ManyRun };

std::unique_ptr<Calculation> Prepare(const FieldTextMap& fields, QuietHost& host, Mode mode) {
  auto calc = std::make_unique<Calculation>(&host);
  ReadRunParameters(fields, host, calc->Setup, '.');
  if (!calc->Setup.InputAccepted) return nullptr;
  calc->Robust = mode != Mode::Plain;
  calc->SettleAfterTrials = mode == Mode::ManyRun ? SettleTrials() : 0;
  if (const char* v = std::getenv("KELVANE_SPLIT_TRIALS")) calc->SplitAfterTrials = std::atoi(v);
  calc->Rescued.reserve(1u << 20);
  return calc;
}

// CPU seconds of one plain step of the default window at N layers (the
// fastest of three marches).  With 10 layers the plain march of the default
// 2 cm increment fails in its seventh step; there the increment is 1 cm.
double DefaultStepCost(int layers) {
  static std::map<int, double> cache;
  if (auto it = cache.find(layers); it != cache.end()) return it->second;
  QuietHost host;
  double best = 1e300;
  for (const char* increment : {"2.0", "1.0"}) {
    FieldTextMap fields;
    fields.SetText(FindField("NumberOfLayers")->Component, std::to_string(layers));
    fields.SetText(FindField("IncrementZ")->Component, increment);
    for (int k = 0; k < 3; ++k) {
      auto calc = Prepare(fields, host, Mode::Plain);
      const double t0 = CpuSeconds();
      const MarchResult r = March(*calc);
      if (!r.Finished) break;
      best = std::min(best, (CpuSeconds() - t0) / static_cast<double>(std::max(1LL, r.Steps)));
    }
    if (best < 1e300) break;
  }
  return cache[layers] = best;
}

void RunDryer(benchmark::State& state, const Dryer& d, Mode mode) {
  QuietHost host;
  auto probe = Prepare(d.Fields, host, mode);
  if (!probe) {
    state.SkipWithError("input refused");
    return;
  }
  const int layers = probe->Params().TotalLayerCount - 4;
  const double plainStep = DefaultStepCost(layers);
  MarchResult r;
  double cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto calc = Prepare(d.Fields, host, mode);
    state.ResumeTiming();
    const double t0 = CpuSeconds();
    r = March(*calc);
    cpu += CpuSeconds() - t0;
  }
  const double runs = static_cast<double>(state.iterations());
  const double perStep = cpu / runs / static_cast<double>(std::max(1LL, r.Steps));
  state.counters["finished"] = r.Finished;
  state.counters["steps"] = static_cast<double>(r.Steps);
  state.counters["taken over"] = static_cast<double>(r.Rescued);
  state.counters["split"] = static_cast<double>(r.Split);
  state.counters["hard steps"] = static_cast<double>(r.HardSteps);
  state.counters["trials/step"] = r.Steps ? static_cast<double>(r.Trials) / static_cast<double>(r.Steps) : 0;
  state.counters["max trials"] = r.MaxTrials;
  state.counters["us/step"] = perStep * 1e6;
  state.counters["plain steps/step"] = perStep / plainStep;
  state.counters["exit solvent %"] = r.ExitSolvent;
  state.counters["exit T"] = r.ExitTemperature;
}

void BM_DefaultStep(benchmark::State& state) {
  const int layers = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(DefaultStepCost(layers));
  state.counters["us/step"] = DefaultStepCost(layers) * 1e6;
}

const bool registered = [] {
  for (const Dryer& d : LoadDryers()) {
    for (const Mode mode : {Mode::ManyRun, Mode::Robust, Mode::Plain}) {
      const char* prefix = mode == Mode::ManyRun ? "ManyRun/" : mode == Mode::Robust ? "Robust/" : "Plain/";
      const std::string name = prefix + d.Label;
      benchmark::RegisterBenchmark(name.c_str(), [d, mode](benchmark::State& s) { RunDryer(s, d, mode); })
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1)
          ->MeasureProcessCPUTime();
    }
  }
  benchmark::RegisterBenchmark("DefaultStep", BM_DefaultStep)->Arg(10)->Arg(20)->Arg(30)->Arg(40)->Iterations(1);
  return true;
}();

}  // namespace
