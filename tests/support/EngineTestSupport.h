#pragma once
// Helpers shared by the engine tests: a host that records what the engine
// tells the outside world, bitwise comparison of film-state rows, and the
// march of a whole setup the way the run driver does it.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/MiscCalc.h"

namespace kelvane::enginetest {

// Records messages and progress; an optional hook runs after each progress
// report (the march's only call-out between steps) so that a test can change
// the conditions of the following step.
class RecordingHost : public EngineHost {
 public:
  std::vector<std::string> Messages;
  struct ProgressCall {
    int Zone, ZoneCount, Step, StepCount;
  };
  std::vector<ProgressCall> ProgressCalls;
  std::function<void(int zone, int step)> OnProgress;

  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void Progress(int zone, int zoneCount, int step, int stepCount) override {
    ProgressCalls.push_back({zone, zoneCount, step, stepCount});
    if (OnProgress) OnProgress(zone, step);
  }
};

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool SameBits(const NodeRow& a, const NodeRow& b, int n) {
  return std::memcmp(a.data(), b.data(), sizeof(double) * static_cast<std::size_t>(n + 1)) == 0;
}

// Rows first..last of every per-step array and profile table, byte for byte.
inline ::testing::AssertionResult SameRows(const FilmState& a, const FilmState& b, int first, int last) {
  struct Scalar {
    const char* name;
    std::vector<double> FilmState::*member;
  };
  static const Scalar kScalars[] = {
      {"FilmTemp", &FilmState::FilmTemp},         {"CoatThick", &FilmState::CoatThick},
      {"AvgConc1", &FilmState::AvgConc1},         {"AvgConc2", &FilmState::AvgConc2},
      {"AvgPolymerConc", &FilmState::AvgPolymerConc}, {"ZoneTime", &FilmState::ZoneTime},
      {"SolRemain", &FilmState::SolRemain},
  };
  struct Table {
    const char* name;
    ProfileTable FilmState::*member;
  };
  static const Table kTables[] = {
      {"VolFrac1", &FilmState::VolFrac1},         {"VolFrac2", &FilmState::VolFrac2},
      {"VolFracP", &FilmState::VolFracP},         {"MassFrac1", &FilmState::MassFrac1},
      {"MassFrac2", &FilmState::MassFrac2},       {"MassFracP", &FilmState::MassFracP},
      {"LayerThick", &FilmState::LayerThick},     {"FitVolFrac1", &FilmState::FitVolFrac1},
      {"FitVolFrac2", &FilmState::FitVolFrac2},   {"FitVolFracP", &FilmState::FitVolFracP},
      {"FitMassFrac1", &FilmState::FitMassFrac1}, {"FitMassFrac2", &FilmState::FitMassFrac2},
      {"FitMassFracP", &FilmState::FitMassFracP},
  };
  for (const Scalar& s : kScalars)
    for (int j = first; j <= last; ++j)
      if (!SameBits((a.*s.member)[j], (b.*s.member)[j]))
        return ::testing::AssertionFailure() << s.name << " differs at row " << j << ": " << (a.*s.member)[j]
                                             << " vs " << (b.*s.member)[j];
  for (const Table& t : kTables)
    for (int j = first; j <= last; ++j)
      if (std::memcmp((a.*t.member)[j].data(), (b.*t.member)[j].data(), sizeof(NodeRow)) != 0)
        return ::testing::AssertionFailure() << t.name << " differs at row " << j;
  return ::testing::AssertionSuccess();
}

// Rows 0..n of every zone's time table.
inline ::testing::AssertionResult SameRunTime(const FilmState& a, const FilmState& b, int zone, int n) {
  for (int j = 0; j <= n; ++j)
    if (!SameBits(a.RunTime[zone][j], b.RunTime[zone][j]))
      return ::testing::AssertionFailure() << "RunTime[" << zone << "][" << j << "] differs";
  return ::testing::AssertionSuccess();
}

// Marches every zone as the run driver does (flags tested after each zone,
// carry-over after each completed zone).  afterZone(k) runs after zone k's
// march, while its rows 0..n are still there.  Returns the zone that failed,
// or 0.
inline int MarchAll(Calculation& calc, const std::function<void(int)>& afterZone = {}) {
  ClearFaults();
  calc.TransferOk = calc.ConvergenceOk = true;
  InitializeFilmState(calc);
  for (int k = 1; k <= calc.Setup.ZoneCount; ++k) {
    calc.CurrentZone = k;
    MarchZone(calc, k);
    if (afterZone) afterZone(k);
    if (!calc.TransferOk || !calc.ConvergenceOk) return k;
    CarryOverToNextZone(calc);
  }
  return 0;
}

}  // namespace kelvane::enginetest
