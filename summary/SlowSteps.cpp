#include "summary/SlowSteps.h"

#include <cstdio>

#include "engine/MiscCalc.h"

namespace kelvane {

namespace {

// 3512345 -> "3 512 345", as the guide writes counts.
std::string Grouped(long long n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace

SlowSteps SlowStepsOf(const Statistics& stats) {
  SlowSteps slow;
  slow.RunTrials = stats.Trials;
  for (int z = 1; z <= MaxZones; ++z) {
    const Statistics::HardSteps& h = stats.Hard[z];
    if (h.Count == 0) continue;
    slow.Zones.push_back({z, h.Count, h.Fewest, h.Most, h.Trials});
    slow.HardTrials += h.Trials;
  }
  if (!(4 * slow.HardTrials >= slow.RunTrials && slow.HardTrials > 0)) slow.Zones.clear();
  return slow;
}

std::string SlowStepsText(const SlowSteps& slow) {
  if (slow.Zones.empty()) return "";
  std::string text = "Where the time went: ";
  for (std::size_t i = 0; i < slow.Zones.size(); ++i) {
    const SlowZone& z = slow.Zones[i];
    if (i > 0) text += ", ";
    text += "zone " + std::to_string(z.Zone) + ": ";
    if (z.Steps == 1)
      text += "1 step needed " + Grouped(z.Most) + " trials";
    else if (z.Fewest == z.Most)
      text += Grouped(z.Steps) + " steps needed " + Grouped(z.Most) + " trials each";
    else
      text += Grouped(z.Steps) + " steps needed " + Grouped(z.Fewest) + "–" + Grouped(z.Most) + " trials each";
  }
  const double share = slow.RunTrials > 0 ? 100.0 * static_cast<double>(slow.HardTrials) / static_cast<double>(slow.RunTrials) : 0;
  char tail[96];
  std::snprintf(tail, sizeof tail, " (%.0f %% of the run's ", share);
  return text + tail + Grouped(slow.RunTrials) + " trials).";
}

}  // namespace kelvane
