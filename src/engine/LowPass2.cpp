#include "engine/LowPass2.h"

#include <cmath>
#include <numbers>

void LowPass2::computeCoefficients()
{
  if (cutoff < kMinCutoff) cutoff = kMinCutoff;
  if (cutoff > kMaxCutoff) cutoff = kMaxCutoff;
  if (q < kMinQ) q = kMinQ;
  if (q > kMaxQ) q = kMaxQ;
  // A NaN setting would poison every later sample; take the nearest sane one.
  if (std::isnan(cutoff)) cutoff = kMaxCutoff;
  if (std::isnan(q)) q = kMinQ;

  // Above Nyquist the design's poles leave the unit circle, so at low sample
  // rates the frequency actually designed for stops short of it. Below the
  // limit w is computed exactly as before, which keeps the output of every
  // rate where the cutoff already fits bit for bit the same.
  double w = cutoff * omegaPerHz;
  if (w > kMaxOmega)
    w = kMaxOmega;
  const double s = std::sin(w);
  const double c = std::cos(w);
  const double alpha = s / (2.0 * q);
  const double n = 1.0 + alpha;
  a1 = 2.0 * c / n;
  a2 = (alpha - 1.0) / n;
  b1 = (1.0 - c) / n;
  b0 = 0.5 * (1.0 - c) / n;
}

void LowPass2::reset(double sampleRate)
{
  omegaPerHz = sampleRate > 0.0 ? 2.0 * std::numbers::pi / sampleRate : 0.0;
  x1 = x2 = y1 = y2 = 0.0;
  computeCoefficients();
}

void LowPass2::setParams(double cutoffHz, double newQ)
{
  cutoff = cutoffHz;
  q = newQ;
  computeCoefficients();
}

double LowPass2::process(double x)
{
  const double d = offset;
  const double xw = std::isnan(x) ? 0.0 : x + d;
  const double x1w = std::isnan(x1) ? 0.0 : x1 + d;
  const double x2w = std::isnan(x2) ? 0.0 : x2 + d;
  const double y1w = std::isnan(y1) ? 0.0 : y1 + d;
  const double y2w = std::isnan(y2) ? 0.0 : y2 + d;
  offset = -d;
  const double y = b0 * (xw + x2w) + b1 * x1w + a1 * y1w + a2 * y2w;
  x2 = x1w;
  x1 = xw;
  y2 = y1w;
  y1 = y;
  return y;
}

void LowPass2::process(double* samples, int n)
{
  for (int i = 0; i < n; ++i)
    samples[i] = process(samples[i]);
}
