#pragma once

// The audio processor: arrangements, set-up and the process call with its
// parameter queues.

#include "framework/vst3/Base.h"
#include "framework/vst3/Events.h"

namespace vst3 {

using SpeakerArrangement = uint64;
using ParamID = uint32;
using ParamValue = double;
using Sample32 = float;
using Sample64 = double;

namespace SpeakerArr {
constexpr SpeakerArrangement kEmpty = 0;
constexpr SpeakerArrangement kMono = 1ull << 19;  // the mono speaker, not centre
constexpr SpeakerArrangement kStereo = 0x3;
}  // namespace SpeakerArr

enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
constexpr uint32 kNoTail = 0;

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags;  // bit n: channel n is all zeros
  union {
    Sample32** channelBuffers32;
    Sample64** channelBuffers64;
  };
};

class IParamValueQueue : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID VST3_CALL getParameterId() = 0;
  virtual int32 VST3_CALL getPointCount() = 0;
  virtual tresult VST3_CALL getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

// The queues it hands out carry no reference of the caller's.
class IParameterChanges : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32 VST3_CALL getParameterCount() = 0;
  virtual IParamValueQueue* VST3_CALL getParameterData(int32 index) = 0;
  virtual IParamValueQueue* VST3_CALL addParameterData(const ParamID& id, int32& index) = 0;
};

struct ProcessContext;  // transport and tempo; REDI asks for none of it

struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;  // audio input buses supplied; trailing inactive ones may be left out
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual tresult VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                               SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult VST3_CALL getBusArrangement(int32 dir, int32 index, SpeakerArrangement& arr) = 0;
  virtual tresult VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 VST3_CALL getLatencySamples() = 0;
  virtual tresult VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult VST3_CALL setProcessing(TBool state) = 0;
  virtual tresult VST3_CALL process(ProcessData& data) = 0;
  virtual uint32 VST3_CALL getTailSamples() = 0;
};

// Hosts since 3.7 give a process context only to plug-ins that ask through
// this interface; REDI answers that it needs nothing.
class IProcessContextRequirements : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  virtual uint32 VST3_CALL getProcessContextRequirements() = 0;
};

static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
              offsetof(AudioBusBuffers, channelBuffers32) == 16);
#if VST3_X86_WINDOWS
static_assert(sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 &&
              offsetof(ProcessData, inputParameterChanges) == 28 &&
              offsetof(ProcessData, inputEvents) == 36 &&
              offsetof(ProcessData, processContext) == 44);
#else
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, inputParameterChanges) == 40 &&
              offsetof(ProcessData, inputEvents) == 56 &&
              offsetof(ProcessData, processContext) == 72);
#endif

}  // namespace vst3
