// The tool's parts that need no plug-in: the command line, output formats,
// the tail's end, the plot's summaries and the demo signal.
#include "Arguments.h"
#include "AudioFile.h"
#include "DemoSignal.h"
#include "Failure.h"
#include "FactoryPresets.h"
#include "TailGate.h"
#include "WaveformSummary.h"

#include "params/ProductFacts/StateFormat.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <bit>
#include <cmath>
#include <cstring>

using namespace tolmar::render;

TEST(Arguments, FilesOptionsAndTheirOrder)
{
    const auto o = parseArguments({"--set", "Mix=Wet", "in.wav", "--set=Time=0.25", "--preset", "Slapback", "out.flac",
                                   "--tempo=90", "--playing", "--block", "64", "--tail", "1.5", "--bits", "16"});
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.flac");
    ASSERT_EQ(o.assignments.size(), 2u);
    EXPECT_EQ(o.assignments[0], std::make_pair(std::string("Mix"), std::string("Wet")));
    EXPECT_EQ(o.assignments[1], std::make_pair(std::string("Time"), std::string("0.25")));
    EXPECT_EQ(o.preset, "Slapback");
    EXPECT_EQ(o.tempo, 90);
    EXPECT_TRUE(o.playing);
    EXPECT_EQ(o.block, 64);
    EXPECT_EQ(o.tail, 1.5);
    EXPECT_EQ(o.bits, "16");

    const auto d = parseArguments({"a", "b"});
    EXPECT_EQ(d.tempo, 120);
    EXPECT_EQ(d.block, 512);
    EXPECT_FALSE(d.tail);

    const auto dashed = parseArguments({"--", "-in.wav", "-out.wav"});
    EXPECT_EQ(dashed.input, "-in.wav");
    EXPECT_EQ(dashed.output, "-out.wav");

    const auto generated = parseArguments({"--tone", "1000", "--seconds", "3", "--rate", "96000", "t.wav"});
    EXPECT_EQ(generated.generator, Generator::Tone);
    EXPECT_EQ(generated.output, "t.wav");
    EXPECT_TRUE(generated.input.empty());

    EXPECT_TRUE(parseArguments({"--save-state", "s.vstpreset", "--preset", "3"}).saveState);
    EXPECT_TRUE(parseArguments({"--list-params", "--all"}).all);
}

TEST(Arguments, MistakesAreNamed)
{
    auto reason = [](std::vector<std::string> args) {
        try
        {
            parseArguments(args);
        }
        catch (const UsageError& e)
        {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(reason({"in.wav"}), "missing OUT");
    EXPECT_EQ(reason({}), "missing IN and OUT");
    EXPECT_EQ(reason({"a", "b", "c"}), "too many files: give IN and OUT");
    EXPECT_EQ(reason({"--block"}), "--block needs a value");
    EXPECT_EQ(reason({"--block", "2.5", "a", "b"}), "--block takes a whole number, not \"2.5\"");
    EXPECT_EQ(reason({"--tempo", "1000", "a", "b"}), "--tempo must lie between 1 and 999 BPM, not 1000");
    EXPECT_EQ(reason({"--seconds", "2", "a", "b"}), "--seconds sets the length or rate of --impulse, --tone or --demo");
    EXPECT_EQ(reason({"--demo", "--seconds", "2", "a"}), "--seconds does not apply to --demo, whose figure has its own length");
    EXPECT_EQ(reason({"--impulse", "--demo", "a"}),
              "--demo cannot be combined with another generated signal (--impulse, --tone, --demo)");
    EXPECT_EQ(reason({"--tone", "30000", "a"}), "--tone must lie below half the sample rate");
    EXPECT_EQ(reason({"--list-params", "a"}), "--list-params and --list-presets render nothing; give no files or signals");
    EXPECT_EQ(reason({"--all", "a", "b"}), "--all goes with --list-params");
    EXPECT_EQ(reason({"--plot", "p.png", "--save-state", "s"}), "--plot, --format, --bits and --tail need OUT");
    EXPECT_EQ(reason({"--bypass=yes", "a", "b"}), "--bypass takes no value");
    EXPECT_EQ(reason({"--set", "=1", "a", "b"}), "--set takes NAME=VALUE, not \"=1\"");
}

TEST(OutputFormat, KeptFromTheInputUnlessToldOtherwise)
{
    const AudioFormat wav24{SF_FORMAT_WAV, SF_FORMAT_PCM_24};
    const AudioFormat wavFloat{SF_FORMAT_WAV, SF_FORMAT_FLOAT};
    EXPECT_EQ(chooseOutputFormat(wav24, "out.wav", {}, {}, 48000).code(), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    // An unknown extension keeps the input's container.
    EXPECT_EQ(chooseOutputFormat(wav24, "out.bin", {}, {}, 48000).code(), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    // The extension names another container; the depth stays where it can.
    EXPECT_EQ(chooseOutputFormat(wav24, "out.flac", {}, {}, 48000).code(), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(chooseOutputFormat(wavFloat, "OUT.FLAC", {}, {}, 48000).code(), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(chooseOutputFormat(wav24, "out.ogg", {}, {}, 48000).code(), SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(chooseOutputFormat(wav24, "x.wav", std::string("aiff"), std::string("float"), 48000).code(),
              SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    EXPECT_EQ(chooseOutputFormat(wav24, "x.wav", {}, std::string("8"), 48000).code(), SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    // Generated signals: 24-bit WAV unless the name says otherwise.
    EXPECT_EQ(chooseOutputFormat({}, "x", {}, {}, 48000).code(), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(chooseOutputFormat({}, "x.aif", {}, {}, 48000).describe(), "AIFF 24-bit");

    EXPECT_THROW(chooseOutputFormat(wav24, "x.ogg", {}, std::string("16"), 48000), Failure);
    EXPECT_THROW(chooseOutputFormat(wav24, "x.flac", {}, std::string("double"), 48000), Failure);
    EXPECT_THROW(chooseOutputFormat(wav24, "x", std::string("mp3"), {}, 48000), Failure);
}

namespace
{
// Collects what the gate lets through.
struct Collect final : AudioSink
{
    void write(const double* left, const double*, int frames) override { got.insert(got.end(), left, left + frames); }
    std::vector<double> got;
};
} // namespace

TEST(TailGate, EndsAfterTheQuietRunAndDropsIt)
{
    Collect out;
    TailGate gate(out, 10, 0.001, 1000);
    std::vector<double> block(4, 0.0);
    block[1] = 0.5; // audible in the first block, quiet after its second frame
    EXPECT_TRUE(gate.write(block.data(), block.data(), 4));
    std::vector<double> quiet(4, 0.0001);
    EXPECT_TRUE(gate.write(quiet.data(), quiet.data(), 4));   // 6 quiet frames held
    EXPECT_FALSE(gate.write(quiet.data(), quiet.data(), 4));  // 10: the tail is over
    EXPECT_EQ(out.got.size(), 2u); // through the last audible frame only

    // Something audible after a quiet stretch brings the stretch along.
    Collect more;
    TailGate again(more, 100, 0.001, 1000);
    again.write(quiet.data(), quiet.data(), 4);
    again.write(block.data(), block.data(), 4);
    EXPECT_EQ(more.got.size(), 6u);
}

TEST(TailGate, StopsAtItsLongestTail)
{
    Collect out;
    TailGate gate(out, 100, 0.001, 12);
    std::vector<double> loud(4, 0.5);
    EXPECT_TRUE(gate.write(loud.data(), loud.data(), 4));
    EXPECT_TRUE(gate.write(loud.data(), loud.data(), 4));
    EXPECT_FALSE(gate.write(loud.data(), loud.data(), 4));
    EXPECT_EQ(out.got.size(), 12u);
}

TEST(WaveformSummary, KeepsPeaksWhileMergingBuckets)
{
    WaveformSummary s(8);
    std::vector<double> x(1000, 0.0);
    x[123] = 0.9;
    x[777] = -0.8;
    s.write(x.data(), x.data(), 1000);
    EXPECT_EQ(s.frames(), 1000);
    const auto b = s.buckets();
    EXPECT_LE(b.size(), 9u);
    EXPECT_GE(s.framesPerBucket() * static_cast<std::int64_t>(b.size()), 1000);
    float high = 0, low = 0;
    for (const auto& k : b)
    {
        high = std::max(high, k.high[0]);
        low = std::min(low, k.low[0]);
    }
    EXPECT_FLOAT_EQ(high, 0.9f);
    EXPECT_FLOAT_EQ(low, -0.8f);
    // The peak sits in the bucket that covers its frame.
    EXPECT_FLOAT_EQ(b[123 / s.framesPerBucket()].high[0], 0.9f);
}

TEST(Echoes, FoundNearMultiplesOfTheDelayUntilTheyFade)
{
    std::vector<float> env(1000, 0.0f);
    env[0] = 1.0f;
    env[101] = 0.5f;
    env[199] = 0.25f;
    env[300] = 0.0001f; // 68 dB below the first echo
    const auto echoes = findEchoes(env, 100, 60, 10);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[0], 101);
    EXPECT_EQ(echoes[1], 199);
    EXPECT_TRUE(findEchoes(env, 0, 60, 10).empty());
}

TEST(FactoryPresets, ByIndexOrNameAndAsAComponentState)
{
    EXPECT_EQ(findFactoryPreset("0"), 0);
    EXPECT_EQ(findFactoryPreset("9"), 9);
    EXPECT_EQ(findFactoryPreset("tape echo"), 8);
    EXPECT_FALSE(findFactoryPreset("10"));
    EXPECT_FALSE(findFactoryPreset("Tape"));

    const auto state = StateFormat::componentState(kFactoryPresets[5].values, true);
    ASSERT_EQ(state.size(), 107u);
    EXPECT_EQ(std::string(state.data(), 31), "Tolmar Charge Chain Delay_2.X.X");
    std::uint64_t bits = 0;
    std::memcpy(&bits, state.data() + 31 + 8, 8); // Time, little-endian on this machine
    EXPECT_EQ(std::bit_cast<double>(bits), 0.7);
    EXPECT_EQ(std::memcmp(state.data() + 103, "\x01\0\0\0", 4), 0);
}

TEST(DemoSignal, SameEveryTimeStereoAndBelowFullScale)
{
    DemoSignal a(44100), b(44100);
    EXPECT_EQ(a.length(), static_cast<std::int64_t>(DemoSignal::kSeconds * 44100));
    std::vector<double> l1(a.length()), r1(a.length()), l2(a.length()), r2(a.length());
    EXPECT_EQ(a.read(l1.data(), r1.data(), static_cast<int>(a.length())), a.length());
    b.read(l2.data(), r2.data(), static_cast<int>(b.length()));
    EXPECT_EQ(l1, l2);
    EXPECT_NE(l1, r1);
    double peak = 0;
    for (std::size_t i = 0; i < l1.size(); ++i)
        peak = std::max({peak, std::fabs(l1[i]), std::fabs(r1[i])});
    EXPECT_GT(peak, 0.3);
    EXPECT_LT(peak, 1.0);
    EXPECT_EQ(a.read(l1.data(), r1.data(), 16), 0);
}
