#pragma once
#include <cstdint>
#include <string>

#include "plugin/IEffectPlugin.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "vst3/IEffectVST3Parameter.h"

// The edit-controller side of the binding: the units and parameter objects
// the host sees, and what the host tells about the channel that holds the
// effect. Main thread only.
class IEffectVST3ControllerBase
{
public:
  // Adds the units and parameter objects for the instance to the controller.
  void Initialize(Steinberg::Vst::EditControllerEx1& controller, Steinberg::Vst::ParameterContainer& parameters,
                  IEffectPlugin& plugin);
  // The controller dropped its parameter objects.
  void Terminate();

  // Sets every instance parameter's object to the parameter's current value.
  void UpdateParameterObjects(const IEffectPlugin& plugin);
  IEffectVST3BypassParameter* GetBypassParameter() const { return bypassParameter; }
  Steinberg::Vst::Parameter* GetParameterObject(Steinberg::Vst::ParamID id) const;

  // Stores the channel attributes the host sends; false for a null list.
  bool SetChannelContextInfos(Steinberg::Vst::IAttributeList* list);

  const char* GetTrackName() const { return channelName.c_str(); }
  const char* GetTrackNamespace() const { return channelNamespace.c_str(); }
  const char* GetTrackUID() const { return channelUID.c_str(); }
  int GetTrackIndex() const { return channelIndex; }
  int GetTrackNamespaceIndex() const { return channelNamespaceOrder; }
  void GetTrackColor(int& r, int& g, int& b) const;

private:
  Steinberg::Vst::ParameterContainer* parameterContainer = nullptr;
  IEffectVST3BypassParameter* bypassParameter = nullptr;
  std::string channelName;
  std::string channelNamespace;
  std::string channelUID;
  int32_t channelNamespaceOrder = 0;
  int32_t channelIndex = 0;
  uint32_t channelColor = 0;
};
