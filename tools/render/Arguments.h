#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tolmar::render
{
// A command line that cannot be carried out as written.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

// The signal to render when there is no input file.
enum class Generator
{
    None,
    Impulse,
    Tone,
    Demo,
};

struct Options
{
    // Files.
    std::string input;
    std::string output;
    std::optional<std::string> plugin;
    std::optional<std::string> plot;
    std::optional<std::string> state;
    std::optional<std::string> saveState;

    // Generated input.
    Generator generator = Generator::None;
    double toneHz = 0;
    std::optional<double> seconds;
    std::optional<int> rate;

    // Plug-in settings, applied in this order: state or preset, then every
    // assignment as given, then bypass.
    std::optional<std::string> preset;
    std::vector<std::pair<std::string, std::string>> assignments;
    bool bypass = false;

    // Transport.
    double tempo = 120;
    bool playing = false;
    double ppq = 0;

    // Rendering and output.
    int block = 512;
    std::optional<double> tail; // nothing: until the output falls silent
    std::optional<std::string> format;
    std::optional<std::string> bits;

    // Other modes.
    bool listParams = false;
    bool listPresets = false;
    bool all = false;
    bool quiet = false;
    bool help = false;
    bool version = false;

    bool renders() const { return !output.empty(); }
};

// Reads the arguments after the program name. Throws UsageError with a
// one-line reason.
Options parseArguments(const std::vector<std::string>& args);

std::string usageText();
} // namespace tolmar::render
