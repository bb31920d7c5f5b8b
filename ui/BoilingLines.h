#pragma once
// The temperatures a boiling warning is measured against, for the film
// temperature chart: a solvent's normal boiling point (the above-boiling-
// point caution) as a level line, and the coating's bubble point at the base
// film (the blister risk: the temperature at which the solvents' equilibrium
// pressure there reaches 760 mmHg) along the web.  Drawn only where the
// summary holds such a warning.

#include <functional>
#include <vector>

#include "files/ResultFileReader.h"
#include "summary/RunSummary.h"

class QLineSeries;

namespace kelvane::ui {

// Dashed series along the web (time or position); empty without a boiling
// warning.
std::vector<QLineSeries*> BoilingLines(const RunTrace& trace, const RunSummary& summary, bool time,
                                       const ResultFileData& data);

// The bubble point at the base film along the web, dashed, `x` placing each
// point of the trace; null where it is not found anywhere.
QLineSeries* BubblePointLine(const RunTrace& trace, const std::function<double(int zone, const TracePoint&)>& x);

// The temperature at which the bubble pressure of the base-film composition
// (phi1, phi2) reaches 760 mmHg, degC; NaN when it does not between -100
// and 500 degC.
double BubblePoint(const RunParameters& p, double phi1, double phi2);

}  // namespace kelvane::ui
