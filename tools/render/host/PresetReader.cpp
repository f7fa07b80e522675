#include "PresetReader.h"

#include <string>

#include "HostError.h"

namespace tolmar::host
{
PresetLayout readPresetLayout(const char* bytes, std::size_t size)
{
    std::string why;
    auto layout = VstPresetFile::read(bytes, size, &why);
    if (!layout)
        throw HostError(why);
    return *layout;
}
} // namespace tolmar::host
