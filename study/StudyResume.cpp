#include "study/StudyResume.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "study/RowSummary.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

// One CSV record from `pos`: its fields, and `pos` moved past its line end.
// Nothing when the text ends before the record's line end (a cut-off write).
std::optional<std::vector<std::string>> NextRecord(std::string_view text, std::size_t& pos) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = pos; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n') {
      pos = i + 1;
      return fields;
    } else {
      fields.back() += c;
    }
  }
  return std::nullopt;
}

template <class T>
bool ParseWhole(const std::string& text, T& value) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

std::optional<RowOutcome> OutcomeNamed(const std::string& name) {
  for (RowOutcome o : {RowOutcome::Finished, RowOutcome::Failed, RowOutcome::Refused, RowOutcome::FileError,
                       RowOutcome::Cancelled, RowOutcome::NotRun})
    if (name == RowOutcomeName(o)) return o;
  return std::nullopt;
}

// The row a record describes, or nothing when its fields do not read as one.
std::optional<RowResult> RowFromFields(const std::vector<std::string>& f, std::size_t varied) {
  const std::size_t summary = SummaryColumns().size();
  if (f.size() != 1 + varied + 4 + summary) return std::nullopt;
  RowResult r;
  if (!ParseWhole(f[0], r.Row.Number)) return std::nullopt;
  r.Row.Values.assign(f.begin() + 1, f.begin() + 1 + static_cast<std::ptrdiff_t>(varied));
  std::size_t i = 1 + varied;
  const auto outcome = OutcomeNamed(f[i++]);
  if (!outcome) return std::nullopt;
  r.Outcome = *outcome;
  r.Message = f[i++];
  if (!f[i].empty() && !ParseWhole(f[i], r.FailedZone)) return std::nullopt;
  ++i;
  if (!ParseWhole(f[i++], r.RescuedSteps)) return std::nullopt;
  r.Summary.resize(summary);
  for (std::size_t c = 0; c < summary; ++c, ++i) {
    if (f[i].empty()) continue;
    double v = 0;
    if (!ParseWhole(f[i], v)) return std::nullopt;
    r.Summary[c] = v;
  }
  return r;
}

// Why a row's fields cannot be what a run wrote, or nothing.  A run that
// marched every zone has every figure (the heat per kg only when solvent
// left the film), no message and no failed zone; any other outcome has no
// figure, since its figures would describe the place it stopped at.  A row
// relabelled, or its figures moved to another row's outcome, shows here.
std::optional<std::string> Contradiction(const RowResult& r) {
  const auto& cols = SummaryColumns();
  std::size_t figures = 0;
  for (const auto& v : r.Summary) figures += v.has_value();
  if (r.Outcome != RowOutcome::Finished) {
    if (figures > 0) return std::string("a row marked \"") + RowOutcomeName(r.Outcome) + "\" has figures";
    return std::nullopt;
  }
  if (!r.Message.empty()) return std::string("a finished row has a message");
  if (r.FailedZone > 0) return std::string("a finished row has a failed zone");
  if (figures == 0) return std::nullopt;
  for (std::size_t c = 0; c < cols.size(); ++c)
    if (!r.Summary[c] && std::string_view(cols[c].Name) != "heat_per_kg_solvent_kj")
      return std::string("a finished row has no ") + cols[c].Name;
  for (const auto& v : r.Summary)
    if (v && !std::isfinite(*v)) return std::string("a finished row has a figure that is not a number");
  const auto at = [&](const char* name) { return *r.Summary[static_cast<std::size_t>(SummaryColumnIndex(name))]; };
  const double warnings = at("warnings"), boiling = at("boiling_warnings");
  if (warnings != std::floor(warnings) || boiling != std::floor(boiling) || boiling < 0 || boiling > warnings)
    return std::string("its counts of warnings are not whole numbers with the boiling ones among them");
  return std::nullopt;
}

// What sets a first line apart from the header this study writes: line ends
// and invisible characters are named, since the line printed looks the same.
std::string HeaderDifference(std::string_view text, const std::string& header) {
  const std::string_view line = text.substr(0, text.find('\n'));
  const std::string_view expected = std::string_view(header).substr(0, header.size() - 1);
  if (line.size() == expected.size() + 1 && line.back() == '\r' && line.starts_with(expected))
    return "its lines end in CR LF (as a Windows program saves them), not in LF as this program writes them; "
           "the header is otherwise this study's";
  std::size_t i = 0;
  while (i < line.size() && i < expected.size() && line[i] == expected[i]) ++i;
  const std::size_t from = line.rfind(',', i) == std::string_view::npos ? 0 : line.rfind(',', i) + 1;
  auto column = [&](std::string_view l) {
    std::string_view c = l.substr(std::min(from, l.size()));
    c = c.substr(0, c.find(','));
    std::string shown;
    for (unsigned char ch : c)
      if (ch < 0x20 || ch == 0x7f) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", ch);
        shown += buf;
      } else {
        shown += static_cast<char>(ch);
      }
    return shown.empty() ? std::string("nothing") : "\"" + shown + "\"";
  };
  return "its header is not this study's: it has " + column(line) + " at character " + std::to_string(i + 1) +
         " where this study's has " + column(expected) + " (" + std::string(line) + ")";
}

}  // namespace

bool KeptOnResume(RowOutcome outcome) {
  // A file error is the disk's, not the calculation's: the row runs again.
  return outcome == RowOutcome::Finished || outcome == RowOutcome::Failed || outcome == RowOutcome::Refused;
}

std::vector<std::optional<RowResult>> KeptRows(const StudyDefinition& study, const std::vector<StudyRow>& rows,
                                               std::string_view text) {
  std::vector<std::optional<RowResult>> kept(rows.size());
  const std::string header = CsvHeader(study);
  // A header cut off by a kill before the first row: nothing to keep.
  if (text.size() < header.size() && header.starts_with(text)) return kept;
  if (!text.starts_with(header)) throw std::invalid_argument(HeaderDifference(text, header));

  std::unordered_map<std::size_t, std::size_t> index;
  for (std::size_t i = 0; i < rows.size(); ++i) index.emplace(rows[i].Number, i);
  std::vector<bool> seen(rows.size(), false);
  std::size_t pos = header.size();
  for (std::size_t line = 2; pos < text.size(); ++line) {
    const std::size_t start = pos;
    const auto fields = NextRecord(text, pos);
    if (!fields) break;  // the last line, cut off: its row runs again
    const std::string where = "line " + std::to_string(line) + " ";
    const auto row = RowFromFields(*fields, study.Varied.size());
    if (!row || CsvLine(*row) != text.substr(start, pos - start))
      throw std::invalid_argument(where + "is not a row as this program writes it");
    if (const auto why = Contradiction(*row))
      throw std::invalid_argument(where + "cannot be a row this program wrote: " + *why);
    const auto it = index.find(row->Row.Number);
    if (it == index.end())
      throw std::invalid_argument(where + "holds row " + std::to_string(row->Row.Number) +
                                  ", which is not among the rows of this study or shard");
    if (seen[it->second])
      throw std::invalid_argument(where + "holds row " + std::to_string(row->Row.Number) + " a second time");
    seen[it->second] = true;
    if (row->Row.Values != rows[it->second].Values)
      throw std::invalid_argument(where + "holds row " + std::to_string(row->Row.Number) +
                                  " with other values than this study gives it");
    if (KeptOnResume(row->Outcome)) kept[it->second] = *row;
  }
  return kept;
}

std::vector<StudyRow> RowsToRun(const std::vector<StudyRow>& rows,
                                const std::vector<std::optional<RowResult>>& kept) {
  std::vector<StudyRow> todo;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (!kept[i]) todo.push_back(rows[i]);
  return todo;
}

std::vector<RowResult> MergeResumed(const std::vector<std::optional<RowResult>>& kept,
                                    const std::vector<RowResult>& ran) {
  std::vector<RowResult> all;
  all.reserve(kept.size());
  std::size_t next = 0;
  for (const auto& k : kept) all.push_back(k ? *k : ran.at(next++));
  return all;
}

}  // namespace kelvane
