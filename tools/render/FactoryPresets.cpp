#include "FactoryPresets.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <strings.h>

namespace tolmar::render
{
namespace
{
constexpr char kStateTag[] = "Tolmar Charge Chain Delay_2.X.X";
static_assert(sizeof(kStateTag) - 1 == 31);

constexpr std::array<FactoryPreset, 10> kPresets = {{
    {"default", {3, 0.6, 0.4, 0.15, 0.0, 0.5, 1.0, 0, 0}},
    {"Soft Flanger", {0, 0.4, -0.2, 0.3, 0.8, 0.5, 1.0, 0, 0}},
    {"Sharp Flanger", {0, 0.0, 0.8, 0.22, 0.9, 0.5, 0.66, 0, 0}},
    {"Soft Chorus", {1, 0.4, 0.0, 1.2, 0.1, 0.5, 1.0, 0, 0}},
    {"Hard Chorus", {1, 0.5, 0.3, 1.5, 0.2, 0.5, 1.0, 0, 0}},
    {"Slapback", {2, 0.7, 0.2, 0.15, 0.0, 0.33, 0.5, 0, 0}},
    {"Space-like", {3, 0.85, 0.75, 0.15, 0.0, 0.4, 0.44, 0, 0}},
    {"Vibrato", {0, 0.0, 0.0, 5.4, 0.25, 1.0, 1.0, 0, 0}},
    {"Tape Echo", {3, 1.0, 0.3, 0.32, 0.02, 0.33, 0.58, 0, 0}},
    {"Comb Resonator", {1, 0.75, 0.96, 0.15, 0.0, 0.3, 0.37, 0, 0}},
}};

void putLittleEndian(std::vector<char>& out, std::uint64_t bits, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}
} // namespace

const std::array<FactoryPreset, 10>& factoryPresets() { return kPresets; }

std::optional<int> findFactoryPreset(const std::string& nameOrIndex)
{
    if (!nameOrIndex.empty() && nameOrIndex.find_first_not_of("0123456789") == std::string::npos &&
        nameOrIndex.size() < 4)
    {
        const int index = std::stoi(nameOrIndex);
        if (index < static_cast<int>(kPresets.size()))
            return index;
        return std::nullopt;
    }
    for (size_t i = 0; i < kPresets.size(); ++i)
        if (strcasecmp(kPresets[i].name, nameOrIndex.c_str()) == 0)
            return static_cast<int>(i);
    return std::nullopt;
}

std::vector<char> componentStateFor(const FactoryPreset& preset, bool bypass)
{
    std::vector<char> out(kStateTag, kStateTag + 31);
    for (double v : preset.values)
        putLittleEndian(out, std::bit_cast<std::uint64_t>(v), 8);
    putLittleEndian(out, bypass ? 1u : 0u, 4);
    return out;
}
} // namespace tolmar::render
