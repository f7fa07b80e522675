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

std::vector<char> presetFile(const TUID classId, const std::vector<char>& componentState, const std::string& metaInfoXml)
{
    auto component = streamOver(componentState);
    auto stream = owned(new MemoryStream());
    if (!Vst::PresetFile::savePreset(stream, FUID::fromTUID(classId), component, nullptr, metaInfoXml.c_str(),
                                     static_cast<int32>(metaInfoXml.size())))
        throw HostError("could not write the preset file");
    const char* data = stream->getData();
    return std::vector<char>(data, data + stream->getSize());
}

namespace
{
std::string xmlEscaped(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        switch (c)
        {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string attribute(const char* id, const std::string& value)
{
    return std::string("\t<Attr id=\"") + id + "\" value=\"" + xmlEscaped(value) +
           "\" type=\"string\" flags=\"writeProtected\"/>\n";
}
} // namespace

std::string presetMetaInfo(const std::string& presetName, const std::string& plugInName,
                           const std::string& plugInCategory)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n" + attribute("MediaType", "VstPreset") +
           attribute("PlugInName", plugInName) + attribute("PlugInCategory", plugInCategory) +
           attribute("Name", presetName) + "</MetaInfo>\n";
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

std::string metaInfoOf(const std::vector<char>& presetBytes)
{
    auto stream = streamOver(presetBytes);
    Vst::PresetFile file(stream);
    if (!file.readChunkList() || !file.contains(Vst::kMetaInfo))
        return {};
    int32 size = 0;
    if (!file.readMetaInfo(nullptr, size) || size <= 0 || size > (1 << 20))
        return {};
    std::string xml(static_cast<size_t>(size), '\0');
    if (!file.readMetaInfo(xml.data(), size))
        return {};
    xml.resize(static_cast<size_t>(size));
    return xml;
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
