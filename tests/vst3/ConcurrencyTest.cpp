// The instance under real threads, as hosts use it: one thread processes
// blocks while another restores states, turns the editor's knobs, presses
// its buttons or arms learning. Every storm runs for a couple of seconds;
// the output must stay finite and bounded throughout, and afterwards the
// engine must run on exactly what the parameters say.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "vst3/support/InProcessBinding.h"

using namespace host;

namespace
{
constexpr int32 kBlock = 256;
constexpr double kStormSeconds = 2.0;

// The audio thread: blocks of noise within ±0.5 with a few parameter changes
// each, checked sample by sample, until told to stop.
class AudioThread
{
public:
  using Changes = std::function<void(ParameterChanges&, std::mt19937&)>;

  // bound: the largest sample allowed. Held still, no setting makes more
  // than about 4.2 of input within ±0.5 (a search over all of them: Quality
  // near 0, full feedback, a loud 20 Hz square wave, Mix 100 %); noise
  // stays well below that, however the settings move.
  AudioThread(Binding& binding, int32 sampleSize, Changes changes = {}, double bound = 4.2)
  : binding(binding), sampleSize(sampleSize), changes(std::move(changes)), bound(bound)
  {
    thread = std::thread([this] { run(); });
  }
  ~AudioThread() { stop(); }

  void stop()
  {
    running.store(false);
    if (thread.joinable())
      thread.join();
  }

  std::atomic<long> blocks{0};
  std::atomic<long> badBlocks{0};
  std::atomic<double> worst{0.0};

private:
  void run()
  {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    AudioBlock block(sampleSize, kBlock);
    std::vector<double> input(kBlock);
    ParameterChanges output;
    while (running.load())
    {
      for (int c = 0; c < 2; ++c)
      {
        for (double& x : input)
          x = noise(random);
        block.setInput(c, input.data(), kBlock);
      }
      ParameterChanges in;
      if (changes)
        changes(in, random);
      output.clear();
      block.data.numSamples = kBlock;
      block.data.inputParameterChanges = &in;
      block.data.outputParameterChanges = &output;
      binding.effect->process(block.data);
      bool bad = false;
      for (int c = 0; c < 2; ++c)
        for (int32 i = 0; i < kBlock; ++i)
        {
          const double y = block.output(c, i);
          if (!std::isfinite(y) || std::fabs(y) > bound)
          {
            bad = true;
            if (!(std::fabs(y) <= worst.load()))
              worst.store(std::isfinite(y) ? std::fabs(y) : INFINITY);
          }
        }
      badBlocks += bad ? 1 : 0;
      ++blocks;
    }
  }

  Binding& binding;
  int32 sampleSize;
  Changes changes;
  double bound;
  std::atomic<bool> running{true};
  std::thread thread;
};

template <typename Step>
void stormFor(double seconds, Step step)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (long i = 0; std::chrono::steady_clock::now() < end; ++i)
    step(i);
}

// A few automation points per block on parameters that move the delay.
void automateTimeAndMix(ParameterChanges& changes, std::mt19937& random)
{
  std::uniform_real_distribution<double> value(0.0, 1.0);
  changes.add(kTime, value(random), 17);
  changes.add(kMix, value(random), 100);
  changes.add(kLFODepth, value(random) * 0.3, 200);
}

std::vector<uint8_t> presetState(TolmarDelay& delay, int index)
{
  const IPreset* preset = delay.GetPreset(index);
  std::vector<uint8_t> bytes(preset->chunk.GetData(), preset->chunk.GetData() + preset->chunk.Size());
  bytes.insert(bytes.end(), 4, 0); // bypass off
  return bytes;
}

// After the storm a few blocks let the engine take up the last changes (and
// Quality glide there); then it must run on exactly the parameters' values.
void expectEngineFollowsParameters(Binding& binding)
{
  for (int i = 0; i < 20; ++i)
    binding.process(nullptr, nullptr, nullptr, 512);
  TolmarDelay& delay = binding.delay();
  const DelayEngine& engine = delay.getEngine();
  const DelayLine& line = engine.getDelayLine();
  EXPECT_EQ(line.getFeedback(), delay.Param(kFeedback).Value());
  EXPECT_EQ(line.getQuality(), delay.Param(kQuality).Value());
  EXPECT_EQ(line.getWetGain(), std::sqrt(delay.Param(kMix).Value()));
  EXPECT_EQ(engine.getLFODepth(), delay.Param(kLFODepth).Value());
  EXPECT_EQ(engine.isDelaySynced(), delay.Param(kDelaySync).Value() >= 0.5);
  EXPECT_EQ(engine.isLFOSynced(), delay.Param(kLFOSync).Value() >= 0.5);
  if (!engine.isDelaySynced())
  {
    EXPECT_EQ(engine.getRangeIndex(), 4 - static_cast<int>(delay.Param(kRange).Value()));
    EXPECT_EQ(engine.getTimeFraction(), delay.Param(kTime).Value());
  }
  // The published state agrees with the engine.
  EXPECT_EQ(delay.getRangeIndex(), engine.getRangeIndex());
  EXPECT_EQ(delay.isFrozen(), engine.isFrozen());
}

void expectCleanOutput(const AudioThread& audio)
{
  EXPECT_GT(audio.blocks.load(), 100);
  EXPECT_EQ(audio.badBlocks.load(), 0) << "worst sample " << audio.worst.load();
}
} // namespace

class Storm : public ::testing::TestWithParam<int32>
{
};

TEST_P(Storm, StatesRestoredWhileProcessing)
{
  Binding binding;
  binding.start(48000.0, GetParam());
  std::vector<std::vector<uint8_t>> states;
  for (int i = 0; i < binding.delay().NPresets(); ++i)
    states.push_back(presetState(binding.delay(), i));
  {
    AudioThread audio(binding, GetParam(), automateTimeAndMix);
    stormFor(kStormSeconds, [&](long i) {
      MemoryStream stream(states[static_cast<size_t>(i) % states.size()]);
      EXPECT_EQ(static_cast<IComponent*>(binding.effect)->setState(&stream), kResultOk);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    });
    audio.stop();
    expectCleanOutput(audio);
  }
  // The last state restored wins, once the automation stops.
  MemoryStream last(states[9]);
  ASSERT_EQ(static_cast<IComponent*>(binding.effect)->setState(&last), kResultOk);
  expectEngineFollowsParameters(binding);
  EXPECT_EQ(binding.delay().getEngine().getDelayLine().getFeedback(), 0.96);
}

TEST_P(Storm, QualityKnobTurnedWhileProcessing)
{
  Binding binding;
  binding.start(48000.0, GetParam());
  binding.process(nullptr);
  {
    AudioThread audio(binding, GetParam());
    stormFor(kStormSeconds, [&](long i) {
      binding.touch(kQuality, i % 2 ? 1.0 : 0.37);
    });
    audio.stop();
    expectCleanOutput(audio);
  }
  expectEngineFollowsParameters(binding);
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, Storm, ::testing::Values(kSample32, kSample64));

TEST(StormTest, LearnAndFreezePressedAgainstAFloodOfControllers)
{
  Binding binding;
  binding.start(48000.0, kSample32);
  const float scale = binding.delay().getEditorScale();
  {
    // Learnt controllers throw any parameter anywhere in its range every few
    // frames, Quality and feedback ±1 included; the output stays within what
    // the steadiest settings make.
    AudioThread audio(
        binding, kSample32,
        [](ParameterChanges& changes, std::mt19937& random) {
          std::uniform_int_distribution<int> controller(0, 127);
          std::uniform_real_distribution<double> value(0.0, 1.0);
          for (int i = 0; i < 24; ++i)
            changes.add(midiControllerID(0, controller(random)), value(random), i * 10);
        });
    stormFor(kStormSeconds, [&](long i) {
      TolmarDelay& delay = binding.delay();
      switch (i % 5)
      {
        case 0: delay.doMidiLearn(true); break;
        case 1: delay.doMidiUnlearn(i % 3 == 0); break;
        case 2: delay.doFreeze(); break;
        case 3: binding.touch(static_cast<int>(i % kNumParams), 0.5); break;
        default: delay.doMidiLearn(false); break;
      }
    });
    audio.stop();
    expectCleanOutput(audio);
  }
  // Every binding names a parameter, freeze or nothing; nothing else moved.
  for (int c = 0; c < TolmarDelay::kNumMidiControllers; ++c)
  {
    const int32_t target = binding.delay().getMidiCCMapping(c);
    EXPECT_TRUE(target == TolmarDelay::kUnbound || target == TolmarDelay::kFreezeTarget ||
                (target >= 0 && target < kNumParams))
        << c << ": " << target;
  }
  EXPECT_EQ(binding.delay().getEditorScale(), scale);
  // The block's controller changes went out with the blocks, never through
  // the host's main-thread handler from the audio thread.
  EXPECT_EQ(binding.handler.callsFromOtherThreads.load(), 0);
  expectEngineFollowsParameters(binding);
}

TEST(StormTest, AutomationWhileLearnIsArmedChangesTheSound)
{
  Binding binding;
  binding.start(48000.0, kSample64);
  {
    std::atomic<bool> finalValue{false};
    AudioThread audio(binding, kSample64, [&](ParameterChanges& changes, std::mt19937& random) {
      std::uniform_real_distribution<double> value(0.0, 1.0);
      changes.add(kFeedback, finalValue.load() ? 1.0 : value(random), 64);
    });
    stormFor(kStormSeconds, [&](long i) {
      binding.delay().doMidiLearn(i % 2 == 0);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    });
    binding.delay().doMidiLearn(true);
    finalValue.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    audio.stop();
    expectCleanOutput(audio);
  }
  binding.process(nullptr);
  EXPECT_TRUE(binding.delay().isMidiLearnArmed());
  EXPECT_EQ(binding.delay().Param(kFeedback).Value(), 1.0);
  EXPECT_EQ(binding.delay().getEngine().getDelayLine().getFeedback(), 1.0);
  // Automation picked no target while learning was armed.
  for (int c = 0; c < TolmarDelay::kNumMidiControllers; ++c)
    EXPECT_EQ(binding.delay().getMidiCCMapping(c), TolmarDelay::kUnbound);
  expectEngineFollowsParameters(binding);
}
