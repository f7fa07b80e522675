#pragma once
#include "AudioSource.h"

#include <vector>

namespace tolmar::render
{
// A short melodic figure of plucked strings, synthesised here so the demo
// needs no sample files: five notes within a second and a half, placed
// alternately left and right of centre, each a plucked string
// (a noise burst circulating in a damped loop one period long) that dies
// away on its own. Deterministic: the same rate gives the same samples.
class DemoSignal final : public AudioSource
{
public:
    explicit DemoSignal(double sampleRate);
    double sampleRate() const override { return rate_; }
    std::int64_t length() const override { return static_cast<std::int64_t>(left_.size()); }
    int read(double* left, double* right, int frames) override;
    std::string description() const override { return "plucked-string figure"; }

    static constexpr double kSeconds = 2.75;

private:
    void pluck(double onset, int midiNote, double level, double pan, double ring);

    double rate_;
    std::vector<double> left_;
    std::vector<double> right_;
    std::size_t position_ = 0;
    unsigned noise_ = 0x9E3779B9u;
};
} // namespace tolmar::render
