#include "study/StudyTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelvane {

namespace {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string JsonString(const std::string& text) {
  std::string j = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      j += '\\';
      j += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      j += buf;
    } else {
      j += static_cast<char>(c);
    }
  }
  return j + "\"";
}

}  // namespace

std::string ShortestNumber(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string ReadableNumber(double value) {
  if (value == 0) return "0";  // -0 too
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
  // to_chars: the same text whatever the process locale.
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 4);
  double rounded = 0;
  std::from_chars(buf, r.ptr, rounded);
  const double magnitude = std::fabs(rounded);
  if (magnitude < 1e-3 || magnitude >= 1e9) return std::string(buf, r.ptr);
  const int decimals = std::max(0, 3 - static_cast<int>(std::floor(std::log10(magnitude))));
  r = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, decimals);
  std::string text(buf, r.ptr);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::string FieldValueText(double value, int digits) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
  return std::string(buf, r.ptr);
}

std::string CsvHeader(const StudyDefinition& study) {
  std::string h = "row";
  for (const VariedField& v : study.Varied) h += "," + CsvField(v.Name);
  h += ",outcome,message,failed_zone,rescued_steps";
  for (const SummaryColumn& c : SummaryColumns()) h += std::string(",") + c.Name;
  return h + "\n";
}

std::string CsvLine(const RowResult& row) {
  std::string l = std::to_string(row.Row.Number);
  for (const std::string& v : row.Row.Values) l += "," + CsvField(v);
  l += std::string(",") + RowOutcomeName(row.Outcome) + "," + CsvField(row.Message) + ",";
  if (row.FailedZone > 0) l += std::to_string(row.FailedZone);
  l += "," + std::to_string(row.RescuedSteps);
  for (std::size_t i = 0; i < SummaryColumns().size(); ++i) {
    l += ",";
    if (i < row.Summary.size() && row.Summary[i]) l += ShortestNumber(*row.Summary[i]);
  }
  return l + "\n";
}

std::string JsonLine(const StudyDefinition& study, const RowResult& row) {
  std::string j = "{\"row\":" + std::to_string(row.Row.Number) + ",\"values\":{";
  for (std::size_t i = 0; i < study.Varied.size() && i < row.Row.Values.size(); ++i) {
    if (i) j += ",";
    j += JsonString(study.Varied[i].Name) + ":" + JsonString(row.Row.Values[i]);
  }
  j += "},\"outcome\":" + JsonString(RowOutcomeName(row.Outcome)) + ",\"message\":" + JsonString(row.Message);
  j += ",\"failed_zone\":" + (row.FailedZone > 0 ? std::to_string(row.FailedZone) : std::string("null"));
  j += ",\"rescued_steps\":" + std::to_string(row.RescuedSteps);
  const auto& cols = SummaryColumns();
  for (std::size_t i = 0; i < cols.size(); ++i) {
    j += std::string(",\"") + cols[i].Name + "\":";
    j += i < row.Summary.size() && row.Summary[i] ? ShortestNumber(*row.Summary[i]) : std::string("null");
  }
  return j + "}\n";
}

}  // namespace kelvane
