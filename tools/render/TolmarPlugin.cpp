#include "TolmarPlugin.h"

#include <algorithm>
#include <cmath>

namespace tolmar::render
{
const Steinberg::TUID kClassId = {
    static_cast<char>(0xF2), static_cast<char>(0xAE), static_cast<char>(0xE7), static_cast<char>(0x0D),
    static_cast<char>(0x00), static_cast<char>(0xDE), static_cast<char>(0x4F), static_cast<char>(0x4E),
    static_cast<char>(0x54), static_cast<char>(0x6F), static_cast<char>(0x6C), static_cast<char>(0x6D),
    static_cast<char>(0x74), static_cast<char>(0x6C), static_cast<char>(0x63), static_cast<char>(0x64)};

namespace
{
// Note lengths in quarter notes that a synced Time selects, longest first.
constexpr double kSyncQuarterNotes[20] = {8,   6,     4,         3,     2,        1.5,    4.0 / 3.0,
                                          1,   0.75,  2.0 / 3.0, 0.5,   0.375,    1.0 / 3.0, 0.25,
                                          0.1875, 1.0 / 6.0, 0.125, 0.09375, 1.0 / 12.0, 0.0625};

double plainValue(const host::HostedPlugin& plugin, const host::ParameterDescription& p)
{
    return plugin.toPlain(p.id, plugin.normalized(p.id));
}
} // namespace

const host::ParameterDescription* parameterTitled(const host::HostedPlugin& plugin, const std::string& title)
{
    for (const auto& p : plugin.parameters())
        if (p.title == title)
            return &p;
    return nullptr;
}

std::optional<DelayEstimate> estimateDelay(const host::HostedPlugin& plugin, double tempo)
{
    const auto* range = parameterTitled(plugin, "Range");
    const auto* time = parameterTitled(plugin, "Time");
    const auto* sync = parameterTitled(plugin, "Delay Sync to Host");
    if (!range || !time || !sync)
        return std::nullopt;

    const double t = std::clamp(plainValue(plugin, *time), 0.0, 1.0);
    double topMs = 0;
    double ms = 0;
    if (plainValue(plugin, *sync) >= 0.5 && tempo > 0 && std::isfinite(tempo))
    {
        // A synced note is halved until it fits the longest range, then
        // takes the shortest range that still holds it.
        const int row = std::clamp(static_cast<int>(std::lround((1.0 - t) * 19.0)), 0, 19);
        ms = 60000.0 / tempo * kSyncQuarterNotes[row];
        while (ms > kLongestDelaySeconds * 1000.0)
            ms *= 0.5;
        int k = 0;
        while (k < 12 && 2000.0 * std::pow(4.0, -k) / 8.0 > ms)
            ++k;
        topMs = 2000.0 * std::pow(4.0, -k);
    }
    else
    {
        const double r = std::clamp(std::round(plainValue(plugin, *range)), 0.0, 4.0);
        topMs = 2000.0 * std::pow(4.0, r - 4.0);
        ms = topMs * 0.125 + (topMs - topMs * 0.125) * t;
    }
    return DelayEstimate{ms / 1000.0, topMs / 1000.0};
}
} // namespace tolmar::render
