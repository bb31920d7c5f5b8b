#pragma once
// study --resume FILE: the earlier table read from its file, bounded and
// only when it is a regular file.  The new table goes through the staged
// writer like every other output (see files/StagedStream.h).

#include <optional>
#include <string>
#include <vector>

#include "study/StudyResume.h"

namespace kelvane {

// Fills `kept` (aligned with `rows`) from the table in `path`.  A missing
// file keeps nothing: the first attempt of a shard runs every row.  False,
// after a message, when the file cannot be read, is not a regular file, is
// far larger than a table of these rows, or is not a table of this study and
// shard.
bool LoadResumedTable(const std::string& path, const StudyDefinition& study, const std::vector<StudyRow>& rows,
                      std::vector<std::optional<RowResult>>& kept, bool quiet);

// The most bytes a table of `rows` rows is read to: a generous line per row.
std::size_t MaxResumedTableBytes(std::size_t rows);

}  // namespace kelvane
