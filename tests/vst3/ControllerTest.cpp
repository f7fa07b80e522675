// The controller side of the bundle: parameters, units, MIDI mapping, texts,
// programs and the state stream.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "vst3/support/RenderHelpers.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
ParameterInfo infoAt(IEditController& controller, int32 index)
{
  ParameterInfo info{};
  EXPECT_EQ(controller.getParameterInfo(index, info), kResultOk) << index;
  return info;
}

std::string textOf(IEditController& controller, ParamID id, double value)
{
  String128 text{};
  if (controller.getParamStringByValue(id, value, text) != kResultOk)
    return "<refused>";
  return toString(text);
}

double valueOf(IEditController& controller, ParamID id, const char16* text)
{
  ParamValue value = -1.0;
  if (controller.getParamValueByString(id, const_cast<char16*>(text), value) != kResultOk)
    return -2.0;
  return value;
}

std::vector<uint8_t> savedState(IComponent& component)
{
  MemoryStream stream;
  EXPECT_EQ(component.getState(&stream), kResultOk);
  return stream.bytes;
}
} // namespace

TEST(ControllerTest, PublishesBypassThenTheNineParametersThenTheMidiControllers)
{
  PluginModule module;
  EffectInstance effect(module);
  IEditController& controller = *effect.controller;
  ASSERT_EQ(controller.getParameterCount(), 2090);

  const ParameterInfo bypass = infoAt(controller, 0);
  EXPECT_EQ(bypass.id, kBypassID);
  EXPECT_EQ(toString(bypass.title), "Bypass");
  EXPECT_EQ(bypass.stepCount, 1);
  EXPECT_EQ(bypass.flags, 0x10009);
  EXPECT_EQ(bypass.unitId, 0);
  EXPECT_EQ(bypass.defaultNormalizedValue, 0.0);

  const char* titles[] = {"Range", "Time", "Feedback", "LFOSpeed", "LFO Depth", "Mix", "Quality",
                          "Delay Sync to Host", "LFO Sync to Host"};
  const int32 steps[] = {4, 0, 0, 0, 0, 0, 0, 1, 1};
  const double defaults[] = {0.75, 0.6, 0.5, -1.0, 0.0, 0.5, 1.0, 0.0, 0.0};
  for (int32 i = 0; i < 9; ++i)
  {
    const ParameterInfo info = infoAt(controller, i + 1);
    EXPECT_EQ(info.id, static_cast<ParamID>(i));
    EXPECT_EQ(toString(info.title), titles[i]);
    EXPECT_EQ(toString(info.units), "");
    EXPECT_EQ(toString(info.shortTitle), "");
    EXPECT_EQ(info.stepCount, steps[i]) << titles[i];
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate) << titles[i];
    EXPECT_EQ(info.unitId, 0);
    if (defaults[i] >= 0.0)
    {
      EXPECT_NEAR(info.defaultNormalizedValue, defaults[i], 1e-12) << titles[i];
    }
    EXPECT_EQ(controller.getParamNormalized(info.id), info.defaultNormalizedValue);
  }

  const ParameterInfo first = infoAt(controller, 10);
  EXPECT_EQ(first.id, 65538u);
  EXPECT_EQ(toString(first.title), "BankSel.MSB");
  EXPECT_EQ(first.unitId, 3);
  EXPECT_EQ(first.flags, 0);
  EXPECT_EQ(first.stepCount, 0);
  EXPECT_EQ(first.defaultNormalizedValue, 0.0);
  EXPECT_EQ(toString(infoAt(controller, 10 + 66).title), "Sostenuto ");
  EXPECT_EQ(toString(infoAt(controller, 10 + 128).title), "Channel Aftertouch");
  EXPECT_EQ(infoAt(controller, 10 + 130).unitId, 4);

  const ParameterInfo last = infoAt(controller, 2089);
  EXPECT_EQ(last.id, 67617u);
  EXPECT_EQ(toString(last.title), "Pitch Bend");
  EXPECT_EQ(last.unitId, 18);
  EXPECT_EQ(last.defaultNormalizedValue, 0.5);
  EXPECT_EQ(controller.getParamNormalized(67617), 0.5);

  ParameterInfo info{};
  EXPECT_NE(controller.getParameterInfo(2090, info), kResultOk);
  EXPECT_NE(controller.getParameterInfo(-1, info), kResultOk);
}

TEST(ControllerTest, GroupsTheMidiControllersInAUnitPerChannel)
{
  PluginModule module;
  EffectInstance effect(module);
  IUnitInfo& units = *effect.units;
  ASSERT_EQ(units.getUnitCount(), 18);
  UnitInfo info{};
  ASSERT_EQ(units.getUnitInfo(0, info), kResultOk);
  EXPECT_EQ(info.id, 0);
  EXPECT_EQ(toString(info.name), "Root");
  EXPECT_EQ(info.parentUnitId, -1);
  EXPECT_EQ(info.programListId, -1);
  ASSERT_EQ(units.getUnitInfo(1, info), kResultOk);
  EXPECT_EQ(info.id, 2);
  EXPECT_EQ(toString(info.name), "MIDI CCs");
  EXPECT_EQ(info.parentUnitId, 0);
  ASSERT_EQ(units.getUnitInfo(2, info), kResultOk);
  EXPECT_EQ(info.id, 3);
  EXPECT_EQ(toString(info.name), "CH1");
  EXPECT_EQ(info.parentUnitId, 2);
  ASSERT_EQ(units.getUnitInfo(17, info), kResultOk);
  EXPECT_EQ(info.id, 18);
  EXPECT_EQ(toString(info.name), "CH16");
  EXPECT_EQ(info.parentUnitId, 2);
  EXPECT_NE(units.getUnitInfo(18, info), kResultOk);
}

TEST(ControllerTest, MapsEveryControllerOfTheFirstBus)
{
  PluginModule module;
  EffectInstance effect(module);
  IMidiMapping& mapping = *effect.midiMapping;
  ParamID id = 0;
  ASSERT_EQ(mapping.getMidiControllerAssignment(0, 15, 129, id), kResultOk);
  EXPECT_EQ(id, 67617u);
  ASSERT_EQ(mapping.getMidiControllerAssignment(0, 0, 0, id), kResultOk);
  EXPECT_EQ(id, 65538u);
  ASSERT_EQ(mapping.getMidiControllerAssignment(0, 3, 7, id), kResultOk);
  EXPECT_EQ(id, 65538u + 130 * 3 + 7);
  EXPECT_EQ(mapping.getMidiControllerAssignment(0, 16, 0, id), kResultFalse);
  EXPECT_EQ(mapping.getMidiControllerAssignment(0, -1, 0, id), kResultFalse);
  EXPECT_EQ(mapping.getMidiControllerAssignment(1, 0, 0, id), kResultFalse);
  EXPECT_EQ(mapping.getMidiControllerAssignment(0, 0, 130, id), kResultFalse);
  EXPECT_EQ(mapping.getMidiControllerAssignment(0, 0, -1, id), kResultFalse);
}

TEST(ControllerTest, ConvertsValuesToTextAndBack)
{
  PluginModule module;
  EffectInstance effect(module);
  IEditController& controller = *effect.controller;
  EXPECT_EQ(textOf(controller, 7, 1.0), "ON");
  EXPECT_EQ(textOf(controller, 7, 0.0), "OFF");
  EXPECT_EQ(textOf(controller, kBypassID, 1.0), "on");
  EXPECT_EQ(textOf(controller, kBypassID, 0.0), "off");
  // Values a host should not send are shown as the nearer end.
  EXPECT_EQ(textOf(controller, kBypassID, 7.0), "on");
  EXPECT_EQ(textOf(controller, kBypassID, -3.0), "off");
  EXPECT_EQ(textOf(controller, kBypassID, std::nan("")), "off");
  EXPECT_NE(textOf(controller, 5, std::nan("")), "<refused>");
  EXPECT_EQ(textOf(controller, 9, 0.5), "<refused>");
  EXPECT_EQ(textOf(controller, 65537, 0.5), "<refused>");
  EXPECT_NE(controller.getParamStringByValue(5, 0.5, nullptr), kResultOk);

  EXPECT_EQ(valueOf(controller, kBypassID, u"on"), 1.0);
  EXPECT_EQ(valueOf(controller, kBypassID, u"off"), 0.0);
  EXPECT_EQ(valueOf(controller, 7, u"ON"), 1.0);
  EXPECT_EQ(valueOf(controller, 7, u"OFF"), 0.0);
  // A text that no value shows is refused, not read as zero.
  EXPECT_EQ(valueOf(controller, 5, u"no number"), -2.0);
  EXPECT_EQ(valueOf(controller, 9, u"1"), -2.0);
  ParamValue value = 0.0;
  EXPECT_NE(controller.getParamValueByString(5, nullptr, value), kResultOk);

  // Plain values: the range selector rounds to whole steps, and plain values
  // beyond the range are limited.
  EXPECT_EQ(controller.normalizedParamToPlain(kRange, 0.6), 2.0);
  EXPECT_EQ(controller.normalizedParamToPlain(kRange, 0.7), 3.0);
  EXPECT_EQ(controller.plainParamToNormalized(kRange, 3.0), 0.75);
  EXPECT_EQ(controller.plainParamToNormalized(kRange, 9.0), 1.0);
  EXPECT_EQ(controller.normalizedParamToPlain(kFeedback, 0.25), -0.5);
  EXPECT_EQ(controller.normalizedParamToPlain(kBypassID, 1.0), 1.0);
  EXPECT_EQ(controller.normalizedParamToPlain(kBypassID, std::nan("")), 0.0);
}

TEST(ControllerTest, SetsValuesOnlyForKnownParameters)
{
  PluginModule module;
  EffectInstance effect(module);
  IEditController& controller = *effect.controller;
  EXPECT_EQ(controller.setParamNormalized(65537, 0.5), kResultFalse);
  EXPECT_EQ(controller.setParamNormalized(9, 0.5), kResultFalse);
  EXPECT_EQ(controller.getParamNormalized(65537), 0.0);
  EXPECT_EQ(controller.getParamNormalized(1234567), 0.0);

  ASSERT_EQ(controller.setParamNormalized(kMix, 0.25), kResultOk);
  EXPECT_EQ(controller.getParamNormalized(kMix), 0.25);
  // The instance's parameter follows, so a save right after holds the value.
  EXPECT_DOUBLE_EQ(stateValue(*effect.component, kMix), 0.25);
  ASSERT_EQ(controller.setParamNormalized(kMix, std::nan("")), kResultOk);
  EXPECT_EQ(controller.getParamNormalized(kMix), 0.0);
  ASSERT_EQ(controller.setParamNormalized(kBypassID, 1.0), kResultOk);
  EXPECT_EQ(controller.getParamNormalized(kBypassID), 1.0);
  ASSERT_EQ(controller.setParamNormalized(midiControllerID(4, 1), 0.75), kResultOk);
  EXPECT_EQ(controller.getParamNormalized(midiControllerID(4, 1)), 0.75);
}

TEST(ControllerTest, StateRoundTripsOntoANewInstance)
{
  PluginModule module;
  std::vector<uint8_t> saved;
  {
    EffectInstance source(module);
    ASSERT_TRUE(source.start(44100.0, 64, kSample32));
    ParameterChanges changes;
    changes.add(kRange, 0.25);
    changes.add(kTime, 0.125);
    changes.add(kFeedback, 0.1);
    changes.add(kLFOSpeed, 0.4);
    changes.add(kLFODepth, 0.7);
    changes.add(kMix, 0.8);
    changes.add(kQuality, 0.3);
    changes.add(kDelaySync, 1.0);
    changes.add(kLFOSync, 1.0);
    changes.add(kBypassID, 1.0);
    AudioBlock block(kSample32, 64);
    block.data.numSamples = 64;
    block.data.inputParameterChanges = &changes;
    ASSERT_EQ(source.processor->process(block.data), kResultOk);
    saved = savedState(*source.component);
  }
  ASSERT_EQ(saved.size(), 107u);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 31), "Tolmar Charge Chain Delay_2.X.X");

  EffectInstance target(module);
  MemoryStream stream(saved);
  ASSERT_EQ(target.component->setState(&stream), kResultOk);
  IEditController& controller = *target.controller;
  EXPECT_DOUBLE_EQ(controller.getParamNormalized(kRange), 0.25);
  EXPECT_NEAR(controller.getParamNormalized(kTime), 0.125, 1e-9);
  EXPECT_NEAR(controller.getParamNormalized(kFeedback), 0.1, 1e-9);
  EXPECT_NEAR(controller.getParamNormalized(kLFODepth), 0.7, 0.01);
  EXPECT_NEAR(controller.getParamNormalized(kMix), 0.8, 1e-9);
  EXPECT_NEAR(controller.getParamNormalized(kQuality), 0.3, 1e-9);
  EXPECT_EQ(controller.getParamNormalized(kDelaySync), 1.0);
  EXPECT_EQ(controller.getParamNormalized(kLFOSync), 1.0);
  EXPECT_EQ(controller.getParamNormalized(kBypassID), 1.0);
  // The processor's own bypass follows the host's parameter changes, not the
  // restored state; the parameters themselves save back identically.
  std::vector<uint8_t> again = savedState(*target.component);
  ASSERT_EQ(again.size(), 107u);
  EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 103, again.begin()));
}

TEST(ControllerTest, AStreamWithoutTheBypassWordRestoresTheParametersButFails)
{
  PluginModule module;
  EffectInstance source(module);
  source.controller->setParamNormalized(kMix, 0.2);
  source.controller->setParamNormalized(kRange, 0.0);
  std::vector<uint8_t> saved = savedState(*source.component);
  saved.resize(103);

  EffectInstance target(module);
  MemoryStream stream(saved);
  EXPECT_EQ(target.component->setState(&stream), kResultFalse);
  EXPECT_DOUBLE_EQ(stateValue(*target.component, kMix), 0.2);
  EXPECT_DOUBLE_EQ(stateValue(*target.component, kRange), 0.0);
  // The host's view of the parameters shows what is in force.
  EXPECT_DOUBLE_EQ(target.controller->getParamNormalized(kMix), 0.2);
  EXPECT_EQ(target.controller->getParamNormalized(kBypassID), 0.0);
}

TEST(ControllerTest, ReadsStreamsThatDeliverInSmallPieces)
{
  PluginModule module;
  EffectInstance source(module);
  source.controller->setParamNormalized(kTime, 0.3);
  MemoryStream saved;
  ASSERT_EQ(source.component->getState(&saved), kResultOk);
  // Bypass on in the saved word.
  saved.bytes[103] = 1;

  EffectInstance target(module);
  MemoryStream stream(saved.bytes);
  stream.maxReadPiece = 5;
  ASSERT_EQ(target.component->setState(&stream), kResultOk);
  EXPECT_NEAR(target.controller->getParamNormalized(kTime), 0.3, 1e-12);
  EXPECT_EQ(target.controller->getParamNormalized(kBypassID), 1.0);
}

TEST(ControllerTest, OnlyWaveLabIsTrustedWhenItsReadsReportFailure)
{
  PluginModule module;
  EffectInstance source(module);
  source.controller->setParamNormalized(kMix, 0.9);
  const std::vector<uint8_t> saved = savedState(*source.component);
  for (const char* hostName : {"WaveLab Pro 11", "Other Host"})
  {
    EffectInstance target(module, hostName);
    MemoryStream stream(saved);
    stream.failReadsWithData = true;
    const bool isWaveLab = std::string(hostName).find("WaveLab") != std::string::npos;
    EXPECT_EQ(target.component->setState(&stream) == kResultOk, isWaveLab) << hostName;
    EXPECT_EQ(target.controller->getParamNormalized(kMix) == 0.9, isWaveLab) << hostName;
  }
}

TEST(ControllerTest, DamagedStreamsNeverCrash)
{
  PluginModule module;
  EffectInstance source(module);
  const std::vector<uint8_t> saved = savedState(*source.component);
  EffectInstance target(module);

  // Every cut of a good state: only the whole one succeeds.
  for (size_t length = 0; length <= saved.size(); ++length)
  {
    MemoryStream stream(std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<long>(length)));
    EXPECT_EQ(target.component->setState(&stream) == kResultOk, length == saved.size()) << length;
  }

  std::mt19937 random(1234);
  for (int i = 0; i < 500; ++i)
  {
    std::vector<uint8_t> bytes(random() % 300);
    for (uint8_t& b : bytes)
      b = static_cast<uint8_t>(random());
    if (i % 3 == 0 && bytes.size() > 40)
      std::memcpy(bytes.data(), saved.data(), 31); // a good tag, random values
    MemoryStream stream(bytes);
    const tresult result = target.component->setState(&stream);
    EXPECT_TRUE(result == kResultOk || result == kResultFalse);
    for (ParamID id = 0; id < 9; ++id)
    {
      const double value = target.controller->getParamNormalized(id);
      ASSERT_TRUE(value >= 0.0 && value <= 1.0) << id << " " << value;
    }
  }

  MemoryStream failing(saved);
  failing.failReads = true;
  EXPECT_EQ(target.component->setState(&failing), kResultFalse);
  EXPECT_EQ(target.component->setState(nullptr), kResultFalse);
  EXPECT_EQ(target.component->getState(nullptr), kResultFalse);
}

TEST(ControllerTest, TheControllerHasNoStateOfItsOwn)
{
  PluginModule module;
  EffectInstance effect(module);
  MemoryStream stream;
  EXPECT_EQ(effect.controller->getState(&stream), kResultOk);
  EXPECT_TRUE(stream.bytes.empty());
  MemoryStream component(savedState(*effect.component));
  EXPECT_EQ(effect.controller->setComponentState(&component), kResultOk);
  EXPECT_EQ(effect.controller->setState(&component), kResultOk);
  EXPECT_EQ(component.position, 0);
}

TEST(ControllerTest, NamesThePresetsWithoutPublishingAProgramList)
{
  PluginModule module;
  EffectInstance effect(module);
  IUnitInfo& units = *effect.units;
  EXPECT_EQ(units.getProgramListCount(), 0);
  ProgramListInfo listInfo{};
  EXPECT_EQ(units.getProgramListInfo(0, listInfo), kResultFalse);
  String128 name{};
  ASSERT_EQ(units.getProgramName(65537, 3, name), kResultOk);
  EXPECT_EQ(toString(name), "Soft Chorus");
  ASSERT_EQ(units.getProgramName(65537, 0, name), kResultOk);
  EXPECT_EQ(toString(name), "default");
  EXPECT_EQ(units.getProgramName(65537, 10, name), kResultFalse);
  EXPECT_EQ(units.getProgramName(65537, -1, name), kResultFalse);
  EXPECT_EQ(units.getProgramName(0, 3, name), kResultFalse);
}

TEST(ControllerTest, EveryCallIsSafeBeforeInitialisation)
{
  PluginModule module;
  EffectInstance effect(module, "Test Host", false);
  IEditController& controller = *effect.controller;
  EXPECT_EQ(controller.getParameterCount(), 0);
  ParameterInfo info{};
  EXPECT_NE(controller.getParameterInfo(0, info), kResultOk);
  EXPECT_EQ(controller.getParamNormalized(kMix), 0.0);
  EXPECT_EQ(controller.setParamNormalized(kMix, 0.5), kResultFalse);
  EXPECT_EQ(effect.component->getBusCount(kAudio, kInput), 0);
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  EXPECT_EQ(effect.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue);
  // The state lives in the instance, which exists from creation on.
  const std::vector<uint8_t> saved = savedState(*effect.component);
  EXPECT_EQ(saved.size(), 107u);
  MemoryStream stream(saved);
  EXPECT_EQ(effect.component->setState(&stream), kResultOk);
  EXPECT_EQ(controller.createView("editor"), nullptr);
  EXPECT_EQ(effect.component->terminate(), kResultOk);
  // Initialising twice is refused; after a terminate it works again.
  HostApplication application("Test Host");
  EXPECT_EQ(effect.component->initialize(&application), kResultOk);
  EXPECT_EQ(effect.component->initialize(&application), kResultFalse);
  EXPECT_EQ(controller.getParameterCount(), 2090);
  EXPECT_EQ(effect.component->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(effect.component->terminate(), kResultOk);
  EXPECT_EQ(controller.getParameterCount(), 0);
  EXPECT_EQ(effect.component->initialize(&application), kResultOk);
  EXPECT_EQ(controller.getParameterCount(), 2090);
  EXPECT_EQ(effect.component->terminate(), kResultOk);
  EXPECT_EQ(application.refs, 1);
}

TEST(ControllerTest, AcceptsChannelContextInformation)
{
  PluginModule module;
  EffectInstance effect(module);
  void* object = nullptr;
  ASSERT_EQ(effect.component->queryInterface(ChannelContext::IInfoListener::iid, &object), kResultOk);
  auto* listener = static_cast<ChannelContext::IInfoListener*>(object);
  EXPECT_EQ(listener->setChannelContextInfos(nullptr), kResultFalse);
  AttributeList list;
  list.setText(ChannelContext::kChannelNameLengthKey, ChannelContext::kChannelNameKey, u"Vocals");
  list.setInt(ChannelContext::kChannelIndexKey, 4);
  list.setInt(ChannelContext::kChannelColorKey, 0xFF102030);
  EXPECT_EQ(listener->setChannelContextInfos(&list), kResultTrue);
  AttributeList empty;
  EXPECT_EQ(listener->setChannelContextInfos(&empty), kResultTrue);
  listener->release();
}
