#include "files/ResultFileReader.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>

namespace kelvane {

namespace {

std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A number as the writer forms it, with either decimal mark.
std::optional<double> Number(std::string_view token) {
  std::string text(token);
  for (char& c : text)
    if (c == ',') c = '.';
  double value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
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

// "label = value": the value after the first "=", or nothing.
std::optional<double> LabelValue(std::string_view line, std::string_view labelStart) {
  const std::string_view trimmed = Trim(line);
  if (!StartsWith(trimmed, labelStart)) return std::nullopt;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Number(Trim(trimmed.substr(eq + 1)));
}

std::string LineRef(size_t index) { return "line " + std::to_string(index + 1); }

class Parser {
 public:
  explicit Parser(std::string_view bytes) : lines_(SplitLines(bytes)) {}

  ResultFileRead Run() {
    ResultFileRead read;
    if (lines_.size() < 3 || Trim(lines_[1]) != "PHISICAL PROPERTIES" || Trim(lines_[0]).empty() ||
        Trim(lines_[0]).find_first_not_of('=') != std::string_view::npos)
      return Fail("it does not begin with the input echo of a result file");
    ResultFileData& d = read.Data;
    bool haveIncrement = false, haveLayers = false, haveSpeed = false;
    ZoneConditions* zone = nullptr;

    for (pos_ = 0; pos_ < lines_.size(); ++pos_) {
      const std::string_view line = lines_[pos_];
      const std::string_view trimmed = Trim(line);
      if (auto v = LabelValue(line, "Increment of z (cm)")) d.IncrementZ = *v, haveIncrement = true;
      else if (auto v = LabelValue(line, "Number of Layers")) d.NumberOfLayers = static_cast<int>(*v), haveLayers = true;
      else if (auto v = LabelValue(line, "Web Speed (m/s)")) d.WebSpeed = *v, haveSpeed = true;
      else if (auto v = LabelValue(line, "Initial Temperature (")) d.InitialTemperature = *v;
      else if (StartsWith(trimmed, "ZONE ")) {
        const auto k = Number(Trim(trimmed.substr(5)));
        if (!k || *k < 1 || *k > 14 || *k != static_cast<int>(*k))
          return Fail(LineRef(pos_) + " names no zone from 1 to 14");
        const int number = static_cast<int>(*k);
        const int expected = d.Conditions.empty() ? 1 : d.Conditions.back().Zone + 1;
        if (number != expected) return Fail(LineRef(pos_) + " starts zone " + std::to_string(number) +
                                            " where zone " + std::to_string(expected) + " was due");
        d.Conditions.push_back({});
        zone = &d.Conditions.back();
        zone->Zone = number;
      } else if (zone && ZoneLine(line, *zone)) {
      } else if (trimmed == "[SIMULATION RESULTS]") {
        if (!zone) return Fail(LineRef(pos_) + " holds results before any zone's conditions");
        if (!d.Zones.empty() && d.Zones.back().Zone == zone->Zone)
          return Fail(LineRef(pos_) + " repeats the results of zone " + std::to_string(zone->Zone));
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
        --pos_;  // the loop steps past the section's last line
      }
    }
    if (!haveIncrement || !haveLayers || !haveSpeed || d.Conditions.empty())
      return Fail("its input echo lacks the calculation accuracy, the web speed or zone 1's conditions");
    if (d.IncrementZ <= 0) return Fail("its increment of z is not positive");
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

  bool ZoneLine(std::string_view line, ZoneConditions& z) {
    if (auto v = LabelValue(line, "Outer Temperature (")) z.OuterTemperature = *v;
    else if (auto v = LabelValue(line, "Zone Length (m)")) z.ZoneLength = *v;
    else if (auto v = LabelValue(line, "Solvent-1 Partial Pressure")) z.PartialPressure1 = *v;
    else if (auto v = LabelValue(line, "Solvent-2 Partial Pressure")) z.PartialPressure2 = *v;
    else if (auto v = LabelValue(line, "Base-side Heat Trans.")) z.BaseHeatTransferCoeff = *v;
    else if (auto v = LabelValue(line, "Coat-side Heat Trans.")) z.CoatHeatTransferCoeff = *v;
    else return false;
    return true;
  }

  bool AtEnd() const { return pos_ >= lines_.size(); }

  // Expects a line starting with `text` (after leading blanks).  At the end
  // of the file the section is truncated; another line breaks it.
  Section Expect(std::string_view text, std::string& error, const char* what) {
    if (AtEnd()) return Section::Truncated;
    const std::string_view line = Trim(lines_[pos_]);
    if (!StartsWith(line, text)) {
      if (pos_ + 1 == lines_.size() && StartsWith(text, line)) return Section::Truncated;  // cut off mid-line
      error = LineRef(pos_) + " should hold " + what;
      return Section::Broken;
    }
    ++pos_;
    return Section::Complete;
  }

  // Rows of `count` numbers up to an empty line (consumed) or, for the last
  // table, the end of the file or the next zone.  A row that does not parse
  // at the very end of the file is an interrupted write.
  template <class Store>
  Section Rows(size_t count, bool last, std::string& error, const char* table, Store store) {
    std::vector<double> numbers;
    while (!AtEnd()) {
      const std::string_view line = lines_[pos_];
      if (Trim(line).empty()) {
        if (!last) ++pos_;
        return Section::Complete;
      }
      if (!RowNumbers(line, count, numbers)) {
        if (pos_ + 1 == lines_.size()) return Section::Truncated;
        error = LineRef(pos_) + " is not a row of " + table;
        return Section::Broken;
      }
      store(numbers);
      ++pos_;
    }
    return last ? Section::Complete : Section::Truncated;
  }

  Section ResultsSection(ZoneResults& r, std::string& error) {
    ++pos_;  // "[SIMULATION RESULTS]"
    Section s;
    const std::string zoneName = "zone " + std::to_string(r.Zone);
    if ((s = Expect("TIME     LENGTH     TEMP", error, "the column names of the results")) != Section::Complete)
      return s;
    if ((s = Expect("(s)", error, "the units of the results")) != Section::Complete) return s;
    if (!AtEnd() && Trim(lines_[pos_]).empty()) ++pos_;
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

  std::vector<std::string_view> lines_;
  size_t pos_ = 0;
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

ResultFileRead ParseResultFile(std::string_view bytes) { return Parser(bytes).Run(); }

ResultFileRead ReadResultFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ResultFileRead read;
    read.Error = "it cannot be read";
    return read;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    ResultFileRead read;
    read.Error = "it cannot be read";
    return read;
  }
  return ParseResultFile(bytes);
}

}  // namespace kelvane
