// The binding driven in-process, where the instance behind it can be
// inspected: MIDI conversion, transport, editor edits and host identities.
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "control/UserPresetFolder.h"
#include "support/AllocationCounter.h"
#include "vst3/HostIdentification.h"
#include "vst3/IEffectVST3.h"
#include "vst3/MidiConversion.h"
#include "vst3/TextConversion.h"
#include "vst3/support/InProcessBinding.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
void expectMessage(const IMidiMsg& msg, int offset, int status, int data1, int data2)
{
  EXPECT_EQ(msg.offset, offset);
  EXPECT_EQ(msg.status, status);
  EXPECT_EQ(msg.data1, data1);
  EXPECT_EQ(msg.data2, data2);
}
} // namespace

TEST(BindingMidiTest, ControllerParametersBecomeMidiMessages)
{
  Binding binding;
  binding.start();
  ParameterChanges changes;
  changes.add(midiControllerID(3, 7), 1.0, 5);
  changes.add(midiControllerID(0, 129), 0.5, 6);
  changes.add(midiControllerID(1, 129), 0.0);
  changes.add(midiControllerID(2, 129), 1.0);
  changes.add(midiControllerID(4, 128), 0.5);
  changes.add(midiControllerID(15, 127), 0.5);
  binding.process(&changes);
  const auto messages = binding.messagesToEditor();
  ASSERT_EQ(messages.size(), 6u);
  expectMessage(messages[0], 5, 0xB3, 7, 127);
  expectMessage(messages[1], 6, 0xE0, 0x00, 0x40);
  expectMessage(messages[2], 0, 0xE1, 0x00, 0x00);
  expectMessage(messages[3], 0, 0xE2, 0x7F, 0x7F);
  expectMessage(messages[4], 0, 0xD4, 63, 0);
  expectMessage(messages[5], 0, 0xBF, 127, 63);
}

TEST(BindingMidiTest, NoteEventsBecomeMidiMessages)
{
  Binding binding;
  binding.start();
  EventList events;
  events.noteOn(2, 60, 0.5f, 9);
  events.noteOff(2, 60, 0.9f, 10);
  Event pressure{};
  pressure.type = Event::kPolyPressureEvent;
  pressure.sampleOffset = 11;
  pressure.polyPressure.channel = 1;
  pressure.polyPressure.pitch = 64;
  pressure.polyPressure.pressure = 1.0f;
  events.addEvent(pressure);
  // Out of MIDI's range or of another kind: not passed on.
  events.noteOn(16, 60, 1.0f);
  events.noteOn(0, 128, 1.0f);
  events.noteOn(-1, 60, 1.0f);
  Event expression{};
  expression.type = Event::kNoteExpressionValueEvent;
  events.addEvent(expression);
  events.noteOn(0, 1, 2.0f, 12); // a velocity beyond 1 counts as 1

  binding.process(nullptr, &events);
  const auto messages = binding.messagesToEditor();
  ASSERT_EQ(messages.size(), 4u);
  expectMessage(messages[0], 9, 0x92, 60, 63);
  expectMessage(messages[1], 10, 0x82, 60, 0);
  expectMessage(messages[2], 11, 0xA1, 64, 127);
  expectMessage(messages[3], 12, 0x90, 1, 127);
}

TEST(BindingMidiTest, AFullEditorQueueDropsOnlyTheEditorsCopy)
{
  Binding binding;
  binding.start();
  binding.delay().doMidiLearn(true);
  ParameterChanges changes;
  for (int i = 0; i < 39; ++i)
    changes.add(midiControllerID(0, 1), 0.5);
  changes.add(midiControllerID(0, 9), 1.0); // the 40th controller still reaches the instance
  binding.process(&changes);
  binding.touch(kFeedback, 0.75); // and is learnt for the parameter the user touches
  binding.process(nullptr);
  EXPECT_EQ(binding.messagesToEditor().size(), 32u);
  EXPECT_EQ(binding.delay().getMidiCCMapping(9), kFeedback);
}

TEST(BindingMidiTest, EditorMidiReachesTheInstanceAfterTheBlocksEvents)
{
  Binding binding;
  binding.start();
  binding.delay().doMidiLearn(true);
  IMidiMsg fromEditor;
  fromEditor.status = 0xB0;
  fromEditor.data1 = 21;
  fromEditor.data2 = 100;
  ASSERT_TRUE(binding.effect->GetPlugin().GetMidiQueueFromEditor().Push(fromEditor));
  ParameterChanges controller;
  controller.add(midiControllerID(0, 5), 1.0);
  binding.process(&controller);
  binding.touch(kMix, 0.4);
  binding.process(nullptr);
  // The editor's controller came after the block's, so it is the one learnt.
  EXPECT_EQ(binding.delay().getMidiCCMapping(21), kMix);
  EXPECT_EQ(binding.delay().getMidiCCMapping(5), TolmarDelay::kUnbound);
  EXPECT_EQ(binding.effect->GetPlugin().GetMidiQueueFromEditor().ElementsAvailable(), 0u);
}

TEST(BindingMidiTest, ALearntControllerReachesTheHostWithTheBlockWithoutAllocating)
{
  Binding binding;
  binding.start();
  binding.delay().doMidiLearn(true);
  binding.touch(kMix, 0.5);
  ParameterChanges learn;
  learn.add(midiControllerID(0, 7), 0.0);
  binding.process(&learn);
  ASSERT_EQ(binding.delay().getMidiCCMapping(7), kMix);

  ParameterChanges move;
  move.add(midiControllerID(0, 7), 1.0);
  AudioBlock block(kSample32, 512);
  block.data.numSamples = 512;
  block.data.inputParameterChanges = &move;
  ParameterChanges output;
  block.data.outputParameterChanges = &output;
  binding.handler.count = 0;
  {
    AllocationGuard guard;
    binding.effect->process(block.data);
    EXPECT_EQ(guard.count(), 0u);
  }
  EXPECT_EQ(binding.handler.count, 0); // nothing through the main thread's handler
  ASSERT_EQ(output.getParameterCount(), 1);
  EXPECT_EQ(output.queue(0).getParameterId(), static_cast<ParamID>(kMix));
  EXPECT_EQ(binding.delay().GetParam(kMix)->Value(), 1.0);
}

TEST(BindingTransportTest, FollowsTheHostsProcessContext)
{
  Binding binding;
  binding.start();
  const ITimeInfo& time = binding.effect->GetPlugin().GetTimeInfo();
  // Before the host's first context the defaults hold, not an empty record.
  binding.process(nullptr);
  EXPECT_EQ(time.tempo, 120.0);
  EXPECT_EQ(time.timeSigNumerator, 4);
  EXPECT_EQ(time.timeSigDenominator, 4);
  EXPECT_EQ(time.samplePosition, -1.0);

  ProcessContext context{};
  context.state = ProcessContext::kPlaying | ProcessContext::kCycleActive; // bit 9 clear
  context.tempo = 90.0;
  context.projectTimeSamples = 44100;
  context.projectTimeMusic = 3.5;
  context.barPositionMusic = 3.0;
  context.cycleStartMusic = 2.0;
  context.cycleEndMusic = 6.0;
  context.timeSigNumerator = 7;
  context.timeSigDenominator = 8;
  binding.process(nullptr, nullptr, &context);
  EXPECT_EQ(time.tempo, 90.0);
  EXPECT_EQ(time.samplePosition, -1.0);
  EXPECT_EQ(time.ppqPosition, 3.5);
  EXPECT_EQ(time.lastBarPosition, 3.0);
  EXPECT_EQ(time.cycleStart, 2.0);
  EXPECT_EQ(time.cycleEnd, 6.0);
  EXPECT_EQ(time.timeSigNumerator, 7);
  EXPECT_EQ(time.timeSigDenominator, 8);
  EXPECT_TRUE(time.transportRunning);
  EXPECT_TRUE(time.cycleActive);

  context.state = ProcessContext::kProjectTimeMusicValid;
  binding.process(nullptr, nullptr, &context);
  EXPECT_EQ(time.samplePosition, 44100.0);
  EXPECT_FALSE(time.transportRunning);
  EXPECT_FALSE(time.cycleActive);

  // A block without a context keeps the last one.
  binding.process(nullptr);
  EXPECT_EQ(time.tempo, 90.0);
  EXPECT_EQ(time.samplePosition, 44100.0);
}

TEST(BindingTransportTest, OfflineRenderingFollowsTheSetup)
{
  Binding binding;
  ProcessSetup setup{kOffline, kSample64, 512, 44100.0};
  ASSERT_EQ(binding.effect->setupProcessing(setup), kResultOk);
  binding.process(nullptr);
  EXPECT_TRUE(binding.effect->GetPlugin().GetRenderingOffline());
  setup.processMode = kRealtime;
  ASSERT_EQ(binding.effect->setupProcessing(setup), kResultOk);
  binding.process(nullptr);
  EXPECT_FALSE(binding.effect->GetPlugin().GetRenderingOffline());
}

TEST(BindingTransportTest, ARefusedSetupKeepsTheOldOne)
{
  Binding binding;
  binding.start(48000.0);
  ProcessSetup bad{kRealtime, 7, 256, 96000.0};
  EXPECT_EQ(binding.effect->setupProcessing(bad), kResultFalse);
  EXPECT_EQ(binding.effect->GetPlugin().GetSampleRate(), 48000.0);
  EXPECT_EQ(binding.effect->GetPlugin().GetBlockSize(), 512);
}

TEST(BindingEditTest, EditorGesturesReachTheHost)
{
  Binding binding;
  IEffectPlugin& plugin = binding.effect->GetPlugin();
  plugin.BeginInformHostOfParamChangeFromUI(kMix);
  plugin.SendParameterValueFromUI(kMix, 0.3);
  plugin.EndInformHostOfParamChangeFromUI(kMix);
  ASSERT_EQ(binding.handler.count, 3);
  EXPECT_EQ(binding.handler.edits[0].kind, 'b');
  EXPECT_EQ(binding.handler.edits[1].kind, 'p');
  EXPECT_EQ(binding.handler.edits[1].id, static_cast<ParamID>(kMix));
  EXPECT_EQ(binding.handler.edits[1].value, 0.3);
  EXPECT_EQ(binding.handler.edits[2].kind, 'e');
  EXPECT_EQ(binding.effect->getParamNormalized(kMix), 0.3);
  EXPECT_DOUBLE_EQ(plugin.GetParam(kMix)->Value(), 0.3);
}

TEST(BindingEditTest, ManyEditorChangesGoToTheHostAsOneGroup)
{
  Binding binding;
  binding.delay().GetParam(kTime)->Set(0.2);
  binding.effect->DirtyParametersFromUI();
  ASSERT_EQ(binding.handler.count, 11);
  EXPECT_EQ(binding.handler.edits[0].kind, 's');
  for (int i = 0; i < 9; ++i)
  {
    EXPECT_EQ(binding.handler.edits[i + 1].kind, 'p');
    EXPECT_EQ(binding.handler.edits[i + 1].id, static_cast<ParamID>(i));
  }
  EXPECT_DOUBLE_EQ(binding.handler.edits[2].value, 0.2);
  EXPECT_EQ(binding.handler.edits[10].kind, 'f');
  EXPECT_DOUBLE_EQ(binding.effect->getParamNormalized(kTime), 0.2);
}

TEST(BindingEditTest, HostValuesAndRestoredStatesReachTheEditor)
{
  Binding binding;
  RecordingEditor editor;
  binding.delay().SetEditorConnection(&editor);
  ASSERT_EQ(binding.effect->setParamNormalized(kQuality, 0.4), kResultOk);
  ASSERT_EQ(editor.shown.size(), 1u);
  EXPECT_EQ(editor.shown[0].first, kQuality);
  EXPECT_EQ(editor.shown[0].second, 0.4);
  // The bypass and controller parameters have no control in the editor.
  binding.effect->setParamNormalized(kBypassID, 1.0);
  EXPECT_EQ(editor.shown.size(), 1u);

  MemoryStream saved;
  ASSERT_EQ(static_cast<IComponent*>(binding.effect)->getState(&saved), kResultOk);
  editor.shown.clear();
  saved.position = 0;
  ASSERT_EQ(static_cast<IComponent*>(binding.effect)->setState(&saved), kResultOk);
  EXPECT_EQ(editor.shown.size(), 9u);
  binding.delay().SetEditorConnection(nullptr);
}

// A state the host restores (a reopened session, a preset from the host's
// list) ticks the preset it holds in the editor's menu, factory or user
// preset (a factory preset where both match), or none; a knob turned away
// from a preset leaves its tick.
TEST(BindingEditTest, ARestoredStateTicksThePresetItHolds)
{
  // The states come from another instance, as from a saved session.
  Binding other, binding;
  auto saveState = [&] {
    auto stream = std::make_unique<MemoryStream>();
    EXPECT_EQ(static_cast<IComponent*>(other.effect)->getState(stream.get()), kResultOk);
    return stream;
  };
  auto restore = [&](MemoryStream& stream) {
    stream.position = 0;
    ASSERT_EQ(static_cast<IComponent*>(binding.effect)->setState(&stream), kResultOk);
  };
  other.delay().changePreset(4);
  const auto hardChorus = saveState();
  other.touch(kMix, 0.3);
  const auto turnedAway = saveState();

  binding.delay().changePreset(8);
  ASSERT_EQ(binding.delay().GetCurrentPresetIdx(), 8);
  restore(*hardChorus);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), 4);
  binding.touch(kFeedback, 0.9);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), 4);
  restore(*turnedAway);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), -1);
  restore(*hardChorus);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), 4);

  // The user's own presets, as hosts that list the preset folder load
  // them: the file's bytes as the state.
  std::string error;
  const std::vector<char> wide(turnedAway->bytes.begin(), turnedAway->bytes.end());
  const std::vector<char> chorus(hardChorus->bytes.begin(), hardChorus->bytes.end());
  ASSERT_TRUE(UserPresetFolder().save("Wide Chorus", wide, error)) << error;
  ASSERT_TRUE(UserPresetFolder().save("Also Chorus", chorus, error)) << error;
  MemoryStream file(std::vector<uint8_t>(wide.begin(), wide.end()));
  restore(file);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), -1);
  EXPECT_EQ(binding.delay().getUserPresetName(), "Wide Chorus");
  restore(*hardChorus);
  EXPECT_EQ(binding.delay().GetCurrentPresetIdx(), 4);
  EXPECT_EQ(binding.delay().getUserPresetName(), "");
  other.touch(kFeedback, -0.4);
  restore(*saveState());
  EXPECT_EQ(binding.delay().getUserPresetName(), "");
  UserPresetFolder().remove("Wide Chorus", error);
  UserPresetFolder().remove("Also Chorus", error);
}

TEST(BindingEditTest, KeepsWhatTheHostSaysAboutItsChannel)
{
  Binding binding;
  AttributeList list;
  list.setText(ChannelContext::kChannelNameLengthKey, ChannelContext::kChannelNameKey, u"Vocals \u00e9");
  list.setText(ChannelContext::kChannelUIDLengthKey, ChannelContext::kChannelUIDKey, u"uid-17");
  list.setText(ChannelContext::kChannelIndexNamespaceLengthKey, ChannelContext::kChannelIndexNamespaceKey,
               u"Mixer");
  list.setInt(ChannelContext::kChannelIndexKey, 4);
  list.setInt(ChannelContext::kChannelIndexNamespaceOrderKey, 2);
  list.setInt(ChannelContext::kChannelColorKey, 0xFF102030);
  ASSERT_EQ(binding.effect->setChannelContextInfos(&list), kResultTrue);
  const IEffectVST3ControllerBase& controller = binding.effect->GetController();
  EXPECT_STREQ(controller.GetTrackName(), "Vocals \xc3\xa9");
  EXPECT_STREQ(controller.GetTrackUID(), "uid-17");
  EXPECT_STREQ(controller.GetTrackNamespace(), "Mixer");
  EXPECT_EQ(controller.GetTrackIndex(), 4);
  EXPECT_EQ(controller.GetTrackNamespaceIndex(), 2);
  int r = 0, g = 0, b = 0;
  controller.GetTrackColor(r, g, b);
  EXPECT_EQ(r, 0x10);
  EXPECT_EQ(g, 0x20);
  EXPECT_EQ(b, 0x30);

  // A length the text does not have is no reason to read past it.
  AttributeList lying;
  lying.setInt(ChannelContext::kChannelNameLengthKey, 1 << 30);
  lying.setString(ChannelContext::kChannelNameKey, u"Bass");
  ASSERT_EQ(binding.effect->setChannelContextInfos(&lying), kResultTrue);
  EXPECT_STREQ(controller.GetTrackName(), "Bass");
}

// Whether the host reads getString's size as bytes or as characters, it
// writes only into the plug-in's buffer (AddressSanitizer watches), and the
// name kept is the one announced, cut to the longest the plug-in keeps.
TEST(BindingEditTest, ChannelNamesNeverLetTheHostWritePastTheBuffer)
{
  Binding binding;
  const IEffectVST3ControllerBase& controller = binding.effect->GetController();
  for (const bool asCharacters : {false, true})
    for (const size_t length : {0u, 1u, 127u, 128u, 129u, 1000u, 1025u})
    {
      SCOPED_TRACE(testing::Message() << (asCharacters ? "characters" : "bytes") << ", length " << length);
      std::u16string name(length, u'x');
      for (size_t i = 0; i < length; ++i)
        name[i] = static_cast<char16_t>(u'a' + i % 26);
      const std::string expected(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(length, 1024)));

      AttributeList list;
      list.sizeTakenAsCharacters = asCharacters;
      list.setText(ChannelContext::kChannelNameLengthKey, ChannelContext::kChannelNameKey, name);
      list.setText(ChannelContext::kChannelUIDLengthKey, ChannelContext::kChannelUIDKey, name);
      ASSERT_EQ(binding.effect->setChannelContextInfos(&list), kResultTrue);
      EXPECT_EQ(controller.GetTrackName(), expected);
      EXPECT_EQ(controller.GetTrackUID(), expected);

      // A length shorter than the text keeps the announced part; a longer
      // one keeps the text.
      AttributeList shortLength;
      shortLength.sizeTakenAsCharacters = asCharacters;
      shortLength.setInt(ChannelContext::kChannelNameLengthKey, static_cast<int64>(length / 2));
      shortLength.setString(ChannelContext::kChannelNameKey, name.c_str());
      shortLength.setInt(ChannelContext::kChannelIndexNamespaceLengthKey, static_cast<int64>(length + 40));
      shortLength.setString(ChannelContext::kChannelIndexNamespaceKey, name.c_str());
      ASSERT_EQ(binding.effect->setChannelContextInfos(&shortLength), kResultTrue);
      EXPECT_EQ(controller.GetTrackName(), expected.substr(0, length / 2));
      EXPECT_EQ(controller.GetTrackNamespace(), expected);
    }
}

TEST(BindingHostTest, IdentifiesHostsByTheFirstKeywordInTheirName)
{
  EXPECT_EQ(IdentifyHost("REAPER"), kHostReaper);
  EXPECT_EQ(IdentifyHost("WaveLab Elements 11"), kHostWaveLabElements);
  EXPECT_EQ(IdentifyHost("WaveLab Pro 11"), kHostWaveLab);
  // "live" comes before "ardour" in the search order.
  EXPECT_EQ(IdentifyHost("Ardour Live"), kHostAbletonLive);
  EXPECT_EQ(IdentifyHost("Unheard Of"), kHostUnknown);
  EXPECT_EQ(IdentifyHost(nullptr), kHostUnknown);

  Binding ardour("Ardour 8.4.0");
  EXPECT_EQ(ardour.effect->GetHost(), kHostArdour);
}

TEST(BindingTextTest, ConvertsBetweenUTF8AndUTF16)
{
  char16_t text[8];
  TextConversion::ToUTF16("d\xc3\xa9j\xe2\x82\xac", text, 8);
  EXPECT_EQ(std::u16string(text), u"d\u00e9j\u20ac");
  // Bytes that are no UTF-8 are kept as Latin-1.
  TextConversion::ToUTF16("a\xe9z", text, 8);
  EXPECT_EQ(std::u16string(text), u"a\u00e9z");
  // Cut to the room given, terminator included; surrogate pairs stay whole.
  TextConversion::ToUTF16("ab\xf0\x9f\x8e\xb5", text, 4);
  EXPECT_EQ(std::u16string(text), u"ab");

  EXPECT_EQ(TextConversion::ToUTF8(u"d\u00e9j\u20ac\U0001F3B5", 64), "d\xc3\xa9j\xe2\x82\xac\xf0\x9f\x8e\xb5");
  EXPECT_EQ(TextConversion::ToUTF8(u"abc", 2), "ab");
  const char16_t lone[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(TextConversion::ToUTF8(lone, 8), "x\xef\xbf\xbdy");
}

TEST(BindingMidiTest, ConversionsStayInsideMidisRange)
{
  // Values a host should never send still give valid data bytes.
  const IMidiMsg high = MidiConversion::FromControllerParameter(7, 3.0, 0);
  EXPECT_EQ(high.data2, 127);
  const IMidiMsg nan = MidiConversion::FromControllerParameter(7, std::nan(""), 0);
  EXPECT_EQ(nan.data2, 0);
  const IMidiMsg bendLow = MidiConversion::FromControllerParameter(129, -5.0, 0);
  EXPECT_EQ(bendLow.data1, 0);
  EXPECT_EQ(bendLow.data2, 0);
  const IMidiMsg bendQuarter = MidiConversion::FromControllerParameter(129, 0.25, 0);
  EXPECT_EQ((bendQuarter.data2 << 7) | bendQuarter.data1, 4096);
}

TEST(BindingPresetTest, APresetChosenInTheEditorReachesTheHostAsOneGroupOfEdits)
{
  Binding binding;
  binding.start();
  TolmarDelay& delay = binding.delay();
  std::vector<double> before;
  for (int i = 0; i < kNumParams; ++i)
    before.push_back(delay.GetParam(i)->GetNormalized());
  binding.handler.count = 0;
  delay.changePreset(8); // "Tape Echo", from the editor's preset menu

  // One group: begin, perform and end for every parameter the preset
  // changed (and only those), then the document is marked modified.
  std::string kinds;
  std::vector<ParamID> performed;
  for (int i = 0; i < binding.handler.count; ++i)
  {
    kinds += binding.handler.edits[i].kind;
    if (binding.handler.edits[i].kind == 'p')
    {
      performed.push_back(binding.handler.edits[i].id);
      EXPECT_EQ(binding.handler.edits[i].value, delay.GetParam(static_cast<int>(binding.handler.edits[i].id))->GetNormalized());
    }
  }
  std::vector<ParamID> changed;
  for (int i = 0; i < kNumParams; ++i)
    if (delay.GetParam(i)->GetNormalized() != before[static_cast<size_t>(i)])
      changed.push_back(static_cast<ParamID>(i));
  ASSERT_FALSE(changed.empty());
  EXPECT_EQ(performed, changed);
  std::string expected = "s";
  for (size_t i = 0; i < changed.size(); ++i)
    expected += "bpe";
  expected += "fd";
  EXPECT_EQ(kinds, expected);
  // The host's parameter objects show the preset at once.
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(binding.effect->getParamNormalized(static_cast<ParamID>(i)), delay.GetParam(i)->GetNormalized()) << i;

  // A host that does not echo the edits back still hears the preset.
  binding.process(nullptr);
  EXPECT_EQ(delay.getEngine().getDelayLine().getFeedback(), 0.3);
  EXPECT_EQ(delay.getEngine().getDelayLine().getQuality(), 0.58);
}
