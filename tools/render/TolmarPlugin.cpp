#include "TolmarPlugin.h"

#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/SyncRates.h"

#include <algorithm>
#include <cmath>

namespace tolmar::render
{
namespace
{
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

std::optional<double> echoDelaySeconds(const host::HostedPlugin& plugin, double tempo)
{
    using namespace DelayRanges;
    const auto* range = parameterTitled(plugin, "Range");
    const auto* time = parameterTitled(plugin, "Time");
    const auto* sync = parameterTitled(plugin, "Delay Sync to Host");
    if (!range || !time || !sync)
        return std::nullopt;

    const double t = std::clamp(plainValue(plugin, *time), 0.0, 1.0);
    if (plainValue(plugin, *sync) >= 0.5 && tempo > 0 && std::isfinite(tempo))
    {
        const double note = 60000.0 / tempo * kDelaySyncRates[static_cast<size_t>(delaySyncRowForTime(t))].quarterNotes;
        return foldIntoLongestRange(note) / 1000.0;
    }
    double lo, hi;
    rangeBoundsMs(std::clamp(std::round(plainValue(plugin, *range)), 0.0, 4.0), lo, hi);
    return (lo + (hi - lo) * t) / 1000.0;
}
} // namespace tolmar::render
