// Study throughput: a 48-run sweep of the default window on one thread and
// on all cores, beside the single run it is made of.  Ideal scaling is
// (runs per second of one thread) x cores.
//
//   build/bench/kelvane-bench-study

#include <benchmark/benchmark.h>

#include <thread>

#include "study/StudyRun.h"

using namespace kelvane;

namespace {

// 48 runs of the default window (the same inputs each time: four values of
// an unused zone's outer temperature, 12 of its partial pressure).
StudyDefinition Sweep48() {
  StudyDefinition s;
  s.Varied = {ParseVaried("PartialPressure1[14]=0:11:1"), ParseVaried("PartialPressure2[14]=0:3:1")};
  return s;
}

void RunSweep(benchmark::State& state, int jobs) {
  const StudyDefinition s = Sweep48();
  const std::vector<StudyRow> rows = ShardRows(s, {});
  StudyOptions o;
  o.Jobs = jobs;
  for (auto _ : state) {
    StudyControl control;
    const std::vector<RowResult> r = RunStudy(s, rows, o, control);
    if (r.back().Outcome != RowOutcome::Finished) state.SkipWithError("a run did not finish");
  }
  state.counters["runs/s"] = benchmark::Counter(static_cast<double>(rows.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["threads"] = StudyThreads(jobs);
}

void BM_Study48_OneThread(benchmark::State& s) { RunSweep(s, 1); }
void BM_Study48_AllCores(benchmark::State& s) { RunSweep(s, 0); }

}  // namespace

BENCHMARK(BM_Study48_OneThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Study48_AllCores)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
