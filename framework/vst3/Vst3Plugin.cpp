#include "framework/vst3/Vst3Plugin.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "framework/Text.h"
#include "framework/vst3/Utf16.h"
#include "framework/vst3/Vst3Editor.h"

using namespace vst3;

namespace {

// A state larger than this is taken as a damaged stream, not read on.
constexpr int kMaxStateBytes = 1 << 28;
constexpr int kStreamPiece = 1 << 16;
constexpr int kMidiChannels = 16;
constexpr int kPitchBendMax = 16383;

// The state is the bank chunk, as VST 2 hosts store it, and after it the
// current program, which VST 2 hosts store apart and VST 3 hosts do not.
constexpr uint8_t kTrailerTag[4] = {'R', 'p', 'r', 'g'};
constexpr int kTrailerSize = 8;

// True while this thread is inside a process call: host calls the plug-in
// makes from there must not reach the component handler.
thread_local bool tInProcess = false;

struct ProcessScope {
  ProcessScope() { tInProcess = true; }
  ~ProcessScope() { tInProcess = false; }
  ProcessScope(const ProcessScope&) = delete;
  ProcessScope& operator=(const ProcessScope&) = delete;
};

// A sample for a single-precision host: a number the float range can hold
// (a larger double would turn into an infinity), anything else silence.
float HostFloat(double x) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (!std::isfinite(x)) return 0.0f;
  return static_cast<float>(std::clamp(x, -kLargest, kLargest));
}

int ChannelCount(SpeakerArrangement arrangement) {
  int n = 0;
  for (; arrangement != 0; arrangement &= arrangement - 1) ++n;
  return n;
}

bool Supported(SpeakerArrangement arrangement) {
  return arrangement == SpeakerArr::kMono || arrangement == SpeakerArr::kStereo;
}

// Normalised values outside 0...1 are limited; NaN means nothing.
bool LimitNormalized(double* x) {
  if (std::isnan(*x)) return false;
  *x = std::clamp(*x, 0.0, 1.0);
  return true;
}

int MidiByte(double normalized) { return static_cast<int>(std::lround(normalized * 127.0)); }

// The host's rule for a list of count entries: equal shares of 0...1.
int ListEntry(double normalized, int count) {
  const double x = std::clamp(normalized, 0.0, 1.0);
  return std::min(count - 1, static_cast<int>(x * count));
}

bool ReadAll(IBStream* stream, std::vector<uint8_t>* bytes) {
  if (stream == nullptr) return false;
  for (;;) {
    const std::size_t have = bytes->size();
    if (have >= static_cast<std::size_t>(kMaxStateBytes)) return false;
    bytes->resize(have + kStreamPiece);
    int32 got = 0;
    const tresult result = stream->read(bytes->data() + have, kStreamPiece, &got);
    got = std::clamp(got, 0, kStreamPiece);
    bytes->resize(have + static_cast<std::size_t>(got));
    if (result != kResultOk || got == 0) return !bytes->empty();
  }
}

bool WriteAll(IBStream* stream, const uint8_t* data, int size) {
  if (stream == nullptr) return false;
  while (size > 0) {
    int32 written = 0;
    // The interface takes a mutable pointer; streams only read from it.
    const tresult result = stream->write(const_cast<uint8_t*>(data), size, &written);
    if (result != kResultOk || written <= 0 || written > size) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

// ---- The two state shims ----

tresult VST3_CALL Vst3ComponentSide::setState(IBStream* state) {
  return static_cast<Vst3Plugin*>(this)->LoadComponentState(state);
}

tresult VST3_CALL Vst3ComponentSide::getState(IBStream* state) {
  return static_cast<Vst3Plugin*>(this)->SaveComponentState(state);
}

// The component state holds everything; the controller keeps nothing of its own.
tresult VST3_CALL Vst3ControllerSide::setState(IBStream* /*state*/) { return kResultOk; }
tresult VST3_CALL Vst3ControllerSide::getState(IBStream* /*state*/) { return kResultOk; }

// ---- Life ----

Vst3Plugin::Vst3Plugin(Maker maker) {
  // The plug-in may call its host while it is built; until it is, those
  // calls find no plug-in and do nothing.
  plug = maker(static_cast<IHost*>(this));
  ScopedLock guard(plug->Lock());
  midiValue[kPitchBendSlot] = 0.5;
  UpdateInputConnections();
  SyncReportedValues();
}

Vst3Plugin::~Vst3Plugin() {
  // The plug-in still calls its host while it goes.
  plug.reset();
  if (handler != nullptr) handler->release();
}

tresult VST3_CALL Vst3Plugin::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  void* found = nullptr;
  if (FUnknown::iid.Equals(iid) || IPluginBase::iid.Equals(iid) || IComponent::iid.Equals(iid)) {
    found = static_cast<IComponent*>(this);
  } else if (IAudioProcessor::iid.Equals(iid)) {
    found = static_cast<IAudioProcessor*>(this);
  } else if (IProcessContextRequirements::iid.Equals(iid)) {
    found = static_cast<IProcessContextRequirements*>(this);
  } else if (IEditController::iid.Equals(iid)) {
    found = static_cast<IEditController*>(this);
  } else if (IMidiMapping::iid.Equals(iid)) {
    found = static_cast<IMidiMapping*>(this);
  } else if (IUnitInfo::iid.Equals(iid)) {
    found = static_cast<IUnitInfo*>(this);
  }
  *obj = found;
  if (found == nullptr) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 VST3_CALL Vst3Plugin::addRef() { return ++references; }

uint32 VST3_CALL Vst3Plugin::release() {
  const uint32 left = --references;
  if (left == 0) delete this;
  return left;
}

// A single-object plug-in may be initialised through either of its bases;
// the first call counts, the last terminate releases the host's objects.
tresult VST3_CALL Vst3Plugin::initialize(FUnknown* context) {
  ScopedLock guard(plug->Lock());
  if (initializeCount++ > 0) return kResultOk;
  if (context != nullptr) context->addRef();
  hostContext = context;
  void* application = nullptr;
  if (context != nullptr &&
      context->queryInterface(IHostApplication::iid.bytes, &application) == kResultOk &&
      application != nullptr) {
    auto* host = static_cast<IHostApplication*>(application);
    String128 name = {};
    if (host->getName(name) == kResultOk) {
      name[127] = u'\0';
      CopyText(hostName, sizeof hostName, FromUtf16(name, 128).c_str());
    }
    host->release();
  }
  plug->NotifyAllParamsChanged();
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::terminate() {
  ScopedLock guard(plug->Lock());
  if (initializeCount == 0 || --initializeCount > 0) return kResultOk;
  if (handler != nullptr) handler->release();
  handler = nullptr;
  if (hostContext != nullptr) hostContext->release();
  hostContext = nullptr;
  return kResultOk;
}

// ---- Component ----

// The controller lives in this very object: hosts find it by asking the
// component for the controller interface.
tresult VST3_CALL Vst3Plugin::getControllerClassId(TUID /*classId*/) { return kResultFalse; }

tresult VST3_CALL Vst3Plugin::setIoMode(int32 /*mode*/) { return kResultOk; }

int32 VST3_CALL Vst3Plugin::getBusCount(int32 type, int32 dir) {
  if (type == kAudio) return dir == kInput ? kNumInputBuses : dir == kOutput ? 1 : 0;
  if (type == kEvent) return dir == kInput ? 1 : 0;
  return 0;
}

tresult VST3_CALL Vst3Plugin::getBusInfo(int32 type, int32 dir, int32 index, BusInfo& bus) {
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  bus = {};
  bus.mediaType = type;
  bus.direction = dir;
  bus.busType = kMain;
  bus.flags = BusInfo::kDefaultActive;
  const char* name = "";
  if (type == kEvent) {
    bus.channelCount = kMidiChannels;
    name = "MIDI In";
  } else if (dir == kOutput) {
    bus.channelCount = ChannelCount(outputArrangement);
    name = "REDI";
  } else {
    bus.channelCount = ChannelCount(inputArrangement[index]);
    name = index == kMicBus ? "MIC" : "EXT";
    if (index == kExtBus) {
      // The side chain: its inputs count as connected once the host
      // activates it, which it does when something feeds it.
      bus.busType = kAux;
      bus.flags = 0;
    }
  }
  ToUtf16(name, bus.name, 128);
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/) {
  return kNotImplemented;
}

tresult VST3_CALL Vst3Plugin::activateBus(int32 type, int32 dir, int32 index, TBool state) {
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  if (type == kAudio && dir == kInput) {
    inputBusActive[index] = state != 0;
    UpdateInputConnections();
  }
  return kResultOk;
}

void Vst3Plugin::UpdateInputConnections() {
  for (int k = 0; k < plug->NInChannels(); ++k) {
    const int bus = k / 2;
    plug->InChannel(k)->connected = bus < kNumInputBuses && inputBusActive[bus];
  }
}

// As the VST 2 build's switch on and off.
tresult VST3_CALL Vst3Plugin::setActive(TBool state) {
  ScopedLock guard(plug->Lock());
  active = state != 0;
  plug->Activate(active);
  if (!active) plug->ResetState();
  return kResultOk;
}

tresult Vst3Plugin::SaveComponentState(IBStream* state) {
  ScopedLock guard(plug->Lock());
  const uint8_t* data = nullptr;
  const int size = plug->HostGetChunk(true, &data);
  if (size <= 0 || data == nullptr) return kInternalError;
  uint8_t trailer[kTrailerSize] = {kTrailerTag[0], kTrailerTag[1], kTrailerTag[2], kTrailerTag[3]};
  const auto program = static_cast<uint32_t>(plug->CurrentProgram());
  for (int i = 0; i < 4; ++i) trailer[4 + i] = static_cast<uint8_t>(program >> (8 * i));
  return WriteAll(state, data, size) && WriteAll(state, trailer, kTrailerSize) ? kResultOk
                                                                               : kResultFalse;
}

tresult Vst3Plugin::LoadComponentState(IBStream* state) {
  // Read before taking the lock: the host's stream may be slow, the audio
  // thread must not wait for it.
  std::vector<uint8_t> bytes;
  if (!ReadAll(state, &bytes) || bytes.size() > static_cast<std::size_t>(INT_MAX))
    return kResultFalse;
  int size = static_cast<int>(bytes.size());
  int program = -1;
  if (size > kTrailerSize && std::memcmp(&bytes[size - kTrailerSize], kTrailerTag, 4) == 0) {
    uint32_t index = 0;
    for (int i = 3; i >= 0; --i) index = (index << 8) | bytes[size - 4 + i];
    program = index < 0x7FFFFFFFu ? static_cast<int>(index) : -1;
    size -= kTrailerSize;
  }
  ScopedLock guard(plug->Lock());
  loading = true;
  const int loaded = plug->HostSetChunk(true, bytes.data(), size);
  // The bank comes back in its program 0; the program that was playing
  // holds the state it was saved with.
  if (loaded != 0 && program > 0 && program < plug->NPrograms()) plug->ApplyProgram(program);
  loading = false;
  SyncReportedValues();  // the host reads every value after a load
  return loaded != 0 ? kResultOk : kResultFalse;
}

// ---- Audio processor ----

tresult VST3_CALL Vst3Plugin::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                 SpeakerArrangement* outputs, int32 numOuts) {
  ScopedLock guard(plug->Lock());
  if (active || numIns < 0 || numOuts < 0 || (numIns > 0 && inputs == nullptr) ||
      (numOuts > 0 && outputs == nullptr))
    return kResultFalse;
  // What cannot be taken as asked stays as it was; the host reads back the
  // arrangements it got.
  bool accepted = numIns == kNumInputBuses && numOuts == 1;
  for (int32 i = 0; i < numIns; ++i) {
    if (i < kNumInputBuses && Supported(inputs[i])) {
      inputArrangement[i] = inputs[i];
    } else {
      accepted = false;
    }
  }
  if (numOuts > 0 && Supported(outputs[0])) {
    outputArrangement = outputs[0];
  } else {
    accepted = false;
  }
  return accepted ? kResultTrue : kResultFalse;
}

tresult VST3_CALL Vst3Plugin::getBusArrangement(int32 dir, int32 index, SpeakerArrangement& arr) {
  ScopedLock guard(plug->Lock());
  if (dir == kInput && index >= 0 && index < kNumInputBuses) {
    arr = inputArrangement[index];
  } else if (dir == kOutput && index == 0) {
    arr = outputArrangement;
  } else {
    return kInvalidArgument;
  }
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue
                                                                            : kResultFalse;
}

// As the VST 2 build's sample rate and block size calls.
tresult VST3_CALL Vst3Plugin::setupProcessing(ProcessSetup& setup) {
  ScopedLock guard(plug->Lock());
  if (active || !(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate) ||
      setup.maxSamplesPerBlock <= 0 ||
      canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
    return kResultFalse;
  processMode = setup.processMode;
  plug->ChangeSampleRate(setup.sampleRate);
  plug->ChangeBlockSize(setup.maxSamplesPerBlock);
  if (plug->BlockSize() != setup.maxSamplesPerBlock) return kResultFalse;
  plug->ResetState();
  return kResultOk;
}

// The slowest band envelope ("Speed" at its slowest: 4 Hz) falls by more than
// 100 dB within a second of the input's end; the band filters' ringing and
// the ensemble's delay lines are over well before.
uint32 VST3_CALL Vst3Plugin::getTailSamples() {
  constexpr double kTailSeconds = 1.0;
  ScopedLock guard(plug->Lock());
  const double rate = plug->SampleRate();
  return rate > 0.0 ? static_cast<uint32>(std::lround(rate * kTailSeconds)) : kNoTail;
}

tresult VST3_CALL Vst3Plugin::setProcessing(TBool state) {
  ScopedLock guard(plug->Lock());
  processing = state != 0;
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::process(ProcessData& data) {
  ScopedLock guard(plug->Lock());
  ProcessScope scope;
  if (data.processMode == kRealtime || data.processMode == kPrefetch)
    processMode = data.processMode;
  const int frames = std::max(0, data.numSamples);
  QueueNoteEvents(data.inputEvents, frames);

  // Controllers and bend join the notes in the MIDI queue at their offsets;
  // the plug-in's parameters change between pieces of the block.
  IParameterChanges* changes = data.inputParameterChanges;
  const int queues =
      changes != nullptr ? std::clamp(changes->getParameterCount(), 0, kMaxQueues) : 0;
  for (int q = 0; q < queues; ++q) {
    queuePoint[q] = 0;
    IParamValueQueue* queue = changes->getParameterData(q);
    const int slot = queue != nullptr ? MidiSlot(queue->getParameterId()) : -1;
    if (slot < 0) continue;
    const int32 count = queue->getPointCount();
    for (int32 p = 0; p < count; ++p) {
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(p, offset, value) == kResultOk) QueueMidiParameter(slot, offset, value);
    }
    queuePoint[q] = std::max(count, 0);
  }

  for (int position = 0;;) {
    int next = frames;
    for (int q = 0; q < queues; ++q) {
      IParamValueQueue* queue = changes->getParameterData(q);
      if (queue == nullptr) continue;
      const int32 count = queue->getPointCount();
      while (queuePoint[q] < count) {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(queuePoint[q], offset, value) != kResultOk) {
          queuePoint[q] = count;
          break;
        }
        // Points past the block's end take effect at its end.
        if (offset > position && position < frames) {
          next = std::min(next, offset);
          break;
        }
        ApplyParameterPoint(queue->getParameterId(), value);
        ++queuePoint[q];
      }
    }
    if (position >= frames) break;
    Render(data, position, next - position);
    position = next;
  }

  ReportChangedValues(data.outputParameterChanges);
  return kResultOk;
}

void Vst3Plugin::QueueNoteEvents(IEventList* events, int frames) {
  if (events == nullptr) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i) {
    Event event = {};
    if (events->getEvent(i, event) != kResultOk || event.busIndex != 0) continue;
    IMidiMessage message;
    message.offset = std::clamp(event.sampleOffset, 0, std::max(frames - 1, 0));
    if (event.type == Event::kNoteOnEvent) {
      const NoteOnEvent& note = event.noteOn;
      if (note.pitch < 0 || note.pitch > 127) continue;
      const float velocity = std::isfinite(note.velocity) ? note.velocity : 0.0f;
      int byte = MidiByte(std::clamp(velocity, 0.0f, 1.0f));
      // A soft note stays a note; only a velocity of zero is a release.
      if (velocity > 0.0f) byte = std::max(byte, 1);
      message.status = static_cast<uint8_t>((byte > 0 ? 0x90 : 0x80) | (note.channel & 0x0F));
      message.data1 = static_cast<uint8_t>(note.pitch);
      message.data2 = static_cast<uint8_t>(byte);
    } else if (event.type == Event::kNoteOffEvent) {
      const NoteOffEvent& note = event.noteOff;
      if (note.pitch < 0 || note.pitch > 127) continue;
      const float velocity = std::isfinite(note.velocity) ? note.velocity : 0.0f;
      message.status = static_cast<uint8_t>(0x80 | (note.channel & 0x0F));
      message.data1 = static_cast<uint8_t>(note.pitch);
      message.data2 = static_cast<uint8_t>(MidiByte(std::clamp(velocity, 0.0f, 1.0f)));
    } else {
      continue;
    }
    plug->HandleMidiMessage(message);
  }
}

int Vst3Plugin::MidiSlot(ParamID id) {
  if (id < kFirstMidiParamId) return -1;
  const ParamID controller = id - kFirstMidiParamId;
  if (controller < static_cast<ParamID>(kMidiControllers)) return static_cast<int>(controller);
  return controller == static_cast<ParamID>(kPitchBend) ? kPitchBendSlot : -1;
}

void Vst3Plugin::QueueMidiParameter(int slot, int offset, double normalized) {
  if (!LimitNormalized(&normalized)) return;
  midiValue[slot] = normalized;
  IMidiMessage message;
  message.offset = std::max(offset, 0);
  if (slot == kPitchBendSlot) {
    const int bend =
        std::min(kPitchBendMax, static_cast<int>(std::lround(normalized * kPitchBendMax)));
    message.status = 0xE0;
    message.data1 = static_cast<uint8_t>(bend & 0x7F);
    message.data2 = static_cast<uint8_t>(bend >> 7);
  } else {
    message.status = 0xB0;
    message.data1 = static_cast<uint8_t>(slot);
    message.data2 = static_cast<uint8_t>(MidiByte(normalized));
  }
  plug->HandleMidiMessage(message);
}

void Vst3Plugin::ApplyParameterPoint(ParamID id, double value) {
  if (id < static_cast<ParamID>(plug->NParams())) {
    const int index = static_cast<int>(id);
    SetParamValue(index, value);
    reportedValue[index] = plug->GetParam(index)->ToNormalized();
  } else if (id == kProgramParamId && !std::isnan(value)) {
    const int program = ListEntry(value, plug->NPrograms());
    SelectProgram(program);
    reportedProgram = program;
  }
}

void Vst3Plugin::SetParamValue(int index, double normalized) {
  IParameter* param = plug->GetParam(index);
  if (param == nullptr || !LimitNormalized(&normalized)) return;
  if (IGraphics* editor = plug->GetGUI()) editor->SetParamFromPlug(index, normalized, true);
  param->SetNormalized(normalized);
  plug->ParamChanged(index);
}

// As the VST 2 build's program selection: the edits of the program left
// stay in it.
void Vst3Plugin::SelectProgram(int index) {
  if (index < 0 || index >= plug->NPrograms() || index == plug->CurrentProgram()) return;
  plug->ModifyCurrentPreset();
  plug->ApplyProgram(index);
}

void Vst3Plugin::Render(ProcessData& data, int offset, int frames) {
  const int piece = std::max(plug->BlockSize(), 1);
  const bool wide = data.symbolicSampleSize == kSample64;
  AudioBusBuffers* bus = data.numOutputs > 0 ? data.outputs : nullptr;
  int hostChannels = 0;
  if (bus != nullptr &&
      (wide ? bus->channelBuffers64 != nullptr : bus->channelBuffers32 != nullptr))
    hostChannels = std::clamp(bus->numChannels, 0, 2);
  if (bus != nullptr) bus->silenceFlags = 0;
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, piece);
    const int at = offset + done;
    ConnectInputs(data, at, n);
    double* in[4] = {};
    for (int k = 0; k < 4 && k < plug->NInChannels(); ++k)
      in[k] = plug->InChannel(k)->scratch.data();
    double* out[2] = {plug->OutChannel(0)->scratch.data(), plug->OutChannel(1)->scratch.data()};
    // A stereo 64-bit output is written in place; anything else goes
    // through the scratch buffers.
    const bool direct = wide && hostChannels == 2 && bus->channelBuffers64[0] != nullptr &&
                        bus->channelBuffers64[1] != nullptr;
    if (direct) {
      out[0] = bus->channelBuffers64[0] + at;
      out[1] = bus->channelBuffers64[1] + at;
    }
    plug->ProcessBlock(in, out, n);
    if (!direct && hostChannels > 0) {
      for (int c = 0; c < hostChannels; ++c) {
        const bool mono = hostChannels == 1;
        if (wide) {
          double* destination = bus->channelBuffers64[c];
          if (destination == nullptr) continue;
          for (int f = 0; f < n; ++f)
            destination[at + f] = mono ? 0.5 * (out[0][f] + out[1][f]) : out[c][f];
        } else {
          float* destination = bus->channelBuffers32[c];
          if (destination == nullptr) continue;
          for (int f = 0; f < n; ++f)
            destination[at + f] = HostFloat(mono ? 0.5 * (out[0][f] + out[1][f]) : out[c][f]);
        }
      }
    }
    done += n;
  }
}

// Each input bus feeds a pair of the plug-in's inputs; a mono bus feeds both.
// What the host does not supply reads as silence.
void Vst3Plugin::ConnectInputs(ProcessData& data, int offset, int frames) {
  const bool wide = data.symbolicSampleSize == kSample64;
  for (int k = 0; k < plug->NInChannels(); ++k) {
    double* scratch = plug->InChannel(k)->scratch.data();
    const int b = k / 2;
    const AudioBusBuffers* bus =
        b < kNumInputBuses && inputBusActive[b] && b < data.numInputs && data.inputs != nullptr
            ? &data.inputs[b]
            : nullptr;
    const int channels = bus != nullptr ? bus->numChannels : 0;
    const int c = std::min(k % 2, channels - 1);
    if (bus != nullptr && channels > 0 && wide && bus->channelBuffers64 != nullptr &&
        bus->channelBuffers64[c] != nullptr) {
      std::copy_n(bus->channelBuffers64[c] + offset, frames, scratch);
    } else if (bus != nullptr && channels > 0 && !wide && bus->channelBuffers32 != nullptr &&
               bus->channelBuffers32[c] != nullptr) {
      const float* source = bus->channelBuffers32[c] + offset;
      for (int f = 0; f < frames; ++f) scratch[f] = source[f];
    } else {
      std::fill_n(scratch, frames, 0.0);
    }
  }
}

void Vst3Plugin::ReportChangedValues(IParameterChanges* changes) {
  if (changes == nullptr) return;
  auto report = [changes](ParamID id, double value) {
    int32 index = 0;
    IParamValueQueue* queue = changes->addParameterData(id, index);
    return queue != nullptr && queue->addPoint(0, value, index) == kResultOk;
  };
  for (int i = 0; i < plug->NParams(); ++i) {
    const double value = plug->GetParam(i)->ToNormalized();
    if (value != reportedValue[i] && report(static_cast<ParamID>(i), value))
      reportedValue[i] = value;
  }
  const int program = plug->CurrentProgram();
  if (program != reportedProgram &&
      report(kProgramParamId, static_cast<double>(program) / (plug->NPrograms() - 1)))
    reportedProgram = program;
}

void Vst3Plugin::SyncReportedValues() {
  for (int i = 0; i < plug->NParams(); ++i) reportedValue[i] = plug->GetParam(i)->ToNormalized();
  reportedProgram = plug->CurrentProgram();
}

void Vst3Plugin::RestartWithNewValues() {
  SyncReportedValues();
  if (handler != nullptr && !tInProcess && !loading) handler->restartComponent(kParamValuesChanged);
}

// ---- Edit controller ----

tresult VST3_CALL Vst3Plugin::setComponentState(IBStream* /*state*/) {
  // This object is the component: the state is already loaded.
  return kResultOk;
}

int32 VST3_CALL Vst3Plugin::getParameterCount() { return plug->NParams() + 1 + kNumMidiParams; }

tresult VST3_CALL Vst3Plugin::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  info = {};
  info.unitId = kRootUnitId;
  if (paramIndex < plug->NParams()) {
    IParameter param = *plug->GetParam(paramIndex);
    info.id = static_cast<ParamID>(paramIndex);
    ToUtf16(param.Name(), info.title, 128);
    ToUtf16(param.Name(), info.shortTitle, 128);
    ToUtf16(param.Label(), info.units, 128);
    info.flags = ParameterInfo::kCanAutomate;
    if (param.GetKind() == IParameter::kSwitch || param.GetKind() == IParameter::kList) {
      info.stepCount =
          param.Step() > 0.0
              ? static_cast<int32>(std::lround((param.Max() - param.Min()) / param.Step()))
              : 0;
      info.flags |= ParameterInfo::kIsList;
    }
    param.SetClamped(param.Default());
    info.defaultNormalizedValue = param.ToNormalized();
    return kResultOk;
  }
  const int slot = paramIndex - plug->NParams() - 1;
  if (slot < 0) {
    // The program selector: not automatable, it would fight the automation
    // of the parameters it sets.
    info.id = kProgramParamId;
    ToUtf16("Program", info.title, 128);
    ToUtf16("Program", info.shortTitle, 128);
    info.stepCount = plug->NPrograms() - 1;
    info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kIsList;
    return kResultOk;
  }
  char title[32];
  if (slot == kPitchBendSlot) {
    info.id = kFirstMidiParamId + kPitchBend;
    CopyText(title, sizeof title, "Pitch Bend");
    info.stepCount = kPitchBendMax;
    info.defaultNormalizedValue = 0.5;
  } else {
    info.id = kFirstMidiParamId + static_cast<ParamID>(slot);
    std::snprintf(title, sizeof title, "MIDI CC %d", slot);
    info.stepCount = 127;
  }
  ToUtf16(title, info.title, 128);
  ToUtf16(title, info.shortTitle, 128);
  info.flags = ParameterInfo::kIsHidden;
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                    String128 string) {
  if (string == nullptr || std::isnan(valueNormalized)) return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  char text[IParameter::kTextSize] = {};
  if (id < static_cast<ParamID>(plug->NParams())) {
    // The text of the value the parameter would really take.
    IParameter param = *plug->GetParam(static_cast<int>(id));
    param.SetNormalized(std::clamp(valueNormalized, 0.0, 1.0));
    param.DisplayText(param.Value(), false, true, text);
    text[sizeof text - 1] = '\0';
  } else if (id == kProgramParamId) {
    CopyText(text, sizeof text, plug->ProgramName(ListEntry(valueNormalized, plug->NPrograms())));
  } else if (MidiSlot(id) >= 0) {
    std::snprintf(text, sizeof text, "%d",
                  static_cast<int>(normalizedParamToPlain(id, valueNormalized)));
  } else {
    return kInvalidArgument;
  }
  ToUtf16(text, string, 128);
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getParamValueByString(ParamID id, TChar* string,
                                                    ParamValue& valueNormalized) {
  if (string == nullptr) return kInvalidArgument;
  const std::string text = FromUtf16(string, 128);
  ScopedLock guard(plug->Lock());
  if (id < static_cast<ParamID>(plug->NParams())) {
    IParameter param = *plug->GetParam(static_cast<int>(id));
    double plain = 0.0;
    if (!param.ValueFromText(text.c_str(), &plain)) return kResultFalse;
    param.SetClamped(plain);
    valueNormalized = param.ToNormalized();
    return kResultOk;
  }
  if (id == kProgramParamId) {
    for (int i = 0; i < plug->NPrograms(); ++i) {
      if (text == plug->ProgramName(i)) {
        valueNormalized = static_cast<double>(i) / (plug->NPrograms() - 1);
        return kResultOk;
      }
    }
    return kResultFalse;
  }
  const int slot = MidiSlot(id);
  if (slot < 0) return kInvalidArgument;
  double plain = 0.0;
  if (!ParseLeadingNumber(text.c_str(), &plain) || !std::isfinite(plain)) return kResultFalse;
  valueNormalized = plainParamToNormalized(id, plain);
  return kResultOk;
}

ParamValue VST3_CALL Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  if (!LimitNormalized(&valueNormalized)) return 0.0;
  ScopedLock guard(plug->Lock());
  if (id < static_cast<ParamID>(plug->NParams())) {
    IParameter param = *plug->GetParam(static_cast<int>(id));
    param.SetNormalized(valueNormalized);
    return param.Value();
  }
  if (id == kProgramParamId) return ListEntry(valueNormalized, plug->NPrograms());
  const int slot = MidiSlot(id);
  if (slot == kPitchBendSlot) return std::lround(valueNormalized * kPitchBendMax);
  return slot >= 0 ? MidiByte(valueNormalized) : 0.0;
}

ParamValue VST3_CALL Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  if (std::isnan(plainValue)) return 0.0;
  ScopedLock guard(plug->Lock());
  if (id < static_cast<ParamID>(plug->NParams())) {
    IParameter param = *plug->GetParam(static_cast<int>(id));
    param.SetClamped(plainValue);
    return param.ToNormalized();
  }
  if (id == kProgramParamId) return std::clamp(plainValue / (plug->NPrograms() - 1), 0.0, 1.0);
  const int slot = MidiSlot(id);
  if (slot == kPitchBendSlot) return std::clamp(plainValue / kPitchBendMax, 0.0, 1.0);
  return slot >= 0 ? std::clamp(plainValue / 127.0, 0.0, 1.0) : 0.0;
}

ParamValue VST3_CALL Vst3Plugin::getParamNormalized(ParamID id) {
  ScopedLock guard(plug->Lock());
  if (id < static_cast<ParamID>(plug->NParams()))
    return plug->GetParam(static_cast<int>(id))->ToNormalized();
  if (id == kProgramParamId)
    return static_cast<double>(plug->CurrentProgram()) / (plug->NPrograms() - 1);
  const int slot = MidiSlot(id);
  return slot >= 0 ? midiValue[slot] : 0.0;
}

// While the plug-in processes, the values it plays come through the process
// call alone; the host sends each change there too, and this later call from
// the user-interface thread would only move the sound off its sample.
tresult VST3_CALL Vst3Plugin::setParamNormalized(ParamID id, ParamValue value) {
  if (!LimitNormalized(&value)) return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  if (id < static_cast<ParamID>(plug->NParams())) {
    const int index = static_cast<int>(id);
    if (!processing) SetParamValue(index, value);
    reportedValue[index] = plug->GetParam(index)->ToNormalized();
    return kResultOk;
  }
  if (id == kProgramParamId) {
    const int program = ListEntry(value, plug->NPrograms());
    if (program != plug->CurrentProgram()) {
      SelectProgram(program);
      RestartWithNewValues();
    }
    return kResultOk;
  }
  const int slot = MidiSlot(id);
  if (slot < 0) return kInvalidArgument;
  midiValue[slot] = value;
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::setComponentHandler(IComponentHandler* newHandler) {
  ScopedLock guard(plug->Lock());
  if (newHandler == handler) return kResultOk;
  if (newHandler != nullptr) newHandler->addRef();
  if (handler != nullptr) handler->release();
  handler = newHandler;
  return kResultOk;
}

IPlugView* VST3_CALL Vst3Plugin::createView(FIDString name) {
  if (name == nullptr || std::strcmp(name, "editor") != 0 || plug == nullptr ||
      plug->GetGUI() == nullptr) {
    return nullptr;
  }
  return new Vst3Editor(static_cast<IEditController*>(this), plug.get(), hostContext, &openView);
}

// Every channel's controllers reach the same parameters: the plug-in listens
// on all channels alike.
tresult VST3_CALL Vst3Plugin::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                          CtrlNumber midiControllerNumber,
                                                          ParamID& id) {
  if (busIndex != 0 || channel < 0 || channel >= kMidiChannels) return kResultFalse;
  const ParamID candidate = kFirstMidiParamId + static_cast<ParamID>(midiControllerNumber);
  if (midiControllerNumber < 0 || MidiSlot(candidate) < 0) return kResultFalse;
  id = candidate;
  return kResultTrue;
}

// ---- Units and the program list ----

tresult VST3_CALL Vst3Plugin::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kInvalidArgument;
  info = {};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  info.programListId = kProgramListId;
  ToUtf16("Root", info.name, 128);
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kInvalidArgument;
  info = {};
  info.id = kProgramListId;
  info.programCount = plug->NPrograms();
  ToUtf16("Programs", info.name, 128);
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getProgramName(ProgramListID listId, int32 programIndex,
                                             String128 name) {
  if (listId != kProgramListId || name == nullptr || programIndex < 0 ||
      programIndex >= plug->NPrograms())
    return kInvalidArgument;
  ScopedLock guard(plug->Lock());
  ToUtf16(plug->ProgramName(programIndex), name, 128);
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::getProgramInfo(ProgramListID /*listId*/, int32 /*programIndex*/,
                                             const char8* /*attributeId*/,
                                             String128 /*attributeValue*/) {
  return kResultFalse;
}

tresult VST3_CALL Vst3Plugin::hasProgramPitchNames(ProgramListID /*listId*/,
                                                   int32 /*programIndex*/) {
  return kResultFalse;
}

tresult VST3_CALL Vst3Plugin::getProgramPitchName(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                  int16 /*midiPitch*/, String128 /*name*/) {
  return kResultFalse;
}

tresult VST3_CALL Vst3Plugin::selectUnit(UnitID unitId) {
  return unitId == kRootUnitId ? kResultOk : kInvalidArgument;
}

tresult VST3_CALL Vst3Plugin::getUnitByBus(int32 /*type*/, int32 /*dir*/, int32 /*busIndex*/,
                                           int32 /*channel*/, UnitID& unitId) {
  unitId = kRootUnitId;
  return kResultOk;
}

tresult VST3_CALL Vst3Plugin::setUnitProgramData(int32 /*listOrUnitId*/, int32 /*programIndex*/,
                                                 IBStream* /*data*/) {
  return kNotImplemented;
}

// ---- Host interface for the plug-in ----

void Vst3Plugin::Automate(int paramIndex, float normalizedValue) {
  if (plug == nullptr || tInProcess || loading || handler == nullptr) return;
  if (const IParameter* param = plug->GetParam(paramIndex)) {
    reportedValue[paramIndex] = param->ToNormalized();
    handler->performEdit(static_cast<ParamID>(paramIndex), normalizedValue);
  }
}

void Vst3Plugin::BeginEdit(int paramIndex) {
  if (!tInProcess && handler != nullptr) handler->beginEdit(static_cast<ParamID>(paramIndex));
}

void Vst3Plugin::EndEdit(int paramIndex) {
  if (!tInProcess && handler != nullptr) handler->endEdit(static_cast<ParamID>(paramIndex));
}

// Inside a process call the changed values go out with the block instead.
void Vst3Plugin::UpdateDisplay() {
  if (plug != nullptr && !tInProcess && !loading) RestartWithNewValues();
}

bool Vst3Plugin::ResizeEditorWindow(int width, int height) {
  return openView != nullptr && openView->RequestSize(width, height);
}

void Vst3Plugin::ProductString(char* text, int size) {
  if (size > 0) CopyText(text, static_cast<std::size_t>(size), hostName);
}

// No VST 3 host asks for the VST 2 hosts' vendor-specific workarounds.
void Vst3Plugin::VendorString(char* text, int size) {
  if (size > 0) text[0] = '\0';
}

int Vst3Plugin::ProcessLevel() {
  constexpr int kRealtimeLevel = 2, kPrefetchLevel = 3, kOfflineLevel = 4;
  if (processMode == kOffline) return kOfflineLevel;
  return processMode == kPrefetch ? kPrefetchLevel : kRealtimeLevel;
}
