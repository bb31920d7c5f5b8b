#pragma once
// What a study runs: a base case (the field texts of one run) and the fields
// varied over it, each with its list of texts.  The rows are the cartesian
// product of the varied values in a fixed order (the first varied field
// changes slowest), numbered from 1; a shard K/N takes every N-th row
// starting at row K, so that N shards together hold each row exactly once.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fields/FieldTable.h"

namespace kelvane {

struct VariedField {
  std::string Name;                 // as the user wrote it: "Edit7", "WebSpeed", "OuterTemperature[2]"
  const FieldSpec* Field = nullptr;  // the field it names
  std::vector<std::string> Values;  // field texts, in the order given
};

struct StudyDefinition {
  FieldTextMap Base;                // every field's text for the base case
  std::vector<VariedField> Varied;  // empty: one row, the base case
};

// One row of a study: its number in the whole table (1-based) and the text
// of each varied field, in the order of StudyDefinition::Varied.
struct StudyRow {
  std::size_t Number = 0;
  std::vector<std::string> Values;
};

// The values of a --vary: "60,70,80" (texts kept as written) or
// "start:stop:step" inclusive of stop (within a millionth of a step).  Range
// values are written with as many decimals as the most precise of the three
// texts.  Throws std::invalid_argument with a message naming the problem.
std::vector<std::string> ExpandValues(std::string_view text);

// "NAME=VALUES" with NAME a field name or a record name.  Throws
// std::invalid_argument naming the field or the text at fault.
VariedField ParseVaried(std::string_view text);

// Number of rows of the whole study: the product of the value counts.
std::size_t RowCount(const StudyDefinition& study);

// Row `number` (1..RowCount) of the study.
StudyRow RowAt(const StudyDefinition& study, std::size_t number);

struct Shard {
  int K = 1;  // 1..N
  int N = 1;
};

// "K/N" with 1 <= K <= N.  Throws std::invalid_argument.
Shard ParseShard(std::string_view text);

// The rows of shard K/N, in table order: numbers K, K+N, K+2N, ...
std::vector<StudyRow> ShardRows(const StudyDefinition& study, Shard shard);

// The field texts of one row: the base case with the row's values set.
FieldTextMap RowFields(const StudyDefinition& study, const StudyRow& row);

// Largest number of rows a study may have.
constexpr std::size_t MaxStudyRows = 1000000;

}  // namespace kelvane
