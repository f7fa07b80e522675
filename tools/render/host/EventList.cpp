#include "EventList.h"

namespace tolmar::host
{
using namespace Steinberg;

EventList::EventList(int capacity) : events_(capacity > 0 ? capacity : 1) {}

tresult PLUGIN_API EventList::getEvent(int32 index, Vst::Event& e)
{
    if (index < 0 || index >= used_)
        return kInvalidArgument;
    e = events_[index];
    return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Vst::Event& e)
{
    if (used_ == static_cast<int>(events_.size()))
        return kResultFalse;
    events_[used_++] = e;
    return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IEventList::iid))
    {
        *obj = static_cast<Vst::IEventList*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}
} // namespace tolmar::host
