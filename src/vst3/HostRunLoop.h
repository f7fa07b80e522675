#pragma once
#include <atomic>
#include <functional>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

// Timers and file-descriptor watches on the host's run loop. On Linux the
// plug-in has no event loop of its own: everything that must happen later on
// the main thread goes through Steinberg::Linux::IRunLoop.
//
// Hosts differ in how they treat what is registered with them: some keep a
// reference to a handler until some time after it was unregistered, some call
// it once more after that, some let it be unregistered from inside its own
// callback. The handler objects here are reference counted, outlive their
// registration for as long as the host holds them, and go quiet the moment
// they are stopped.
namespace HostRunLoop
{
using Steinberg::Linux::IRunLoop;

// Asks an object the host handed over (a plug frame, a host context) for the
// run loop; null when it has none.
Steinberg::IPtr<IRunLoop> Find(Steinberg::FUnknown* hostObject);

// One callback as the host sees it: a timer handler and an event handler at
// once. Only HostTimer and HostFileWatch create them.
class Handler final : public Steinberg::Linux::ITimerHandler, public Steinberg::Linux::IEventHandler
{
public:
  explicit Handler(std::function<void()> callback) : action(std::move(callback)) {}
  Handler(const Handler&) = delete;
  Handler& operator=(const Handler&) = delete;

  // Main thread: no callback runs any more, whatever the host still calls.
  void Silence() { silenced = true; }

  // Main thread, called by the host's run loop.
  void PLUGIN_API onTimer() override { run(); }
  void PLUGIN_API onFDIsSet(Steinberg::Linux::FileDescriptor) override { run(); }

  // Any thread.
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

private:
  ~Handler() = default;
  void run();

  std::function<void()> action;
  bool silenced = false;
  std::atomic<Steinberg::uint32> refs{1};
};

// A repeating timer on a host run loop. Stopping unregisters it; the handler
// object lives on while the host holds it, but calls nothing.
class HostTimer
{
public:
  HostTimer() = default;
  ~HostTimer() { Stop(); }
  HostTimer(const HostTimer&) = delete;
  HostTimer& operator=(const HostTimer&) = delete;

  // Main thread: false when the host refused the timer (nothing runs then).
  bool Start(IRunLoop* loop, Steinberg::uint64 milliseconds, std::function<void()> callback);
  void Stop();
  bool IsRunning() const { return handler != nullptr; }
  IRunLoop* Loop() const { return loop; }

private:
  Steinberg::IPtr<IRunLoop> loop;
  Handler* handler = nullptr;
};

// A file descriptor the host watches for readable data.
class HostFileWatch
{
public:
  HostFileWatch() = default;
  ~HostFileWatch() { Stop(); }
  HostFileWatch(const HostFileWatch&) = delete;
  HostFileWatch& operator=(const HostFileWatch&) = delete;

  // Main thread: false when the host refused the descriptor.
  bool Start(IRunLoop* loop, int fd, std::function<void()> callback);
  void Stop();
  bool IsRunning() const { return handler != nullptr; }

private:
  Steinberg::IPtr<IRunLoop> loop;
  Handler* handler = nullptr;
};
} // namespace HostRunLoop
