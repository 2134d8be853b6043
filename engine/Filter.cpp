#include "engine/Filter.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951;
// Where a cut-off at or above half the rate is moved to: there the section's
// poles would leave the unit circle, while just below it the response is
// still flat to 0.45 of the rate, so the section passes what it can.
constexpr double kHighestCutOffPerRate = 0.49;

// Angular frequency per sample; a rate that is not positive yields a flat
// section instead of a division by zero.
double AngularFrequency(double sampleRate, double frequency) {
  if (!(sampleRate > 0.0)) return 0.0;
  if (!(frequency < 0.5 * sampleRate)) frequency = kHighestCutOffPerRate * sampleRate;
  return (kTwoPi / sampleRate) * frequency;
}

}  // namespace

double Filter::Step(double x) noexcept {
  const double d = offset;
  const double x1d = x1 + d;
  const double x2d = x2 + d;
  const double y1d = y1 + d;
  const double y2d = y2 + d;
  const double x0d = x + d;
  const double y = b0 * (x0d + x2d) + b1 * x1d + c1 * y1d + c2 * y2d;
  offset = -d;
  if (!std::isfinite(y)) {
    // An infinite or NaN sample would otherwise stay in the recursion for
    // good (inf - inf); start again from silence instead.
    x1 = x2 = y1 = y2 = 0.0;
    return 0.0;
  }
  x2 = x1d;
  x1 = x0d;
  y2 = y1d;
  y1 = y;
  return y;
}

double Filter::StepRectified(double x) noexcept { return Step(std::fabs(x)); }

Filter::SectionTerms Filter::ClearAndSetFeedback(double sampleRate, double frequency) {
  offset = 1e-13;
  x1 = x2 = y1 = y2 = 0.0;
  const double w = AngularFrequency(sampleRate, frequency);
  const double cosW = std::cos(w);
  const double alpha = std::sin(w) / kSqrt2;
  const double a0 = alpha + 1.0;
  c1 = 2.0 * cosW / a0;
  c2 = (alpha - 1.0) / a0;
  return {cosW, a0};
}

void Lowpass::SetUp(double sampleRate, double frequency) {
  const auto [cosW, a0] = ClearAndSetFeedback(sampleRate, frequency);
  b0 = (1.0 - cosW) * 0.5 / a0;
  b1 = (1.0 - cosW) / a0;
}

void Highpass::SetUp(double sampleRate, double frequency) {
  const auto [cosW, a0] = ClearAndSetFeedback(sampleRate, frequency);
  b0 = (1.0 + cosW) * 0.5 / a0;
  b1 = -(1.0 + cosW) / a0;
}
