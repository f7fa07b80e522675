#pragma once
#include <cstdint>

// The host transport as the engine sees it; filled by the host binding at the
// start of every process call and read by the delay clock and the LFO.
struct ITimeInfo
{
  double tempo = 120.0;            // quarter notes per minute
  double samplePosition = -1.0;    // -1 when the host does not report it
  double ppqPosition = -1.0;
  double lastBarPosition = -1.0;
  double cycleStart = -1.0;
  double cycleEnd = -1.0;
  int32_t timeSigNumerator = 4;
  int32_t timeSigDenominator = 4;
  bool transportRunning = false;
  bool cycleActive = false;
};
