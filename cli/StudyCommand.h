#pragma once
// kelvane-run study, optimize and design: argv after the command's name.

namespace kelvane {

int StudyCommand(int argc, char** argv);
int OptimizeCommand(int argc, char** argv);
int DesignCommand(int argc, char** argv);

}  // namespace kelvane
