#include "air/AirSettingsText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kelvane {

namespace {

// The whole text as one finite number.
bool Number(const std::string& text, double& v) {
  if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno == 0 && std::isfinite(v);
}

}  // namespace

bool CheckExhaustFlow(double flow, std::string& why) {
  if (std::isfinite(flow) && flow > 0) return true;
  why = "the exhaust flow must be a number of m³/h above 0";
  return false;
}

bool CheckRoomTemperature(double T, std::string& why) {
  if (std::isfinite(T) && T > -273.15 && T < 1000) return true;
  why = "the room temperature must be a number of °C above -273.15 and below 1000";
  return false;
}

bool CheckLfl(double lfl, std::string& why) {
  if (std::isfinite(lfl) && lfl > 0 && lfl < 100) return true;
  why = "an LFL must be a number of % by volume above 0 and below 100";
  return false;
}

bool CheckLflShare(double share, std::string& why) {
  if (std::isfinite(share) && share > 0 && share <= 100) return true;
  why = "the allowed share must be a number of % of the LFL above 0 and at most 100";
  return false;
}

bool ReadExhaust(const std::string& text, int& zone, double& flow, std::string& why) {
  const auto eq = text.find('=');
  double k = 0;
  if (eq == std::string::npos || !Number(text.substr(0, eq), k) || k != std::floor(k) || k < 1 ||
      k > AirMaxZones) {
    why = "expected ZONE=M3H with a zone from 1 to 14, e.g. 1=1200";
    return false;
  }
  if (!Number(text.substr(eq + 1), flow)) {
    why = "expected ZONE=M3H with the flow a number of m³/h, e.g. 1=1200";
    return false;
  }
  zone = static_cast<int>(k);
  return CheckExhaustFlow(flow, why);
}

bool ReadLfls(const std::string& text, double& lfl1, double& lfl2, std::string& why) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || !Number(text.substr(0, comma), lfl1) || !Number(text.substr(comma + 1), lfl2)) {
    why = "expected the two solvents' LFLs in % by volume, e.g. 1.1,2.0";
    return false;
  }
  return CheckLfl(lfl1, why) && CheckLfl(lfl2, why);
}

}  // namespace kelvane
