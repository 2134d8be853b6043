#include "engine/EnsembleUnit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kThirdTurn = 2.0943951023931953;

double TickIncrement(double rateHz) { return rateHz * kTwoPi / 1000.0; }

// Returns the oscillator's value before the step. A phase that is not below
// 2 pi (including NaN from a non-finite rate) restarts at 0.
double AdvanceOscillator(double& phase, double increment) {
  const double value = std::sin(phase);
  phase += increment;
  if (!(phase < kTwoPi)) phase = 0.0;
  return value;
}

// Delay at most 16 ms: 2 ms plus 14 ms scaled by the depth.
double TargetDelay(double depth, double sampleRate) { return (depth * 0.014 + 0.002) * sampleRate; }

// Linear interpolation between the samples trunc(delay) - 1 and trunc(delay)
// behind the write position. The delay is kept inside the line so that no
// state, however it came about, can index outside it.
inline double ReadTap(const double* line, int length, int write, double delay) {
  if (!(delay >= 0.0)) delay = 0.0;
  if (delay >= length) delay = length - 1;
  const int whole = static_cast<int>(delay);
  int k = write - whole;
  int j = k + 1;
  if (k < 0) k += length;
  if (j < 0) j += length;
  if (j >= length) j -= length;
  // The delay is not negative, so its whole part is its floor.
  const double f = delay - static_cast<double>(whole);
  return line[j] + f * (line[k] - line[j]);
}

int LineLength(double sampleRate) {
  if (!(sampleRate > 0.0)) return 0;
  const double length = sampleRate * 0.016 + 1.0;
  return length < static_cast<double>(INT_MAX) ? static_cast<int>(length) : 0;
}

}  // namespace

void ResetEnsemble(EnsembleUnit& unit, double sampleRate) {
  unit.sampleRate = sampleRate;
  unit.rampScale = sampleRate > 0.0 ? 999.0 / sampleRate : 0.0;
  unit.lineLength = LineLength(sampleRate);
  try {
    unit.delayLineA.assign(static_cast<size_t>(unit.lineLength), 0.0);
    unit.delayLineB.assign(static_cast<size_t>(unit.lineLength), 0.0);
  } catch (const std::bad_alloc&) {
    // Without memory the unit stays silent rather than failing the reset.
    unit.lineLength = 0;
    unit.delayLineA.clear();
    unit.delayLineB.clear();
  }
  unit.writeA = unit.writeB = 0;
  unit.delayA = unit.delayB = 0.0;
  unit.rampA = unit.rampB = 0.0;
  unit.inputFilter.SetUp(sampleRate, 7000.0);
  // The phases run on across resets so the sweep does not restart.
  unit.lfo1Increment = TickIncrement(unit.rate1);
  unit.lfo2Increment = TickIncrement(unit.rate2);
}

void ClearEnsemble(EnsembleUnit& unit) noexcept {
  std::fill(unit.delayLineA.begin(), unit.delayLineA.end(), 0.0);
  std::fill(unit.delayLineB.begin(), unit.delayLineB.end(), 0.0);
  Filter& input = unit.inputFilter;
  input.x1 = input.x2 = input.y1 = input.y2 = 0.0;
}

void SetEnsembleRate(EnsembleUnit& unit, int which, double rateHz) {
  if (which == 1) {
    unit.rate1 = rateHz;
    unit.lfo1Increment = TickIncrement(rateHz);
  } else if (which == 2) {
    unit.rate2 = rateHz;
    unit.lfo2Increment = TickIncrement(rateHz);
  }
}

void TickEnsemble(EnsembleUnit& unit) noexcept {
  if (unit.lineLength <= 0) return;
  unit.lfo1Value = AdvanceOscillator(unit.lfo1Phase, unit.lfo1Increment);
  unit.lfo2Value = AdvanceOscillator(unit.lfo2Phase, unit.lfo2Increment);
  // Each tap follows mostly one oscillator, with a little of the other a
  // third of a turn ahead.
  const double depthA = 1.0 - ((std::sin(unit.lfo2Phase + kThirdTurn) + 1.0) * 0.5 * 0.03 +
                               (unit.lfo1Value + 1.0) * 0.5 * 0.12);
  const double depthB = 1.0 - ((std::sin(unit.lfo1Phase + kThirdTurn) + 1.0) * 0.5 * 0.03 +
                               (unit.lfo2Value + 1.0) * 0.5 * 0.12);
  const double targetA = TargetDelay(depthA, unit.sampleRate);
  const double targetB = TargetDelay(depthB, unit.sampleRate);
  unit.rampA = (targetA - unit.delayA) * unit.rampScale;
  unit.rampB = (targetB - unit.delayB) * unit.rampScale;
}

namespace {

// The unit's running state in locals for a run of samples, written back at
// its end.
struct EnsembleRun {
  explicit EnsembleRun(EnsembleUnit& u)
      : unit(u),
        lineA(u.delayLineA.data()),
        lineB(u.delayLineB.data()),
        length(u.lineLength),
        writeA(u.writeA),
        writeB(u.writeB),
        delayA(u.delayA),
        delayB(u.delayB),
        rampA(u.rampA),
        rampB(u.rampB) {}

  double Step(double x) {
    const double s = unit.inputFilter.Step(x);
    lineB[writeB] = s;
    lineA[writeA] = s;
    const double tapA = ReadTap(lineA, length, writeA, delayA);
    const double tapB = ReadTap(lineB, length, writeB, delayB);
    if (++writeA >= length) writeA = 0;
    if (++writeB >= length) writeB = 0;
    delayA += rampA;
    delayB += rampB;
    return (s + tapA + tapB) * 0.5;
  }

  void Save() const {
    unit.writeA = writeA;
    unit.writeB = writeB;
    unit.delayA = delayA;
    unit.delayB = delayB;
  }

  EnsembleUnit& unit;
  double* lineA;
  double* lineB;
  int length, writeA, writeB;
  double delayA, delayB;
  const double rampA, rampB;
};

}  // namespace

double ProcessEnsemble(EnsembleUnit& unit, double x) noexcept {
  if (unit.lineLength <= 0) return 0.0;
  EnsembleRun run(unit);
  const double y = run.Step(x);
  run.Save();
  return y;
}

void ProcessEnsembles(EnsembleUnit& left, EnsembleUnit& right, double* leftSamples,
                      double* rightSamples, int count) noexcept {
  if (left.lineLength <= 0 || right.lineLength <= 0) {
    for (int i = 0; i < count; ++i) {
      leftSamples[i] = ProcessEnsemble(left, leftSamples[i]);
      rightSamples[i] = ProcessEnsemble(right, rightSamples[i]);
    }
    return;
  }
  // Each channel's lowpass is a chain from one sample to the next; the two
  // channels side by side overlap their chains.
  EnsembleRun runLeft(left), runRight(right);
  for (int i = 0; i < count; ++i) {
    leftSamples[i] = runLeft.Step(leftSamples[i]);
    rightSamples[i] = runRight.Step(rightSamples[i]);
  }
  runLeft.Save();
  runRight.Save();
}
