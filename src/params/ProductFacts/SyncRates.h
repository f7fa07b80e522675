#pragma once
#include <array>
#include <cmath>

// Note values in quarter notes, each paired with its display text. The
// indices follow from parameter values that projects store, so the order
// never changes.
struct SyncRate
{
  const char* label;
  double quarterNotes;
};

inline constexpr int kNumSyncRates = 20;

// Delay times for "Delay Sync to Host", longest first.
inline constexpr std::array<SyncRate, kNumSyncRates> kDelaySyncRates = {{
  {"2/1", 8.0},     {"1/1.", 6.0},     {"1/1", 4.0},      {"1/2.", 3.0},
  {"1/2", 2.0},     {"1/4.", 1.5},     {"1/2T", 4.0 / 3.0}, {"1/4", 1.0},
  {"1/8.", 0.75},   {"1/4T", 2.0 / 3.0}, {"1/8", 0.5},    {"1/16.", 0.375},
  {"1/8T", 1.0 / 3.0}, {"1/16", 0.25}, {"1/32.", 0.1875}, {"1/16T", 1.0 / 6.0},
  {"1/32", 0.125},  {"1/64.", 0.09375}, {"1/32T", 1.0 / 12.0}, {"1/64", 0.0625},
}};

// LFO cycle lengths for "LFO Sync to Host", longest first. "2/1." is ten
// quarter notes here, not twelve: that is how the rate has always sounded,
// and saved projects depend on it.
inline constexpr std::array<SyncRate, kNumSyncRates> kLFOSyncRates = {{
  {"16/1", 64.0},   {"12/1", 48.0},   {"8/1", 32.0},     {"6/1", 24.0},
  {"4/1", 16.0},    {"3/1", 12.0},    {"2/1.", 10.0},    {"2/1", 8.0},
  {"1/1.", 6.0},    {"1/1", 4.0},     {"1/2.", 3.0},     {"1/2", 2.0},
  {"1/4.", 1.5},    {"1/2T", 4.0 / 3.0}, {"1/4", 1.0},   {"1/8.", 0.75},
  {"1/4T", 2.0 / 3.0}, {"1/8", 0.5},  {"1/16.", 0.375},  {"1/16", 0.25},
}};

// Row of the delay sync table that a Time value selects: longer notes for
// higher values (1 gives row 0, 0 gives row 19).
inline int delaySyncRowForTime(double time)
{
  const double row = std::round((1.0 - time) * 19.0);
  return row < 0.0 ? 0 : row > 19.0 ? 19 : static_cast<int>(row);
}

// The Time value that selects a row of the delay sync table.
inline double timeForDelaySyncRow(int row) { return 1.0 - row / 19.0; }
