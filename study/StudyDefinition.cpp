#include "study/StudyDefinition.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "run/NearestName.h"
#include "run/ReadRunParameters.h"

namespace kelvane {

namespace {

std::string Trimmed(std::string_view s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const auto e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

long double Number(const std::string& text, std::string_view what) {
  long double v = 0;
  if (!TextToExtended(text, '.', v))
    throw std::invalid_argument(std::string(what) + " \"" + text + "\" is not a number");
  return v;
}

// Digits after the decimal point of a plain decimal text; -1 when the text
// has an exponent.
int Decimals(const std::string& text) {
  if (text.find_first_of("eE") != std::string::npos) return -1;
  const auto dot = text.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
}

std::vector<std::string> ExpandRange(const std::string& text) {
  const auto c1 = text.find(':');
  const auto c2 = text.find(':', c1 + 1);
  if (c2 == std::string::npos || text.find(':', c2 + 1) != std::string::npos)
    throw std::invalid_argument("range \"" + text + "\" is not start:stop:step");
  const std::string a = Trimmed(std::string_view(text).substr(0, c1));
  const std::string b = Trimmed(std::string_view(text).substr(c1 + 1, c2 - c1 - 1));
  const std::string c = Trimmed(std::string_view(text).substr(c2 + 1));
  const long double start = Number(a, "range start"), stop = Number(b, "range stop"), step = Number(c, "range step");
  if (step == 0) throw std::invalid_argument("range \"" + text + "\" has a step of zero");
  const long double span = (stop - start) / step;
  if (span < -1e-6L)
    throw std::invalid_argument("range \"" + text + "\": the step leads away from the stop value");
  const long double count = std::floor(span + 1e-6L) + 1;
  if (count > static_cast<long double>(MaxStudyRows))
    throw std::invalid_argument("range \"" + text + "\" has more than a million values");
  int decimals = std::max({Decimals(a), Decimals(b), Decimals(c)});
  if (Decimals(a) < 0 || Decimals(b) < 0 || Decimals(c) < 0) decimals = -1;
  std::vector<std::string> values;
  const auto n = static_cast<std::size_t>(count);
  for (std::size_t i = 0; i < n; ++i) {
    // Each value from the start, not accumulated, so that no rounding creeps in.
    const long double v = start + static_cast<long double>(i) * step;
    char buf[64];
    if (decimals >= 0) std::snprintf(buf, sizeof buf, "%.*Lf", decimals, v);
    else std::snprintf(buf, sizeof buf, "%.15Lg", v);
    std::string s = buf;
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);  // -0.0
    values.push_back(s);
  }
  return values;
}

}  // namespace

std::vector<std::string> ExpandValues(std::string_view text) {
  const std::string t = Trimmed(text);
  if (t.empty()) throw std::invalid_argument("no values given");
  if (t.find(':') != std::string::npos) return ExpandRange(t);
  std::vector<std::string> values;
  std::size_t from = 0;
  for (;;) {
    const auto comma = t.find(',', from);
    const std::string v = Trimmed(std::string_view(t).substr(from, comma == std::string::npos ? comma : comma - from));
    if (v.empty()) throw std::invalid_argument("empty value in the list \"" + t + "\"");
    values.push_back(v);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return values;
}

VariedField ParseVaried(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos)
    throw std::invalid_argument("\"" + std::string(text) + "\": expected NAME=VALUES");
  VariedField v;
  v.Name = Trimmed(text.substr(0, eq));
  v.Field = FindField(v.Name);
  if (!v.Field) throw std::invalid_argument(NoSuchField(v.Name));
  try {
    v.Values = ExpandValues(text.substr(eq + 1));
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(v.Name + ": " + e.what());
  }
  return v;
}

std::size_t RowCount(const StudyDefinition& study) {
  std::size_t n = 1;
  for (const VariedField& v : study.Varied) {
    if (v.Values.empty()) return 0;
    if (n > MaxStudyRows / v.Values.size())
      throw std::invalid_argument("the study has more than a million rows");
    n *= v.Values.size();
  }
  return n;
}

StudyRow RowAt(const StudyDefinition& study, std::size_t number) {
  StudyRow row;
  row.Number = number;
  row.Values.resize(study.Varied.size());
  // Mixed-radix digits of number-1, the last varied field fastest.
  std::size_t rest = number - 1;
  for (std::size_t i = study.Varied.size(); i-- > 0;) {
    const auto& values = study.Varied[i].Values;
    row.Values[i] = values[rest % values.size()];
    rest /= values.size();
  }
  return row;
}

Shard ParseShard(std::string_view text) {
  const std::string t = Trimmed(text);
  const auto slash = t.find('/');
  int k = 0, n = 0;
  if (slash == std::string::npos || !TextToInt(t.substr(0, slash), k) || !TextToInt(t.substr(slash + 1), n) ||
      n < 1 || k < 1 || k > n)
    throw std::invalid_argument("shard \"" + t + "\" is not K/N with 1 <= K <= N");
  return {k, n};
}

std::vector<StudyRow> ShardRows(const StudyDefinition& study, Shard shard) {
  std::vector<StudyRow> rows;
  const std::size_t total = RowCount(study);
  for (std::size_t r = static_cast<std::size_t>(shard.K); r <= total; r += static_cast<std::size_t>(shard.N))
    rows.push_back(RowAt(study, r));
  return rows;
}

FieldTextMap RowFields(const StudyDefinition& study, const StudyRow& row) {
  FieldTextMap f = study.Base;
  for (std::size_t i = 0; i < study.Varied.size() && i < row.Values.size(); ++i)
    f.SetText(study.Varied[i].Field->Component, row.Values[i]);
  return f;
}

}  // namespace kelvane
