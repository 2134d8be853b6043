#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = 44100.0;

// Ticks started so far, read from the first vibrato oscillator's phase.
int TicksStarted(const Vocoder& v) {
  double phase = 0.0;
  for (int ticks = 0; ticks < 100000; ++ticks) {
    if (phase == v.vibratoLfos[0].phase) return ticks;
    phase += v.vibratoLfos[0].increment;
  }
  return -1;
}

// Mean power of the signal around frequency f (Goertzel at five nearby
// frequencies, to average out a noise carrier's fine structure).
double PowerNear(const std::vector<double>& x, double f, double rate) {
  double total = 0.0;
  for (int k = -2; k <= 2; ++k) {
    const double w = kTwoPi * (f * (1.0 + 0.01 * k)) / rate;
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
      re += x[i] * std::cos(w * static_cast<double>(i));
      im += x[i] * std::sin(w * static_cast<double>(i));
    }
    total += (re * re + im * im) / (static_cast<double>(x.size()) * static_cast<double>(x.size()));
  }
  return total;
}

double Rms(const std::vector<double>& x) {
  double sum = 0.0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum / static_cast<double>(x.size()));
}

bool BandIsUntouched(const BandPassPair& pair) {
  return pair.x1First == 0.0 && pair.y1First == 0.0 && pair.x1Second == 0.0 && pair.y1Second == 0.0;
}

}  // namespace

// ---- Tick cutting and MIDI timing ----

TEST(ProcessBlockTicks, ThousandFramesAreTwentyTwoTicksAndAPiece) {
  VocoderRig rig(kRate);
  rig.Process(1000);
  EXPECT_EQ(TicksStarted(rig.vocoder), 23);  // 22 full ticks plus the piece of 32
  EXPECT_EQ(rig.vocoder.TickRemaining(), 12);
  rig.Process(12);  // completes that tick without starting another
  EXPECT_EQ(TicksStarted(rig.vocoder), 23);
  EXPECT_EQ(rig.vocoder.TickRemaining(), 0);
  rig.Process(1);
  EXPECT_EQ(TicksStarted(rig.vocoder), 24);
  EXPECT_EQ(rig.vocoder.TickRemaining(), 43);
}

TEST(ProcessBlockTicks, SingleSampleBlocksStartATickEveryTickSamples) {
  VocoderRig rig(kRate);
  for (int call = 0; call < 44; ++call) rig.Process(1);
  EXPECT_EQ(TicksStarted(rig.vocoder), 1);
  rig.Process(1);
  EXPECT_EQ(TicksStarted(rig.vocoder), 2);
  for (int call = 0; call < 44 * 9; ++call) rig.Process(1);
  EXPECT_EQ(TicksStarted(rig.vocoder), 11);
  rig.Process(0);
  EXPECT_EQ(TicksStarted(rig.vocoder), 11);
}

TEST(ProcessBlockTicks, EventAtOffset100TakesEffectAtSample44) {
  // Dry MIC of constant 1: the output steps when "Final Volume" changes.
  VocoderRig rig(kRate);
  rig.vocoder.ApplyParameter(kOutBalance, 1.0);
  rig.host.controllerParameter[7] = kFinalVolume;
  rig.Prepare(200);
  rig.in[0].assign(200, 1.0);
  rig.Midi(100, 0xB0, 7, 127);
  rig.Process(200);
  for (int i = 0; i < 44; ++i) ASSERT_EQ(rig.out[0][i], 0.25) << i;
  for (int i = 44; i < 200; ++i) ASSERT_EQ(rig.out[0][i], 1.0) << i;
  EXPECT_TRUE(rig.queue.Empty());
}

TEST(ProcessBlockTicks, NoteAtOffset100StartsSoundingAtSample44) {
  VocoderRig rig(kRate);
  rig.vocoder.ApplyParameter(kSynthesisFixed1 + 9, 1.0);  // carrier passes band 10
  rig.vocoder.ApplyParameter(kFinalVolume, 1.0);
  rig.Midi(100, 0x90, 60, 127);
  rig.Process(200);
  for (int i = 0; i < 44; ++i) ASSERT_LT(std::fabs(rig.out[0][i]), 1e-9) << i;
  double later = 0.0;
  for (int i = 44; i < 200; ++i) later = std::max(later, std::fabs(rig.out[0][i]));
  EXPECT_GT(later, 1e-6);
  EXPECT_TRUE(rig.vocoder.voices[0].active);
}

TEST(ProcessBlockTicks, DispatchByMessageKind) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  rig.Midi(0, 0x93, 64, 100);  // any channel
  rig.Midi(0, 0xE5, 0x7F, 0x7F);
  rig.Midi(0, 0xB2, 64, 1);
  rig.Midi(0, 0xB0, 7, 99);
  rig.Midi(0, 0xB0, 121, 5);   // outside the controller map
  rig.Midi(0, 0xC0, 5, 0);     // program changes are handled elsewhere
  rig.Midi(0, 0x45, 60, 100);  // not a status byte
  rig.Midi(0, 0xF8, 60, 100);
  rig.Process(44);
  EXPECT_TRUE(v.voices[0].active);
  EXPECT_EQ(v.voices[0].note, 64);
  EXPECT_EQ(v.pitchBend, 8191.0 / 8192.0);
  EXPECT_TRUE(v.sustainPedal);
  EXPECT_EQ(rig.host.mapCalls, 1);
  EXPECT_EQ(rig.host.lastController, 7);
  EXPECT_EQ(rig.host.lastValue, 99);
  EXPECT_EQ(v.noteCounter, 1);
  // The bend reached the voice at this tick: 256 pitch units per full bend.
  EXPECT_EQ(v.voices[0].pitchIndex, 64 * 128 + 255);

  rig.Midi(0, 0xE0, 0, 0);
  rig.Midi(0, 0xB0, 64, 0);
  rig.Midi(0, 0x90, 64, 0);  // velocity 0 releases
  rig.Process(44);
  EXPECT_EQ(v.pitchBend, -1.0);
  EXPECT_FALSE(v.sustainPedal);
  EXPECT_FALSE(v.voices[0].gate);
  EXPECT_EQ(v.voices[0].target, -1.0 / 9.0);
}

TEST(ProcessBlockTicks, HostileOffsetsStayFinite) {
  VocoderRig rig(kRate);
  rig.Midi(INT32_MIN, 0x90, 60, 100);
  rig.Midi(INT32_MAX, 0x90, 61, 100);
  rig.Process(441);
  EXPECT_TRUE(rig.vocoder.voices[0].active);
  EXPECT_EQ(rig.queue.Count(), 1);
}

// ---- Mix and sources ----

TEST(ProcessBlockMix, DryOnlyWithoutMicIsSilent) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kOutBalance, 1.0);
  v.ApplyParameter(kInBalance, 0.5);
  v.ApplyParameter(kFinalVolume, 1.0);
  rig.host.connected[0] = rig.host.connected[1] = false;
  rig.Prepare(1000);
  rig.FillSine(2, 300.0, 0.5, kRate);
  rig.FillSine(3, 300.0, 0.5, kRate);
  v.NoteOn(60, 100);
  rig.Process(1000);
  for (int ch = 0; ch < 2; ++ch)
    for (double s : rig.out[ch]) ASSERT_EQ(s, 0.0);
  // The vocoder is not heard, so its bands did not run.
  EXPECT_TRUE(BandIsUntouched(v.analysisBands[0][0]));
  for (int i = 0; i < v.TickSamples(); ++i) EXPECT_EQ(v.vocoderBuf[0][i], 0.0);
}

TEST(ProcessBlockMix, VocoderOnlyIsFivePercentOfTheBandSum) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kFinalVolume, 1.0);
  rig.Prepare(44);
  rig.FillSine(0, 500.0, 0.8, kRate);
  rig.FillSine(1, 700.0, 0.8, kRate);
  v.NoteOn(60, 100);
  for (int block = 0; block < 20; ++block) rig.Process(44);
  for (int i = 0; i < 44; ++i) {
    EXPECT_EQ(rig.out[0][i], 0.05 * v.vocoderBuf[0][i]);
    EXPECT_EQ(rig.out[1][i], 0.05 * v.vocoderBuf[1][i]);
  }
  EXPECT_GT(Rms(rig.out[0]), 0.0);
}

TEST(ProcessBlockMix, SourceLoadingSkipsTheBlock) {
  VocoderRig rig(kRate);
  rig.Prepare(100);
  rig.out[0].assign(100, 7.0);
  rig.vocoder.sourceLoading = true;
  rig.Process(100);
  for (double s : rig.out[0]) ASSERT_EQ(s, 7.0);
  EXPECT_EQ(TicksStarted(rig.vocoder), 0);
}

TEST(ProcessBlockMix, UnconnectedInputsAreNeverRead) {
  VocoderRig rig(kRate);
  for (bool& connected : rig.host.connected) connected = false;
  rig.vocoder.ApplyParameter(kOutBalance, 0.5);
  rig.vocoder.NoteOn(60, 100);
  std::vector<double> left(500), right(500);
  double* outputs[2] = {left.data(), right.data()};
  rig.vocoder.ProcessBlock(nullptr, outputs, 500);
  double* inputs[4] = {nullptr, nullptr, nullptr, nullptr};
  rig.host.connected[0] = true;  // claims a signal but hands no buffer
  rig.vocoder.ProcessBlock(inputs, outputs, 500);
  EXPECT_FALSE(rig.vocoder.modulatorActive[0]);
}

TEST(ProcessBlockMix, IdenticalInputGivesIdenticalOutput) {
  auto run = [](std::vector<double>& outLeft, std::vector<double>& outRight) {
    VocoderRig rig(48000.0);
    Vocoder& v = rig.vocoder;
    v.ApplyParameter(kEnsemble, 1.0);
    v.ApplyParameter(kAccentBend, 0.5);
    v.ApplyParameter(kVibratoDepth, 0.2);
    v.ApplyParameter(kOutBalance, 0.3);
    v.ApplyParameter(kExtLevel, 0.5);
    rig.Prepare(480);
    for (int block = 0; block < 20; ++block) {
      rig.FillSine(0, 220.0, 0.7, 48000.0, block * 480L);
      rig.FillSine(1, 330.0, 0.7, 48000.0, block * 480L);
      rig.FillSine(2, 1000.0, 0.2, 48000.0, block * 480L);
      rig.FillSine(3, 1500.0, 0.2, 48000.0, block * 480L);
      if (block == 0) {
        rig.Midi(10, 0x90, 60, 100);
        rig.Midi(200, 0x90, 64, 90);
      }
      if (block == 10) rig.Midi(5, 0x80, 60, 0);
      rig.Process(480);
      outLeft.insert(outLeft.end(), rig.out[0].begin(), rig.out[0].end());
      outRight.insert(outRight.end(), rig.out[1].begin(), rig.out[1].end());
    }
  };
  std::vector<double> firstLeft, firstRight, secondLeft, secondRight;
  run(firstLeft, firstRight);
  run(secondLeft, secondRight);
  EXPECT_EQ(firstLeft, secondLeft);
  EXPECT_EQ(firstRight, secondRight);
  EXPECT_GT(Rms(firstLeft), 1e-4);
}

TEST(ProcessBlockMix, EnsembleStateMattersOnlyWhileOn) {
  auto run = [](bool ensembleOn, bool scramble) {
    VocoderRig rig(kRate);
    Vocoder& v = rig.vocoder;
    v.ApplyParameter(kEnsemble, ensembleOn ? 1.0 : 0.0);
    v.ApplyParameter(kOutBalance, 0.5);
    if (scramble) {
      v.ensembles[0].lfo1Phase = 2.0;
      v.ensembles[1].lfo2Phase = 1.0;
    }
    rig.Prepare(2000);
    rig.FillSine(0, 300.0, 0.5, kRate);
    rig.FillSine(1, 300.0, 0.5, kRate);
    for (int block = 0; block < 5; ++block) rig.Process(2000);
    return rig.out[0];
  };
  EXPECT_EQ(run(false, false), run(false, true));
  EXPECT_NE(run(true, false), run(true, true));
  EXPECT_NE(run(true, false), run(false, false));
}

// ---- Bands ----

TEST(ProcessBlockBands, SineModulatorLightsItsOwnBand) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVocoderMode, 1.0);
  v.ApplyParameter(kInBalance, 1.0);  // noise carrier
  v.ApplyParameter(kFinalVolume, 1.0);
  const double f = kBandDefaultFrequencies[9];
  std::vector<double> output;
  rig.Prepare(4410);
  for (int block = 0; block < 10; ++block) {
    rig.FillSine(0, f, 0.5, kRate, block * 4410L);
    rig.FillSine(1, f, 0.5, kRate, block * 4410L);
    rig.Process(4410);
    if (block >= 5) output.insert(output.end(), rig.out[0].begin(), rig.out[0].end());
  }
  for (int ch = 0; ch < 2; ++ch) {
    const double lit = v.envelopeFilters[ch][9].y1;
    EXPECT_GT(lit, 0.1);
    for (int b : {0, 1, 2, 3, 15, 16, 17, 18, 19})
      EXPECT_LT(v.envelopeFilters[ch][b].y1, lit / 100.0);
  }
  const double at = PowerNear(output, f, kRate);
  EXPECT_GT(at, 1000.0 * PowerNear(output, kBandDefaultFrequencies[0], kRate));
  EXPECT_GT(at, 1000.0 * PowerNear(output, kBandDefaultFrequencies[19], kRate));
}

TEST(ProcessBlockBands, StandardModeTopBandsCarryNoiseOnly) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  rig.Prepare(441);
  rig.FillSine(0, 6000.0, 0.5, kRate);
  rig.Process(441);
  for (int b = 16; b < 20; ++b) EXPECT_TRUE(BandIsUntouched(v.analysisBands[0][b])) << b;
  EXPECT_FALSE(BandIsUntouched(v.analysisBands[0][15]));

  // With noise in the carrier the top bands run, on the noise alone.
  v.ApplyParameter(kInBalance, 0.5);
  rig.Process(441);
  for (int b = 16; b < 20; ++b) EXPECT_FALSE(BandIsUntouched(v.synthesisBands[0][b])) << b;
}

TEST(ProcessBlockBands, FixedBandPassesTheCarrierWithoutModulator) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  rig.host.connected[0] = rig.host.connected[1] = false;
  v.ApplyParameter(kFinalVolume, 1.0);
  v.NoteOn(57, 127);  // 220 Hz: strong harmonics around band 3
  rig.Process(4410);
  EXPECT_LT(Rms(rig.out[0]), 1e-9);
  v.ApplyParameter(kSynthesisFixed1 + 2, 1.0);
  const BandPassPair analysis = v.analysisBands[0][2];
  const double envelope = v.envelopeFilters[0][2].y1;
  rig.Process(4410);
  EXPECT_GT(Rms(rig.out[0]), 1e-3);
  // Its analysis and envelope stand still meanwhile.
  EXPECT_EQ(v.analysisBands[0][2].y1First, analysis.y1First);
  EXPECT_EQ(v.analysisBands[0][2].x2Second, analysis.x2Second);
  EXPECT_EQ(v.envelopeFilters[0][2].y1, envelope);
}

TEST(ProcessBlockBands, BiasLiftsAndLimitCapsTheEnvelopes) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  // The scalar bands leave the last band's envelope of each channel in
  // bandBuf; the vector paths match them bit for bit (BandLanesTest).
  v.bandPath = BandPath::kScalar;
  v.ApplyParameter(kVocoderMode, 1.0);
  rig.host.connected[0] = rig.host.connected[1] = false;
  rig.Process(441);
  for (int i = 0; i < 44; ++i) EXPECT_LT(v.bandBuf[0][i], 1e-9);
  v.ApplyParameter(kBias, 0.5);
  rig.Process(441);
  for (int i = 0; i < 44; ++i) EXPECT_NEAR(v.bandBuf[1][i], 1.0, 1e-9);

  v.ApplyParameter(kBias, 0.0);
  rig.host.connected[0] = rig.host.connected[1] = true;
  rig.Prepare(4410);
  rig.FillSine(0, kBandDefaultFrequencies[19], 20.0, kRate);
  rig.FillSine(1, kBandDefaultFrequencies[19], 20.0, kRate);
  rig.Process(4410);
  double peak = 0.0;
  for (int i = 0; i < 44; ++i) peak = std::max(peak, v.bandBuf[0][i]);
  EXPECT_GT(peak, 1.0);
  v.ApplyParameter(kLimit, 1.0);
  for (int block = 0; block < 3; ++block) {
    rig.Process(4410);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 44; ++i) ASSERT_LE(v.bandBuf[ch][i], 1.0);
  }
  EXPECT_EQ(v.bandBuf[0][43], 1.0);
}

TEST(ProcessBlockBands, LoudModulatorBendsThePitchDownWithAccent) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kAccentBend, 1.0);
  v.NoteOn(69, 100);
  rig.Process(4410);
  // Silence leaves only the anti-denormal residue: at most one pitch unit.
  EXPECT_NEAR(v.voices[0].pitchIndex, 69 * 128, 1);
  rig.Prepare(441);
  int lowest = 69 * 128;
  for (int block = 0; block < 10; ++block) {
    rig.FillSine(0, 1000.0, 0.9, kRate, block * 441L);
    rig.FillSine(1, 1000.0, 0.9, kRate, block * 441L);
    rig.Process(441);
    lowest = std::min(lowest, static_cast<int>(v.voices[0].pitchIndex));
  }
  EXPECT_LT(lowest, 69 * 128 - 10);
}

// ---- Meter ----

TEST(ProcessBlockMeter, ModulatorMeterFollowsMicLevelOnlyInStereo) {
  auto meter = [](bool stereo, double micLevel) {
    VocoderRig rig(kRate);
    rig.host.connected[1] = stereo;
    rig.vocoder.ApplyParameter(kMicLevel, micLevel);
    rig.Prepare(44);
    rig.in[0].assign(44, 0.5);
    rig.in[1].assign(44, 0.5);
    rig.Process(44);
    return rig.vocoder.MeterLevel();
  };
  EXPECT_EQ(meter(false, 1.0), 0.5);
  EXPECT_EQ(meter(false, 2.0), 0.5);
  EXPECT_EQ(meter(true, 1.0), 0.5);
  EXPECT_EQ(meter(true, 2.0), 1.0);
}

TEST(ProcessBlockMeter, CarrierMeterAndDecay) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kMeterMode, 0.0);
  v.ApplyParameter(kKeyboard, 0.0);
  rig.Prepare(44);
  rig.in[2].assign(44, 0.25);
  rig.in[3].assign(44, 0.25);
  rig.Process(44);
  // Ext sum halved for two inputs, plus the left carrier.
  EXPECT_DOUBLE_EQ(v.MeterLevel(), 0.5 * 0.25 * 2 + 0.25);
  const double peak = v.meterPeak;
  rig.in[2].assign(44, 0.0);
  rig.in[3].assign(44, 0.0);
  rig.Process(44);
  EXPECT_EQ(v.meterPeak, peak - peak / 44.0);
}

// ---- WAV source note rules ----

TEST(ProcessBlockWav, NotesTriggerAndReleaseTheWavSource) {
  VocoderRig rig(kRate);
  Vocoder& v = rig.vocoder;
  WavPlayer& wav = v.wavPlayer;
  v.ApplyParameter(kInputMode, 1.0);
  v.NoteOn(60, 100);
  EXPECT_EQ(wav.target, 10.0 / 9.0);
  // Legato: an overlapping second note does not restart.
  wav.target = 0.0;
  v.NoteOn(62, 100);
  EXPECT_EQ(wav.target, 0.0);
  v.NoteOff(60);
  EXPECT_EQ(wav.target, 0.0);  // a note is still held
  v.NoteOff(62);
  EXPECT_EQ(wav.target, -1.0 / 9.0);

  // The pedal holds the source.
  v.SetSustain(127);
  v.NoteOn(60, 100);
  wav.target = 0.0;
  v.NoteOff(60);
  EXPECT_EQ(wav.target, 0.0);
  v.SetSustain(0);

  // Without legato, or with the keyboard off, every note restarts it.
  v.ApplyParameter(kSampleLegato, 0.0);
  v.NoteOn(60, 100);
  wav.target = 0.0;
  v.NoteOn(62, 100);
  EXPECT_EQ(wav.target, 10.0 / 9.0);
  v.AllNotesOff();
  v.ApplyParameter(kSampleLegato, 1.0);
  v.ApplyParameter(kKeyboard, 0.0);
  v.NoteOn(60, 100);
  wav.target = 0.0;
  v.NoteOn(62, 100);
  EXPECT_EQ(wav.target, 10.0 / 9.0);

  // With the MIC as modulator the source is left alone.
  v.ApplyParameter(kInputMode, 0.0);
  wav.target = 0.0;
  v.NoteOn(64, 100);
  v.NoteOff(64);
  EXPECT_EQ(wav.target, 0.0);
}
