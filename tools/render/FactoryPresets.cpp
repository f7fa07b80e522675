#include "FactoryPresets.h"

#include <strings.h>

namespace tolmar::render
{
std::optional<int> findFactoryPreset(const std::string& nameOrIndex)
{
    if (!nameOrIndex.empty() && nameOrIndex.find_first_not_of("0123456789") == std::string::npos &&
        nameOrIndex.size() < 4)
    {
        const int index = std::stoi(nameOrIndex);
        if (index < static_cast<int>(kFactoryPresets.size()))
            return index;
        return std::nullopt;
    }
    for (size_t i = 0; i < kFactoryPresets.size(); ++i)
        if (strcasecmp(kFactoryPresets[i].name, nameOrIndex.c_str()) == 0)
            return static_cast<int>(i);
    return std::nullopt;
}
} // namespace tolmar::render
