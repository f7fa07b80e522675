#pragma once
#include "RenderLoop.h"

#include <chrono>
#include <cstdio>

namespace tolmar::render
{
// A one-line bar on a terminal, redrawn at most ten times a second:
//   [##########..........]  48%   0:07 / 0:15
// and, once the input is through, the seconds of tail rendered so far.
// It draws nothing unless enabled, and clears its line when done.
class ProgressBar final : public ProgressListener
{
public:
    ProgressBar(std::FILE* terminal, double sampleRate, bool enabled);
    ~ProgressBar() override;

    void progress(std::int64_t inputDone, std::int64_t inputLength, std::int64_t tailDone) override;
    void clear();

    // Whether a render of this many seconds deserves a bar on this stream.
    static bool wanted(std::FILE* stream, double inputSeconds, bool quiet);

private:
    std::FILE* terminal_;
    double rate_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};
} // namespace tolmar::render
