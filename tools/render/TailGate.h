#pragma once
#include "AudioSource.h"

#include <cstdint>
#include <vector>

namespace tolmar::render
{
// Decides where a rendered tail ends. Frames pass on to the sink as long as
// something audible follows them; a run of frames below the threshold is
// held back, and once it has lasted `quietFrames` (or the tail has reached
// `maxFrames`) the tail is over and the held frames are dropped, so the
// output ends where the sound does.
class TailGate
{
public:
    TailGate(AudioSink& out, std::int64_t quietFrames, double threshold, std::int64_t maxFrames);

    // Takes the next block of tail; returns whether more is wanted.
    bool write(const double* left, const double* right, int frames);

    std::int64_t framesSeen() const { return seen_; }

private:
    void flushHeld();

    AudioSink& out_;
    std::int64_t quietFrames_;
    double threshold_;
    std::int64_t maxFrames_;
    std::int64_t seen_ = 0;
    std::vector<double> heldLeft_;
    std::vector<double> heldRight_;
};
} // namespace tolmar::render
