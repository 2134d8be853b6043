#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "WavFixtures.h"
#include "engine/Vocoder.h"
#include "support/AllocationCounter.h"
#include "tests/engine/VocoderRig.h"

namespace {

// A stereo 16-bit file of two seconds of sine at the given rate.
std::string SineWav(const std::string& name, uint32_t rate) {
  wavtest::Bytes samples;
  for (uint32_t i = 0; i < 2 * rate; ++i) {
    const int value = static_cast<int>(12000.0 * std::sin(0.05 * i));
    wavtest::PutU16(samples, static_cast<uint32_t>(value) & 0xFFFF);
    wavtest::PutU16(samples, static_cast<uint32_t>(-value) & 0xFFFF);
  }
  return wavtest::WriteTemp(
      name, wavtest::Riff({wavtest::Fmt(1, 2, rate, 16), wavtest::Chunk("data", samples)}));
}

// Everything switched on: all bands, voices with noise, EXT inputs, ensemble,
// vibrato, accent, and controllers bound to parameters that retune filters.
void FullLoad(VocoderRig& rig) {
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVocoderMode, 1.0);
  v.ApplyParameter(kInBalance, 0.5);
  v.ApplyParameter(kEnsemble, 1.0);
  v.ApplyParameter(kVibratoDepth, 0.3);
  v.ApplyParameter(kAccentBend, 0.5);
  v.ApplyParameter(kOutBalance, 0.2);
  v.ApplyParameter(kMeterMode, 0.0);
  rig.host.controllerParameter[1] = kSpeed;
  rig.host.controllerParameter[2] = kAnalysisFreq1 + 3;
  rig.host.controllerParameter[3] = kEnsembleLeftRate1;
  rig.host.controllerParameter[4] = kSynthesisFixed1 + 5;
  rig.host.controllerParameter[5] = kVibratoSpeed;
}

// Queues a busy block of MIDI (the queue holds 1024 messages, so adding
// these does not allocate either; they are added before counting anyway).
void QueueMidi(VocoderRig& rig, int round, int frames) {
  for (int n = 0; n < 70; ++n) rig.Midi((n * 7) % frames, 0x90, (n * 5 + round) % 128, 1 + n);
  for (int c = 1; c <= 5; ++c) rig.Midi((c * 13) % frames, 0xB0, c, (round * 31 + c * 17) % 128);
  rig.Midi(frames / 2, 0xE0, round % 128, 64);
  rig.Midi(frames / 3, 0xB0, 64, round % 2 ? 127 : 0);
  for (int n = 0; n < 20; ++n) rig.Midi(frames - 1, 0x80, (n * 5 + round) % 128, 0);
}

int AllocationsWhileProcessing(VocoderRig& rig) {
  rig.Prepare(4096);
  for (int k = 0; k < 4; ++k) rig.FillSine(k, 200.0 + 100.0 * k, 0.5, rig.vocoder.SampleRate());
  int total = 0;
  int round = 0;
  for (int size : {1, 64, 512, 1000, 4096, 37}) {
    QueueMidi(rig, round++, size);
    StartCountingAllocations();
    for (int block = 0; block < 4; ++block) rig.Process(size);
    total += StopCountingAllocations();
  }
  StartCountingAllocations();
  rig.vocoder.AllNotesOff();
  rig.Process(4096);
  return total + StopCountingAllocations();
}

}  // namespace

TEST(VocoderAllocation, ResetAtANewRateIsWhereBuffersAreMade) {
  VocoderRig rig(44100.0);
  StartCountingAllocations();
  rig.vocoder.ResetState(48000.0);
  EXPECT_GT(StopCountingAllocations(), 0);
}

TEST(VocoderAllocation, FullLoadProcessingAllocatesNothing) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    VocoderRig rig(rate);
    FullLoad(rig);
    EXPECT_EQ(AllocationsWhileProcessing(rig), 0) << rate;
  }
}

TEST(VocoderAllocation, EveryBandPathAllocatesNothing) {
  for (BandPath path : {BandPath::kScalar, BandPath::kSse2, BandPath::kAvx, BandPath::kAvx512}) {
    if (!BandPathAvailable(path)) continue;
    VocoderRig rig(48000.0);
    rig.vocoder.bandPath = path;
    FullLoad(rig);
    rig.vocoder.ApplyParameter(kSynthesisFixed1 + 2, 1.0);  // a band on its own
    EXPECT_EQ(AllocationsWhileProcessing(rig), 0) << BandPathName(path);
  }
}

TEST(VocoderAllocation, WavModulatorAllocatesNothing) {
  // Same rate (direct reads), a lower and a higher file rate (resampled).
  for (uint32_t fileRate : {44100u, 22050u, 96000u}) {
    VocoderRig rig(44100.0);
    FullLoad(rig);
    const std::string path = SineWav("engine_alloc_" + std::to_string(fileRate), fileRate);
    ASSERT_TRUE(rig.vocoder.wavPlayer.OpenWav(path.c_str()));
    EXPECT_EQ(rig.vocoder.wavPlayer.needsResampling, fileRate != 44100u);
    rig.vocoder.ApplyParameter(kInputMode, 1.0);
    rig.vocoder.ApplyParameter(kSampleLegato, 0.0);
    EXPECT_EQ(AllocationsWhileProcessing(rig), 0) << fileRate;
    // The file really played as the modulator.
    EXPECT_GT(rig.vocoder.meterPeak, 0.0) << fileRate;
    rig.vocoder.wavPlayer.CloseWav();
    std::remove(path.c_str());
  }
}
