#pragma once
#include "pluginterfaces/vst/ivstevents.h"

#include <vector>

namespace tolmar::host
{
// The events of one block, up to a capacity fixed at construction. The host
// owns it; the plug-in borrows it for the length of one process call.
class EventList final : public Steinberg::Vst::IEventList
{
public:
    explicit EventList(int capacity);

    void clear() { used_ = 0; }

    // Called by the plug-in on the audio thread during process.
    Steinberg::int32 PLUGIN_API getEventCount() override { return used_; }
    Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
    // Called by the host, or by the plug-in on the audio thread for its output events.
    Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;

    // Called by the plug-in on any thread; the host owns the object, so the
    // reference count is only nominal.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<Steinberg::Vst::Event> events_;
    int used_ = 0;
};
} // namespace tolmar::host
