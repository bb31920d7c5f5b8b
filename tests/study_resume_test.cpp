// Resuming a study from its earlier table: which rows stand and which run
// again, and the tables that must not be taken for this study's.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "study/StudyResume.h"
#include "study/StudyTable.h"

namespace kelvane {
namespace {

class StudyResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    study_.Varied = {ParseVaried("OuterTemperature[2]=60,90"), ParseVaried("WebSpeed=0.2:0.5:0.1")};
    rows_ = ShardRows(study_, {2, 3});  // rows 2, 5, 8
  }
  RowResult Row(std::size_t number, RowOutcome outcome, const std::string& message = {}) {
    RowResult r;
    r.Row = RowAt(study_, number);
    r.Outcome = outcome;
    r.Message = message;
    r.Summary.resize(SummaryColumns().size());
    // A finished run has every figure; a failed one stopped before the exit
    // and has none.
    if (outcome == RowOutcome::Finished) {
      for (auto& v : r.Summary) v = static_cast<double>(number);
      r.Summary[0] = 0.1 + static_cast<double>(number) / 3.0;  // a number with all 17 digits
      r.Summary[1] = -1e-300;
    }
    if (outcome == RowOutcome::Finished || outcome == RowOutcome::Failed) r.RescuedSteps = 3;
    if (outcome == RowOutcome::Failed) r.FailedZone = 2;
    return r;
  }
  StudyDefinition study_;
  std::vector<StudyRow> rows_;
};

TEST_F(StudyResumeTest, KeepsWhatRanAndRunsTheRestToTheUninterruptedTable) {
  // An engine message with the characters CSV must quote.
  const RowResult failed = Row(5, RowOutcome::Failed, "Sorry, this condition does not \"converge\"!\nzone 2");
  const RowResult done = Row(2, RowOutcome::Finished);
  std::string text = CsvHeader(study_) + CsvLine(done) + CsvLine(failed) + CsvLine(Row(8, RowOutcome::Cancelled));
  auto kept = KeptRows(study_, rows_, text);
  ASSERT_EQ(kept.size(), 3u);
  ASSERT_TRUE(kept[0] && kept[1]);
  EXPECT_FALSE(kept[2]);
  // Kept rows come back as the very lines they were.
  EXPECT_EQ(CsvLine(*kept[0]), CsvLine(done));
  EXPECT_EQ(CsvLine(*kept[1]), CsvLine(failed));
  ASSERT_EQ(RowsToRun(rows_, kept).size(), 1u);
  EXPECT_EQ(RowsToRun(rows_, kept)[0].Number, 8u);
  const std::vector<RowResult> all = MergeResumed(kept, {Row(8, RowOutcome::Finished)});
  std::string whole = CsvHeader(study_);
  for (const RowResult& r : all) whole += CsvLine(r);
  EXPECT_EQ(whole, CsvHeader(study_) + CsvLine(done) + CsvLine(failed) + CsvLine(Row(8, RowOutcome::Finished)));
  // Resuming the complete table keeps every row and runs none.
  kept = KeptRows(study_, rows_, whole);
  EXPECT_TRUE(RowsToRun(rows_, kept).empty());

  // Refused rows stand; rows not run, a file error, a missing row and a last
  // line cut off by a kill run again.
  const std::string cut = CsvLine(Row(8, RowOutcome::Finished));
  for (const std::string& tail : {CsvLine(Row(5, RowOutcome::NotRun)), CsvLine(Row(5, RowOutcome::FileError, "x")),
                                  std::string(), CsvLine(Row(5, RowOutcome::Finished)) + cut.substr(0, 40),
                                  cut.substr(0, cut.size() - 1)}) {
    kept = KeptRows(study_, rows_, CsvHeader(study_) + CsvLine(Row(2, RowOutcome::Refused, "Input error")) + tail);
    EXPECT_TRUE(kept[0]) << tail;
    EXPECT_FALSE(kept[2]) << tail;
  }
  // A table cut off within its header, or empty, keeps nothing.
  EXPECT_EQ(RowsToRun(rows_, KeptRows(study_, rows_, CsvHeader(study_).substr(0, 10))).size(), 3u);
  EXPECT_EQ(RowsToRun(rows_, KeptRows(study_, rows_, "")).size(), 3u);
}

TEST_F(StudyResumeTest, RefusesATableThatIsNotThisStudysOrWasChanged) {
  const std::string header = CsvHeader(study_);
  const std::string row2 = CsvLine(Row(2, RowOutcome::Finished));
  std::string edited = row2;
  edited.replace(edited.find(",finished,"), 10, ",finished ,");
  RowResult otherValues = Row(5, RowOutcome::Finished);
  otherValues.Row.Values[1] = "0.30";  // the study writes "0.3"
  std::string reformatted = row2;
  reformatted.replace(reformatted.find(",-1e-300,"), 9, ",-1.0e-300,");  // the same number

  StudyDefinition other;
  other.Varied = {ParseVaried("WebSpeed=0.2:0.5:0.1")};
  const std::vector<std::string> bad = {
      CsvHeader(other) + row2,                         // another study's header
      header + CsvLine(Row(3, RowOutcome::Finished)),  // row 3 belongs to shard 3/3
      header + row2 + row2,                            // a row twice
      header + CsvLine(otherValues),                   // values this study does not give row 5
      header + edited,                                 // an outcome this program never writes
      header + reformatted,                            // a number in another form
      header + "2,60,0.3,finished\n",                  // columns missing
      header + "\r\n" + row2,                          // a line end of another system
  };
  for (const std::string& text : bad) EXPECT_THROW(KeptRows(study_, rows_, text), std::invalid_argument) << text;
  // The same lines in this shard's table read well.
  EXPECT_NO_THROW(KeptRows(study_, rows_, header + row2));
}

}  // namespace
}  // namespace kelvane
