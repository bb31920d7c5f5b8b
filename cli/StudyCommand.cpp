// kelvane-run study: the runs of a parameter sweep on threads, one table row
// per run in a fixed order.
//
// Exit status: 0 every row ran (whatever its outcome, which is in the
// table); 1 the options or the base case were refused; 3 the table, a
// result file's folder or a kept result file could not be written; 128 +
// the signal when interrupted (the rows done are in the table, the others
// marked "not run"); 64 a wrong command line.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <mutex>

#include "cli/BaseCase.h"
#include "cli/ConsoleHost.h"
#include "study/BaseCaseCheck.h"
#include "cli/HelpText.h"
#include "cli/Interrupts.h"
#include "cli/OptionChecks.h"
#include "cli/OutputPaths.h"
#include "cli/ResumeTable.h"
#include "cli/RunsProgress.h"
#include "cli/StudyCommand.h"
#include "files/StagedFile.h"
#include "files/StagedStream.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

// The table's output: a file or standard output, rows appended in row order
// as soon as every row before them is done.  A file is staged: it takes its
// name when the study ends, and a study stopped hard leaves an earlier table
// as it was; a new table may instead be written under its own name as its
// rows come (`newFileInPlace`), for a resume after a hard kill.
class TableOutput {
 public:
  bool Open(const std::string& path, bool newFileInPlace = false) {
    if (path.empty() || path == "-") {
      toStdout_ = true;
      return true;
    }
    path_ = path;
    if (!file_.Open(path, newFileInPlace))
      std::fprintf(stderr, "kelvane-run: cannot create %s: %s\n", path.c_str(), file_.Reason().c_str());
    return file_.IsOpen();
  }
  void Write(const std::string& text) {
    if (toStdout_ && std::fputs(text.c_str(), stdout) < 0) failed_ = true;
    file_.Write(text);
  }
  void Flush() {
    if (toStdout_ && std::fflush(stdout) != 0) failed_ = true;
    file_.Flush();
  }
  // False (after a message) when any write failed.
  bool Close() {
    if (toStdout_ && std::fflush(stdout) != 0) failed_ = true;
    toStdout_ = false;
    if (file_.IsOpen() && !file_.Close()) {
      std::fprintf(stderr, "kelvane-run: writing %s failed: %s\n", path_.c_str(), file_.Reason().c_str());
      return false;
    }
    if (failed_) std::fprintf(stderr, "kelvane-run: writing the table failed\n");
    return !failed_;
  }
  bool IsOpen() const { return toStdout_ || file_.IsOpen(); }

 private:
  StagedStream file_;
  std::string path_;
  bool toStdout_ = false;
  bool failed_ = false;
};

bool MakeFolder(const std::string& dir) {
  if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  }
  std::fprintf(stderr, "kelvane-run: cannot use the folder %s for result files\n", dir.c_str());
  return false;
}

// "row-0007.txt": the row's number, padded to the width of the largest.
std::string RowFileName(std::size_t number, std::size_t total) {
  std::string n = std::to_string(number);
  const std::size_t width = std::max<std::size_t>(4, std::to_string(total).size());
  return "row-" + std::string(width - std::min(width, n.size()), '0') + n + ".txt";
}

}  // namespace

int StudyCommand(int argc, char** argv, const RunnerOptions& runner) {
  CLI::App app{"kelvane-run study: run a sweep of one or more fields over a base case, in parallel,\n"
               "one table row per run.  The rows are the cartesian product of the --vary values, the\n"
               "first --vary changing slowest; column `row` numbers them in the whole study.\n",
               "kelvane-run study"};
  BaseCaseOptions base;
  AddBaseCaseOptions(app, base);
  std::vector<std::string> varies;
  std::string csv, jsonl, shardText = "1/1", keep, resume;
  int jobs = 0;
  app.add_option("--vary", varies,
                 "A field (field name or record name) and its values: a list 60,70,80 or a range "
                 "start:stop:step including stop; repeatable (cartesian product)")
      ->type_name("NAME=VALUES")
      ->allow_extra_args(false)
      ->required();
  app.add_option("--csv", csv, "Write the table as CSV to FILE (default: standard output)")->type_name("FILE");
  app.add_option("--jsonl", jsonl, "Also write the table as JSON lines to FILE")->type_name("FILE");
  app.add_option("--jobs", jobs, "Runs at once (default: all cores)")->type_name("N")->check(AtLeast(0, true, "(0: all cores)"));
  app.add_option("--shard", shardText,
                 "Run only rows K, K+N, K+2N, ... of the study; the shards' tables merge by row number")
      ->type_name("K/N");
  app.add_option("--resume", resume,
                 "Keep the finished, failed and refused rows of FILE (an earlier table of this study or "
                 "shard) and run the others; the whole table replaces FILE unless --csv names another "
                 "(a missing FILE runs every row)")
      ->type_name("FILE");
  app.add_option("--keep-results", keep, "Write each run's result file into DIR as row-NNNN.txt")->type_name("DIR");
  app.footer(
      "\nEvery run uses the robust surface solve unless --plain is given; a run that does not finish\n"
      "is marked \"failed\" with its message and has no summary figures.\n"
      "A step whose secant search is slow to balance is settled early by the robust solve, within\n"
      "its balance test; --identical gives every run the bytes of a single robust run.\n"
      "\nMerging shards: keep one header and sort the rest by the first column, e.g.\n"
      "  { head -n 1 part-1.csv; tail -q -n +2 part-*.csv | sort -t, -k1,1n; } > study.csv\n"
      "\nExit status: 0 every row ran (each row's outcome is in the table); 1 options or base\n"
      "case refused; 3 the table, a result folder or a row's result file could not be\n"
      "written; 128 + the signal when interrupted (130 for Ctrl+C; rows not run are marked\n"
      "\"not run\"); 64 a wrong command line (the table and the JSON lines on one file, or\n"
      "either inside the --keep-results folder).\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0 && ReportUnknownOption(app, argc, argv, "kelvane-run study")) return 64;
    return app.exit(e) == 0 ? 0 : 64;
  }

  // The table goes to --csv, or back over the resumed FILE; the earlier table
  // is an output too when it is another file: --jsonl or a row file written
  // over it would destroy it.
  const NamedOutput tableFile = csv.empty() && !resume.empty() ? NamedOutput{"--resume", resume}
                                                                : NamedOutput{"--csv", csv};
  std::vector<NamedOutput> outputs = {tableFile, {"--jsonl", jsonl}};
  if (!resume.empty() && tableFile.Option == "--csv" && ResolvedOutputPath(resume) != ResolvedOutputPath(csv))
    outputs.push_back({"--resume", resume});
  if (!DistinctOutputs("kelvane-run study", outputs)) return 64;
  for (const NamedOutput& o : outputs)
    if (!OutsideFolder("kelvane-run study", o, {"--keep-results", keep})) return 64;

  StudyDefinition study;
  if (!ApplyBaseCase(base, study.Base)) return 1;
  Shard shard;
  std::vector<StudyRow> rows;
  std::size_t total = 0;
  try {
    for (const std::string& v : varies) study.Varied.push_back(ParseVaried(v));
    shard = ParseShard(shardText);
    total = RowCount(study);
    rows = ShardRows(study, shard);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kelvane-run study: %s\n", e.what());
    return 1;
  }
  if (!VariedValuesAreNumbers("kelvane-run study", study)) return 1;
  // A base case every row would be refused for is refused as a single run
  // is: its message and the field it names, status 1, nothing written.
  if (const std::optional<BaseCaseRefusal> refused = RefusedBaseCase(study)) {
    ConsoleHost(false).ShowExplainedMessage(refused->Message, refused->Detail);
    return 1;
  }
  std::vector<std::optional<RowResult>> kept(rows.size());
  bool rewrite = true;  // the table is written (not a complete table left as it is)
  if (!resume.empty()) {
    if (!LoadResumedTable(resume, study, rows, kept, base.Quiet)) return 1;
    // Every row kept and the table its own file: nothing runs, nothing changes.
    rewrite = csv.empty() ? false : ResolvedOutputPath(resume) != ResolvedOutputPath(csv);
    for (const auto& k : kept) rewrite = rewrite || !k;
    if (csv.empty()) csv = resume;
  }

  if (runner.OptionsOnly) return 0;
  StudyOptions options;
  options.Jobs = jobs;
  options.Robust = !base.Plain;
  options.Identical = base.Identical;
  options.LiteralTrials = base.Literal;
  if (!keep.empty()) {
    if (!MakeFolder(keep)) return 3;
    options.ResultFile = [&](const StudyRow& r) { return keep + "/" + RowFileName(r.Number, total); };
  }

  TableOutput table, json;
  // An earlier table is replaced whole when the study ends, so a resumed
  // shard killed hard leaves it as it was.  A new table of a resumable study
  // is written in place, row by row: a first attempt killed hard leaves its
  // finished rows where the next attempt's --resume reads them.
  if (rewrite && !table.Open(csv, !resume.empty())) return 3;
  if (!jsonl.empty() && !json.Open(jsonl)) return 3;
  table.Write(CsvHeader(study));
  table.Flush();

  StudyControl control;
  RunsProgress progress(!base.Quiet && isatty(STDERR_FILENO));
  std::vector<bool> done(rows.size(), false);
  std::vector<RowResult> finished(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (kept[i]) done[i] = true, finished[i] = *kept[i];
  std::size_t written = 0;
  // Rows arrive in any order; each is written once all rows before it are.
  control.RowDone = [&](const RowResult& r, std::size_t count, std::size_t all) {
    std::size_t i = 0;
    while (rows[i].Number != r.Row.Number) ++i;
    finished[i] = r;
    done[i] = true;
    while (written < rows.size() && done[written]) {
      table.Write(CsvLine(finished[written]));
      if (json.IsOpen()) json.Write(JsonLine(study, finished[written]));
      ++written;
    }
    table.Flush();
    json.Flush();
    progress.Update(count, all);
  };
  std::vector<RowResult> results;
  {
    InterruptGuard guard(control.Cancel);
    results = MergeResumed(kept, RunStudy(study, RowsToRun(rows, kept), options, control));
  }
  progress.Clear();
  for (; written < results.size(); ++written) {
    table.Write(CsvLine(results[written]));
    if (json.IsOpen()) json.Write(JsonLine(study, results[written]));
  }
  const bool tableOk = table.Close();
  const bool ok = tableOk & json.Close();
  if (control.Cancel.load()) {
    std::size_t ran = 0;
    for (const RowResult& r : results) ran += r.Outcome != RowOutcome::NotRun && r.Outcome != RowOutcome::Cancelled;
    std::fprintf(stderr, "kelvane-run study: interrupted; %zu of %zu rows ran, the others are marked \"not run\" "
                 "or \"cancelled\"; the table is incomplete\n", ran, results.size());
    return InterruptedStatus(InterruptSignal() ? InterruptSignal() : SIGINT);
  }
  if (!ok) return 3;
  std::size_t unwritten = 0;
  for (const RowResult& r : results) unwritten += r.Outcome == RowOutcome::FileError;
  if (!keep.empty() && unwritten > 0) {
    std::fprintf(stderr, "kelvane-run study: %zu result file%s in %s could not be written (see the table)\n",
                 unwritten, unwritten == 1 ? "" : "s", keep.c_str());
    return 3;
  }
  std::size_t finishedCount = 0;
  for (const RowResult& r : results) finishedCount += r.Outcome == RowOutcome::Finished;
  if (!base.Quiet)
    std::fprintf(stderr, "kelvane-run study: %zu rows, %zu finished\n", results.size(), finishedCount);
  return 0;
}

}  // namespace kelvane
