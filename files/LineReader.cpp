#include "files/LineReader.h"

#include <utility>

#include "files/InputFile.h"

namespace kelvane {

namespace {
constexpr std::size_t BlockBytes = 65536;
}

LineReader::LineReader(std::string_view bytes) : data_(bytes) { Find(0); }

LineReader::LineReader(std::string start, InputFile& file, long long limit)
    : file_(&file), limit_(limit), buffer_(std::move(start)) {
  taken_ = static_cast<long long>(buffer_.size());
  tooLarge_ = taken_ > limit_;
  data_ = buffer_;
  Find(0);
}

void LineReader::Advance() {
  if (atEnd_) return;
  ++index_;
  Find(next_);
}

// Appends one block of the file to the bytes at hand, first dropping those
// before `begin` (the lines already passed), which then becomes 0; false at
// the end of the file, on a read error or past the limit.
bool LineReader::Fill(std::size_t& begin) {
  if (!file_ || readFailed_ || tooLarge_) return false;
  buffer_.erase(0, begin);
  begin = 0;
  const std::size_t had = buffer_.size();
  buffer_.resize(had + BlockBytes);
  const long n = file_->Read(buffer_.data() + had, BlockBytes);
  buffer_.resize(had + (n > 0 ? static_cast<std::size_t>(n) : 0));
  data_ = buffer_;
  if (n < 0) readFailed_ = true;
  if (n <= 0) return false;
  taken_ += n;
  if (taken_ > limit_) {
    tooLarge_ = true;
    return false;
  }
  return true;
}

// Cuts the line that begins at `begin`, reading on until its LF and one
// byte past it (so that IsLast is known).
void LineReader::Find(std::size_t begin) {
  // An empty line that is not the last: the quick case of a run of blank lines.
  if (begin + 1 < data_.size() && data_[begin] == '\n') {
    next_ = begin + 1;
    current_ = data_.substr(begin, 0);
    return;
  }
  std::size_t length = 0;  // of the line, up to its LF or the end of the bytes
  bool ended = false;      // by an LF
  for (std::size_t scanned = 0;;) {
    const std::size_t lf = data_.find('\n', begin + scanned);
    if (lf != std::string_view::npos) {
      length = lf - begin;
      ended = true;
      break;
    }
    scanned = data_.size() - begin;
    if (!Fill(begin)) {
      length = scanned;
      break;
    }
  }
  next_ = begin + length + (ended ? 1 : 0);
  if (ended && next_ >= data_.size() && Fill(begin)) next_ = length + 1;
  atEnd_ = begin >= data_.size();
  current_ = data_.substr(begin, length);
  if (!current_.empty() && current_.back() == '\r') current_.remove_suffix(1);
}

}  // namespace kelvane
