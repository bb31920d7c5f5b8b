// study --resume FILE as a hostile or unlucky user meets it: the table is
// replaced only as any other output is (links followed, mode kept, devices
// and pipes never taken for a table), a complete table is left alone, a
// table that cannot be this program's is refused with the reason, and a
// first attempt killed hard leaves the rows it finished.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files_test_support.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;
namespace fs = std::filesystem;

class StudyResumeCliTest : public filetest::ScratchDir {
 protected:
  int Shell(const std::string& command) {
    const std::string cmd = "cd '" + dir_.string() + "' && K='" + KELVANE_RUNNER + "' && " + command;
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string Err() { return ReadBytes(dir_ / "err.txt"); }
  // A quick study of three rows (a short dryer) and its whole table.
  const std::string study_ =
      "\"$K\" study --quiet --set 'ZoneLength[1]=3' --set 'ZoneLength[2]=3' --vary WebSpeed=0.3:0.5:0.1";
  std::string Whole() {
    if (!fs::exists(dir_ / "whole.csv")) EXPECT_EQ(Shell(study_ + " --csv whole.csv"), 0);
    return ReadBytes(dir_ / "whole.csv");
  }
  // The whole table less its last row, as `name`, as a shard stopped early leaves it.
  void Partial(const std::string& name) {
    const std::string w = Whole();
    filetest::WriteBytes(dir_ / name, w.substr(0, w.rfind("\n3,") + 1));
  }
};

TEST_F(StudyResumeCliTest, TheTableIsReplacedAsEveryOutputIs) {
  const std::string whole = Whole();
  // The mode of the file replaced is kept.
  Partial("t.csv");
  fs::permissions(dir_ / "t.csv", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(Shell(study_ + " --resume t.csv 2>err.txt"), 0) << Err();
  EXPECT_EQ(ReadBytes(dir_ / "t.csv"), whole);
  EXPECT_EQ(fs::status(dir_ / "t.csv").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // A link stays a link; the file it leads to, in another folder named
  // relatively, takes the table.
  fs::create_directories(dir_ / "d");
  Partial("d/real.csv");
  fs::create_symlink("d/real.csv", dir_ / "link.csv");
  fs::create_symlink("d/real.jsonl", dir_ / "link.jsonl");
  ASSERT_EQ(Shell("mkdir w && cd w && " + study_ + " --resume ../link.csv --jsonl ../link.jsonl 2>../err.txt"), 0)
      << Err();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.jsonl"));
  EXPECT_EQ(ReadBytes(dir_ / "d/real.csv"), whole);
  EXPECT_TRUE(fs::exists(dir_ / "d/real.jsonl"));
  EXPECT_TRUE(fs::is_empty(dir_ / "w"));
  // Nothing but the table is left in its folder: no temporary.
  std::size_t entries = 0;
  for (const auto& e : fs::directory_iterator(dir_ / "d"))
    entries += e.path().filename() != "real.csv" && e.path().filename() != "real.jsonl";
  EXPECT_EQ(entries, 0u);

  // A complete table is not written again: the same file, not a copy.
  struct stat before {}, after {};
  ASSERT_EQ(::stat((dir_ / "t.csv").c_str(), &before), 0);
  ASSERT_EQ(Shell(study_ + " --resume t.csv --jsonl t.jsonl 2>err.txt"), 0) << Err();
  ASSERT_EQ(::stat((dir_ / "t.csv").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(ReadBytes(dir_ / "t.csv"), whole);
  const std::string jsonl = ReadBytes(dir_ / "t.jsonl");
  EXPECT_EQ(std::count(jsonl.begin(), jsonl.end(), '\n'), 3);

  // The table is an output like the others: --jsonl or a row file over it
  // would destroy it, so the command line is wrong.
  Partial("x.csv");
  const std::string x = ReadBytes(dir_ / "x.csv");
  EXPECT_EQ(Shell(study_ + " --resume x.csv --jsonl ./x.csv 2>err.txt"), 64);
  EXPECT_NE(Err().find("--resume x.csv and --jsonl ./x.csv name the same file"), std::string::npos) << Err();
  EXPECT_EQ(Shell(study_ + " --resume x.csv --csv y.csv --jsonl x.csv 2>err.txt"), 64) << Err();
  fs::create_directories(dir_ / "kr");
  Partial("kr/row-0003.txt");
  EXPECT_EQ(Shell(study_ + " --resume kr/row-0003.txt --keep-results kr 2>err.txt"), 64) << Err();
  EXPECT_EQ(ReadBytes(dir_ / "x.csv"), x);
  EXPECT_EQ(ReadBytes(dir_ / "kr/row-0003.txt"), x);
}

TEST_F(StudyResumeCliTest, WhatCannotBeAnEarlierTableIsRefusedAndLeftAlone) {
  const std::string whole = Whole();
  // A pipe nobody writes to, an endless device, a huge sparse file: each is
  // refused at once rather than waited on or read until memory runs out.
  ASSERT_EQ(Shell("mkfifo fifo && truncate -s 1G sparse.csv"), 0);
  for (const std::string name : {"fifo", "/dev/zero", "sparse.csv"})
    EXPECT_EQ(Shell("timeout 30 " + study_ + " --resume " + name + " 2>err.txt"), 1) << name << ": " << Err();
  EXPECT_NE(Err().find("far larger than a table of 3 rows"), std::string::npos) << Err();
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  EXPECT_EQ(fs::file_size(dir_ / "sparse.csv"), 1u << 30);
  // A device node given as the table stays the device (root only).
  if (Shell("mknod null c 1 3 2>/dev/null") == 0) {
    EXPECT_EQ(Shell(study_ + " --resume null 2>err.txt"), 1) << Err();
    EXPECT_TRUE(fs::is_character_file(dir_ / "null"));
  }

  // A finished row relabelled, or a refused row given figures, is not a row
  // this program wrote; a table saved with Windows line ends is told as such.
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string t = whole;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  for (const std::string& table :
       {edited("\n2,0.4,finished,", "\n2,0.4,refused,"), edited("\n2,0.4,finished,", "\n2,0.4,failed,"),
        edited("\n2,0.4,finished,,", "\n2,0.4,finished,edited,"), edited(",0,0,", ",0.5,0,")}) {
    filetest::WriteBytes(dir_ / "e.csv", table);
    EXPECT_EQ(Shell(study_ + " --resume e.csv 2>err.txt"), 1) << table;
    EXPECT_NE(Err().find("cannot be a row this program wrote"), std::string::npos) << Err();
    EXPECT_EQ(ReadBytes(dir_ / "e.csv"), table);
  }
  std::string crlf;
  for (char c : whole) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  filetest::WriteBytes(dir_ / "crlf.csv", crlf);
  EXPECT_EQ(Shell(study_ + " --resume crlf.csv 2>err.txt"), 1);
  EXPECT_NE(Err().find("its lines end in CR LF"), std::string::npos) << Err();
  filetest::WriteBytes(dir_ / "h.csv", edited("total_time_s", "total_time"));
  EXPECT_EQ(Shell(study_ + " --resume h.csv 2>err.txt"), 1);
  EXPECT_NE(Err().find("it has \"total_time\" at character"), std::string::npos) << Err();
}

// The first attempt of a shard has no table to protect: its rows are in the
// table as they finish, so SIGKILL (no handler runs) loses only the rows
// under way, and the next attempt keeps the others.
TEST_F(StudyResumeCliTest, AFirstAttemptKilledHardLeavesItsFinishedRows) {
  const std::string study = "\"$K\" study --quiet --robust --vary WebSpeed=0.5:1.4:0.1";
  ASSERT_EQ(Shell(study + " --jobs 2 --csv whole.csv"), 0);
  ASSERT_EQ(Shell("{ " + study + " --jobs 1 --resume part.csv & }; pid=$!; "
                  "for i in $(seq 3000); do [ \"$(cat part.csv 2>/dev/null | wc -l)\" -ge 3 ] && break; "
                  "sleep 0.01; done; kill -KILL $pid; wait $pid; echo $? > status"),
            0);
  EXPECT_EQ(ReadBytes(dir_ / "status"), "137\n");
  ASSERT_EQ(Shell("\"$K\" study --robust --vary WebSpeed=0.5:1.4:0.1 --jobs 2 --resume part.csv 2>err.txt"), 0)
      << Err();
  EXPECT_EQ(ReadBytes(dir_ / "part.csv"), ReadBytes(dir_ / "whole.csv"));
  const std::string err = Err();
  const auto kept = err.find(" of 10 rows kept from part.csv");
  ASSERT_NE(kept, std::string::npos) << err;
  EXPECT_GE(std::stoi(err.substr(err.rfind(' ', kept - 1) + 1)), 2) << err;
}

}  // namespace
}  // namespace kelvane
