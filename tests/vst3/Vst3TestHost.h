#pragma once

// A small VST 3 host of our own: the host-side objects a plug-in talks to
// (stream, parameter queues, event list, host application, component
// handler), all on the stack and without reference counting, and the
// module loader for the built bundle.

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "framework/vst3/AudioProcessor.h"
#include "framework/vst3/Component.h"
#include "framework/vst3/EditController.h"
#include "framework/vst3/Factory.h"
#include "framework/vst3/Stream.h"

namespace testhost {

using namespace vst3;

// Host objects live as long as the test that made them.
template <class Interface>
class HostObject : public Interface {
 public:
  tresult VST3_CALL queryInterface(const TUID iid, void** obj) override {
    if (FUnknown::iid.Equals(iid) || Interface::iid.Equals(iid)) {
      *obj = static_cast<Interface*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 VST3_CALL addRef() override { return ++references; }
  uint32 VST3_CALL release() override { return --references; }

  int references = 1;
};

class MemoryStream final : public HostObject<IBStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> data) : bytes(std::move(data)) {}

  tresult VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    const int64 left = static_cast<int64>(bytes.size()) - position;
    int32 n = static_cast<int32>(std::clamp<int64>(numBytes, 0, std::max<int64>(left, 0)));
    if (readPiece > 0) n = std::min(n, readPiece);
    if (n > 0) std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(n));
    position += n;
    if (numBytesRead != nullptr) *numBytesRead = n;
    return kResultOk;
  }
  tresult VST3_CALL write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    if (numBytes < 0) return kInvalidArgument;
    if (writePiece > 0) numBytes = std::min(numBytes, writePiece);
    const size_t end = static_cast<size_t>(position) + static_cast<size_t>(numBytes);
    if (bytes.size() < end) bytes.resize(end);
    std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
    position += numBytes;
    if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
    return kResultOk;
  }
  tresult VST3_CALL seek(int64 pos, int32 mode, int64* result) override {
    const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? position : bytes.size();
    if (base + pos < 0) return kInvalidArgument;
    position = base + pos;
    if (result != nullptr) *result = position;
    return kResultOk;
  }
  tresult VST3_CALL tell(int64* pos) override {
    if (pos != nullptr) *pos = position;
    return kResultOk;
  }

  std::vector<uint8_t> bytes;
  int64 position = 0;
  int32 readPiece = 0;   // when set, no read hands out more than this
  int32 writePiece = 0;  // when set, no write takes more than this
};

class ParamQueue final : public HostObject<IParamValueQueue> {
 public:
  explicit ParamQueue(ParamID id) : id(id) {}
  ParamID VST3_CALL getParameterId() override { return id; }
  int32 VST3_CALL getPointCount() override { return static_cast<int32>(points.size()); }
  tresult VST3_CALL getPoint(int32 index, int32& sampleOffset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    sampleOffset = points[static_cast<size_t>(index)].first;
    value = points[static_cast<size_t>(index)].second;
    return kResultOk;
  }
  tresult VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32& index) override {
    index = getPointCount();
    points.emplace_back(sampleOffset, value);
    return kResultOk;
  }

  ParamID id;
  std::vector<std::pair<int32, ParamValue>> points;
};

class ParamChanges final : public HostObject<IParameterChanges> {
 public:
  int32 VST3_CALL getParameterCount() override { return static_cast<int32>(queues.size()); }
  IParamValueQueue* VST3_CALL getParameterData(int32 index) override {
    return index >= 0 && index < getParameterCount() ? &queues[static_cast<size_t>(index)]
                                                     : nullptr;
  }
  IParamValueQueue* VST3_CALL addParameterData(const ParamID& id, int32& index) override {
    for (size_t i = 0; i < queues.size(); ++i) {
      if (queues[i].id == id) {
        index = static_cast<int32>(i);
        return &queues[i];
      }
    }
    index = getParameterCount();
    queues.emplace_back(id);
    return &queues.back();
  }

  void Add(ParamID id, int32 offset, ParamValue value) {
    int32 index = 0;
    addParameterData(id, index)->addPoint(offset, value, index);
  }
  // The last value given for id, or -1 when there is none.
  double Last(ParamID id) const {
    for (const ParamQueue& queue : queues)
      if (queue.id == id && !queue.points.empty()) return queue.points.back().second;
    return -1.0;
  }

  std::deque<ParamQueue> queues;  // a deque keeps handed-out queues in place
};

class EventList final : public HostObject<IEventList> {
 public:
  int32 VST3_CALL getEventCount() override { return static_cast<int32>(events.size()); }
  tresult VST3_CALL getEvent(int32 index, Event& e) override {
    if (index < 0 || index >= getEventCount()) return kInvalidArgument;
    e = events[static_cast<size_t>(index)];
    return kResultOk;
  }
  tresult VST3_CALL addEvent(Event& e) override {
    events.push_back(e);
    return kResultOk;
  }

  void NoteOn(int32 offset, int pitch, float velocity, int channel = 0) {
    Event e = {};
    e.sampleOffset = offset;
    e.type = Event::kNoteOnEvent;
    e.noteOn.channel = static_cast<int16>(channel);
    e.noteOn.pitch = static_cast<int16>(pitch);
    e.noteOn.velocity = velocity;
    e.noteOn.noteId = -1;
    events.push_back(e);
  }
  void NoteOff(int32 offset, int pitch, int channel = 0) {
    Event e = {};
    e.sampleOffset = offset;
    e.type = Event::kNoteOffEvent;
    e.noteOff.channel = static_cast<int16>(channel);
    e.noteOff.pitch = static_cast<int16>(pitch);
    e.noteOff.noteId = -1;
    events.push_back(e);
  }

  std::vector<Event> events;
};

class HostApplication final : public HostObject<IHostApplication> {
 public:
  tresult VST3_CALL getName(String128 name) override {
    const char16_t text[] = u"REDI Test Host";
    std::copy(std::begin(text), std::end(text), name);
    return kResultOk;
  }
  tresult VST3_CALL createInstance(TUID /*cid*/, TUID /*iid*/, void** obj) override {
    *obj = nullptr;
    return kNotImplemented;
  }
};

class ComponentHandler final : public HostObject<IComponentHandler> {
 public:
  tresult VST3_CALL beginEdit(ParamID id) override {
    edits.push_back({'b', id, 0.0});
    return kResultOk;
  }
  tresult VST3_CALL performEdit(ParamID id, ParamValue value) override {
    edits.push_back({'p', id, value});
    return kResultOk;
  }
  tresult VST3_CALL endEdit(ParamID id) override {
    edits.push_back({'e', id, 0.0});
    return kResultOk;
  }
  tresult VST3_CALL restartComponent(int32 flags) override {
    restarts.push_back(flags);
    return kResultOk;
  }

  struct Edit {
    char kind;
    ParamID id;
    ParamValue value;
  };
  std::vector<Edit> edits;
  std::vector<int32> restarts;
};

#if defined(REDI_VST3_PLUGIN_PATH)  // test programs that load the built bundle
// The bundle's library, loaded once for the whole test program as a host
// loads it: the module's entry (ModuleEntry, InitDll on Windows) before
// anything else.
struct Module {
  void* library = nullptr;
  IPluginFactory* factory = nullptr;
  bool entered = false;

#if defined(_WIN32)
  static constexpr const char* kExitName = "ExitDll";
  static void* Open(const char* path) {
    HMODULE module = LoadLibraryA(path);
    // Under Wine a Unix path is reached through the drive that maps "/".
    if (module == nullptr && path[0] == '/')
      module = LoadLibraryA((std::string("Z:") + path).c_str());
    return reinterpret_cast<void*>(module);
  }
  void* Symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  }
  bool Enter() const {
    auto entry = reinterpret_cast<bool (*)()>(Symbol("InitDll"));
    return entry != nullptr && entry();
  }
#else
  static constexpr const char* kExitName = "ModuleExit";
  static void* Open(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
  void* Symbol(const char* name) const { return dlsym(library, name); }
  bool Enter() const {
    auto entry = reinterpret_cast<bool (*)(void*)>(Symbol("ModuleEntry"));
    return entry != nullptr && entry(library);
  }
#endif

  static Module& Get() {
    static Module module = [] {
      Module m;
      m.library = Open(REDI_VST3_PLUGIN_PATH);
      if (m.library == nullptr) return m;
      using FactoryFunction = IPluginFactory* (*)();
      auto getFactory = reinterpret_cast<FactoryFunction>(m.Symbol("GetPluginFactory"));
      m.entered = m.Enter();
      if (m.entered && getFactory != nullptr) m.factory = getFactory();
      return m;
    }();
    return module;
  }
};

template <class Interface>
Interface* Query(FUnknown* object) {
  void* found = nullptr;
  if (object == nullptr || object->queryInterface(Interface::iid.bytes, &found) != kResultOk)
    return nullptr;
  return static_cast<Interface*>(found);
}

// The first class of the factory, made and initialised, with the
// interfaces a host asks it for.
class Instance {
 public:
  Instance() {
    IPluginFactory* factory = Module::Get().factory;
    PClassInfo info = {};
    if (factory == nullptr || factory->getClassInfo(0, &info) != kResultOk) return;
    void* made = nullptr;
    if (factory->createInstance(info.cid, IComponent::iid.bytes, &made) != kResultOk) return;
    component = static_cast<IComponent*>(made);
    if (component->initialize(&application) != kResultOk) return;
    initialized = true;
    processor = Query<IAudioProcessor>(component);
    controller = Query<IEditController>(component);
    mapping = Query<IMidiMapping>(component);
    units = Query<IUnitInfo>(component);
    if (controller != nullptr) controller->setComponentHandler(&handler);
  }
  ~Instance() {
    if (processor != nullptr) {
      if (processing) processor->setProcessing(0);
      processor->release();
    }
    if (component != nullptr && active) component->setActive(0);
    if (controller != nullptr) controller->release();
    if (mapping != nullptr) mapping->release();
    if (units != nullptr) units->release();
    if (component != nullptr) {
      if (initialized) component->terminate();
      component->release();
    }
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool Ready() const { return processor != nullptr && controller != nullptr; }

  // The usual host order: arrangements, buses, set-up, switch on, process.
  void Start(double rate, int maxBlock, int32 sampleSize = kSample32, bool withExt = true) {
    SpeakerArrangement ins[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement outs[1] = {SpeakerArr::kStereo};
    processor->setBusArrangements(ins, 2, outs, 1);
    component->activateBus(kAudio, kInput, 0, 1);
    component->activateBus(kAudio, kInput, 1, withExt ? 1 : 0);
    component->activateBus(kAudio, kOutput, 0, 1);
    component->activateBus(kEvent, kInput, 0, 1);
    ProcessSetup setup = {kRealtime, sampleSize, maxBlock, rate};
    processor->setupProcessing(setup);
    active = component->setActive(1) == kResultOk;
    processing = processor->setProcessing(1) == kResultOk;
  }

  std::vector<uint8_t> State() {
    MemoryStream stream;
    if (component->getState(&stream) != kResultOk) return {};
    return stream.bytes;
  }

  HostApplication application;
  ComponentHandler handler;
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IMidiMapping* mapping = nullptr;
  IUnitInfo* units = nullptr;
  bool initialized = false;
  bool active = false;
  bool processing = false;
};
#endif

// One block's host buffers for either sample size: MIC and EXT stereo in,
// stereo out.
template <class Sample>
struct Buffers {
  explicit Buffers(int frames)
      : mic{std::vector<Sample>(frames), std::vector<Sample>(frames)},
        ext{std::vector<Sample>(frames), std::vector<Sample>(frames)},
        out{std::vector<Sample>(frames), std::vector<Sample>(frames)} {
    for (int c = 0; c < 2; ++c) {
      micPointers[c] = mic[c].data();
      extPointers[c] = ext[c].data();
      outPointers[c] = out[c].data();
    }
  }

  // Fills data for a block of frames with these buffers.
  void Connect(ProcessData& data, int frames) {
    for (AudioBusBuffers* bus : {&inputs[0], &inputs[1], &outputs[0]}) *bus = {};
    inputs[0].numChannels = 2;
    inputs[1].numChannels = 2;
    outputs[0].numChannels = 2;
    Set(inputs[0], micPointers);
    Set(inputs[1], extPointers);
    Set(outputs[0], outPointers);
    data.symbolicSampleSize = sizeof(Sample) == 8 ? kSample64 : kSample32;
    data.numSamples = frames;
    data.numInputs = 2;
    data.numOutputs = 1;
    data.inputs = inputs;
    data.outputs = outputs;
  }

  std::vector<Sample> mic[2];
  std::vector<Sample> ext[2];
  std::vector<Sample> out[2];
  Sample* micPointers[2];
  Sample* extPointers[2];
  Sample* outPointers[2];
  AudioBusBuffers inputs[2];
  AudioBusBuffers outputs[1];

 private:
  static void Set(AudioBusBuffers& bus, Sample** pointers) {
    if constexpr (sizeof(Sample) == 8) {
      bus.channelBuffers64 = pointers;
    } else {
      bus.channelBuffers32 = pointers;
    }
  }
};

inline std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text != u'\0'; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
  return out;
}

}  // namespace testhost
