#pragma once
// Resuming a study from its earlier table: the rows that finished, failed or
// were refused are kept as they stand (their line is the line the run
// wrote, byte for byte), and only the rows that were cancelled, never run,
// hit a file error or are missing run again.  The table written then is the
// table of an uninterrupted run.
//
// An earlier table is trusted only as far as it proves itself: its header
// must be this study's, every row must be a row of this shard with this
// study's values, and every line must be exactly the line this program
// writes for the row it describes.  Only a last line cut off without its
// line end (a process killed in the middle of a write) is dropped and run
// again.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "study/StudyRun.h"

namespace kelvane {

// Whether a row with this outcome stands in a resumed table.
bool KeptOnResume(RowOutcome outcome);

// The rows of `text` (an earlier CSV table of `study`) to keep, aligned with
// `rows` (the rows this run would make): a kept row's result, or nothing
// where the row must run.  Empty text keeps nothing.  Throws
// std::invalid_argument saying which line does not belong to this table.
std::vector<std::optional<RowResult>> KeptRows(const StudyDefinition& study, const std::vector<StudyRow>& rows,
                                               std::string_view text);

// The rows still to run: those of `rows` without a kept result, in order.
std::vector<StudyRow> RowsToRun(const std::vector<StudyRow>& rows,
                                const std::vector<std::optional<RowResult>>& kept);

// The whole table in row order: the kept rows, and the results of the rows
// run (`ran`, aligned with RowsToRun).
std::vector<RowResult> MergeResumed(const std::vector<std::optional<RowResult>>& kept,
                                    const std::vector<RowResult>& ran);

}  // namespace kelvane
