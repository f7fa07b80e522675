#pragma once
#include <numbers>

// Two-pole resonant low-pass (cookbook biquad, direct form I). The tiny offset
// alternates its sign at every sample so that the state never decays into
// denormal range; a NaN in the input or the state is read as 0 so the filter
// recovers at once.
class LowPass2
{
public:
  static constexpr double kMinCutoff = 60.0;
  static constexpr double kMaxCutoff = 6000.0;
  static constexpr double kMinQ = 0.7071067811865476;
  static constexpr double kMaxQ = 0.9;
  // The highest design frequency as a fraction of the sample rate.
  static constexpr double kMaxCutoffPerRate = 0.45;

  LowPass2() = default;

  void reset(double sampleRate);
  void setParams(double cutoffHz, double q);
  double process(double x);
  void process(double* samples, int n);

  double getCutoff() const { return cutoff; }
  double getQ() const { return q; }

  // The engine runs its left/right filter pairs vectorised; it reads and
  // writes the same state these accessors expose.
  struct Coefficients { double a1, a2, b0, b1; };
  struct State { double x1, x2, y1, y2, offset; };
  Coefficients getCoefficients() const { return {a1, a2, b0, b1}; }
  State getState() const { return {x1, x2, y1, y2, offset}; }
  void setState(const State& s) { x1 = s.x1; x2 = s.x2; y1 = s.y1; y2 = s.y2; offset = s.offset; }

private:
  void computeCoefficients();

  // kMaxCutoffPerRate in radians per sample.
  static constexpr double kMaxOmega = 2.0 * std::numbers::pi * kMaxCutoffPerRate;

  double cutoff = 6000.0;
  double q = 0.7071067811865476;
  double omegaPerHz = 0.00014247585730565955;
  double a1 = 0.8559895026725953;
  double a2 = -0.30421032509687;
  double b0 = 0.11205520560606867;
  double b1 = 0.22411041121213734;
  double x1 = 0.0, x2 = 0.0;
  double y1 = 0.0, y2 = 0.0;
  double offset = 1e-13;
};
