#pragma once
// A dryer design as the window uses it: the field texts that put the
// schedule into the inputs, each zone's gas temperature against the current
// one, the answer's first line, the runs a design takes, and the design's
// own run once more, followed along the web for its curves.

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "fields/FieldTable.h"
#include "study/Design.h"
#include "summary/RunTrace.h"

namespace kelvane {

struct FieldSetting {
  std::string Component;  // "Edit7"
  std::string Text;       // the design's text for it
};

// Every designed field with its text at the design, then the web speed;
// nothing when no design was found.
std::vector<FieldSetting> DesignSettings(const DesignProblem& problem, const DesignResult& result);

// Writes `settings` into `fields`.
void ApplySettings(const std::vector<FieldSetting>& settings, FieldTexts& fields);

struct ZoneGas {
  int Zone = 0;
  double Current = 0;   // degC: the base case's gas
  double Designed = 0;  // degC: the design's gas
};

// The gas temperature of each designed zone, now and at the design, in
// zone order; nothing when no design was found.
std::vector<ZoneGas> GasSchedule(const DesignProblem& problem, const DesignResult& result, const FieldTexts& base);

// True when a run of the design meets every target, keeps within the
// energy cap where one is set and, where the plant rule is asked for, its gas
// never cools from one zone to the next; otherwise `why` says what it missed.
bool DesignFeasible(const DesignProblem& problem, const RowResult& row, std::string* why = nullptr);

// "Fastest line speed: 0.6675 m/s, +108.6 % over the best uniform schedule",
// "No schedule in the bounds meets the targets", "Cancelled: no design".
std::string DesignHeadline(const DesignResult& result);

// About how many runs a design takes: the uniform schedules' boundary
// searches, both starts' allowance, and the local check.
std::size_t ExpectedDesignRuns(const DesignProblem& problem, int threads);

// The design's run made again with a trace of every step (the film
// temperature, the composition at the base film) for the charts; the trace
// is empty when no design was found or the run did not finish.
RunTrace TraceDesign(const StudyDefinition& base, const DesignProblem& problem, const DesignResult& result,
                     const StudyOptions& options, const std::atomic<bool>* cancel = nullptr);

}  // namespace kelvane
