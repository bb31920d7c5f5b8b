// A data file of any bytes, split into lines, applied to the field table and
// read as run parameters, as "Input Data File" followed by OK does: no crash,
// no undefined behaviour; a refused file changes no field; an applied file
// leaves the greyed fields and the save file name alone.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CountingHost.h"
#include "FuzzCheck.h"
#include "engine/Faults.h"
#include "files/DataFile.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  const DataFileLinesRead split =
      DataFileLinesFromBytes(std::string_view(reinterpret_cast<const char*>(data), size), lines);
  FUZZ_CHECK(lines.size() == static_cast<size_t>(DataFileLineCount));
  for (const std::string& line : lines) FUZZ_CHECK(line.size() <= MaxDataLineBytes);
  if (split.Result != DataFileLinesRead::Status::Read) return 0;

  static const FieldTextMap defaults;
  FieldTextMap fields;
  CountingHost host;
  const DataFileStatus status = ApplyDataFile(lines, "fuzz.dat", fields, host);
  if (status != DataFileStatus::Applied) {
    FUZZ_CHECK(host.messages == 1);
    FUZZ_CHECK(fields.All() == defaults.All());
    return 0;
  }
  FUZZ_CHECK(host.messages == 0);
  for (const FieldSpec& f : FieldTable())
    if (!f.Enabled || f.DataLine == 0) FUZZ_CHECK(fields.Text(f.Component) == f.DefaultText);

  RunSetup setup;
  PrepareArithmetic();
  try {
    ReadRunParameters(fields, host, setup);
  } catch (const GeneralError&) {
    return 0;  // a zone text that is no number: the general error report
  }
  FUZZ_CHECK(host.messages <= 1);
  FUZZ_CHECK(setup.InputAccepted == (host.messages == 0));
  return 0;
}
