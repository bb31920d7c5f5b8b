#pragma once
// A file that is replaced whole or not at all.  Its new content is written
// under a temporary name in the same folder and moved over the final name
// when the writer is done, so a crash, a kill or a full disk in the middle
// leaves the earlier file as it was.
//
// A final name that is a symbolic link is followed: the temporary file goes
// beside the file the link leads to and replaces that file, so the link
// stays a link.  A final name that exists but is not a regular file (a
// device such as /dev/null, a pipe) is written in place.  An existing file
// beside which no temporary file can be made (a folder that lets the file
// be written but nothing be created) is refused: writing it in place would
// lose it to a kill or a full disk.

#include <string>

#include "files/ResultFile.h"

namespace kelvane {

class StagedFile {
 public:
  explicit StagedFile(std::string finalPath);
  // An uncommitted temporary file is removed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file (empty).  False when an existing file cannot
  // be replaced whole (no temporary file beside it); errno then holds the
  // reason.  A new file whose temporary cannot be made is written in place:
  // the writer's own open then reports why the folder takes no file.
  bool Open();
  // A final name that does not exist yet is then written in place rather
  // than under a temporary name: a table whose finished rows must survive a
  // hard kill of its first writer.  An existing file is still replaced whole.
  void WriteNewFileInPlace(bool inPlace) { newInPlace_ = inPlace; }
  // True when `path` names an existing regular file.
  static bool RegularFileExists(const std::string& path);
  // Where the writer writes: the temporary file, or the final one when it
  // is written in place.
  const std::string& Path() const { return staged_ ? temp_ : final_; }
  const std::string& FinalPath() const { return final_; }
  bool Staged() const { return staged_; }
  // True when the final name held a file before Open.
  bool Existed() const { return existed_; }
  // Moves the temporary file over the final name.  False with errno set
  // when the move fails (the temporary file is then removed).
  bool Commit();
  // Removes the temporary file; the final name keeps its earlier content.
  void Discard();
  // The reason of a failure with errno `error`; after a refused Open it
  // says that no temporary file could be made and that the earlier file is
  // kept.
  std::string Describe(int error) const;

 private:
  std::string final_;
  std::string target_;  // final_ with symbolic links followed
  std::string temp_;
  int slot_ = -1;  // the temporary's entry in the list a fatal signal clears
  bool staged_ = false;
  bool existed_ = false;
  bool noTemporary_ = false;
  bool newInPlace_ = false;
};

// The name a file is written under once symbolic links are followed and the
// folder is made absolute and canonical where it exists, so that two names
// of one file compare equal.  `path` itself when it cannot be resolved.
std::string ResolvedOutputPath(const std::string& path);

// Removes every temporary file of this process not yet committed or
// discarded.  Async-signal-safe: for a signal that ends the process at once.
void RemoveStagedFilesNow();

// Writes `bytes` as the whole new content of `path` through a StagedFile.
// On failure nothing new is left under the name (the earlier file, if any,
// is kept) and `Reason` holds the reason (StagedFile::Describe).
struct StagedWriteResult {
  WriteStatus Status = WriteStatus::Ok;
  int ErrorCode = 0;
  std::string Reason;
};
StagedWriteResult WriteStagedFile(const std::string& path, const std::string& bytes);

}  // namespace kelvane
