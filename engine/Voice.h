#pragma once

#include <cstdint>

// One of the three vibrato sine oscillators shared by the voices; stepped once
// per control tick.
struct VibratoLfo {
  double value = 0.0;      // last sine value
  double phase = 0.0;      // radians
  double increment = 0.0;  // radians per tick
};

// One carrier synthesizer voice: a band-limited sawtooth read from the shared
// wavetables, with a one-pole attack/release envelope. Pitches are in 1/128
// semitone units (MIDI note n is pitch 128 n).
struct Voice {
  const VibratoLfo* vibratoSource = nullptr;
  double vibratoDepth = 0.0;  // pitch units per unit of oscillator value
  int32_t tuneOffset = 0;     // pitch units
  int32_t octaveOffset = 0;   // 0 or 1536
  double velocitySensitivity = 0.0;
  double attack = 0.0;
  double release = 0.0;
  bool active = false;
  bool gate = false;       // the key is held
  bool sustained = false;  // the pedal was down when last reported
  int32_t note = 60;
  int32_t stamp = 0;  // note counter at the last note-on
  double pitch = 60.0 * 128.0;
  double amplitude = 0.0;
  const double* table = nullptr;
  int32_t pitchIndex = -1;  // -1 forces the increment to be reloaded
  uint32_t phase = 0;       // 28-bit accumulator, one cycle = 2^28
  int32_t increment = 0;
  double target = 0.0;  // 10/9 while the gate is open, -1/9 after release
  double coefficient = 0.0;
  double level = 0.0;  // envelope, kept within 0..1
  // The last "Attack"/"Release" value and rate the control tick turned into
  // a coefficient, and that coefficient: the tick need not repeat its pow.
  double tickEnvelopeValue = -1.0;
  double tickEnvelopeRate = 0.0;
  double tickCoefficient = 0.0;
};

constexpr int kNumWavetables = 22;
constexpr int kWavetableSize = 4096;
constexpr int kMaxPitch = 17280;  // highest pitch with its own increment
constexpr int kVoicePhaseBits = 28;
constexpr double kVoiceAttackTarget = 10.0 / 9.0;
constexpr double kVoiceReleaseTarget = -1.0 / 9.0;

// Equal-tempered frequency (Hz) of a pitch, interpolated linearly between the
// semitones of a table rounded to three decimals.
double pitchToFrequency(int pitch);

// Builds the process-wide increment table when the rate changes, then clears the voice's oscillator
// and offsets. Allocates nothing; call from reset with the plug-in lock held.
void ResetVoice(Voice& voice, double sampleRate);

// Applies the voice parameters "Tune" (6), "Velocity" (7), "Octave Up" (8),
// "Vibrato Depth" (15), "Attack" (18) and "Release" (19); other indices are
// ignored.
void SetVoiceParameter(Voice& voice, int index, double value);

// Per-sample envelope step coefficient for an "Attack" or "Release" value at
// the rate the increment table was built for (0 before the first reset).
double EnvelopeCoefficient(double value) noexcept;

// Control tick: reloads the increment and wavetable when the integer pitch
// changed, and follows "Attack"/"Release" changes. Audio thread.
void UpdateVoicePitch(Voice& voice, double bend) noexcept;

// Adds count samples of the voice to out. Audio thread.
void RenderVoice(Voice& voice, double* out, int count) noexcept;
// RenderVoice for each voice in turn, with the same result, faster.
void RenderVoices(Voice* voices, int numVoices, double* out, int count) noexcept;

// The wavetable a voice reads when it steps `step` table samples per output
// sample (its increment >> 16): the number of times the step must be scaled
// by 1/sqrt(2) to reach 1, at most the last table.
int WavetableForStep(int32_t step) noexcept;

// Read access to the process-wide tables (the increment table is valid after
// the first ResetVoice, the wavetables always).
const double* Wavetable(int index) noexcept;
int32_t PitchIncrement(int pitch) noexcept;
double VoiceSampleRate() noexcept;
