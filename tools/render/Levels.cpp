#include "Levels.h"
#include "params/CLocale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolmar::render
{
void LevelMeter::write(const double* left, const double* right, int frames)
{
    for (int i = 0; i < frames; ++i)
    {
        peak_ = std::max({peak_, std::fabs(left[i]), std::fabs(right[i])});
        sumOfSquares_ += left[i] * left[i] + right[i] * right[i];
    }
    frames_ += frames;
}

double LevelMeter::rms() const { return frames_ > 0 ? std::sqrt(sumOfSquares_ / (2.0 * frames_)) : 0.0; }

std::string dbfs(double linear)
{
    if (!(linear > 0))
        return "-inf dBFS";
    char text[32];
    CLocale::Format(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(linear));
    return text;
}
} // namespace tolmar::render
