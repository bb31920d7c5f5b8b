#include "cli/OptionChecks.h"

#include <cmath>
#include <cstdio>

#include "run/ReadRunParameters.h"

namespace kelvane {
namespace {

// The number of an option's text, or NaN when it is none.
double Parse(const std::string& text) {
  long double v = 0;
  if (!TextToExtended(text, '.', v)) return NAN;
  return static_cast<double>(v);
}

std::string Plain(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

CLI::Validator AtLeast(double low, bool whole, const std::string& meaning) {
  const std::string want = std::string(whole ? "a whole number" : "a number") + " of " + Plain(low) + " or more" +
                           (meaning.empty() ? "" : " " + meaning);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        const double v = Parse(text);
        if (!std::isfinite(v) || v < low || (whole && v != std::floor(v)))
          return "\"" + text + "\" is not " + want;
        return {};
      },
      "");
}

CLI::Validator Above(double low, const std::string& meaning) {
  const std::string want = "a number above " + Plain(low) + (meaning.empty() ? "" : " " + meaning);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        const double v = Parse(text);
        if (std::isnan(v) || !(v > low) || std::isinf(v)) return "\"" + text + "\" is not " + want;
        return {};
      },
      "");
}

CLI::Validator Finite(const std::string& meaning) {
  const std::string want = "a number" + (meaning.empty() ? "" : " " + meaning);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        // NaN compares false with every bound and an infinity meets or
        // misses every target: either would silently drop the target.
        if (!std::isfinite(Parse(text))) return "\"" + text + "\" is not " + want;
        return {};
      },
      "");
}

bool VariedValuesAreNumbers(const std::string& command, const StudyDefinition& study) {
  for (const VariedField& v : study.Varied) {
    if (v.Field && v.Field->Member == "SaveFileName") continue;
    for (const std::string& value : v.Values) {
      if (!std::isnan(Parse(value))) continue;
      std::fprintf(stderr, "%s: --vary %s: \"%s\" is not a number\n", command.c_str(), v.Name.c_str(),
                   value.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace kelvane
