#pragma once
// Opening a file that the program reads (a data file, a result file) so that
// no input can hang it or make it read without end: only a regular file is
// read (a FIFO without a writer would block for ever, /dev/zero never ends),
// the open itself does not wait, and every failure carries the system's
// reason in words.

#include <cstddef>
#include <string>

namespace kelvane {

class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // Why the file cannot be read: the system's text ("No such file or
  // directory", "File name too long", ...) or "not a regular file".
  const std::string& Reason() const { return reason_; }
  // The file's size when it was opened, bytes.
  long long Size() const { return size_; }

  // Reads up to `n` bytes; 0 at the end of the file, -1 on an error (with
  // the reason kept).
  long Read(char* buffer, std::size_t n);

 private:
  int fd_ = -1;
  long long size_ = 0;
  std::string reason_;
};

}  // namespace kelvane
