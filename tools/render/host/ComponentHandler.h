#pragma once
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>

namespace tolmar::host
{
// Receives the edits the plug-in reports to the host. An offline render has
// no automation lanes to record them in, so they are only counted; the
// count lets a test see that the plug-in talked to its handler.
class ComponentHandler final : public Steinberg::Vst::IComponentHandler
{
public:
    // Called by the plug-in on the main thread, or on the audio thread when
    // a MIDI controller moves a parameter.
    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    // Called by the plug-in on the main thread.
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

    // Called by the plug-in on any thread; the host owns the object, so the
    // reference count is only nominal.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

    int editCount() const { return edits_.load(); }
    int restartCount() const { return restarts_.load(); }

private:
    std::atomic<int> edits_{0};
    std::atomic<int> restarts_{0};
};
} // namespace tolmar::host
