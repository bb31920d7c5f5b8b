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

// Each writes to the file named setup.SaveFileName, or, in the second form,
// to `path` (the temporary file of a staged result).
WriteResult WriteInputEcho(const RunSetup& setup, char decimalSeparator = '.');
WriteResult WriteInputEcho(const std::string& path, const RunSetup& setup, char decimalSeparator = '.');
WriteResult AppendZoneConditions(const std::string& path, const RunSetup& setup, int zone,
                                 char decimalSeparator = '.');
WriteResult AppendZoneResults(const std::string& path, const RunSetup& setup, const FilmState& state, int zone,
                              int stepCount, char decimalSeparator = '.');
WriteResult AppendZoneConditions(const RunSetup& setup, int zone, char decimalSeparator = '.');
WriteResult AppendZoneResults(const RunSetup& setup, const FilmState& state, int zone, int stepCount,
                              char decimalSeparator = '.');

// The last line of a run that was cancelled (the window's Cancel, an
// interrupt of the runner): after the zones completed and the conditions of
// the zone that was stopped.  Runs that finish or fail on their own never
// carry it.
extern const char* const CancelledMark;  // "  [CALCULATION CANCELLED]"
WriteResult AppendCancelledMark(const RunSetup& setup);
WriteResult AppendCancelledMark(const std::string& path);

}  // namespace kelvane
