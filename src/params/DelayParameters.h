#pragma once

#include "params/IParam.h"
#include "params/IString.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/SyncRates.h"

// Gives the nine parameters their names, ranges, shapes, defaults and texts.
void initDelayParameters(IParam* const (&params)[kNumParams]);

// Display functions of the parameters.
void setDisplayTextForRange(double value, IString& text);
void setDisplayTextForMix(double value, IString& text);
void setDisplayTextForPercent(double value, IString& text);
void setDisplayTextForSpeed(double value, IString& text);
void setDisplayTextForLFOSyncRate(double value, IString& text);

// Sync table row that an LFO speed value selects while LFO sync is on.
int lfoSyncIndexForNormalized(double normalized);
