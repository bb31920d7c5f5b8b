#include "files/ResultFileReader.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

#include "files/InputFile.h"
#include "files/LineReader.h"
#include "files/ResultFile.h"

namespace kelvane {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A number as the writer forms it, with either decimal mark; finite, since
// the writer never prints an infinity or NaN and a double out of range is
// no value of a run.
std::optional<double> Number(std::string_view token) {
  std::string text(token);
  for (char& c : text)
    if (c == ',') c = '.';
  double value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A table row: exactly `count` numbers separated by spaces.
bool RowNumbers(std::string_view line, size_t count, std::vector<double>& out) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) break;
    size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    const auto v = Number(line.substr(i, j - i));
    if (!v) return false;
    out.push_back(*v);
    i = j;
  }
  return out.size() == count;
}

// "label = value": whether the line carries the label and, if so, whether
// the text after the first "=" is a finite number.
enum class Label { Absent, Value, Bad };

Label LabelValue(std::string_view line, std::string_view labelStart, double& value) {
  const std::string_view trimmed = Trim(line);
  if (!StartsWith(trimmed, labelStart)) return Label::Absent;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return Label::Absent;
  const auto v = Number(Trim(trimmed.substr(eq + 1)));
  if (!v) return Label::Bad;
  value = *v;
  return Label::Value;
}

std::string LineRef(size_t index) { return "line " + std::to_string(index + 1); }

constexpr double MaxZone = 14;

// A result file opens with a rule of "=" and the title of the physical
// properties.
bool OpeningLines(std::string_view first, std::string_view second) {
  const std::string_view rule = Trim(first);
  return !rule.empty() && rule.find_first_not_of('=') == std::string_view::npos &&
         Trim(second) == "PHISICAL PROPERTIES";
}

// Passes the rule and the title; whether they are there and a line follows.
bool OpensAsResultFile(LineReader& lines) {
  const std::string rule(lines.Current());
  lines.Advance();
  if (lines.AtEnd() || !OpeningLines(rule, lines.Current())) return false;
  lines.Advance();
  return !lines.AtEnd();
}

class Parser {
 public:
  explicit Parser(LineReader& lines) : lines_(lines) {}

  ResultFileRead Run() {
    ResultFileRead read;
    // The rule and the title match none of the lines looked for below.
    if (!OpensAsResultFile(lines_)) return Fail("it does not begin with the input echo of a result file");
    ResultFileData& d = read.Data;
    bool haveIncrement = false, haveLayers = false, haveSpeed = false;
    ZoneConditions* zone = nullptr;
    double layers = 0;

    for (bool stay = false; !lines_.AtEnd(); stay ? void() : lines_.Advance()) {
      stay = false;
      const std::string_view line = lines_.Current();
      const std::string_view trimmed = Trim(line);
      if (trimmed.empty()) continue;  // a blank line carries nothing here
      Label label = Label::Absent;
      auto is = [&](std::string_view labelStart, double& value) {
        label = LabelValue(line, labelStart, value);
        return label != Label::Absent;
      };
      if (is("Increment of z (cm)", d.IncrementZ)) haveIncrement = true;
      else if (is("Number of Layers", layers)) haveLayers = true;
      else if (is("Web Speed (m/s)", d.WebSpeed)) haveSpeed = true;
      else if (is("Initial Temperature (", d.InitialTemperature)) {
      } else if (StartsWith(trimmed, "ZONE ")) {
        const auto k = Number(Trim(trimmed.substr(5)));
        if (!k || *k < 1 || *k > MaxZone || *k != std::floor(*k))
          return Fail(LineRef(lines_.Index()) + " names no zone from 1 to 14");
        const int number = static_cast<int>(*k);
        const int expected = d.Conditions.empty() ? 1 : d.Conditions.back().Zone + 1;
        if (number != expected) return Fail(LineRef(lines_.Index()) + " starts zone " + std::to_string(number) +
                                            " where zone " + std::to_string(expected) + " was due");
        d.Conditions.push_back({});
        zone = &d.Conditions.back();
        zone->Zone = number;
      } else if (zone && (label = ZoneLine(line, *zone)) != Label::Absent) {
      } else if (trimmed == Trim(CancelledMark)) {
        d.Cancelled = true;
      } else if (auto echo = EchoLine(line)) {
        d.Echo.push_back(std::move(*echo));
      } else if (trimmed == "[SIMULATION RESULTS]") {
        if (!zone) return Fail(LineRef(lines_.Index()) + " holds results before any zone's conditions");
        if (!d.Zones.empty() && d.Zones.back().Zone == zone->Zone)
          return Fail(LineRef(lines_.Index()) + " repeats the results of zone " + std::to_string(zone->Zone));
        ZoneResults results;
        results.Zone = zone->Zone;
        std::string error;
        const Section s = ResultsSection(results, error);
        if (s == Section::Broken) return Fail(error);
        if (s == Section::Truncated) {
          d.Truncated = true;
          break;
        }
        d.Zones.push_back(std::move(results));
        stay = true;  // the section stopped on the line after its own
      }
      if (label == Label::Bad) {
        if (lines_.IsLast()) {  // cut off after the "="
          d.Truncated = true;
          break;
        }
        return Fail(LineRef(lines_.Index()) + " holds no finite number after \"=\"");
      }
    }
    if (!haveIncrement || !haveLayers || !haveSpeed || d.Conditions.empty())
      return Fail("its input echo lacks the calculation accuracy, the web speed or zone 1's conditions");
    if (d.IncrementZ <= 0) return Fail("its increment of z is not positive");
    // The grid's layer count is one of the four the calculation offers.
    if (layers != 10 && layers != 20 && layers != 30 && layers != 40)
      return Fail("its number of layers is not 10, 20, 30 or 40");
    d.NumberOfLayers = static_cast<int>(layers);
    read.Ok = true;
    return read;
  }

 private:
  enum class Section { Complete, Truncated, Broken };

  ResultFileRead Fail(const std::string& why) {
    ResultFileRead read;
    read.Error = why;
    return read;
  }

  Label ZoneLine(std::string_view line, ZoneConditions& z) {
    static constexpr struct {
      std::string_view label;
      double ZoneConditions::*member;
    } kLines[] = {
        {"Outer Temperature (", &ZoneConditions::OuterTemperature},
        {"Zone Length (m)", &ZoneConditions::ZoneLength},
        {"Solvent-1 Partial Pressure", &ZoneConditions::PartialPressure1},
        {"Solvent-2 Partial Pressure", &ZoneConditions::PartialPressure2},
        {"Base-side Heat Trans.", &ZoneConditions::BaseHeatTransferCoeff},
        {"Coat-side Heat Trans.", &ZoneConditions::CoatHeatTransferCoeff},
    };
    for (const auto& l : kLines)
      if (const Label found = LabelValue(line, l.label, z.*l.member); found != Label::Absent) return found;
    return Label::Absent;
  }

  // "label = value" with a numeric value.
  static std::optional<EchoValue> EchoLine(std::string_view line) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view label = Trim(line.substr(0, eq));
    const auto v = Number(Trim(line.substr(eq + 1)));
    if (label.empty() || !v) return std::nullopt;
    return EchoValue{std::string(label), *v};
  }

  bool AtEnd() const { return lines_.AtEnd(); }

  // Expects a line starting with `text` (after leading blanks).  At the end
  // of the file the section is truncated; another line breaks it.
  Section Expect(std::string_view text, std::string& error, const char* what) {
    if (AtEnd()) return Section::Truncated;
    const std::string_view line = Trim(lines_.Current());
    if (!StartsWith(line, text)) {
      if (lines_.IsLast() && StartsWith(text, line)) return Section::Truncated;  // cut off mid-line
      error = LineRef(lines_.Index()) + " should hold " + what;
      return Section::Broken;
    }
    lines_.Advance();
    return Section::Complete;
  }

  // Rows of `count` numbers up to an empty line (consumed) or, for the last
  // table, the end of the file or the next zone.  A row that does not parse
  // at the very end of the file is an interrupted write.
  template <class Store>
  Section Rows(size_t count, bool last, std::string& error, const char* table, Store store) {
    std::vector<double> numbers;
    while (!AtEnd()) {
      const std::string_view line = lines_.Current();
      if (Trim(line).empty()) {
        if (!last) lines_.Advance();
        return Section::Complete;
      }
      if (!RowNumbers(line, count, numbers)) {
        if (lines_.IsLast()) return Section::Truncated;
        error = LineRef(lines_.Index()) + " is not a row of " + table;
        return Section::Broken;
      }
      store(numbers);
      lines_.Advance();
    }
    return last ? Section::Complete : Section::Truncated;
  }

  Section ResultsSection(ZoneResults& r, std::string& error) {
    lines_.Advance();  // "[SIMULATION RESULTS]"
    Section s;
    const std::string zoneName = "zone " + std::to_string(r.Zone);
    if ((s = Expect("TIME     LENGTH     TEMP", error, "the column names of the results")) != Section::Complete)
      return s;
    if ((s = Expect("(s)", error, "the units of the results")) != Section::Complete) return s;
    if (!AtEnd() && Trim(lines_.Current()).empty()) lines_.Advance();
    s = Rows(7, false, error, "the results table", [&](const std::vector<double>& v) {
      r.Rows.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6]});
    });
    if (s != Section::Complete) return s;
    if ((s = Expect("Layer Thickness", error, "the layer-thickness table")) != Section::Complete) return s;
    if ((s = Expect("---", error, "a rule")) != Section::Complete) return s;
    if ((s = Expect("TIME   LENGTH   TH1", error, "the column names of the layer thicknesses")) != Section::Complete)
      return s;
    if ((s = Expect("(s)", error, "the units of the layer thicknesses")) != Section::Complete) return s;
    s = Rows(12, false, error, "the layer-thickness table", [&](const std::vector<double>& v) {
      LayerRow row{v[0], v[1], {}};
      for (int i = 0; i < 10; ++i) row.Thick[i] = v[2 + i];
      r.Layers.push_back(row);
    });
    if (s != Section::Complete) return s;
    for (int solvent = 1; solvent <= 2; ++solvent) {
      const std::string title = "Solvent " + std::to_string(solvent) + " Concentration";
      if ((s = Expect(title, error, "a concentration table")) != Section::Complete) return s;
      if ((s = Expect("---", error, "a rule")) != Section::Complete) return s;
      if ((s = Expect("TIME   LENGTH    C0", error, "the column names of the concentrations")) != Section::Complete)
        return s;
      if ((s = Expect("(s)", error, "the units of the concentrations")) != Section::Complete) return s;
      auto& table = solvent == 1 ? r.Solvent1 : r.Solvent2;
      s = Rows(13, solvent == 2, error, "a concentration table", [&](const std::vector<double>& v) {
        ProfileRow row{v[0], v[1], {}};
        for (int i = 0; i < 11; ++i) row.Conc[i] = v[2 + i];
        table.push_back(row);
      });
      if (s != Section::Complete) return s;
    }
    const size_t n = r.Rows.size();
    if (n == 0 || r.Layers.size() != n || r.Solvent1.size() != n || r.Solvent2.size() != n) {
      // The last table stopping short at the end of the file is a cut-off
      // write; tables of different lengths elsewhere are not ours.
      if (AtEnd() && r.Layers.size() == n && r.Solvent1.size() == n && r.Solvent2.size() < n)
        return Section::Truncated;
      error = "the tables of " + zoneName + " have different numbers of rows";
      return Section::Broken;
    }
    return Section::Complete;
  }

  LineReader& lines_;
};

}  // namespace

const ZoneConditions* ResultFileData::ConditionsOf(int zone) const {
  for (const ZoneConditions& c : Conditions)
    if (c.Zone == zone) return &c;
  return nullptr;
}

double ResultFileData::ZoneStart(int zone) const {
  double start = 0;
  for (const ZoneConditions& c : Conditions)
    if (c.Zone < zone) start += c.ZoneLength;
  return start;
}

ResultFileRead ParseResultFile(std::string_view bytes) {
  LineReader lines(bytes);
  return Parser(lines).Run();
}

ResultFileRead ReadResultFile(const std::string& path) {
  ResultFileRead read;
  InputFile file(path);
  std::string first(65536, '\0');
  const long n = file.IsOpen() ? file.Read(first.data(), first.size()) : -1;
  if (n < 0) {
    read.Error = "it cannot be read (" + file.Reason() + ")";
    return read;
  }
  first.resize(static_cast<size_t>(n));
  // The opening lines are checked on the first block, before the rest of a
  // possibly large file that is not ours is read.
  LineReader head(std::string_view(first).substr(0, 4096));
  if (!OpensAsResultFile(head)) return ParseResultFile(std::string_view());
  if (file.Size() > MaxResultFileBytes) {
    read.Error = "it is far larger than any result file";
    return read;
  }
  // Then line by line: what is held is the rows kept, whatever the file's
  // length.
  LineReader lines(std::move(first), file, MaxResultFileBytes);
  read = Parser(lines).Run();
  if (lines.ReadFailed() || lines.TooLarge()) {
    read = ResultFileRead();
    read.Error = lines.TooLarge() ? "it is far larger than any result file" : "it cannot be read (" + file.Reason() + ")";
  }
  return read;
}

}  // namespace kelvane
