#include "PresetFile.h"

#include "HostError.h"
#include "PresetReader.h"

#include "public.sdk/source/common/memorystream.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "params/VstPresetFile.h"

namespace tolmar::host
{
using namespace Steinberg;

namespace
{
// A read-only view of a checked chunk as a stream; the stream does not own
// the bytes.
IPtr<MemoryStream> streamOver(const std::vector<char>& bytes, const PresetChunk& chunk)
{
    return owned(new MemoryStream(const_cast<char*>(bytes.data()) + chunk.offset, static_cast<TSize>(chunk.size)));
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
    // Nothing reaches the plug-in before the whole chunk list has been
    // checked against the file.
    const PresetLayout layout = readPresetLayout(bytes.data(), bytes.size());
    const FUID wanted = FUID::fromTUID(classId);
    FUID found;
    found.fromString(layout.classId.c_str());
    if (found != wanted)
        throw HostError("the preset was made for another plug-in (class " + layout.classId + ", not " + hex(wanted) +
                        ")");
    if (!layout.componentState)
        throw HostError("the preset holds no plug-in state");
    if (plugin.isClap())
    {
        // A CLAP plug-in's state is the same bytes as the component state.
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(layout.componentState->offset);
        plugin.setState(std::vector<char>(begin, begin + static_cast<std::ptrdiff_t>(layout.componentState->size)));
        return;
    }
    if (plugin.component()->setState(streamOver(bytes, *layout.componentState)) != kResultOk)
        throw HostError("the plug-in refused the state in the preset (IComponent::setState)");
    // Same order as a DAW: the component state goes to the controller too,
    // then any controller-only state.
    plugin.controller()->setComponentState(streamOver(bytes, *layout.componentState));
    if (layout.controllerState &&
        plugin.controller()->setState(streamOver(bytes, *layout.controllerState)) != kResultOk)
        throw HostError("the plug-in refused the controller state in the preset (IEditController::setState)");
}

std::vector<char> savePreset(HostedPlugin& plugin, const TUID classId)
{
    // What a DAW keeps: the component state and, where the controller has
    // one of its own, the controller state, written by the one writer.
    if (plugin.isClap())
        return presetFile(classId, plugin.state(), "", nullptr);
    auto component = owned(new MemoryStream());
    if (plugin.component()->getState(component) != kResultOk)
        throw HostError("the plug-in refused to hand over its state for the preset");
    auto controller = owned(new MemoryStream());
    const bool withController =
        plugin.controller() && plugin.controller()->getState(controller) == kResultOk && controller->getSize() > 0;
    auto bytesOf = [](MemoryStream& stream) {
        return std::vector<char>(stream.getData(), stream.getData() + stream.getSize());
    };
    const std::vector<char> controllerState = withController ? bytesOf(*controller) : std::vector<char>();
    return presetFile(classId, bytesOf(*component), "", withController ? &controllerState : nullptr);
}

std::vector<char> presetFile(const TUID classId, const std::vector<char>& componentState, const std::string& metaInfoXml,
                             const std::vector<char>* controllerState)
{
    // The one writer of preset files, shared with the plug-in's editor.
    std::array<char, 16> id{};
    std::memcpy(id.data(), classId, id.size());
    return VstPresetFile::write(id, componentState, metaInfoXml, controllerState);
}

std::string presetMetaInfo(const std::string& presetName, const std::string& plugInName,
                           const std::string& plugInCategory)
{
    return VstPresetFile::metaInfo(presetName, plugInName, plugInCategory);
}

std::vector<char> componentStateOf(const std::vector<char>& presetBytes)
{
    try
    {
        const auto chunk = readPresetLayout(presetBytes.data(), presetBytes.size()).componentState;
        if (!chunk)
            return {};
        const auto begin = presetBytes.begin() + static_cast<std::ptrdiff_t>(chunk->offset);
        return std::vector<char>(begin, begin + static_cast<std::ptrdiff_t>(chunk->size));
    }
    catch (const HostError&)
    {
        return {};
    }
}

std::string metaInfoOf(const std::vector<char>& presetBytes)
{
    try
    {
        const auto chunk = readPresetLayout(presetBytes.data(), presetBytes.size()).metaInfo;
        if (!chunk)
            return {};
        return std::string(presetBytes.data() + chunk->offset, chunk->size);
    }
    catch (const HostError&)
    {
        return {};
    }
}

std::string classIdOf(const std::vector<char>& presetBytes)
{
    try
    {
        return readPresetLayout(presetBytes.data(), presetBytes.size()).classId;
    }
    catch (const HostError&)
    {
        return {};
    }
}
} // namespace tolmar::host
