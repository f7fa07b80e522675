#include "Arguments.h"
#include "params/CLocale.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace tolmar::render
{
namespace
{
double parseNumber(const std::string& option, const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(value))
        throw UsageError(option + " takes a number, not \"" + text + "\"");
    return value;
}

double parseInRange(const std::string& option, const std::string& text, double low, double high, const char* unit)
{
    const double v = parseNumber(option, text);
    if (v < low || v > high)
    {
        char buffer[160];
        CLocale::Format(buffer, sizeof buffer, "%s must lie between %g and %g%s, not %s", option.c_str(), low, high,
                        unit, text.c_str());
        throw UsageError(buffer);
    }
    return v;
}

int parseWhole(const std::string& option, const std::string& text, int low, int high)
{
    const double v = parseInRange(option, text, low, high, "");
    if (v != std::floor(v))
        throw UsageError(option + " takes a whole number, not \"" + text + "\"");
    return static_cast<int>(v);
}

void setGenerator(Options& o, Generator g, const std::string& option)
{
    if (o.generator != Generator::None && o.generator != g)
        throw UsageError(option + " cannot be combined with another generated signal (--impulse, --tone, --demo)");
    o.generator = g;
}
} // namespace

Options parseArguments(const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> files;
    bool optionsEnded = false;
    bool seenRate = false;

    // Options that take a value, and what to do with it.
    const std::map<std::string, std::function<void(const std::string&, const std::string&)>> valued = {
        {"--plugin", [&](auto&, auto& v) { o.plugin = v; }},
        {"--plot", [&](auto&, auto& v) { o.plot = v; }},
        {"--state", [&](auto&, auto& v) { o.state = v; }},
        {"--save-state", [&](auto&, auto& v) { o.saveState = v; }},
        {"--preset", [&](auto&, auto& v) { o.preset = v; }},
        {"--set",
         [&](auto& n, auto& v) {
             const auto eq = v.find('=');
             if (eq == std::string::npos || eq == 0)
                 throw UsageError(n + " takes NAME=VALUE, not \"" + v + "\"");
             o.assignments.emplace_back(v.substr(0, eq), v.substr(eq + 1));
         }},
        {"--tempo", [&](auto& n, auto& v) { o.tempo = parseInRange(n, v, 1, 999, " BPM"); }},
        {"--ppq", [&](auto& n, auto& v) { o.ppq = parseInRange(n, v, 0, 1e7, " quarter notes"); }},
        {"--block", [&](auto& n, auto& v) { o.block = parseWhole(n, v, 1, 16384); }},
        {"--tail", [&](auto& n, auto& v) { o.tail = parseInRange(n, v, 0, 600, " seconds"); }},
        {"--format", [&](auto&, auto& v) { o.format = v; }},
        {"--bits", [&](auto&, auto& v) { o.bits = v; }},
        {"--tone",
         [&](auto& n, auto& v) {
             setGenerator(o, Generator::Tone, n);
             o.toneHz = parseInRange(n, v, 1, 100000, " Hz");
         }},
        {"--seconds", [&](auto& n, auto& v) { o.seconds = parseInRange(n, v, 0.001, 3600, " seconds"); }},
        {"--rate",
         [&](auto& n, auto& v) {
             o.rate = parseWhole(n, v, 8000, 384000);
             seenRate = true;
         }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--impulse", [&] { setGenerator(o, Generator::Impulse, "--impulse"); }},
        {"--demo", [&] { setGenerator(o, Generator::Demo, "--demo"); }},
        {"--playing", [&] { o.playing = true; }},
        {"--bypass", [&] { o.bypass = true; }},
        {"--list-params", [&] { o.listParams = true; }},
        {"--list-presets", [&] { o.listPresets = true; }},
        {"--all", [&] { o.all = true; }},
        {"--quiet", [&] { o.quiet = true; }},
        {"-q", [&] { o.quiet = true; }},
        {"--help", [&] { o.help = true; }},
        {"-h", [&] { o.help = true; }},
        {"--version", [&] { o.version = true; }},
    };

    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-')
        {
            files.push_back(arg);
            continue;
        }
        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos)
        {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (auto f = flags.find(name); f != flags.end())
        {
            if (inlineValue)
                throw UsageError(name + " takes no value");
            f->second();
            continue;
        }
        auto v = valued.find(name);
        if (v == valued.end())
            throw UsageError("unknown option " + name);
        if (!inlineValue)
        {
            if (i + 1 >= args.size())
                throw UsageError(name + " needs a value");
            inlineValue = args[++i];
        }
        v->second(name, *inlineValue);
    }

    if (o.help || o.version)
        return o;

    const bool lists = o.listParams || o.listPresets;
    const bool generated = o.generator != Generator::None;
    if (o.all && !o.listParams)
        throw UsageError("--all goes with --list-params");
    if (o.preset && o.state)
        throw UsageError("--preset and --state both set the whole state; give one of them");
    if (!generated && (o.seconds || seenRate))
        throw UsageError(std::string(o.seconds ? "--seconds" : "--rate") +
                         " sets the length or rate of --impulse, --tone or --demo");
    if (o.generator == Generator::Demo && o.seconds)
        throw UsageError("--seconds does not apply to --demo, whose figure has its own length");

    if (lists)
    {
        if (!files.empty() || generated)
            throw UsageError("--list-params and --list-presets render nothing; give no files or signals");
        if (o.plot)
            throw UsageError("--plot needs a render");
        return o;
    }

    if (generated)
    {
        if (files.size() != 1)
            throw UsageError(files.empty() ? "missing OUT: the file to write the generated signal through the plug-in to"
                                           : "a generated signal takes only OUT, no input file");
        o.output = files[0];
    }
    else if (files.size() == 2)
    {
        o.input = files[0];
        o.output = files[1];
    }
    else if (files.empty() && o.saveState)
    {
        // Only settings: apply them and save the state.
    }
    else if (files.size() > 2)
        throw UsageError("too many files: give IN and OUT");
    else
        throw UsageError(files.empty() ? "missing IN and OUT" : "missing OUT");

    if (!o.renders() && (o.plot || o.format || o.bits || o.tail))
        throw UsageError("--plot, --format, --bits and --tail need OUT");
    if (o.generator == Generator::Tone && o.toneHz >= o.rate.value_or(48000) / 2.0)
        throw UsageError("--tone must lie below half the sample rate");
    return o;
}

std::string usageText()
{
    return R"(Usage:
  tolmar-render [OPTIONS] IN OUT          run an audio file through the plug-in
  tolmar-render [OPTIONS] --impulse OUT   render the impulse response
  tolmar-render [OPTIONS] --tone HZ OUT   render a test tone
  tolmar-render [OPTIONS] --demo OUT      render a short synthesised melody
  tolmar-render [OPTIONS] --save-state FILE      save settings without rendering
  tolmar-render [OPTIONS] --list-params | --list-presets

Settings (applied in this order):
  --state FILE          load a .vstpreset file
  --preset NAME|INDEX   apply a factory preset (see --list-presets)
  --set NAME=VALUE      set a parameter in plain units or by its text,
                        e.g. --set Mix=Wet --set Time=0.25; repeatable
  --bypass              bypass the effect
  --save-state FILE     write the final state as a .vstpreset file

Transport (for tempo sync):
  --tempo BPM           host tempo (default 120)
  --playing             transport running; the position advances per block
  --ppq START           start position in quarter notes (default 0)

Rendering:
  --block N             frames per process call (default 512)
  --tail SECONDS        render exactly this long after the input ends;
                        by default the plug-in's tail (its echoes down to
                        -90 dBFS), at most 60 s
  --format FMT          wav, flac, aiff or ogg (default: as IN, or OUT's
                        extension)
  --bits B              8, 16, 24, 32, float or double (default: as IN)
  --seconds S           length of --impulse or --tone (default 1 and 2)
  --rate R              sample rate of a generated signal (default 48000)
  --plot FILE.png       draw input and output waveforms
  --plugin PATH         the .vst3 bundle or the .clap module to load
  --list-params [--all] print the parameters (--all: with the MIDI ones)
  --list-presets        print the factory presets
  -q, --quiet           no progress bar and no summary
  -h, --help            this text
  --version             the tool's version
)";
}
} // namespace tolmar::render
