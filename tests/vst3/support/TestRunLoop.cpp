#include "vst3/support/TestRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace host
{
TestRunLoop::~TestRunLoop()
{
  // Whatever the plug-in left registered is a leak the tests report; the
  // references are dropped so that sanitizers point at the real culprit.
  for (Handler& h : handlers)
    h.handler->release();
  for (Timer& t : timers)
    t.handler->release();
  for (FUnknown* object : late)
    object->release();
}

tresult PLUGIN_API TestRunLoop::queryInterface(const TUID iid, void** obj)
{
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
  {
    addRef();
    *obj = static_cast<Linux::IRunLoop*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult PLUGIN_API TestRunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
  if (!handler || fd < 0)
    return kInvalidArgument;
  if (refuseSecondHandlerForDescriptor &&
      std::any_of(handlers.begin(), handlers.end(), [fd](const Handler& h) { return h.fd == fd; }))
  {
    ++refusedRegistrations;
    return kResultFalse;
  }
  handler->addRef();
  handlers.push_back({handler, fd});
  ++registrations;
  return kResultOk;
}

tresult PLUGIN_API TestRunLoop::unregisterEventHandler(Linux::IEventHandler* handler)
{
  auto it = std::find_if(handlers.begin(), handlers.end(), [handler](const Handler& h) { return h.handler == handler; });
  if (it == handlers.end())
    return kResultFalse;
  handlers.erase(it);
  ++unregistrations;
  if (callAfterUnregister)
    late.push_back(handler);
  else
    handler->release();
  return kResultOk;
}

tresult PLUGIN_API TestRunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
  if (!handler || milliseconds == 0)
    return kInvalidArgument;
  if (refuseTimers)
  {
    ++refusedRegistrations;
    return kResultFalse;
  }
  handler->addRef();
  timers.push_back({handler, milliseconds, Clock::now() + std::chrono::milliseconds(milliseconds)});
  ++registrations;
  return kResultOk;
}

tresult PLUGIN_API TestRunLoop::unregisterTimer(Linux::ITimerHandler* handler)
{
  auto it = std::find_if(timers.begin(), timers.end(), [handler](const Timer& t) { return t.handler == handler; });
  if (it == timers.end())
    return kResultFalse;
  timers.erase(it);
  ++unregistrations;
  if (callAfterUnregister)
    late.push_back(handler);
  else
    handler->release();
  return kResultOk;
}

int TestRunLoop::timersWithInterval(Linux::TimerInterval milliseconds) const
{
  return static_cast<int>(
      std::count_if(timers.begin(), timers.end(), [milliseconds](const Timer& t) { return t.interval == milliseconds; }));
}

bool TestRunLoop::stillRegistered(const Linux::IEventHandler* handler) const
{
  return std::any_of(handlers.begin(), handlers.end(), [handler](const Handler& h) { return h.handler == handler; });
}

bool TestRunLoop::stillRegistered(const Linux::ITimerHandler* handler) const
{
  return std::any_of(timers.begin(), timers.end(), [handler](const Timer& t) { return t.handler == handler; });
}

void TestRunLoop::callLateOnes()
{
  // Late hosts call once more what was unregistered, then let it go.
  std::vector<FUnknown*> calling;
  calling.swap(late);
  for (FUnknown* object : calling)
  {
    void* as = nullptr;
    if (object->queryInterface(Linux::ITimerHandler::iid, &as) == kResultOk)
    {
      static_cast<Linux::ITimerHandler*>(as)->onTimer();
      static_cast<Linux::ITimerHandler*>(as)->release();
    }
    else if (object->queryInterface(Linux::IEventHandler::iid, &as) == kResultOk)
    {
      static_cast<Linux::IEventHandler*>(as)->onFDIsSet(0);
      static_cast<Linux::IEventHandler*>(as)->release();
    }
    object->release();
  }
}

void TestRunLoop::runOnce(int maxWaitMs)
{
  const Clock::time_point now = Clock::now();
  int wait = std::max(0, maxWaitMs);
  for (const Timer& t : timers)
    wait = std::min(wait, static_cast<int>(std::max<int64_t>(
                              0, std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count())));

  std::vector<pollfd> fds;
  std::vector<Handler> polled = deliverDescriptorEvents ? handlers : std::vector<Handler>{};
  for (const Handler& h : polled)
    fds.push_back({h.fd, POLLIN, 0});
  poll(fds.data(), fds.size(), wait);

  // Callbacks may unregister anything, themselves included: each one is
  // checked and held before it is called.
  for (size_t i = 0; i < polled.size(); ++i)
  {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || !stillRegistered(polled[i].handler))
      continue;
    Linux::IEventHandler* handler = polled[i].handler;
    handler->addRef();
    ++descriptorCallbacks;
    handler->onFDIsSet(polled[i].fd);
    handler->release();
  }

  const Clock::time_point after = Clock::now();
  std::vector<Timer> due;
  for (Timer& t : timers)
    if (t.due <= after)
    {
      due.push_back(t);
      t.due = after + std::chrono::milliseconds(t.interval);
    }
  for (const Timer& t : due)
  {
    if (!stillRegistered(t.handler))
      continue;
    t.handler->addRef();
    t.handler->onTimer();
    t.handler->release();
  }
  callLateOnes();
}

void TestRunLoop::runFor(int milliseconds)
{
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < end)
    runOnce(static_cast<int>(
        std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count())));
}

bool TestRunLoop::runUntil(const std::function<bool()>& condition, int timeoutMs)
{
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition())
  {
    if (Clock::now() >= end)
      return false;
    runOnce(10);
  }
  return true;
}

void TestRunLoop::fireTimers()
{
  std::vector<Timer> all = timers;
  for (const Timer& t : all)
  {
    if (!stillRegistered(t.handler))
      continue;
    t.handler->addRef();
    t.handler->onTimer();
    t.handler->release();
  }
  callLateOnes();
}
} // namespace host
