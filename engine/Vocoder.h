#pragma once

#include <cstdint>
#include <memory>

#include "engine/BandLanes.h"
#include "engine/BandLevels.h"
#include "engine/BandPassPair.h"
#include "engine/EnsembleUnit.h"
#include "engine/Filter.h"
#include "engine/Voice.h"
#include "engine/WavPlayer.h"
#include "instrument/ParameterIds.h"

class HeldNotes;
class MidiQueue;

// What the engine asks of the plug-in that owns it.
class VocoderHost {
 public:
  // Host input k (0, 1 MIC; 2, 3 EXT) carries a signal. Lock held.
  virtual bool IsInputConnected(int index) const = 0;
  // A queued control change other than the sustain pedal, for the controller
  // map. Audio thread, inside ProcessBlock.
  virtual void MapController(int controller, int value) = 0;

 protected:
  ~VocoderHost() = default;
};

// The sound engine: 20 vocoder bands per channel, the 64-voice carrier
// synthesizer, noise, external carrier, WAV modulator, ensemble and level
// meter, paced by a 1 ms control tick. Every entry point runs with the
// plug-in lock held; ResetState and ApplyParameter from any thread, the rest
// on the audio thread. After ResetState nothing here allocates or locks.
class Vocoder {
 public:
  static constexpr int kNumVoices = 64;
  static constexpr int kNumVibratoLfos = 3;
  static constexpr int kNumInputs = 4;
  static constexpr int kNumChannels = 2;
  static constexpr int kStandardCarrierBands = 16;  // "RA-10 Standard": the rest carry noise
  // The control tick needs at least one sample per millisecond; the upper
  // bound keeps the per-tick and delay-line buffers reasonable.
  static constexpr double kMinSampleRate = 1000.0;
  static constexpr double kMaxSampleRate = 1536000.0;

  Vocoder(VocoderHost& host, MidiQueue& midiQueue, HeldNotes& heldNotes);
  Vocoder(const Vocoder&) = delete;
  Vocoder& operator=(const Vocoder&) = delete;

  // The engine part of the plug-in reset: tick buffers, voices, band filters,
  // ensemble and WAV player rebuilt for the rate, settings from the parameter
  // defaults. A rate outside kMinSampleRate..kMaxSampleRate leaves the engine
  // not ready: ProcessBlock then writes silence. Allocates.
  void ResetState(double sampleRate);
  // Applies the plain value of parameter index (0..106) to the engine. Inside
  // a batch while the engine sounds, and while its fade-out runs, the value
  // waits for the batch's switch.
  void ApplyParameter(int index, double value);
  // A change of many parameters at once (a program, a state, a band tool).
  // Moving every band at once while the filters ring would burst, so while
  // the engine sounds the values wait: the output fades out, the values reach
  // the engine in silence, the band filters whose frequency moved start from
  // rest, and the output fades back in. Values equal to the engine's are
  // left alone. Batches nest; the outermost end decides.
  void BeginParameterBatch() noexcept;
  void EndParameterBatch() noexcept;
  // The output's fade gain, 0 to 1; 1 outside a batch's fades.
  double FadeGain() const noexcept;

  // inputs: four channels (only connected ones are read); outputs: two.
  void ProcessBlock(double** inputs, double** outputs, int frames) noexcept;

  // Carrier synthesizer; MIDI dispatch calls these at tick starts.
  void NoteOn(int note, int velocity) noexcept;
  void NoteOff(int note) noexcept;
  void SetSustain(int value) noexcept;
  void AllNotesOff() noexcept;

  // The noise generator's state, shared by every engine in the process; lets
  // tests give two engines the same noise.
  static uint32_t NoiseState() noexcept;
  static void SetNoiseState(uint32_t state) noexcept;

  bool IsReady() const { return tickSamples > 0; }
  int TickSamples() const { return tickSamples; }
  int TickRemaining() const { return tickRemaining; }
  double SampleRate() const { return sampleRate; }
  // Mean absolute sample value over a tick, for the level meter.
  double MeterLevel() const { return meterPeak * invTickSamples; }
  // The band envelopes, for the band display; any thread may read them.
  const BandLevels& Bands() const { return bandLevels; }

  // Control tick.
  int tickSamples = 0;
  int allocatedTickSamples = 0;
  int tickRemaining = 0;
  double invTickSamples = 0.0;
  double sampleRate = 0.0;

  // Per-tick buffers, index 0 left, 1 right; these and the pair buffers below
  // share one allocation.
  double* modulatorBuf[kNumChannels] = {};
  double* bandBuf[kNumChannels] = {};  // the scalar bands' envelopes
  double* carrierBuf[kNumChannels] = {};
  double* noiseBuf[kNumChannels] = {};
  double* vocoderBuf[kNumChannels] = {};
  // The vector band paths' buffers: (left, right) pairs per sample, and two
  // bands' worth of envelopes (up to four lanes) for the accent sum.
  double* modulatorPairs = nullptr;
  double* carrierPairs = nullptr;
  double* noisePairs = nullptr;
  double* outputPairs = nullptr;
  double* accentLanes = nullptr;
  bool carrierTame = false;  // of the current piece, see PairsAreTame
  bool noiseTame = false;

  // How the bands and voices are computed: the scalar reference or a vector
  // path, all bit-identical. Must be available on this processor
  // (BandPathAvailable).
  BandPath bandPath = BestBandPath();

  BandPassPair analysisBands[kNumChannels][kNumBands];
  BandPassPair synthesisBands[kNumChannels][kNumBands];
  Lowpass envelopeFilters[kNumChannels][kNumBands];
  Lowpass accentLowpass;
  Highpass accentHighpass;

  Voice voices[kNumVoices];
  VibratoLfo vibratoLfos[kNumVibratoLfos];
  int noteCounter = 0;
  bool sustainPedal = false;
  double pitchBend = 0.0;  // -1 to just under 1

  EnsembleUnit ensembles[kNumChannels];
  WavPlayer wavPlayer;
  bool sourceLoading = false;  // a WAV file is being opened: blocks are skipped

  double accentSum = 0.0;  // band envelopes before bias and ceiling, over the tick so far
  double meterPeak = 0.0;
  BandLevels bandLevels;
  bool inputConnected[kNumInputs] = {true, true, true, true};
  bool modulatorActive[kNumChannels] = {};

  // Parameter settings, initialised to the parameters' defaults.
  int vocoderMode = 0;
  bool keyboardOn = true;
  bool wavInput = false;
  bool sampleLegato = true;
  double finalVolume = 0.25;
  double dryBalance = 0.0;
  double vocoderBalance = 1.0;
  double keyboardLevel = 1.0;
  double noiseLevel = 0.0;
  double extLevel = 1.0;
  double micLevel = 1.0;
  double accentDepth = 0.0;
  double bendRange = 256.0;
  bool ensembleOn = false;
  bool meterShowsCarrier = false;
  double bias = 0.0;
  double limit = 10.0;
  bool fixedBands[kNumBands] = {};

  // Fade around a batch's switch; the gain is Smoothstep(fadePosition /
  // fadeLength).
  enum class Fade { kNone, kOut, kIn };
  Fade fade = Fade::kNone;
  int fadeLength = 1;
  int fadePosition = 1;
  int batchDepth = 0;
  bool sounding = false;  // audio processed since the reset

 private:
  void AllocateTickBuffers(int samples);
  void SetParameter(int index, double value);
  bool Pending(int index) const noexcept {
    return pendingSet[index] && !(pendingValues[index] == appliedValues[index]);
  }
  void ApplyPendingParameters() noexcept;
  void SwitchBatch() noexcept;
  void ApplyFade(double* outLeft, double* outRight, int count) noexcept;
  void DispatchEvents() noexcept;
  void DispatchEvent(int status, int data1, int data2) noexcept;
  void UpdateControls() noexcept;
  void RenderSources(const double* const inputs[kNumInputs], int count) noexcept;
  void ProcessBands(int count) noexcept;
  void ProcessBandLanes(int count, int carrierBands, bool noiseBands) noexcept;
  BandUnit Unit(int b, int carrierBands) noexcept;
  // Whether bands b..b+n-1 exist and are all fixed or all not.
  bool LikeBands(int b, int n, int bands) const noexcept;
  void Band(int ch, int b, const double* modulator, double* const carriers[kNumChannels],
            int count) noexcept;
  void Mix(double* outLeft, double* outRight, int count) noexcept;
  // Hands the envelopes the block ended with to the band display.
  void PublishBandLevels() noexcept;
  void ReleaseVoice(Voice& voice) noexcept;
  void SetVibratoSpeed(double hz);

  VocoderHost& host;
  MidiQueue& midiQueue;
  HeldNotes& heldNotes;
  std::unique_ptr<double[]> tickStorage;
  // The value each parameter last gave the engine (NaN: not known since the
  // reset), and the values waiting for a batch's switch.
  double appliedValues[kNumParameters];
  double pendingValues[kNumParameters] = {};
  bool pendingSet[kNumParameters] = {};
};
