// The CLAP module as CLAP hosts meet it: its entry, descriptor and
// extensions, parameters with their flags, edits reported to the host as
// events, and hostile calls refused rather than obeyed. Loaded with dlopen
// and driven through the CLAP interfaces only.
#include <array>
#include <atomic>
#include <thread>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "clap/ext/latency.h"
#include "clap/support/FormatSides.h"
#include "control/ConfigTestSupport.h"
#include "control/TolmarConfig.h"
#include "host/ClapHost.h"
#include "host/HostError.h"
#include "params/DelayParameters.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/ProductIdentity.h"

using tolmar::host::ClapEvents;
using tolmar::host::ClapHostOptions;
using tolmar::host::ClapInstance;
using tolmar::host::ClapModule;

namespace
{
constexpr uint32_t kBypass = 65536;
constexpr uint32_t kParamIsStepped = 1u << 0;
constexpr uint32_t kParamIsBypass = 1u << 4;
constexpr uint32_t kParamIsAutomatable = 1u << 5;

class ClapModuleTest : public ConfigHomeTest
{
protected:
  void SetUp() override
  {
    ConfigHomeTest::SetUp();
    module = std::make_unique<ClapModule>(TOLMAR_CLAP_MODULE);
  }
  void TearDown() override
  {
    module.reset();
    ConfigHomeTest::TearDown();
  }

  std::unique_ptr<ClapInstance> make(ClapHostOptions options = {})
  {
    return std::make_unique<ClapInstance>(*module, ProductIdentity::kClapId, options);
  }

  // One block of silence with the given events; the output events in out.
  static void block(ClapInstance& instance, const ClapEvents& events, ClapEvents& out, uint32_t frames = 256)
  {
    std::vector<float> l(frames), r(frames), ol(frames), orr(frames);
    const float* in[2] = {l.data(), r.data()};
    float* outs[2] = {ol.data(), orr.data()};
    instance.process(in, outs, frames, &events, &out);
  }

  struct Seen
  {
    uint16_t type;
    clap_id id;
    double value;
  };
  static std::vector<Seen> seen(const ClapEvents& events)
  {
    std::vector<Seen> result;
    for (size_t i = 0; i < events.size(); ++i)
    {
      const clap_event_header_t* h = events.at(i);
      if (h->type == CLAP_EVENT_PARAM_VALUE)
      {
        const auto* e = reinterpret_cast<const clap_event_param_value_t*>(h);
        result.push_back({h->type, e->param_id, e->value});
      }
      else if (h->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || h->type == CLAP_EVENT_PARAM_GESTURE_END)
      {
        const auto* e = reinterpret_cast<const clap_event_param_gesture_t*>(h);
        result.push_back({h->type, e->param_id, 0.0});
      }
    }
    return result;
  }

  std::unique_ptr<ClapModule> module;
};
} // namespace

TEST_F(ClapModuleTest, DescribesOneStereoDelayAndExportsOnlyItsEntry)
{
  const clap_plugin_factory_t& factory = module->factory();
  EXPECT_EQ(factory.get_plugin_count(&factory), 1u);
  EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
  const clap_plugin_descriptor_t& d = module->descriptor();
  EXPECT_TRUE(clap_version_is_compatible(d.clap_version));
  EXPECT_STREQ(d.id, "com.tolmarmusic.charge-chain-delay");
  EXPECT_STREQ(d.name, "Tolmar Charge Chain Delay");
  EXPECT_STREQ(d.vendor, "Tolmar Music");
  EXPECT_STREQ(d.version, "2.0.3");
  EXPECT_STREQ(d.url, "http://www.tolmarmusic.com/music/");
  std::vector<std::string> features;
  for (const char* const* f = d.features; f && *f; ++f)
    features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "delay", "stereo"}));
  EXPECT_EQ(module->entry().get_factory("clap.other-factory"), nullptr);

  // Only clap_entry is visible to the host.
  const std::string command = "nm -D --defined-only '" + module->path() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 256> line{};
  std::vector<std::string> symbols;
  while (std::fgets(line.data(), line.size(), pipe))
  {
    std::string text(line.data());
    symbols.push_back(text.substr(text.find_last_of(' ') + 1));
  }
  pclose(pipe);
  ASSERT_EQ(symbols.size(), 1u);
  EXPECT_EQ(symbols[0], "clap_entry\n");

  // Plug-ins the module does not hold, and hosts that are none, get nothing.
  clap_host_t host{};
  host.clap_version = CLAP_VERSION;
  EXPECT_EQ(factory.create_plugin(&factory, &host, "com.example.other"), nullptr);
  EXPECT_EQ(factory.create_plugin(&factory, nullptr, d.id), nullptr);
  host.clap_version = {0, 9, 0};
  EXPECT_EQ(factory.create_plugin(&factory, &host, d.id), nullptr);
}

TEST_F(ClapModuleTest, OffersStereoPortsAMidiInputAndItsExtensions)
{
  auto instance = make();
  const auto* audio = instance->extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  ASSERT_NE(audio, nullptr);
  for (bool input : {true, false})
  {
    ASSERT_EQ(audio->count(&instance->plugin(), input), 1u);
    clap_audio_port_info_t info{};
    ASSERT_TRUE(audio->get(&instance->plugin(), 0, input, &info));
    EXPECT_EQ(info.channel_count, 2u);
    EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
    EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_STREQ(info.name, input ? "Input" : "Output");
    EXPECT_FALSE(audio->get(&instance->plugin(), 1, input, &info));
  }
  const auto* notes = instance->extension<clap_plugin_note_ports_t>(CLAP_EXT_NOTE_PORTS);
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(notes->count(&instance->plugin(), true), 1u);
  EXPECT_EQ(notes->count(&instance->plugin(), false), 0u);
  clap_note_port_info_t note{};
  ASSERT_TRUE(notes->get(&instance->plugin(), 0, true, &note));
  EXPECT_TRUE(note.supported_dialects & CLAP_NOTE_DIALECT_MIDI);
  EXPECT_EQ(note.preferred_dialect, static_cast<uint32_t>(CLAP_NOTE_DIALECT_MIDI));

  const auto* latency = instance->extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
  ASSERT_NE(latency, nullptr);
  EXPECT_EQ(latency->get(&instance->plugin()), 0u);
  for (const char* id : {"clap.params", "clap.state", "clap.gui", "clap.tail", "clap.timer-support",
                         "clap.posix-fd-support"})
    EXPECT_NE(instance->extension<void>(id), nullptr) << id;
  EXPECT_EQ(instance->extension<void>("clap.voice-info"), nullptr);
  EXPECT_EQ(instance->plugin().get_extension(&instance->plugin(), ""), nullptr);
  // The idle timer runs from init.
  ASSERT_EQ(instance->timers.size(), 1u);
  EXPECT_EQ(instance->timers[0].periodMs, 20u);
}

TEST_F(ClapModuleTest, ParametersAreTheNineWithTheirIdsRangesAndFlagsAndTheBypass)
{
  auto instance = make();
  const auto infos = instance->parameterInfos();
  ASSERT_EQ(infos.size(), 10u);
  IParam model[kNumParams];
  IParam* pointers[kNumParams];
  for (int i = 0; i < kNumParams; ++i)
    pointers[i] = &model[i];
  initDelayParameters(pointers);
  for (int i = 0; i < kNumParams; ++i)
  {
    const clap_param_info_t& info = infos[static_cast<size_t>(i)];
    const IParam& param = model[i];
    EXPECT_EQ(info.id, static_cast<clap_id>(i));
    EXPECT_STREQ(info.name, param.GetName());
    EXPECT_EQ(info.min_value, param.GetMin());
    EXPECT_EQ(info.max_value, param.GetMax());
    EXPECT_EQ(info.default_value, param.GetDefault());
    EXPECT_EQ((info.flags & kParamIsStepped) != 0, param.Type() != IParam::kTypeDouble) << info.name;
    EXPECT_TRUE(info.flags & kParamIsAutomatable);
    EXPECT_FALSE(info.flags & kParamIsBypass);
    EXPECT_EQ(instance->value(info.id), param.GetDefault());
  }
  const clap_param_info_t& bypass = infos[9];
  EXPECT_EQ(bypass.id, kBypass);
  EXPECT_STREQ(bypass.name, "Bypass");
  EXPECT_TRUE(bypass.flags & kParamIsBypass);
  EXPECT_TRUE(bypass.flags & kParamIsStepped);
  EXPECT_EQ(bypass.min_value, 0.0);
  EXPECT_EQ(bypass.max_value, 1.0);
  EXPECT_EQ(instance->value(kBypass), 0.0);
  clap_param_info_t past{};
  EXPECT_FALSE(instance->params()->get_info(&instance->plugin(), 10, &past));
  EXPECT_FALSE(instance->value(9));
  EXPECT_FALSE(instance->value(65537));
  EXPECT_FALSE(instance->text(9, 0.0));
  // Texts fit the host's room, cut at a character.
  char small[4] = {'x', 'x', 'x', 'x'};
  ASSERT_TRUE(instance->params()->value_to_text(&instance->plugin(), kDelaySync, 1.0, small, 2));
  EXPECT_STREQ(small, "O");
}

// Values the host sets with flush (outside processing) and in process are
// the parameters' values from then on, and the host hears of the changes a
// bound controller makes, as gestures at their frame.
TEST_F(ClapModuleTest, HostValuesTakeHoldAndControllerMovesAreReportedAsGestures)
{
  writeFile(configFolderPath() + "/tolmardelay.ini", "[MIDI Control]\nCC7=5\n");
  auto instance = make();
  ClapEvents in;
  ClapEvents out;
  in.paramValue(kFeedback, 0.4);
  in.paramValue(kRange, 2.0);
  in.paramValue(kRange, 4.0); // the last value counts
  in.paramValue(kBypass, 1.0);
  instance->flush(in, out);
  EXPECT_EQ(instance->value(kFeedback), 0.4);
  EXPECT_EQ(instance->value(kRange), 4.0);
  EXPECT_EQ(instance->value(kBypass), 1.0);
  EXPECT_EQ(out.size(), 0u);
  instance->runMainThreadWork();

  ASSERT_TRUE(instance->start(48000.0, 512));
  in.clear();
  in.paramValue(kBypass, 0.0);
  in.midi(0xB0, 7, 127, 100);
  block(*instance, in, out);
  EXPECT_EQ(instance->value(kBypass), 0.0);
  EXPECT_EQ(instance->value(kMix), 1.0);
  // The editor's side learns of the block's changes on the main thread.
  EXPECT_GT(instance->callbackRequests.load(), 0);
  const auto events = seen(out);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
  EXPECT_EQ(events[1].type, CLAP_EVENT_PARAM_VALUE);
  EXPECT_EQ(events[1].id, static_cast<clap_id>(kMix));
  EXPECT_EQ(events[1].value, 1.0);
  EXPECT_EQ(events[2].type, CLAP_EVENT_PARAM_GESTURE_END);
  // At its frame, as far as the engine's control steps place it.
  EXPECT_GT(out.at(1)->time, 0u);
  EXPECT_LE(out.at(1)->time, 100u);
  // A full host list loses the report, not the change.
  in.clear();
  in.midi(0xB0, 7, 0);
  ClapEvents full;
  full.refusePushes = true;
  block(*instance, in, full);
  EXPECT_EQ(instance->value(kMix), 0.0);
  EXPECT_EQ(instance->offThreadCalls.load(), 0);
}

// A state load tells the host to read the values and texts again.
TEST_F(ClapModuleTest, LoadingAStateAsksTheHostToRescanItsValues)
{
  auto instance = make();
  ClapEvents in;
  ClapEvents out;
  in.paramValue(kTime, 0.125);
  instance->flush(in, out);
  const auto state = instance->saveState();
  ASSERT_TRUE(state);
  auto other = make();
  ASSERT_TRUE(other->loadState(*state));
  EXPECT_EQ(other->value(kTime), 0.125);
  EXPECT_GE(other->rescans, 1);
  EXPECT_TRUE(other->rescanFlags & CLAP_PARAM_RESCAN_VALUES);
}

// Hosts make mistakes, and some are hostile: nothing they send is obeyed
// beyond what it may change, and nothing crashes.
TEST_F(ClapModuleTest, HostileCallsAreRefusedOrBounded)
{
  auto instance = make();
  const clap_plugin_t& p = instance->plugin();
  // Processing before activation, with nothing attached.
  clap_process_t empty{};
  EXPECT_EQ(p.process(&p, &empty), CLAP_PROCESS_CONTINUE);
  EXPECT_EQ(p.process(&p, nullptr), CLAP_PROCESS_ERROR);
  for (double rate : {std::nan(""), HUGE_VAL, 0.0, -48000.0, 999.0, 1e12})
    EXPECT_FALSE(p.activate(&p, rate, 1, 512)) << rate;
  // Texts and values that are no numbers, and ones far outside the range.
  double value = 0.0;
  char text[64];
  EXPECT_FALSE(instance->params()->value_to_text(&p, kTime, std::nan(""), text, sizeof(text)));
  EXPECT_FALSE(instance->params()->value_to_text(&p, kTime, 0.5, text, 0));
  EXPECT_FALSE(instance->params()->text_to_value(&p, kTime, nullptr, &value));
  EXPECT_FALSE(instance->params()->text_to_value(&p, 12345, "1", &value));
  ASSERT_TRUE(instance->params()->value_to_text(&p, kFeedback, 1e300, text, sizeof(text)));
  EXPECT_EQ(std::string(text), *instance->text(kFeedback, 1.0));
  const std::string huge(100000, '9');
  if (instance->params()->text_to_value(&p, kMix, huge.c_str(), &value))
  {
    EXPECT_TRUE(value >= 0.0 && value <= 1.0);
  }
  // Events: NaN and infinite values, unknown IDs, sizes too small for their
  // type, another event space.
  ClapEvents in;
  ClapEvents out;
  in.paramValue(kMix, std::nan(""));
  in.paramValue(kMix, HUGE_VAL);
  in.paramValue(777, 0.5);
  clap_event_param_value_t shortEvent{};
  shortEvent.header = {sizeof(clap_event_header_t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
  in.add(shortEvent.header);
  clap_event_param_value_t otherSpace{};
  otherSpace.header = {sizeof(otherSpace), 0, 7, CLAP_EVENT_PARAM_VALUE, 0};
  otherSpace.param_id = kMix;
  otherSpace.value = 0.0;
  in.add(otherSpace.header);
  in.midi(0xB0, 200, 5);
  in.midi(0x90, 60, 200);
  clap_event_midi_sysex_t sysex{};
  sysex.header = {sizeof(sysex), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI_SYSEX, 0};
  sysex.buffer = nullptr;
  sysex.size = 1000;
  in.add(sysex.header);
  instance->flush(in, out);
  ASSERT_TRUE(instance->start(48000.0, 64));
  // Event times past the block, and a block longer than announced.
  block(*instance, in, out, 4096);
  // No value that is not a number takes hold, nor one of another space.
  EXPECT_EQ(instance->value(kMix), 0.5);
  // States: nothing, a cut one, one longer than any state.
  EXPECT_FALSE(instance->loadState({}));
  std::vector<uint8_t> good = *instance->saveState();
  EXPECT_FALSE(instance->loadState(std::vector<uint8_t>(good.begin(), good.begin() + 20)));
  EXPECT_FALSE(instance->loadState(std::vector<uint8_t>(2 << 20, 0)));
  EXPECT_TRUE(instance->loadState(good));
  // A stream that fails at once.
  const auto* state = instance->extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  clap_istream_t failing{nullptr, [](const clap_istream_t*, void*, uint64_t) -> int64_t { return -1; }};
  EXPECT_FALSE(state->load(&p, &failing));
  clap_ostream_t refusing{nullptr, [](const clap_ostream_t*, const void*, uint64_t) -> int64_t { return 0; }};
  EXPECT_FALSE(state->save(&p, &refusing));
  // A pointer that is not the module's plug-in is not followed.
  clap_plugin_t stranger = p;
  stranger.init = [](const clap_plugin_t*) { return true; };
  EXPECT_EQ(instance->params()->count(&stranger), 0u);
}

// A host processes on its audio thread while its main thread reads values
// and texts, saves and loads states and runs the plug-in's timers and
// callbacks: every value read is one the host or a state set, and nothing
// races (ThreadSanitizer runs this in CI).
TEST_F(ClapModuleTest, ProcessingAndTheMainThreadRunAtOnce)
{
  writeFile(configFolderPath() + "/tolmardelay.ini", "[MIDI Control]\nCC7=5\nCC20=-12\n");
  auto instance = make();
  ASSERT_TRUE(instance->start(48000.0, 256));
  ClapEvents in;
  ClapEvents out;
  in.paramValue(kTime, 0.3);
  instance->flush(in, out);
  const std::vector<uint8_t> state = *instance->saveState();
  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::vector<float> l(256), r(256), ol(256), orr(256);
    const float* ins[2] = {l.data(), r.data()};
    float* outs[2] = {ol.data(), orr.data()};
    for (int block = 0; block < 400; ++block)
    {
      ClapEvents events;
      ClapEvents reported;
      events.paramValue(kFeedback, (block % 10) / 10.0, static_cast<uint32_t>(block % 256));
      events.paramValue(kBypass, block % 50 == 49 ? 1.0 : 0.0);
      events.midi(0xB0, 7, static_cast<uint8_t>(block % 128));
      if (block % 100 == 0)
        events.midi(0xB0, 20, 127);
      l[0] = 1.0f;
      instance->process(ins, outs, 256, &events, &reported);
    }
    done = true;
  });
  int rounds = 0;
  while (!done || rounds < 10)
  {
    const double feedback = instance->value(kFeedback).value_or(-5.0);
    EXPECT_TRUE(feedback >= -1.0 && feedback <= 1.0) << feedback;
    EXPECT_TRUE(instance->text(kMix, 0.5));
    if (rounds % 5 == 0)
    {
      EXPECT_TRUE(instance->saveState());
      EXPECT_TRUE(instance->loadState(state));
    }
    instance->runMainThreadWork();
    ++rounds;
  }
  audio.join();
  EXPECT_EQ(instance->offThreadCalls.load(), 0);
}

// Qtractor's plug-in scanner, a CLAP host of its own, reads the module's
// descriptor, ports and parameters as Qtractor lists them.
TEST(QtractorScanner, ReadsTheModulesDescriptorPortsAndParameters)
{
  const char* scanner = "/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan";
  if (access(scanner, X_OK) != 0)
    GTEST_SKIP() << "Qtractor's plug-in scanner is not installed (Debian package qtractor)";
#ifdef TOLMAR_SANITIZED_MODULE
  GTEST_SKIP() << "a sanitized module needs its sanitizer's runtime, which the scanner does not load";
#endif
  // It reads "TYPE:path" requests on its input and answers each with one
  // line: type|name|audio ins:outs|MIDI ins:outs|controls ins:outs|
  // features|path|index|unique id.
  const std::string command = std::string("echo 'CLAP:") + TOLMAR_CLAP_MODULE + "' | " + scanner + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string answer;
  std::array<char, 512> line{};
  while (std::fgets(line.data(), line.size(), pipe))
    answer += line.data();
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_NE(answer.find(std::string("CLAP|Tolmar Charge Chain Delay|2:2|1:0|10:0|GUI,EXT,RT|") + TOLMAR_CLAP_MODULE +
                        "|0|"),
            std::string::npos)
      << answer;
}
