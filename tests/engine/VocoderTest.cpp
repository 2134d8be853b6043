#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

namespace {

bool SameCoefficients(const BandPassPair& a, const BandPassPair& b) {
  return a.b0First == b.b0First && a.c1First == b.c1First && a.c2First == b.c2First &&
         a.b0Second == b.b0Second && a.c1Second == b.c1Second && a.c2Second == b.c2Second;
}

BandPassPair PairAt(double rate, double frequency) {
  BandPassPair pair;
  pair.sampleRate = rate;
  pair.freq1 = frequency;
  pair.freq2 = frequency * 0.829;
  pair.gain = 1.0;
  pair.ComputeCoefficients();
  return pair;
}

}  // namespace

// ---- Construction and reset ----

TEST(VocoderReset, ConstructionLeavesTheEngineUnprepared) {
  FakeVocoderHost host;
  MidiQueue queue;
  HeldNotes held;
  Vocoder vocoder(host, queue, held);
  EXPECT_FALSE(vocoder.IsReady());
  EXPECT_EQ(vocoder.modulatorBuf[0], nullptr);
  EXPECT_EQ(vocoder.analysisBands[1][19].sampleRate, -1.0);
  for (const Voice& voice : vocoder.voices) {
    EXPECT_EQ(voice.note, 60);
    EXPECT_FALSE(voice.active);
  }
}

TEST(VocoderReset, TickIsTheTruncatedRateOverAThousand) {
  VocoderRig rig;
  const struct {
    double rate;
    int tick;
  } cases[] = {{44100.0, 44}, {44100.9, 44}, {48000.0, 48}, {96000.0, 96}, {1000.0, 1}};
  for (const auto& c : cases) {
    rig.vocoder.tickRemaining = 5;
    rig.vocoder.ResetState(c.rate);
    EXPECT_EQ(rig.vocoder.TickSamples(), c.tick) << c.rate;
    EXPECT_EQ(rig.vocoder.allocatedTickSamples, c.tick);
    EXPECT_EQ(rig.vocoder.TickRemaining(), 0);
  }
}

TEST(VocoderReset, UnusableRatesLeaveTheEngineSilentAndFinite) {
  VocoderRig rig;
  rig.Prepare(256);
  for (double rate : {999.9, 0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity(), 1e12}) {
    rig.vocoder.ResetState(rate);
    EXPECT_FALSE(rig.vocoder.IsReady()) << rate;
    rig.out[0].assign(256, 7.0);
    rig.out[1].assign(256, 7.0);
    rig.vocoder.NoteOn(60, 100);
    rig.Process(256);
    for (int ch = 0; ch < 2; ++ch)
      for (double v : rig.out[ch]) ASSERT_EQ(v, 0.0) << rate;
  }
  // A usable rate brings it back.
  rig.vocoder.ResetState(48000.0);
  EXPECT_TRUE(rig.vocoder.IsReady());
  EXPECT_EQ(rig.vocoder.TickSamples(), 48);
}

TEST(VocoderReset, BuffersAreReplacedOnlyWhenTheTickChanges) {
  VocoderRig rig(44100.0);
  Vocoder& v = rig.vocoder;
  auto buffers = [&v] {
    return std::vector<double*>{v.modulatorBuf[0], v.modulatorBuf[1], v.bandBuf[0],  v.bandBuf[1],
                                v.carrierBuf[0],   v.carrierBuf[1],   v.noiseBuf[0], v.noiseBuf[1],
                                v.vocoderBuf[0],   v.vocoderBuf[1]};
  };
  const std::vector<double*> before = buffers();
  v.ResetState(44100.5);
  EXPECT_EQ(buffers(), before);
  v.ResetState(96000.0);
  const std::vector<double*> after = buffers();
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 10; ++j) EXPECT_NE(after[i], before[j]);
    // Ten distinct arrays of 96 samples each.
    for (int j = i + 1; j < 10; ++j) EXPECT_GE(std::abs(after[i] - after[j]), 96);
  }
}

TEST(VocoderReset, RestoresDefaultBandsWhateverTheParametersHold) {
  VocoderRig rig(48000.0);
  Vocoder& v = rig.vocoder;
  for (int b = 0; b < kNumBands; ++b) {
    v.ApplyParameter(kAnalysisFreq1 + b, 1000.0);
    v.ApplyParameter(kSynthesisFreq1 + b, 2000.0);
    v.ApplyParameter(kSynthesisLevel1 + b, 0.3);
  }
  v.ApplyParameter(kSpeed, 1.0);
  v.ApplyParameter(kTune, 50.0);
  v.ApplyParameter(kOctaveUp, 1.0);
  v.ApplyParameter(kEnsembleLeftRate1, 3.0);
  v.ResetState(48000.0);
  for (int ch = 0; ch < 2; ++ch) {
    for (int b = 0; b < kNumBands; ++b) {
      const BandPassPair expected = PairAt(48000.0, kBandDefaultFrequencies[b]);
      EXPECT_TRUE(SameCoefficients(v.analysisBands[ch][b], expected)) << b;
      EXPECT_TRUE(SameCoefficients(v.synthesisBands[ch][b], expected)) << b;
      EXPECT_EQ(v.synthesisBands[ch][b].gain, 1.0);
      EXPECT_EQ(v.analysisBands[ch][b].gain, 1.0);
      EXPECT_EQ(v.synthesisBands[ch][b].freq2, kBandDefaultFrequencies[b] * 0.829);
    }
  }
  const double base[4] = {15.9, 33.9, 72.3, 159.2};
  const int firstBand[4] = {0, 4, 8, 16};
  for (int g = 0; g < 4; ++g) {
    Lowpass expected;
    expected.SetUp(48000.0, base[g]);
    EXPECT_EQ(v.envelopeFilters[1][firstBand[g]].b0, expected.b0);
    EXPECT_EQ(v.envelopeFilters[0][firstBand[g]].c1, expected.c1);
  }
  for (const Voice& voice : v.voices) {
    EXPECT_EQ(voice.tuneOffset, 0);
    EXPECT_EQ(voice.octaveOffset, 0);
  }
  EXPECT_EQ(v.ensembles[0].lfo1Increment, 0.004084070449666731);
  EXPECT_EQ(v.ensembles[0].lfo2Increment, 0.03581415625092364);
  EXPECT_EQ(v.ensembles[1].lfo1Increment, 0.003455751918948773);
  EXPECT_EQ(v.ensembles[1].lfo2Increment, 0.03958406743523139);
  EXPECT_EQ(v.vibratoLfos[1].phase, 2.092300707290802);
  EXPECT_EQ(v.vibratoLfos[2].phase, 4.184601414581604);
}

TEST(VocoderReset, KeepsSoundingVoicesAndRecordsInputs) {
  VocoderRig rig;
  rig.vocoder.NoteOn(60, 100);
  rig.Process(441);
  rig.vocoder.sourceLoading = true;
  rig.vocoder.meterPeak = 3.0;
  rig.vocoder.pitchBend = 0.5;
  rig.host.connected[2] = false;
  rig.vocoder.ResetState(44100.0);
  const Voice& voice = rig.vocoder.voices[0];
  EXPECT_TRUE(voice.active);
  EXPECT_GT(voice.level, 0.0);
  EXPECT_EQ(voice.phase, 0u);
  EXPECT_EQ(voice.increment, 0);
  EXPECT_EQ(voice.pitchIndex, -1);
  EXPECT_FALSE(rig.vocoder.sourceLoading);
  EXPECT_EQ(rig.vocoder.meterPeak, 0.0);
  EXPECT_EQ(rig.vocoder.pitchBend, 0.0);
  EXPECT_EQ(rig.vocoder.noteCounter, 0);
  EXPECT_FALSE(rig.vocoder.inputConnected[2]);
  EXPECT_TRUE(rig.vocoder.inputConnected[3]);
}

// ---- Carrier synthesizer notes ----

TEST(VocoderNotes, VoiceAllocationAndStealing) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.NoteOn(70, 100);
  EXPECT_EQ(v.voices[0].note, 70);
  EXPECT_EQ(v.voices[0].stamp, 1);
  EXPECT_TRUE(v.voices[0].active);
  EXPECT_TRUE(v.voices[0].gate);
  EXPECT_EQ(v.voices[0].pitch, 70 * 128.0);
  // Voice 1 still carries its construction note 60, so note 60 lands there.
  v.NoteOn(60, 100);
  EXPECT_EQ(v.voices[1].stamp, 2);
  for (int n = 0; n < 62; ++n) v.NoteOn(n, 100);  // 60 repeats voice 1
  EXPECT_EQ(v.voices[1].stamp, 2 + 61);
  int activeCount = 0;
  for (const Voice& voice : v.voices) activeCount += voice.active ? 1 : 0;
  EXPECT_EQ(activeCount, 63);
  v.NoteOn(100, 100);  // the last idle voice
  EXPECT_EQ(v.voices[63].note, 100);
  // All 64 busy: the oldest note-on (note 70, voice 0) is stolen.
  v.NoteOn(101, 100);
  EXPECT_EQ(v.voices[0].note, 101);
  EXPECT_EQ(v.voices[0].stamp, v.noteCounter);
  // Next oldest is voice 2 (note 0, stamp 3).
  v.NoteOn(102, 100);
  EXPECT_EQ(v.voices[2].note, 102);
  EXPECT_EQ(rig.heldNotes.Size(), 66);  // 0..61, 70, 100, 101, 102
}

TEST(VocoderNotes, ReusedVoiceKeepsItsLevelAndPhase) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.NoteOn(64, 100);
  rig.Process(200);
  const double level = v.voices[0].level;
  const uint32_t phase = v.voices[0].phase;
  v.NoteOff(64);
  v.NoteOn(64, 100);
  EXPECT_EQ(v.voices[0].level, level);
  EXPECT_EQ(v.voices[0].phase, phase);
  EXPECT_EQ(v.voices[0].target, 10.0 / 9.0);
  EXPECT_EQ(v.voices[0].stamp, 2);
}

TEST(VocoderNotes, VelocityScaling) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVelocity, 0.7);
  v.NoteOn(60, 127);
  EXPECT_EQ(v.voices[0].amplitude, 1.0);
  v.ApplyParameter(kVelocity, 1.0);
  v.NoteOn(61, 1);
  EXPECT_NEAR(v.voices[1].amplitude, 1.0 / 127.0, 1e-15);
  v.ApplyParameter(kVelocity, 0.0);
  v.NoteOn(62, 1);
  EXPECT_EQ(v.voices[2].amplitude, 1.0);
}

TEST(VocoderNotes, VibratoOscillatorsCycleInGroupsOfThree) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  const int expected[] = {0, 0, 1, 1, 1, 2, 2, 2, 0};  // notes 0..8
  for (int note = 0; note < 9; ++note) {
    v.NoteOn(note, 100);
    EXPECT_EQ(v.voices[note].vibratoSource, &v.vibratoLfos[expected[note]]) << note;
  }
}

TEST(VocoderNotes, NoteOffReleasesOnlyTheFirstMatchingVoice) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.NoteOn(50, 100);
  v.voices[5] = v.voices[0];  // a second sounding voice with the same note
  v.NoteOff(50);
  EXPECT_FALSE(v.voices[0].gate);
  EXPECT_EQ(v.voices[0].target, -1.0 / 9.0);
  EXPECT_TRUE(v.voices[5].gate);
  EXPECT_EQ(v.voices[5].target, 10.0 / 9.0);
  EXPECT_EQ(rig.heldNotes.Size(), 0);
}

TEST(VocoderNotes, SustainPedalHoldsReleasedNotes) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.NoteOn(60, 100);
  v.SetSustain(1);
  EXPECT_TRUE(v.sustainPedal);
  v.NoteOff(60);
  EXPECT_FALSE(v.voices[0].gate);
  EXPECT_EQ(v.voices[0].target, 10.0 / 9.0);
  rig.Process(4410);
  EXPECT_EQ(v.voices[0].level, 1.0);
  v.SetSustain(0);
  EXPECT_FALSE(v.sustainPedal);
  EXPECT_EQ(v.voices[0].target, -1.0 / 9.0);
  rig.Process(4410);
  EXPECT_FALSE(v.voices[0].active);
}

TEST(VocoderNotes, AllNotesOffReleasesEverythingIncludingSustained) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.SetSustain(127);
  v.NoteOn(60, 100);
  v.NoteOn(61, 100);
  v.AllNotesOff();
  EXPECT_EQ(rig.heldNotes.Size(), 0);
  EXPECT_TRUE(v.sustainPedal);
  for (const Voice& voice : v.voices) {
    EXPECT_FALSE(voice.gate);
    EXPECT_FALSE(voice.sustained);
    EXPECT_EQ(voice.target, -1.0 / 9.0);
  }
}

TEST(VocoderNotes, KeyboardOffStartsNoVoice) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kKeyboard, 0.0);
  v.NoteOn(60, 100);
  EXPECT_EQ(rig.heldNotes.Size(), 0);
  EXPECT_EQ(v.noteCounter, 0);
  for (const Voice& voice : v.voices) EXPECT_FALSE(voice.active);
}

TEST(VocoderNotes, OutOfRangeNotesAreIgnored) {
  VocoderRig rig;
  rig.vocoder.NoteOn(128, 100);
  rig.vocoder.NoteOn(-1, 100);
  rig.vocoder.NoteOff(200);
  EXPECT_EQ(rig.vocoder.noteCounter, 0);
}

// ---- Parameter application ----

TEST(VocoderParameters, ScalarRows) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVocoderMode, 1.0);
  EXPECT_EQ(v.vocoderMode, 1);
  v.ApplyParameter(kKeyboard, 0.49);
  EXPECT_FALSE(v.keyboardOn);
  v.ApplyParameter(kInputMode, 0.5);
  EXPECT_TRUE(v.wavInput);
  v.ApplyParameter(kSampleLegato, 0.0);
  EXPECT_FALSE(v.sampleLegato);
  v.ApplyParameter(kOutBalance, 0.25);
  EXPECT_EQ(v.dryBalance, 0.25);
  EXPECT_EQ(v.vocoderBalance, 0.75);
  v.ApplyParameter(kInBalance, 0.25);
  EXPECT_EQ(v.keyboardLevel, 0.75);
  EXPECT_EQ(v.noiseLevel, 0.25);
  v.ApplyParameter(kAccentBend, 0.5);
  EXPECT_EQ(v.accentDepth, 128.0);
  v.ApplyParameter(kPitchBend, -12.0);
  EXPECT_EQ(v.bendRange, -1536.0);
  v.ApplyParameter(kExtLevel, 1.5);
  EXPECT_EQ(v.extLevel, 1.5);
  v.ApplyParameter(kMeterMode, 0.0);
  EXPECT_TRUE(v.meterShowsCarrier);
  v.ApplyParameter(kBias, -0.5);
  EXPECT_EQ(v.bias, -1.0);
  v.ApplyParameter(kLimit, 1.0);
  EXPECT_EQ(v.limit, 1.0);
  v.ApplyParameter(kLimit, 0.0);
  EXPECT_EQ(v.limit, 10.0);
  v.ApplyParameter(kSynthesisFixed1 + 7, 1.0);
  EXPECT_TRUE(v.fixedBands[7]);
  v.ApplyParameter(kSynthesisLevel1 + 3, 1.7);
  EXPECT_EQ(v.synthesisBands[0][3].gain, 1.7);
  EXPECT_EQ(v.synthesisBands[1][3].gain, 1.7);
}

TEST(VocoderParameters, VoiceRowsReachEveryVoiceAndTheWavSource) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kTune, -37.6);
  v.ApplyParameter(kOctaveUp, 0.5);
  v.ApplyParameter(kAttack, 0.3);
  v.ApplyParameter(kRelease, 0.6);
  for (const Voice& voice : v.voices) {
    EXPECT_EQ(voice.tuneOffset, -38);
    EXPECT_EQ(voice.octaveOffset, 1536);
    EXPECT_EQ(voice.attack, 0.3);
  }
  EXPECT_EQ(v.wavPlayer.attack, 0.3);
  EXPECT_EQ(v.wavPlayer.release, 0.6);
}

TEST(VocoderParameters, VibratoAndEnsembleRates) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVibratoSpeed, 1.0);
  v.ApplyParameter(kVibratoSpeed, 5.5);
  EXPECT_EQ(v.vibratoLfos[0].increment, 0.03455751918948772);
  EXPECT_EQ(v.vibratoLfos[1].increment, 0.03421194399759285);
  EXPECT_EQ(v.vibratoLfos[2].increment, 0.0349030943813826);
  // Each rate reaches its own side and oscillator.
  v.ApplyParameter(kEnsembleLeftRate1, 1.0);
  v.ApplyParameter(kEnsembleRightRate1, 2.0);
  v.ApplyParameter(kEnsembleLeftRate2, 3.0);
  v.ApplyParameter(kEnsembleRightRate2, 4.0);
  EXPECT_EQ(v.ensembles[0].rate1, 1.0);
  EXPECT_EQ(v.ensembles[1].rate1, 2.0);
  EXPECT_EQ(v.ensembles[0].rate2, 3.0);
  EXPECT_EQ(v.ensembles[1].rate2, 4.0);
}

TEST(VocoderParameters, AnalysisFrequencyRetunesBothChannelsKeepingState) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  rig.Prepare(441);
  rig.FillSine(0, 500.0, 0.5, 44100.0);
  rig.FillSine(1, 500.0, 0.5, 44100.0);
  rig.Process(441);
  const double stateLeft = v.analysisBands[0][4].y1First;
  const double stateRight = v.analysisBands[1][4].y1First;
  ASSERT_NE(stateLeft, 0.0);
  v.ApplyParameter(kAnalysisFreq1 + 4, 777.0);
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_TRUE(SameCoefficients(v.analysisBands[ch][4], PairAt(44100.0, 777.0)));
    EXPECT_EQ(v.analysisBands[ch][4].freq2, 777.0 * 0.829);
    EXPECT_TRUE(SameCoefficients(v.synthesisBands[ch][4], PairAt(44100.0, 514.1)));
  }
  EXPECT_EQ(v.analysisBands[0][4].y1First, stateLeft);
  EXPECT_EQ(v.analysisBands[1][4].y1First, stateRight);
  v.ApplyParameter(kSynthesisFreq1 + 19, 12000.0);
  EXPECT_TRUE(SameCoefficients(v.synthesisBands[1][19], PairAt(44100.0, 12000.0)));
}

TEST(VocoderParameters, SpeedScalesAndRestartsEveryEnvelope) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  rig.Prepare(441);
  rig.FillSine(0, 300.0, 0.5, 44100.0);
  rig.Process(441);
  ASSERT_NE(v.envelopeFilters[0][0].y1, 0.0);
  v.ApplyParameter(kSpeed, 1.0);
  Lowpass expected;
  expected.SetUp(44100.0, 4.0 * 15.9);
  EXPECT_EQ(v.envelopeFilters[0][0].c1, expected.c1);
  EXPECT_EQ(v.envelopeFilters[0][0].y1, 0.0);
  expected.SetUp(44100.0, 0.25 * 159.2);
  v.ApplyParameter(kSpeed, -1.0);
  EXPECT_EQ(v.envelopeFilters[1][19].b0, expected.b0);
}

TEST(VocoderParameters, IndicesOutsideTheTableChangeNothing) {
  VocoderRig rig;
  Vocoder& v = rig.vocoder;
  for (int index : {-1, 107, 1000, std::numeric_limits<int>::min()}) {
    v.ApplyParameter(index, 0.9);
  }
  EXPECT_EQ(v.vocoderMode, 0);
  EXPECT_EQ(v.finalVolume, 0.25);
  EXPECT_EQ(v.limit, 10.0);
  EXPECT_EQ(v.micLevel, 1.0);
  EXPECT_TRUE(v.keyboardOn);
  EXPECT_FALSE(v.fixedBands[19]);
}
