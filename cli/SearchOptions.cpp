#include "cli/SearchOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"

namespace kelvane {

Bounds ParseBounds(const std::string& text, const std::string& what) {
  const auto colon = text.find(':');
  Bounds b;
  long double lo = 0, hi = 0;
  if (colon == std::string::npos || !TextToExtended(text.substr(0, colon), '.', lo) ||
      !TextToExtended(text.substr(colon + 1), '.', hi))
    throw std::invalid_argument(what + ": \"" + text + "\" is not LOWER:UPPER");
  if (!(lo < hi)) throw std::invalid_argument(what + ": the lower bound of \"" + text + "\" is not below the upper");
  b.Lower = text.substr(0, colon);
  b.Upper = text.substr(colon + 1);
  b.Lo = static_cast<double>(lo);
  b.Hi = static_cast<double>(hi);
  return b;
}

bool WriteEvaluations(const std::string& path, const StudyDefinition& study, const std::vector<RowResult>& rows) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "kelvane-run: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = std::fputs(CsvHeader(study).c_str(), f) >= 0;
  for (const RowResult& r : rows) ok = ok && std::fputs(CsvLine(r).c_str(), f) >= 0;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "kelvane-run: writing %s failed\n", path.c_str());
  return ok;
}

void PrintSummary(const RowResult& r) {
  const auto& cols = SummaryColumns();
  for (std::size_t i = 0; i < cols.size(); ++i)
    if (i < r.Summary.size() && r.Summary[i])
      std::printf("%s=%s\n", cols[i].Name, ReadableNumber(*r.Summary[i]).c_str());
}

}  // namespace kelvane
