#include "engine/Vocoder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/VoiceLanes.h"
#include "instrument/HeldNotes.h"
#include "instrument/MidiQueue.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSecondFrequencyRatio = 0.829;
constexpr double kVocoderGain = 0.05;
constexpr int kTickBufferCount = 10;
constexpr int kPairBufferCount = 4;
constexpr int kMaxLanes = 8;
constexpr int kSustainController = 64;
constexpr int kMappableControllers = 120;
// Each way of a batch's fade: short enough to keep a program change prompt,
// long enough that the gain's slope stays far below the music's own steps.
constexpr double kBatchFadeSeconds = 0.005;

// Envelope smoothing frequency of each band at "Speed" 0 (Hz).
double BaseSmoothingFrequency(int band) {
  if (band < 4) return 15.9;
  if (band < 8) return 33.9;
  if (band < 16) return 72.3;
  return 159.2;
}

// Noise generator state, shared by every instance in the process and never
// reseeded. Multiplied as unsigned so the 32-bit wrap is defined.
std::atomic<uint32_t> noiseState{1u};

void Clear(double* buffer, int count) {
  std::memset(buffer, 0, sizeof(double) * static_cast<size_t>(count));
}

// Host samples that are not numbers (NaN, infinities) are read as silence,
// so that they reach neither the filters nor the dry path.
double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

void CopyFinite(double* destination, const double* source, int count) {
  for (int i = 0; i < count; ++i) destination[i] = Finite(source[i]);
}

void Interleave(double* pairs, const double* left, const double* right, int count) {
  for (int i = 0; i < count; ++i) {
    pairs[2 * i] = left[i];
    pairs[2 * i + 1] = right[i];
  }
}

double SumOfMagnitudes(const double* buffer, int count) {
  double sum = 0.0;
  for (int i = 0; i < count; ++i) sum += std::fabs(buffer[i]);
  return sum;
}

void ResetBandPassPair(BandPassPair& pair, double sampleRate, double frequency) {
  pair = BandPassPair();
  pair.sampleRate = sampleRate;
  pair.freq1 = frequency;
  pair.freq2 = frequency * kSecondFrequencyRatio;
  pair.gain = 1.0;
  pair.ComputeCoefficients();
}

void RetuneBandPassPair(BandPassPair& pair, double frequency) {
  pair.freq1 = frequency;
  pair.freq2 = frequency * kSecondFrequencyRatio;
  pair.ComputeCoefficients();
}

bool On(double value) { return value >= 0.5; }

// Zero slope at both ends, so neither end of a fade clicks.
double Smoothstep(double t) { return t * t * (3.0 - 2.0 * t); }

}  // namespace

Vocoder::Vocoder(VocoderHost& host, MidiQueue& midiQueue, HeldNotes& heldNotes)
    : host(host), midiQueue(midiQueue), heldNotes(heldNotes) {
  SetVibratoSpeed(5.5);
  std::fill(std::begin(appliedValues), std::end(appliedValues),
            std::numeric_limits<double>::quiet_NaN());
}

uint32_t Vocoder::NoiseState() noexcept { return noiseState.load(std::memory_order_relaxed); }

void Vocoder::SetNoiseState(uint32_t state) noexcept {
  noiseState.store(state, std::memory_order_relaxed);
}

// ---- Reset ----

void Vocoder::ResetState(double rate) {
  // Values still waiting for a switch are the newest; the reset keeps them as
  // it keeps every other setting.
  ApplyPendingParameters();
  fade = Fade::kNone;
  sounding = false;
  std::fill(std::begin(appliedValues), std::end(appliedValues),
            std::numeric_limits<double>::quiet_NaN());
  tickRemaining = 0;
  if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate)) {
    // Below 1 kHz a tick would hold no samples and processing could never
    // advance: refuse the rate and stay silent until a usable one arrives.
    sampleRate = 0.0;
    tickSamples = 0;
    return;
  }
  sampleRate = rate;
  tickSamples = static_cast<int>(rate) / 1000;
  fadeLength = std::max(1, static_cast<int>(std::lround(rate * kBatchFadeSeconds)));
  fadePosition = fadeLength;
  if (tickSamples != allocatedTickSamples) AllocateTickBuffers(tickSamples);

  for (Voice& voice : voices) ResetVoice(voice, rate);
  noteCounter = 0;
  sustainPedal = false;

  for (int b = 0; b < kNumBands; ++b) {
    for (int ch = 0; ch < kNumChannels; ++ch) {
      ResetBandPassPair(analysisBands[ch][b], rate, kBandDefaultFrequencies[b]);
      ResetBandPassPair(synthesisBands[ch][b], rate, kBandDefaultFrequencies[b]);
      envelopeFilters[ch][b].SetUp(rate, BaseSmoothingFrequency(b));
    }
  }
  // The accent detector runs once per tick, at 1 kHz.
  accentLowpass.SetUp(1000.0, 10.0);
  accentHighpass.SetUp(1000.0, 2.0);

  // A third of a turn apart (0.333 and 0.666 of 2 pi).
  vibratoLfos[0].phase = 0.0;
  vibratoLfos[1].phase = 2.092300707290802;
  vibratoLfos[2].phase = 4.184601414581604;

  ResetEnsemble(ensembles[0], rate);
  SetEnsembleRate(ensembles[0], 1, 0.65);
  SetEnsembleRate(ensembles[0], 2, 5.7);
  ResetEnsemble(ensembles[1], rate);
  SetEnsembleRate(ensembles[1], 1, 0.55);
  SetEnsembleRate(ensembles[1], 2, 6.3);

  meterPeak = 0.0;
  PublishBandLevels();  // the envelopes are at rest
  accentSum = 0.0;
  pitchBend = 0.0;
  for (int k = 0; k < kNumInputs; ++k) inputConnected[k] = host.IsInputConnected(k);
  wavPlayer.ResetWavPlayer(rate, tickSamples);
  sourceLoading = false;
}

void Vocoder::AllocateTickBuffers(int samples) {
  // The new block exists before the old one is freed, so a resize always
  // yields new addresses.
  constexpr int kPerSample = kTickBufferCount + kPairBufferCount * kNumChannels + 2 * kMaxLanes;
  std::unique_ptr<double[]> storage(new double[static_cast<size_t>(samples) * kPerSample]());
  double* next = storage.get();
  for (double** buffers : {modulatorBuf, bandBuf, carrierBuf, noiseBuf, vocoderBuf}) {
    for (int ch = 0; ch < kNumChannels; ++ch) {
      buffers[ch] = next;
      next += samples;
    }
  }
  for (double** pairs : {&modulatorPairs, &carrierPairs, &noisePairs, &outputPairs}) {
    *pairs = next;
    next += kNumChannels * samples;
  }
  accentLanes = next;
  tickStorage = std::move(storage);
  allocatedTickSamples = samples;
  invTickSamples = 1.0 / samples;
}

// ---- Parameters ----

void Vocoder::SetVibratoSpeed(double hz) {
  vibratoLfos[0].increment = hz * kTwoPi / 1000.0;
  vibratoLfos[1].increment = hz * 0.99 * kTwoPi / 1000.0;
  vibratoLfos[2].increment = hz * 1.01 * kTwoPi / 1000.0;
}

void Vocoder::ApplyParameter(int index, double v) {
  if (index < 0 || index >= kNumParameters) return;
  if (fade == Fade::kOut || (batchDepth > 0 && sounding)) {
    pendingValues[index] = v;
    pendingSet[index] = true;
    return;
  }
  SetParameter(index, v);
}

void Vocoder::BeginParameterBatch() noexcept { ++batchDepth; }

void Vocoder::EndParameterBatch() noexcept {
  if (batchDepth > 0) --batchDepth;
  if (batchDepth > 0 || fade == Fade::kOut) return;
  for (int i = 0; i < kNumParameters; ++i) {
    if (Pending(i)) {
      fade = Fade::kOut;  // from the present gain, which a fade-in may have lowered
      return;
    }
  }
  std::fill(std::begin(pendingSet), std::end(pendingSet), false);
}

void Vocoder::ApplyPendingParameters() noexcept {
  for (int i = 0; i < kNumParameters; ++i) {
    if (Pending(i)) SetParameter(i, pendingValues[i]);
    pendingSet[i] = false;
  }
}

// The output is silent here. The moved filters start from rest, so their old
// states cannot ring through the new coefficients, and so do the envelopes:
// the old ones, under the new levels and volume, would sound as a burst.
void Vocoder::SwitchBatch() noexcept {
  for (int b = 0; b < kNumBands; ++b) {
    const bool analysisMoves = Pending(kAnalysisFreq1 + b);
    const bool synthesisMoves = Pending(kSynthesisFreq1 + b);
    for (int ch = 0; ch < kNumChannels; ++ch) {
      if (analysisMoves) analysisBands[ch][b].ClearStates();
      if (synthesisMoves) synthesisBands[ch][b].ClearStates();
      Filter& envelope = envelopeFilters[ch][b];
      envelope.x1 = envelope.x2 = envelope.y1 = envelope.y2 = 0.0;
    }
  }
  // Lines left from the last time the ensemble ran would replay old sound.
  if (!ensembleOn && Pending(kEnsemble) && On(pendingValues[kEnsemble])) {
    for (EnsembleUnit& unit : ensembles) ClearEnsemble(unit);
  }
  ApplyPendingParameters();
  fade = Fade::kIn;
}

double Vocoder::FadeGain() const noexcept {
  return Smoothstep(static_cast<double>(fadePosition) / fadeLength);
}

void Vocoder::ApplyFade(double* outLeft, double* outRight, int count) noexcept {
  const int step = fade == Fade::kOut ? -1 : 1;
  for (int i = 0; i < count; ++i) {
    fadePosition = std::clamp(fadePosition + step, 0, fadeLength);
    const double gain = FadeGain();
    outLeft[i] *= gain;
    outRight[i] *= gain;
  }
  if (fade == Fade::kIn && fadePosition == fadeLength) fade = Fade::kNone;
}

void Vocoder::SetParameter(int index, double v) {
  appliedValues[index] = v;
  if (index >= kAnalysisFreq1 && index < kAnalysisFreq1 + kNumBands) {
    for (auto& channel : analysisBands) RetuneBandPassPair(channel[index - kAnalysisFreq1], v);
    return;
  }
  if (index >= kSynthesisFreq1 && index < kSynthesisFreq1 + kNumBands) {
    for (auto& channel : synthesisBands) RetuneBandPassPair(channel[index - kSynthesisFreq1], v);
    return;
  }
  if (index >= kSynthesisLevel1 && index < kSynthesisLevel1 + kNumBands) {
    for (auto& channel : synthesisBands) channel[index - kSynthesisLevel1].gain = v;
    return;
  }
  if (index >= kSynthesisFixed1 && index < kSynthesisFixed1 + kNumBands) {
    fixedBands[index - kSynthesisFixed1] = On(v);
    return;
  }
  switch (index) {
    case kVocoderMode:
      // An enumeration of 0 and 1; anything from 1 up selects all bands.
      vocoderMode = v >= 1.0 ? 1 : 0;
      break;
    case kKeyboard:
      keyboardOn = On(v);
      break;
    case kInputMode:
      wavInput = On(v);
      break;
    case kSampleLegato:
      sampleLegato = On(v);
      break;
    case kFinalVolume:
      finalVolume = v;
      break;
    case kOutBalance:
      dryBalance = v;
      vocoderBalance = 1.0 - v;
      break;
    case kInBalance:
      keyboardLevel = 1.0 - v;
      noiseLevel = v;
      break;
    case kExtLevel:
      extLevel = v;
      break;
    case kMicLevel:
      micLevel = v;
      break;
    case kAccentBend:
      accentDepth = v * 256.0;
      break;
    case kPitchBend:
      bendRange = v * 128.0;
      break;
    case kVibratoSpeed:
      SetVibratoSpeed(v);
      break;
    case kEnsemble:
      ensembleOn = On(v);
      break;
    case kMeterMode:
      meterShowsCarrier = !On(v);
      break;
    case kAttack:
      wavPlayer.attack = v;
      for (Voice& voice : voices) SetVoiceParameter(voice, index, v);
      break;
    case kRelease:
      wavPlayer.release = v;
      for (Voice& voice : voices) SetVoiceParameter(voice, index, v);
      break;
    case kTune:
    case kVelocity:
    case kOctaveUp:
    case kVibratoDepth:
      for (Voice& voice : voices) SetVoiceParameter(voice, index, v);
      break;
    case kEnsembleLeftRate1:
      SetEnsembleRate(ensembles[0], 1, v);
      break;
    case kEnsembleRightRate1:
      SetEnsembleRate(ensembles[1], 1, v);
      break;
    case kEnsembleLeftRate2:
      SetEnsembleRate(ensembles[0], 2, v);
      break;
    case kEnsembleRightRate2:
      SetEnsembleRate(ensembles[1], 2, v);
      break;
    case kBias:
      bias = 2.0 * v;
      break;
    case kLimit:
      limit = 10.0 - 9.0 * std::sqrt(v);
      break;
    case kSpeed: {
      // Scales every smoothing frequency by 1/4 .. 4; restarts the envelopes.
      const double scale = std::pow(2.0, 2.0 * v);
      for (int b = 0; b < kNumBands; ++b) {
        for (auto& channel : envelopeFilters)
          channel[b].SetUp(sampleRate, scale * BaseSmoothingFrequency(b));
      }
      break;
    }
    default:
      break;
  }
}

// ---- Carrier synthesizer ----

void Vocoder::NoteOn(int note, int velocity) noexcept {
  if (note < 0 || note > 127) return;
  if (keyboardOn) {
    heldNotes.Set(note, velocity);
    Voice* chosen = nullptr;
    for (Voice& voice : voices) {
      if (voice.note == note) {
        chosen = &voice;
        break;
      }
    }
    if (chosen == nullptr) {
      for (Voice& voice : voices) {
        if (!voice.active) {
          chosen = &voice;
          break;
        }
      }
    }
    if (chosen == nullptr) {
      // Every voice sounds: steal the oldest note-on.
      chosen = &voices[0];
      for (Voice& voice : voices) {
        if (voice.stamp < chosen->stamp) chosen = &voice;
      }
    }
    Voice& voice = *chosen;
    noteCounter += 1;
    voice.stamp = noteCounter;
    voice.active = true;
    voice.gate = true;
    voice.note = note;
    voice.pitch = note * 128.0;
    voice.amplitude = (velocity / 127.0 - 1.0) * voice.velocitySensitivity + 1.0;
    // Notes take the three detuned oscillators in groups of three.
    voice.vibratoSource = &vibratoLfos[((note + 1) / 3) % kNumVibratoLfos];
    voice.target = kVoiceAttackTarget;
    voice.coefficient = EnvelopeCoefficient(voice.attack);
  }
  if (wavInput && (!sampleLegato || heldNotes.Size() < 2)) wavPlayer.TriggerWav();
}

void Vocoder::ReleaseVoice(Voice& voice) noexcept {
  voice.target = kVoiceReleaseTarget;
  voice.coefficient = EnvelopeCoefficient(voice.release);
}

void Vocoder::NoteOff(int note) noexcept {
  if (note < 0 || note > 127) return;
  heldNotes.Remove(note);
  for (Voice& voice : voices) {
    if (voice.active && voice.note == note) {
      voice.gate = false;
      if (!voice.sustained) ReleaseVoice(voice);
      break;
    }
  }
  if (wavInput && heldNotes.Size() == 0 && !sustainPedal) wavPlayer.ReleaseWav();
}

void Vocoder::SetSustain(int value) noexcept {
  sustainPedal = value > 0;
  for (Voice& voice : voices) {
    voice.sustained = sustainPedal;
    if (!voice.gate && !sustainPedal) ReleaseVoice(voice);
  }
}

void Vocoder::AllNotesOff() noexcept {
  heldNotes.Clear();
  for (Voice& voice : voices) {
    voice.sustained = false;
    voice.gate = false;
    ReleaseVoice(voice);
  }
}

// ---- Control tick ----

void Vocoder::DispatchEvents() noexcept {
  while (!midiQueue.Empty()) {
    IMidiMessage& message = midiQueue.Front();
    // Widened so that a hostile offset cannot overflow.
    const int64_t offset = static_cast<int64_t>(message.offset) - tickSamples;
    message.offset = offset < INT32_MIN ? INT32_MIN : static_cast<int32_t>(offset);
    if (message.offset > 0) break;
    DispatchEvent(message.status, message.data1, message.data2);
    midiQueue.PopFront();
  }
  midiQueue.SubtractFromOffsets(tickSamples);
}

void Vocoder::DispatchEvent(int status, int data1, int data2) noexcept {
  switch (status & 0xF0) {
    case 0x90:
      if (data2 > 0) {
        NoteOn(data1, data2);
      } else {
        NoteOff(data1);
      }
      break;
    case 0x80:
      NoteOff(data1);
      break;
    case 0xB0:
      if (data1 == kSustainController) {
        SetSustain(data2);
      } else if (data1 < kMappableControllers) {
        host.MapController(data1, data2);
      }
      break;
    case 0xE0:
      pitchBend = ((data2 * 128 + data1) - 8192) / 8192.0;
      break;
    default:  // pressure, program change, system messages
      break;
  }
}

void Vocoder::UpdateControls() noexcept {
  if (keyboardOn) {
    for (VibratoLfo& lfo : vibratoLfos) {
      lfo.value = std::sin(lfo.phase);
      lfo.phase += lfo.increment;
      if (lfo.phase >= kTwoPi) lfo.phase = 0.0;
    }
    double bend = bendRange * pitchBend;
    if (accentDepth > 0.0) {
      // Loudness per sample of the latest piece; a loud modulator bends down.
      double a = accentSum * invTickSamples;
      if (modulatorActive[0] && modulatorActive[1]) a *= 0.5;
      // Non-finite input must not poison the detector's states for good.
      if (!std::isfinite(a)) a = 0.0;
      bend -= accentHighpass.Step(accentLowpass.Step(a)) * accentDepth;
    }
    for (Voice& voice : voices) UpdateVoicePitch(voice, bend);
  }
  TickEnsemble(ensembles[0]);
  TickEnsemble(ensembles[1]);
  meterPeak -= meterPeak * invTickSamples;
}

// ---- Audio ----

void Vocoder::ProcessBlock(double** inputs, double** outputs, int frames) noexcept {
  if (sourceLoading) return;
  if (outputs == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) return;
  double* out[kNumChannels] = {outputs[0], outputs[1]};
  if (!IsReady()) {
    if (frames > 0) {
      Clear(out[0], frames);
      Clear(out[1], frames);
    }
    return;
  }
  sounding = sounding || frames > 0;
  const double* in[kNumInputs] = {};
  for (int k = 0; k < kNumInputs; ++k) {
    inputConnected[k] = host.IsInputConnected(k) && inputs != nullptr && inputs[k] != nullptr;
    if (inputConnected[k]) in[k] = inputs[k];
  }
  modulatorActive[0] = wavInput || inputConnected[0];
  modulatorActive[1] = wavInput || inputConnected[1];

  while (frames > 0) {
    if (fade == Fade::kOut && fadePosition == 0) SwitchBatch();
    int n;
    if (tickRemaining > 0) {
      if (tickRemaining < frames) {
        n = tickRemaining;
        tickRemaining = 0;
      } else {
        n = frames;
        tickRemaining -= frames;
      }
    } else {
      DispatchEvents();
      UpdateControls();
      // The detector has read the tick that ended; the new one sums afresh
      // over all its pieces, however the host cuts its blocks.
      accentSum = 0.0;
      n = tickSamples;
      if (frames < tickSamples) {
        n = frames;
        tickRemaining = tickSamples - frames;
      }
    }
    RenderSources(in, n);
    for (const double*& input : in) {
      if (input != nullptr) input += n;
    }
    ProcessBands(n);
    Mix(out[0], out[1], n);
    if (fade != Fade::kNone) ApplyFade(out[0], out[1], n);
    out[0] += n;
    out[1] += n;
    frames -= n;
  }
  PublishBandLevels();
}

void Vocoder::RenderSources(const double* const inputs[kNumInputs], int count) noexcept {
  if (wavInput) {
    wavPlayer.RenderWav(modulatorBuf[0], modulatorBuf[1], count);
  } else {
    for (int ch = 0; ch < kNumChannels; ++ch) {
      if (inputConnected[ch]) {
        CopyFinite(modulatorBuf[ch], inputs[ch], count);
      } else {
        Clear(modulatorBuf[ch], tickSamples);
      }
    }
  }

  double* carrierLeft = carrierBuf[0];
  double* carrierRight = carrierBuf[1];
  Clear(carrierLeft, tickSamples);
  if (keyboardOn && keyboardLevel > 0.0) {
    switch (bandPath) {
      case BandPath::kScalar:
        RenderVoices(voices, kNumVoices, carrierLeft, count);
        break;
      case BandPath::kSse2:
        RenderVoicesSse2(voices, kNumVoices, carrierLeft, count);
        break;
      case BandPath::kAvx:
      case BandPath::kAvx512:  // four voices to a vector serve them best
        RenderVoicesAvx(voices, kNumVoices, carrierLeft, count);
        break;
    }
    for (int i = 0; i < count; ++i) {
      carrierLeft[i] *= keyboardLevel;
      carrierRight[i] = carrierLeft[i];  // the voices are mono
    }
  } else {
    Clear(carrierRight, tickSamples);
  }

  if (noiseLevel > 0.0) {
    uint32_t state = noiseState.load(std::memory_order_relaxed);
    for (int i = 0; i < count; ++i) {
      state *= 16807u;
      const double s = static_cast<int32_t>(state) * 4.6566129e-10 * noiseLevel;
      noiseBuf[0][i] = s;
      noiseBuf[1][i] = s;
      carrierLeft[i] += s;
      carrierRight[i] += s;
    }
    noiseState.store(state, std::memory_order_relaxed);
  }

  double meter = 0.0;
  if (extLevel > 0.0) {
    for (int k = 2; k < kNumInputs; ++k) {
      if (!inputConnected[k]) continue;
      double* carrier = carrierBuf[k - 2];
      const double* input = inputs[k];
      for (int i = 0; i < count; ++i) {
        const double added = Finite(input[i]) * extLevel;
        carrier[i] += added;
        if (meterShowsCarrier) meter += std::fabs(added);
      }
    }
    if (meterShowsCarrier && inputConnected[2] && inputConnected[3]) meter *= 0.5;
  }

  if (meterShowsCarrier) {
    meter += SumOfMagnitudes(carrierLeft, count);
  } else {
    if (modulatorActive[0]) meter += SumOfMagnitudes(modulatorBuf[0], count);
    if (modulatorActive[1]) meter += SumOfMagnitudes(modulatorBuf[1], count);
    if (modulatorActive[0] && modulatorActive[1]) meter *= micLevel * 0.5;
  }
  if (meter > meterPeak) meterPeak = meter;
}

void Vocoder::ProcessBands(int count) noexcept {
  Clear(vocoderBuf[0], tickSamples);
  Clear(vocoderBuf[1], tickSamples);
  if (!(vocoderBalance > 0.0)) return;  // the vocoder is not heard
  const int carrierBands = vocoderMode != 0 ? kNumBands : kStandardCarrierBands;
  // In the standard mode the top bands shape the noise alone.
  const bool noiseBands = carrierBands < kNumBands && noiseLevel > 0.0;
  if (bandPath != BandPath::kScalar) {
    ProcessBandLanes(count, carrierBands, noiseBands);
    return;
  }
  for (int b = 0; b < carrierBands; ++b) {
    Band(0, b, modulatorBuf[0], carrierBuf, count);
    Band(1, b, modulatorBuf[1], carrierBuf, count);
  }
  if (noiseBands) {
    for (int b = carrierBands; b < kNumBands; ++b) {
      Band(0, b, modulatorBuf[0], noiseBuf, count);
      Band(1, b, modulatorBuf[1], noiseBuf, count);
    }
  }
}

// The bands in vector lanes: the same operations as Band() below in each
// lane, the outputs added in the same band order, the accent summed in the
// same band, channel and sample order.
void Vocoder::ProcessBandLanes(int count, int carrierBands, bool noiseBands) noexcept {
  Interleave(modulatorPairs, modulatorBuf[0], modulatorBuf[1], count);
  Interleave(carrierPairs, carrierBuf[0], carrierBuf[1], count);
  if (noiseBands) Interleave(noisePairs, noiseBuf[0], noiseBuf[1], count);
  carrierTame = PairsAreTame(carrierPairs, count);
  noiseTame = noiseBands && PairsAreTame(noisePairs, count);
  Clear(outputPairs, kNumChannels * count);
  const BandPiece piece{modulatorPairs,
                        outputPairs,
                        count,
                        micLevel,
                        bias,
                        limit,
                        PairsAreTame(modulatorPairs, count)};
  double* envelopes[2] = {accentLanes, accentLanes + kMaxLanes * count};
  AccentRelay accent{nullptr, 0, envelopes[0], accentSum};
  const int bands = noiseBands ? kNumBands : carrierBands;
  int b = 0;
  while (b < bands) {
    const BandUnit first = Unit(b, carrierBands);
    if (bandPath == BandPath::kAvx512 && LikeBands(b, 4, bands)) {
      const BandUnit units[4] = {first, Unit(b + 1, carrierBands), Unit(b + 2, carrierBands),
                                 Unit(b + 3, carrierBands)};
      const BandUnit* const quad[4] = {&units[0], &units[1], &units[2], &units[3]};
      RunBandQuadAvx512(quad, piece, accent);
      b += 4;
    } else if ((bandPath == BandPath::kAvx || bandPath == BandPath::kAvx512) &&
               LikeBands(b, 2, bands)) {
      RunBandPairAvx(first, Unit(b + 1, carrierBands), piece, accent);
      b += 2;
    } else {
      RunBandSse2(first, piece, accent);
      b += 1;
    }
    accent.current = accent.current == envelopes[0] ? envelopes[1] : envelopes[0];
  }
  // The last band's envelopes end the chain.
  AddEnvelopes(accent.sum, accent.previous, accent.previousLanes, count);
  accentSum = accent.sum;
  for (int i = 0; i < count; ++i) {
    vocoderBuf[0][i] = outputPairs[2 * i];
    vocoderBuf[1][i] = outputPairs[2 * i + 1];
  }
}

bool Vocoder::LikeBands(int b, int n, int bands) const noexcept {
  if (b + n > bands) return false;
  for (int k = 1; k < n; ++k) {
    if (fixedBands[b + k] != fixedBands[b]) return false;
  }
  return true;
}

BandUnit Vocoder::Unit(int b, int carrierBands) noexcept {
  const bool fixed = fixedBands[b];
  // A fixed band passes the full carrier, even among the noise bands.
  const bool fullCarrier = fixed || b < carrierBands;
  return {{&analysisBands[0][b], &analysisBands[1][b]},
          {&envelopeFilters[0][b], &envelopeFilters[1][b]},
          {&synthesisBands[0][b], &synthesisBands[1][b]},
          fullCarrier ? carrierPairs : noisePairs,
          fixed,
          fullCarrier ? carrierTame : noiseTame};
}

// Three passes over the piece, so each filter's state stays hot.
void Vocoder::Band(int ch, int b, const double* modulator, double* const carriers[kNumChannels],
                   int count) noexcept {
  double* out = vocoderBuf[ch];
  BandPassPair& synthesis = synthesisBands[ch][b];
  if (fixedBands[b]) {
    // A fixed band passes the full carrier without an envelope.
    const double* carrier = carrierBuf[ch];
    for (int i = 0; i < count; ++i) out[i] += synthesis.Step(carrier[i]);
    return;
  }
  double* envelope = bandBuf[ch];
  BandPassPair& analysis = analysisBands[ch][b];
  for (int i = 0; i < count; ++i) envelope[i] = analysis.Step(modulator[i]);

  Lowpass& smoothing = envelopeFilters[ch][b];
  double sum = accentSum;
  for (int i = 0; i < count; ++i) {
    const double h = smoothing.StepRectified(envelope[i]) * micLevel;
    const double s = h + bias;
    envelope[i] = s >= limit ? limit : (s > 0.0 ? s : 0.0);
    sum += h;
  }
  accentSum = sum;

  const double* carrier = carriers[ch];
  for (int i = 0; i < count; ++i) out[i] += synthesis.Step(carrier[i]) * envelope[i];
}

// Only reads the engine's state: the sound stays exactly as it is.
void Vocoder::PublishBandLevels() noexcept {
  const int carrierBands = vocoderMode != 0 ? kNumBands : kStandardCarrierBands;
  const bool heard = vocoderBalance > 0.0;
  const bool noiseBands = carrierBands < kNumBands && noiseLevel > 0.0;
  for (int b = 0; b < kNumBands; ++b) {
    BandLevels::Kind kind = BandLevels::kIdle;
    if (heard && fixedBands[b]) {
      kind = BandLevels::kFixed;
    } else if (heard && b < carrierBands) {
      kind = BandLevels::kCarrier;
    } else if (heard && noiseBands) {
      kind = BandLevels::kNoise;
    }
    double level = 0.0;
    if (kind == BandLevels::kCarrier || kind == BandLevels::kNoise) {
      const double louder = std::max(envelopeFilters[0][b].y1, envelopeFilters[1][b].y1);
      level = louder > 0.0 ? louder * micLevel : 0.0;
    }
    bandLevels.Store(b, static_cast<float>(level), kind);
  }
}

void Vocoder::Mix(double* outLeft, double* outRight, int count) noexcept {
  const double dryLeft = modulatorActive[0] ? dryBalance * finalVolume * micLevel : 0.0;
  const double dryRight = modulatorActive[1] ? dryBalance * finalVolume * micLevel : 0.0;
  const double wet = finalVolume * kVocoderGain * vocoderBalance;
  const double* vocoderLeft = vocoderBuf[0];
  const double* vocoderRight = vocoderBuf[1];
  const double* modulatorLeft = modulatorBuf[0];
  const double* modulatorRight = modulatorBuf[1];
  for (int i = 0; i < count; ++i) {
    outLeft[i] = wet * vocoderLeft[i] + dryLeft * modulatorLeft[i];
    outRight[i] = wet * vocoderRight[i] + dryRight * modulatorRight[i];
  }
  if (ensembleOn) ProcessEnsembles(ensembles[0], ensembles[1], outLeft, outRight, count);
  // Finite input can still overflow (a huge sample times the gains); the host
  // never receives anything but a number.
  for (int i = 0; i < count; ++i) {
    outLeft[i] = Finite(outLeft[i]);
    outRight[i] = Finite(outRight[i]);
  }
}
