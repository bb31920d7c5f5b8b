#pragma once
// What the run summary reads: per zone, the coating's state along the web
// (film temperature, average concentrations, thickness, solvent remaining and
// the composition at both faces of the coating), taken either from the film
// state after each zone's march, at every step, or from a result file read
// back, at every fifth step.

#include <string>
#include <vector>

#include "engine/RunParameters.h"
#include "summary/SlowSteps.h"

namespace kelvane {

class Calculation;
struct ResultFileData;
struct RunReport;

struct TracePoint {
  int Step = 0;          // marching step within the zone, 0 = the zone's entrance
  double Time = 0;       // s since the entrance of zone 1
  double Position = 0;   // m within the zone
  double FilmTemp = 0;   // degC
  double AvgConc1 = 0;   // g/cm^3
  double AvgConc2 = 0;   // g/cm^3
  double CoatThick = 0;  // cm
  double SolRemain = 0;  // % of the run's initial solvent
  double Surface1 = 0, Surface2 = 0;  // volume fractions at the free surface (node 0)
  double Base1 = 0, Base2 = 0;        // volume fractions at the face on the base film (node N)
};

struct ZoneTrace {
  int Zone = 0;
  std::vector<TracePoint> Points;  // entrance first
  bool Complete = false;           // the zone was marched to its end
  // The make-up air's partial pressures, mmHg: the zone's given gas.  The
  // parameters hold the gas the zone was marched in, which differs where the
  // zone's gas carries what the coating gave off.
  double MakeUp1 = 0, MakeUp2 = 0;
};

enum class RunEndKind {
  Finished,   // every zone marched
  Failed,     // the march stopped on a numerical failure
  Cancelled,  // stopped on request
  Stopped,    // read back: the file ends with a zone that has no results
  Refused,    // nothing was marched
};

struct RunEnd {
  RunEndKind Kind = RunEndKind::Finished;
  std::string Message;  // the failure's message, when known
  std::string Cause;     // why it failed in the model's terms, with what helps; empty when unknown
  std::string Takeover;  // where the robust surface solve took over and what it did; empty when it did not
};

struct RunTrace {
  RunParameters Params;
  int ZoneCount = 0;
  std::vector<ZoneTrace> Zones;  // in zone order; a stopped run ends with its partial zone
  RunEnd End;
  int Stride = 1;  // marching steps between points: 1 in memory, 5 from a result file
  // Half a unit of the last printed digit of the profile concentrations,
  // g/cm^3: 0 in memory, 0.0005 from a result file.  A warning that a
  // rounded surface value could fake is only given when it holds for the
  // largest value the printed one stands for.
  double ConcentrationRounding = 0;
  // Where a slow run's time went (in memory only; a result file does not
  // keep trials).
  SlowSteps Slow;
};

// Collects the trace while a calculation runs: called after each zone's
// march with the number of the last complete row (rows 0..lastRow of the
// film state hold the zone).  Zone 1 starts a new trace.  The caller sets
// Trace().End when the run is over.
class TraceRecorder {
 public:
  void Start(const Calculation& calc);
  void Zone(const Calculation& calc, int zone, int lastRow, bool complete);
  RunTrace& Trace() { return trace_; }
  const RunTrace& Trace() const { return trace_; }

 private:
  RunTrace trace_;
};

// How a run driven by StartRun ended, in the summary's terms.
RunEnd RunEndOf(const RunReport& report, const Calculation& calc);

// The trace of a result file read back: the parameters from its input echo,
// the points from its four tables (surface = C0, base face = C10).  False,
// with `why`, when the echo lacks a parameter the summary needs.
bool TraceFromResultFile(const ResultFileData& data, RunTrace& trace, std::string& why);

}  // namespace kelvane
