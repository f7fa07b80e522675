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

// --- HostTimer ------------------------------------------------------------------

bool HostTimer::Start(IRunLoop* runLoop, uint64 milliseconds, std::function<void()> callback)
{
  Stop();
  if (!runLoop)
    return false;
  auto* created = new Handler(std::move(callback));
  if (runLoop->registerTimer(static_cast<ITimerHandler*>(created), milliseconds) != kResultOk)
  {
    created->Silence();
    created->release();
    return false;
  }
  loop = runLoop;
  handler = created;
  return true;
}

void HostTimer::Stop()
{
  if (!handler)
    return;
  Handler* stopping = handler;
  handler = nullptr;
  stopping->Silence();
  loop->unregisterTimer(static_cast<ITimerHandler*>(stopping));
  stopping->release();
  loop = nullptr;
}

// --- HostFileWatch ----------------------------------------------------------------

bool HostFileWatch::Start(IRunLoop* runLoop, int fd, std::function<void()> callback)
{
  Stop();
  if (!runLoop || fd < 0)
    return false;
  auto* created = new Handler(std::move(callback));
  if (runLoop->registerEventHandler(static_cast<IEventHandler*>(created), fd) != kResultOk)
  {
    created->Silence();
    created->release();
    return false;
  }
  loop = runLoop;
  handler = created;
  return true;
}

void HostFileWatch::Stop()
{
  if (!handler)
    return;
  Handler* stopping = handler;
  handler = nullptr;
  stopping->Silence();
  loop->unregisterEventHandler(static_cast<IEventHandler*>(stopping));
  stopping->release();
  loop = nullptr;
}
} // namespace HostRunLoop
