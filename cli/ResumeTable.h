#pragma once
// study --resume FILE: the earlier table read from its file, and the new
// table written beside it under a temporary name and renamed over it when
// complete, so that a resumed shard killed hard leaves the earlier table as
// it was.

#include <optional>
#include <string>
#include <vector>

#include "study/StudyResume.h"

namespace kelvane {

// Fills `kept` (aligned with `rows`) from the table in `path`.  A missing
// file keeps nothing: the first attempt of a shard runs every row.  False,
// after a message, when the file cannot be read or is not a table of this
// study and shard.
bool LoadResumedTable(const std::string& path, const StudyDefinition& study, const std::vector<StudyRow>& rows,
                      std::vector<std::optional<RowResult>>& kept, bool quiet);

// The temporary name beside `path` under which its new table is written
// when `path` holds an earlier file; otherwise `path` itself.
std::string StagingPath(const std::string& path);

// Renames `staged` over `path` when `ok`; otherwise, or when the rename
// fails (after a message), removes `staged` and returns false.
bool CommitStaged(const std::string& staged, const std::string& path, bool ok);

}  // namespace kelvane
