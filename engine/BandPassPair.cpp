#include "engine/BandPassPair.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Keeps a state in range; NaN (only possible from an infinite input against a
// zero coefficient) becomes 0 so that it cannot stay in the recursion.
double Clamp(double v) {
  constexpr double kStateLimit = BandPassPair::kStateLimit;
  if (v > kStateLimit) return kStateLimit;
  if (v < -kStateLimit) return -kStateLimit;
  return std::isnan(v) ? 0.0 : v;
}

// A section can only be tuned strictly between 0 and half the rate: at half
// the rate and above its poles leave the unit circle. A band there carries
// nothing, so its section is silenced instead.
bool Tunable(double frequency, double sampleRate) {
  return frequency > 0.0 && frequency < 0.5 * sampleRate;
}

}  // namespace

void BandPassPair::ComputeCoefficients() noexcept {
  if (!(sampleRate > 0.0)) return;
  if (!Tunable(freq1, sampleRate) || !Tunable(freq2, sampleRate)) {
    b0First = c1First = c2First = 0.0;
    b0Second = c1Second = c2Second = 0.0;
    return;
  }

  const double w1 = freq1 * kTwoPi / sampleRate;
  const double alpha1 = std::sin(w1) / 14.32;
  const double d1 = 1.0 / (alpha1 + 1.0);
  b0First = alpha1 * 7.16 * d1;
  c1First = 2.0 * std::cos(w1) * d1;
  c2First = (alpha1 - 1.0) * d1;

  const double w2 = freq2 * kTwoPi / sampleRate;
  const double alpha2 = std::sin(w2) / 14.2;
  const double d2 = 1.0 / (alpha2 + 1.0);
  b0Second = alpha2 * 7.1 * d2;
  c1Second = 2.0 * std::cos(w2) * d2;
  c2Second = (alpha2 - 1.0) * d2;
}

void BandPassPair::ClearStates() noexcept {
  x1First = x2First = y1First = y2First = 0.0;
  x1Second = x2Second = y1Second = y2Second = 0.0;
}

double BandPassPair::Step(double x) noexcept {
  if (std::isnan(x)) x = 0.0;
  const double d = offset;

  const double x1a = x1First + d;
  const double x2a = x2First + d;
  const double y1a = y1First + d;
  const double y2a = y2First + d;
  const double u = c2First * y2a + c1First * y1a + b0First * (x - x2a);
  x2First = Clamp(x1a);
  x1First = Clamp(x);
  y2First = Clamp(y1a);
  y1First = Clamp(u);

  const double x1b = x1Second + d;
  const double x2b = x2Second + d;
  const double y1b = y1Second + d;
  const double y2b = y2Second + d;
  const double v = c1Second * y1b + c2Second * y2b + b0Second * (u - x2b);
  x2Second = Clamp(x1b);
  x1Second = Clamp(u);
  y2Second = Clamp(y1b);
  y1Second = Clamp(v);

  offset = -d;
  const double out = v * gain;
  return std::isnan(out) ? 0.0 : out;
}
