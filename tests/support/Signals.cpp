#include "support/Signals.h"

#include <cmath>
#include <numbers>
#include <random>

namespace signals
{
namespace
{
int end(const std::vector<double>& x, int to) { return to < 0 ? static_cast<int>(x.size()) : to; }
} // namespace

std::vector<double> impulse(int length, int at, double height)
{
  std::vector<double> x(static_cast<size_t>(length), 0.0);
  if (at >= 0 && at < length)
    x[static_cast<size_t>(at)] = height;
  return x;
}

std::vector<double> sine(int length, double hz, double sampleRate, double amplitude)
{
  std::vector<double> x(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i)
    x[static_cast<size_t>(i)] = amplitude * std::sin(2.0 * std::numbers::pi * hz * i / sampleRate);
  return x;
}

std::vector<double> noise(int length, unsigned seed, double amplitude)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  std::vector<double> x(static_cast<size_t>(length));
  for (double& v : x)
    v = dist(rng);
  return x;
}

double peakAbs(const std::vector<double>& x, int from, int to)
{
  double peak = 0.0;
  for (int i = from; i < end(x, to); ++i)
    peak = std::fmax(peak, std::fabs(x[static_cast<size_t>(i)]));
  return peak;
}

int indexOfPeak(const std::vector<double>& x, int from, int to)
{
  int best = from;
  for (int i = from; i < end(x, to); ++i)
    if (std::fabs(x[static_cast<size_t>(i)]) > std::fabs(x[static_cast<size_t>(best)]))
      best = i;
  return best;
}

double rms(const std::vector<double>& x, int from, int to)
{
  double sum = 0.0;
  const int last = end(x, to);
  for (int i = from; i < last; ++i)
    sum += x[static_cast<size_t>(i)] * x[static_cast<size_t>(i)];
  return last > from ? std::sqrt(sum / (last - from)) : 0.0;
}
} // namespace signals
