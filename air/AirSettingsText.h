#pragma once
// The air's settings as typed: an exhaust "ZONE=M3H" (e.g. "1=1200"), the
// two LFLs "1.1,2.0", and single numbers.  Each reader returns false with the
// reason, in words an engineer reads; the caller names the field or option.

#include <string>

#include "air/AirModel.h"

namespace kelvane {

bool ReadExhaust(const std::string& text, int& zone, double& flow, std::string& why);
bool ReadLfls(const std::string& text, double& lfl1, double& lfl2, std::string& why);
// A flow for one zone, m^3/h; false with the reason.
bool CheckExhaustFlow(double flow, std::string& why);
bool CheckRoomTemperature(double T, std::string& why);
bool CheckLfl(double lfl, std::string& why);
bool CheckLflShare(double share, std::string& why);

}  // namespace kelvane
