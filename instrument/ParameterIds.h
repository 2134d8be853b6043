#pragma once

// The vocoder's parameters. The index is a parameter's identity everywhere:
// host automation, stored programs, the controller map and the engine.
enum ParameterId {
  kVocoderMode = 0,
  kKeyboard = 1,
  kInputMode = 2,
  kSampleLegato = 3,
  kFinalVolume = 4,
  kOutBalance = 5,
  kTune = 6,
  kVelocity = 7,
  kOctaveUp = 8,
  kInBalance = 9,
  kExtLevel = 10,
  kMicLevel = 11,
  kAccentBend = 12,
  kPitchBend = 13,
  kVibratoSpeed = 14,
  kVibratoDepth = 15,
  kEnsemble = 16,
  kMeterMode = 17,
  kAttack = 18,
  kRelease = 19,
  kEnsembleLeftRate1 = 20,
  kEnsembleRightRate1 = 21,
  kEnsembleLeftRate2 = 22,
  kEnsembleRightRate2 = 23,
  kAnalysisFreq1 = 24,    // ... 43
  kSynthesisFreq1 = 44,   // ... 63
  kSynthesisLevel1 = 64,  // ... 83
  kSynthesisFixed1 = 84,  // ... 103
  kBias = 104,
  kLimit = 105,
  kSpeed = 106,
  kNumParameters = 107
};

constexpr int kNumBands = 20;

// Default analysis and synthesis frequency of each band, band 1 first (Hz).
constexpr double kBandDefaultFrequencies[kNumBands] = {
    240.6,  290.0,  342.7,  418.9,  514.1,  628.3,  754.0,  942.5,  1131.0, 1379.3,
    1663.2, 2019.7, 2406.4, 2900.0, 3427.3, 4188.9, 5140.9, 6283.4, 7540.1, 9425.1};
