#include "summary/OutcomeLead.h"

#include <cstdio>
#include <set>

namespace kelvane {
namespace {

struct Fired {
  std::set<int> Zones;
  bool Any = false;
};

Fired Collect(const RunSummary& s, WarningKind kind) {
  Fired f;
  for (const Warning& w : s.Warnings) {
    if (w.Kind != kind) continue;
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
  if (const Fired boil = Collect(s, WarningKind::Boiling); boil.Any)
    lead = "Blister risk: the coating boils in " + ZonesText(boil.Zones);
  if (const Fired hot = Collect(s, WarningKind::FilmTemperatureLimit); hot.Any && s.Settings.MaxFilmTemperature) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "%g \u00b0C", *s.Settings.MaxFilmTemperature);
    lead += (lead.empty() ? "" : " \u00b7 ") + std::string("Film over ") + limit + " in " + ZonesText(hot.Zones);
  }
  return lead;
}

}  // namespace kelvane
