#pragma once

#include "params/IParam.h"
#include "params/IString.h"

#include <string_view>

// The parameter index is also the host parameter ID, the order of the state
// chunk and of preset values, the MIDI-learn target and the editor binding.
// It never changes.
enum EParams
{
  kRange = 0,
  kTime,
  kFeedback,
  kLFOSpeed,
  kLFODepth,
  kMix,
  kQuality,
  kDelaySync,
  kLFOSync,
  kNumParams
};

inline constexpr int kNumPresets = 10;

// Gives the nine parameters their names, ranges, shapes, defaults and texts.
void initDelayParameters(IParam* const (&params)[kNumParams]);

// Display functions of the parameters.
void setDisplayTextForRange(double value, IString& text);
void setDisplayTextForMix(double value, IString& text);
void setDisplayTextForPercent(double value, IString& text);
void setDisplayTextForSpeed(double value, IString& text);
void setDisplayTextForLFOSyncRate(double value, IString& text);

// Readers of what the display functions write (see IParam::ReadText): each
// gives a value that the display function shows as the same text again.
bool readTextForRange(std::string_view text, double& value);
bool readTextForMix(std::string_view text, double& value);
bool readTextForPercent(std::string_view text, double& value);
// Reads both forms of the LFO speed, Hz and note values, whichever of them
// is shown at the moment: LFO sync may be switched between display and entry.
bool readTextForSpeed(std::string_view text, double& value);

// Shortest and longest delay of a Range setting, in milliseconds.
void rangeBoundsMs(double range, double& lo, double& hi);
// Row of the delay sync table that a Time value selects: longer notes for
// higher values.
int delaySyncRowForTime(double time);

// Sync table row that an LFO speed value selects while LFO sync is on.
int lfoSyncIndexForNormalized(double normalized);
