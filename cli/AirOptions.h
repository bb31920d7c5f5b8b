#pragma once
// The dryer's air on the command line: --room-temperature, --exhaust
// ZONE=M3H (repeatable), --lfl, --lfl-share and, for a single run,
// --zone-balance.  Each refusal names its option.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "air/AirModel.h"

namespace kelvane {

class AirOptions {
 public:
  void Add(CLI::App& app, bool zoneBalance);
  // The searches' target: --max-lfl-share PERCENT for the zones given a flow.
  void AddTarget(CLI::App& app);
  std::optional<double> MaxShare() const { return maxShare_; }
  // False after a message on stderr naming the option; `webWidth` tells
  // whether the command has a web width (the flows are for the whole web).
  bool Check(const char* program, bool webWidth);
  const AirSettings& Settings() const { return settings_; }
  // Some air option was given.
  bool Given() const;

 private:
  double room_ = 20.0, share_ = 25.0;
  std::string lfl_;
  std::vector<std::string> exhaust_;
  bool zoneBalance_ = false;
  std::optional<double> maxShare_;
  double maxShareValue_ = 0;
  CLI::Option* maxShareOption_ = nullptr;
  CLI::Option* roomOption_ = nullptr;
  CLI::Option* shareOption_ = nullptr;
  AirSettings settings_;
};

}  // namespace kelvane
