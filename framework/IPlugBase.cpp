#include "framework/IPlugBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/IGraphics.h"
#include "framework/IHost.h"
#include "framework/Text.h"

namespace {

// Larger channel counts in a configuration text are taken as malformed.
constexpr int kMaxChannels = 64;
// Larger block sizes are refused rather than allocated.
constexpr int kMaxBlockSize = 1 << 20;

// Reads a non-negative decimal count as "%d" would (leading white space, an
// optional plus sign, digits). Returns the position after it, or null.
const char* ReadCount(const char* p, const char* end, int* count) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p < end && *p == '+') ++p;
  if (p == end || *p < '0' || *p > '9') return nullptr;
  int n = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + (*p - '0');
    if (n > kMaxChannels) return nullptr;
  }
  *count = n;
  return p;
}

// One "inputs-outputs" pair; anything that does not read counts as 0-0.
IChannelPair ReadChannelPair(const char* begin, const char* end) {
  IChannelPair pair;
  int inputs = 0;
  int outputs = 0;
  const char* p = ReadCount(begin, end, &inputs);
  if (p == nullptr || p == end || *p != '-') return pair;
  if (ReadCount(p + 1, end, &outputs) == nullptr) return pair;
  pair.inputs = inputs;
  pair.outputs = outputs;
  return pair;
}

// Editor values outside 0...1 are limited; NaN has no meaning and is refused.
bool LimitNormalized(double* x) {
  if (std::isnan(*x)) return false;
  *x = std::clamp(*x, 0.0, 1.0);
  return true;
}

}  // namespace

IPlugBase::IPlugBase(IHost* hostInterface, const Identity& identity)
    : host(hostInterface),
      uniqueId(identity.uniqueId),
      version(identity.version),
      params(kNumParams),
      programs(kNumPrograms) {
  CopyText(effectName, sizeof effectName, identity.effectName);
  CopyText(productName, sizeof productName, identity.productName);
  CopyText(vendorName, sizeof vendorName, identity.vendorName);
  BuildChannels(identity.channelIO);
}

// The editor goes first: its controls refer to the parameters. Nothing of the
// derived classes is left at this point, so an editor must not call plug-in
// hooks while it is destroyed.
IPlugBase::~IPlugBase() { delete editor; }

void IPlugBase::BuildChannels(const char* channelIO) {
  int maxInputs = 0;
  int maxOutputs = 0;
  if (channelIO != nullptr && channelIO[0] != '\0') {
    const char* begin = channelIO;
    for (;;) {
      const char* end = std::strchr(begin, ' ');
      if (end == nullptr) end = begin + std::strlen(begin);
      const IChannelPair pair = ReadChannelPair(begin, end);
      channelPairs.push_back(pair);
      maxInputs = std::max(maxInputs, pair.inputs);
      maxOutputs = std::max(maxOutputs, pair.outputs);
      if (*end == '\0') break;
      begin = end + 1;
    }
  }
  inputPointers.assign(static_cast<size_t>(maxInputs), nullptr);
  outputPointers.assign(static_cast<size_t>(maxOutputs), nullptr);
  inChannels.resize(static_cast<size_t>(maxInputs));
  outChannels.resize(static_cast<size_t>(maxOutputs));
  for (int i = 0; i < maxInputs; ++i) inChannels[i].slot = &inputPointers[i];
  for (int i = 0; i < maxOutputs; ++i) outChannels[i].slot = &outputPointers[i];
}

// ---- Parameters ----

IParameter* IPlugBase::GetParam(int index) {
  if (index < 0 || index >= NParams()) return nullptr;
  return &params[static_cast<size_t>(index)];
}

const IParameter* IPlugBase::GetParam(int index) const {
  if (index < 0 || index >= NParams()) return nullptr;
  return &params[static_cast<size_t>(index)];
}

void IPlugBase::SetParamFromEditor(int index, double normalizedValue) {
  ScopedLock guard(lock);
  IParameter* param = GetParam(index);
  if (param == nullptr || !LimitNormalized(&normalizedValue)) return;
  param->SetNormalized(normalizedValue);
  ReportParamChange(index, normalizedValue);
  ParamChanged(index);
}

void IPlugBase::BeginParamGesture(int index) {
  if (host != nullptr) host->BeginEdit(index);
}

void IPlugBase::EndParamGesture(int index) {
  if (host != nullptr) host->EndEdit(index);
}

void IPlugBase::ReportParamChange(int index, double normalizedValue) {
  if (host != nullptr) host->Automate(index, static_cast<float>(normalizedValue));
}

void IPlugBase::ReportAllParams() {
  ScopedLock guard(lock);
  for (int i = 0; i < NParams(); ++i) ReportParamChange(i, params[i].ToNormalized());
}

void IPlugBase::NotifyAllParamsChanged() {
  ScopedLock guard(lock);
  BeginParamBatch();
  for (int i = 0; i < NParams(); ++i) ParamChanged(i);
  EndParamBatch();
}

void IPlugBase::RefreshParamControls() {
  if (editor == nullptr) return;
  // Callers may run outside the lock (the band tools report after their
  // edits); the audio thread changes values through learned controllers.
  ScopedLock guard(lock);
  for (int i = 0; i < NParams(); ++i) editor->SetParamFromPlug(i, params[i].Value(), false);
}

void IPlugBase::AttachEditor(IGraphics* graphics) {
  ScopedLock guard(lock);
  if (graphics == nullptr || graphics == editor) return;
  for (int i = 0; i < NParams(); ++i) graphics->SetParamFromPlug(i, params[i].ToNormalized(), true);
  // No editor thread yet: the first values become the controls' defaults now.
  graphics->ApplyPendingParamValues();
  graphics->PrepDraw();
  delete editor;
  editor = graphics;
}

void IPlugBase::ReportProgramChange() {
  if (host != nullptr) host->UpdateDisplay();
}

float IPlugBase::HostGetParameter(int index) {
  ScopedLock guard(lock);
  const IParameter* param = GetParam(index);
  return param != nullptr ? static_cast<float>(param->ToNormalized()) : 0.0f;
}

void IPlugBase::HostSetParameter(int index, float normalizedValue) {
  ScopedLock guard(lock);
  IParameter* param = GetParam(index);
  double x = normalizedValue;
  if (param == nullptr || !LimitNormalized(&x)) return;
  if (editor != nullptr) editor->SetParamFromPlug(index, x, true);
  param->SetNormalized(x);
  ParamChanged(index);
}

bool IPlugBase::HostSetParameterFromText(int index, const char* text) {
  ScopedLock guard(lock);
  IParameter* param = GetParam(index);
  double v = 0.0;
  if (param == nullptr || !param->ValueFromText(text, &v)) return false;
  if (editor != nullptr) editor->SetParamFromPlug(index, v, false);
  param->SetClamped(v);
  ParamChanged(index);
  return true;
}

// ---- Hooks with framework behaviour ----

void IPlugBase::ProcessBlock(double** inputs, double** outputs, int frames) {
  if (outputs == nullptr || frames <= 0) return;
  const size_t bytes = static_cast<size_t>(frames) * sizeof(double);
  for (int i = 0; i < NOutChannels(); ++i) {
    double* out = outputs[i];
    if (out == nullptr) continue;
    const double* in = (inputs != nullptr && i < NInChannels()) ? inputs[i] : nullptr;
    if (in != nullptr) {
      std::memmove(out, in, bytes);
    } else {
      std::fill(out, out + frames, 0.0);
    }
  }
}

bool IPlugBase::MidiKeyName(int /*key*/, char* text) {
  if (text != nullptr) text[0] = '\0';
  return false;
}

bool IPlugBase::CompareState(const uint8_t* data, int size, int pos) const {
  const int needed = NParams() * 8;
  if (data == nullptr || pos < 0 || size < 0 || size - pos < needed) return false;
  const uint8_t* p = data + pos;
  for (const IParameter& param : params) {
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | p[b];  // little-endian
    double stored = 0.0;
    std::memcpy(&stored, &bits, sizeof stored);
    if (stored != param.Value()) return false;
    p += 8;
  }
  return true;
}

void IPlugBase::ChangeBlockSize(int frames) {
  if (frames < 0 || frames > kMaxBlockSize || frames == blockSize) return;
  // Every slot is re-pointed: an unconnected channel reads its scratch, and
  // no slot may keep the address of a freed buffer.
  for (IInputChannel& channel : inChannels) {
    channel.scratch.assign(static_cast<size_t>(frames), 0.0);
    *channel.slot = channel.scratch.data();
  }
  for (IOutputChannel& channel : outChannels) {
    channel.scratch.assign(static_cast<size_t>(frames), 0.0);
    *channel.slot = channel.scratch.data();
  }
  blockSize = frames;
}

// ---- Channels ----

bool IPlugBase::LegalIO(int inputs, int outputs) const {
  for (const IChannelPair& pair : channelPairs) {
    const bool inputsMatch = inputs < 0 || pair.inputs == inputs;
    const bool outputsMatch = outputs < 0 || pair.outputs == outputs;
    if (inputsMatch && outputsMatch) return true;
  }
  return false;
}

void IPlugBase::LimitToStereoInputs() {
  for (size_t i = 2; i < inChannels.size(); ++i) {
    inChannels[i].connected = false;
    *inChannels[i].slot = inChannels[i].scratch.data();
  }
}

bool IPlugBase::IsInputConnected(int index) const {
  if (index < 0 || index >= NInChannels()) return false;
  return inChannels[static_cast<size_t>(index)].connected;
}

IInputChannel* IPlugBase::InChannel(int index) {
  if (index < 0 || index >= NInChannels()) return nullptr;
  return &inChannels[static_cast<size_t>(index)];
}

IOutputChannel* IPlugBase::OutChannel(int index) {
  if (index < 0 || index >= NOutChannels()) return nullptr;
  return &outChannels[static_cast<size_t>(index)];
}

void IPlugBase::SetInputLabel(int index, const char* label) {
  if (IInputChannel* channel = InChannel(index)) channel->label = label != nullptr ? label : "";
}

void IPlugBase::SetOutputLabel(int index, const char* label) {
  if (IOutputChannel* channel = OutChannel(index)) channel->label = label != nullptr ? label : "";
}

// ---- Identity ----

int32_t IPlugBase::DecimalVersion() const {
  const uint32_t v = static_cast<uint32_t>(version);
  const uint32_t decimal = (v >> 16) * 10000u + ((v >> 8) & 0xFFu) * 100u + (v & 0xFFu);
  return static_cast<int32_t>(decimal);
}

bool IPlugBase::RequestEditorWindowSize(int width, int height) {
  return host != nullptr && host->ResizeEditorWindow(width, height);
}

bool IPlugBase::SendMidiToHost(const IMidiMessage& message) {
  return host != nullptr && host->SendMidi(message);
}

bool IPlugBase::SendSysExToHost(const ISysExMessage& message) {
  return host != nullptr && host->SendSysEx(message);
}
