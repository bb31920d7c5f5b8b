#pragma once
// Helpers shared by the result-file and data-file tests: a run set-up built
// from field texts without the parameter reading, a scratch folder, and
// byte-level file access.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/EngineHost.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"
#include "engine/RunParameters.h"
#include "tests/support/DefaultSetup.h"

namespace kelvane::filetest {

// The record member that a field fills, or null for the two non-real fields.
inline double* MemberSlot(RunParameters& p, const FieldSpec& f) { return RealMember(p, f.Member); }

// A set-up as an accepted reading of `texts` would give it (number fields
// only; zones in use up to the first empty outer temperature).
inline RunSetup SetupFromTexts(const FieldTexts& texts) {
  RunSetup s;
  for (const FieldSpec& f : FieldTable()) {
    const std::string t = texts.Text(f.Component);
    if (double* slot = MemberSlot(s.Params, f); slot && !t.empty()) *slot = std::strtod(t.c_str(), nullptr);
  }
  s.Params.TotalLayerCount = std::atoi(texts.Text("Edit20").c_str()) + 4;
  s.SaveFileName = texts.Text("Edit250");
  s.ZoneCount = 1;
  while (s.ZoneCount < MaxZones && !texts.Text(ZoneComponent(s.ZoneCount + 1, 1)).empty()) ++s.ZoneCount;
  for (int k = 1; k <= s.ZoneCount; ++k)
    s.ZoneStepCount[k] =
        static_cast<int32_t>(std::nearbyint(s.Params.ZoneLength[k] * 100 / s.Params.IncrementZ));
  s.InputAccepted = true;
  return s;
}

// The default window, written out by hand (not read from the field table).
inline RunSetup DefaultSetup() { return fixtures::DefaultSetup(); }

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The lines of a CR LF text, without their line ends.  A trailing piece
// without CR LF is returned as a last line too.
inline std::vector<std::string> SplitCrLf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// A fresh folder for one test, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("kelvane_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

}  // namespace kelvane::filetest
