#pragma once
#include "toolkit/IControl.h"

enum class EDirection
{
  Vertical,
  Horizontal,
};

// The gestures of a rotary control:
// - press remembers the value; dragging by dY adds dY / (target top - target
//   bottom) / gearing (upwards increases; with the default gearing 4 a drag
//   of four target heights sweeps the whole range); Shift or Control makes
//   the gearing ten times finer; a stepped parameter's value snaps to its
//   steps while the drag itself keeps its fractional position;
// - the wheel adds 0.01 per unit (0.001 with Shift or Control) or moves a
//   stepped parameter one step per event;
// - double click resets to the parameter's default (IControl).
// Every change is sent to the host; IEditorGraphics opens and closes the
// host gesture around it.
class IKnobControlBase : public IControl
{
public:
  static constexpr double kFineGearingFactor = 10.0;
  static constexpr double kWheelStep = 0.01;

  explicit IKnobControlBase(const IRECT& bounds, int paramIdx = kNoParameter,
                            EDirection direction = EDirection::Vertical, double gearing = 4.0);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;

  void SetGearing(double value) { gearing = value > 0.0 ? value : 4.0; }
  double GetGearing() const { return gearing; }
  void SetDirection(EDirection value) { direction = value; }
  EDirection GetDirection() const { return direction; }
  void SetHideCursorOnDrag(bool hide) { hideCursorOnDrag = hide; }
  bool IsDragging() const { return dragging; }

private:
  EDirection direction;
  double gearing;
  bool hideCursorOnDrag = false;
  bool dragging = false;
  double dragValue = 0.0;
};
