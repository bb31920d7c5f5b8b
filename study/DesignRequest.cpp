#include "study/DesignRequest.h"

#include <cmath>
#include <limits>

#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

using Reading = std::variant<DesignProblem, RequestRefusal>;

// A typed number: plain decimal with a full stop, finite.
bool Number(const std::string& text, double& value) {
  long double v = 0;
  if (!TextToExtended(text, '.', v) || !std::isfinite(static_cast<double>(v))) return false;
  value = static_cast<double>(v);
  return true;
}

bool Blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

RequestRefusal NotANumber(RequestInput input, const char* caption, const std::string& text) {
  return {input, std::string(caption) + ": \"" + text + "\" is not a number."};
}

}  // namespace

Reading ReadDesignRequest(const DesignRequest& q, const FieldTexts& base) {
  DesignProblem p;
  double v = 0;

  if (!Blank(q.Residual)) {
    if (!Number(q.Residual, v)) return NotANumber(RequestInput::Residual, "Solvent left at the exit", q.Residual);
    if (v < 0) return RequestRefusal{RequestInput::Residual, "Solvent left at the exit: a target below zero leaves "
                                                              "no schedule to find."};
    p.Goal.MaxResidual = v;
    p.Goal.ResidualIn = q.ResidualIn;
  }
  p.Goal.NoBoiling = q.NoBoiling;
  if (!Blank(q.BoilingMargin)) {
    if (!Number(q.BoilingMargin, v)) return NotANumber(RequestInput::BoilingMargin, "Boiling margin", q.BoilingMargin);
    p.Goal.MinBoilingMargin = v;
  }
  p.Goal.NoSkinning = q.NoSkinning;
  if (!Blank(q.MaxFilmTemperature)) {
    if (!Number(q.MaxFilmTemperature, v))
      return NotANumber(RequestInput::MaxFilmTemperature, "Film temperature limit", q.MaxFilmTemperature);
    p.Goal.MaxFilmTemperature = v;
  }
  const Targets& t = p.Goal;
  if (!t.MaxResidual && !t.NoBoiling && !t.MinBoilingMargin && !t.NoSkinning && !t.MaxFilmTemperature)
    return RequestRefusal{RequestInput::Targets, "Choose at least one target."};

  double span = 0, lowest = 0, highest = 0;
  if (!Number(q.Span, span)) return NotANumber(RequestInput::Span, "Gas temperatures within", q.Span);
  if (!(span > 0)) return RequestRefusal{RequestInput::Span, "Gas temperatures within: the span must be above 0 K."};
  if (!Number(q.Lowest, lowest)) return NotANumber(RequestInput::Lowest, "Gas no colder than", q.Lowest);
  if (!Number(q.Highest, highest)) return NotANumber(RequestInput::Highest, "Gas no hotter than", q.Highest);
  if (!(lowest < highest))
    return RequestRefusal{RequestInput::Highest, "Gas no hotter than: " + ReadableNumber(highest) +
                                                     " ℃ is not above the lowest gas temperature, " +
                                                     ReadableNumber(lowest) + " ℃."};

  p.NonDecreasing = q.NonDecreasing;

  // Every zone in use gets a gas temperature to search; a design that
  // left one as it is would not be the one asked for.
  if (const std::string zone = UnsearchableZone(base, span, lowest, highest); !zone.empty())
    return RequestRefusal{RequestInput::Zones, zone};
  p.Fields = ZoneTemperatureFields(base, span, lowest, highest);
  p.HighestGas = highest;

  if (!Blank(q.CoefficientShare)) {
    double share = 0;
    if (!Number(q.CoefficientShare, share))
      return NotANumber(RequestInput::CoefficientShare, "Heat-transfer coefficients within", q.CoefficientShare);
    if (!(share > 0 && share < 100))
      return RequestRefusal{RequestInput::CoefficientShare,
                            "Heat-transfer coefficients within: the share must be above 0 % and below 100 %."};
    const std::size_t zones = p.Fields.size();
    for (std::size_t i = 0; i < zones; ++i) {
      const int zone = p.Fields[i].Field.Field->Zone;
      for (int index : {6, 5}) {  // coat side, then base side
        const FieldSpec& f = *FindField(ZoneComponent(zone, index));
        double now = 0;
        if (!Number(base.Text(f.Component), now) || !(now > 0))
          return RequestRefusal{RequestInput::CoefficientShare,
                                "Zone " + std::to_string(zone) + ": " + f.Caption + " is \"" + base.Text(f.Component) +
                                    "\", not a coefficient above zero to vary."};
        SearchedField s;
        s.Field = ParseVaried(f.Member + "=0");
        s.Lower = now * (1 - share / 100);
        s.Upper = now * (1 + share / 100);
        p.Fields.push_back(s);
      }
    }
  }

  if (!Number(q.SpeedLower, p.SpeedLower)) return NotANumber(RequestInput::SpeedLower, "Web speed from", q.SpeedLower);
  if (!(p.SpeedLower > 0))
    return RequestRefusal{RequestInput::SpeedLower, "Web speed from: " + q.SpeedLower +
                                                        " m/s moves no film through the dryer; the design starts above "
                                                        "0 m/s."};
  if (!Number(q.SpeedUpper, p.SpeedUpper)) return NotANumber(RequestInput::SpeedUpper, "Web speed to", q.SpeedUpper);
  if (!(p.SpeedUpper > p.SpeedLower))
    return RequestRefusal{RequestInput::SpeedUpper, "Web speed to: " + q.SpeedUpper +
                                                        " m/s is not above the speed it starts from."};

  if (!Number(q.MaxEvaluations, v)) return NotANumber(RequestInput::MaxEvaluations, "Runs per start", q.MaxEvaluations);
  if (!(v >= 1 && v <= 100000 && v == std::floor(v)))
    return RequestRefusal{RequestInput::MaxEvaluations, "Runs per start: a whole number from 1 to 100000."};
  p.MaxEvaluations = static_cast<int>(v);

  if (!Blank(q.WebWidth)) {
    if (!Number(q.WebWidth, v)) return NotANumber(RequestInput::WebWidth, "Web width", q.WebWidth);
    if (!(v > 0)) return RequestRefusal{RequestInput::WebWidth, "Web width: a width above 0 m, or none."};
    p.WebWidth = v;
  }
  if (!Number(q.Slowest, v)) return NotANumber(RequestInput::Slowest, "Must hold down to", q.Slowest);
  if (!(v > 0 && v <= 100))
    return RequestRefusal{RequestInput::Slowest, "Must hold down to: a share above 0 % and at most 100 % of the speed."};
  p.Slowest = v / 100;
  return p;
}

}  // namespace kelvane
