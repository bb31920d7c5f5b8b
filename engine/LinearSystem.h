#pragma once
// Linear-system storage of the implicit diffusion step.

#include <array>

namespace kelvane {

// Linear-system storage of the implicit diffusion step: rows and columns
// 1..51, column n+1 holding the right-hand side.
constexpr int SystemSize = 51;
using SystemMatrix = std::array<std::array<double, SystemSize + 1>, SystemSize + 1>;
using SystemVector = std::array<double, SystemSize + 1>;

}  // namespace kelvane
