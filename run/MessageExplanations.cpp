#include "run/MessageExplanations.h"

#include <cstdio>

#include "engine/MiscCalc.h"
#include "run/FieldHelp.h"
#include "fields/FieldTable.h"

namespace kelvane {
namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

const char* const kRobustHint =
    " Try the robust surface solve (the \"Robust surface solve\" box on the Tools page, or kelvane-run --robust), "
    "or another \"Increment of z\".";

}  // namespace

std::string LocationText(const StepLocation& at) {
  if (at.Zone < 1) return "before the march";
  return "zone " + std::to_string(at.Zone) + ", step " + std::to_string(at.Step) + " of " +
         std::to_string(at.StepCount) + ": " + Fixed(at.Position, 3) + " m into the zone, " + Fixed(at.Time, 3) +
         " s after the dryer's entrance";
}

namespace {

// "at zone 2, step ..." or "before the march".
std::string AtLocation(const StepLocation& at) { return (at.Zone < 1 ? "" : "at ") + LocationText(at); }

}  // namespace

MessageDetail ExplainEngineMessage(const std::string& text, const StepLocation& at, bool robust) {
  MessageDetail d;
  const std::string where = "The march stopped " + AtLocation(at) + ". ";
  if (text == TransferFailureMessage) {
    d.Explanation = where +
                    "The surface partial pressure of a solvent could not be evaluated for the trial surface "
                    "composition (the search drove it out of range).";
  } else if (StartsWith(text, RescueFailurePrefix)) {
    d.Explanation = where + "Even the robust surface solve found no surface composition that balances both "
                            "solvents. Try another \"Increment of z\", or check the inputs of zone " +
                    std::to_string(at.Zone) + ".";
    return d;
  } else if (text == ConvergenceFailureMessage) {
    d.Explanation = where + "The search for the surface composition that balances evaporation and diffusion did "
                            "not settle.";
  } else if (text == FitFailureMessage) {
    d.Explanation = "The smoothed concentration profile could not be fitted " + AtLocation(at) +
                    "; the last good fit is kept and the march goes on.";
    return d;
  } else {
    return d;
  }
  if (robust) {
    d.Explanation += " Try another \"Increment of z\".";
  } else {
    d.Explanation += kRobustHint;
    d.SuggestRobust = true;
  }
  return d;
}

MessageDetail ExplainFault(FaultKind kind, const StepLocation& at) {
  MessageDetail d;
  const char* what = kind == FaultKind::DivisionByZero     ? "Floating-point division by zero"
                     : kind == FaultKind::InvalidOperation ? "Invalid floating-point operation"
                                                           : "Floating-point overflow";
  d.Explanation = std::string(what) + " " + AtLocation(at) +
                  ". Usually an input lies outside the model's range (a zero or negative speed, thickness, "
                  "density or coefficient); check the inputs the plausibility check names.";
  return d;
}

MessageDetail ExplainNotARealNumber(const std::string& text, const std::string& component) {
  MessageDetail d;
  d.Field = component;
  const FieldSpec* f = FindField(component);
  d.Explanation = "'" + text + "' is not a real number" +
                  (f && f->Zone > 0 ? " (a zone is in use when its outer temperature is a number other than 0)" : "") +
                  ".";
  return d;
}

MessageDetail ExplainWriteFailure(int code, bool earlierKept) {
  MessageDetail d;
  d.Explanation = "I/O error " + std::to_string(code) + ": writing the result file failed. " +
                  (earlierKept ? "The earlier file of that name is left as it was."
                               : "The file holds what was written before the failure.");
  return d;
}

std::string RunnerExplanation(const MessageDetail& d) {
  std::string line;
  if (const FieldSpec* f = d.Field.empty() ? nullptr : FindField(d.Field)) line = "field " + FieldForRunner(*f) + ": ";
  return line + d.Explanation;
}

std::string WindowExplanation(const MessageDetail& d) {
  std::string text = d.Explanation;
  if (const FieldSpec* f = d.Field.empty() ? nullptr : FindField(d.Field))
    text += (text.empty() ? "" : "\n\n") + std::string("Field: ") + FieldInWindow(*f) + ".";
  return text;
}

}  // namespace kelvane
