#include "summary/SummarySettingsText.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace kelvane {

namespace {

// strtod in the "C" locale: a full stop is the decimal mark even where the
// window runs under a locale whose mark is a comma.
double ReadC(const char* text, char** end) {
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return c ? strtod_l(text, end, c) : std::strtod(text, end);
}

// The whole text as one number; false for anything else.
bool WholeNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = ReadC(text.c_str(), &end);
  if (!end || *end != '\0' || errno != 0 || end == text.c_str()) return false;
  value = v;
  return true;
}

struct Reader {
  SummarySettingsRead& out;
  // A number in [lo, hi] (or above lo, when `aboveLo`) from `text`, unless it is empty.
  template <class Store>
  void Number(const std::string& text, SummarySettingField field, double lo, double hi, bool aboveLo,
              const char* expected, Store store) {
    if (!out.Ok() || text.empty()) return;
    double v = 0;
    if (WholeNumber(text, v) && std::isfinite(v) && (aboveLo ? v > lo : v >= lo) && v <= hi) {
      store(v);
      return;
    }
    out.Field = field;
    out.Error = expected;
  }
};

}  // namespace

SummarySettingsRead ReadSummarySettings(const SummarySettingsTexts& t) {
  SummarySettingsRead out;
  SummarySettings& s = out.Settings;
  if (!t.ResidualTarget.empty()) {
    struct Unit {
      const char* Suffix;
      ResidualUnit Unit;
    };
    static const Unit units[] = {{"%", ResidualUnit::PercentOfInitial},
                                 {"g/m2", ResidualUnit::GramsPerSquareMetre},
                                 {"ppm", ResidualUnit::PpmOfDryCoating}};
    const std::string& text = t.ResidualTarget;
    bool ok = false;
    for (const Unit& u : units) {
      const std::string suffix = u.Suffix;
      if (text.size() <= suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix)) continue;
      double v = 0;
      if (WholeNumber(text.substr(0, text.size() - suffix.size()), v) && v >= 0) {
        s.ResidualTarget = v;
        s.ResidualTargetUnit = u.Unit;
        ok = true;
      }
      break;
    }
    if (!ok) {
      out.Field = SummarySettingField::ResidualTarget;
      out.Error = "expected a number that is not negative followed by %, g/m2 or ppm (e.g. 1%, 0.5g/m2, 500ppm)";
      return out;
    }
  }
  const double huge = HUGE_VAL;
  Reader r{out};
  r.Number(t.MaxFilmTemperature, SummarySettingField::MaxFilmTemperature, -huge, huge, false,
           "expected a temperature in degC", [&](double v) { s.MaxFilmTemperature = v; });
  r.Number(t.WebWidth, SummarySettingField::WebWidth, 0, huge, true, "expected a width in m above 0",
           [&](double v) { s.WebWidth = v; });
  r.Number(t.BoilingPointShare, SummarySettingField::BoilingPointShare, 0, 100, false,
           "expected a share of the coating in % from 0 to 100", [&](double v) { s.BoilingPointShare = v / 100.0; });
  r.Number(t.SkinSurfacePolymer, SummarySettingField::SkinSurfacePolymer, 0, 1, false,
           "expected a volume fraction from 0 to 1", [&](double v) { s.SkinSurfacePolymer = v; });
  r.Number(t.SkinSolventRemaining, SummarySettingField::SkinSolventRemaining, 0, 100, false,
           "expected a share of the initial solvent in % from 0 to 100", [&](double v) { s.SkinSolventRemaining = v; });
  return out;
}

const char* SummarySettingCaption(SummarySettingField field) {
  switch (field) {
    case SummarySettingField::None: return "";
    case SummarySettingField::ResidualTarget: return "Residual target";
    case SummarySettingField::MaxFilmTemperature: return "Film-temperature limit";
    case SummarySettingField::WebWidth: return "Web width";
    case SummarySettingField::BoilingPointShare: return "Above the boiling point from";
    case SummarySettingField::SkinSurfacePolymer: return "Skin at a surface polymer fraction of";
    case SummarySettingField::SkinSolventRemaining: return "Skinning while solvent left is at least";
  }
  return "";
}

}  // namespace kelvane
