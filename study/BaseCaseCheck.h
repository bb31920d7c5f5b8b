#pragma once
// A study's base case read as a run would read it, before any row runs: a
// field no --vary sets that the reading refuses would refuse every row for
// the same reason, so the study is refused instead, as a single run is.

#include <optional>
#include <string>

#include "engine/EngineHost.h"
#include "study/Optimize.h"
#include "study/StudyDefinition.h"

namespace kelvane {

struct BaseCaseRefusal {
  std::string Message;   // the window's message, word for word
  MessageDetail Detail;  // its explanation and the field concerned
};

// The refusal of the base case with the study's first row set, when the
// field it names is not varied; none when the base case reads, or when the
// refused field is one the rows vary (each row then answers for itself).
std::optional<BaseCaseRefusal> RefusedBaseCase(const StudyDefinition& study);

// The same for a search over `fields` and the web speed (a design): the
// base case as it stands, a refused field the search sets left to it.
std::optional<BaseCaseRefusal> RefusedSearchBase(const FieldTextMap& base, const std::vector<SearchedField>& fields);

}  // namespace kelvane
