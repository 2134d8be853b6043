#pragma once

// Two band-pass sections in cascade (the second tuned to 0.829 of the first),
// the filter of every analysis and synthesis band. States are clamped to
// +-64 so that extreme input decays instead of growing without bound.
struct BandPassPair {
  static constexpr double kStateLimit = 64.0;

  // Recomputes both sections; does nothing while sampleRate <= 0. States kept.
  // A section tuned at or above half the rate silences the pair.
  void ComputeCoefficients() noexcept;
  // One sample through both sections, times gain. NaN input counts as 0.
  double Step(double x) noexcept;
  // Both sections at rest; coefficients kept.
  void ClearStates() noexcept;

  double sampleRate = -1.0;
  double freq1 = 0.0;
  double freq2 = 0.0;
  double gain = 0.0;
  double b0First = 0.0, c1First = 0.0, c2First = 0.0;
  double b0Second = 0.0, c1Second = 0.0, c2Second = 0.0;
  double x1First = 0.0, x2First = 0.0, y1First = 0.0, y2First = 0.0;
  double x1Second = 0.0, x2Second = 0.0, y1Second = 0.0, y2Second = 0.0;
  double offset = 1e-13;
};
