#pragma once
#include "AudioSource.h"

#include <cstdint>
#include <vector>

namespace tolmar::render
{
// The shape of a long signal in bounded memory: the lowest and highest
// sample of each channel per bucket of frames. When the buckets run out,
// neighbours merge and each bucket covers twice as many frames, so a render
// of any length keeps its peaks for the plot.
class WaveformSummary final : public AudioSink
{
public:
    struct Bucket
    {
        float low[2] = {0, 0};
        float high[2] = {0, 0};
    };

    explicit WaveformSummary(std::size_t maxBuckets = 16384);
    void write(const double* left, const double* right, int frames) override;

    std::int64_t frames() const { return frames_; }
    std::int64_t framesPerBucket() const { return framesPerBucket_; }
    // Complete buckets followed by the partly filled one, if any.
    std::vector<Bucket> buckets() const;

private:
    void mergePairs();

    std::size_t maxBuckets_;
    std::int64_t framesPerBucket_ = 1;
    std::int64_t frames_ = 0;
    std::vector<Bucket> buckets_;
    Bucket current_;
    std::int64_t inCurrent_ = 0;
};

// The first part of a signal at full resolution, for the close-up of an
// impulse response and for finding its echoes.
class ClipRecorder final : public AudioSink
{
public:
    explicit ClipRecorder(std::int64_t maxFrames) : maxFrames_(maxFrames) {}
    void write(const double* left, const double* right, int frames) override;
    const std::vector<float>& left() const { return left_; }
    const std::vector<float>& right() const { return right_; }
    // The larger magnitude of the two channels, frame by frame.
    std::vector<float> envelope() const;

private:
    std::int64_t maxFrames_;
    std::vector<float> left_;
    std::vector<float> right_;
};

// Peaks of an impulse response near whole multiples of the delay: for each
// multiple k, the loudest frame within half a delay of k times the delay,
// kept while it stays within `rangeDb` of the loudest echo. Frame indices.
std::vector<std::int64_t> findEchoes(const std::vector<float>& envelope, double delayFrames, double rangeDb,
                                     int maxEchoes);
} // namespace tolmar::render
