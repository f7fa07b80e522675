#include "RenderToolRun.h"

#include "support/LoggedProcess.h"

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace rendertest
{
namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "tolmar-render-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempFolder::names() const
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path_))
        out.push_back(e.path().filename().string());
    return out;
}

std::string bundlePath() { return TOLMAR_RENDER_TEST_BUNDLE; }

namespace
{
pid_t spawn(const std::vector<std::string>& args, bool withPlugin, const fs::path& out, const fs::path& err)
{
    std::vector<std::string> all = {TOLMAR_RENDER_EXE};
    if (withPlugin)
    {
        all.push_back("--plugin");
        all.push_back(bundlePath());
    }
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = logged::start(all, out, err);
    if (pid < 0)
        throw std::runtime_error("cannot start " + all[0]);
    return pid;
}

ToolResult finish(pid_t pid, const fs::path& out, const fs::path& err)
{
    ToolResult r;
    r.exitCode = logged::wait(pid);
    r.out = readText(out);
    r.err = readText(err);
    return r;
}
} // namespace

ToolResult runTool(const std::vector<std::string>& args, bool withPlugin)
{
    TempFolder streams;
    const pid_t pid = spawn(args, withPlugin, streams / "out", streams / "err");
    return finish(pid, streams / "out", streams / "err");
}

ToolResult runToolAndInterrupt(const std::vector<std::string>& args, const fs::path& folder)
{
    TempFolder streams;
    const pid_t pid = spawn(args, true, streams / "out", streams / "err");
    auto rendering = [&] {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string()[0] == '.')
                return true;
        return false;
    };
    for (int i = 0; i < 2000 && !rendering(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    return finish(pid, streams / "out", streams / "err");
}

void writeAudio(const fs::path& path, int format, int rate, const std::vector<std::vector<double>>& channels)
{
    SF_INFO info{};
    info.format = format;
    info.channels = static_cast<int>(channels.size());
    info.samplerate = rate;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        throw std::runtime_error(std::string("cannot write test audio: ") + sf_strerror(nullptr));
    const size_t frames = channels[0].size();
    std::vector<double> interleaved(frames * channels.size());
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels.size(); ++c)
            interleaved[i * channels.size() + c] = channels[c][i];
    sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
}

Audio readAudio(const fs::path& path)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        throw std::runtime_error("cannot read " + path.string() + ": " + sf_strerror(nullptr));
    std::vector<double> interleaved(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_double(f, interleaved.data(), info.frames);
    sf_close(f);
    Audio a;
    a.channels = info.channels;
    a.rate = info.samplerate;
    a.format = info.format;
    a.samples.assign(info.channels, std::vector<double>(static_cast<size_t>(info.frames)));
    for (sf_count_t i = 0; i < info.frames; ++i)
        for (int c = 0; c < info.channels; ++c)
            a.samples[c][i] = interleaved[i * info.channels + c];
    return a;
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<char> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

std::size_t loudestFrame(const Audio& a, std::size_t from, std::size_t to)
{
    std::size_t best = from;
    double bestValue = -1;
    for (std::size_t i = from; i < to && i < a.frames(); ++i)
        for (const auto& ch : a.samples)
            if (std::fabs(ch[i]) > bestValue)
            {
                bestValue = std::fabs(ch[i]);
                best = i;
            }
    return best;
}
} // namespace rendertest
