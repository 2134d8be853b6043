#include "framework/IPlugVST.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "editor/IGraphics.h"
#include "framework/Text.h"

namespace {

constexpr VstIntPtr kIdentifyAnswer = 0x4E764566;  // 'NvEf'
constexpr VstIntPtr kVendorSpecificYes = 0xBEEF;
constexpr VstIntPtr kCockosYes = 0xBEEF0000;
constexpr int kVendorParamDisplay = 7;
constexpr int kVendorParamIsDiscrete = 8;

// Host text buffers, terminator included. Parameter texts get the framework's
// 32-byte fields, which hosts size for (the interface's 8 is too small for any
// real display); program names get the interface's 24 characters.
constexpr std::size_t kParamTextBytes = IParameter::kTextSize;
constexpr std::size_t kProgramNameBytes = kVstMaxProgNameLen + 1;
constexpr std::size_t kEffectNameBytes = kVstMaxEffectNameLen;
constexpr std::size_t kVendorBytes = kVstMaxVendorStrLen;
constexpr std::size_t kProductBytes = kVstMaxProductStrLen;

// Hosts identified by these codes give only the first two inputs reliably.
bool HostNeedsStereoInputs(int hostCode) {
  return hostCode == 15 || hostCode == 17 || hostCode == 18 || hostCode == 20;
}

VstInt32 ArrangementType(int channels) {
  switch (channels) {
    case 0:
      return kSpeakerArrEmpty;
    case 1:
      return kSpeakerArrMono;
    case 2:
      return kSpeakerArrStereo;
    default:
      return kSpeakerArrUserDefined;
  }
}

void SetChannelCount(VstSpeakerArrangement* arrangement, int channels) {
  arrangement->type = ArrangementType(channels);
  arrangement->numChannels = channels;
}

// A sample for a single-precision host: a number the float range can hold
// (a larger double would turn into an infinity), anything else silence.
float HostFloat(double x) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (!std::isfinite(x)) return 0.0f;
  return static_cast<float>(std::clamp(x, -kLargest, kLargest));
}

IPlugVST* PlugOf(AEffect* effect) {
  return effect != nullptr ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

}  // namespace

IPlugVST::IPlugVST(IHost* host, const Identity& identity) : IPlugBase(host, identity) {
  effect.magic = kEffectMagic;
  effect.dispatcher = VSTDispatcher;
  effect.process = ProcessAccumulating;
  effect.setParameter = SetParameter;
  effect.getParameter = GetParameter;
  effect.numPrograms = NPrograms();
  effect.numParams = NParams();
  effect.numInputs = NInChannels();
  effect.numOutputs = NOutChannels();
  effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (doesChunks) effect.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) effect.flags |= effFlagsCanMono;
  effect.initialDelay = latency;
  effect.ioRatio = 1.0f;
  effect.object = this;
  effect.uniqueID = UniqueId();
  effect.version = DecimalVersion();
  effect.processReplacing = ProcessReplacing;
  effect.processDoubleReplacing = ProcessDoubleReplacing;

  SetChannelCount(&inputArrangement, NInChannels());
  SetChannelCount(&outputArrangement, NOutChannels());
  for (int i = 0; i < NInChannels(); ++i) InChannel(i)->connected = true;
  for (int i = 0; i < NOutChannels(); ++i) OutChannel(i)->connected = true;
  ChangeBlockSize(1024);

  vstHost = dynamic_cast<VSTHost*>(host);
  if (vstHost != nullptr) vstHost->Bind(&effect);
}

IPlugVST::~IPlugVST() = default;

void IPlugVST::AdoptHost(std::unique_ptr<VSTHost> newHost) { ownedHost = std::move(newHost); }

// ---- Operations for the plug-in class ----

void IPlugVST::HostSpecificSetup() {
  if (hostSetupDone) return;
  hostSetupDone = true;
  if (HostNeedsStereoInputs(HostKind())) LimitToStereoInputs();
  effect.numInputs = NInChannels();
  inputArrangement.numChannels = NInChannels();
  effect.numOutputs = NOutChannels();
  outputArrangement.numChannels = NOutChannels();
  HostIdentified();
}

void IPlugVST::ResizeEditor(int width, int height) {
  // The host sizes windows in pixels: the editor's own at its size.
  if (editor != nullptr) {
    SetEditorRect();
  } else {
    editorRect = {0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
  }
  WindowResized();
}

void IPlugVST::AttachEditor(IGraphics* graphics) {
  ScopedLock guard(Lock());
  IPlugBase::AttachEditor(graphics);
  if (editor == nullptr) return;
  if (editor->HasNativeWindow()) effect.flags |= effFlagsHasEditor;
  SetEditorRect();
}

// The window's size in pixels, at the editor's size.
void IPlugVST::SetEditorRect() {
  if (editor == nullptr) return;
  editorRect.top = 0;
  editorRect.left = 0;
  editorRect.bottom = static_cast<VstInt16>(editor->PixelHeight());
  editorRect.right = static_cast<VstInt16>(editor->PixelWidth());
}

IGraphics* IPlugVST::HostEditor() const {
  return editor != nullptr && editor->HasNativeWindow() ? editor : nullptr;
}

void IPlugVST::SetLatencySamples(int frames) {
  latency = frames;
  effect.initialDelay = frames;
}

bool IPlugVST::HostTimeInfo(VstTimeInfo* info, VstInt32 filter) {
  const VstTimeInfo* hostInfo = vstHost != nullptr ? vstHost->TimeInfo(filter) : nullptr;
  if (hostInfo == nullptr || info == nullptr) return false;
  *info = *hostInfo;
  return true;
}

double IPlugVST::HostSamplePosition() {
  VstTimeInfo info;
  return HostTimeInfo(&info, 0) ? info.samplePos : 0.0;
}

double IPlugVST::HostTempo() {
  VstTimeInfo info;
  if (!HostTimeInfo(&info, kVstTempoValid) || (info.flags & kVstTempoValid) == 0) return 0.0;
  return info.tempo;
}

bool IPlugVST::HostTimeSignature(int* numerator, int* denominator) {
  VstTimeInfo info;
  if (!HostTimeInfo(&info, kVstTimeSigValid) || (info.flags & kVstTimeSigValid) == 0) return false;
  if (numerator != nullptr) *numerator = info.timeSigNumerator;
  if (denominator != nullptr) *denominator = info.timeSigDenominator;
  return true;
}

void IPlugVST::WantMidi() {
  if (doesMidi && vstHost != nullptr) vstHost->WantMidi();
}

// ---- Callbacks ----

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = PlugOf(effect);
  if (plug == nullptr) return 0;
  if (opcode == effClose) {
    // Wait for any call in progress, then destroy without holding the lock
    // that lives inside the object.
    plug->Lock().Lock();
    plug->Lock().Unlock();
    delete plug;
    return 0;
  }
  if (opcode == effEditIdle && plug->GetGUI() != nullptr) {
    // The editor's window events run here, outside the plug-in lock: a menu or
    // dialog stays open as long as the user takes, and the audio thread must
    // not wait for it. The editor locks where it touches shared state, as it
    // does in a system's own window procedure.
    plug->GetGUI()->OnHostIdle();
  }
  ScopedLock guard(plug->Lock());
  return plug->Dispatch(opcode, index, value, ptr, opt);
}

void VSTCALLBACK IPlugVST::ProcessAccumulating(AEffect* effect, float** inputs, float** outputs,
                                               VstInt32 frames) {
  if (IPlugVST* plug = PlugOf(effect)) plug->ProcessFloat(inputs, outputs, frames, true);
}

void VSTCALLBACK IPlugVST::ProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                            VstInt32 frames) {
  if (IPlugVST* plug = PlugOf(effect)) plug->ProcessFloat(inputs, outputs, frames, false);
}

void VSTCALLBACK IPlugVST::ProcessDoubleReplacing(AEffect* effect, double** inputs,
                                                  double** outputs, VstInt32 frames) {
  if (IPlugVST* plug = PlugOf(effect)) plug->ProcessDouble(inputs, outputs, frames);
}

void VSTCALLBACK IPlugVST::SetParameter(AEffect* effect, VstInt32 index, float value) {
  if (IPlugVST* plug = PlugOf(effect)) plug->HostSetParameter(index, value);
}

float VSTCALLBACK IPlugVST::GetParameter(AEffect* effect, VstInt32 index) {
  IPlugVST* plug = PlugOf(effect);
  return plug != nullptr ? plug->HostGetParameter(index) : 0.0f;
}

// ---- Dispatcher ----

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      HostSpecificSetup();
      NotifyAllParamsChanged();
      return 0;
    case effSetProgram:
      return SetProgram(value);
    case effGetProgram:
      return CurrentProgram();
    case effSetProgramName:
      return SetProgramName(text);
    case effGetProgramName:
      if (text != nullptr) CopyText(text, kProgramNameBytes, ProgramName(CurrentProgram()));
      return 0;
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
      return DispatchParameterText(opcode, index, text);
    case effSetSampleRate:
      return SetSampleRate(opt);
    case effSetBlockSize:
      return SetBlockSize(value);
    case effMainsChanged:
      Activate(value != 0);
      if (value == 0) ResetState();
      return 0;
    case effEditGetRect:
      if (ptr == nullptr || HostEditor() == nullptr) return 0;
      if (!editor->WindowIsOpen()) PrepareEditorSize();
      SetEditorRect();
      *static_cast<ERect**>(ptr) = &editorRect;
      return 1;
    case effEditOpen:
      if (HostEditor() == nullptr) return 0;
      PrepareEditorSize();
      SetEditorRect();
      if (!editor->OpenWindow(ptr)) return 0;
      EditorOpened();
      return 1;
    case effEditClose:
      if (HostEditor() == nullptr) return 0;
      EditorClosed();
      editor->CloseWindow();
      return 1;
    case effEditIdle:
    case effIdle:
      IdleHook();
      return 0;
    case effIdentify:
      return kIdentifyAnswer;
    case effGetChunk: {
      if (ptr == nullptr) return 0;
      const uint8_t* data = nullptr;
      const int size = HostGetChunk(index == 0, &data);
      if (size <= 0 || data == nullptr) return 0;
      *static_cast<void**>(ptr) = const_cast<uint8_t*>(data);
      return size;
    }
    case effSetChunk:
      return SetChunk(index == 0, ptr, value);
    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      if (GetParam(index) == nullptr) return 0;
      return text == nullptr || HostSetParameterFromText(index, text) ? 1 : 0;
    case effGetProgramNameIndexed:
      if (text == nullptr) return 0;
      CopyText(text, kProgramNameBytes,
               index >= 0 && index < NPrograms() ? ProgramName(index) : "");
      return text[0] != '\0' ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties:
      return PinProperties(opcode == effGetInputProperties, index,
                           static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return isInstrument ? kPlugCategSynth : kPlugCategEffect;
    case effSetSpeakerArrangement:
      return SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value),
                                   static_cast<const VstSpeakerArrangement*>(ptr));
    case effGetEffectName:
      if (text == nullptr) return 0;
      CopyText(text, kEffectNameBytes, EffectName());
      return 1;
    case effGetVendorString:
      if (text == nullptr) return 0;
      CopyText(text, kVendorBytes, VendorName());
      return 1;
    case effGetProductString:
      if (text == nullptr) return 0;
      CopyText(text, kProductBytes, ProductName());
      return 1;
    case effGetVendorVersion:
      return DecimalVersion();
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(text);
    case effGetTailSize:
      return tailSize;
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName:
      return GetMidiKeyName(static_cast<::MidiKeyName*>(ptr));
    case effGetSpeakerArrangement:
      if (value != 0) *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement;
      if (ptr != nullptr) *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement;
      return 1;
    default:
      return 0;
  }
}

VstIntPtr IPlugVST::DispatchParameterText(VstInt32 opcode, VstInt32 index, char* text) {
  const IParameter* param = GetParam(index);
  if (param == nullptr || text == nullptr) return 0;
  if (opcode == effGetParamLabel) {
    CopyText(text, kParamTextBytes, param->LabelForHost());
  } else if (opcode == effGetParamName) {
    CopyText(text, kParamTextBytes, param->Name());
  } else {
    char display[IParameter::kTextSize] = {};
    param->DisplayText(param->Value(), false, true, display);
    display[sizeof display - 1] = '\0';
    CopyText(text, kParamTextBytes, display);
  }
  return 0;
}

VstIntPtr IPlugVST::SetProgram(VstIntPtr index) {
  if (index < 0 || index >= NPrograms()) return 0;
  ModifyCurrentPreset();
  ApplyProgram(static_cast<int>(index));
  return 0;
}

VstIntPtr IPlugVST::SetProgramName(const char* name) {
  if (name == nullptr) return 0;
  char bounded[IProgram::kNameSize];
  CopyText(bounded, sizeof bounded, name);
  ModifyCurrentPreset(bounded);
  ProgramChangedByHost();
  return 0;
}

VstIntPtr IPlugVST::SetSampleRate(float rate) {
  // A rate the engine cannot run at is refused rather than applied.
  if (!(rate > 0.0f) || !std::isfinite(rate)) return 0;
  ChangeSampleRate(rate);
  ResetState();
  return 0;
}

VstIntPtr IPlugVST::SetBlockSize(VstIntPtr frames) {
  // The process callbacks need room for at least one frame per piece.
  if (frames <= 0 || frames > INT_MAX) return 0;
  ChangeBlockSize(static_cast<int>(frames));
  ResetState();
  return 0;
}

VstIntPtr IPlugVST::SetChunk(bool isBank, const void* data, VstIntPtr size) {
  if (data == nullptr || size <= 0 || size > INT_MAX) return 0;
  return HostSetChunk(isBank, static_cast<const uint8_t*>(data), static_cast<int>(size));
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (events == nullptr) return 0;
  // The list is declared with two entries but holds numEvents of them: read
  // it through a pointer to the first, not as the declared array.
  VstEvent* const* list = &events->events[0];
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = list[i];
    if (event == nullptr) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      IMidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<uint8_t>(midi->midiData[2]);
      HandleMidiMessage(message);
    } else if (event->type == kVstSysExType) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      if (sysex->sysexDump == nullptr || sysex->dumpBytes < 0) continue;
      ISysExMessage message;
      message.offset = sysex->deltaFrames;
      message.size = sysex->dumpBytes;
      message.data = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      HandleSysEx(message);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::PinProperties(bool isInput, int index, VstPinProperties* pin) {
  const int count = isInput ? NInChannels() : NOutChannels();
  if (pin == nullptr || index < 0 || index >= count) return 0;
  pin->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) pin->flags |= kVstPinIsStereo;
  const std::string& label = isInput ? InChannel(index)->label : OutChannel(index)->label;
  if (!label.empty()) {
    CopyText(pin->label, sizeof pin->label, label.c_str());
  } else {
    std::snprintf(pin->label, sizeof pin->label, isInput ? "Input %d" : "Output %d", index + 1);
  }
  return 1;
}

VstIntPtr IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* inputs,
                                          const VstSpeakerArrangement* outputs) {
  if (inputs != nullptr) {
    for (int i = 0; i < NInChannels(); ++i) {
      IInputChannel* channel = InChannel(i);
      channel->connected = i < inputs->numChannels;
      if (!channel->connected) *channel->slot = channel->scratch.data();
    }
  }
  if (outputs != nullptr) {
    for (int i = 0; i < NOutChannels(); ++i) {
      IOutputChannel* channel = OutChannel(i);
      channel->connected = i < outputs->numChannels;
      if (!channel->connected) *channel->slot = channel->scratch.data();
    }
  }
  return 1;
}

VstIntPtr IPlugVST::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  const IParameter* param =
      value >= 0 && value < NParams() ? GetParam(static_cast<int>(value)) : nullptr;
  if (param == nullptr) return 0;
  if (index == kVendorParamDisplay && ptr != nullptr) {
    char display[IParameter::kTextSize] = {};
    param->DisplayText(opt, true, true, display);
    display[sizeof display - 1] = '\0';
    CopyText(static_cast<char*>(ptr), kParamTextBytes, display);
    return kVendorSpecificYes;
  }
  if (index == kVendorParamIsDiscrete && param->GetKind() != IParameter::kContinuous) {
    return kVendorSpecificYes;
  }
  return 0;
}

VstIntPtr IPlugVST::CanDo(const char* text) const {
  if (text == nullptr) return 0;
  if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
  static const char* const kMidiAbilities[] = {"sendVstEvents", "sendVstMidiEvent",
                                               "receiveVstEvents", "receiveVstMidiEvent"};
  for (const char* ability : kMidiAbilities) {
    if (std::strcmp(text, ability) == 0) return doesMidi ? 1 : 0;
  }
  if (std::strcmp(text, "hasCockosExtensions") == 0) return kCockosYes;
  if (std::strcmp(text, "hasCockosViewAsConfig") == 0) return kCockosYes;
  return 0;
}

VstIntPtr IPlugVST::GetMidiKeyName(::MidiKeyName* record) {
  if (record == nullptr) return 0;
  record->keyName[0] = '\0';
  const bool named = MidiKeyName(record->thisKeyNumber, record->keyName);
  record->keyName[sizeof record->keyName - 1] = '\0';
  return named ? 1 : 0;
}

// ---- Audio ----

void IPlugVST::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate) {
  ScopedLock guard(Lock());
  WantMidi();
  const int piece = blockSize;
  for (int done = 0; piece > 0 && done < frames;) {
    const int n = std::min(frames - done, piece);
    ConnectFloatBuffers(inputs, outputs, done, n);
    ProcessBlock(InputPointers(), OutputPointers(), n);
    WriteFloatOutputs(n, accumulate);
    done += n;
  }
}

void IPlugVST::ConnectFloatBuffers(float** inputs, float** outputs, int offset, int frames) {
  int hostBuffer = 0;
  for (int i = 0; i < NInChannels(); ++i) {
    IInputChannel* channel = InChannel(i);
    *channel->slot = channel->scratch.data();
    if (!channel->connected) continue;
    const float* source = inputs != nullptr ? inputs[hostBuffer] : nullptr;
    ++hostBuffer;
    double* scratch = channel->scratch.data();
    for (int f = 0; f < frames; ++f) scratch[f] = source != nullptr ? source[offset + f] : 0.0;
  }
  hostBuffer = 0;
  for (int i = 0; i < NOutChannels(); ++i) {
    IOutputChannel* channel = OutChannel(i);
    *channel->slot = channel->scratch.data();
    channel->hostDestination = nullptr;
    if (!channel->connected) continue;
    float* destination = outputs != nullptr ? outputs[hostBuffer] : nullptr;
    ++hostBuffer;
    if (destination != nullptr) channel->hostDestination = destination + offset;
  }
}

void IPlugVST::WriteFloatOutputs(int frames, bool accumulate) {
  for (int i = 0; i < NOutChannels(); ++i) {
    IOutputChannel* channel = OutChannel(i);
    float* destination = channel->hostDestination;
    if (!channel->connected || destination == nullptr) continue;
    const double* scratch = channel->scratch.data();
    if (accumulate) {
      // Summed in double: the same float as a float addition, but a sum
      // beyond the float range is caught instead of becoming infinite.
      for (int f = 0; f < frames; ++f) {
        destination[f] = HostFloat(double{destination[f]} + double{HostFloat(scratch[f])});
      }
    } else {
      for (int f = 0; f < frames; ++f) destination[f] = HostFloat(scratch[f]);
    }
  }
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int frames) {
  ScopedLock guard(Lock());
  WantMidi();
  const int piece = blockSize;
  for (int done = 0; piece > 0 && done < frames;) {
    const int n = std::min(frames - done, piece);
    ConnectDoubleBuffers(inputs, outputs, done, n);
    ProcessBlock(InputPointers(), OutputPointers(), n);
    done += n;
  }
}

void IPlugVST::ConnectDoubleBuffers(double** inputs, double** outputs, int offset, int frames) {
  int hostBuffer = 0;
  for (int i = 0; i < NInChannels(); ++i) {
    IInputChannel* channel = InChannel(i);
    *channel->slot = channel->scratch.data();
    if (!channel->connected) continue;
    double* source = inputs != nullptr ? inputs[hostBuffer] : nullptr;
    ++hostBuffer;
    if (source != nullptr) {
      *channel->slot = source + offset;
    } else {
      std::fill(channel->scratch.begin(), channel->scratch.begin() + frames, 0.0);
    }
  }
  hostBuffer = 0;
  for (int i = 0; i < NOutChannels(); ++i) {
    IOutputChannel* channel = OutChannel(i);
    *channel->slot = channel->scratch.data();
    if (!channel->connected) continue;
    double* destination = outputs != nullptr ? outputs[hostBuffer] : nullptr;
    ++hostBuffer;
    if (destination != nullptr) *channel->slot = destination + offset;
  }
}
