#include "ComponentHandler.h"

namespace tolmar::host
{
using namespace Steinberg;

tresult PLUGIN_API ComponentHandler::beginEdit(Vst::ParamID) { return kResultOk; }

tresult PLUGIN_API ComponentHandler::performEdit(Vst::ParamID, Vst::ParamValue)
{
    edits_.fetch_add(1);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(Vst::ParamID) { return kResultOk; }

tresult PLUGIN_API ComponentHandler::restartComponent(int32)
{
    restarts_.fetch_add(1);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IComponentHandler::iid))
    {
        *obj = static_cast<Vst::IComponentHandler*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}
} // namespace tolmar::host
