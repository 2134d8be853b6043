#pragma once

#include <string>

#include "framework/platform/DynamicLibrary.h"

// Entry points of the MTS-ESP master library's client interface.
using MtsRegisterClientFn = void(LIBRARY_CDECL*)();
using MtsDeregisterClientFn = void(LIBRARY_CDECL*)();
using MtsHasMasterFn = bool(LIBRARY_CDECL*)();
using MtsShouldFilterNoteFn = bool(LIBRARY_CDECL*)(char midinote, char midichannel);
using MtsShouldFilterNoteMultiChannelFn = bool(LIBRARY_CDECL*)(char midinote, char midichannel);
using MtsGetTuningTableFn = const double*(LIBRARY_CDECL*)();
using MtsGetMultiChannelTuningTableFn = const double*(LIBRARY_CDECL*)(char midichannel);
using MtsUseMultiChannelTuningFn = bool(LIBRARY_CDECL*)(char midichannel);
using MtsGetScaleNameFn = const char*(LIBRARY_CDECL*)();

// Where the master library is installed: the Windows system folder, or the
// conventional shared-library folder elsewhere. Empty when the system folder
// is unknown.
std::string MtsLibraryPath();

// The process-wide binding to the MTS-ESP master library. The one instance,
// `mtsGlobal`, is built at static initialisation: when no master is installed
// everything stays null and every call is skipped.
class mtsclientglobal {
 public:
  static constexpr int kNumNotes = 128;
  static constexpr int kNumChannels = 16;

  mtsclientglobal();
  mtsclientglobal(const mtsclientglobal&) = delete;
  mtsclientglobal& operator=(const mtsclientglobal&) = delete;

  // True when the master hands out a tuning table and reports itself active.
  virtual bool IsOnline() const;
  // Releases any earlier binding, then binds the library at `path`. Only the
  // constructor and tests call it; clients registered with an earlier master
  // must be gone by then.
  virtual void LoadFrom(const std::string& path);
  virtual ~mtsclientglobal();

  MtsRegisterClientFn RegisterClient = nullptr;
  MtsDeregisterClientFn DeregisterClient = nullptr;
  MtsHasMasterFn HasMaster = nullptr;
  MtsShouldFilterNoteFn ShouldFilterNote = nullptr;
  MtsShouldFilterNoteMultiChannelFn ShouldFilterNoteMultiChannel = nullptr;
  MtsGetTuningTableFn GetTuningTable = nullptr;
  MtsGetMultiChannelTuningTableFn GetMultiChannelTuningTable = nullptr;
  MtsUseMultiChannelTuningFn UseMultiChannelTuning = nullptr;
  MtsGetScaleNameFn GetScaleName = nullptr;

  // 1 / equal-tempered frequency of each note, A4 (69) at 440 Hz.
  double reciprocalFrequencies[kNumNotes];
  const double* masterTable = nullptr;
  const double* channelTables[kNumChannels] = {};
  LibraryHandle module = nullptr;

 private:
  void Release();
};

extern mtsclientglobal mtsGlobal;

// One per plug-in instance: registered with the master for its whole life.
class TuningClient {
 public:
  static constexpr int kScaleNameSize = 16;

  TuningClient();
  ~TuningClient();
  TuningClient(const TuningClient&) = delete;
  TuningClient& operator=(const TuningClient&) = delete;

  // Equal-tempered frequency of each note; the carrier never reads the
  // master's tuning, so these stay as built.
  double frequencies[mtsclientglobal::kNumNotes];
  char scaleName[kScaleNameSize];
  // Tuning-state flags of the client interface; nothing in the plug-in reads them.
  bool flags[4] = {false, false, false, false};
};
