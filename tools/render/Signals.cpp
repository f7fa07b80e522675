#include "Signals.h"
#include "params/CLocale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace tolmar::render
{
ImpulseSource::ImpulseSource(double sampleRate, std::int64_t length) : rate_(sampleRate), length_(length) {}

int ImpulseSource::read(double* left, double* right, int frames)
{
    const int n = static_cast<int>(std::min<std::int64_t>(frames, length_ - position_));
    for (int i = 0; i < n; ++i)
        left[i] = right[i] = position_ + i == 0 ? 1.0 : 0.0;
    position_ += n;
    return n;
}

ToneSource::ToneSource(double hz, double sampleRate, std::int64_t length)
    : hz_(hz), rate_(sampleRate), length_(length)
{
}

int ToneSource::read(double* left, double* right, int frames)
{
    const int n = static_cast<int>(std::min<std::int64_t>(frames, length_ - position_));
    const double fade = std::max(1.0, 0.005 * rate_);
    for (int i = 0; i < n; ++i)
    {
        const std::int64_t k = position_ + i;
        const double edge = std::min({1.0, (k + 1) / fade, (length_ - k) / fade});
        // The phase is computed from the frame index, so long tones keep
        // their pitch without an accumulating error.
        const double phase = std::fmod(static_cast<double>(k) * hz_ / rate_, 1.0);
        left[i] = right[i] = 0.5 * edge * std::sin(2.0 * std::numbers::pi * phase);
    }
    position_ += n;
    return n;
}

std::string ToneSource::description() const
{
    char text[64];
    CLocale::Format(text, sizeof text, "%g Hz tone", hz_);
    return text;
}
} // namespace tolmar::render
