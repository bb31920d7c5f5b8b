#pragma once
// The steps the robust surface solve took over, as thin upright ticks along
// the top of a chart along the web: apart from the curves, so that a run
// with thousands of rescued steps shows a row of ticks and never a band
// over the film temperature.

#include <QColor>
#include <vector>

class QScatterSeries;

namespace kelvane::ui {

// The ticks' colour, in the chart and in its legend.
QColor RescuedTickColour();

// A series named "Rescued steps" with a tick at each of `xs` (along the web)
// at height `y`; ticks closer than a thousandth of `span` are drawn once.
QScatterSeries* RescuedTicks(std::vector<double> xs, double span, double y);

}  // namespace kelvane::ui
