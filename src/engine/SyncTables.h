#pragma once
#include <array>

// Note values in quarter notes, each paired with its display text. The
// indices are persisted implicitly (they follow from parameter values), so
// the order never changes.
struct SyncRate
{
  const char* label;
  double quarterNotes;
};

inline constexpr int kNumSyncRates = 20;

// Delay times for "Delay Sync to Host", longest first.
extern const std::array<SyncRate, kNumSyncRates> kDelaySyncRates;
// LFO cycle lengths for "LFO Sync to Host", longest first.
extern const std::array<SyncRate, kNumSyncRates> kLFOSyncRates;
