#pragma once
// A file that is replaced whole or not at all.  Its new content is written
// under a temporary name in the same folder and moved over the final name
// when the writer is done, so a crash, a kill or a full disk in the middle
// leaves the earlier file as it was.  A final name that exists but is not a
// regular file (a device such as /dev/null) is written in place, as is a
// file whose folder does not let a temporary file be created.

#include <string>

namespace kelvane {

class StagedFile {
 public:
  explicit StagedFile(std::string finalPath);
  // An uncommitted temporary file is removed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file (empty).  False when neither it nor the
  // final file can be written; errno then holds the reason.
  bool Open();
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

 private:
  std::string final_;
  std::string temp_;
  bool staged_ = false;
  bool existed_ = false;
};

}  // namespace kelvane
