#include "run/FieldHelp.h"

#include <cstdio>

namespace kelvane {

std::string ShortNumber(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string RangeText(const ValueRange& r, const std::string& unit) {
  if (!r.Bounded()) return "";
  const std::string u = unit.empty() || unit == "-" ? "" : " " + unit;
  if (r.High == HUGE_VAL) return (r.LowOpen ? "above " : "at least ") + ShortNumber(r.Low) + u;
  if (r.Low == -HUGE_VAL) return "at most " + ShortNumber(r.High) + u;
  if (r.LowOpen) return "above " + ShortNumber(r.Low) + u + ", at most " + ShortNumber(r.High) + u;
  return ShortNumber(r.Low) + " to " + ShortNumber(r.High) + u;
}

std::string FieldTooltip(const FieldSpec& f) {
  std::string tip = f.Meaning;
  if (f.Unit != "-" && !f.Unit.empty()) tip += "\nUnit: " + f.Unit + ".";
  if (const std::string typical = RangeText(f.Typical, f.Unit); !typical.empty())
    tip += "\nTypical: " + typical + ".";
  tip += "\nkelvane-run: --set " + f.Member + "=... (or " + f.Component + ")";
  return tip;
}

namespace {

// The caption without the " = " of the F parameters and trailing blanks.
std::string PlainCaption(const FieldSpec& f) {
  std::string c = f.Caption;
  while (!c.empty() && (c.back() == ' ' || c.back() == '=')) c.pop_back();
  return c;
}

}  // namespace

std::string FieldInWindow(const FieldSpec& f) {
  return "\"" + PlainCaption(f) + "\" of " + FieldGroupCaption(f) + " on the page \"" + PageCaption(FieldPage(f)) + "\"";
}

std::string FieldForRunner(const FieldSpec& f) {
  std::string caption = PlainCaption(f);
  if (f.Group != FieldGroup::General && f.Group != FieldGroup::Accuracy && f.Group != FieldGroup::SaveFile)
    caption += " of " + FieldGroupCaption(f);
  return f.Component + " (" + f.Member + ", \"" + caption + "\")";
}

}  // namespace kelvane
