#pragma once
#include <filesystem>
#include <string>
#include <vector>

// Runs tolmar-render as a user does, in a folder of the test's own, and
// reads audio files the way a user's other tools would, with libsndfile.
namespace rendertest
{
struct ToolResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names in the folder, to see that no temporary file was left behind.
    std::vector<std::string> names() const;

private:
    std::filesystem::path path_;
};

// The built bundle, passed with --plugin unless a test passes its own.
std::string bundlePath();

// tolmar-render with the arguments, the built bundle added with --plugin
// unless `withPlugin` is false. Waits for the end.
ToolResult runTool(const std::vector<std::string>& args, bool withPlugin = true);

// Starts the tool, sends SIGINT once its temporary output file appears in
// `folder` (the render is under way then) and waits for the end.
ToolResult runToolAndInterrupt(const std::vector<std::string>& args, const std::filesystem::path& folder);

struct Audio
{
    int channels = 0;
    int rate = 0;
    int format = 0; // libsndfile's format code
    std::vector<std::vector<double>> samples; // per channel
    std::size_t frames() const { return samples.empty() ? 0 : samples[0].size(); }
};

void writeAudio(const std::filesystem::path& path, int format, int rate, const std::vector<std::vector<double>>& channels);
Audio readAudio(const std::filesystem::path& path);

std::string readText(const std::filesystem::path& path);
std::vector<char> readBytes(const std::filesystem::path& path);

// The frame of the largest magnitude (either channel) in [from, to).
std::size_t loudestFrame(const Audio& a, std::size_t from, std::size_t to);
} // namespace rendertest
