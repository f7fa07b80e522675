#pragma once

// The sample rates the effect runs at. Below the lowest the control step
// (a millisecond) would be under one frame; above the highest the delay
// buffers would outgrow any host's use. A rate outside, or one that is no
// number at all, is refused at set-up.
namespace SampleRates
{
inline constexpr double kLowestHz = 1000.0;
inline constexpr double kHighestHz = 768000.0;

// False for NaN and the infinities too.
inline constexpr bool isSupported(double rate) { return rate >= kLowestHz && rate <= kHighestHz; }
} // namespace SampleRates
