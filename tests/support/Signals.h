#pragma once
#include <vector>

// Test signals and measurements on plain sample vectors.
namespace signals
{
std::vector<double> impulse(int length, int at = 0, double height = 1.0);
std::vector<double> sine(int length, double hz, double sampleRate, double amplitude = 1.0);
std::vector<double> noise(int length, unsigned seed, double amplitude = 1.0);

double peakAbs(const std::vector<double>& x, int from = 0, int to = -1);
int indexOfPeak(const std::vector<double>& x, int from = 0, int to = -1);
double rms(const std::vector<double>& x, int from = 0, int to = -1);
} // namespace signals
