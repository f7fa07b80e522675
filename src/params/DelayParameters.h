#pragma once

#include "params/IParam.h"
#include "params/IString.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/SyncRates.h"

#include <string_view>

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

// Sync table row that an LFO speed value selects while LFO sync is on.
int lfoSyncIndexForNormalized(double normalized);
