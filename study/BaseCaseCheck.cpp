#include "study/BaseCaseCheck.h"

#include "engine/Faults.h"
#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

// Keeps the first message the reading shows, with its explanation.
class FirstMessage : public EngineHost {
 public:
  void ShowMessage(const std::string& text) override { ShowExplainedMessage(text, {}); }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    if (Seen) return;
    Seen = BaseCaseRefusal{text, detail};
  }
  std::optional<BaseCaseRefusal> Seen;
};

bool Varied(const StudyDefinition& study, const std::string& component) {
  for (const VariedField& v : study.Varied)
    if (v.Field && v.Field->Component == component) return true;
  return false;
}

}  // namespace

std::optional<BaseCaseRefusal> RefusedBaseCase(const StudyDefinition& study) {
  FieldTextMap fields = study.Base;
  if (RowCount(study) > 0) {
    const StudyRow first = RowAt(study, 1);
    for (std::size_t i = 0; i < study.Varied.size() && i < first.Values.size(); ++i)
      if (const FieldSpec* f = study.Varied[i].Field) fields.SetText(f->Component, first.Values[i]);
  }
  FirstMessage host;
  RunSetup setup;
  try {
    ReadRunParameters(fields, host, setup);
  } catch (const FieldTextError& e) {
    if (!host.Seen) host.Seen = BaseCaseRefusal{e.what(), {"", e.Field, false}};
  } catch (const GeneralError& e) {
    if (!host.Seen) host.Seen = BaseCaseRefusal{e.what(), {}};
  }
  if (setup.InputAccepted || !host.Seen) return std::nullopt;
  // A refusal that names no field, or a field the rows vary, is each row's
  // own to report.
  if (host.Seen->Detail.Field.empty() || Varied(study, host.Seen->Detail.Field)) return std::nullopt;
  return host.Seen;
}

std::optional<BaseCaseRefusal> RefusedSearchBase(const FieldTextMap& base, const std::vector<SearchedField>& fields) {
  StudyDefinition s;
  s.Base = base;
  for (const SearchedField& f : fields) s.Varied.push_back(f.Field);
  s.Varied.push_back(ParseVaried("WebSpeed=0"));
  // No row: the texts stand as given, each searched field only named.
  for (VariedField& v : s.Varied) v.Values.clear();
  return RefusedBaseCase(s);
}

}  // namespace kelvane
