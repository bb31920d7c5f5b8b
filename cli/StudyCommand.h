#pragma once
// kelvane-run study, optimize and design: argv after the command's name.

#include "cli/RunnerMain.h"

namespace kelvane {

int StudyCommand(int argc, char** argv, const RunnerOptions& runner);
int OptimizeCommand(int argc, char** argv, const RunnerOptions& runner);
int DesignCommand(int argc, char** argv, const RunnerOptions& runner);

}  // namespace kelvane
