#pragma once
// The one description of the window's 142 input fields: component name,
// record member, unit, caption, default text, whether the user may edit it,
// and its line in a data file.  The window, the parameter reading, the
// data-file reader and writer and the headless runner all work from it.

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

enum class FieldGroup {
  General,      // Edit1..Edit6: the film on entry
  Zone,         // six fields per zone
  Fitting,      // Edit201..Edit207
  Polymer,      // Edit211, Edit212
  Solvent1,     // Edit221..Edit228
  Solvent2,     // Edit231..Edit238
  BaseFilm,     // Edit241, Edit242
  Diffusion1,   // Edit251..Edit261
  Diffusion2,   // Edit271..Edit281
  Accuracy,     // Edit19, Edit20
  SaveFile,     // Edit250
};

// An interval of field values; Low may be excluded (a quantity that must be
// positive).
struct ValueRange {
  double Low = -HUGE_VAL;
  double High = HUGE_VAL;
  bool LowOpen = false;
  bool Contains(double v) const { return (LowOpen ? v > Low : v >= Low) && v <= High; }
  bool Bounded() const { return Low != -HUGE_VAL || High != HUGE_VAL; }
};

struct FieldSpec {
  std::string Component;    // "Edit19"
  std::string Member;       // record member: "IncrementZ", "OuterTemperature[2]"
  std::string Unit;         // "cm", "-", ...
  std::string Caption;      // the window's label, UTF-8, without the two leading blanks
  std::string DefaultText;  // the field's initial text
  bool Enabled = true;      // false for the twelve greyed fields
  int DataLine = 0;         // line 1..141 in a data file; 0 for "Save File Name"
  std::string EchoLabel;    // label of the value's line in the result file's echo (UTF-8)
  FieldGroup Group = FieldGroup::General;
  int Zone = 0;             // 1..14 for zone fields, else 0
  int Index = 0;            // position within its zone (1..6) or F number (1..11)
  // Outside Valid a value is accepted by the reading but makes no physical
  // sense or lies far beyond the model's range: a plausibility warning.
  // Typical is what coated-film dryers usually see (tooltips, --help).
  ValueRange Valid{};
  ValueRange Typical{};
  std::string Meaning{};    // one English sentence on what the field is
  std::string Allowed{};    // the only values accepted, where only some are: "10, 20, 30 or 40"
};

// All 142 fields: general, zone 1 .. zone 14, fitting, properties,
// diffusion parameters, accuracy, save file name.
const std::vector<FieldSpec>& FieldTable();

// Lookup by component name ("Edit19") or by record member ("IncrementZ",
// "OuterTemperature[2]", "DiffParams1[5]").  Null when unknown.
const FieldSpec* FindField(std::string_view name);

// The field that data-file line `line` (1..141) fills.
const FieldSpec& FieldForDataLine(int line);

// Component name of zone k's field number `index` (1 = outer temperature ..
// 6 = coat-side coefficient): Edit7..Edit12 for zone 1, Edit(10k+index) else.
std::string ZoneComponent(int zone, int index);

constexpr int DataFileLineCount = 141;

// The position of the first control byte (below 0x20 but a tab, or 0x7F:
// NUL, line ends, escape) in a field text, or npos.  No field's text holds
// one; a text that does was read from something that is not text (a UTF-16
// file, a binary file) and would be cut or misread along the way.  A tab is
// text, and a data file's value keeps it as the seed's reader does.
inline std::size_t ControlByteAt(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) < 0x20 && text[i] != '\t') || text[i] == 0x7F) return i;
  return std::string_view::npos;
}

// The window's page of a field, 0-based: 0 "Zone Cond. (1)" .. 4 "General
// Cond. (2)", and the page captions.
int FieldPage(const FieldSpec& f);
constexpr int FieldPageCount = 5;
const char* PageCaption(int page);
// The group box that holds the field: "Zone 3", "Solvent-1", "Calculation
// Accuracy", ...
std::string FieldGroupCaption(const FieldSpec& f);

// Where the window (or a test, or the runner) keeps the field texts.  Texts
// are UTF-8.
class FieldTexts {
 public:
  virtual ~FieldTexts() = default;
  virtual std::string Text(std::string_view component) const = 0;
  virtual void SetText(std::string_view component, const std::string& text) = 0;
};

// Field texts held in a map, starting from the window's default texts.
class FieldTextMap : public FieldTexts {
 public:
  FieldTextMap();  // every field at its default text
  std::string Text(std::string_view component) const override;
  void SetText(std::string_view component, const std::string& text) override;
  const std::map<std::string, std::string, std::less<>>& All() const { return texts_; }

 private:
  std::map<std::string, std::string, std::less<>> texts_;
};

}  // namespace kelvane
