#pragma once
// A dryer design asked for as a person types it: the targets, the bounds of
// the zones' gas temperatures, whether the heat-transfer coefficients (the
// nozzle velocity) may change too, the web speeds and the runs allowed.
// Read into the design library's problem over the current inputs, or
// refused with the input at fault and why.

#include <string>
#include <variant>

#include "fields/FieldTable.h"
#include "study/Design.h"

namespace kelvane {

struct DesignRequest {
  std::string Residual = "5";      // solvent left at the exit; empty: no residual target
  ResidualUnit ResidualIn = ResidualUnit::PercentOfInitial;
  bool NoBoiling = true;
  std::string BoilingMargin;       // mmHg kept below 760 at the base film; empty: none
  bool NoSkinning = false;
  std::string MaxFilmTemperature;  // degC; empty: no limit
  bool NonDecreasing = false;      // the gas never cools from one zone to the next
  std::string Span = "40";         // K either side of each zone's current gas temperature
  std::string Lowest = "20", Highest = "200";  // degC
  // Each zone's coat-side and base-side coefficients within this share (%)
  // of their current values; empty: held at them.
  std::string CoefficientShare;
  std::string SpeedLower = "0.05", SpeedUpper = "5";  // m/s
  std::string MaxEvaluations = "120";                 // runs for each start of the optimiser
  std::string WebWidth;                               // m: each zone's power in kW; empty: none
  // The operating window: every target holds down to this share (%) of the
  // design's speed.
  std::string Slowest = "100";
};

// The input a refusal is about.
enum class RequestInput {
  Residual,
  BoilingMargin,
  MaxFilmTemperature,
  Span,
  Lowest,
  Highest,
  CoefficientShare,
  SpeedLower,
  SpeedUpper,
  MaxEvaluations,
  WebWidth,
  Targets,  // no target chosen
  Zones,    // a zone with no gas temperature to search
  Slowest,
};

struct RequestRefusal {
  RequestInput Input;
  std::string Text;  // for people, naming the input
};

// The problem over the zones in use of `base`, or the first refusal.
std::variant<DesignProblem, RequestRefusal> ReadDesignRequest(const DesignRequest& request, const FieldTexts& base);

}  // namespace kelvane
