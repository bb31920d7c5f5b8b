#pragma once
// The name a user most likely meant when a typed name is unknown: for "did
// you mean --summary-json?" and misspelt field names.

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The candidate closest to `typed` in edits (insertions, deletions,
// substitutions and swaps of neighbours, letter case ignored), when it is
// close enough to be a slip: at most a third of the typed letters, and at
// least one. Empty when none is.
std::string NearestName(std::string_view typed, const std::vector<std::string>& candidates);

// Among the field names and record names of the field table.
std::string NearestFieldName(std::string_view typed);

// "no field is named \"Webspeed\" (did you mean WebSpeed?)"; without a near
// name, `where` in brackets when given ("kelvane-run --help lists them").
std::string NoSuchField(std::string_view typed, std::string_view where = {});

}  // namespace kelvane
