#include "TailGate.h"

#include <cmath>

namespace tolmar::render
{
TailGate::TailGate(AudioSink& out, std::int64_t quietFrames, double threshold, std::int64_t maxFrames)
    : out_(out), quietFrames_(quietFrames), threshold_(threshold), maxFrames_(maxFrames)
{
    // The held run never grows past the quiet length plus one block.
    heldLeft_.reserve(static_cast<std::size_t>(quietFrames_) + 16384);
    heldRight_.reserve(static_cast<std::size_t>(quietFrames_) + 16384);
}

void TailGate::flushHeld()
{
    if (!heldLeft_.empty())
        out_.write(heldLeft_.data(), heldRight_.data(), static_cast<int>(heldLeft_.size()));
    heldLeft_.clear();
    heldRight_.clear();
}

bool TailGate::write(const double* left, const double* right, int frames)
{
    int lastLoud = -1;
    for (int i = frames - 1; i >= 0; --i)
    {
        if (std::fabs(left[i]) >= threshold_ || std::fabs(right[i]) >= threshold_)
        {
            lastLoud = i;
            break;
        }
    }
    if (lastLoud >= 0)
    {
        flushHeld();
        out_.write(left, right, lastLoud + 1);
    }
    heldLeft_.insert(heldLeft_.end(), left + lastLoud + 1, left + frames);
    heldRight_.insert(heldRight_.end(), right + lastLoud + 1, right + frames);
    seen_ += frames;
    return static_cast<std::int64_t>(heldLeft_.size()) < quietFrames_ && seen_ < maxFrames_;
}
} // namespace tolmar::render
