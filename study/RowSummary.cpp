// The row's columns from the stored film state: the solvent remaining at the
// last complete step and the highest film temperature met on the way.

#include "study/RowSummary.h"

#include <algorithm>

namespace kelvane {

const std::vector<SummaryColumn>& SummaryColumns() {
  static const std::vector<SummaryColumn> columns = {
      {"final_residual_percent", "%"},
      {"max_film_temperature_c", "degC"},
      {"min_boiling_margin_mmhg", "mmHg"},
  };
  return columns;
}

int SummaryColumnIndex(const std::string& name) {
  const auto& c = SummaryColumns();
  for (std::size_t i = 0; i < c.size(); ++i)
    if (name == c[i].Name) return static_cast<int>(i);
  return -1;
}

void RowSummarizer::Attach(RunOptions&) {
  zone_ = 0;
  seen_ = 0;
  maxTemp_.reset();
  margin_.reset();
}

void RowSummarizer::Progress(const Calculation& calc, int zone, int step) {
  if (zone != zone_) {
    zone_ = zone;
    seen_ = 0;
    if (zone == 1) {
      maxTemp_ = calc.State.FilmTemp[0];
      Margin(calc, 0);
    }
  }
  for (int j = seen_ + 1; j <= step; ++j) {
    maxTemp_ = std::max(maxTemp_.value_or(calc.State.FilmTemp[j]), calc.State.FilmTemp[j]);
    Margin(calc, j);
  }
  seen_ = std::max(seen_, step);
}

// 760 mmHg less the coating's bubble pressure at the face on the base film,
// where the coating stays wettest: both solvents' equilibrium partial
// pressures at that node's composition and the film temperature.
void RowSummarizer::Margin(const Calculation& calc, int row) {
  const RunParameters& p = calc.Params();
  const FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  const double T = s.FilmTemp[row];
  const double phi1 = s.VolFrac1[row][N], phi2 = s.VolFrac2[row][N];
  const auto P1 = SurfacePartialPressureAt(VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, T), phi1, phi2,
                                           s.MolarVolume1, s.MolarVolume2, p.Chi1p, p.Chi2p, p.Chi12);
  const auto P2 = SurfacePartialPressureAt(VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, T), phi2, phi1,
                                           s.MolarVolume2, s.MolarVolume1, p.Chi2p, p.Chi1p, p.Chi12);
  if (!P1 || !P2) return;
  const double m = 760.0 - (*P1 + *P2);
  if (!margin_ || m < *margin_) margin_ = m;
}

SummaryValues RowSummarizer::Finish(const Calculation& calc, const RunReport& report) {
  SummaryValues v(SummaryColumns().size());
  const FilmState& s = calc.State;
  int last = 0;  // the last complete row of the zone being marched
  switch (report.Outcome) {
    case RunOutcome::Refused:
    case RunOutcome::GeneralError:
    case RunOutcome::FileError: return v;
    case RunOutcome::Finished:
      // The last zone's exit has been carried over into row 0.
      Progress(calc, calc.CurrentZone, 0);
      v[0] = s.SolRemain[0];
      v[1] = maxTemp_ ? std::max(*maxTemp_, s.FilmTemp[0]) : s.FilmTemp[0];
      v[2] = margin_;
      return v;
    case RunOutcome::Cancelled: last = s.LastStep; break;
    case RunOutcome::EngineFailed:
    case RunOutcome::ArithmeticFault: last = s.LastStep - 1; break;  // the failed step wrote nothing
  }
  if (s.RowCapacity == 0 || calc.CurrentZone < 1 || last < 0) return v;
  Progress(calc, calc.CurrentZone, last);
  v[0] = s.SolRemain[last];
  v[1] = maxTemp_;
  v[2] = margin_;
  return v;
}

}  // namespace kelvane
