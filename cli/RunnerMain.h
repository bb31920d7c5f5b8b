#pragma once
// kelvane-run as a function, so that it can be called in-process (by the
// fuzzing of its command line) as well as from main().  It returns the exit
// status; nothing below it ends the process.

namespace kelvane {

struct RunnerOptions {
  // Stop once the command line is read and checked, before any calculation
  // runs and before any file or folder is written: 0 for a command line
  // that would run, else the status it gets (1 refused, 64 wrong).
  bool OptionsOnly = false;
};

int RunnerMain(int argc, char** argv, const RunnerOptions& runner = {});

}  // namespace kelvane
