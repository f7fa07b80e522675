// Every way a render can fail: one clear line on stderr, a non-zero exit,
// and an existing OUT left exactly as it was, with no temporary file beside it.
#include "support/RenderToolRun.h"

#include "TolmarPlugin.h"
#include "host/PresetFile.h"

#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/vstpresetfile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <dlfcn.h>
#include <cstdint>
#include <fstream>
#include <limits>

using namespace rendertest;
namespace fs = std::filesystem;

namespace
{
constexpr const char* kOldContent = "an earlier render";

class RenderErrors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<double> tone(4800);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.5 * std::sin(i * 0.05);
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, {tone, tone});
        std::ofstream(dir / "out.wav") << kOldContent;
    }

    // Runs the tool into the existing out.wav and checks the failure.
    void expectFailure(std::vector<std::string> args, const std::string& message, int exitCode = 1,
                       bool withPlugin = true)
    {
        const auto before = dir.names();
        const auto r = runTool(args, withPlugin);
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << "stderr: " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_EQ(r.err.rfind("tolmar-render: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(readText(dir / "out.wav"), kOldContent);
        EXPECT_EQ(dir.names().size(), before.size()) << "a temporary file was left behind";
    }

    std::string in() const { return (dir / "in.wav").string(); }
    std::string out() const { return (dir / "out.wav").string(); }

    TempFolder dir;
};

// A preset file for this effect whose component state the plug-in refuses:
// a chunk without the bypass word that must follow it.
void writeRefusedPreset(const fs::path& path)
{
    using namespace Steinberg;
    std::vector<char> chunk = {'T', 'o', 'l', 'm', 'a', 'r'};
    auto state = owned(new MemoryStream(chunk.data(), static_cast<TSize>(chunk.size())));
    auto file = owned(new MemoryStream());
    ASSERT_TRUE(Vst::PresetFile::savePreset(file, FUID::fromTUID(tolmar::render::kClassId), state));
    std::ofstream(path, std::ios::binary).write(file->getData(), file->getSize());
}

void writeForeignPreset(const fs::path& path)
{
    using namespace Steinberg;
    std::vector<char> chunk(107, 0);
    auto state = owned(new MemoryStream(chunk.data(), static_cast<TSize>(chunk.size())));
    auto file = owned(new MemoryStream());
    ASSERT_TRUE(Vst::PresetFile::savePreset(file, FUID(1, 2, 3, 4), state));
    std::ofstream(path, std::ios::binary).write(file->getData(), file->getSize());
}

// A preset file for this effect with a state of the right length, as the
// format's own writer lays it out.
std::vector<char> soundPresetBytes()
{
    using namespace Steinberg;
    std::vector<char> chunk(107, 0);
    auto state = owned(new MemoryStream(chunk.data(), static_cast<TSize>(chunk.size())));
    auto file = owned(new MemoryStream());
    EXPECT_TRUE(Vst::PresetFile::savePreset(file, FUID::fromTUID(tolmar::render::kClassId), state));
    return std::vector<char>(file->getData(), file->getData() + file->getSize());
}

void putInt64(std::vector<char>& bytes, std::size_t at, std::int64_t value)
{
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
}

// The positions of the chunk list and of its first entry's offset and size.
constexpr std::size_t kListOffsetPos = 40;
std::size_t listPos(const std::vector<char>& bytes)
{
    std::size_t pos = 0;
    for (int i = 7; i >= 0; --i)
        pos = (pos << 8) | static_cast<unsigned char>(bytes[kListOffsetPos + i]);
    return pos;
}
std::size_t firstEntryOffsetPos(const std::vector<char>& bytes) { return listPos(bytes) + 8 + 4; }
} // namespace

TEST_F(RenderErrors, MissingOrUnreadableInput)
{
    expectFailure({(dir / "nothing.wav").string(), out()}, "cannot read \"" + (dir / "nothing.wav").string() + "\": no such file");
    std::ofstream(dir / "text.wav") << "not audio at all";
    expectFailure({(dir / "text.wav").string(), out()}, "cannot read");
}

TEST_F(RenderErrors, MoreThanTwoChannels)
{
    std::vector<double> x(480, 0.1);
    writeAudio(dir / "three.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, {x, x, x});
    expectFailure({(dir / "three.wav").string(), out()}, "has 3 channels; only mono and stereo files can be rendered");
}

TEST_F(RenderErrors, ParameterNamesAndValues)
{
    expectFailure({"--set", "Sparkle=1", in(), out()}, "unknown parameter \"Sparkle\"; the parameters are Bypass, Range");
    expectFailure({"--set", "Mix=1.5", in(), out()}, "Mix takes values from 0 to 1, not 1.5");
    expectFailure({"--set", "Feedback=-2", in(), out()}, "Feedback takes values from -1 to 1, not -2");
    expectFailure({"--set", "Range=5", in(), out()}, "Range takes values from 0 to 4, not 5");
    expectFailure({"--set", "Range=2.5", in(), out()}, "Range moves in steps of 1");
    expectFailure({"--set", "Mix=half", in(), out()}, "\"half\" is not a value of Mix");
    expectFailure({"--set", "Feedback=200%", in(), out()},
                  "\"200%\" is not a value of Feedback (-1 .. 1 (-100.0% .. 100%))");
    expectFailure({"--set", "Modulation=0.5", in(), out()}, "more than one parameter is called \"Modulation\"");
    expectFailure({"--preset", "Jet Engine", in(), out()}, "unknown preset \"Jet Engine\"");
    expectFailure({"--preset", "10", in(), out()}, "unknown preset \"10\"");
}

TEST_F(RenderErrors, BundleNotFoundOrNotLoadable)
{
    expectFailure({"--plugin", (dir / "none.vst3").string(), in(), out()}, "no plug-in bundle at", 1, false);

    const auto folder = dir / "Broken.vst3" / "Contents" / "x86_64-linux";
    fs::create_directories(folder);
    expectFailure({"--plugin", (dir / "Broken.vst3").string(), in(), out()}, "is not a VST 3 bundle for this machine", 1,
                  false);
    std::ofstream(folder / "Broken.so") << "not a shared object";
    expectFailure({"--plugin", (dir / "Broken.vst3").string(), in(), out()}, "cannot load the plug-in", 1, false);
    fs::remove_all(dir / "Broken.vst3");
}

TEST_F(RenderErrors, SharedObjectThatIsNoPlugin)
{
    // Any library without the module entry points: libsndfile will do.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&sf_version_string), &info), 0);
    expectFailure({"--plugin", info.dli_fname, in(), out()}, "is not a VST 3 module", 1, false);
}

TEST_F(RenderErrors, StatesThePluginRefusesOrThatBelongElsewhere)
{
    std::ofstream(dir / "junk.vstpreset") << "junk";
    expectFailure({"--state", (dir / "junk.vstpreset").string(), in(), out()}, "not a VST 3 preset file");
    writeRefusedPreset(dir / "short.vstpreset");
    expectFailure({"--state", (dir / "short.vstpreset").string(), in(), out()},
                  "the plug-in refused the state in the preset");
    writeForeignPreset(dir / "other.vstpreset");
    expectFailure({"--state", (dir / "other.vstpreset").string(), in(), out()}, "made for another plug-in");
    expectFailure({"--state", (dir / "absent.vstpreset").string(), in(), out()}, "cannot read");
    fs::remove(dir / "junk.vstpreset");
    fs::remove(dir / "short.vstpreset");
    fs::remove(dir / "other.vstpreset");
}

TEST_F(RenderErrors, DamagedPresetFilesAreRefusedBeforeAnythingIsRead)
{
    const auto sound = soundPresetBytes();
    ASSERT_EQ(std::string(&sound[listPos(sound)], 4), "List");
    ASSERT_EQ(std::string(&sound[firstEntryOffsetPos(sound) - 4], 4), "Comp");
    const auto path = dir / "damaged.vstpreset";
    auto expectRefused = [&](std::vector<char> bytes, const std::string& message) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        expectFailure({"--state", path.string(), in(), out()}, message);
    };
    const std::size_t entry = firstEntryOffsetPos(sound);
    for (std::int64_t offset : {std::int64_t{-16} << 20, std::int64_t{-64}, std::int64_t{-1}, std::int64_t{1} << 40,
                                static_cast<std::int64_t>(sound.size()) + 1})
    {
        auto bytes = sound;
        putInt64(bytes, entry, offset);
        expectRefused(bytes, "chunk 'Comp' (offset " + std::to_string(offset) + ", size 107) lies outside the file");
    }
    // Offset plus size past the largest 64-bit number, and a negative size.
    for (std::int64_t size : {std::numeric_limits<std::int64_t>::max() - 10, std::int64_t{-1},
                              static_cast<std::int64_t>(sound.size())})
    {
        auto bytes = sound;
        putInt64(bytes, entry + 8, size);
        expectRefused(bytes, "size " + std::to_string(size) + ") lies outside the file");
    }
    // A chunk list outside the file, or with more entries than it holds.
    for (std::int64_t listOffset : {std::int64_t{-64}, std::int64_t{0}, static_cast<std::int64_t>(sound.size()) - 4,
                                    std::numeric_limits<std::int64_t>::max()})
    {
        auto bytes = sound;
        putInt64(bytes, kListOffsetPos, listOffset);
        expectRefused(bytes, "its chunk list lies outside the file");
    }
    auto bytes = sound;
    bytes[listPos(sound) + 4] = 0x7F; // 127 entries where the file holds one
    expectRefused(bytes, "its chunk list (127 entries) runs past the end of the file");
    bytes = sound;
    bytes.pop_back(); // the last entry cut short
    expectRefused(bytes, "its chunk list (1 entries) runs past the end of the file");
    fs::remove(path);
}

TEST_F(RenderErrors, OutputThatCannotBeWritten)
{
    expectFailure({in(), (dir / "missing-folder" / "x.wav").string()}, "cannot write");
    expectFailure({in(), out(), "--format", "flac", "--bits", "float"}, "cannot write FLAC 32-bit float");
    expectFailure({in(), out(), "--format", "mp3"}, "unknown --format \"mp3\"");
}

TEST_F(RenderErrors, CommandLineMistakesExitWithTwo)
{
    expectFailure({in()}, "missing OUT", 2);
    expectFailure({"--impulse", in(), out()}, "a generated signal takes only OUT", 2);
    expectFailure({"--block", "0", in(), out()}, "--block must lie between 1 and 16384", 2);
    expectFailure({"--tempo", "fast", in(), out()}, "--tempo takes a number, not \"fast\"", 2);
    expectFailure({"--set", "Mix", in(), out()}, "--set takes NAME=VALUE", 2);
    expectFailure({"--preset", "default", "--state", "x", in(), out()}, "give one of them", 2);
    expectFailure({"--shout", in(), out()}, "unknown option --shout", 2);
}

TEST_F(RenderErrors, InterruptedRenderLeavesTheOldOutput)
{
    // An hour of tone takes long enough to be interrupted midway.
    const auto r = runToolAndInterrupt({"--tone", "440", "--seconds", "3600", out()}, dir.path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    EXPECT_EQ(readText(dir / "out.wav"), kOldContent);
    EXPECT_EQ(dir.names().size(), 2u) << "a temporary file was left behind";
}

TEST_F(RenderErrors, SuccessfulRenderReplacesTheOldOutput)
{
    const auto r = runTool({"--quiet", in(), out()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readAudio(dir / "out.wav").channels, 2);
    EXPECT_EQ(dir.names().size(), 2u);
}
