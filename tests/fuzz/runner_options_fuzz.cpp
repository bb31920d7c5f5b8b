// kelvane-run's command line, every sub-command, read in-process: no crash,
// no undefined behaviour, no hang, a status of 0 (it would run), 1 (refused)
// or 64 (a wrong command line), and nothing written while reading it.

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "cli/RunnerMain.h"

using namespace kelvane;

namespace {

std::string scratch;

bool ScratchEmpty() {
  DIR* dir = ::opendir(scratch.c_str());
  if (!dir) return false;
  int entries = 0;
  while (const dirent* e = ::readdir(dir)) entries += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
  ::closedir(dir);
  return entries == 0;
}

}  // namespace

// Every relative path of the command lines lands in an empty folder of its own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/kelvane-fuzz-options-XXXXXX";
  if (!::mkdtemp(name) || ::chdir(name) != 0) std::abort();
  scratch = name;
  std::atexit([] { ::rmdir(scratch.c_str()); });
  return 0;
}

// The input: the words after the program's name, separated by NUL bytes
// (the one byte no word of a command line can hold).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words = {"kelvane-run"};
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (size > 0) words.push_back(word);
  if (words.size() > 64) return 0;
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  RunnerOptions options;
  options.OptionsOnly = true;
  const int status = RunnerMain(static_cast<int>(words.size()), argv.data(), options);
  FUZZ_CHECK(status == 0 || status == 1 || status == 64);
  FUZZ_CHECK(ScratchEmpty());
  return 0;
}
