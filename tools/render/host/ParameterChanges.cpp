#include "ParameterChanges.h"

namespace tolmar::host
{
using namespace Steinberg;

void ParamValueQueue::reset(Vst::ParamID id)
{
    id_ = id;
    count_ = 0;
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, Vst::ParamValue& value)
{
    if (index < 0 || index >= count_)
        return kInvalidArgument;
    sampleOffset = points_[index].offset;
    value = points_[index].value;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, Vst::ParamValue value, int32& index)
{
    int at = 0;
    while (at < count_ && points_[at].offset < sampleOffset)
        ++at;
    if (at < count_ && points_[at].offset == sampleOffset)
    {
        points_[at].value = value;
        index = at;
        return kResultOk;
    }
    if (count_ == kMaxPoints)
        return kResultFalse;
    for (int i = count_; i > at; --i)
        points_[i] = points_[i - 1];
    points_[at] = {sampleOffset, value};
    ++count_;
    index = at;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IParamValueQueue::iid))
    {
        *obj = static_cast<Vst::IParamValueQueue*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

ParameterChanges::ParameterChanges(int capacity) : queues_(capacity > 0 ? capacity : 1) {}

bool ParameterChanges::set(Vst::ParamID id, int32 sampleOffset, Vst::ParamValue value)
{
    int32 index = 0;
    auto* queue = addParameterData(id, index);
    int32 pointIndex = 0;
    return queue && queue->addPoint(sampleOffset, value, pointIndex) == kResultOk;
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
    if (index < 0 || index >= used_)
        return nullptr;
    return &queues_[index];
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const Vst::ParamID& id, int32& index)
{
    for (int i = 0; i < used_; ++i)
    {
        if (queues_[i].getParameterId() == id)
        {
            index = i;
            return &queues_[i];
        }
    }
    if (used_ == static_cast<int>(queues_.size()))
        return nullptr;
    index = used_;
    queues_[used_].reset(id);
    return &queues_[used_++];
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IParameterChanges::iid))
    {
        *obj = static_cast<Vst::IParameterChanges*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}
} // namespace tolmar::host
