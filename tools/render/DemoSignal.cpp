#include "DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolmar::render
{
namespace
{
struct Note
{
    double onset; // seconds
    int midi;
    double level;
    double ring; // seconds until the string is 60 dB down
};

// A rising A-minor arpeggio that lands on a high A, sparse enough that the
// echoes fall between the notes and after them.
constexpr Note kFigure[] = {
    {0.00, 57, 0.85, 1.2}, {0.25, 60, 0.75, 1.0}, {0.50, 64, 0.75, 1.0},
    {0.75, 67, 0.75, 1.0}, {1.25, 69, 0.9, 1.3},
};
} // namespace

DemoSignal::DemoSignal(double sampleRate) : rate_(sampleRate)
{
    const auto frames = static_cast<std::size_t>(kSeconds * rate_);
    left_.assign(frames, 0.0);
    right_.assign(frames, 0.0);
    double pan = -0.35;
    for (const auto& n : kFigure)
    {
        pluck(n.onset, n.midi, n.level, pan, n.ring);
        pan = -pan;
    }
    // A short fade at the very end, in case a string still rings there.
    const std::size_t fade = std::min<std::size_t>(frames, static_cast<std::size_t>(0.05 * rate_));
    for (std::size_t i = 0; i < fade; ++i)
    {
        const double g = static_cast<double>(i) / fade;
        left_[frames - 1 - i] *= g;
        right_[frames - 1 - i] *= g;
    }
}

void DemoSignal::pluck(double onset, int midiNote, double level, double pan, double ring)
{
    const double hz = 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
    const int period = std::max(2, static_cast<int>(std::lround(rate_ / hz)));
    // The loop's averaging filter loses a little each pass; this gain sets
    // how many passes it takes to fall by 60 dB.
    const double passes = ring * hz;
    const double loss = std::pow(10.0, -3.0 / passes);

    std::vector<double> loop(period);
    double smooth = 0;
    for (auto& s : loop)
    {
        noise_ = noise_ * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise_ >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
        smooth += 0.5 * (white - smooth); // a softer pick than raw noise
        s = smooth;
    }

    // Equal-power placement: pan -1 is hard left, +1 hard right.
    const double angle = (pan + 1.0) * 0.25 * std::numbers::pi;
    const double gainLeft = level * std::cos(angle);
    const double gainRight = level * std::sin(angle);

    const auto start = static_cast<std::size_t>(onset * rate_);
    const auto end = std::min(left_.size(), start + static_cast<std::size_t>((ring + 0.2) * rate_));
    std::size_t k = 0;
    for (std::size_t i = start; i < end; ++i, k = (k + 1) % period)
    {
        const double out = loop[k];
        loop[k] = loss * 0.5 * (loop[k] + loop[(k + 1) % period]);
        // A 3 ms attack keeps the noise burst from clicking.
        const double attack = std::min(1.0, static_cast<double>(i - start) / (0.003 * rate_));
        left_[i] += gainLeft * attack * out;
        right_[i] += gainRight * attack * out;
    }
}

int DemoSignal::read(double* left, double* right, int frames)
{
    const auto n = static_cast<int>(std::min<std::size_t>(frames, left_.size() - position_));
    std::copy_n(left_.begin() + position_, n, left);
    std::copy_n(right_.begin() + position_, n, right);
    position_ += n;
    return n;
}
} // namespace tolmar::render
