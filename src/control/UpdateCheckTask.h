#pragma once
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "control/UpdateCheck.h"

// One version query at a time on a worker thread, so that the thread that
// asks (the host's main thread) never waits for the web. The worker touches
// nothing but this object's answer slot; the owner collects the answer by
// polling, on its own thread.
//
// All members are for the owning thread; the destructor cancels.
class UpdateCheckTask
{
public:
  UpdateCheckTask() = default;
  ~UpdateCheckTask();
  UpdateCheckTask(const UpdateCheckTask&) = delete;
  UpdateCheckTask& operator=(const UpdateCheckTask&) = delete;

  // Starts a query of url; false, and nothing started, while one is busy
  // or when no thread can be had.
  bool start(std::string url);
  // From start until the answer has been taken or the query cancelled.
  bool isBusy() const { return worker.joinable(); }
  // The answer, once, when it has arrived; never blocks.
  std::optional<VersionAnswer> takeAnswer();
  // Stops a query under way and drops its answer. Returns within about a
  // tenth of a second, however long the server would have taken.
  void cancel();

private:
  std::thread worker;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> arrived{false};
  VersionAnswer answer; // the worker's until `arrived`
};
