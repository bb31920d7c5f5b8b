// The name meant by a misspelt one: close slips find it, far ones do not.

#include <gtest/gtest.h>

#include "run/NearestName.h"

namespace kelvane {
namespace {

TEST(NearestName, SlipsFindTheNameAndGuessesDoNot) {
  const std::vector<std::string> options = {"--summary-json", "--summary-csv", "--robust", "--strict", "--set"};
  EXPECT_EQ(NearestName("--summry-json", options), "--summary-json");   // a letter left out
  EXPECT_EQ(NearestName("--summary-cvs", options), "--summary-csv");    // two letters swapped
  EXPECT_EQ(NearestName("--ROBUST", options), "--robust");              // letter case
  EXPECT_EQ(NearestName("--sett", options), "--set");
  EXPECT_EQ(NearestName("--output", options), "");                      // no slip of any of them
  EXPECT_EQ(NearestName("ab", {"xy"}), "");
  EXPECT_EQ(NearestName("x", {}), "");
  // Field names and record names, zone by zone.
  EXPECT_EQ(NearestFieldName("ZoneLenght[3]"), "ZoneLength[3]");
  EXPECT_EQ(NearestFieldName("edit19"), "Edit19");
  EXPECT_EQ(NearestFieldName("Temperature"), "");
}

}  // namespace
}  // namespace kelvane
