// kelvane-run: see cli/RunnerMain.cpp.

#include "cli/RunnerMain.h"

int main(int argc, char** argv) { return kelvane::RunnerMain(argc, argv); }
