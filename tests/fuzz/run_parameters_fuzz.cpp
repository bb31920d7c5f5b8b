// Reading run parameters from any field texts: no crash, no undefined
// behaviour, at most one message, and an accepted reading describes a
// dryer the march can go through.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "CountingHost.h"
#include "FuzzCheck.h"
#include "engine/Faults.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"

using namespace kelvane;

// The input: a decimal-mark byte, then records of a field byte (which field,
// modulo the table) and that field's new text up to a line feed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char separator = data[0] & 1 ? ',' : '.';
  const auto& table = FieldTable();
  FieldTextMap fields;
  for (size_t i = 1; i < size;) {
    const FieldSpec& field = table[data[i] % table.size()];
    size_t end = i + 1;
    while (end < size && data[end] != '\n') ++end;
    fields.SetText(field.Component, std::string(reinterpret_cast<const char*>(data) + i + 1, end - i - 1));
    i = end + 1;
  }

  CountingHost host;
  RunSetup setup;
  PrepareArithmetic();
  try {
    ReadRunParameters(fields, host, setup, separator);
  } catch (const GeneralError&) {
    return 0;
  }
  FUZZ_CHECK(host.messages <= 1);
  FUZZ_CHECK(setup.InputAccepted == (host.messages == 0));
  if (!setup.InputAccepted) return 0;
  FUZZ_CHECK(setup.ZoneCount >= 1 && setup.ZoneCount <= MaxZones);
  const int layers = setup.Params.TotalLayerCount - 4;
  FUZZ_CHECK(layers == 10 || layers == 20 || layers == 30 || layers == 40);
  FUZZ_CHECK(!setup.SaveFileName.empty());
  for (int k = 1; k <= setup.ZoneCount; ++k) FUZZ_CHECK(setup.ZoneStepCount[k] <= 8001);
  return 0;
}
