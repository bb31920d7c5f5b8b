#pragma once
// The fuzz targets' engine host: counts the messages the readers show.

#include <string>

#include "engine/EngineHost.h"

class CountingHost : public kelvane::EngineHost {
 public:
  void ShowMessage(const std::string&) override { ++messages; }
  int messages = 0;
};
