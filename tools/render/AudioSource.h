#pragma once
#include <cstdint>
#include <string>

namespace tolmar::render
{
// Stereo audio in blocks, from a file or a generator. A mono source gives
// the same samples on both channels.
class AudioSource
{
public:
    virtual ~AudioSource() = default;
    virtual double sampleRate() const = 0;
    virtual std::int64_t length() const = 0; // frames
    // Fills up to `frames` frames; returns how many, 0 at the end.
    virtual int read(double* left, double* right, int frames) = 0;
    // How the plot names the input: a file name or the signal's description.
    virtual std::string description() const = 0;
};

// Where processed stereo audio goes.
class AudioSink
{
public:
    virtual ~AudioSink() = default;
    virtual void write(const double* left, const double* right, int frames) = 0;
};
} // namespace tolmar::render
