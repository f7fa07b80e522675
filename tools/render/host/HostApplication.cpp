#include "HostApplication.h"

#include "pluginterfaces/base/funknown.h"

namespace tolmar::host
{
using namespace Steinberg;

HostApplication::HostApplication(std::string name) : name_(std::move(name)) {}

tresult PLUGIN_API HostApplication::getName(Vst::String128 name)
{
    if (!name)
        return kInvalidArgument;
    // The name is plain ASCII; widen it character by character.
    size_t i = 0;
    for (; i < name_.size() && i < 127; ++i)
        name[i] = static_cast<Vst::TChar>(static_cast<unsigned char>(name_[i]));
    name[i] = 0;
    return kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID, TUID, void** obj)
{
    if (obj)
        *obj = nullptr;
    return kResultFalse;
}

tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IHostApplication::iid))
    {
        *obj = static_cast<Vst::IHostApplication*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}
} // namespace tolmar::host
