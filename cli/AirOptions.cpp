#include "cli/AirOptions.h"

#include <cstdio>

#include "air/AirSettingsText.h"

namespace kelvane {

namespace {

std::string Text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

void AirOptions::Add(CLI::App& app, bool zoneBalance) {
  roomOption_ = app.add_option("--room-temperature", room_,
                               "Temperature of the make-up air before it is heated, degC (default 20)")
                    ->type_name("DEGC");
  app.add_option("--exhaust", exhaust_,
                 "A zone's exhaust flow, m3/h at the zone's gas temperature for the whole web (needs "
                 "--web-width); repeatable, e.g. --exhaust 1=1200")
      ->type_name("ZONE=M3H")
      ->allow_extra_args(false);
  app.add_option("--lfl", lfl_, "The solvents' lower flammable limits at 25 degC, % by volume (default 1.1,2.0)")
      ->type_name("LFL1,LFL2");
  shareOption_ = app.add_option("--lfl-share", share_,
                                "The share of the LFL the exhaust may reach, % (default 25; 50 with a continuous "
                                "solvent-vapour monitor)")
                     ->type_name("PERCENT");
  if (zoneBalance)
    app.add_flag("--zone-balance", zoneBalance_,
                 "Each zone's gas carries what the coating gave off: its partial pressures follow from the "
                 "zone's balance with its --exhaust flow");
}

void AirOptions::AddTarget(CLI::App& app) {
  maxShareOption_ = app.add_option("--max-lfl-share", maxShareValue_,
                                   "Target: each zone given an --exhaust flow keeps it at most PERCENT of the "
                                   "solvents' LFL (the same as capping each zone's exhaust at that flow)")
                        ->type_name("PERCENT");
}

bool AirOptions::Given() const {
  return (roomOption_ && roomOption_->count()) || (shareOption_ && shareOption_->count()) || !lfl_.empty() ||
         !exhaust_.empty() || zoneBalance_;
}

bool AirOptions::Check(const char* program, bool webWidth) {
  AirSettings a;
  std::string why;
  auto refuse = [&](const char* option, const std::string& text) {
    std::fprintf(stderr, "%s: %s %s: %s\n", program, option, text.c_str(), why.c_str());
    return false;
  };
  a.RoomTemperature = room_;
  if (!CheckRoomTemperature(room_, why)) return refuse("--room-temperature", Text(room_));
  a.LflShare = share_;
  if (!CheckLflShare(share_, why)) return refuse("--lfl-share", Text(share_));
  if (!lfl_.empty() && !ReadLfls(lfl_, a.Lfl1, a.Lfl2, why)) return refuse("--lfl", lfl_);
  for (const std::string& e : exhaust_) {
    int zone = 0;
    double flow = 0;
    if (!ReadExhaust(e, zone, flow, why)) return refuse("--exhaust", e);
    if (a.ExhaustFlow[zone]) {
      why = "zone " + std::to_string(zone) + "'s exhaust is given twice";
      return refuse("--exhaust", e);
    }
    if (!webWidth) {
      why = "the flow is for the whole web: give the web's width with --web-width";
      return refuse("--exhaust", e);
    }
    a.ExhaustFlow[zone] = flow;
  }
  a.ZoneBalance = zoneBalance_;
  if (zoneBalance_ && exhaust_.empty()) {
    std::fprintf(stderr, "%s: --zone-balance: no zone has an exhaust flow; give them with --exhaust ZONE=M3H\n",
                 program);
    return false;
  }
  if (maxShareOption_ && maxShareOption_->count()) {
    if (!CheckLflShare(maxShareValue_, why)) return refuse("--max-lfl-share", Text(maxShareValue_));
    if (!a.AnyFlow()) {
      std::fprintf(stderr, "%s: --max-lfl-share: no zone has an exhaust flow to hold to it; give them with "
                   "--exhaust ZONE=M3H\n", program);
      return false;
    }
    maxShare_ = maxShareValue_;
  }
  settings_ = a;
  return true;
}

}  // namespace kelvane
