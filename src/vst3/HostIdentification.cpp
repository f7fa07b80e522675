#include "vst3/HostIdentification.h"

#include <cctype>
#include <string>

namespace
{
struct HostKeyword
{
  const char* keyword;
  EHost host;
};

// Order matters: the first keyword found decides, so "wavelab elements" must
// come before "wavelab".
constexpr HostKeyword kHostKeywords[] = {
  {"reaper", kHostReaper},
  {"protools", kHostProTools},
  {"cubase", kHostCubase},
  {"nuendo", kHostNuendo},
  {"cakewalk", kHostSonar},
  {"vegas", kHostVegas},
  {"fruity", kHostFL},
  {"samplitude", kHostSamplitude},
  {"live", kHostAbletonLive},
  {"tracktion", kHostTracktion},
  {"ntracks", kHostNTracks},
  {"melodyne", kHostMelodyneStudio},
  {"vstmanlib", kHostVSTScanner},
  {"aulab", kHostAULab},
  {"forte", kHostForte},
  {"chainer", kHostChainer},
  {"audition", kHostAudition},
  {"orion", kHostOrion},
  {"bias", kHostBias},
  {"sawstudio", kHostSAWStudio},
  {"logic", kHostLogic},
  {"garageband", kHostGarageBand},
  {"digital", kHostDigitalPerformer},
  {"audiomulch", kHostAudioMulch},
  {"presonus", kHostStudioOne},
  {"vst3plugintesthost", kHostVST3TestHost},
  {"ardour", kHostArdour},
  {"renoise", kHostRenoise},
  {"openmpt", kHostOpenMPT},
  {"wavelab elements", kHostWaveLabElements},
  {"wavelab", kHostWaveLab},
  {"twistedwave", kHostTwistedWave},
  {"bitwig studio", kHostBitwig},
  {"reason", kHostReason},
  {"gwvst", kHostGoldWave5x},
  {"waveform", kHostWaveform},
  {"audacity", kHostAudacity},
  {"acoustica", kHostAcoustica},
  {"plugindoctor", kHostPluginDoctor},
  {"izotope rx", kHostiZotopeRX},
  {"savihost", kHostSAVIHost},
  {"blue cat's vst host", kHostBlueCat},
  {"mixbus", kHostMixbus},
  {"standalone", kHostStandalone},
  {"www", kHostWWW},
};
} // namespace

EHost IdentifyHost(const char* hostName)
{
  if (!hostName)
    return kHostUnknown;
  std::string lower(hostName);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const HostKeyword& entry : kHostKeywords)
    if (lower.find(entry.keyword) != std::string::npos)
      return entry.host;
  return kHostUnknown;
}
