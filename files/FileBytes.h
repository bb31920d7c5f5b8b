#pragma once
// Whole-file byte output with POSIX calls, so that a file that cannot be
// opened is told apart from a write that fails after it opened.

#include <string>

#include "files/ResultFile.h"

namespace kelvane {

// Opens `path` for writing with the extra open flags `openFlags` (O_CREAT,
// O_TRUNC, O_APPEND), writes `bytes` whole and closes it again.
WriteResult WriteFileBytes(const std::string& path, int openFlags, const std::string& bytes);

}  // namespace kelvane
