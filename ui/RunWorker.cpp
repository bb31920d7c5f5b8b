#include "ui/RunWorker.h"

#include <QSemaphore>

#include <memory>

namespace kelvane::ui {

// The host the driver sees on the worker thread.
class RunWorker::Host : public RunHost {
 public:
  Host(RunWorker& worker, Calculation& calc) : worker_(worker), calc_(calc) {}

  void ShowMessage(const std::string& text) override {
    worker_.CallOnGui([this, text] { worker_.gui_.ShowMessage(text); });
  }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    worker_.CallOnGui([this, text, detail] { worker_.gui_.ShowExplainedMessage(text, detail); });
  }
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override {
    worker_.CallOnGui([this, text, detail] { worker_.gui_.ShowExplainedErrorReport(text, detail); });
  }
  bool RunDespite(const std::vector<PlausibilityWarning>& warnings) override {
    bool run = false;
    worker_.CallOnGui([this, &run, warnings] { run = worker_.gui_.RunDespite(warnings); });
    return run;
  }
  bool ReplaceResult(const std::string& path) override {
    bool replace = false;
    worker_.CallOnGui([this, &replace, path] { replace = worker_.gui_.ReplaceResult(path); });
    return replace;
  }
  bool KeepPartialResult() override {
    bool keep = true;
    worker_.CallOnGui([this, &keep] { keep = worker_.gui_.KeepPartialResult(); });
    return keep;
  }
  void SetBusyCursor(bool busy) override {
    worker_.CallOnGui([this, busy] { worker_.gui_.SetBusyCursor(busy); });
  }
  void ShowFinishDialog() override {
    worker_.CallOnGui([this] { worker_.gui_.ShowFinishDialog(); });
  }
  void ShowErrorReport(const std::string& text) override {
    worker_.CallOnGui([this, text] { worker_.gui_.ShowErrorReport(text); });
  }
  void Progress(int zone, int zoneCount, int step, int /*stepCount*/) override {
    // The step counts were decided by the parameter reading on this thread.
    long long before = 0, total = 0;
    for (int k = 1; k <= calc_.Setup.ZoneCount && k <= MaxZones; ++k) {
      const long long steps = calc_.Setup.ZoneStepCount[k] > 0 ? calc_.Setup.ZoneStepCount[k] : 0;
      total += steps;
      if (k < zone) before += steps;
    }
    worker_.total_ = total;
    worker_.done_ = before + step;
    worker_.zoneCount_ = zoneCount;
    worker_.zone_ = zone;
  }
  bool CancelRequested() override {
    if (worker_.AtCancelPoll && !worker_.abandoned_) worker_.AtCancelPoll(worker_.zone_);
    return worker_.cancel_ || worker_.abandoned_;
  }

 private:
  RunWorker& worker_;
  Calculation& calc_;
};

RunWorker::RunWorker(RunHost& gui, QObject* parent) : QObject(parent), gui_(gui), relay_(new QObject(this)) {}

RunWorker::~RunWorker() { Abandon(); }

bool RunWorker::Start(const FieldTextMap& fields, Calculation& calc, const RunOptions& options) {
  if (thread_ || abandoned_) return false;
  cancel_ = false;
  zone_ = 0, zoneCount_ = 0, done_ = 0, total_ = 0;
  report_ = RunReport{};
  host_ = new Host(*this, calc);
  thread_ = QThread::create([this, fields, &calc, options] {
    // The engine clears the floating-point status of this thread at the start
    // of the run; a throw that leaves the driver is the general error report.
    RunReport report;
    try {
      report = StartRun(fields, *host_, calc, options);
    } catch (const std::exception& e) {
      report.Outcome = RunOutcome::GeneralError;
      host_->ShowErrorReport(e.what());
    } catch (...) {
      report.Outcome = RunOutcome::GeneralError;
      host_->ShowErrorReport("Unknown error");
    }
    report_ = report;
  });
  connect(thread_, &QThread::finished, this, &RunWorker::ThreadEnded);
  thread_->start();
  return true;
}

void RunWorker::ThreadEnded() {
  if (!thread_) return;
  thread_->wait();
  delete thread_;
  thread_ = nullptr;
  delete host_;
  host_ = nullptr;
  if (!abandoned_) emit Finished();
}

RunProgress RunWorker::Progress() const { return {zone_, zoneCount_, done_, total_}; }

void RunWorker::CallOnGui(std::function<void()> fn) {
  auto done = std::make_shared<QSemaphore>(0);
  {
    std::lock_guard<std::mutex> lock(post_);
    if (abandoned_) return;
    QMetaObject::invokeMethod(
        relay_,
        [fn = std::move(fn), done] {
          fn();
          done->release();
        },
        Qt::QueuedConnection);
  }
  // Wait for the window; give up only when the window itself goes away.
  while (!done->tryAcquire(1, 50))
    if (abandoned_) return;
}

void RunWorker::Abandon() {
  cancel_ = true;
  {
    std::lock_guard<std::mutex> lock(post_);
    if (abandoned_) return;
    abandoned_ = true;
    // Host calls already posted are dropped with their receiver.
    delete relay_;
    relay_ = nullptr;
  }
  if (thread_) {
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    delete host_;
    host_ = nullptr;
  }
}

}  // namespace kelvane::ui
