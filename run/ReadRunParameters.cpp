#include "run/ReadRunParameters.h"

#include <locale.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string_view>

#include "engine/Faults.h"
#include "run/FieldHelp.h"

namespace kelvane {
namespace {

const char* const kNotCorrect = "Input value is not correct!";
const char* const kLayersTooMuch = "Number of Layers is too much! It shoud be 10, 20, 30 or 40.";
const char* const kLayersNotAllowed = "Number of Layers shoud be 10, 20, 30 or 40.";
const char* const kStepBoundZone1 =
    "\"Increment of z\" is too small !  \"Zone Length/Increment of z\" should be less than 8000.";
const char* const kStepBoundLaterZone =
    "\"Increment of z\" is too small !  \"Zone Length/Increment of z\" should be less than 8001.";
const char* const kNoSaveFileName = "Input Save File Name!";

std::string ZoneNotCorrect(int zone) {
  return "Input value of Zone " + std::to_string(zone) + " is not correct!";
}

std::string NotARealNumber(const std::string& text) { return "'" + text + "' は浮動小数点数ではありません"; }

// The "C" locale, so that the decimal point of the text handed to strtold is
// always '.', whatever the toolkit has set the process locale to.
locale_t CLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text without leading and trailing space characters (only ' ').
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}


// Why a field's text did not convert.
std::string NotANumberReason(const std::string& text, char sep) {
  if (TrimBlanks(text).empty()) return "The field is empty; it needs a number.";
  long double v;
  const char other = sep == ',' ? '.' : ',';
  // A number only with the other decimal mark: "60,5" where '.' is the mark.
  if (!TextToExtended(text, sep, v) && TextToExtended(text, other, v))
    return "\"" + text + "\" uses " + (other == ',' ? "a comma" : "a point") + " as the decimal mark; this run takes " +
           (sep == ',' ? "a comma" : "a point") + " (" + (sep == ',' ? "60,5" : "60.5") + ").";
  if (TextToExtended(text, sep, v))
    return "\"" + text + "\" lies beyond the range of numbers a run can hold (about 1e308).";
  return "\"" + text + "\" is not a number (digits with an optional decimal point and exponent, such as "
         "0.0009228 or -6.01069E2).";
}

std::string NegativeLengthReason(double length) {
  return "A zone length of " + ShortNumber(length) +
         " m is negative: the zone would march nothing. A length of 0 passes the zone by.";
}

std::string TooManyStepsReason(int zone, double length, double increment, int most) {
  return "Zone " + std::to_string(zone) + " would take " + ShortNumber(length * 100.0 / increment) + " steps of " +
         ShortNumber(increment) + " cm; a zone holds at most " + std::to_string(most) +
         ". Use a larger increment or a shorter zone.";
}

// The record member a component fills, through the field table.
double& Slot(RunParameters& p, std::string_view component) {
  const FieldSpec* field = FindField(component);
  double* slot = field ? RealMember(p, field->Member) : nullptr;
  if (!slot) throw std::logic_error("no real record member for " + std::string(component));
  return *slot;
}

// A field text converted and rounded to the double that is stored.  False
// when the text does not convert or its value lies beyond the double range
// (the store would overflow); the destination is then left as it was.
bool ConvertReal(const std::string& text, char sep, double& dest) {
  long double v;
  if (!TextToExtended(text, sep, v)) return false;
  const double d = static_cast<double>(v);
  if (std::isinf(d)) return false;
  dest = d;
  return true;
}

// The general fields of the guarded block, in reading order, by step.
constexpr const char* kFilmFields[] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8"};
constexpr const char* kZone1Conditions[] = {"Edit9", "Edit10", "Edit11", "Edit12"};

enum class Bound { Within, Exceeded, Fault };

// The step bound of one zone, in extended precision from the stored doubles.
// First the bound as the window has always applied it: the length in cm is
// rounded to an integer and then divided by the increment, and a ratio above
// 8000 is refused.  Because the rounding comes first, that test lets a zone
// through whose real step count round(length x 100 / increment) exceeds 8000
// by up to 0.5 / increment, without limit for tiny increments; the step
// storage holds 8001 steps, so a zone asking for more is refused as well.
// round(q) with ties to even exceeds 8001 exactly when q >= 8001.5.
// A length whose centimetres do not fit a 64-bit integer makes the rounding
// an invalid operation, and a zero increment a division by zero: Fault.
Bound StepBound(double zoneLength, double incrementZ) {
  const long long lengthCm = std::llrint(static_cast<long double>(zoneLength) * 100.0L);
  volatile long double ratio = static_cast<long double>(lengthCm) / static_cast<long double>(incrementZ);
  if (PendingFault()) return Bound::Fault;
  if (ratio > 8000.0L) return Bound::Exceeded;
  volatile long double steps = static_cast<long double>(zoneLength) * 100.0L / incrementZ;
  if (steps >= 8001.5L) return Bound::Exceeded;
  return Bound::Within;
}

// round(length x 100 / increment), ties to even, keeping the low 32 bits.
int32_t StepCount(double zoneLength, double incrementZ) {
  const long long steps = std::llrint(static_cast<long double>(zoneLength) * 100.0L / incrementZ);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(steps)));
}

}  // namespace

// Where a record member, as the field table names it ("WebSpeed",
// "ZoneLength[1]", "DiffParams2[7]"), is stored.
double* RealMember(RunParameters& p, std::string_view member) {
  using Scalar = double RunParameters::*;
  static const std::map<std::string, Scalar, std::less<>> scalars = {
      {"InitialCoatingThickness", &RunParameters::InitialCoatingThickness},
      {"InitialComposition1", &RunParameters::InitialComposition1},
      {"InitialComposition2", &RunParameters::InitialComposition2},
      {"BaseFilmThickness", &RunParameters::BaseFilmThickness},
      {"WebSpeed", &RunParameters::WebSpeed},
      {"InitialTemperature", &RunParameters::InitialTemperature},
      {"Chi1p", &RunParameters::Chi1p},
      {"Chi2p", &RunParameters::Chi2p},
      {"Chi12", &RunParameters::Chi12},
      {"Keff1", &RunParameters::Keff1},
      {"Keff2", &RunParameters::Keff2},
      {"Fter1", &RunParameters::Fter1},
      {"Fter2", &RunParameters::Fter2},
      {"PolymerHeatCapacity", &RunParameters::PolymerHeatCapacity},
      {"PolymerDensity", &RunParameters::PolymerDensity},
      {"HeatCapacity1", &RunParameters::HeatCapacity1},
      {"HeatOfVaporization1", &RunParameters::HeatOfVaporization1},
      {"AirDiffusivity1", &RunParameters::AirDiffusivity1},
      {"VaporA1", &RunParameters::VaporA1},
      {"VaporB1", &RunParameters::VaporB1},
      {"VaporC1", &RunParameters::VaporC1},
      {"Density1", &RunParameters::Density1},
      {"MolecularWeight1", &RunParameters::MolecularWeight1},
      {"HeatCapacity2", &RunParameters::HeatCapacity2},
      {"HeatOfVaporization2", &RunParameters::HeatOfVaporization2},
      {"AirDiffusivity2", &RunParameters::AirDiffusivity2},
      {"VaporA2", &RunParameters::VaporA2},
      {"VaporB2", &RunParameters::VaporB2},
      {"VaporC2", &RunParameters::VaporC2},
      {"Density2", &RunParameters::Density2},
      {"MolecularWeight2", &RunParameters::MolecularWeight2},
      {"BaseHeatCapacity", &RunParameters::BaseHeatCapacity},
      {"BaseDensity", &RunParameters::BaseDensity},
      {"IncrementZ", &RunParameters::IncrementZ},
  };
  if (auto it = scalars.find(member); it != scalars.end()) return &(p.*(it->second));

  const std::size_t open = member.find('[');
  if (open == std::string_view::npos || member.back() != ']') return nullptr;
  const std::string_view name = member.substr(0, open);
  const int index = std::atoi(std::string(member.substr(open + 1)).c_str());
  double* zone = nullptr;
  if (name == "OuterTemperature") zone = p.OuterTemperature;
  else if (name == "ZoneLength") zone = p.ZoneLength;
  else if (name == "PartialPressure1") zone = p.PartialPressure1;
  else if (name == "PartialPressure2") zone = p.PartialPressure2;
  else if (name == "BaseHeatTransferCoeff") zone = p.BaseHeatTransferCoeff;
  else if (name == "CoatHeatTransferCoeff") zone = p.CoatHeatTransferCoeff;
  if (zone) return index >= 1 && index <= MaxZones ? zone + index : nullptr;
  double* diff = name == "DiffParams1" ? p.DiffParams1 : name == "DiffParams2" ? p.DiffParams2 : nullptr;
  if (diff) return index >= 1 && index <= DiffParamCount ? diff + index : nullptr;
  return nullptr;
}

bool TextToExtended(const std::string& text, char decimalSeparator, long double& value) {
  const std::string_view s = TrimBlanks(text);
  // Check the shape here, so that strtold's own extensions (hexadecimal,
  // "inf", "nan", locale grouping) are never accepted, and rebuild the text
  // with '.' as the point.
  std::string c;
  c.reserve(s.size());
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) c += s[i++];
  int mantissaDigits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits) c += s[i];
  if (i < s.size() && s[i] == decimalSeparator) {
    c += '.';
    for (++i; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits) c += s[i];
  }
  if (mantissaDigits == 0) return false;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    c += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) c += s[i++];
    int exponentDigits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++exponentDigits) c += s[i];
    if (exponentDigits == 0) return false;
  }
  if (i != s.size()) return false;

  // The conversion itself is not an arithmetic fault of the run: keep the
  // status flags as they were (strtold may raise overflow or underflow).
  fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  const int savedErrno = errno;
  char* end = nullptr;
  const long double v = strtold_l(c.c_str(), &end, CLocale());
  errno = savedErrno;
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);

  if (end != c.c_str() + c.size()) return false;
  if (!std::isfinite(v)) return false;  // beyond the extended range
  value = v;
  return true;
}

bool TextToInt(const std::string& text, int& value) {
  const std::string_view s = TrimBlanks(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  long long magnitude = 0;
  const long long limit = negative ? 2147483648LL : 2147483647LL;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return false;
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

void ReadRunParameters(const FieldTexts& fields, EngineHost& messages, RunSetup& setup, char decimalSeparator) {
  RunParameters& p = setup.Params;
  const char sep = decimalSeparator;
  // The field a refusal is about, and why.
  MessageDetail detail;
  auto about = [&](std::string_view component, std::string why) {
    detail.Field = std::string(component);
    detail.Explanation = std::move(why);
  };
  auto readInto = [&](std::string_view component, double& dest) {
    const std::string text = fields.Text(component);
    if (ConvertReal(text, sep, dest)) return true;
    about(component, NotANumberReason(text, sep));
    return false;
  };
  auto read = [&](std::string_view component) { return readInto(component, Slot(p, component)); };
  auto refuse = [&](const std::string& message) {
    setup.InputAccepted = false;
    messages.ShowExplainedMessage(message, detail);
  };

  // The reading is the first computation of an OK action: status flags left
  // by the toolkit's own arithmetic belong to nothing of this run.
  ClearFaults();
  setup.InputAccepted = true;

  // Guarded block: the general fields.  A conversion failure and an
  // arithmetic fault both end it with "Input value is not correct!"; the
  // fields before the failing one stay stored.
  const char* refusal = nullptr;
  const bool noFault = Guarded([&] {
    refusal = kNotCorrect;
    if (!read("Edit19")) return;
    int layers = 0;
    if (!TextToInt(fields.Text("Edit20"), layers)) {
      about("Edit20", "\"" + fields.Text("Edit20") + "\" is not a whole number.");
      return;
    }
    // The surface slice is split into five thin layers: four more than entered.
    p.TotalLayerCount = static_cast<int32_t>(static_cast<uint32_t>(layers) + 4u);
    about("Edit20", "It reads " + std::to_string(layers) + ".");
    if (layers > 40) {
      refusal = kLayersTooMuch;
      return;
    }
    if (layers != 10 && layers != 20 && layers != 30 && layers != 40) {
      refusal = kLayersNotAllowed;
      return;
    }
    for (const char* c : kFilmFields)
      if (!read(c)) return;

    // A negative increment would march every zone backwards, i.e. not at
    // all; it is refused together with the zero increment.  So is a
    // negative zone length, which would give the zone a negative step count
    // and report an unmarched zone as a success; a zero length stays
    // allowed (the zone's exit is its entrance).
    const Bound bound = StepBound(p.ZoneLength[1], p.IncrementZ);
    if (p.IncrementZ == 0) {
      about("Edit19", "An increment of 0 cm would divide each zone into endlessly many steps; give the step length "
                      "in cm, such as 2.0.");
      return;
    }
    if (p.IncrementZ < 0) {
      about("Edit19", "A negative increment would march against the web; give a positive step length in cm, such "
                      "as 2.0.");
      return;
    }
    if (bound == Bound::Fault) {
      about("Edit8", ShortNumber(p.ZoneLength[1]) + " m is too long to be counted in steps.");
      return;
    }
    if (p.ZoneLength[1] < 0) {
      about("Edit8", NegativeLengthReason(p.ZoneLength[1]));
      return;
    }
    if (bound == Bound::Exceeded) {
      about("Edit8", TooManyStepsReason(1, p.ZoneLength[1], p.IncrementZ, 8000));
      refusal = kStepBoundZone1;
      return;
    }

    for (const char* c : kZone1Conditions)
      if (!read(c)) return;
    for (int n = 201; n <= 207; ++n)
      if (!read("Edit" + std::to_string(n))) return;
    for (int n : {211, 212})
      if (!read("Edit" + std::to_string(n))) return;
    for (int n = 221; n <= 228; ++n)
      if (!read("Edit" + std::to_string(n))) return;
    for (int n = 231; n <= 238; ++n)
      if (!read("Edit" + std::to_string(n))) return;
    for (int n : {241, 242})
      if (!read("Edit" + std::to_string(n))) return;
    for (int n = 251; n <= 261; ++n)
      if (!read("Edit" + std::to_string(n))) return;
    for (int n = 271; n <= 281; ++n)
      if (!read("Edit" + std::to_string(n))) return;
    setup.SaveFileName = fields.Text("Edit250");
    refusal = nullptr;
  });
  if (!noFault) {
    refusal = kNotCorrect;
    if (detail.Field.empty()) detail.Explanation = "An arithmetic fault occurred while the fields were read.";
  }
  if (refusal) {
    refuse(refusal);
    return;
  }

  setup.ZoneCount = 1;
  if (setup.SaveFileName.empty()) {
    about("Edit250", "The result file needs a name, such as result.txt.");
    refuse(kNoSaveFileName);
    return;
  }

  // Zone scan: a zone is in use while its outer temperature is given and
  // not zero; the first zone that is not ends the list.  Its six values go
  // into a pending copy; the record is written only by the commit below.
  double pending[MaxZones + 1][6] = {};
  int zoneCount = MaxZones;
  for (int k = 2; k <= MaxZones; ++k) {
    const std::string t = fields.Text(ZoneComponent(k, 1));
    if (t.empty()) {
      zoneCount = k - 1;
      break;
    }
    long double temperature;
    if (!TextToExtended(t, sep, temperature)) {
      // Not guarded: the text leaves the reading and the OK action through
      // the general error report, and no run starts.
      setup.InputAccepted = false;
      throw FieldTextError(NotARealNumber(t), ZoneComponent(k, 1));
    }
    if (temperature == 0.0L) {
      zoneCount = k - 1;
      break;
    }
    bool converted = false;
    Guarded([&] {
      for (int i = 1; i <= 6; ++i)
        if (!readInto(ZoneComponent(k, i), pending[k][i - 1])) return;
      converted = true;
    });
    if (!converted) {
      refuse(ZoneNotCorrect(k));
      return;
    }
  }
  setup.ZoneCount = zoneCount;

  // Commit, zone by zone: temperature and length first, then the step bound
  // (the later zones' message names 8001), then the four other values.
  for (int k = 2; k <= setup.ZoneCount; ++k) {
    p.OuterTemperature[k] = pending[k][0];
    p.ZoneLength[k] = pending[k][1];
    Bound bound = Bound::Fault;
    // A length whose centimetres overflow the 64-bit rounding is refused as
    // a bad input of that zone.
    if (!Guarded([&] { bound = StepBound(p.ZoneLength[k], p.IncrementZ); }) || bound == Bound::Fault) {
      about(ZoneComponent(k, 2), ShortNumber(p.ZoneLength[k]) + " m is too long to be counted in steps.");
      refuse(ZoneNotCorrect(k));
      return;
    }
    // A negative length is refused with the zone's own message (see zone 1).
    if (p.ZoneLength[k] < 0) {
      about(ZoneComponent(k, 2), NegativeLengthReason(p.ZoneLength[k]));
      refuse(ZoneNotCorrect(k));
      return;
    }
    if (bound == Bound::Exceeded) {
      about(ZoneComponent(k, 2), TooManyStepsReason(k, p.ZoneLength[k], p.IncrementZ, 8000));
      refuse(kStepBoundLaterZone);
      return;
    }
    p.PartialPressure1[k] = pending[k][2];
    p.PartialPressure2[k] = pending[k][3];
    p.BaseHeatTransferCoeff[k] = pending[k][4];
    p.CoatHeatTransferCoeff[k] = pending[k][5];
  }

  // A web at rest (or running backwards) carries nothing through the dryer:
  // the time a step takes, its length over the speed, has no value.  It is
  // refused last, so that every input refused before keeps its message.
  if (!(p.WebSpeed > 0)) {
    about("Edit5", "A web speed of " + ShortNumber(p.WebSpeed) +
                       " m/s moves no film through the dryer; give the speed of the web in m/s, such as 1.0.");
    refuse(kNotCorrect);
    return;
  }

  // Every check passed: the step counts.  The bound above keeps each within
  // 8001.
  for (int k = 1; k <= setup.ZoneCount; ++k) setup.ZoneStepCount[k] = StepCount(p.ZoneLength[k], p.IncrementZ);
}

}  // namespace kelvane
