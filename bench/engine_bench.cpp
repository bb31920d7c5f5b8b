// Engine benchmarks: the fast path against the literal per-trial path on the
// default window and the largest admitted case, the dense solver against the
// exact fast elimination, and a whole run with its result file.
//
//   ./kelvane.sh bench            (or build/bench/kelvane-bench-engine)

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"
#include "run/StartRun.h"

using namespace kelvane;

namespace {

class QuietHost : public RunHost {
 public:
  void ShowMessage(const std::string&) override {}
  void ShowFinishDialog() override {}
  void ShowErrorReport(const std::string&) override {}
};

// Field texts of the default window, with changes.
FieldTextMap Fields(std::initializer_list<std::pair<const char*, std::string>> changes) {
  FieldTextMap f;
  for (const auto& [name, text] : changes) f.SetText(FindField(name)->Component, text);
  return f;
}

FieldTextMap LargestCase() {
  FieldTextMap f;
  f.SetText("Edit20", "40");
  f.SetText("Edit19", "2.0");
  for (int z = 1; z <= 14; ++z) {
    f.SetText(ZoneComponent(z, 1), "60.0");
    f.SetText(ZoneComponent(z, 2), "160");
    f.SetText(ZoneComponent(z, 3), "0.0");
    f.SetText(ZoneComponent(z, 4), "0.0");
    f.SetText(ZoneComponent(z, 5), "0.0009228");
    f.SetText(ZoneComponent(z, 6), "0.0010944");
  }
  return f;
}

// Marches every zone of an accepted input; the engine only, no file.
void March(Calculation& calc) {
  calc.TransferOk = calc.ConvergenceOk = true;
  InitializeFilmState(calc);
  for (int z = 1; z <= calc.Setup.ZoneCount; ++z) {
    calc.CurrentZone = z;
    MarchZone(calc, z);
    if (!calc.TransferOk || !calc.ConvergenceOk) return;
    CarryOverToNextZone(calc);
  }
}

void RunEngine(benchmark::State& state, const FieldTextMap& fields, bool literal, bool robust = false) {
  QuietHost host;
  auto calc = std::make_unique<Calculation>(&host);
  ReadRunParameters(fields, host, calc->Setup);
  if (!calc->Setup.InputAccepted) {
    state.SkipWithError("input refused");
    return;
  }
  calc->LiteralTrials = literal;
  calc->Robust = robust;
  for (auto _ : state) {
    calc->Stats = {};
    March(*calc);
    benchmark::DoNotOptimize(calc->State.FilmTemp.data());
  }
  state.counters["steps"] = static_cast<double>(calc->Stats.Steps);
  state.counters["trials/step"] = calc->Stats.Steps ? static_cast<double>(calc->Stats.Trials) / calc->Stats.Steps : 0;
  state.counters["max trials"] = calc->Stats.MaxTrialsPerStep;
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  state.counters["peak RSS MB"] = ru.ru_maxrss / 1024.0;
}

void BM_DefaultWindow_Fast(benchmark::State& s) { RunEngine(s, FieldTextMap{}, false); }
void BM_DefaultWindow_Literal(benchmark::State& s) { RunEngine(s, FieldTextMap{}, true); }
// Robust mode on a run it does not change: the cost of keeping the best
// trial of every step.
void BM_DefaultWindow_Robust(benchmark::State& s) { RunEngine(s, FieldTextMap{}, false, true); }
void BM_Default40Layers_Robust(benchmark::State& s) { RunEngine(s, Fields({{"Edit20", "40"}}), false, true); }
void BM_Default40Layers_Fast(benchmark::State& s) { RunEngine(s, Fields({{"Edit20", "40"}}), false); }
void BM_Default40Layers_Literal(benchmark::State& s) { RunEngine(s, Fields({{"Edit20", "40"}}), true); }
void BM_Largest_Fast(benchmark::State& s) { RunEngine(s, LargestCase(), false); }

// The whole OK sequence with the result file, fast and literal alternately.
void RunWhole(benchmark::State& state, const FieldTextMap& base, bool literal) {
  QuietHost host;
  FieldTextMap fields = base;
  const std::string path = "/tmp/kelvane-bench-" + std::to_string(getpid()) + ".txt";
  fields.SetText("Edit250", path);
  RunOptions options;
  options.LiteralTrials = literal;
  for (auto _ : state) {
    auto calc = std::make_unique<Calculation>(&host);
    const RunReport r = StartRun(fields, host, *calc, options);
    if (r.Outcome != RunOutcome::Finished) state.SkipWithError("run did not finish");
  }
  std::remove(path.c_str());
}
void BM_WholeRun_Default_Fast(benchmark::State& s) { RunWhole(s, FieldTextMap{}, false); }
void BM_WholeRun_Default_Literal(benchmark::State& s) { RunWhole(s, FieldTextMap{}, true); }
void BM_WholeRun_40Layers_Fast(benchmark::State& s) { RunWhole(s, Fields({{"Edit20", "40"}}), false); }
void BM_WholeRun_40Layers_Literal(benchmark::State& s) { RunWhole(s, Fields({{"Edit20", "40"}}), true); }

// One diffusion system of the default march (N = 24 or 44): dense literal
// elimination against the exact fast one.
void MakeSystem(int n, SystemMatrix& M, SystemVector& B) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> D(1e-8, 1e-6), c(0.1, 0.4);
  NodeRow cold{}, Dk{}, dz{};
  for (int k = 0; k <= n; ++k) {
    cold[k] = c(rng);
    Dk[k] = D(rng);
    dz[k] = k <= 5 ? 0.00577 / (20 * 5) : 0.00577 / 20;
  }
  BuildDiffusionSystem(cold, cold[0], Dk, dz, n, 2.0, 100.0, M, B);
}
void BM_Solver_Literal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  SystemMatrix M{};
  SystemVector B{}, x{};
  MakeSystem(n, M, B);
  for (auto _ : state) {
    SolveLinearSystem(M, B, n, x);
    benchmark::DoNotOptimize(x.data());
  }
}
void BM_Solver_Fast(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  SystemMatrix M{};
  SystemVector B{}, x{};
  MakeSystem(n, M, B);
  for (auto _ : state) {
    SolveLinearSystemFast(M, B, n, x);
    benchmark::DoNotOptimize(x.data());
  }
}

// One trial's diffusion step of a solvent: literally (coefficients, matrix
// and dense solve every trial) against the step's plan replayed on the
// trial's surface value.
struct TrialInputs {
  NodeRow wi{}, wj{}, D{}, dz{};
};
TrialInputs MakeTrial(int n) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> w(0.1, 0.4), D(1e-8, 1e-6);
  TrialInputs t;
  for (int k = 0; k <= n; ++k) {
    t.wi[k] = w(rng) / 2;
    t.wj[k] = w(rng) / 2;
    t.D[k] = D(rng);
    t.dz[k] = k <= 5 ? 0.00577 / ((n - 4) * 5) : 0.00577 / (n - 4);
  }
  return t;
}
void BM_DiffusionTrial_Literal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TrialInputs t = MakeTrial(n);
  NodeRow c{};
  for (auto _ : state) {
    DiffusionStep(t.wi, t.wj, t.D, t.dz, 0.86, 0.88, 1.083, t.wi[0] * 0.999, t.wj[0], n, 2.0, 100.0, c);
    benchmark::DoNotOptimize(c.data());
  }
}
void BM_DiffusionTrial_Plan(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TrialInputs t = MakeTrial(n);
  auto plan = std::make_unique<DiffusionPlan>();
  PlanDiffusionStep(t.wi, t.wj, t.D, t.dz, 0.86, 0.88, 1.083, n, 2.0, 100.0, *plan);
  NodeRow c{};
  for (auto _ : state) {
    ApplyDiffusionPlan(*plan, 0.86, 0.88, 1.083, t.wi[0] * 0.999, t.wj[0], c);
    benchmark::DoNotOptimize(c.data());
  }
}

}  // namespace

BENCHMARK(BM_DiffusionTrial_Literal)->Arg(24)->Arg(44);
BENCHMARK(BM_DiffusionTrial_Plan)->Arg(24)->Arg(44);
BENCHMARK(BM_Solver_Literal)->Arg(24)->Arg(44);
BENCHMARK(BM_Solver_Fast)->Arg(24)->Arg(44);
BENCHMARK(BM_DefaultWindow_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWindow_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefaultWindow_Robust)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Default40Layers_Robust)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Default40Layers_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Default40Layers_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun_Default_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun_Default_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun_40Layers_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeRun_40Layers_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Largest_Fast)->Unit(benchmark::kMillisecond)->Iterations(1);
