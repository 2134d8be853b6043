// A host's session with the plug-in library: set-up, MIDI and audio through
// the effect record, and the state carried to a second instance by chunk.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/VST2.h"
#include "instrument/ParameterIds.h"
#include "support/PluginConfigHome.h"
#include "tests/vst/PluginInstance.h"
#include "tests/vst/RecordingCallback.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;
constexpr int kChord[] = {48, 52, 55};  // C3 E3 G3

double NoteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// A voice-like modulator: a 150 Hz sawtooth, rich in harmonics, with a
// syllable-rate swell.
std::vector<float> VoiceLikeInput(int frames) {
  std::vector<float> input(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const double t = i / static_cast<double>(kRate);
    const double phase = 150.0 * t - std::floor(150.0 * t);
    const double swell = 0.55 + 0.45 * std::sin(2.0 * kPi * 3.5 * t);
    input[static_cast<size_t>(i)] = static_cast<float>(0.3 * swell * (2.0 * phase - 1.0));
  }
  return input;
}

struct Stereo {
  std::vector<float> left;
  std::vector<float> right;
};

// The MIC pair carries the input, the EXT pair silence; blocks of kBlock.
Stereo Render(PluginInstance& plug, const std::vector<float>& mic) {
  const int frames = static_cast<int>(mic.size());
  std::vector<float> silence(kBlock, 0.0f);
  Stereo out{std::vector<float>(mic.size()), std::vector<float>(mic.size())};
  for (int done = 0; done < frames; done += kBlock) {
    const int n = std::min(kBlock, frames - done);
    float* micBlock = const_cast<float*>(mic.data()) + done;
    float* inputs[4] = {micBlock, micBlock, silence.data(), silence.data()};
    float* outputs[2] = {out.left.data() + done, out.right.data() + done};
    plug.Effect()->processReplacing(plug.Effect(), inputs, outputs, n);
  }
  return out;
}

// Energy within +-4 Hz of frequency, of a Hann-windowed stretch of signal.
double BandEnergy(const std::vector<float>& signal, size_t from, double frequency) {
  const size_t n = signal.size() - from;
  double energy = 0.0;
  for (double f = frequency - 4.0; f <= frequency + 4.0; f += 1.0) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < n; ++i) {
      const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (n - 1));
      const double angle = 2.0 * kPi * f * i / kRate;
      re += window * signal[from + i] * std::cos(angle);
      im += window * signal[from + i] * std::sin(angle);
    }
    energy += re * re + im * im;
  }
  return energy;
}

// Energy at the chord's fundamentals and their octaves, after half a second.
double ChordEnergy(const std::vector<float>& signal) {
  double energy = 0.0;
  for (const int note : kChord) {
    energy += BandEnergy(signal, static_cast<size_t>(kRate / 2), NoteFrequency(note));
    energy += BandEnergy(signal, static_cast<size_t>(kRate / 2), 2.0 * NoteFrequency(note));
  }
  return energy;
}

// Energy at the voice's own pitch, 150 Hz, and its next five harmonics: as
// many bands as ChordEnergy measures.
double VoicePitchEnergy(const std::vector<float>& signal) {
  double energy = 0.0;
  for (int harmonic = 1; harmonic <= 6; ++harmonic)
    energy += BandEnergy(signal, static_cast<size_t>(kRate / 2), 150.0 * harmonic);
  return energy;
}

EventList Chord() {
  std::vector<VstMidiEvent> notes;
  for (const int note : kChord) notes.push_back(MidiEvent(0, 0x90, note, 100));
  return EventList(notes);
}

class HostSession : public ::testing::Test {
 protected:
  void SetUp() override { RecordingCallback::Current().Reset(); }

  std::unique_ptr<PluginInstance> NewInstance() {
    auto plug = std::make_unique<PluginInstance>(RecordingCallback::Callback);
    EXPECT_NE(plug->Effect(), nullptr) << "cannot load " << REDI_PLUGIN_PATH;
    return plug;
  }

#if !defined(_WIN32)
  PluginConfigHome configHome;  // the developer's own settings stay out
#endif
};

// Settings away from the factory sound, as a user leaves them. The noise
// generator is shared by every instance in the process, so only a noise-free
// setting ("In Balance" all keyboard) can repeat bit for bit.
void EditLikeAUser(PluginInstance& plug) {
  AEffect* effect = plug.Effect();
  effect->setParameter(effect, kInBalance, 0.0f);
  effect->setParameter(effect, kFinalVolume, 0.8f);
  effect->setParameter(effect, kVocoderMode, 1.0f);
  effect->setParameter(effect, kEnsemble, 1.0f);
  effect->setParameter(effect, kSpeed, 0.7f);
  effect->setParameter(effect, kAnalysisFreq1 + 3, 0.45f);
  effect->setParameter(effect, kSynthesisLevel1 + 5, 0.3f);
}

// Two seconds of the voice with the chord held, or without any note.
Stereo Session(PluginInstance& plug, bool withChord) {
  if (withChord) {
    EventList chord = Chord();
    plug.Send(chord);
  }
  return Render(plug, VoiceLikeInput(2 * static_cast<int>(kRate)));
}

TEST_F(HostSession, ChordVocodesTheVoiceAndABankChunkClonesTheInstance) {
  auto first = NewInstance();
  auto silent = NewInstance();
  ASSERT_TRUE(first->Effect() != nullptr && silent->Effect() != nullptr);
  for (PluginInstance* plug : {first.get(), silent.get()}) {
    plug->Start(kRate, kBlock);
    EditLikeAUser(*plug);
  }
  const Stereo played = Session(*first, true);
  const Stereo unplayed = Session(*silent, false);

  double sum = 0.0;
  for (size_t i = 0; i < played.left.size(); ++i) {
    ASSERT_TRUE(std::isfinite(played.left[i]) && std::isfinite(played.right[i])) << i;
    sum += played.left[i] * played.left[i];
  }
  EXPECT_GT(std::sqrt(sum / played.left.size()), 1e-3) << "silent output";
  for (const auto side : {&Stereo::left, &Stereo::right}) {
    const double withChord = ChordEnergy(played.*side);
    const double withoutChord = ChordEnergy(unplayed.*side);
    EXPECT_GT(withChord, 100.0 * withoutChord)
        << "with chord " << withChord << ", without " << withoutChord;
    // The output takes the chord's pitch, not the voice's.
    EXPECT_GT(withChord, 100.0 * VoicePitchEnergy(played.*side));
  }

  // A second instance set from the first one's bank plays the same session
  // to the bit.
  first->Dispatch(effMainsChanged, 0, 0);
  const std::vector<uint8_t> bank = first->Chunk(true);
  ASSERT_FALSE(bank.empty());
  auto second = NewInstance();
  ASSERT_NE(second->Effect(), nullptr);
  EXPECT_EQ(second->Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()),
                             const_cast<uint8_t*>(bank.data())),
            1);
  second->Start(kRate, kBlock);
  const Stereo replayed = Session(*second, true);
  const size_t bytes = played.left.size() * sizeof(float);
  EXPECT_EQ(std::memcmp(played.left.data(), replayed.left.data(), bytes), 0);
  EXPECT_EQ(std::memcmp(played.right.data(), replayed.right.data(), bytes), 0);
}

TEST_F(HostSession, ProgramChangesThroughTheEventList) {
  auto plug = NewInstance();
  ASSERT_NE(plug->Effect(), nullptr);
  plug->Start(kRate, kBlock);
  plug->Send({MidiEvent(0, 0xC3, 2, 0)});
  EXPECT_EQ(plug->Dispatch(effGetProgram), 2);
  plug->Send({MidiEvent(0, 0xC0, 64, 0), MidiEvent(5, 0xC0, 127, 0)});
  EXPECT_EQ(plug->Dispatch(effGetProgram), 2);
}

#if !defined(_WIN32)
// Windows keeps the configuration under the user's local application-data
// folder, which a test cannot redirect; the echo itself is platform-neutral.
TEST_F(HostSession, MidiThruEchoesEventsUnchangedToTheHost) {
  configHome.WriteConfiguration("[MIDI Global]\nMIDI Thru=true\n");
  auto plug = NewInstance();
  ASSERT_NE(plug->Effect(), nullptr);
  plug->Start(kRate, kBlock);
  RecordingCallback& host = RecordingCallback::Current();
  host.events.clear();
  plug->Send({MidiEvent(17, 0x92, 61, 99), MidiEvent(20, 0xC0, 64, 0)});
  ASSERT_EQ(host.events.size(), 2u);
  EXPECT_EQ(host.events[0].type, kVstMidiType);
  EXPECT_EQ(host.events[0].byteSize, static_cast<VstInt32>(sizeof(VstMidiEvent)));
  EXPECT_EQ(host.events[0].deltaFrames, 17);
  EXPECT_EQ(host.events[0].bytes, (std::vector<uint8_t>{0x92, 61, 99, 0}));
  EXPECT_EQ(host.events[1].deltaFrames, 20);
  EXPECT_EQ(host.events[1].bytes, (std::vector<uint8_t>{0xC0, 64, 0, 0}));
}
#endif

}  // namespace
