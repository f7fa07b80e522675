#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "params/IString.h"
#include "plugin/IEffectBase.h"
#include "plugin/IEffectProcessor.h"

class IEffectEditor;

// What the factory passes to a new instance; nothing so far.
struct InstanceInfo
{
};

// The platform-neutral half of a plug-in: parameters, state and host edits
// on one side, audio processing on the other. Host bindings drive it through
// this interface only.
class IEffectPlugin : public IEffectAPIBase, public IEffectProcessor
{
public:
  // Returns a new editor that the caller owns, or null.
  using EditorFactory = std::function<IEffectEditor*(IEffectPlugin&, const std::string& resourceFolder)>;

  explicit IEffectPlugin(const IEffectConfig& config) : IEffectAPIBase(config) {}

  // Main thread. The module that links an editor installs how to make one;
  // without it the effect has no editor to show.
  void SetEditorFactory(EditorFactory factory) { editorFactory = std::move(factory); }
  // Main thread: a new editor that the caller owns, or null.
  virtual IEffectEditor* CreateEditor(const std::string& resourceFolder)
  {
    return editorFactory ? editorFactory(*this, resourceFolder) : nullptr;
  }

  // --- The editor's indicators and buttons, for an editor apart ------------
  // A binding whose editor works on a model instance of its own (LV2) tells
  // that model what the processing instance shows besides parameter values,
  // and posts the model's buttons back. The defaults describe an effect with
  // no MIDI learn, no freeze switch and no readout beyond its parameters.

  // What the editor shows besides parameter values.
  struct EditorIndicators
  {
    int32_t rangeIndex = 0;   // the range the main readout is in
    bool timeSynced = false;  // the main readout follows the host's tempo
    bool rateSynced = false;  // the modulation rate follows the host's tempo
    bool frozen = false;      // the freeze switch holds the signal
    bool learnArmed = false;  // MIDI learn waits for a gesture
    bool unlearnMode = false; // ... a gesture that unbinds
  };
  // Any thread: the indicators as the audio thread last published them.
  virtual EditorIndicators GetEditorIndicators() const { return {}; }
  // Any thread: the text of the main readout. The caller reserves the
  // string's room: the audio thread asks too.
  virtual void GetReadoutText(IString& text) const { text.Set(""); }
  // Any thread: what MIDI learn bound the controller to: a parameter index,
  // or one of the product's other targets (ControllerMap), or -1 for none.
  virtual int32_t GetControllerBinding(int controller) const
  {
    (void)controller;
    return -1;
  }
  // Any thread: the editor's learn, unlearn and freeze buttons, posted to
  // the audio thread; false when not taken.
  virtual bool PostLearn(bool armed)
  {
    (void)armed;
    return false;
  }
  virtual bool PostUnlearn(bool armed)
  {
    (void)armed;
    return false;
  }
  virtual bool PostFreeze() { return false; }
  // The model's thread, which stands in for the audio thread there: a
  // controller arrived while learning (the model hears none of its own).
  virtual void LearnController(int controller) { (void)controller; }
  // The model's thread: the host's tempo changed outside processing; what
  // follows the tempo follows it now.
  virtual void OnTempoChanged() {}
  // Main thread: values came from outside the editor (a restored state, or
  // a host's preset as port values one by one); the preset menu ticks the
  // preset they hold. Where none does, no preset is ticked, or with
  // keepWhenNone the one ticked before stays.
  virtual void TickMatchingPreset(bool keepWhenNone) { (void)keepWhenNone; }

private:
  EditorFactory editorFactory;
};
