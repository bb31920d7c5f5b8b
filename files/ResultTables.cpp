#include "files/ResultTables.h"

#include <stdexcept>
#include <string>

namespace kelvane {

ZoneResults SampledZoneResults(const RunSetup& setup, const FilmState& st, int k, int S) {
  const RunParameters& p = setup.Params;
  const int layers = p.TotalLayerCount - 4;
  if (layers < 10 || layers > 40 || layers % 10 != 0)
    throw std::invalid_argument("layer count " + std::to_string(p.TotalLayerCount) + " has no result tables");
  if (k < 1 || k > MaxZones) throw std::out_of_range("zone " + std::to_string(k));
  // Ten sampled layers, eleven sampled nodes, as the printed tables.
  const int u = layers / 10;
  const int lastRow = S < 0 ? -1 : S - S % 5;
  const auto rows = static_cast<std::size_t>(lastRow + 1);
  if (lastRow >= 0 && (st.RunTime[k].size() < rows || st.FilmTemp.size() < rows || st.LayerThick.size() < rows ||
                       st.VolFrac1.size() < rows || st.VolFrac2.size() < rows || st.SolRemain.size() < rows))
    throw std::out_of_range("film state holds fewer rows than the zone's steps");

  ZoneResults z;
  z.Zone = k;
  for (int s = 0; s <= lastRow; s += 5) {
    ResultRow r;
    r.Time = st.RunTime[k][s];
    r.Length = static_cast<double>(static_cast<long double>(s) * p.IncrementZ / 100.0L);
    r.Temp = st.FilmTemp[s];
    r.AvgConc1 = st.AvgConc1[s];
    r.AvgConc2 = st.AvgConc2[s];
    r.SolRemain = st.SolRemain[s];
    r.CoatThick = st.CoatThick[s];
    z.Rows.push_back(r);

    // TH1 is the surface slice (grid layers 1..5) taken as one layer.
    const NodeRow& th = st.LayerThick[s];
    LayerRow l{r.Time, r.Length, {}};
    long double slice = th[1];
    for (int m = 2; m <= 5; ++m) slice += th[m];
    l.Thick[0] = static_cast<double>(static_cast<long double>(static_cast<double>(slice)) * 10000.0L);
    for (int j = 2; j <= 10; ++j)
      l.Thick[j - 1] = static_cast<double>(static_cast<long double>(th[(j - 1) * u + 5]) * 10000.0L);
    z.Layers.push_back(l);

    auto profile = [&](const ProfileTable& volFrac, double density) {
      ProfileRow c{r.Time, r.Length, {}};
      for (int j = 0; j <= 10; ++j) {
        const int node = j == 0 ? 0 : j * u + 4;
        c.Conc[j] = static_cast<double>(static_cast<long double>(volFrac[s][node]) * density);
      }
      return c;
    };
    z.Solvent1.push_back(profile(st.VolFrac1, p.Density1));
    z.Solvent2.push_back(profile(st.VolFrac2, p.Density2));
  }
  return z;
}

}  // namespace kelvane
