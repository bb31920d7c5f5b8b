#pragma once
// Label lines of the input echo, shared by the result file and the data
// file: leading spaces, the label, spaces up to a fixed "=" column, "=" and
// two spaces; the value follows.  All columns count Shift_JIS bytes.

#include <string>
#include <string_view>

#include "fields/FieldTable.h"

namespace kelvane {

enum class LabelGroup {
  L58,  // 4 leading spaces, "=" at byte column 56: properties, fitting, accuracy
  L44,  // 8 leading spaces, "=" at byte column 42: diffusion parameters F1..F11
  L57,  // 4 leading spaces, "=" at byte column 55: film on entry and zone conditions
};

LabelGroup LabelGroupOf(const FieldSpec& field);

// The line up to its value for a label already in Shift_JIS.  A label too
// long for its group is written whole and "=" follows it directly.
std::string LabelPrefix(LabelGroup group, std::string_view sjisLabel);

// The same for a field of the table, its echo label encoded to Shift_JIS.
std::string LabelPrefix(const FieldSpec& field);

}  // namespace kelvane
