#pragma once
#include <string>
#include <vector>

#include "pluginterfaces/vst/vsttypes.h"

// The instance's channel I/O description: configurations separated by
// blanks, each "inputs-outputs" with the channel counts of its buses joined
// by dots ("2-2" is one stereo input bus and one stereo output bus).
struct IOConfig
{
  std::vector<int> inputBusChannels;
  std::vector<int> outputBusChannels;
};

// Malformed configurations are left out.
std::vector<IOConfig> ParseChannelIO(const char* description);

// The speaker arrangement the binding uses for a bus of that many channels;
// the empty arrangement for counts without one.
Steinberg::Vst::SpeakerArrangement ArrangementForChannels(int channels);

// Bus names as hosts show them.
std::string BusName(bool input, int busIndex, int busCount);
