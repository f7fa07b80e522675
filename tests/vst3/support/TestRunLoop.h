#pragma once
// The host's run loop of a Linux VST 3 host: a poll loop over the
// descriptors and timers a plug-in registers, with switches for the ways
// real hosts differ.
#include <chrono>
#include <functional>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace host
{
using namespace Steinberg;

class TestRunLoop final : public Linux::IRunLoop
{
public:
  using Clock = std::chrono::steady_clock;

  ~TestRunLoop();

  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) override;
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override;
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) override;
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override;
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  uint32 PLUGIN_API addRef() override { return ++refs; }
  uint32 PLUGIN_API release() override { return --refs; }

  // One pass: waits at most maxWaitMs for a descriptor or the next timer,
  // then runs what is due.
  void runOnce(int maxWaitMs);
  void runFor(int milliseconds);
  // Runs until the condition holds; false when the time ran out first.
  bool runUntil(const std::function<bool()>& condition, int timeoutMs = 3000);
  // Fires every timer once, due or not.
  void fireTimers();

  int handlerCount() const { return static_cast<int>(handlers.size()); }
  int timerCount() const { return static_cast<int>(timers.size()); }
  // Registered timers with this interval.
  int timersWithInterval(Linux::TimerInterval milliseconds) const;

  // Host behaviours.
  bool deliverDescriptorEvents = true;  // false: never calls event handlers
  bool refuseSecondHandlerForDescriptor = true;
  bool refuseTimers = false;
  // Keeps what is unregistered a while longer and calls it once more, as
  // hosts that release their handlers late do.
  bool callAfterUnregister = false;

  // What happened.
  int registrations = 0;
  int unregistrations = 0;
  int refusedRegistrations = 0;
  int descriptorCallbacks = 0;
  int32 refs = 1;

private:
  struct Handler
  {
    Linux::IEventHandler* handler;
    int fd;
  };
  struct Timer
  {
    Linux::ITimerHandler* handler;
    Linux::TimerInterval interval;
    Clock::time_point due;
  };
  bool stillRegistered(const Linux::IEventHandler* handler) const;
  bool stillRegistered(const Linux::ITimerHandler* handler) const;
  void callLateOnes();

  std::vector<Handler> handlers;
  std::vector<Timer> timers;
  std::vector<FUnknown*> late;  // unregistered, still held
};
} // namespace host
