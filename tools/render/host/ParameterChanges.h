#pragma once
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <array>
#include <vector>

namespace tolmar::host
{
// One parameter's automation points within a block, kept in sample-offset
// order. Storage is fixed so that filling a queue never allocates.
class ParamValueQueue final : public Steinberg::Vst::IParamValueQueue
{
public:
    static constexpr int kMaxPoints = 64;

    void reset(Steinberg::Vst::ParamID id);

    // Called by the plug-in on the audio thread during process.
    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return count_; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    // Called by the host, or by the plug-in on the audio thread for its output changes.
    // A point at an offset that already holds one replaces its value.
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

    // Called by the plug-in on any thread; the host owns the object, so the
    // reference count is only nominal.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    struct Point
    {
        Steinberg::int32 offset = 0;
        Steinberg::Vst::ParamValue value = 0;
    };
    Steinberg::Vst::ParamID id_ = 0;
    int count_ = 0;
    std::array<Point, kMaxPoints> points_{};
};

// The parameter changes of one block: at most one queue per parameter, up to
// a capacity fixed at construction. The host owns it; the plug-in borrows
// it for the length of one process call.
class ParameterChanges final : public Steinberg::Vst::IParameterChanges
{
public:
    explicit ParameterChanges(int capacity);

    void clear() { used_ = 0; }
    // Host side: one point for a parameter; false when the block is full.
    bool set(Steinberg::Vst::ParamID id, Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value);

    // Called by the plug-in on the audio thread during process.
    Steinberg::int32 PLUGIN_API getParameterCount() override { return used_; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

    // Called by the plug-in on any thread; the host owns the object, so the
    // reference count is only nominal.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<ParamValueQueue> queues_;
    int used_ = 0;
};
} // namespace tolmar::host
