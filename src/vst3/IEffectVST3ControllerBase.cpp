#include "vst3/IEffectVST3ControllerBase.h"

#include <cstdio>
#include <vector>

#include "params/ProductFacts/ParameterIds.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "vst3/TextConversion.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// Longest channel text taken from the host, in UTF-16 code units.
constexpr int64 kMaxChannelTextLength = 1024;

UnitID addUnit(EditControllerEx1& controller, const char* name, UnitID id, UnitID parent)
{
  String128 title;
  TextConversion::ToUTF16(name, title, 128);
  controller.addUnit(new Unit(title, id, parent, kNoProgramListId));
  return id;
}

// Reads a text attribute whose length in code units is given by another
// attribute; false when either is missing. The host is told the room in
// bytes, as the interface defines it, but the buffer holds twice that many
// code units: some hosts take the size for a count of characters and would
// otherwise write past its end. The text is cut at the announced length and
// terminated here, whatever the host wrote.
bool readText(IAttributeList& list, IAttributeList::AttrID lengthKey, IAttributeList::AttrID textKey,
              std::string& result)
{
  int64 length = 0;
  if (list.getInt(lengthKey, length) != kResultTrue)
    return false;
  if (length < 0)
    length = 0;
  if (length > kMaxChannelTextLength)
    length = kMaxChannelTextLength;
  const size_t room = static_cast<size_t>(length) + 1;
  std::vector<char16> text(2 * room, 0);
  if (list.getString(textKey, text.data(), static_cast<uint32>(room * sizeof(char16))) != kResultTrue)
    return false;
  text[room - 1] = 0;
  result = TextConversion::ToUTF8(text.data(), room);
  return true;
}
} // namespace

void IEffectVST3ControllerBase::Initialize(EditControllerEx1& controller, ParameterContainer& parameters,
                                           IEffectPlugin& plugin)
{
  parameterContainer = &parameters;
  const IEffectConfig& config = plugin.GetConfig();
  const int nParams = plugin.NParams();
  parameters.init(nParams + 1 + (config.doesMidiIn ? ParamIDs::kMidiChannels * ParamIDs::kMidiControllersPerChannel : 0));

  addUnit(controller, "Root", kRootUnitId, kNoParentUnitId);
  UnitID unitCount = 1;

  // Parameters with a group go into a unit named after it; units for groups
  // are numbered in the order their names first appear.
  std::vector<std::string> groups;
  std::vector<UnitID> unitOfParam(static_cast<size_t>(nParams), kRootUnitId);
  for (int i = 0; i < nParams; ++i)
  {
    const char* group = plugin.GetParam(i)->GetGroup();
    if (!group || group[0] == '\0')
      continue;
    size_t g = 0;
    while (g < groups.size() && groups[g] != group)
      ++g;
    if (g == groups.size())
    {
      groups.emplace_back(group);
      addUnit(controller, group, static_cast<UnitID>(g + 1), kRootUnitId);
      ++unitCount;
    }
    unitOfParam[static_cast<size_t>(i)] = static_cast<UnitID>(g + 1);
  }

  bypassParameter = new IEffectVST3BypassParameter(ParamIDs::kBypass);
  parameters.addParameter(bypassParameter);

  for (int i = 0; i < nParams; ++i)
    parameters.addParameter(new IEffectVST3Parameter(*plugin.GetParam(i), static_cast<ParamID>(i),
                                                     unitOfParam[static_cast<size_t>(i)]));

  if (!config.doesMidiIn)
    return;
  const UnitID midiUnit = addUnit(controller, "MIDI CCs", unitCount + 1, kRootUnitId);
  ++unitCount;
  for (int channel = 0; channel < ParamIDs::kMidiChannels; ++channel)
  {
    char name[16];
    std::snprintf(name, sizeof(name), "CH%i", channel + 1);
    const UnitID channelUnit = addUnit(controller, name, unitCount + 1, midiUnit);
    ++unitCount;
    for (int controllerNumber = 0; controllerNumber < ParamIDs::kMidiControllersPerChannel; ++controllerNumber)
    {
      const char* title = controllerNumber == ParamIDs::kChannelPressure ? "Channel Aftertouch"
                          : controllerNumber == ParamIDs::kPitchBend     ? "Pitch Bend"
                                                                         : IMidiMsg::CCNameStr[controllerNumber];
      String128 title16;
      TextConversion::ToUTF16(title, title16, 128);
      const double defaultValue = controllerNumber == ParamIDs::kPitchBend ? 0.5 : 0.0;
      parameters.addParameter(new Parameter(title16, ParamIDs::MidiController(channel, controllerNumber), STR16(""),
                                            defaultValue, 0, 0, channelUnit));
    }
  }
}

void IEffectVST3ControllerBase::Terminate()
{
  bypassParameter = nullptr;
  parameterContainer = nullptr;
}

Parameter* IEffectVST3ControllerBase::GetParameterObject(ParamID id) const
{
  return parameterContainer ? parameterContainer->getParameter(id) : nullptr;
}

void IEffectVST3ControllerBase::UpdateParameterObjects(const IEffectPlugin& plugin)
{
  for (int i = 0; i < plugin.NParams(); ++i)
    if (Parameter* object = GetParameterObject(static_cast<ParamID>(i)))
    {
      const IParam* param = plugin.GetParam(i);
      object->setNormalized(ClampNormalized(param->ToNormalized(param->Constrain(param->Value()))));
    }
}

bool IEffectVST3ControllerBase::SetChannelContextInfos(IAttributeList* list)
{
  if (!list)
    return false;
  using namespace ChannelContext;
  readText(*list, kChannelNameLengthKey, kChannelNameKey, channelName);
  readText(*list, kChannelUIDLengthKey, kChannelUIDKey, channelUID);
  int64 value = 0;
  if (list->getInt(kChannelIndexKey, value) == kResultTrue)
    channelIndex = static_cast<int32_t>(value);
  if (list->getInt(kChannelColorKey, value) == kResultTrue)
    channelColor = static_cast<uint32_t>(value);
  if (list->getInt(kChannelIndexNamespaceOrderKey, value) == kResultTrue)
    channelNamespaceOrder = static_cast<int32_t>(value);
  readText(*list, kChannelIndexNamespaceLengthKey, kChannelIndexNamespaceKey, channelNamespace);
  return true;
}

void IEffectVST3ControllerBase::GetTrackColor(int& r, int& g, int& b) const
{
  r = static_cast<int>((channelColor >> 16) & 0xFF);
  g = static_cast<int>((channelColor >> 8) & 0xFF);
  b = static_cast<int>(channelColor & 0xFF);
}
