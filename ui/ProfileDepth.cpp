#include "ui/ProfileDepth.h"

#include <algorithm>
#include <cmath>

namespace kelvane::ui {

std::array<double, 11> NodeHeights(const LayerRow& layers, double coatThickCm, int numberOfLayers) {
  const int u = std::clamp(numberOfLayers / 10, 1, 4);
  // Depth below the surface of every node, layers 1..5 as one slice.
  auto layer = [&](int m) {
    const int j = std::clamp(static_cast<int>(std::nearbyint(static_cast<double>(m - 5) / u)) + 1, 2, 10);
    return layers.Thick[j - 1];
  };
  std::array<double, 11> below{};
  double depth = layers.Thick[0];
  int node = 5;
  for (int c = 1; c <= 10; ++c) {
    const int target = c * u + 4;
    while (node < target) depth += layer(++node);
    below[c] = depth;
  }
  const double total = coatThickCm * 1e4;
  const double scale = below[10] > 0 ? total / below[10] : 1.0;
  std::array<double, 11> heights{};
  for (int c = 0; c <= 10; ++c) heights[c] = std::max(0.0, total - below[c] * scale);
  heights[10] = 0;
  return heights;
}

}  // namespace kelvane::ui
