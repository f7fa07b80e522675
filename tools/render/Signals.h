#pragma once
#include "AudioSource.h"

namespace tolmar::render
{
// A single full-scale sample at the start on both channels, then silence.
class ImpulseSource final : public AudioSource
{
public:
    ImpulseSource(double sampleRate, std::int64_t length);
    double sampleRate() const override { return rate_; }
    std::int64_t length() const override { return length_; }
    int read(double* left, double* right, int frames) override;
    std::string description() const override { return "unit impulse"; }

private:
    double rate_;
    std::int64_t length_;
    std::int64_t position_ = 0;
};

// A sine at half scale (-6 dBFS) on both channels, faded in and out over
// 5 ms so that its edges do not click through the delay.
class ToneSource final : public AudioSource
{
public:
    ToneSource(double hz, double sampleRate, std::int64_t length);
    double sampleRate() const override { return rate_; }
    std::int64_t length() const override { return length_; }
    int read(double* left, double* right, int frames) override;
    std::string description() const override;

private:
    double hz_;
    double rate_;
    std::int64_t length_;
    std::int64_t position_ = 0;
};
} // namespace tolmar::render
