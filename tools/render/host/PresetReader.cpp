#include "PresetReader.h"

#include "HostError.h"
#include "params/VstPresetFile.h"

namespace tolmar::host
{
PresetLayout readPresetLayout(const char* bytes, std::size_t size)
{
    // The plug-in's own reader, so the tool and the editor agree on what a
    // damaged file is.
    std::string why;
    const auto read = VstPresetFile::read(bytes, size, &why);
    if (!read)
        throw HostError(why);
    PresetLayout layout;
    layout.classId = read->classId;
    auto convert = [](const std::optional<VstPresetFile::Chunk>& chunk) -> std::optional<PresetChunk> {
        if (!chunk)
            return std::nullopt;
        return PresetChunk{chunk->offset, chunk->size};
    };
    layout.componentState = convert(read->componentState);
    layout.controllerState = convert(read->controllerState);
    layout.metaInfo = convert(read->metaInfo);
    return layout;
}
} // namespace tolmar::host
