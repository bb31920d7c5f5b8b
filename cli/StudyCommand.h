#pragma once
// kelvane-run study and kelvane-run optimize: argv after the command's name.

namespace kelvane {

int StudyCommand(int argc, char** argv);
int OptimizeCommand(int argc, char** argv);

}  // namespace kelvane
