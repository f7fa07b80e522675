#pragma once

// The hosts that can be told apart by their application name. The binding
// acts on Ardour and Mixbus (bus layouts), WaveLab (state streams) and REAPER
// (editor keys); the others are kept so that the instance can see who runs it.
enum EHost
{
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper,
  kHostProTools,
  kHostCubase,
  kHostNuendo,
  kHostSonar,
  kHostVegas,
  kHostFL,
  kHostSamplitude,
  kHostAbletonLive,
  kHostTracktion,
  kHostNTracks,
  kHostMelodyneStudio,
  kHostVSTScanner,
  kHostAULab,
  kHostForte,
  kHostChainer,
  kHostAudition,
  kHostOrion,
  kHostBias,
  kHostSAWStudio,
  kHostLogic,
  kHostGarageBand,
  kHostDigitalPerformer,
  kHostAudioMulch,
  kHostStudioOne,
  kHostVST3TestHost,
  kHostArdour,
  kHostRenoise,
  kHostOpenMPT,
  kHostWaveLabElements,
  kHostWaveLab,
  kHostTwistedWave,
  kHostBitwig,
  kHostReason,
  kHostGoldWave5x,
  kHostWaveform,
  kHostAudacity,
  kHostAcoustica,
  kHostPluginDoctor,
  kHostiZotopeRX,
  kHostSAVIHost,
  kHostBlueCat,
  kHostMixbus,
  kHostStandalone,
  kHostWWW,
};

// Lower-cases the name and takes the first keyword, in a fixed order, that the
// name contains anywhere. A null or empty name is an unknown host.
EHost IdentifyHost(const char* hostName);
