#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Urids.h"
#include "params/ProductFacts/ControllerMap.h"
#include "plugin/IEffectAudioRunner.h"
#include "plugin/IEffectPlugin.h"

// One effect instance as an LV2 host sees it. It turns each run() into the
// instance's block model, in the order the VST 3 binding uses: transport,
// parameter values, MIDI and editor messages, then double-precision audio.
// It owns the instance and is the instance's host connection.
//
// No call lets an exception out; run() allocates nothing.
class Lv2Effect final : public IEffectHost
{
public:
  // Instantiation thread. Null when the host offers no urid:map or the
  // instance cannot be made.
  static std::unique_ptr<Lv2Effect> Create(double sampleRate, const LV2_Feature* const* features);
  ~Lv2Effect() override;

  // Instantiation thread (or audio thread between blocks, as hosts may).
  void ConnectPort(uint32_t port, void* data);
  // Instantiation thread: before the first run and after each deactivate.
  void Activate();
  void Deactivate();
  // Audio thread.
  void Run(uint32_t frames);

  // State (main thread, never during run()): the state chunk followed by
  // the bypass word, exactly the bytes of a VST 3 component state.
  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  IEffectPlugin& GetPlugin() { return *plugin; }

  // IEffectHost. Parameter edits of the instance (from MIDI controllers) have
  // no host-side port to go to: LV2 input ports belong to the host. The
  // editor learns of them through the notify port instead.
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}

private:
  // What the editor is told; compared whole to see whether to send it. The
  // readout's text goes with it but follows from the parameter values and
  // the indicators, so it is only formatted for a message that is sent.
  struct Display
  {
    double parameterValues[kNumParams];
    double hostTempo;
    int32_t rangeIndex;
    int32_t delaySynced, lfoSynced, frozen, learnArmed, unlearnMode;
    int32_t controllerMap[ControllerMap::kNumControllers];
    int32_t restores;
  };

  Lv2Effect(std::unique_ptr<IEffectPlugin> instance, const LV2_URID_Map& map, double sampleRate);

  void applyTransport(const LV2_Atom_Object* position);
  void applyControlPorts();
  void applyEvent(const LV2_Atom_Event* event, int32_t offset);
  void applyCommand(const LV2_Atom_Object* command);
  void processAudio(uint32_t start, uint32_t end);
  void readDisplay(Display& out);
  void notify();
  bool isPosition(const LV2_Atom* atom) const;

  std::unique_ptr<IEffectPlugin> plugin;
  Lv2Urids uris;
  LV2_Atom_Forge forge{};

  const float* audioIn[2] = {nullptr, nullptr};
  float* audioOut[2] = {nullptr, nullptr};
  const float* parameterPorts[kNumParams] = {};
  const float* enabledPort = nullptr;
  const LV2_Atom_Sequence* controlPort = nullptr;
  LV2_Atom_Sequence* notifyPort = nullptr;

  // The value this binding last applied from each port; a port is applied
  // again only when the host changes it, so that a parameter a MIDI
  // controller moved keeps its value until the host's value moves too.
  float lastParameterPort[kNumParams];
  float lastEnabledPort;
  // Set by a restore: the next block takes the ports' values as already
  // applied, so that ports the host leaves as they were (or sets to the
  // state's own values) do not undo the restored state.
  std::atomic<bool> portsFollowRestore{false};
  // States restored so far: the editor ticks the preset a restore matches.
  std::atomic<int32_t> restores{0};

  // Conversion buffers, made at instantiation: blocks beyond them are
  // processed in pieces.
  static constexpr int kScratchFrames = 4096;
  IEffectAudioRunner audio;

  IString displayText;
  Display lastDisplay{};
  // Set by restore and by the editor's request: the next run sends a full
  // display message even when nothing changed.
  std::atomic<bool> displayRequested{true};
};
