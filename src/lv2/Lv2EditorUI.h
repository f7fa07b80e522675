#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Urids.h"
#include "params/ProductFacts/ControllerMap.h"
#include "params/ProductFacts/ParameterIds.h"
#include "plugin/IEffectPlugin.h"

class IEffectEditor;
class X11EditorWindow;

// The effect's editor as an LV2 UI: an X11 child of the host's window.
//
// The editor works on an instance of the effect; here that instance is a
// model that never processes audio and that follows the plug-in through what
// the host delivers: control-port values, and the display messages the
// plug-in sends on its notify port (values a MIDI controller set, freeze,
// learn state, controller bindings, the host's tempo). What the editor does
// to the model goes back the same way: parameter changes as control-port
// writes, the learn and freeze buttons as command messages on the plug-in's
// control port. The two share no memory.
//
// Everything runs on the host's UI thread.
class Lv2EditorUI final : public IEffectHost
{
public:
  // Null when a required feature is missing or no window can be opened.
  static std::unique_ptr<Lv2EditorUI> Create(const char* bundlePath, LV2UI_Write_Function write,
                                             LV2UI_Controller controller, LV2UI_Widget* widget,
                                             const LV2_Feature* const* features);
  ~Lv2EditorUI() override;

  // The host delivers a port's value (format 0) or an atom from the notify
  // port (atom:eventTransfer).
  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // Periodic work; non-zero once the window is gone.
  int Idle();
  // The host gave its window a new size (pixels).
  int HostResized(int width, int height);

  IEffectPlugin& GetModel() { return *model; }

  // IEffectHost: the editor's parameter gestures.
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;

private:
  Lv2EditorUI(std::unique_ptr<IEffectPlugin> model, LV2UI_Write_Function write, LV2UI_Controller controller,
              const LV2_URID_Map& map);
  bool open(const std::string& resources, uint32_t parent);

  void applyHostValue(int paramIdx, double value);
  void applyDisplay(const LV2_Atom_Object* display);
  // What the editor did to the model since the last look goes to the
  // plug-in: port writes and commands.
  void sendLocalChanges();
  void writePort(int paramIdx);
  void redrawButtons(bool learn, bool freeze);
  void endedGesture();
  void sendCommand(int code, int target = -1);

  LV2UI_Write_Function write;
  LV2UI_Controller controller;
  Lv2Urids uris;
  LV2_Atom_Forge forge{};
  const LV2UI_Resize* hostResize = nullptr;
  const LV2UI_Touch* touch = nullptr;

  std::unique_ptr<IEffectPlugin> model;
  std::unique_ptr<IEffectEditor> editor;
  X11EditorWindow* window = nullptr; // owned by the editor's graphics

  // The model's state as last agreed with the plug-in.
  double syncedValues[kNumParams] = {};
  bool syncedArmed = false;
  bool syncedUnlearn = false;
  bool syncedFrozen = false;
  // The plug-in's count of restored states when its last display message
  // came, -1 before the first.
  int32_t seenRestores = -1;
  int32_t syncedMap[ControllerMap::kNumControllers] = {};
  // Stands in for a controller on the learning model; its entry of the
  // model's map is the plug-in's again at the next display message.
  static constexpr int kStandInController = ControllerMap::kNumControllers - 1;

  bool resizePending = false;
  int pendingWidth = 0;
  int pendingHeight = 0;
};
