#pragma once
// A file written bit by bit (a table whose rows arrive one by one) that
// still replaces an earlier file whole: the rows go to a StagedFile's
// temporary file, which takes the final name when the stream is closed.  A
// stream that failed keeps an earlier file as it was; without one, the rows
// written take the name, as the result file's partial zones do.

#include <cstdio>
#include <memory>
#include <string>

#include "files/StagedFile.h"

namespace kelvane {

class StagedStream {
 public:
  // False after nothing was created; Reason() says why.  With
  // `newFileInPlace`, a file that does not exist yet is created under its
  // own name (never over a file that appears meanwhile) and its rows are
  // there as they are written, for a reader after a hard kill.
  bool Open(const std::string& path, bool newFileInPlace = false);
  // Writes and flushes fail quietly; Close reports them.
  void Write(const std::string& text);
  void Flush();
  // Closes the file and gives it its name.  False when any write, the close
  // or the move failed; Reason() says why.
  bool Close();
  bool IsOpen() const { return f_ != nullptr; }
  const std::string& Reason() const { return reason_; }
  ~StagedStream();

 private:
  void Fail(int error);
  std::unique_ptr<StagedFile> file_;
  std::FILE* f_ = nullptr;
  int error_ = 0;
  std::string reason_;
};

}  // namespace kelvane
