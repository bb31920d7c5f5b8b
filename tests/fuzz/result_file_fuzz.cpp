// The result-file reader on any bytes: no crash, no undefined behaviour, and
// whatever it accepts holds only what a run can write.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "files/ResultFileReader.h"

using namespace kelvane;

namespace {

template <class Row>
bool Finite(const Row& values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ResultFileRead read = ParseResultFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.Ok) {
    FUZZ_CHECK(!read.Error.empty());
    return 0;
  }
  const ResultFileData& d = read.Data;
  FUZZ_CHECK(std::isfinite(d.IncrementZ) && d.IncrementZ > 0);
  FUZZ_CHECK(d.NumberOfLayers == 10 || d.NumberOfLayers == 20 || d.NumberOfLayers == 30 || d.NumberOfLayers == 40);
  FUZZ_CHECK(std::isfinite(d.WebSpeed) && std::isfinite(d.InitialTemperature));
  FUZZ_CHECK(!d.Conditions.empty());
  for (size_t i = 0; i < d.Conditions.size(); ++i) {
    const ZoneConditions& c = d.Conditions[i];
    FUZZ_CHECK(c.Zone == static_cast<int>(i) + 1);
    FUZZ_CHECK(Finite(std::initializer_list<double>{c.OuterTemperature, c.ZoneLength, c.PartialPressure1,
                                                    c.PartialPressure2, c.BaseHeatTransferCoeff,
                                                    c.CoatHeatTransferCoeff}));
  }
  int previous = 0;
  for (const ZoneResults& z : d.Zones) {
    FUZZ_CHECK(z.Zone > previous && z.Zone <= static_cast<int>(d.Conditions.size()));
    previous = z.Zone;
    FUZZ_CHECK(d.ConditionsOf(z.Zone) != nullptr);
    const size_t n = z.Rows.size();
    FUZZ_CHECK(n > 0 && z.Layers.size() == n && z.Solvent1.size() == n && z.Solvent2.size() == n);
    for (size_t r = 0; r < n; ++r) {
      const ResultRow& row = z.Rows[r];
      FUZZ_CHECK(Finite(std::initializer_list<double>{row.Time, row.Length, row.Temp, row.AvgConc1, row.AvgConc2,
                                                      row.SolRemain, row.CoatThick}));
      FUZZ_CHECK(Finite(z.Layers[r].Thick) && Finite(z.Solvent1[r].Conc) && Finite(z.Solvent2[r].Conc));
    }
    (void)d.ZoneStart(z.Zone);
  }
  return 0;
}
