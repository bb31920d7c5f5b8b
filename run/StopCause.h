#pragma once
// Why a march stopped, in the model's terms, and what helps: read from the
// inputs of the zone it stopped in and the coating's state there.  One text
// for the window, kelvane-run and Python, each told the actions it can take.
// Also the account of a robust run: where the plain surface search failed
// and how many steps the robust solve took over while solvent still left.

#include <string>

#include "engine/RunParameters.h"
#include "engine/StepLocation.h"

namespace kelvane {

// Who reads the text: the actions are named as that reader takes them.
enum class Audience { Runner, Window, Python };

struct StopCause {
  std::string Text;   // the cause, then the actions that help
  std::string Field;  // the field the cause is about ("Edit7"); empty when none
};

// The march stopped at `at` with `solventLeft` % of the initial solvent in
// the coating; `robust` tells whether the robust surface solve was on.
StopCause ExplainStop(const RunParameters& p, const StepLocation& at, double solventLeft, bool robust,
                      Audience who);

// How the robust solve figured in a run.
struct TakeoverAccount {
  bool TookOver = false;   // the plain search failed somewhere and the robust solve went on
  int Zone = 0;            // where it failed first
  double Position = 0;     // m into that zone
  bool MarchedAgain = false;
  long long WhileDrying = 0;  // steps taken over while the coating's solvent still changed
  long long WhileDry = 0;     // steps taken over in a coating with nothing left to lose
};

// "The plain surface search failed in zone 1 at 8.14 m; the robust surface
// solve finished the run (12 steps taken over while solvent still left the
// coating)." `finished` false: "... went on from there".  Empty when the
// robust solve took nothing over.
std::string TakeoverText(const TakeoverAccount& a, bool finished);

}  // namespace kelvane
