#pragma once
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <string>

namespace tolmar::host
{
// The host's identity as the plug-in sees it through the initialize context.
// Lives as long as the hosted instance; the plug-in only borrows it.
class HostApplication final : public Steinberg::Vst::IHostApplication
{
public:
    explicit HostApplication(std::string name);
    virtual ~HostApplication() = default;

    // Called by the plug-in on the main thread (during initialize).
    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    // Called by the plug-in on the main thread. Messages and attribute lists
    // are for plug-ins with a separate controller; none is offered.
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid, void** obj) override;

    // Called by the plug-in on any thread; the host owns the object, so the
    // reference count is only nominal.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::string name_;
};
} // namespace tolmar::host
