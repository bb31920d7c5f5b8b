#pragma once
// The four tables of a marched zone as numbers rather than text: the rows the
// result file prints (every fifth step), at the film state's full precision.
// Hosts that keep results in memory (the Python module) use these; reading
// the result file back gives the same rows to its printed digits.

#include "engine/FilmState.h"
#include "files/ResultFileReader.h"
#include "engine/RunParameters.h"

namespace kelvane {

// Zone `zone` after `stepCount` steps, while the film state still holds its
// rows.  Units as in the result file: s, m within the zone, degC, g/cm3, %,
// cm; layer thicknesses in um; concentration profiles in g/cm3 at the
// surface (C0) and the ten sampled nodes down to the base film (C10).
ZoneResults SampledZoneResults(const RunSetup& setup, const FilmState& state, int zone, int stepCount);

}  // namespace kelvane
