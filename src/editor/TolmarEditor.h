#pragma once
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "control/UpdateCheckTask.h"
#include "control/UserPresetFolder.h"
#include "editor/EditorStyles.h"
#include "plugin/IEffectBase.h"
#include "toolkit/IEditorGraphics.h"
#include "toolkit/IEffectEditor.h"
#include "toolkit/IGraphicsDelegate.h"

class TolmarDelay;
class ITolmarToolsControl;
class ITolmarRangeControl;
class ITolmarKnobTextControl;

// The editor of one TolmarDelay instance: builds the controls on the toolkit's
// graphics, passes gestures to the instance and the host, and brings the
// controls up to date with what changes in the engine.
//
// Everything here runs on the main thread. Engine-side changes (which may
// happen on the audio thread) and values the host sets reach the controls
// only through flags and atomics that OnFrame applies, so no other thread
// ever touches a control.
class TolmarEditor : public IGraphicsDelegate, public IEditorConnection, public IEffectEditor
{
public:
  TolmarEditor(TolmarDelay& delay, std::string resourceFolder);
  ~TolmarEditor() override;
  TolmarEditor(const TolmarEditor&) = delete;
  TolmarEditor& operator=(const TolmarEditor&) = delete;

  // Main thread: shows the editor in a platform window (building the
  // graphics at the remembered size) / closes it and destroys the controls.
  void OpenWindow(std::unique_ptr<IPlatformWindow> window) override;
  // The graphics of the next window, built at the remembered size.
  IEditorGraphics& EnsureGraphics() override;
  void CloseWindow() override;
  bool WindowIsOpen() const { return graphics && graphics->WindowIsOpen(); }
  IEditorGraphics* GetGraphics() const override { return graphics.get(); }
  // A new window opens with the layout at the configured scale, clamped to
  // the scale limits, whatever size the last one had.
  void GetOpeningSize(int& width, int& height) const override;

  // Main thread, once per frame of the window's timer: applies what changed
  // since the last frame, then draws.
  void OnFrame() override;
  void applyPendingChanges();

  // The window-size menu, and a new scale from the configuration file.
  void resizeUI(GUI::GUISize size);
  void resizeUI();
  // The online menu: asks the vendor's site for the latest version on a
  // worker thread and returns at once; the answer's messages appear at the
  // frame after it arrives. Does nothing while a check runs. Closing the
  // window drops a check under way.
  void checkVersionAgainstWeb();
  bool isCheckingForUpdate() const { return updateCheck.isBusy(); }
  bool saveConfig();
  TolmarDelay& getDelay() const { return delay; }

  // Typed values: a text field over the parameter's value caption, holding
  // the shown text; Return applies what was typed as one host edit, a text
  // that cannot be read makes the field flash.
  void promptForValue(int paramIdx);
  void PromptForParameterValue(int paramIdx) override { promptForValue(paramIdx); }
  void resetToDefault(int paramIdx);
  // Reads a typed text as the hosts read it; where the shown text depends on
  // another parameter (the delay time's milliseconds on Range), the shown
  // form gives the value that shows it. The plain value, constrained.
  bool readTypedValue(int paramIdx, const std::string& text, double& value) const;
  bool applyTypedValue(int paramIdx, const std::string& text);

  // The user's presets: listed when the preset menu opens.
  std::vector<UserPresetFolder::Entry> listUserPresets() const;
  void recallUserPreset(const std::string& name);
  // Asks for a name in a text field (holding the loaded user preset's),
  // then writes the current settings under it, asking before a file of
  // that name is replaced.
  void promptSavePreset();
  void confirmDeletePreset(const std::string& name);
  const std::string& getResourceFolder() const { return resourceFolder; }

  // The host follows a size the editor chose (points); set by the host view.
  void setHostResizeHandler(std::function<bool(int, int)> handler) override { hostResize = std::move(handler); }
  // The host offers a context menu for a parameter; set by the host view.
  void setHostContextMenuHandler(std::function<bool(int, float, float)> handler) override
  {
    hostContextMenu = std::move(handler);
  }

  // IGraphicsDelegate (main thread).
  const IParam* GetParam(int paramIdx) const override;
  void BeginInformHostOfParamChangeFromUI(int paramIdx) override;
  void SendParameterValueFromUI(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChangeFromUI(int paramIdx) override;
  bool PromptHostContextMenu(int paramIdx, float x, float y) override;
  bool ConstrainEditorResize(int& width, int& height) const override;
  bool EditorResizeFromUI(int width, int height) override;
  void LayoutUI(IEditorGraphics& g) override;

  // IEditorConnection (any thread): remembered, applied at the next frame.
  void SetControlValueFromDelegate(int paramIdx, double normalizedValue) override;
  float GetEditorDrawScale() const override;

  // The controls the refreshes update; null while no editor is open.
  ITolmarToolsControl* getLearnButton() const { return learnButton; }
  ITolmarToolsControl* getFreezeButton() const { return freezeButton; }
  ITolmarRangeControl* getRangeSelector() const { return rangeSelector; }
  ITolmarKnobTextControl* getTimeKnob() const { return timeKnob; }
  ITolmarKnobTextControl* getRateKnob() const { return rateKnob; }

  // Makes the instance's editor; installed into the instance by the module.
  static void install(TolmarDelay& delay);

private:
  void refreshTimeDisplay();
  // Opens the preset name field holding text.
  void promptPresetName(const std::string& text);
  // Sets a parameter to a plain value as one host edit, the control following.
  void editParameter(int paramIdx, double value);
  void savePresetAs(const std::string& name);
  void showPresetMessage(const std::string& text, const char* caption, std::function<void()> then = nullptr);
  void showUpdateAnswer();
  void showMessages(std::shared_ptr<std::vector<struct UpdateMessage>> messages, size_t index);

  TolmarDelay& delay;
  std::string resourceFolder;
  std::unique_ptr<IEditorGraphics> graphics;
  std::function<bool(int, int)> hostResize;
  std::function<bool(int, float, float)> hostContextMenu;

  ITolmarToolsControl* learnButton = nullptr;
  ITolmarToolsControl* freezeButton = nullptr;
  ITolmarRangeControl* rangeSelector = nullptr;
  ITolmarKnobTextControl* timeKnob = nullptr;
  ITolmarKnobTextControl* rateKnob = nullptr;

  int rememberedWidth = 0;
  int rememberedHeight = 0;
  float rememberedScale = 0.f;
  bool closing = false;

  static constexpr int kMaxParams = 16;
  std::array<std::atomic<double>, kMaxParams> pendingValues{};
  std::atomic<uint32_t> pendingValueMask{0};

  UpdateCheckTask updateCheck;
};
