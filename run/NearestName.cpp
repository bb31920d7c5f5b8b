#include "run/NearestName.h"

#include <algorithm>
#include <cctype>

#include "fields/FieldTable.h"

namespace kelvane {
namespace {

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Optimal-string-alignment distance: each letter edited at most once.
std::size_t Edits(std::string_view a, std::string_view b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i)
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = Fold(a[i - 1]) == Fold(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && Fold(a[i - 1]) == Fold(b[j - 2]) && Fold(a[i - 2]) == Fold(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[n][m];
}

}  // namespace

std::string NearestName(std::string_view typed, const std::vector<std::string>& candidates) {
  const std::size_t allowed = std::max<std::size_t>(1, typed.size() / 3);
  std::string best;
  std::size_t bestEdits = allowed + 1;
  for (const std::string& c : candidates) {
    const std::size_t e = Edits(typed, c);
    if (e < bestEdits) {
      best = c;
      bestEdits = e;
    }
  }
  return best;
}

std::string NearestFieldName(std::string_view typed) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const FieldSpec& f : FieldTable()) {
      all.push_back(f.Member);
      all.push_back(f.Component);
    }
    return all;
  }();
  return NearestName(typed, names);
}

std::string NoSuchField(std::string_view typed, std::string_view where) {
  std::string text = "no field is named \"" + std::string(typed) + "\"";
  if (const std::string near = NearestFieldName(typed); !near.empty()) return text + " (did you mean " + near + "?)";
  return where.empty() ? text : text + " (" + std::string(where) + ")";
}

}  // namespace kelvane
