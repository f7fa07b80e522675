#include "RenderSession.h"
#include "params/CLocale.h"

#include "AudioFile.h"
#include "DemoSignal.h"
#include "Failure.h"
#include "FactoryPresets.h"
#include "Levels.h"
#include "ParameterAssignment.h"
#include "Plot.h"
#include "ProgressBar.h"
#include "RenderLoop.h"
#include "Signals.h"
#include "TolmarPlugin.h"
#include "WaveformSummary.h"
#include "host/ClapHost.h"
#include "host/HostError.h"
#include "host/PresetFile.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/StateFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <pwd.h>
#include <unistd.h>

#ifndef TOLMAR_RENDER_BUILD_BUNDLE
#define TOLMAR_RENDER_BUILD_BUNDLE ""
#endif

namespace tolmar::render
{
namespace fs = std::filesystem;

namespace
{
constexpr double kDefaultRate = 48000;
constexpr double kSilenceDb = -90;
constexpr double kMaxTailSeconds = 60;
// For an endless tail (freeze, full feedback): the output has fallen silent
// once it stayed below the silence level a little beyond the longest delay
// the effect can make.
constexpr double kEndlessTailQuietSeconds = DelayRanges::kLongestDelaySeconds + 0.05;
// Longer than any .vstpreset of this effect could be by a wide margin.
constexpr std::size_t kMaxPresetBytes = 16 << 20;
// The demo's preset when none is asked for.
constexpr const char* kDemoPreset = "Tape Echo";

fs::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

struct Settings
{
    std::vector<std::pair<Steinberg::Vst::ParamID, double>> changes;
    std::string summary; // for the plot's subtitle
};

std::string presetNames()
{
    std::string out;
    for (const auto& p : kFactoryPresets)
        out += (out.empty() ? "" : ", ") + inQuotes(p.name);
    return out;
}

void applyPreset(host::HostedPlugin& plugin, const std::string& which)
{
    const auto index = findFactoryPreset(which);
    if (!index)
        throw Failure("unknown preset " + inQuotes(which) + "; the presets are " + presetNames() + " (or 0 to 9)");
    const auto& preset = kFactoryPresets[*index];
    // The values come from this tool's table; the plug-in's own name for the
    // slot must agree, or the table belongs to another version.
    const auto names = plugin.programNames(kPresetProgramListId);
    if (static_cast<int>(names.size()) > *index && names[*index] != preset.name)
        throw Failure("the plug-in's preset " + std::to_string(*index) + " is " + inQuotes(names[*index]) + ", not " +
                      inQuotes(preset.name) + "; this tool does not know its values");
    plugin.setState(StateFormat::componentState(preset.values));
}

Settings applySettings(host::HostedPlugin& plugin, const Options& o, const std::optional<std::string>& preset)
{
    Settings s;
    auto note = [&](const std::string& part) { s.summary += (s.summary.empty() ? "" : ", ") + part; };
    if (o.state)
    {
        try
        {
            host::loadPreset(plugin, kClassId, readWholeFile(*o.state, kMaxPresetBytes));
        }
        catch (const host::HostError& e)
        {
            throw Failure("cannot load the state " + inQuotes(*o.state) + ": " + e.what());
        }
        note("state " + fs::path(*o.state).filename().string());
    }
    if (preset)
    {
        applyPreset(plugin, *preset);
        note("preset \u201C" + std::string(kFactoryPresets[*findFactoryPreset(*preset)].name) + "\u201D");
    }

    auto change = [&](Steinberg::Vst::ParamID id, double normalized) {
        plugin.setNormalized(id, normalized);
        for (auto& c : s.changes)
            if (c.first == id)
            {
                c.second = normalized;
                return;
            }
        s.changes.emplace_back(id, normalized);
    };
    for (const auto& [name, value] : o.assignments)
    {
        const auto resolved = resolveAssignment(plugin, name, value);
        change(resolved.parameter->id, resolved.normalized);
        note(resolved.parameter->title + " " + plugin.text(resolved.parameter->id, resolved.normalized));
    }

    // The processor follows bypass only through the parameter, so the
    // bypass a state or preset carries goes to it explicitly.
    if (const auto* bypass = plugin.bypassParameter())
    {
        if (o.bypass)
            plugin.setNormalized(bypass->id, 1.0);
        change(bypass->id, plugin.normalized(bypass->id));
        if (plugin.normalized(bypass->id) > 0.5)
            note("bypassed");
    }
    else if (o.bypass)
        throw Failure("the plug-in has no bypass parameter");
    return s;
}

void listPresets(const host::HostedPlugin& plugin, std::FILE* out)
{
    auto names = plugin.programNames(kPresetProgramListId);
    if (names.empty())
        for (const auto& p : kFactoryPresets)
            names.emplace_back(p.name);
    for (size_t i = 0; i < names.size(); ++i)
        std::fprintf(out, "%2zu  %s\n", i, names[i].c_str());
}

void listParameters(const host::HostedPlugin& plugin, bool all, std::FILE* out)
{
    std::fprintf(out, "%-6s %-22s %-10s %-10s %s\n", "ID", "Title", "Current", "Default", "Range");
    int hidden = 0;
    for (const auto& p : plugin.parameters())
    {
        // The effect's own parameters and bypass sit in the root unit; the
        // rest are the plug-in's MIDI-controller parameters.
        if (p.unitId != 0 && !all)
        {
            ++hidden;
            continue;
        }
        std::string title = p.title;
        if (p.unitId != 0)
            title += " [" + plugin.unitName(p.unitId) + "]";
        std::fprintf(out, "%-6u %-22s %-10s %-10s %s\n", p.id, title.c_str(), plugin.text(p.id, plugin.normalized(p.id)).c_str(),
                     plugin.text(p.id, p.defaultNormalized).c_str(), describeRange(plugin, p).c_str());
    }
    if (hidden > 0)
        std::fprintf(out, "(%d MIDI-controller parameters not shown; --all lists them)\n", hidden);
}

std::unique_ptr<AudioSource> makeSource(const Options& o, std::optional<AudioFormat>& inputFormat)
{
    const double rate = o.rate.value_or(kDefaultRate);
    switch (o.generator)
    {
    case Generator::Impulse:
        return std::make_unique<ImpulseSource>(rate, std::llround(o.seconds.value_or(1.0) * rate));
    case Generator::Tone:
        return std::make_unique<ToneSource>(o.toneHz, rate, std::llround(o.seconds.value_or(2.0) * rate));
    case Generator::Demo: return std::make_unique<DemoSignal>(rate);
    case Generator::None: break;
    }
    auto reader = std::make_unique<SoundFileReader>(o.input);
    inputFormat = reader->format();
    return reader;
}

std::vector<char> stateFile(host::HostedPlugin& plugin)
{
    try
    {
        return host::savePreset(plugin, kClassId);
    }
    catch (const host::HostError& e)
    {
        throw Failure(std::string("cannot save the state: ") + e.what());
    }
}

std::string secondsText(double s)
{
    char text[32];
    CLocale::Format(text, sizeof text, "%.2f s", s);
    return text;
}
} // namespace

fs::path findBundle(const std::optional<std::string>& plugin)
{
    if (plugin)
        return *plugin;
    std::vector<fs::path> candidates;
    if (*TOLMAR_RENDER_BUILD_BUNDLE)
        candidates.emplace_back(TOLMAR_RENDER_BUILD_BUNDLE);
    if (const auto home = homeFolder(); !home.empty())
        candidates.push_back(home / ".vst3" / kBundleFolderName);
    std::string looked;
    for (const auto& c : candidates)
    {
        std::error_code ec;
        if (fs::exists(c, ec))
            return c;
        looked += (looked.empty() ? "" : " or ") + inQuotes(c.string());
    }
    throw Failure("no plug-in bundle found (looked for " + looked +
                  "); build the project, install the bundle or give --plugin PATH");
}

void runSession(const Options& o, std::FILE* out, std::FILE* err)
{
    // A .clap file is a CLAP module; anything else a VST 3 bundle.
    const fs::path path = findBundle(o.plugin);
    std::unique_ptr<host::PluginModule> vst3Module;
    std::unique_ptr<host::ClapModule> clapModule;
    std::unique_ptr<host::HostedPlugin> hosted;
    std::error_code ec;
    if (path.extension() == ".clap" && !fs::is_directory(path, ec))
    {
        clapModule = std::make_unique<host::ClapModule>(path.string());
        hosted = std::make_unique<host::HostedPlugin>(*clapModule, kClapId, "tolmar-render");
    }
    else
    {
        vst3Module = std::make_unique<host::PluginModule>(path);
        hosted = std::make_unique<host::HostedPlugin>(*vst3Module, kClassId, "tolmar-render");
    }
    host::HostedPlugin& plugin = *hosted;

    if (o.listPresets)
    {
        listPresets(plugin, out);
        if (!o.listParams)
            return;
    }

    std::optional<std::string> preset = o.preset;
    if (!preset && !o.state && o.generator == Generator::Demo)
        preset = kDemoPreset;
    const Settings settings = applySettings(plugin, o, preset);

    RenderPlan plan;
    plan.blockSize = o.block;
    plan.transport = {o.tempo, o.playing, o.ppq};
    plan.firstBlockChanges = settings.changes;
    plan.fixedTailSeconds = o.tail;
    plan.maxTailSeconds = kMaxTailSeconds;
    plan.silenceDb = kSilenceDb;
    plan.quietSeconds = kEndlessTailQuietSeconds;
    const auto delay = echoDelaySeconds(plugin, o.tempo);

    if (o.listParams)
    {
        listParameters(plugin, o.all, out);
        return;
    }
    if (!o.renders())
    {
        applyWithoutAudio(plugin, plan);
        writeFileAtomically(*o.saveState, stateFile(plugin));
        if (!o.quiet)
            std::fprintf(out, "%s: state saved\n", o.saveState->c_str());
        return;
    }

    std::optional<AudioFormat> inputFormat;
    auto source = makeSource(o, inputFormat);
    const double rate = source->sampleRate();
    const AudioFormat format = chooseOutputFormat(inputFormat, o.output, o.format, o.bits, static_cast<int>(rate));

    SoundFileWriter writer(o.output, format, static_cast<int>(rate));
    LevelMeter meter;
    WaveformSummary inputSummary;
    WaveformSummary outputSummary;
    const bool impulse = o.generator == Generator::Impulse;
    // The close-up of an impulse response needs its first seconds in full.
    ClipRecorder clip(impulse ? static_cast<std::int64_t>(30 * rate) : 0);
    std::vector<AudioSink*> sinks = {&writer, &meter, &clip};
    if (o.plot)
        sinks.push_back(&outputSummary);
    SinkFanOut output(sinks);

    ProgressBar bar(err, rate, ProgressBar::wanted(err, source->length() / rate, o.quiet));
    const RenderResult result =
        renderThrough(plugin, *source, o.plot ? &inputSummary : nullptr, output, plan, &bar);
    bar.clear();

    // Everything is prepared before anything replaces an existing file.
    std::vector<double> echoes;
    if (impulse && delay)
        for (auto frame : findEchoes(clip.envelope(), *delay * rate, 60, 40))
            echoes.push_back(frame / rate);
    std::vector<char> stateBytes;
    if (o.saveState)
        stateBytes = stateFile(plugin);

    const double outputSeconds = meter.frames() / rate;
    std::string summary = fs::path(o.output).filename().string() + ": " + secondsText(outputSeconds) + ", " +
                          format.describe() + ", " + std::to_string(static_cast<int>(rate)) + " Hz stereo; peak " +
                          dbfs(meter.peak()) + ", RMS " + dbfs(meter.rms());
    std::vector<char> plotBytes;
    if (o.plot)
    {
        PlotRequest q;
        q.sampleRate = rate;
        q.title = impulse ? "Impulse response of " + plugin.className()
                          : source->description() + " through " + plugin.className();
        q.title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(q.title[0])));
        q.subtitle = settings.summary.empty() ? "default settings" : settings.summary;
        char details[96];
        CLocale::Format(details, sizeof details, "  \u00B7  %.0f Hz", rate);
        q.subtitle += details;
        if (o.tempo != 120 || o.playing)
        {
            CLocale::Format(details, sizeof details, "  \u00B7  %g BPM%s", o.tempo, o.playing ? ", playing" : "");
            q.subtitle += details;
        }
        q.footer = summary;
        q.inputLabel = source->description();
        q.input = &inputSummary;
        q.output = &outputSummary;
        q.inputSeconds = result.inputFrames / rate;
        q.impulse = impulse;
        q.clip = &clip;
        q.delaySeconds = delay ? *delay : 0;
        q.echoSeconds = echoes;
        q.silenceDb = kSilenceDb;
        plotBytes = drawPlot(q);
    }

    writer.commit();
    if (o.saveState)
        writeFileAtomically(*o.saveState, stateBytes);
    if (o.plot)
        writeFileAtomically(*o.plot, plotBytes);

    if (o.quiet)
        return;
    char speed[48];
    CLocale::Format(speed, sizeof speed, "; %.0fx real time", result.wallSeconds > 0 ? (result.inputFrames + result.tailFrames) / rate / result.wallSeconds : 0.0);
    std::fprintf(out, "%s%s%s\n", summary.c_str(), meter.peak() > 1.0 && format.clipsOverFullScale() ? " (clipped)" : "",
                 speed);
    if (impulse && !echoes.empty())
    {
        std::string list;
        for (size_t i = 0; i < echoes.size() && i < 8; ++i)
        {
            char t[32];
            CLocale::Format(t, sizeof t, "%s%.1f", i ? ", " : "", echoes[i] * 1000);
            list += t;
        }
        std::fprintf(out, "echoes at %s%s ms\n", list.c_str(), echoes.size() > 8 ? ", ..." : "");
    }
}
} // namespace tolmar::render
