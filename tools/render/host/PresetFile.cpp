#include "PresetFile.h"

#include "HostError.h"

#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/vstpresetfile.h"

namespace tolmar::host
{
using namespace Steinberg;

namespace
{
// A read-only view of bytes as a stream; the stream does not own them.
IPtr<MemoryStream> streamOver(const std::vector<char>& bytes)
{
    return owned(new MemoryStream(const_cast<char*>(bytes.data()), static_cast<TSize>(bytes.size())));
}

std::string hex(const FUID& id)
{
    char text[33] = {};
    id.toString(text);
    return text;
}
} // namespace

void loadPreset(HostedPlugin& plugin, const TUID classId, const std::vector<char>& bytes)
{
    auto stream = streamOver(bytes);
    Vst::PresetFile file(stream);
    if (!file.readChunkList())
        throw HostError("not a VST 3 preset file");
    const FUID wanted = FUID::fromTUID(classId);
    if (file.getClassID() != wanted)
        throw HostError("the preset was made for another plug-in (class " + hex(file.getClassID()) + ", not " +
                        hex(wanted) + ")");
    if (!file.contains(Vst::kComponentState))
        throw HostError("the preset holds no plug-in state");
    if (!file.restoreComponentState(plugin.component()))
        throw HostError("the plug-in refused the state in the preset (IComponent::setState)");
    // Same order as a DAW: the component state goes to the controller too,
    // then any controller-only state.
    file.restoreComponentState(plugin.controller());
    if (file.contains(Vst::kControllerState) && !file.restoreControllerState(plugin.controller()))
        throw HostError("the plug-in refused the controller state in the preset (IEditController::setState)");
}

std::vector<char> savePreset(HostedPlugin& plugin, const TUID classId)
{
    auto stream = owned(new MemoryStream());
    if (!Vst::PresetFile::savePreset(stream, FUID::fromTUID(classId), plugin.component(), plugin.controller()))
        throw HostError("the plug-in refused to hand over its state for the preset");
    const char* data = stream->getData();
    return std::vector<char>(data, data + stream->getSize());
}

std::vector<char> componentStateOf(const std::vector<char>& presetBytes)
{
    auto stream = streamOver(presetBytes);
    Vst::PresetFile file(stream);
    if (!file.readChunkList())
        return {};
    const auto* entry = file.getEntry(Vst::kComponentState);
    if (!entry || entry->offset < 0 || entry->size < 0 ||
        entry->offset + entry->size > static_cast<TSize>(presetBytes.size()))
        return {};
    return std::vector<char>(presetBytes.begin() + entry->offset, presetBytes.begin() + entry->offset + entry->size);
}

std::string classIdOf(const std::vector<char>& presetBytes)
{
    auto stream = streamOver(presetBytes);
    Vst::PresetFile file(stream);
    if (!file.readChunkList())
        return {};
    return hex(file.getClassID());
}
} // namespace tolmar::host
