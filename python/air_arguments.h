#pragma once
// The dryer's air from the Python keywords of run() and design(): the web
// width, the room temperature, each zone's exhaust, the LFLs and their share,
// the zone balance.  A refusal names the keyword.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <map>
#include <string>

#include "air/AirSettingsText.h"
#include "summary/RunSummary.h"

namespace kelvane {

namespace py = pybind11;

inline SummarySettings AirFrom(const py::dict& air) {
  SummarySettings s;
  std::string why;
  auto refuse = [&](const char* name) { throw py::value_error(std::string(name) + ": " + why); };
  if (air.contains("web_width") && !air["web_width"].is_none()) {
    const double w = air["web_width"].cast<double>();
    if (!(std::isfinite(w) && w > 0)) {
      why = "a width above 0 m, or None";
      refuse("web_width");
    }
    s.WebWidth = w;
  }
  AirSettings& a = s.Air;
  if (air.contains("room_temperature")) {
    a.RoomTemperature = air["room_temperature"].cast<double>();
    if (!CheckRoomTemperature(a.RoomTemperature, why)) refuse("room_temperature");
  }
  if (air.contains("lfl")) {
    const auto l = air["lfl"].cast<std::pair<double, double>>();
    a.Lfl1 = l.first, a.Lfl2 = l.second;
    if (!CheckLfl(a.Lfl1, why) || !CheckLfl(a.Lfl2, why)) refuse("lfl");
  }
  if (air.contains("lfl_share")) {
    a.LflShare = air["lfl_share"].cast<double>();
    if (!CheckLflShare(a.LflShare, why)) refuse("lfl_share");
  }
  if (air.contains("exhaust") && !air["exhaust"].is_none()) {
    for (const auto& [zone, flow] : air["exhaust"].cast<std::map<int, double>>()) {
      if (zone < 1 || zone > AirMaxZones) {
        why = "zone " + std::to_string(zone) + " is not a zone from 1 to 14";
        refuse("exhaust");
      }
      if (!CheckExhaustFlow(flow, why)) refuse("exhaust");
      if (!s.WebWidth) {
        why = "the flow is for the whole web: give web_width";
        refuse("exhaust");
      }
      a.ExhaustFlow[zone] = flow;
    }
  }
  a.ZoneBalance = air.contains("zone_balance") && air["zone_balance"].cast<bool>();
  if (a.ZoneBalance && !a.AnyFlow()) {
    why = "no zone has an exhaust flow; give them with exhaust={zone: m3_per_h}";
    refuse("zone_balance");
  }
  return s;
}

}  // namespace kelvane
