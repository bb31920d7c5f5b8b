#pragma once
// The one description of the window's 142 input fields: component name,
// record member, unit, caption, default text, whether the user may edit it,
// and its line in a data file.  The window, the parameter reading, the
// data-file reader and writer and the headless runner all work from it.

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
