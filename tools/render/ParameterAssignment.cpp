#include "ParameterAssignment.h"
#include "params/CLocale.h"

#include "Failure.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace tolmar::render
{
namespace
{
std::string folded(const std::string& s)
{
    std::string out;
    for (unsigned char c : s)
        if (!std::isspace(c))
            out += static_cast<char>(std::tolower(c));
    return out;
}

std::optional<double> number(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first)))
        ++first;
    while (last != first && std::isspace(static_cast<unsigned char>(last[-1])))
        --last;
    if (first != last && *first == '+')
        ++first;
    double v = 0;
    const auto [end, error] = std::from_chars(first, last, v);
    if (first == last || error != std::errc() || end != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string formatPlain(double v)
{
    char text[32];
    CLocale::Format(text, sizeof text, "%g", v);
    return text;
}

// Titles a user can pick from: the effect's own parameters and bypass, not
// the long run of MIDI-controller parameters.
std::string knownTitles(const host::HostedPlugin& plugin)
{
    std::string out;
    for (const auto& p : plugin.parameters())
    {
        if (p.unitId != 0)
            continue;
        out += out.empty() ? "" : ", ";
        out += p.title;
    }
    return out;
}

} // namespace

const host::ParameterDescription& findParameter(const host::HostedPlugin& plugin, const std::string& name)
{
    for (const bool exact : {true, false})
    {
        std::vector<const host::ParameterDescription*> found;
        for (const auto& p : plugin.parameters())
            if (exact ? p.title == name : folded(p.title) == folded(name))
                found.push_back(&p);
        if (found.size() == 1)
            return *found.front();
        if (found.size() > 1)
        {
            std::string ids;
            for (const auto* p : found)
                ids += (ids.empty() ? "" : ", ") + std::to_string(p->id);
            throw Failure("more than one parameter is called " + inQuotes(name) + " (IDs " + ids +
                          "); give the ID instead");
        }
    }
    if (const auto id = number(name); id && *id >= 0 && *id == std::floor(*id))
        for (const auto& p : plugin.parameters())
            if (p.id == static_cast<Steinberg::Vst::ParamID>(*id))
                return p;
    throw Failure("unknown parameter " + inQuotes(name) + "; the parameters are " + knownTitles(plugin));
}

ResolvedAssignment resolveAssignment(const host::HostedPlugin& plugin, const std::string& name,
                                     const std::string& value)
{
    const auto& p = findParameter(plugin, name);
    ResolvedAssignment out{&p, 0};
    if (const auto plain = number(value))
    {
        const double low = plugin.toPlain(p.id, 0.0);
        const double high = plugin.toPlain(p.id, 1.0);
        const double tolerance = 1e-9 * std::max(1.0, std::fabs(high - low));
        if (*plain < low - tolerance || *plain > high + tolerance)
            throw Failure(p.title + " takes values from " + formatPlain(low) + " to " + formatPlain(high) + ", not " +
                          value);
        if (p.stepCount > 0)
        {
            const double step = (high - low) / p.stepCount;
            const double k = (*plain - low) / step;
            if (std::fabs(k - std::round(k)) > 1e-9)
                throw Failure(p.title + " moves in steps of " + formatPlain(step) + "; " + value + " is not one");
        }
        out.normalized = std::clamp(plugin.toNormalized(p.id, *plain), 0.0, 1.0);
        return out;
    }
    // Texts are read by the plug-in itself, as it reads a host's text field;
    // it refuses a text that no value within the range shows.
    const auto n = plugin.normalizedFromText(p.id, value);
    if (!n)
        throw Failure(inQuotes(value) + " is not a value of " + p.title + " (" + describeRange(plugin, p) + ")");
    out.normalized = *n;
    return out;
}

std::string describeRange(const host::HostedPlugin& plugin, const host::ParameterDescription& p)
{
    if (p.stepCount > 0 && p.stepCount <= 32)
    {
        std::string out;
        for (int i = 0; i <= p.stepCount; ++i)
        {
            const double n = static_cast<double>(i) / p.stepCount;
            out += (i ? ", " : "") + plugin.text(p.id, n);
            const std::string plain = formatPlain(plugin.toPlain(p.id, n));
            if (plain != plugin.text(p.id, n))
                out += " (" + plain + ")";
        }
        return out;
    }
    const std::string low = formatPlain(plugin.toPlain(p.id, 0.0));
    const std::string high = formatPlain(plugin.toPlain(p.id, 1.0));
    return low + " .. " + high + " (" + plugin.text(p.id, 0.0) + " .. " + plugin.text(p.id, 1.0) + ")";
}
} // namespace tolmar::render
