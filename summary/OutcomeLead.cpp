#include "summary/OutcomeLead.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace kelvane {
namespace {

struct Fired {
  std::set<int> Zones;
  double Worst = 0;
  bool Any = false;
};

Fired Collect(const RunSummary& s, WarningKind kind) {
  Fired f;
  for (const Warning& w : s.Warnings) {
    if (w.Kind != kind) continue;
    f.Worst = f.Any ? std::max(f.Worst, std::max(w.Worst, w.Value)) : std::max(w.Worst, w.Value);
    f.Any = true;
    f.Zones.insert(w.At.Zone);
  }
  return f;
}

// "zone 1", "zones 1–3", "zones 1, 4"
std::string ZonesText(const std::set<int>& zones) {
  std::string text = zones.size() == 1 ? "zone " : "zones ";
  const int first = *zones.begin(), last = *zones.rbegin();
  if (zones.size() > 2 && last - first + 1 == static_cast<int>(zones.size()))
    return text + std::to_string(first) + "\u2013" + std::to_string(last);
  bool comma = false;
  for (int z : zones) {
    text += (comma ? ", " : "") + std::to_string(z);
    comma = true;
  }
  return text;
}

}  // namespace

std::string OutcomeLead(const RunSummary& s) {
  std::string lead;
  char buf[160];
  if (const Fired boil = Collect(s, WarningKind::Boiling); boil.Any) {
    std::snprintf(buf, sizeof buf, " (up to %.0f mmHg at the base film)", boil.Worst);
    lead = "Blister risk: the coating boils in " + ZonesText(boil.Zones) + buf;
  }
  if (const Fired hot = Collect(s, WarningKind::FilmTemperatureLimit); hot.Any && s.Settings.MaxFilmTemperature) {
    std::snprintf(buf, sizeof buf, "Film above its limit of %g \u00b0C in ", *s.Settings.MaxFilmTemperature);
    std::string words = buf + ZonesText(hot.Zones);
    std::snprintf(buf, sizeof buf, " (up to %.1f \u00b0C)", hot.Worst);
    lead += (lead.empty() ? "" : " \u00b7 ") + words + buf;
  }
  return lead;
}

}  // namespace kelvane
