#pragma once
#include <cmath>

// Finds double clicks for window systems that report only single presses:
// a press of the same button soon after and near the previous one. The
// press after a double click starts afresh, so three quick presses are one
// double click and a single press.
class DoubleClickDetector
{
public:
  explicit DoubleClickDetector(double maxIntervalSeconds = 0.4, float maxDistance = 4.f)
    : interval(maxIntervalSeconds), distance(maxDistance)
  {
  }

  // Main thread: a button went down at a time (seconds, monotonic) and a
  // point (window points). True when the press completes a double click.
  bool OnPress(int button, double timeSeconds, float x, float y)
  {
    const bool isDouble = pending && button == lastButton && timeSeconds - lastTime >= 0.0 &&
                          timeSeconds - lastTime <= interval && std::hypot(x - lastX, y - lastY) <= distance;
    pending = !isDouble;
    lastButton = button;
    lastTime = timeSeconds;
    lastX = x;
    lastY = y;
    return isDouble;
  }

  void Reset() { pending = false; }

private:
  double interval;
  float distance;
  bool pending = false;
  int lastButton = 0;
  double lastTime = 0.0;
  float lastX = 0.f;
  float lastY = 0.f;
};
