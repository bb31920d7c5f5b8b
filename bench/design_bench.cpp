// The dryer's design to an answer: runs made, wall and CPU time for 2, 5
// and 14 zones, and the speed found against the best uniform schedule; for
// each stage (the uniform schedules, the box sample, the local search, the
// repair of near misses, the checks) its runs and the speed known after it;
// and on 5 zones the search without the box sample and repair, and with the
// repair alone, to show what each buys.  The dryer
// is 14 m long in every case, split into equal zones of the default window's
// second zone (70 degC gas, its coefficients), marched at a coarse 5 cm step
// so that the three designs end within minutes on two cores.
//
//   build/bench/kelvane-bench-design

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "study/Design.h"
#include "study/StudyTable.h"

using namespace kelvane;

namespace {

StudyDefinition Dryer(int zones) {
  StudyDefinition s;
  const std::string length = FieldValueText(14.0 / zones, 6);
  const char* const members[] = {"OuterTemperature", "ZoneLength", "PartialPressure1", "PartialPressure2",
                                 "BaseHeatTransferCoeff", "CoatHeatTransferCoeff"};
  const char* const zone2[] = {"70", nullptr, "0", "0", "0.00109440", "0.00109440"};
  for (int k = 1; k <= zones; ++k)
    for (int i = 0; i < 6; ++i) {
      const SearchedField f{ParseVaried(std::string(members[i]) + "[" + std::to_string(k) + "]=0"), 0, 0};
      s.Base.SetText(f.Field.Field->Component, zone2[i] ? zone2[i] : length);
    }
  s.Base.SetText(FindField("IncrementZ")->Component, "5");
  return s;
}

// CPU seconds of the whole process, every thread.
double ProcessCpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

void BM_Design(benchmark::State& state) {
  const int zones = static_cast<int>(state.range(0));
  const StudyDefinition s = Dryer(zones);
  DesignProblem p;
  p.Fields = ZoneTemperatureFields(s.Base, 100, 20, 160);
  p.SpeedLower = 0.05;
  p.SpeedUpper = 3;
  p.Goal.MaxResidual = 8;
  p.Goal.MaxFilmTemperature = 75;
  p.MaxEvaluations = static_cast<int>(state.range(1));
  // Stages: 0 the local search alone, 1 with the repair, 2 with the box
  // sample too (the default).
  const int stages = static_cast<int>(state.range(2));
  p.Samples = stages >= 2 ? -1 : 0;
  p.Repair = stages >= 1;
  StudyOptions options;  // the robust solve, threads on every core
  DesignResult d;
  double cpu = 0;
  for (auto _ : state) {
    StudyControl control;
    const double before = ProcessCpu();
    d = Design(s, p, options, control);
    cpu = ProcessCpu() - before;
  }
  if (!d.Found || !d.UniformFound) {
    state.SkipWithError("no design");
    return;
  }
  const double speed = std::strtod(d.Speed.c_str(), nullptr), uniform = std::strtod(d.UniformSpeed.c_str(), nullptr);
  state.counters["runs"] = static_cast<double>(d.Evaluations.size());
  state.counters["speed"] = speed;
  state.counters["uniform"] = uniform;
  state.counters["ratio"] = speed / uniform;
  state.counters["local_ok"] = d.LocallyOptimal ? 1 : 0;
  state.counters["threads"] = StudyThreads(options.Jobs);
  state.counters["cpu_s"] = cpu;
  for (const DesignResult::Stage& st : d.Stages) {
    const std::string name = st.Name.substr(0, st.Name.find(' '));
    state.counters[name + "_runs"] = static_cast<double>(st.Runs);
    state.counters[name + "_speed"] = st.Speed;
  }
  state.SetLabel(d.Stop);
}

}  // namespace

// Zones, the runs allowed to each start, the stages: every stage at 2, 5
// and 14 zones, and on 5 zones the local search alone and with the repair.
BENCHMARK(BM_Design)
    ->Args({2, 120, 2})
    ->Args({5, 120, 2})
    ->Args({14, 120, 2})
    ->Args({5, 120, 0})
    ->Args({5, 120, 1})
    ->ArgNames({"zones", "evaluations", "stages"})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
