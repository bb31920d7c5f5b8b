#pragma once
// Where the sampled nodes of a result file's concentration tables lie in
// the coating, as depth above the base film in um.  The layer table prints
// the surface slice and every u-th layer below it; a layer that is not
// printed is taken as thick as the nearest printed one, and the depths are
// scaled so that the surface lies at the coating's printed thickness.

#include <array>

#include "files/ResultFileReader.h"

namespace kelvane::ui {

// Depths of C0 (the free surface) .. C10 (the base film, depth 0), um.
std::array<double, 11> NodeHeights(const LayerRow& layers, double coatThickCm, int numberOfLayers);

}  // namespace kelvane::ui
