#include "PluginHost.h"

#include <dlfcn.h>

#include <charconv>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>

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

uint32_t BigEndian32(const std::vector<uint8_t>& b, std::size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         b[at + 3];
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
  for (int i = 0; i < NumParams(); ++i)
    if (ParamName(i) == name) return i;
  return -1;
}

bool PluginHost::SetParam(int index, const std::string& text, std::string* error) {
  // Switches and lists answer the vendor-specific "is stepped" query.
  const bool stepped = Dispatch(effVendorSpecific, 8, index) == 0xBEEF;
  std::string value = text;
  if (!stepped) {
    // A plain value must be a whole number text; the plug-in itself would read
    // any text's leading number and take 0 for none.
    double v = 0.0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, v);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
      *error = "bad value '" + text + "' for \"" + ParamName(index) + "\" (expected a number)";
      return false;
    }
  }
  std::vector<char> buffer(value.begin(), value.end());
  buffer.push_back('\0');
  if (Dispatch(effString2Parameter, index, 0, buffer.data()) != 0) return true;
  if (stepped && (text == "0" || text == "1")) {
    effect->setParameter(effect, index, text == "1" ? 1.0f : 0.0f);
    return true;
  }
  *error = "bad value '" + text + "' for \"" + ParamName(index) + "\"";
  return false;
}

void PluginHost::SetProgram(int index) { Dispatch(effSetProgram, 0, index); }

bool PluginHost::LoadBankFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open the bank file " + path;
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  const bool header = bytes.size() >= 160 && std::memcmp(bytes.data(), "CcnK", 4) == 0;
  if (!header || std::memcmp(bytes.data() + 8, "FBCh", 4) != 0) {
    *error = path + " is not a REDI bank file";
    return false;
  }
  const uint32_t size = BigEndian32(bytes, 156);
  if (size == 0 || size > bytes.size() - 160) {
    *error = path + " is cut short";
    return false;
  }
  if (Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(size), bytes.data() + 160) == 0) {
    *error = "the plug-in refused the bank " + path;
    return false;
  }
  return true;
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
