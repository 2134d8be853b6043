#pragma once

// The VST 2.4 plug-in interface as hosts see it: the effect record, the
// dispatcher and host-callback operation codes, and the records passed through
// them. Names and layout follow the published interface so that the binary
// matches real hosts on x86 and x86-64, Windows and Linux.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#pragma pack(push, 8)
#else
#define VSTCALLBACK
#endif

using VstInt16 = int16_t;
using VstInt32 = int32_t;
using VstInt64 = int64_t;
using VstIntPtr = intptr_t;

struct AEffect;

using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                    VstInt32 index, VstIntPtr value, void* ptr,
                                                    float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                      VstInt32 index, VstIntPtr value, void* ptr,
                                                      float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
using AEffectProcessDoubleProc = void(VSTCALLBACK*)(AEffect* effect, double** inputs,
                                                    double** outputs, VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index,
                                                   float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

constexpr VstInt32 kEffectMagic = 0x56737450;  // 'VstP'
constexpr VstInt32 kVstVersion = 2400;

struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;  // accumulating
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

enum VstAEffectFlags {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher operations.
enum AEffectOpcodes {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effSetSpeakerArrangement = 42,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effGetSpeakerArrangement = 69,
};

// Host callback operations.
enum AudioMasterOpcodes {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterSizeWindow = 15,
  audioMasterProcessEvents = 8,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

enum VstProcessLevels {
  kVstProcessLevelUnknown = 0,
  kVstProcessLevelUser = 1,
  kVstProcessLevelRealtime = 2,
  kVstProcessLevelPrefetch = 3,
  kVstProcessLevelOffline = 4,
};

enum VstPlugCategory {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// Text sizes of the interface, in characters.
enum VstStringConstants {
  kVstMaxProgNameLen = 24,
  kVstMaxParamStrLen = 8,
  kVstMaxVendorStrLen = 64,
  kVstMaxProductStrLen = 64,
  kVstMaxEffectNameLen = 32,
  kVstMaxNameLen = 64,
  kVstMaxLabelLen = 64,
  kVstMaxShortLabelLen = 8,
};

// ---- Events ----

enum VstEventTypes {
  kVstMidiType = 1,
  kVstSysExType = 6,
};

struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};

struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];  // numEvents entries in fact
};

struct VstMidiEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstMidiSysexEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr resvd1;
  char* sysexDump;
  VstIntPtr resvd2;
};

// ---- Time information ----

enum VstTimeInfoFlags {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

// ---- Pins and speakers ----

enum VstPinPropertiesFlags {
  kVstPinIsActive = 1 << 0,
  kVstPinIsStereo = 1 << 1,
  kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
  char label[kVstMaxLabelLen];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[kVstMaxShortLabelLen];
  char future[48];
};

enum VstSpeakerArrangementType {
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[kVstMaxNameLen];
  VstInt32 type;
  char future[28];
};

struct VstSpeakerArrangement {
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];  // numChannels entries in fact
};

// ---- Editor and MIDI key names ----

struct ERect {
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};

struct MidiKeyName {
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[kVstMaxNameLen];
  VstInt32 reserved;
  VstInt32 flags;
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

// The layout hosts were compiled against, for 32-bit and 64-bit pointers.
namespace vst2_layout {
constexpr bool k64 = sizeof(void*) == 8;
constexpr std::size_t Pick(std::size_t bits64, std::size_t bits32) { return k64 ? bits64 : bits32; }
}  // namespace vst2_layout

static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "32-bit or 64-bit pointers only");
static_assert(sizeof(VstIntPtr) == sizeof(void*), "VstIntPtr is pointer-sized");

static_assert(sizeof(AEffect) == vst2_layout::Pick(192, 144), "AEffect size");
static_assert(offsetof(AEffect, dispatcher) == vst2_layout::Pick(8, 4), "AEffect layout");
static_assert(offsetof(AEffect, process) == vst2_layout::Pick(16, 8), "AEffect layout");
static_assert(offsetof(AEffect, setParameter) == vst2_layout::Pick(24, 12), "AEffect layout");
static_assert(offsetof(AEffect, getParameter) == vst2_layout::Pick(32, 16), "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == vst2_layout::Pick(40, 20), "AEffect layout");
static_assert(offsetof(AEffect, flags) == vst2_layout::Pick(56, 36), "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == vst2_layout::Pick(64, 40), "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == vst2_layout::Pick(80, 48), "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == vst2_layout::Pick(92, 60), "AEffect layout");
static_assert(offsetof(AEffect, object) == vst2_layout::Pick(96, 64), "AEffect layout");
static_assert(offsetof(AEffect, user) == vst2_layout::Pick(104, 68), "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == vst2_layout::Pick(112, 72), "AEffect layout");
static_assert(offsetof(AEffect, version) == vst2_layout::Pick(116, 76), "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == vst2_layout::Pick(120, 80), "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == vst2_layout::Pick(128, 84),
              "AEffect layout");
static_assert(offsetof(AEffect, future) == vst2_layout::Pick(136, 88), "AEffect layout");

static_assert(sizeof(VstEvent) == 32, "VstEvent size");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent size");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29, "VstMidiEvent layout");
static_assert(sizeof(VstMidiSysexEvent) == vst2_layout::Pick(48, 32), "VstMidiSysexEvent size");
static_assert(offsetof(VstMidiSysexEvent, dumpBytes) == 16, "VstMidiSysexEvent layout");
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == vst2_layout::Pick(32, 24),
              "VstMidiSysexEvent layout");
static_assert(offsetof(VstEvents, reserved) == vst2_layout::Pick(8, 4), "VstEvents layout");
static_assert(offsetof(VstEvents, events) == vst2_layout::Pick(16, 8), "VstEvents layout");

static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo size");
static_assert(offsetof(VstTimeInfo, tempo) == 32, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64, "VstTimeInfo layout");
static_assert(offsetof(VstTimeInfo, flags) == 84, "VstTimeInfo layout");

static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties size");
static_assert(offsetof(VstPinProperties, flags) == 64, "VstPinProperties layout");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "VstPinProperties layout");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties size");
static_assert(offsetof(VstSpeakerProperties, type) == 80, "VstSpeakerProperties layout");
static_assert(sizeof(VstSpeakerArrangement) == 904, "VstSpeakerArrangement size");
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8, "VstSpeakerArrangement layout");

static_assert(sizeof(ERect) == 8, "ERect size");
static_assert(sizeof(MidiKeyName) == 80, "MidiKeyName size");
static_assert(offsetof(MidiKeyName, keyName) == 8, "MidiKeyName layout");
