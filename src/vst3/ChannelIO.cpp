#include "vst3/ChannelIO.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "pluginterfaces/vst/vstspeaker.h"

namespace
{
// Reads "n" or "n.n.n" at text; false when it is not a list of counts.
bool parseBusList(const std::string& text, std::vector<int>& buses)
{
  if (text.empty())
    return false;
  size_t pos = 0;
  while (pos <= text.size())
  {
    const size_t dot = text.find('.', pos);
    const std::string item = text.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
    if (item.empty() || item.size() > 3)
      return false;
    for (char c : item)
      if (!std::isdigit(static_cast<unsigned char>(c)))
        return false;
    buses.push_back(std::atoi(item.c_str()));
    if (dot == std::string::npos)
      break;
    pos = dot + 1;
  }
  return true;
}
} // namespace

std::vector<IOConfig> ParseChannelIO(const char* description)
{
  std::vector<IOConfig> configs;
  const std::string text = description ? description : "";
  size_t pos = 0;
  while (pos < text.size())
  {
    while (pos < text.size() && text[pos] == ' ')
      ++pos;
    const size_t end = text.find(' ', pos);
    const std::string item = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end;
    const size_t dash = item.find('-');
    if (item.empty() || dash == std::string::npos)
      continue;
    IOConfig config;
    if (!parseBusList(item.substr(0, dash), config.inputBusChannels) ||
        !parseBusList(item.substr(dash + 1), config.outputBusChannels))
      continue;
    // "0" stands for no bus at all.
    if (config.inputBusChannels == std::vector<int>{0})
      config.inputBusChannels.clear();
    if (config.outputBusChannels == std::vector<int>{0})
      config.outputBusChannels.clear();
    configs.push_back(config);
  }
  return configs;
}

Steinberg::Vst::SpeakerArrangement ArrangementForChannels(int channels)
{
  using namespace Steinberg::Vst::SpeakerArr;
  switch (channels)
  {
    case 1: return kMono;
    case 2: return kStereo;
    case 3: return k30Cine;
    case 4: return kAmbi1stOrderACN;
    case 5: return k50;
    case 6: return k51;
    case 7: return k70Cine;
    case 8: return k71Music;
    case 9: return kAmbi2cdOrderACN;
    case 10: return k71_2;
    case 16: return kAmbi3rdOrderACN;
    default: return kEmpty;
  }
}

std::string BusName(bool input, int busIndex, int busCount)
{
  char name[32];
  if (input)
  {
    if (busCount == 1)
      return "Input";
    if (busCount == 2)
      return busIndex == 0 ? "Main" : "Aux";
    std::snprintf(name, sizeof(name), "Input %i", busIndex);
    return name;
  }
  if (busCount == 1)
    return "Output";
  std::snprintf(name, sizeof(name), "Output %i", busIndex);
  return name;
}
