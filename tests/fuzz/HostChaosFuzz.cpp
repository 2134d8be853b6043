// A host gone wild: the input bytes choose a sequence of host calls - rates
// from 1 Hz to 768 kHz, block sizes 1 to 8192, parameters set to any float
// (NaN and infinities too), programs, chunks, event lists with SysEx and
// null entries, suspend and resume, all three process calls. The output must
// stay finite and every parameter within 0...1.

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr int kMaxFrames = 8192;
constexpr long kFrameBudget = 1L << 14;  // per input, to keep runs quick

// Takes the input apart; past its end every read yields zeros.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool Empty() const { return position >= size; }
  uint8_t U8() { return position < size ? data[position++] : 0; }
  uint32_t U16() { return U8() | (uint32_t{U8()} << 8); }
  uint32_t U32() { return U16() | (U16() << 16); }
  float AnyFloat() {
    const uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  // Up to max bytes of the input itself (for chunks, texts and SysEx dumps).
  std::vector<uint8_t> Take(size_t max) {
    const size_t n = std::min(max, size - std::min(size, position));
    std::vector<uint8_t> taken(data + position, data + position + n);
    position += n;
    return taken;
  }

 private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

struct Session {
  fuzz::Plugin& plug = fuzz::SharedPlugin();
  std::vector<float> in[4], out[2];
  std::vector<double> inD[4], outD[2];
  long framesLeft = kFrameBudget;

  Session() {
    for (auto& c : in) c.assign(kMaxFrames, 0.0f);
    for (auto& c : out) c.assign(kMaxFrames, 0.0f);
    for (auto& c : inD) c.assign(kMaxFrames, 0.0);
    for (auto& c : outD) c.assign(kMaxFrames, 0.0);
  }

  void FillInputs(uint8_t kind, int frames) {
    static const float kOdd[] = {NAN, INFINITY, -INFINITY, 3.0e38f, -1.0e-42f, 1.0f};
    for (int k = 0; k < 4; ++k) {
      for (int i = 0; i < frames; ++i) {
        float x = 0.5f * std::sin(0.01f * static_cast<float>((k + 1) * i));
        if (kind % 4 == 1) x = kOdd[(i + k) % 6];
        if (kind % 4 == 2 && i % 61 == k) x = kOdd[(i / 61) % 6];
        if (kind % 4 == 3) x = 0.0f;
        in[k][i] = x;
        inD[k][i] = x;
      }
    }
  }

  void Process(Bytes& bytes, int variant) {
    const int frames = 1 + static_cast<int>(bytes.U16() % kMaxFrames);
    if (frames > framesLeft) return;
    framesLeft -= frames;
    FillInputs(bytes.U8(), frames);
    AEffect* e = plug.effect;
    if (variant == 2) {
      double* inputs[4] = {inD[0].data(), inD[1].data(), inD[2].data(), inD[3].data()};
      double* outputs[2] = {outD[0].data(), outD[1].data()};
      e->processDoubleReplacing(e, inputs, outputs, frames);
      for (auto& c : outD)
        for (int i = 0; i < frames; ++i) fuzz::Require(std::isfinite(c[i]), "double output");
      return;
    }
    float* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    if (variant == 1) {
      e->process(e, inputs, outputs, frames);
    } else {
      e->processReplacing(e, inputs, outputs, frames);
    }
    for (auto& c : out)
      for (int i = 0; i < frames; ++i) fuzz::Require(std::isfinite(c[i]), "float output");
  }

  void SendEvents(Bytes& bytes) {
    const int count = bytes.U8() % 12;
    std::vector<VstMidiEvent> midi(static_cast<size_t>(count));
    std::vector<VstMidiSysexEvent> sysex(static_cast<size_t>(count));
    std::vector<std::vector<uint8_t>> dumps(static_cast<size_t>(count));
    std::vector<VstIntPtr> storage(
        (sizeof(VstEvents) + static_cast<size_t>(count) * sizeof(VstEvent*)) / sizeof(VstIntPtr) +
        1);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = count;
    VstEvent** entries = &list->events[0];
    for (int i = 0; i < count; ++i) {
      const uint8_t kind = bytes.U8();
      const int32_t delta = static_cast<int16_t>(bytes.U16());
      if (kind % 4 == 0) {
        entries[i] = nullptr;
      } else if (kind % 4 == 1) {
        VstMidiSysexEvent& s = sysex[i];
        s.type = kVstSysExType;
        s.byteSize = sizeof s;
        s.deltaFrames = delta;
        dumps[i] = bytes.Take(bytes.U8() % 40);
        s.dumpBytes = static_cast<VstInt32>(dumps[i].size());
        s.sysexDump = dumps[i].empty() ? nullptr : reinterpret_cast<char*>(dumps[i].data());
        entries[i] = reinterpret_cast<VstEvent*>(&s);
      } else {
        VstMidiEvent& m = midi[i];
        m.type = kind % 4 == 2 ? kVstMidiType : static_cast<VstInt32>(kind);
        m.byteSize = sizeof m;
        m.deltaFrames = delta;
        for (int b = 0; b < 3; ++b) m.midiData[b] = static_cast<char>(bytes.U8());
        entries[i] = reinterpret_cast<VstEvent*>(&m);
      }
    }
    plug.Dispatch(effProcessEvents, 0, 0, list);
  }

  void Step(Bytes& bytes) {
    switch (bytes.U8() % 14) {
      case 0:
        plug.Dispatch(effSetSampleRate, 0, 0, nullptr,
                      static_cast<float>(1 + bytes.U32() % 768000));
        break;
      case 1:
        plug.Dispatch(effSetSampleRate, 0, 0, nullptr, bytes.AnyFloat());
        break;
      case 2:
        plug.Dispatch(effSetBlockSize, 0, 1 + static_cast<VstIntPtr>(bytes.U16() % kMaxFrames));
        break;
      case 3:
        plug.Dispatch(effMainsChanged, 0, bytes.U8() & 1);
        break;
      case 4: {
        const int index = static_cast<int>(bytes.U8() % 110);
        plug.effect->setParameter(plug.effect, index, bytes.AnyFloat());
        if (index < plug.effect->numParams) {
          const float v = plug.effect->getParameter(plug.effect, index);
          fuzz::Require(v >= 0.0f && v <= 1.0f, "parameter outside 0...1");
        }
        break;
      }
      case 5:
        plug.Dispatch(effSetProgram, 0, static_cast<int8_t>(bytes.U8()));
        break;
      case 6: {
        const VstInt32 index = bytes.U8() & 1;
        void* data = nullptr;
        const VstIntPtr size = plug.Dispatch(effGetChunk, index, 0, &data);
        if (size > 0 && data != nullptr) {
          std::vector<uint8_t> copy(static_cast<const uint8_t*>(data),
                                    static_cast<const uint8_t*>(data) + size);
          plug.Dispatch(effSetChunk, index, size, copy.data());
        }
        break;
      }
      case 7: {
        const VstInt32 index = bytes.U8() & 1;
        std::vector<uint8_t> chunk = bytes.Take(bytes.U16() % 2048);
        plug.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(chunk.size()),
                      chunk.empty() ? nullptr : chunk.data());
        break;
      }
      case 8:
        SendEvents(bytes);
        break;
      case 9:
      case 10:
      case 11:
        Process(bytes, bytes.U8() % 3);
        break;
      case 12: {
        std::vector<uint8_t> text = bytes.Take(bytes.U8() % 40);
        text.push_back(0);
        const int index = static_cast<int>(bytes.U8() % 110);
        plug.Dispatch(effString2Parameter, index, 0, text.data());
        plug.Dispatch(effSetProgramName, 0, 0, text.data());
        char display[256] = {};
        plug.Dispatch(effGetParamDisplay, index, 0, display);
        break;
      }
      default:
        plug.Dispatch(effEditIdle);
        break;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::IsolateConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Session session;
  // Each input starts from an ordinary host setting; the parameters and
  // programs stay as the last input left them.
  session.framesLeft = kFrameBudget;
  session.plug.Start(44100.0f, 512);
  Bytes bytes(data, size);
  for (int steps = 0; !bytes.Empty() && steps < 200; ++steps) session.Step(bytes);
  session.plug.CheckParameters();
  return 0;
}
