#pragma once

class IEditorGraphics;
class IParam;

// What the graphics toolkit needs from the plug-in it draws for: the
// parameters its controls show, a way to send edits to the host, the size
// limits of the editor and the function that builds the controls.
// Every call arrives on the main thread.
class IGraphicsDelegate
{
public:
  virtual ~IGraphicsDelegate() = default;

  // Main thread: the parameter a control shows; null for a negative index or
  // one the delegate does not have.
  virtual const IParam* GetParam(int paramIdx) const = 0;

  // Main thread: a gesture on a parameter begins, sends values, ends.
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx) = 0;
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx) = 0;

  // Main thread: the user right-clicked the control of a parameter at a
  // point of the window (in points). True when the host showed its own menu
  // for the parameter; the control then gets no mouse-down.
  virtual bool PromptHostContextMenu(int paramIdx, float x, float y)
  {
    (void)paramIdx;
    (void)x;
    (void)y;
    return false;
  }

  // Main thread: limits a layout size; true when it was inside the limits,
  // false when it was clamped.
  virtual bool ConstrainEditorResize(int& width, int& height) const
  {
    (void)width;
    (void)height;
    return true;
  }

  // Main thread: the editor changed its window size (in points) by itself;
  // the host should follow.
  virtual bool EditorResizeFromUI(int width, int height)
  {
    (void)width;
    (void)height;
    return true;
  }

  // Main thread: the window opened; build the controls on the graphics.
  virtual void LayoutUI(IEditorGraphics& graphics) { (void)graphics; }
  // Main thread: after the layout of a newly opened window.
  virtual void OnUIOpen() {}
};
