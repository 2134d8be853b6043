#pragma once

#include <vector>

#include "engine/Filter.h"

// One channel of the chorus: a 7 kHz lowpass feeding two delay lines whose
// delays (about 14 to 16 ms) are swept by a slow and a fast sine oscillator.
struct EnsembleUnit {
  double sampleRate = 0.0;
  double rampScale = 0.0;
  std::vector<double> delayLineA;
  std::vector<double> delayLineB;
  int lineLength = 0;
  int writeA = 0, writeB = 0;
  double delayA = 0.0, delayB = 0.0;
  double rampA = 0.0, rampB = 0.0;
  Lowpass inputFilter;
  double lfo1Value = 0.0, lfo1Phase = 0.0, lfo1Increment = 0.0;
  double lfo2Value = 0.0, lfo2Phase = 0.0, lfo2Increment = 0.0;
  double rate1 = 0.6, rate2 = 6.0;
};

// Allocates the delay lines (call from reset, never from the audio thread).
void ResetEnsemble(EnsembleUnit& unit, double sampleRate);
// Silences what the lines and the input filter hold; the sweep runs on.
void ClearEnsemble(EnsembleUnit& unit) noexcept;
// Sets rate 1 or 2 (Hz) and its per-tick increment.
void SetEnsembleRate(EnsembleUnit& unit, int which, double rateHz);
// Once per control tick: moves the oscillators and the delay targets.
void TickEnsemble(EnsembleUnit& unit) noexcept;
// One sample; 0 before the first reset.
double ProcessEnsemble(EnsembleUnit& unit, double x) noexcept;
// ProcessEnsemble for count samples of each channel in place, with the same
// result.
void ProcessEnsembles(EnsembleUnit& left, EnsembleUnit& right, double* leftSamples,
                      double* rightSamples, int count) noexcept;
