#include "WaveformSummary.h"

#include <algorithm>
#include <cmath>

namespace tolmar::render
{
// An even count, so that merging pairs leaves no bucket alone.
WaveformSummary::WaveformSummary(std::size_t maxBuckets) : maxBuckets_(std::max<std::size_t>(maxBuckets & ~std::size_t{1}, 2))
{
    buckets_.reserve(maxBuckets_);
}

void WaveformSummary::write(const double* left, const double* right, int frames)
{
    for (int i = 0; i < frames; ++i)
    {
        const float l = static_cast<float>(left[i]);
        const float r = static_cast<float>(right[i]);
        if (inCurrent_ == 0)
            current_ = Bucket{{l, r}, {l, r}};
        else
        {
            current_.low[0] = std::min(current_.low[0], l);
            current_.low[1] = std::min(current_.low[1], r);
            current_.high[0] = std::max(current_.high[0], l);
            current_.high[1] = std::max(current_.high[1], r);
        }
        if (++inCurrent_ == framesPerBucket_)
        {
            if (buckets_.size() == maxBuckets_)
                mergePairs(); // the current bucket goes on filling to the new width
            else
            {
                buckets_.push_back(current_);
                inCurrent_ = 0;
            }
        }
    }
    frames_ += frames;
}

void WaveformSummary::mergePairs()
{
    std::size_t out = 0;
    for (std::size_t i = 0; i + 1 < buckets_.size(); i += 2, ++out)
    {
        Bucket m;
        for (int c = 0; c < 2; ++c)
        {
            m.low[c] = std::min(buckets_[i].low[c], buckets_[i + 1].low[c]);
            m.high[c] = std::max(buckets_[i].high[c], buckets_[i + 1].high[c]);
        }
        buckets_[out] = m;
    }
    buckets_.resize(out);
    framesPerBucket_ *= 2;
}

std::vector<WaveformSummary::Bucket> WaveformSummary::buckets() const
{
    auto all = buckets_;
    if (inCurrent_ > 0)
        all.push_back(current_);
    return all;
}

void ClipRecorder::write(const double* left, const double* right, int frames)
{
    for (int i = 0; i < frames && static_cast<std::int64_t>(left_.size()) < maxFrames_; ++i)
    {
        left_.push_back(static_cast<float>(left[i]));
        right_.push_back(static_cast<float>(right[i]));
    }
}

std::vector<float> ClipRecorder::envelope() const
{
    std::vector<float> out(left_.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::max(std::fabs(left_[i]), std::fabs(right_[i]));
    return out;
}

std::vector<std::int64_t> findEchoes(const std::vector<float>& envelope, double delayFrames, double rangeDb,
                                     int maxEchoes)
{
    std::vector<std::int64_t> echoes;
    if (!(delayFrames >= 1.0))
        return echoes;
    const auto size = static_cast<std::int64_t>(envelope.size());
    float loudest = 0;
    for (int k = 1; k <= maxEchoes; ++k)
    {
        const auto from = static_cast<std::int64_t>(std::ceil((k - 0.5) * delayFrames));
        const auto to = std::min(size, static_cast<std::int64_t>(std::ceil((k + 0.5) * delayFrames)));
        if (from >= to)
            break;
        const auto peak = std::max_element(envelope.begin() + from, envelope.begin() + to);
        loudest = std::max(loudest, *peak);
        if (*peak <= 0 || 20.0 * std::log10(*peak / loudest) < -rangeDb)
            break;
        echoes.push_back(peak - envelope.begin());
    }
    return echoes;
}
} // namespace tolmar::render
