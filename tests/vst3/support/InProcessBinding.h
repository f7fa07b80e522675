#pragma once
// The binding driven in-process, where the instance behind it can be
// inspected, with the host objects of the test host.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "editor/TolmarEditor.h"
#include "plugin/TolmarDelay.h"
#include "vst3/IEffectVST3.h"
#include "vst3/support/VST3Host.h"

namespace host
{
// An editor stand-in that records the values shown on it.
class RecordingEditor : public IEditorConnection
{
public:
  void SetControlValueFromDelegate(int paramIdx, double value) override { shown.emplace_back(paramIdx, value); }
  float GetEditorDrawScale() const override { return 0.5f; }
  std::vector<std::pair<int, double>> shown;
};

// The effect as the bundle makes it: with its editor installed.
inline std::unique_ptr<TolmarDelay> makeEffectWithEditor()
{
  auto delay = std::make_unique<TolmarDelay>();
  TolmarEditor::install(*delay);
  return delay;
}

class Binding
{
public:
  explicit Binding(const char* hostName = "Test Host")
  : effect(new IEffectVST3(makeEffectWithEditor())), application(hostName)
  {
    effect->initialize(&application);
    effect->setComponentHandler(&handler);
  }
  ~Binding()
  {
    effect->terminate();
    effect->release();
  }

  TolmarDelay& delay() { return static_cast<TolmarDelay&>(effect->GetPlugin()); }

  void start(double rate = 48000.0, int32 sampleSize = kSample32)
  {
    ProcessSetup setup{kRealtime, sampleSize, 512, rate};
    ASSERT_EQ(effect->setupProcessing(setup), kResultOk);
    effect->setActive(true);
    effect->setProcessing(true);
  }

  void process(ParameterChanges* changes, EventList* events = nullptr, ProcessContext* context = nullptr,
               int32 frames = 64, ParameterChanges* output = nullptr)
  {
    AudioBlock block(kSample32, 512);
    block.data.numSamples = frames;
    block.data.inputParameterChanges = changes;
    block.data.outputParameterChanges = output;
    block.data.inputEvents = events;
    block.data.processContext = context;
    ASSERT_EQ(effect->process(block.data), kResultOk);
  }

  // As the user turns a parameter's control in the editor (main thread).
  void touch(int paramIdx, double normalized)
  {
    delay().BeginInformHostOfParamChangeFromUI(paramIdx);
    delay().SendParameterValueFromUI(paramIdx, normalized);
    delay().EndInformHostOfParamChangeFromUI(paramIdx);
  }

  std::vector<IMidiMsg> messagesToEditor()
  {
    std::vector<IMidiMsg> messages;
    IMidiMsg msg;
    while (effect->GetPlugin().GetMidiQueueToEditor().Pop(msg))
      messages.push_back(msg);
    return messages;
  }

  IEffectVST3* effect;
  HostApplication application;
  ComponentHandler handler;
};

} // namespace host
