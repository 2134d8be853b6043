#include "PluginHost.h"

#include <dlfcn.h>

#include <cctype>
#include <cstddef>
#include <cstring>

double PluginHost::sampleRate = 44100.0;
int PluginHost::blockSize = 512;

namespace {

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr,
                                   float) {
  auto copy = [ptr](const char* text) {
    if (ptr) std::strcpy(static_cast<char*>(ptr), text);
    return 1;
  };
  switch (opcode) {
    case audioMasterVersion:
      return kVstVersion;
    case 16:  // audioMasterGetSampleRate
      return static_cast<VstIntPtr>(PluginHost::sampleRate);
    case 17:  // audioMasterGetBlockSize
      return PluginHost::blockSize;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelOffline;
    case audioMasterGetVendorString:
      return copy("Welmora");
    case audioMasterGetProductString:
      return copy("redi-render");
    case audioMasterGetVendorVersion:
      return 10101;
    default:
      return 0;
  }
}

}  // namespace

PluginHost::~PluginHost() {
  if (effect != nullptr && open) {
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
  }
  if (library != nullptr) dlclose(library);
}

bool PluginHost::Load(const std::string& libraryPath, std::string* error) {
  library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load the plug-in " + libraryPath + (reason ? std::string(": ") + reason : "");
    return false;
  }
  using Entry = AEffect* (*)(audioMasterCallback);
  auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
  if (entry == nullptr) entry = reinterpret_cast<Entry>(dlsym(library, "main"));
  if (entry == nullptr) {
    *error = libraryPath + " is not a VST 2 plug-in (no VSTPluginMain)";
    return false;
  }
  effect = entry(HostCallback);
  if (effect == nullptr || effect->magic != kEffectMagic) {
    *error = "the plug-in " + libraryPath + " did not start";
    effect = nullptr;
    return false;
  }
  Dispatch(effOpen);
  open = true;
  return true;
}

VstIntPtr PluginHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginHost::Start(double rate, int frames, int connectedInputs) {
  sampleRate = rate;
  blockSize = frames;
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  Dispatch(effSetBlockSize, 0, frames);
  VstSpeakerArrangement in{}, out{};
  in.type = connectedInputs == 2 ? kSpeakerArrStereo : kSpeakerArrUserDefined;
  in.numChannels = connectedInputs;
  out.type = kSpeakerArrStereo;
  out.numChannels = 2;
  Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
}

void PluginHost::Resume() { Dispatch(effMainsChanged, 0, 1); }
void PluginHost::Suspend() { Dispatch(effMainsChanged, 0, 0); }

std::string PluginHost::Text(VstInt32 opcode, VstInt32 index) {
  char text[256] = {};
  Dispatch(opcode, index, 0, text);
  text[sizeof text - 1] = '\0';
  return text;
}

std::string PluginHost::EffectName() { return Text(effGetEffectName, 0); }
std::string PluginHost::ParamName(int index) { return Text(effGetParamName, index); }
std::string PluginHost::ParamDisplay(int index) { return Text(effGetParamDisplay, index); }
std::string PluginHost::ParamLabel(int index) { return Text(effGetParamLabel, index); }
std::string PluginHost::ProgramName(int index) { return Text(effGetProgramNameIndexed, index); }

int PluginHost::FindParam(const std::string& name) {
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  int match = -1;
  for (int i = 0; i < NumParams(); ++i) {
    const std::string candidate = ParamName(i);
    if (candidate == name) return i;
    if (match < 0 && lower(candidate) == lower(name)) match = i;
  }
  return match;
}

bool PluginHost::IsStepped(int index) { return Dispatch(effVendorSpecific, 8, index) == 0xBEEF; }

std::string PluginHost::DisplayOf(int index, float normalized) {
  char text[256] = {};
  Dispatch(effVendorSpecific, 7, index, text, normalized);
  text[sizeof text - 1] = '\0';
  return text;
}

bool PluginHost::SetFromText(int index, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return Dispatch(effString2Parameter, index, 0, buffer.data()) != 0;
}

void PluginHost::SetProgram(int index) { Dispatch(effSetProgram, 0, index); }

void PluginHost::SetProgramName(const std::string& name) {
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  Dispatch(effSetProgramName, 0, 0, buffer.data());
}

std::vector<uint8_t> PluginHost::BankChunk() {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool PluginHost::SetBankChunk(std::vector<uint8_t> chunk) {
  return Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()) != 0;
}

void PluginHost::Process(float** inputs, float** outputs, int frames, int64_t start,
                         const std::vector<MidiEvent>& events, std::size_t* nextEvent) {
  midiEvents.clear();
  while (*nextEvent < events.size() && events[*nextEvent].frame < start + frames) {
    const MidiEvent& e = events[*nextEvent];
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = sizeof(VstMidiEvent);
    m.deltaFrames = static_cast<VstInt32>(e.frame > start ? e.frame - start : 0);
    m.midiData[0] = static_cast<char>(e.status);
    m.midiData[1] = static_cast<char>(e.data1);
    m.midiData[2] = static_cast<char>(e.data2);
    midiEvents.push_back(m);
    ++*nextEvent;
  }
  if (!midiEvents.empty()) {
    // VstEvents ends in a variable-length array of pointers.
    eventList.assign(sizeof(VstEvents) + midiEvents.size() * sizeof(VstEvent*), 0);
    auto* list = reinterpret_cast<VstEvents*>(eventList.data());
    list->numEvents = static_cast<VstInt32>(midiEvents.size());
    auto** slots = reinterpret_cast<VstEvent**>(eventList.data() + offsetof(VstEvents, events));
    for (std::size_t i = 0; i < midiEvents.size(); ++i)
      slots[i] = reinterpret_cast<VstEvent*>(&midiEvents[i]);
    Dispatch(effProcessEvents, 0, 0, list);
  }
  effect->processReplacing(effect, inputs, outputs, frames);
}
