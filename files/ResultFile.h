#pragma once
// The result file: the input echo, each later zone's conditions and each
// marched zone's four tables, written byte for byte (Shift_JIS, CR LF).
// Every operation opens the file, writes its section and closes it.

#include <string>

#include "engine/FilmState.h"
#include "engine/RunParameters.h"

namespace kelvane {

enum class WriteStatus {
  Ok,
  OpenFailed,   // the file could not be created / opened for appending
  WriteFailed,  // it opened, but a write failed (disk full, ...)
};

struct WriteResult {
  WriteStatus Status = WriteStatus::Ok;
  int ErrorCode = 0;  // errno of the failed operation
};

WriteResult WriteInputEcho(const RunSetup& setup, char decimalSeparator = '.');
WriteResult AppendZoneConditions(const RunSetup& setup, int zone, char decimalSeparator = '.');
WriteResult AppendZoneResults(const RunSetup& setup, const FilmState& state, int zone, int stepCount,
                              char decimalSeparator = '.');

}  // namespace kelvane
