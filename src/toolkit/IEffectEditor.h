#pragma once
#include <functional>
#include <memory>

#include "toolkit/IEditorGraphics.h"
#include "toolkit/IPlatformWindow.h"

// An effect's editor as a host binding sees it: a thing that opens in a
// platform window, draws each frame and negotiates its size. The binding
// knows nothing else of it. Main thread only.
class IEffectEditor
{
public:
  virtual ~IEffectEditor() = default;

  // The graphics of the next window, built at the remembered size.
  virtual IEditorGraphics& EnsureGraphics() = 0;
  virtual IEditorGraphics* GetGraphics() const = 0;
  virtual void OpenWindow(std::unique_ptr<IPlatformWindow> window) = 0;
  virtual void CloseWindow() = 0;
  // Once per frame of the window's timer.
  virtual void OnFrame() = 0;
  // Limits a window size (points); true when it was inside the limits.
  virtual bool ConstrainEditorResize(int& width, int& height) const = 0;
  // The size (points) at which a new window opens.
  virtual void GetOpeningSize(int& width, int& height) const = 0;

  // The host follows a size the editor chose (points).
  virtual void setHostResizeHandler(std::function<bool(int, int)> handler) = 0;
  // The host offers a context menu for a parameter.
  virtual void setHostContextMenuHandler(std::function<bool(int, float, float)> handler) = 0;
  // The user chose the editor's "Enter Value…" item in the host's menu for
  // a parameter: a text field opens for it.
  virtual void PromptForParameterValue(int paramIdx) = 0;
};
