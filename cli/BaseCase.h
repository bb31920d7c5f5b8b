#pragma once
// The base case of the study and optimize commands, given as for one run:
// the window's default texts, then --data, then each --set.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "fields/FieldTable.h"

namespace kelvane {

struct BaseCaseOptions {
  std::string DataFile;
  std::vector<std::string> Settings;  // NAME=TEXT
  bool Robust = false;  // accepted for scripts; the robust solve is the default
  bool Plain = false;   // the seed's plain march instead
  bool Literal = false;
  bool Quiet = false;
};

// Adds --data, --set, --plain, --robust, --literal and --quiet to a command.
void AddBaseCaseOptions(CLI::App& app, BaseCaseOptions& options);

// Applies them to `fields`; false after a message on standard error.
bool ApplyBaseCase(const BaseCaseOptions& options, FieldTextMap& fields);

}  // namespace kelvane
