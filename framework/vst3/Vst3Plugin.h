#pragma once

#include <atomic>
#include <memory>

#include "framework/IHost.h"
#include "framework/IPlugBase.h"
#include "framework/vst3/AudioProcessor.h"
#include "framework/vst3/Component.h"
#include "framework/vst3/EditController.h"

// The component and the controller both declare setState and getState with
// one signature but different meanings; these two shims give each its own
// name in the object that implements both.
class Vst3ComponentSide : public vst3::IComponent {
 public:
  vst3::tresult VST3_CALL setState(vst3::IBStream* state) final;
  vst3::tresult VST3_CALL getState(vst3::IBStream* state) final;
};

class Vst3ControllerSide : public vst3::IEditController {
 public:
  vst3::tresult VST3_CALL setState(vst3::IBStream* state) final;
  vst3::tresult VST3_CALL getState(vst3::IBStream* state) final;
};

// The VST 3 half of the framework: one object that is component, audio
// processor and edit controller at once, around a plug-in object it owns and
// serves as host. Parameter IDs 0...106 are the VST 2 parameter indices, so
// that automation and state carry over; above them come the program selector
// and the hidden parameters that carry MIDI controllers and pitch bend into
// the plug-in's MIDI input. Every call takes the plug-in lock, as the VST 2
// callbacks do.
class Vst3Editor;

class Vst3Plugin final : public Vst3ComponentSide,
                         public vst3::IAudioProcessor,
                         public vst3::IProcessContextRequirements,
                         public Vst3ControllerSide,
                         public vst3::IMidiMapping,
                         public vst3::IUnitInfo,
                         private IHost {
 public:
  using Maker = std::unique_ptr<IPlugBase> (*)(IHost* host);

  static constexpr vst3::ParamID kProgramParamId = 0x10000;
  static constexpr vst3::ParamID kFirstMidiParamId = 0x20000;  // + controller number
  static constexpr int kMidiControllers = 120;                 // 0...119, those REDI reads
  static constexpr vst3::ProgramListID kProgramListId = 1;

  // Starts with one reference, the caller's.
  explicit Vst3Plugin(Maker maker);
  Vst3Plugin(const Vst3Plugin&) = delete;
  Vst3Plugin& operator=(const Vst3Plugin&) = delete;

  // ---- FUnknown, for every interface ----
  vst3::tresult VST3_CALL queryInterface(const vst3::TUID iid, void** obj) override;
  vst3::uint32 VST3_CALL addRef() override;
  vst3::uint32 VST3_CALL release() override;

  // ---- IPluginBase, for component and controller alike ----
  vst3::tresult VST3_CALL initialize(vst3::FUnknown* context) override;
  vst3::tresult VST3_CALL terminate() override;

  // ---- IComponent (user-interface thread) ----
  vst3::tresult VST3_CALL getControllerClassId(vst3::TUID classId) override;
  vst3::tresult VST3_CALL setIoMode(vst3::int32 mode) override;
  vst3::int32 VST3_CALL getBusCount(vst3::int32 type, vst3::int32 dir) override;
  vst3::tresult VST3_CALL getBusInfo(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                     vst3::BusInfo& bus) override;
  vst3::tresult VST3_CALL getRoutingInfo(vst3::RoutingInfo& inInfo,
                                         vst3::RoutingInfo& outInfo) override;
  vst3::tresult VST3_CALL activateBus(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                      vst3::TBool state) override;
  vst3::tresult VST3_CALL setActive(vst3::TBool state) override;
  // The plug-in's bank chunk (a VST 2 bank chunk loads as it is) and the
  // current program.
  vst3::tresult LoadComponentState(vst3::IBStream* state);
  vst3::tresult SaveComponentState(vst3::IBStream* state);

  // ---- IAudioProcessor ----
  vst3::tresult VST3_CALL setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                             vst3::SpeakerArrangement* outputs,
                                             vst3::int32 numOuts) override;
  vst3::tresult VST3_CALL getBusArrangement(vst3::int32 dir, vst3::int32 index,
                                            vst3::SpeakerArrangement& arr) override;
  vst3::tresult VST3_CALL canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
  vst3::uint32 VST3_CALL getLatencySamples() override { return 0; }
  vst3::tresult VST3_CALL setupProcessing(vst3::ProcessSetup& setup) override;
  // User-interface or audio thread.
  vst3::tresult VST3_CALL setProcessing(vst3::TBool state) override;
  // Audio thread; allocates nothing (a program that plays another WAV file
  // excepted: it loads the file, as in the VST 2 build).
  vst3::tresult VST3_CALL process(vst3::ProcessData& data) override;
  // How long the output goes on after the input stops, at the set rate.
  vst3::uint32 VST3_CALL getTailSamples() override;
  vst3::uint32 VST3_CALL getProcessContextRequirements() override { return 0; }

  // ---- IEditController (user-interface thread) ----
  vst3::tresult VST3_CALL setComponentState(vst3::IBStream* state) override;
  vst3::int32 VST3_CALL getParameterCount() override;
  vst3::tresult VST3_CALL getParameterInfo(vst3::int32 paramIndex,
                                           vst3::ParameterInfo& info) override;
  vst3::tresult VST3_CALL getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                vst3::String128 string) override;
  vst3::tresult VST3_CALL getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                vst3::ParamValue& valueNormalized) override;
  vst3::ParamValue VST3_CALL normalizedParamToPlain(vst3::ParamID id,
                                                    vst3::ParamValue valueNormalized) override;
  vst3::ParamValue VST3_CALL plainParamToNormalized(vst3::ParamID id,
                                                    vst3::ParamValue plainValue) override;
  vst3::ParamValue VST3_CALL getParamNormalized(vst3::ParamID id) override;
  vst3::tresult VST3_CALL setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult VST3_CALL setComponentHandler(vst3::IComponentHandler* handler) override;
  vst3::IPlugView* VST3_CALL createView(vst3::FIDString name) override;

  // ---- IMidiMapping ----
  vst3::tresult VST3_CALL getMidiControllerAssignment(vst3::int32 busIndex, vst3::int16 channel,
                                                      vst3::CtrlNumber midiControllerNumber,
                                                      vst3::ParamID& id) override;

  // ---- IUnitInfo: one unit with the program list ----
  vst3::int32 VST3_CALL getUnitCount() override { return 1; }
  vst3::tresult VST3_CALL getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo& info) override;
  vst3::int32 VST3_CALL getProgramListCount() override { return 1; }
  vst3::tresult VST3_CALL getProgramListInfo(vst3::int32 listIndex,
                                             vst3::ProgramListInfo& info) override;
  vst3::tresult VST3_CALL getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                         vst3::String128 name) override;
  vst3::tresult VST3_CALL getProgramInfo(vst3::ProgramListID listId, vst3::int32 programIndex,
                                         const vst3::char8* attributeId,
                                         vst3::String128 attributeValue) override;
  vst3::tresult VST3_CALL hasProgramPitchNames(vst3::ProgramListID listId,
                                               vst3::int32 programIndex) override;
  vst3::tresult VST3_CALL getProgramPitchName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                              vst3::int16 midiPitch, vst3::String128 name) override;
  vst3::UnitID VST3_CALL getSelectedUnit() override { return vst3::kRootUnitId; }
  vst3::tresult VST3_CALL selectUnit(vst3::UnitID unitId) override;
  vst3::tresult VST3_CALL getUnitByBus(vst3::int32 type, vst3::int32 dir, vst3::int32 busIndex,
                                       vst3::int32 channel, vst3::UnitID& unitId) override;
  vst3::tresult VST3_CALL setUnitProgramData(vst3::int32 listOrUnitId, vst3::int32 programIndex,
                                             vst3::IBStream* data) override;

 private:
  // Input buses: MIC (main) and EXT (the side chain); one main output.
  enum { kMicBus = 0, kExtBus = 1, kNumInputBuses = 2 };
  static constexpr int kNumMidiParams = kMidiControllers + 1;  // and pitch bend
  static constexpr int kPitchBendSlot = kMidiControllers;
  static constexpr int kMaxQueues = 512;  // parameter queues read per block

  ~Vst3Plugin();

  // ---- IHost: the plug-in's requests ----
  void Automate(int paramIndex, float normalizedValue) override;
  void BeginEdit(int paramIndex) override;
  void EndEdit(int paramIndex) override;
  void UpdateDisplay() override;
  void ProductString(char* text, int size) override;
  void VendorString(char* text, int size) override;
  int VendorVersion() override { return 0; }
  int ProcessLevel() override;
  bool SendMidi(const IMidiMessage& /*message*/) override { return false; }
  bool SendSysEx(const ISysExMessage& /*message*/) override { return false; }
  bool ResizeEditorWindow(int width, int height) override;

  // Lock held by the caller in all of these.
  // The slot of a MIDI parameter (controller or pitch bend), or -1.
  static int MidiSlot(vst3::ParamID id);
  void SetParamValue(int index, double normalized);
  void SelectProgram(int index);
  // What the host knows of every parameter becomes the present values.
  void SyncReportedValues();
  // UI thread, outside a load: the host re-reads every value.
  void RestartWithNewValues();
  void UpdateInputConnections();
  void QueueNoteEvents(vst3::IEventList* events, int frames);
  void QueueMidiParameter(int slot, int offset, double normalized);
  // One change of the input queues at its offset inside the block.
  void ApplyParameterPoint(vst3::ParamID id, double value);
  void Render(vst3::ProcessData& data, int offset, int frames);
  void ConnectInputs(vst3::ProcessData& data, int offset, int frames);
  void ReportChangedValues(vst3::IParameterChanges* changes);

  std::atomic<vst3::uint32> references{1};
  std::unique_ptr<IPlugBase> plug;
  vst3::IComponentHandler* handler = nullptr;
  // Kept for the editor's view: some hosts offer their run loop only here.
  vst3::FUnknown* hostContext = nullptr;
  Vst3Editor* openView = nullptr;  // the attached editor view, if any
  char hostName[IPlugBase::kNameSize] = "";
  int initializeCount = 0;
  bool active = false;
  bool processing = false;
  bool loading = false;
  vst3::int32 processMode = vst3::kRealtime;
  vst3::SpeakerArrangement inputArrangement[kNumInputBuses] = {vst3::SpeakerArr::kStereo,
                                                               vst3::SpeakerArr::kStereo};
  vst3::SpeakerArrangement outputArrangement = vst3::SpeakerArr::kStereo;
  bool inputBusActive[kNumInputBuses] = {};
  // The host's idea of each parameter: a plug-in's own change (a program, a
  // learned controller) differs from it and goes out in the next block.
  double reportedValue[IPlugBase::kNumParams] = {};
  int reportedProgram = 0;
  double midiValue[kNumMidiParams] = {};
  // Per block: how far each input queue has been applied.
  vst3::int32 queuePoint[kMaxQueues] = {};
};
