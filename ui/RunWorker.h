#pragma once
// Runs a calculation on a worker thread so that the window stays responsive.
// The worker calls the same run driver as the headless runner; the driver's
// calls to its host (messages, the busy cursor, the finish dialog, the error
// report) are carried over to the window's thread, and the worker waits
// until each has returned, so messages keep their order and a message box
// holds the march until it is acknowledged.  Progress and the cancel request
// travel through atomics.

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/RunHost.h"
#include "run/StartRun.h"

namespace kelvane::ui {

struct RunProgress {
  int Zone = 0;            // zone being marched, 0 before the march
  int ZoneCount = 0;
  long long StepsDone = 0;   // steps of the whole run
  long long StepsTotal = 0;
};

class RunWorker : public QObject {
  Q_OBJECT

 public:
  // `gui` receives the run's host calls on this object's (the window's)
  // thread.
  explicit RunWorker(RunHost& gui, QObject* parent = nullptr);
  // Cancels a run still in progress and waits for the worker.
  ~RunWorker() override;

  // Starts StartRun(fields, ..., calc, options) on a new thread and returns
  // at once; Finished() follows on this thread.  `calc` must stay alive and
  // untouched until then.  False when a run is already in progress.
  bool Start(const FieldTextMap& fields, Calculation& calc, const RunOptions& options);
  bool Running() const { return thread_ != nullptr; }

  // Stops the march after the current step.
  void RequestCancel() { cancel_ = true; }
  // Called on the worker thread each time the march asks whether to stop,
  // with the zone being marched, before the answer is read: a test acts at a
  // known point of the run instead of racing it with timers.
  std::function<void(int zone)> AtCancelPoll;
  RunProgress Progress() const;
  // The driver's report, valid after Finished().
  const RunReport& Report() const { return report_; }

  // Stops the run for good: a pending host call is dropped, the worker no
  // longer reaches the window, and this returns when the thread has ended.
  void Abandon();

 signals:
  void Finished();

 private:
  class Host;
  void CallOnGui(std::function<void()> fn);
  void ThreadEnded();

  RunHost& gui_;
  QObject* relay_;  // receives the host calls on the window's thread
  QThread* thread_ = nullptr;
  Host* host_ = nullptr;
  RunReport report_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> abandoned_{false};
  std::mutex post_;
  std::atomic<int> zone_{0}, zoneCount_{0};
  std::atomic<long long> done_{0}, total_{0};
};

}  // namespace kelvane::ui
