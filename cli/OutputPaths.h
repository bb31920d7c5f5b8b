#pragma once
// Checks of the files a command is asked to write, made before anything is
// written: two outputs that are one file would destroy each other (the last
// written wins, or their lines interleave), so such a command line is
// refused as wrong.

#include <string>
#include <vector>

namespace kelvane {

struct NamedOutput {
  std::string Option;  // "-o", "--summary-json", ...
  std::string Path;    // empty or "-": not written to a file
};

// False after a message on standard error when two of `outputs` resolve to
// the same file (through symbolic links, "./" or another spelling of the
// folder).  Devices and pipes (/dev/null) may be named more than once.
bool DistinctOutputs(const std::string& command, const std::vector<NamedOutput>& outputs);

// False after a message when `file` would lie inside the folder `folder`
// (where a study writes its row files).
bool OutsideFolder(const std::string& command, const NamedOutput& file, const NamedOutput& folder);

// False after a message when an output cannot be written now (its folder
// missing or closed to new files, the name a folder, no temporary beside an
// existing file): checked before a long search, so that its answer is not
// lost to a file that was never going to be written.  Nothing is left behind.
bool OutputsWritable(const std::string& command, const std::vector<NamedOutput>& outputs);

}  // namespace kelvane
