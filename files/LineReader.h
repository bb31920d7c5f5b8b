#pragma once
// The lines of a text, one at a time: from bytes at hand, or read from a
// file block by block so that only the current line and one block are held
// however long the file.  A line ends at LF; a CR before it is dropped; a
// last line without LF counts when it holds any byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

class InputFile;

class LineReader {
 public:
  // The lines of `bytes`, which must outlive the reader.
  explicit LineReader(std::string_view bytes);
  // `start` (bytes already read from the file), then the rest of `file`, of
  // which at most `limit` bytes in all are taken.
  LineReader(std::string start, InputFile& file, long long limit);

  bool AtEnd() const { return atEnd_; }
  // The current line, valid until the next Advance.
  std::string_view Current() const { return current_; }
  // Whether no line follows the current one.
  bool IsLast() const { return next_ >= data_.size(); }
  // The current line's number from 0.
  std::size_t Index() const { return index_; }
  void Advance();

  // The file could not be read to its end (its reason kept by the file).
  bool ReadFailed() const { return readFailed_; }
  // The file holds more than the limit.
  bool TooLarge() const { return tooLarge_; }

 private:
  void Find(std::size_t start);
  bool Fill(std::size_t& begin);

  InputFile* file_ = nullptr;
  long long limit_ = 0, taken_ = 0;
  std::string buffer_;     // the bytes read and not yet passed (a file's)
  std::string_view data_;  // the bytes the lines are cut from
  std::string_view current_;
  std::size_t next_ = 0;   // where the line after the current one begins
  std::size_t index_ = 0;
  bool atEnd_ = false, readFailed_ = false, tooLarge_ = false;
};

}  // namespace kelvane
