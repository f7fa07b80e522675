#include "vst3/HostRunLoop.h"

using namespace Steinberg;
using namespace Steinberg::Linux;

namespace HostRunLoop
{
IPtr<IRunLoop> Find(FUnknown* hostObject)
{
  if (!hostObject)
    return nullptr;
  void* found = nullptr;
  if (hostObject->queryInterface(IRunLoop::iid, &found) != kResultOk || !found)
    return nullptr;
  // queryInterface added the reference that the pointer now owns.
  return owned(static_cast<IRunLoop*>(found));
}

// --- Handler ------------------------------------------------------------------

tresult PLUGIN_API Handler::queryInterface(const TUID iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, ITimerHandler::iid))
    *obj = static_cast<ITimerHandler*>(this);
  else if (FUnknownPrivate::iidEqual(iid, IEventHandler::iid))
    *obj = static_cast<IEventHandler*>(this);
  else
  {
    *obj = nullptr;
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API Handler::addRef()
{
  return refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API Handler::release()
{
  const uint32 left = refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0)
    delete this;
  return left;
}

void Handler::run()
{
  // The callback may stop its own registration, which may drop the last
  // references but ours: hold one until it has returned.
  addRef();
  if (!silenced && action)
    action();
  release();
}

// --- Registration ---------------------------------------------------------------

namespace
{
// A new handler registered by `add`; null (and nothing left behind) when the
// host refused it.
template <typename Add>
Handler* registerHandler(IRunLoop* runLoop, std::function<void()> callback, Add add)
{
  if (!runLoop)
    return nullptr;
  auto* created = new Handler(std::move(callback));
  if (add(created) != kResultOk)
  {
    created->Silence();
    created->release();
    return nullptr;
  }
  return created;
}

// Silences the handler before the host lets go of it: a callback already on
// its way then does nothing.
template <typename Remove>
void unregisterHandler(Handler*& handler, Steinberg::IPtr<IRunLoop>& loop, Remove remove)
{
  if (!handler)
    return;
  Handler* stopping = handler;
  handler = nullptr;
  stopping->Silence();
  remove(stopping);
  stopping->release();
  loop = nullptr;
}
} // namespace

// --- HostTimer ------------------------------------------------------------------

bool HostTimer::Start(IRunLoop* runLoop, uint64 milliseconds, std::function<void()> callback)
{
  Stop();
  handler = registerHandler(runLoop, std::move(callback), [&](Handler* h) {
    return runLoop->registerTimer(static_cast<ITimerHandler*>(h), milliseconds);
  });
  if (handler)
    loop = runLoop;
  return handler != nullptr;
}

void HostTimer::Stop()
{
  unregisterHandler(handler, loop, [this](Handler* h) { loop->unregisterTimer(static_cast<ITimerHandler*>(h)); });
}

// --- HostFileWatch ----------------------------------------------------------------

bool HostFileWatch::Start(IRunLoop* runLoop, int fd, std::function<void()> callback)
{
  Stop();
  if (fd < 0)
    return false;
  handler = registerHandler(runLoop, std::move(callback), [&](Handler* h) {
    return runLoop->registerEventHandler(static_cast<IEventHandler*>(h), fd);
  });
  if (handler)
    loop = runLoop;
  return handler != nullptr;
}

void HostFileWatch::Stop()
{
  unregisterHandler(handler, loop,
                    [this](Handler* h) { loop->unregisterEventHandler(static_cast<IEventHandler*>(h)); });
}
} // namespace HostRunLoop
