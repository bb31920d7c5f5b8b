#include "study/SearchChecks.h"

#include "fields/FieldTable.h"

namespace kelvane {

std::string OverFieldClash(const std::vector<SearchedField>& searched, const VariedField& field) {
  if (field.Field && field.Field == FindField("WebSpeed"))
    return "the web speed is what the design finds; give its bounds with --speed (speed= in Python)";
  for (const SearchedField& s : searched)
    if (field.Field && s.Field.Field == field.Field)
      return field.Name + " is searched already (as " + s.Field.Name + ")";
  return {};
}

std::string WhyNoRunCounted(const std::vector<RowResult>& runs) {
  std::size_t refused = 0, failed = 0;
  const RowResult* firstRefused = nullptr;
  const RowResult* firstFailed = nullptr;
  for (const RowResult& r : runs) {
    if (r.Outcome == RowOutcome::Finished) return {};
    if (r.Outcome == RowOutcome::Refused) refused++, firstRefused = firstRefused ? firstRefused : &r;
    if (r.Outcome == RowOutcome::Failed) failed++, firstFailed = firstFailed ? firstFailed : &r;
  }
  if (refused + failed == 0) return {};
  auto first = [](const RowResult* r) {
    std::string m = r->Message.empty() ? std::string("no message") : "\"" + r->Message + "\"";
    if (!r->Explanation.empty()) m += " — " + r->Explanation;
    return m;
  };
  std::string text = "not one of the " + std::to_string(runs.size()) + " runs finished, so none could meet the targets";
  if (refused) text += "; " + std::to_string(refused) + " were refused, the first with " + first(firstRefused);
  if (failed) text += "; " + std::to_string(failed) + " failed, the first with " + first(firstFailed);
  return text;
}

}  // namespace kelvane
