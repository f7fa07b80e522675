// The audio side of the bundle: setup, buses, process calls and their
// results compared with the engine driven directly.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "support/AllocationCounter.h"
#include "support/Signals.h"
#include "vst3/support/RenderHelpers.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
constexpr int32 kLength = 6000;

// An instance made while the user's configuration binds controller 7 to a
// parameter; the file is gone again afterwards.
std::unique_ptr<EffectInstance> instanceWithController7BoundTo(PluginModule& module, int paramIdx)
{
  const std::filesystem::path folder = std::filesystem::path(std::getenv("HOME")) / "Music" / "TolmarMusic";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "tolmardelay.ini") << "[MIDI Control]\nCC7=" << paramIdx << "\n";
  auto effect = std::make_unique<EffectInstance>(module);
  std::filesystem::remove(folder / "tolmardelay.ini");
  return effect;
}

Stereo testSignal(int32 length = kLength)
{
  Stereo input{signals::noise(length, 7, 0.5), signals::noise(length, 8, 0.5)};
  // An impulse makes the echoes easy to tell apart from the dry signal.
  input[0][10] = 1.0;
  input[1][20] = -1.0;
  return input;
}

void expectSame(const Stereo& actual, const Stereo& expected)
{
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < expected[c].size(); ++i)
      ASSERT_EQ(actual[c][i], expected[c][i]) << "channel " << c << " frame " << i;
}

// Short echoes, strong feedback and a full wet share: every part of the
// engine shows in the output.
ParameterChanges& audibleSettings(ParameterChanges& changes)
{
  changes.add(kRange, 0.0);
  changes.add(kTime, 0.5);
  changes.add(kFeedback, 0.8);
  changes.add(kLFODepth, 0.3);
  changes.add(kMix, 0.9);
  return changes;
}

void applyAudibleSettings(TolmarDelay& reference)
{
  applyToReference(reference, kRange, 0.0);
  applyToReference(reference, kTime, 0.5);
  applyToReference(reference, kFeedback, 0.8);
  applyToReference(reference, kLFODepth, 0.3);
  applyToReference(reference, kMix, 0.9);
}

struct RunSetup
{
  double sampleRate;
  int32 sampleSize;
};
} // namespace

class ProcessorLifecycleTest : public ::testing::TestWithParam<RunSetup>
{
};

TEST_P(ProcessorLifecycleTest, OutputMatchesTheEngineForAnyBlockSizes)
{
  const RunSetup setup = GetParam();
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_NE(effect.processor, nullptr);
  ASSERT_TRUE(effect.start(setup.sampleRate, 512, setup.sampleSize));

  // Odd sizes, single frames and empty blocks, all within the setup's limit.
  const auto blocks = blockPattern(kLength, {333, 1, 0, 512, 7, 0, 128, 97});
  const Stereo input = testSignal();
  ParameterChanges changes;
  const Stereo actual = renderBundle(*effect.processor, setup.sampleSize, input, blocks, &audibleSettings(changes));

  auto reference = makeReference(setup.sampleRate);
  applyAudibleSettings(*reference);
  expectSame(actual, renderReference(*reference, setup.sampleSize, input, blocks));
  // The output is more than the dry signal: echoes arrived.
  EXPECT_GT(signals::rms(actual[0], 3000), 0.01);

  effect.stop();
  // A second run after stopping works the same way.
  ASSERT_TRUE(effect.start(setup.sampleRate, 512, setup.sampleSize));
  renderBundle(*effect.processor, setup.sampleSize, input, {256});
}

INSTANTIATE_TEST_SUITE_P(RatesAndSampleSizes, ProcessorLifecycleTest,
                         ::testing::Values(RunSetup{44100.0, kSample32}, RunSetup{44100.0, kSample64},
                                           RunSetup{48000.0, kSample32}, RunSetup{48000.0, kSample64}));

TEST(ProcessorTest, BlocksLongerThanTheSetupAllowsAreProcessedWhole)
{
  // Hosts that break their own limit must not make the plug-in write past
  // its conversion buffers; the block is still processed completely.
  for (int32 sampleSize : {kSample32, kSample64})
  {
    PluginModule module;
    EffectInstance effect(module);
    ASSERT_TRUE(effect.start(44100.0, 64, sampleSize));
    const Stereo input = testSignal(20000);
    ParameterChanges changes;
    const Stereo actual = renderBundle(*effect.processor, sampleSize, input, {20000}, &audibleSettings(changes));
    auto reference = makeReference(44100.0);
    applyAudibleSettings(*reference);
    expectSame(actual, renderReference(*reference, sampleSize, input, {20000}));
  }
}

TEST(ProcessorTest, ProcessingBeforeAnySetupIsHarmless)
{
  PluginModule module;
  EffectInstance uninitialised(module, "Test Host", false);
  EffectInstance initialised(module);
  for (EffectInstance* effect : {&uninitialised, &initialised})
    for (int32 sampleSize : {kSample32, kSample64})
    {
      AudioBlock block(sampleSize, 4096);
      block.fillOutputs(0.25);
      block.data.numSamples = 4096;
      EXPECT_EQ(effect->processor->process(block.data), kResultOk);
      // Before initialisation there is no output bus to write to; after it,
      // an engine without delay buffers gives silence.
      const double expected = effect == &uninitialised ? 0.25 : 0.0;
      EXPECT_EQ(block.output(0, 0), expected);
      EXPECT_EQ(block.output(1, 4095), expected);
    }
}

TEST(ProcessorTest, ABlockWithoutInputBusesProcessesSilence)
{
  for (int32 sampleSize : {kSample32, kSample64})
  {
    PluginModule module;
    EffectInstance effect(module);
    ASSERT_TRUE(effect.start(48000.0, 1024, sampleSize));
    ParameterChanges changes;
    const Stereo input = testSignal(1024);
    const Stereo first = renderBundle(*effect.processor, sampleSize, input, {1024}, &audibleSettings(changes));

    // The next block has no input bus at all: the echoes of the first block
    // go on, nothing of its input is read again.
    AudioBlock block(sampleSize, 1024);
    block.data.numInputs = 0;
    block.data.inputs = nullptr;
    block.data.numSamples = 1024;
    ASSERT_EQ(effect.processor->process(block.data), kResultOk);

    auto reference = makeReference(48000.0);
    applyAudibleSettings(*reference);
    renderReference(*reference, sampleSize, input, {1024});
    const Stereo silence{std::vector<double>(1024, 0.0), std::vector<double>(1024, 0.0)};
    const Stereo expected = renderReference(*reference, sampleSize, silence, {1024});
    for (int c = 0; c < 2; ++c)
      for (int32 i = 0; i < 1024; ++i)
        ASSERT_EQ(block.output(c, i), expected[static_cast<size_t>(c)][static_cast<size_t>(i)]) << c << " " << i;
  }
}

TEST(ProcessorTest, OnlyTheLastPointOfAQueueIsApplied)
{
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_TRUE(effect.start(44100.0, 256, kSample32));
  ParameterChanges changes;
  ParamValueQueue& queue = changes.add(kMix, 0.1, 0);
  int32 index = 0;
  queue.addPoint(100, 0.9, index);
  queue.addPoint(200, 0.3, index);
  AudioBlock block(kSample32, 256);
  block.data.numSamples = 256;
  block.data.inputParameterChanges = &changes;
  ASSERT_EQ(effect.processor->process(block.data), kResultOk);
  EXPECT_EQ(queue.reads, 1);
  EXPECT_EQ(queue.lastIndexRead, 2);
  EXPECT_DOUBLE_EQ(stateValue(*effect.component, kMix), 0.3);
}

TEST(ProcessorTest, AnEmptyBlockStillAppliesItsParameterChanges)
{
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_TRUE(effect.start(44100.0, 256, kSample64));
  ParameterChanges changes;
  changes.add(kFeedback, 0.75);
  changes.add(kBypassID, 1.0);
  ProcessData data; // no buffers at all, as hosts send to flush parameters
  data.symbolicSampleSize = kSample64;
  data.inputParameterChanges = &changes;
  ASSERT_EQ(effect.processor->process(data), kResultOk);
  EXPECT_DOUBLE_EQ(stateValue(*effect.component, kFeedback), 0.5); // -1..1 mapped from 0.75
  EXPECT_EQ(stateBypassWord(*effect.component), 1);
}

TEST(ProcessorTest, BypassStartsAboveOneHalfAndPassesTheInputThrough)
{
  for (int32 sampleSize : {kSample32, kSample64})
  {
    PluginModule module;
    EffectInstance effect(module);
    ASSERT_TRUE(effect.start(44100.0, 512, sampleSize));
    const Stereo input = testSignal(512);
    {
      ParameterChanges changes;
      audibleSettings(changes);
      changes.add(kBypassID, 0.5); // exactly one half is not "on"
      const Stereo out = renderBundle(*effect.processor, sampleSize, input, {512}, &changes);
      EXPECT_NE(out[0], renderBundle(*effect.processor, sampleSize, input, {0})[0]);
      EXPECT_NE(out[0][10], static_cast<float>(input[0][10]));
      EXPECT_EQ(stateBypassWord(*effect.component), 0);
    }
    {
      ParameterChanges changes;
      changes.add(kBypassID, 0.51);
      const Stereo out = renderBundle(*effect.processor, sampleSize, input, {512}, &changes);
      for (size_t c = 0; c < 2; ++c)
        for (size_t i = 0; i < 512; ++i)
          ASSERT_EQ(out[c][i], sampleSize == kSample32 ? static_cast<float>(input[c][i]) : input[c][i]);
      EXPECT_EQ(stateBypassWord(*effect.component), 1);
    }
    // The flag stays until the host changes it.
    const Stereo again = renderBundle(*effect.processor, sampleSize, input, {512});
    EXPECT_EQ(again[1][300], sampleSize == kSample32 ? static_cast<float>(input[1][300]) : input[1][300]);
  }
}

TEST(ProcessorTest, BypassKeepsTheEchoesForLater)
{
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_TRUE(effect.start(44100.0, 4096, kSample64));
  const Stereo impulse{signals::impulse(4096, 0), signals::impulse(4096, 0)};
  const Stereo silence{std::vector<double>(4096, 0.0), std::vector<double>(4096, 0.0)};
  ParameterChanges changes;
  changes.add(kRange, 1.0);   // the longest range: echoes far apart
  changes.add(kTime, 1.0);
  changes.add(kFeedback, 0.9);
  changes.add(kMix, 1.0);
  renderBundle(*effect.processor, kSample64, impulse, {4096}, &changes);

  ParameterChanges on;
  on.add(kBypassID, 1.0);
  EXPECT_EQ(renderBundle(*effect.processor, kSample64, silence, {4096}, &on)[0], silence[0]);
  ParameterChanges off;
  off.add(kBypassID, 0.0);
  // The echo of the impulse, two seconds after it, comes out after all.
  double peak = signals::peakAbs(renderBundle(*effect.processor, kSample64, silence, {4096}, &off)[0]);
  for (int i = 0; i < 30; ++i)
    peak = std::max(peak, signals::peakAbs(renderBundle(*effect.processor, kSample64, silence, {4096})[0]));
  EXPECT_GT(peak, 0.1);
}

TEST(ProcessorTest, PublishesStereoBusesAndAMidiInput)
{
  PluginModule module;
  EffectInstance effect(module);
  IComponent& component = *effect.component;
  ASSERT_EQ(component.getBusCount(kAudio, kInput), 1);
  ASSERT_EQ(component.getBusCount(kAudio, kOutput), 1);
  ASSERT_EQ(component.getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(component.getBusCount(kEvent, kOutput), 0);

  BusInfo info{};
  ASSERT_EQ(component.getBusInfo(kAudio, kInput, 0, info), kResultOk);
  EXPECT_EQ(toString(info.name), "Input");
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
  EXPECT_EQ(info.mediaType, kAudio);
  EXPECT_EQ(info.direction, kInput);
  ASSERT_EQ(component.getBusInfo(kAudio, kOutput, 0, info), kResultOk);
  EXPECT_EQ(toString(info.name), "Output");
  EXPECT_EQ(info.channelCount, 2);
  ASSERT_EQ(component.getBusInfo(kEvent, kInput, 0, info), kResultOk);
  EXPECT_EQ(toString(info.name), "MIDI Input");
  EXPECT_EQ(info.channelCount, 16);
  EXPECT_NE(component.getBusInfo(kAudio, kInput, 1, info), kResultOk);
  EXPECT_NE(component.getBusInfo(kAudio, kInput, -1, info), kResultOk);
  EXPECT_NE(component.getBusInfo(kEvent, kOutput, 0, info), kResultOk);

  SpeakerArrangement arrangement = 0;
  ASSERT_EQ(effect.processor->getBusArrangement(kOutput, 0, arrangement), kResultOk);
  EXPECT_EQ(arrangement, SpeakerArr::kStereo);
  EXPECT_NE(effect.processor->getBusArrangement(kOutput, 1, arrangement), kResultOk);
  EXPECT_NE(component.activateBus(kAudio, kOutput, 3, true), kResultOk);

  EXPECT_EQ(effect.processor->getLatencySamples(), 0u);
  // Feedback 0 at the defaults: one echo, 325 ms late, and its ring.
  EXPECT_GT(effect.processor->getTailSamples(), 0u);
  EXPECT_EQ(component.setIoMode(kSimple), kNotImplemented);
  TUID controllerClass;
  EXPECT_EQ(component.getControllerClassId(controllerClass), kNotImplemented);
}

TEST(ProcessorTest, DeclaresTheTransportItFollows)
{
  PluginModule module;
  EffectInstance effect(module);
  void* object = nullptr;
  ASSERT_EQ(effect.component->queryInterface(IProcessContextRequirements::iid, &object), kResultOk);
  auto* requirements = static_cast<IProcessContextRequirements*>(object);
  using R = IProcessContextRequirements;
  EXPECT_EQ(requirements->getProcessContextRequirements(),
            static_cast<uint32>(R::kNeedTempo | R::kNeedProjectTimeMusic | R::kNeedBarPositionMusic |
                                R::kNeedCycleMusic | R::kNeedTimeSignature | R::kNeedTransportState));
  requirements->release();
}

TEST(ProcessorTest, TakesThirtyTwoAndSixtyFourBitSamplesOnly)
{
  PluginModule module;
  EffectInstance effect(module);
  EXPECT_EQ(effect.processor->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(effect.processor->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(effect.processor->canProcessSampleSize(2), kResultFalse);
  ProcessSetup bad{kRealtime, 2, 512, 96000.0};
  EXPECT_EQ(effect.processor->setupProcessing(bad), kResultFalse);
  ProcessSetup good{kRealtime, kSample64, 512, 48000.0};
  EXPECT_EQ(effect.processor->setupProcessing(good), kResultOk);
  EXPECT_EQ(effect.processor->setupProcessing(bad), kResultFalse);
}

// Rates that are no rate, or far outside what audio runs at, are refused
// and the setup before them stays in force: the same sound as an instance
// that never saw them.
TEST(ProcessorTest, RefusesImpossibleSampleRatesAndKeepsTheSetup)
{
  PluginModule module;
  EffectInstance tried(module), untouched(module);
  ASSERT_TRUE(tried.start(48000.0, 512, kSample32));
  ASSERT_TRUE(untouched.start(48000.0, 512, kSample32));
  for (const double rate : {std::nan(""), HUGE_VAL, -HUGE_VAL, 0.0, -48000.0, 1.0, 999.0, 768001.0, 1e12})
  {
    ProcessSetup setup{kRealtime, kSample32, 512, rate};
    EXPECT_EQ(tried.processor->setupProcessing(setup), kResultFalse) << rate;
  }
  for (const double rate : {1000.0, 768000.0})
  {
    EffectInstance edge(module);
    ProcessSetup setup{kRealtime, kSample32, 512, rate};
    EXPECT_EQ(edge.processor->setupProcessing(setup), kResultOk) << rate;
  }
  const Stereo input = testSignal();
  const std::vector<int32> blocks = blockPattern(kLength, {512});
  EXPECT_EQ(renderBundle(*tried.processor, kSample32, input, blocks),
            renderBundle(*untouched.processor, kSample32, input, blocks));
}

TEST(ProcessorTest, AcceptsOnlyStereoExceptWhereTheHostInsistsOnItsOwnLayout)
{
  SpeakerArrangement mono = SpeakerArr::kMono;
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  SpeakerArrangement surround = SpeakerArr::k51;
  for (const char* hostName : {"Test Host", "Ardour", "Harrison Mixbus32C 9.1"})
  {
    PluginModule module;
    EffectInstance effect(module, hostName);
    const bool acceptsAll = std::string(hostName) != "Test Host";
    EXPECT_EQ(effect.processor->setBusArrangements(&mono, 1, &mono, 1) == kResultTrue, acceptsAll) << hostName;
    EXPECT_EQ(effect.processor->setBusArrangements(&surround, 1, &stereo, 1) == kResultTrue, acceptsAll) << hostName;
    EXPECT_EQ(effect.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue) << hostName;
    // The published layout stays stereo in every case.
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(effect.processor->getBusArrangement(kInput, 0, arrangement), kResultOk);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
  }

  PluginModule module;
  EffectInstance effect(module);
  EXPECT_EQ(effect.processor->setBusArrangements(&stereo, 2, &stereo, 1), kResultFalse);
  EXPECT_EQ(effect.processor->setBusArrangements(nullptr, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(effect.processor->setBusArrangements(&stereo, -1, &stereo, 1), kResultFalse);
}

TEST(ProcessorTest, MonoBuffersInArdourUseTheLeftChannel)
{
  PluginModule module;
  EffectInstance effect(module, "Ardour 8.4.0");
  SpeakerArrangement mono = SpeakerArr::kMono;
  ASSERT_EQ(effect.processor->setBusArrangements(&mono, 1, &mono, 1), kResultTrue);
  ASSERT_TRUE(effect.start(48000.0, 512, kSample32));

  ParameterChanges changes;
  AudioBlock block(kSample32, 512, 1, 1);
  const std::vector<double> x = signals::noise(512, 3, 0.5);
  block.setInput(0, x.data(), 512);
  block.data.numSamples = 512;
  block.data.inputParameterChanges = &audibleSettings(changes);
  ASSERT_EQ(effect.processor->process(block.data), kResultOk);

  auto reference = makeReference(48000.0);
  applyAudibleSettings(*reference);
  const Stereo expected = renderReference(*reference, kSample32, {x, std::vector<double>(512, 0.0)}, {512});
  for (int32 i = 0; i < 512; ++i)
    ASSERT_EQ(block.output(0, i), expected[0][static_cast<size_t>(i)]) << i;
}

TEST(ProcessorTest, AnInactiveOutputBusIsLeftAlone)
{
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_TRUE(effect.start(44100.0, 256, kSample32));
  ASSERT_EQ(effect.component->activateBus(kAudio, kOutput, 0, false), kResultOk);
  AudioBlock block(kSample32, 256);
  block.fillOutputs(0.125);
  block.data.numSamples = 256;
  ASSERT_EQ(effect.processor->process(block.data), kResultOk);
  EXPECT_EQ(block.output(0, 0), 0.125);
  EXPECT_EQ(block.output(1, 255), 0.125);
}

TEST(ProcessorTest, ProcessingDoesNotAllocate)
{
  PluginModule module;
  EffectInstance effect(module);
  ASSERT_TRUE(effect.start(44100.0, 512, kSample32));

  {
    // The counter sees allocations made inside the bundle.
    AllocationGuard guard;
    EffectInstance another(module);
    EXPECT_GT(guard.count(), 0u);
  }

  ParameterChanges changes;
  audibleSettings(changes);
  changes.add(kBypassID, 0.0);
  changes.add(midiControllerID(0, 7), 0.5);
  changes.add(midiControllerID(2, 129), 0.25);
  changes.add(midiControllerID(15, 128), 1.0);
  EventList events;
  events.noteOn(0, 60, 0.8f, 3);
  events.noteOff(0, 60, 0.1f, 100);
  const uint8_t sysEx[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
  Event data{};
  data.type = Event::kDataEvent;
  data.data.bytes = sysEx;
  data.data.size = sizeof(sysEx);
  events.addEvent(data);
  ProcessContext context{};
  context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kProjectTimeMusicValid;
  context.tempo = 133.0;
  context.sampleRate = 44100.0;

  AudioBlock block32(kSample32, 1024);
  AudioBlock block64(kSample64, 1024);
  const std::vector<double> x = signals::noise(1024, 11);
  block32.setInput(0, x.data(), 1024);
  block64.setInput(1, x.data(), 1024);
  for (AudioBlock* block : {&block32, &block64})
  {
    block->data.inputParameterChanges = &changes;
    block->data.inputEvents = &events;
    block->data.processContext = &context;
  }

  ProcessSetup setup64{kRealtime, kSample64, 512, 44100.0};
  AllocationGuard guard;
  for (int i = 0; i < 20; ++i)
  {
    block32.data.numSamples = i % 2 ? 1024 : 37; // longer than the setup's blocks too
    effect.processor->process(block32.data);
  }
  EXPECT_EQ(guard.count(), 0u);
  effect.processor->setProcessing(false);
  effect.processor->setupProcessing(setup64);
  effect.processor->setProcessing(true);
  const size_t before = guard.count();
  for (int i = 0; i < 20; ++i)
  {
    block64.data.numSamples = i % 3 ? 512 : 0;
    effect.processor->process(block64.data);
  }
  EXPECT_EQ(guard.count(), before);
}

TEST(ProcessorTest, StrayMidiOffsetsCountAsTheEndsOfTheirBlock)
{
  // Controller 7 bound to Mix in the user's configuration.
  PluginModule module;
  const auto made = instanceWithController7BoundTo(module, kMix);
  EffectInstance& effect = *made;
  ASSERT_TRUE(effect.start(48000.0, 64, kSample32));

  // Offsets a host must not send, each with a value of its own. Each change
  // takes effect by the end of the following block, as one at the block's
  // start or end would.
  const std::pair<int32, double> changesAt[] = {{INT32_MAX, 1.0},  {INT32_MIN, 0.0}, {INT32_MAX - 1, 1.0},
                                                {-1, 0.0},         {64, 1.0},        {INT32_MAX - 23, 0.0},
                                                {1 << 30, 1.0}};
  for (const auto& [offset, mix] : changesAt)
  {
    ParameterChanges changes;
    changes.add(midiControllerID(0, 7), mix, offset);
    EventList events;
    events.noteOn(0, 60, 1.0f, offset);
    AudioBlock block(kSample32, 64);
    block.data.numSamples = 64;
    block.data.inputParameterChanges = &changes;
    block.data.inputEvents = &events;
    ASSERT_EQ(effect.processor->process(block.data), kResultOk);
    block.data.inputParameterChanges = nullptr;
    block.data.inputEvents = nullptr;
    ASSERT_EQ(effect.processor->process(block.data), kResultOk);
    EXPECT_DOUBLE_EQ(stateValue(*effect.component, kMix), mix) << "offset " << offset;
  }
}

namespace
{
// A controller bound to Time sweeps it one step every other block; the
// processor reports each step to the host. With echoDelay > 0 the host sends
// every reported Time back to the controller that many blocks late, as hosts
// that show the plug-in do from their GUI thread. At block strayAt the host
// sets Time on the controller alone, without any process carrying it.
std::vector<double> sweepTimeByController(int echoDelay, int strayAt = -1)
{
  PluginModule module;
  const auto made = instanceWithController7BoundTo(module, kTime);
  EffectInstance& effect = *made;
  EXPECT_TRUE(effect.start(44100.0, 256, kSample32));

  constexpr int32 kBlock = 256;
  constexpr int kBlocks = 120;
  const std::vector<double> input = signals::noise(kBlock * kBlocks, 5, 0.5);
  std::vector<double> output;
  std::vector<std::vector<double>> reported(kBlocks);
  AudioBlock block(kSample32, kBlock);
  for (int b = 0; b < kBlocks; ++b)
  {
    ParameterChanges changes, reports;
    if (b % 2 == 0)
      changes.add(midiControllerID(0, 7), ((b / 2) % 128 + 0.5) / 127.0);
    block.setInput(0, input.data() + b * kBlock, kBlock);
    block.setInput(1, input.data() + b * kBlock, kBlock);
    block.data.numSamples = kBlock;
    block.data.inputParameterChanges = &changes;
    block.data.outputParameterChanges = &reports;
    EXPECT_EQ(effect.processor->process(block.data), kResultOk);
    for (int32 q = 0; q < reports.getParameterCount(); ++q)
    {
      ParamValueQueue& queue = reports.queue(q);
      for (int32 p = 0; queue.getParameterId() == kTime && p < queue.getPointCount(); ++p)
      {
        int32 offset = 0;
        ParamValue value = 0.0;
        queue.getPoint(p, offset, value);
        reported[static_cast<size_t>(b)].push_back(value);
      }
    }
    if (echoDelay > 0 && b >= echoDelay)
      for (const double value : reported[static_cast<size_t>(b - echoDelay)])
        effect.controller->setParamNormalized(kTime, value);
    if (b == strayAt)
      effect.controller->setParamNormalized(kTime, 0.05);
    for (int32 i = 0; i < kBlock; ++i)
      output.push_back(block.output(0, i));
  }
  size_t reportedCount = 0;
  for (const auto& values : reported)
    reportedCount += values.size();
  EXPECT_GE(reportedCount, static_cast<size_t>(kBlocks / 2 - 1)) << "the processor reports the controller's steps";
  return output;
}
} // namespace

// The engine takes host changes only from process: neither a host's late
// echo of what the processor reported nor a value set on the controller
// alone moves it.
TEST(ProcessorTest, ValuesSetOnTheControllerNeverReachTheSound)
{
  const std::vector<double> plain = sweepTimeByController(0);
  EXPECT_EQ(sweepTimeByController(3), plain);
  EXPECT_EQ(sweepTimeByController(0, 40), plain);
}
