#pragma once
// Film averages and the smoothing fit of the profiles.

#include <array>
#include <cstdint>

#include "engine/FilmState.h"
#include "engine/LinearSystem.h"

namespace kelvane {

class Calculation;

struct FilmAverages {
  double AvgConc1 = 0, AvgConc2 = 0, AvgPolymerConc = 0, CoatThick = 0;
};
// Returns false when a fit could not be solved (the message is shown through
// the host); the averages are valid either way.  fit1/fit2 are written only
// by successful fits.
bool FitFilmProfiles(Calculation& calc, const NodeRow& phi1, const NodeRow& phi2, int N, const NodeRow& dz,
                     NodeRow& fit1, NodeRow& fit2, FilmAverages& avg);
using SmallMatrix = std::array<std::array<double, SystemSize + 1>, SystemSize + 1>;
bool SolveSmallSystem(uint8_t m, uint8_t n, SmallMatrix& A, SystemVector& b, SystemVector& x);

}  // namespace kelvane
