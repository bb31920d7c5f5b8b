#include "ui/SearchRows.h"

#include "run/ReadRunParameters.h"

namespace kelvane::ui {

std::optional<double> SummaryColumnOf(const RowResult& r, const char* name) {
  const int i = SummaryColumnIndex(name);
  if (i < 0 || static_cast<std::size_t>(i) >= r.Summary.size()) return std::nullopt;
  return r.Summary[static_cast<std::size_t>(i)];
}

double SearchValue(const std::string& text) {
  long double v = 0;
  return TextToExtended(text, '.', v) ? static_cast<double>(v) : 0.0;
}

const QColor& FailedColour() {
  static const QColor grey(120, 120, 120);
  return grey;
}

}  // namespace kelvane::ui
