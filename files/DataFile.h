#pragma once
// Data files: 141 labelled lines, one value per line after the first "=", in
// the order of the labelled lines of a 14-zone input echo.  The reader only
// puts texts into the enabled fields; the values are checked when a run
// starts.

#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineHost.h"
#include "fields/FieldTable.h"

namespace kelvane {

extern const char* const SelectOneDataFileMessage;  // "Select one data file! Please try again."
extern const char* const DataFileCannotOpenMessage;  // "Data file can not open!"

enum class DataFileStatus { Applied, CannotOpen, NotADataFile };

// '"' + file name + '" is not a correct data file!'
std::string NotADataFileMessage(const std::string& fileName);

// A data file's line is a label and a short value; a line longer than this
// is not a data file's (a file without line breaks, a binary file).
constexpr std::size_t MaxDataLineBytes = 65536;

struct DataFileLinesRead {
  enum class Status { Read, CannotOpen, LineTooLong };
  Status Result = Status::Read;
  std::string Reason;  // the system's reason, or which line is too long
};

// Reads the first 141 lines of a file as raw 8-bit text (LF or CR LF; a lone
// CR is dropped; 0x1A ends the file; missing lines read as empty).  Only a
// regular file is read, and no line beyond MaxDataLineBytes.
DataFileLinesRead ReadDataFileLines(const std::string& path, std::vector<std::string>& lines);
// The same from bytes already in memory.
DataFileLinesRead DataFileLinesFromBytes(std::string_view bytes, std::vector<std::string>& lines);

// Checks all 141 lines, then puts each value (decoded from Shift_JIS) into
// the enabled field of its line.  Shows the "not a correct data file"
// message naming `displayName` and changes nothing when a line has no "=",
// a value holds a control byte, or the file is UTF-16 or UTF-32 text (a
// byte-order mark; the reason on a second line).
DataFileStatus ApplyDataFile(const std::vector<std::string>& lines, const std::string& displayName,
                             FieldTexts& fields, EngineHost& messages);

// The whole load of "Input Data File" once a file was chosen: read, check,
// apply, with the reader's messages.  A file that cannot be read shows
// "Data file can not open!" with the file and the system's reason on a
// second line; a line far too long shows the "not a correct data file"
// message with the line's number.
DataFileStatus InputDataFile(const std::string& path, FieldTexts& fields, EngineHost& messages);
// The same, and for an applied file the lines whose label belongs to
// another line and the fixed fields whose value in the file is not used
// (CheckDataFile), one text each, in `warnings`.
DataFileStatus InputDataFile(const std::string& path, FieldTexts& fields, EngineHost& messages,
                             std::vector<std::string>& warnings);

// Writes the current field texts as a 141-line data file (Shift_JIS, CR LF)
// that InputDataFile reads back to the same texts.  False on an I/O error.
// The file is replaced whole or not at all: a failed write leaves an
// earlier file of that name as it was.
// The texts are written as they stand (already in the locale's form); the
// separator is not used.  A text that could not be read back unchanged (it
// holds a space or a control byte, or a character without a Shift_JIS form)
// is refused before the file is touched.
bool WriteDataFile(const std::string& path, const FieldTexts& fields, char decimalSeparator = '.');

// WriteDataFile with the reason of a refusal.
struct DataFileWriteResult {
  enum class Status { Ok, UnwritableText, OpenFailed, WriteFailed };
  Status Result = Status::Ok;
  std::string Field;  // component whose text was refused (UnwritableText)
  int ErrorCode = 0;  // errno (OpenFailed, WriteFailed)
  std::string Reason;  // the reason, for OpenFailed and WriteFailed
};
DataFileWriteResult WriteDataFileChecked(const std::string& path, const FieldTexts& fields);

}  // namespace kelvane
