#include "engine/Wavetables.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;

int HarmonicCount(int table) {
  const double a = table == 2 ? 2.0000000000000004 : std::pow(1.4142135623730951, table);
  return static_cast<int>(std::round(2048.0 / a));
}

}  // namespace

// Each sine is computed once and added to every table that holds the
// harmonic, in ascending harmonic order per table.
void ComputeWavetables(double (*tables)[kWavetableSize]) {
  int harmonics[kNumWavetables];
  for (int t = 0; t < kNumWavetables; ++t) harmonics[t] = HarmonicCount(t);
  for (int t = 0; t < kNumWavetables; ++t)
    for (int k = 0; k < kWavetableSize; ++k) tables[t][k] = 0.0;
  for (int h = 1; h <= harmonics[0]; ++h) {
    double amplitude[kNumWavetables];
    int tableCount = 0;
    for (int t = 0; t < kNumWavetables && harmonics[t] >= h; ++t, ++tableCount) {
      amplitude[t] =
          h == 1 ? 0.5 : (0.54 + 0.46 * std::cos((h - 1) * kHalfPi / (harmonics[t] - 1))) * 0.5 / h;
    }
    for (int k = 0; k < kWavetableSize; ++k) {
      const double s = std::sin(h * kTwoPi * k / kWavetableSize);
      for (int t = 0; t < tableCount; ++t) tables[t][k] += amplitude[t] * s;
    }
  }
}
