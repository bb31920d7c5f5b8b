#include "files/DataFile.h"

#include <array>
#include <cstdio>
#include <fcntl.h>

#include "files/CodePage932.h"
#include "files/DataFileChecks.h"
#include "files/FileBytes.h"
#include "files/StagedFile.h"
#include "files/InputFile.h"
#include "files/LabelLine.h"

namespace kelvane {

const char* const SelectOneDataFileMessage = "Select one data file! Please try again.";
const char* const DataFileCannotOpenMessage = "Data file can not open!";

std::string NotADataFileMessage(const std::string& fileName) {
  return "\"" + fileName + "\" is not a correct data file!";
}

namespace {

constexpr char kEndOfFile = '\x1A';

// Splits the byte stream into lines: LF or CR LF ends a line, a CR not
// followed by LF is dropped, 0x1A ends the file.
class LineSplitter {
 public:
  explicit LineSplitter(std::vector<std::string>& lines) : lines_(lines) {}

  // Takes the next bytes; false once no more input is wanted (the lines are
  // complete, or one of them grew beyond any data file's).
  bool Feed(const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (Done()) return false;
      const char c = p[i];
      if (pendingCr_) {
        pendingCr_ = false;
        if (c == '\n') {
          ++current_;
          continue;
        }
      }
      if (c == kEndOfFile) {
        ended_ = true;
        return false;
      }
      if (c == '\r') {
        pendingCr_ = true;
      } else if (c == '\n') {
        ++current_;
      } else {
        // Copy the run of ordinary bytes in one piece; lines may be long.
        std::size_t j = i;
        while (j < n && p[j] != '\r' && p[j] != '\n' && p[j] != kEndOfFile) ++j;
        std::string& line = lines_[current_];
        if (j - i > MaxDataLineBytes - line.size()) {
          tooLong_ = true;
          return false;
        }
        line.append(p + i, j - i);
        i = j - 1;
      }
    }
    return !Done();
  }

  // The 1-based number of a line longer than MaxDataLineBytes, or 0.
  int TooLongLine() const { return tooLong_ ? static_cast<int>(current_) + 1 : 0; }

 private:
  bool Done() const { return ended_ || tooLong_ || current_ >= lines_.size(); }

  std::vector<std::string>& lines_;
  std::size_t current_ = 0;
  bool pendingCr_ = false;
  bool ended_ = false;
  bool tooLong_ = false;
};

// The value of a line: the text after the first "=", leading spaces removed,
// cut before the first space that remains.  Only ' ' is a space here.
std::string LineValue(const std::string& line, std::size_t equals) {
  std::size_t begin = line.find_first_not_of(' ', equals + 1);
  if (begin == std::string::npos) return {};
  const std::size_t end = line.find(' ', begin);
  return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

}  // namespace

namespace {

DataFileLinesRead Finish(const LineSplitter& splitter) {
  if (const int line = splitter.TooLongLine())
    return {DataFileLinesRead::Status::LineTooLong,
            "line " + std::to_string(line) + " is longer than " + std::to_string(MaxDataLineBytes) + " bytes"};
  return {};
}

}  // namespace

DataFileLinesRead ReadDataFileLines(const std::string& path, std::vector<std::string>& lines) {
  lines.assign(DataFileLineCount, std::string());
  InputFile file(path);
  if (!file.IsOpen()) return {DataFileLinesRead::Status::CannotOpen, file.Reason()};

  LineSplitter splitter(lines);
  std::array<char, 65536> buffer;
  for (;;) {
    const long n = file.Read(buffer.data(), buffer.size());
    if (n < 0) return {DataFileLinesRead::Status::CannotOpen, file.Reason()};
    if (n == 0 || !splitter.Feed(buffer.data(), static_cast<std::size_t>(n))) break;
  }
  return Finish(splitter);
}

DataFileLinesRead DataFileLinesFromBytes(std::string_view bytes, std::vector<std::string>& lines) {
  lines.assign(DataFileLineCount, std::string());
  LineSplitter splitter(lines);
  splitter.Feed(bytes.data(), bytes.size());
  return Finish(splitter);
}

DataFileStatus ApplyDataFile(const std::vector<std::string>& lines, const std::string& displayName,
                             FieldTexts& fields, EngineHost& messages) {
  // Every line is checked before the first field changes, so a refused file
  // leaves the fields as they were.
  std::vector<std::string> values(DataFileLineCount + 1);
  // Text of another encoding: every other byte of UTF-16 is NUL, so its
  // values would go into the fields with NULs in them.
  if (!lines.empty()) {
    const std::string_view first = lines.front();
    const char* encoding = first.starts_with(std::string_view("\0\0\xFE\xFF", 4)) || first.starts_with(std::string_view("\xFF\xFE\0\0", 4))
                               ? "UTF-32"
                           : first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF") ? "UTF-16"
                                                                                              : nullptr;
    if (encoding) {
      messages.ShowMessage(NotADataFileMessage(displayName) + "\nit is " + encoding +
                           " text (it begins with a byte-order mark); a data file is Shift_JIS");
      return DataFileStatus::NotADataFile;
    }
  }
  for (int i = 1; i <= DataFileLineCount; ++i) {
    static const std::string missing;
    const std::string& line = static_cast<std::size_t>(i) <= lines.size() ? lines[i - 1] : missing;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      messages.ShowMessage(NotADataFileMessage(displayName));
      return DataFileStatus::NotADataFile;
    }
    values[i] = LineValue(line, equals);
    if (const std::size_t at = ControlByteAt(values[i]); at != std::string::npos) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(values[i][at]));
      messages.ShowMessage(NotADataFileMessage(displayName) + "\nline " + std::to_string(i) +
                           " holds the control byte " + code + " in its value");
      return DataFileStatus::NotADataFile;
    }
  }

  for (int i = 1; i <= DataFileLineCount; ++i) {
    const FieldSpec& field = FieldForDataLine(i);
    // The greyed fields keep their texts; "Save File Name" has no line.
    if (!field.Enabled) continue;
    fields.SetText(field.Component, Cp932ToUtf8(values[i]));
  }
  return DataFileStatus::Applied;
}

DataFileStatus InputDataFile(const std::string& path, FieldTexts& fields, EngineHost& messages) {
  std::vector<std::string> warnings;
  return InputDataFile(path, fields, messages, warnings);
}

DataFileStatus InputDataFile(const std::string& path, FieldTexts& fields, EngineHost& messages,
                             std::vector<std::string>& warnings) {
  warnings.clear();
  std::vector<std::string> lines;
  const DataFileLinesRead read = ReadDataFileLines(path, lines);
  // The faithful message first; the file and the reason on a line of their
  // own.
  switch (read.Result) {
    case DataFileLinesRead::Status::Read: break;
    case DataFileLinesRead::Status::CannotOpen:
      messages.ShowMessage(std::string(DataFileCannotOpenMessage) + "\n" + path + ": " + read.Reason);
      return DataFileStatus::CannotOpen;
    case DataFileLinesRead::Status::LineTooLong:
      messages.ShowMessage(NotADataFileMessage(path) + "\n" + read.Reason);
      return DataFileStatus::NotADataFile;
  }
  const DataFileStatus status = ApplyDataFile(lines, path, fields, messages);
  if (status == DataFileStatus::Applied) warnings = CheckDataFile(lines, fields);
  return status;
}

DataFileWriteResult WriteDataFileChecked(const std::string& path, const FieldTexts& fields) {
  using Status = DataFileWriteResult::Status;
  // The whole file is composed first: a refused text leaves any existing
  // file untouched.
  std::string bytes;
  for (int i = 1; i <= DataFileLineCount; ++i) {
    const FieldSpec& field = FieldForDataLine(i);
    const std::string text = fields.Text(field.Component);
    // The reader would cut the value at a space, end the line at CR or LF
    // and the file at 0x1A, and refuses other control bytes: such a text
    // cannot come back as it went out.
    std::string encoded;
    if (text.find(' ') != std::string::npos || ControlByteAt(text) != std::string::npos ||
        !Utf8ToCp932(text, encoded))
      return {Status::UnwritableText, field.Component, 0, {}};
    bytes += LabelPrefix(field);
    bytes += encoded;
    bytes += "\r\n";
  }
  const StagedWriteResult r = WriteStagedFile(path, bytes);
  switch (r.Status) {
    case WriteStatus::Ok: return {};
    case WriteStatus::OpenFailed: return {Status::OpenFailed, {}, r.ErrorCode, r.Reason};
    case WriteStatus::WriteFailed: break;
  }
  return {Status::WriteFailed, {}, r.ErrorCode, r.Reason};
}

bool WriteDataFile(const std::string& path, const FieldTexts& fields, char /*decimalSeparator*/) {
  return WriteDataFileChecked(path, fields).Result == DataFileWriteResult::Status::Ok;
}

}  // namespace kelvane
