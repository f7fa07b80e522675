#pragma once
#include "AudioSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolmar::render
{
// Peak and RMS of everything written, over both channels.
class LevelMeter final : public AudioSink
{
public:
    void write(const double* left, const double* right, int frames) override;

    std::int64_t frames() const { return frames_; }
    double peak() const { return peak_; }
    double rms() const;

private:
    std::int64_t frames_ = 0;
    double peak_ = 0;
    double sumOfSquares_ = 0;
};

// "-3.2 dBFS"; silence is "-inf dBFS".
std::string dbfs(double linear);

// Hands every block to several sinks in order.
class SinkFanOut final : public AudioSink
{
public:
    explicit SinkFanOut(std::vector<AudioSink*> sinks) : sinks_(std::move(sinks)) {}
    void write(const double* left, const double* right, int frames) override
    {
        for (auto* s : sinks_)
            s->write(left, right, frames);
    }

private:
    std::vector<AudioSink*> sinks_;
};
} // namespace tolmar::render
