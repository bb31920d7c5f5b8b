// The dryer's design to an answer: runs made and wall time for 2, 5 and 14
// zones, and the speed found against the best uniform schedule, with the
// default allowance of runs to each start and with five times as many.  The dryer
// is 14 m long in every case, split into equal zones of the default window's
// second zone (70 degC gas, its coefficients), marched at a coarse 5 cm step
// so that the three designs end within minutes on two cores.
//
//   build/bench/kelvane-bench-design

#include <benchmark/benchmark.h>

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
  StudyOptions options;  // the robust solve, threads on every core
  DesignResult d;
  for (auto _ : state) {
    StudyControl control;
    d = Design(s, p, options, control);
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
  state.SetLabel(d.Stop);
}

}  // namespace

// Zones, then the runs allowed to each start: the default, and enough for
// fourteen temperatures and the speed to settle.
BENCHMARK(BM_Design)
    ->ArgsProduct({{2, 5, 14}, {120, 600}})
    ->ArgNames({"zones", "evaluations"})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);
