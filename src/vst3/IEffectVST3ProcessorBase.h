#pragma once
#include "plugin/IEffectAudioRunner.h"
#include "plugin/IEffectPlugin.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

// Turns one host process call into the instance's block model: transport,
// parameter changes, MIDI and double-precision audio. The audio work never
// allocates: the scratch buffers are sized on the setup thread, and blocks
// longer than them are processed in pieces.
class IEffectVST3ProcessorBase
{
public:
  explicit IEffectVST3ProcessorBase(IEffectPlugin& plugin);

  // Setup thread: sizes the scratch buffers for blocks of up to maxFrames.
  void SetMaxBlockSize(int maxFrames) { runner.SetMaxBlockSize(maxFrames); }

  // Audio thread, in this order once per block. Sample offsets outside the
  // block of numSamples frames are moved to its nearer end.
  void ProcessTransport(const Steinberg::Vst::ProcessContext* context, bool offline);
  void ProcessParameterChanges(Steinberg::Vst::IParameterChanges* changes, int32_t numSamples);
  void ProcessEvents(Steinberg::Vst::IEventList* events, int32_t numSamples);
  void ProcessEditorMidi();
  // outputActive[i] tells whether the host has output bus i switched on.
  void ProcessAudio(const Steinberg::Vst::ProcessData& data, const bool* outputActive, int numOutputFlags);

  int GetScratchFrames() const { return runner.GetScratchFrames(); }

private:
  static constexpr int kChannels = IEffectAudioRunner::kChannels;

  template <typename Sample>
  void processAudio(const Steinberg::Vst::ProcessData& data, const bool* outputActive, int numOutputFlags);
  void deliverMidi(const IMidiMsg& msg, bool copyToEditorFirst);

  IEffectPlugin& plugin;
  Steinberg::Vst::ProcessContext processContext{};
  IEffectAudioRunner runner;
};
