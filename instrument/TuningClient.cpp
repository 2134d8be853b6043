#include "instrument/TuningClient.h"

#include <cmath>
#include <cstring>

namespace {

double EqualTemperedFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

template <typename Fn>
Fn Bind(LibraryHandle library, const char* name) {
  return reinterpret_cast<Fn>(FindProcedure(library, name));
}

}  // namespace

std::string MtsLibraryPath() {
  // The conventional place of the master library on each platform.
  return SystemLibraryPath("LIBMTS.dll", "/usr/local/lib/libMTS.so");
}

mtsclientglobal::mtsclientglobal() {
  for (int note = 0; note < kNumNotes; ++note) {
    reciprocalFrequencies[note] = 1.0 / EqualTemperedFrequency(note);
  }
  LoadFrom(MtsLibraryPath());
}

mtsclientglobal::~mtsclientglobal() { Release(); }

bool mtsclientglobal::IsOnline() const {
  return masterTable != nullptr && HasMaster != nullptr && HasMaster();
}

void mtsclientglobal::LoadFrom(const std::string& path) {
  Release();
  module = OpenLibrary(path.c_str());
  if (module == nullptr) return;

  RegisterClient = Bind<MtsRegisterClientFn>(module, "MTS_RegisterClient");
  DeregisterClient = Bind<MtsDeregisterClientFn>(module, "MTS_DeregisterClient");
  HasMaster = Bind<MtsHasMasterFn>(module, "MTS_HasMaster");
  ShouldFilterNote = Bind<MtsShouldFilterNoteFn>(module, "MTS_ShouldFilterNote");
  ShouldFilterNoteMultiChannel =
      Bind<MtsShouldFilterNoteMultiChannelFn>(module, "MTS_ShouldFilterNoteMultiChannel");
  GetTuningTable = Bind<MtsGetTuningTableFn>(module, "MTS_GetTuningTable");
  GetMultiChannelTuningTable =
      Bind<MtsGetMultiChannelTuningTableFn>(module, "MTS_GetMultiChannelTuningTable");
  UseMultiChannelTuning = Bind<MtsUseMultiChannelTuningFn>(module, "MTS_UseMultiChannelTuning");
  GetScaleName = Bind<MtsGetScaleNameFn>(module, "MTS_GetScaleName");

  if (GetTuningTable != nullptr) masterTable = GetTuningTable();
  for (int channel = 0; channel < kNumChannels; ++channel) {
    channelTables[channel] = GetMultiChannelTuningTable != nullptr
                                 ? GetMultiChannelTuningTable(static_cast<char>(channel))
                                 : nullptr;
  }
}

void mtsclientglobal::Release() {
  RegisterClient = nullptr;
  DeregisterClient = nullptr;
  HasMaster = nullptr;
  ShouldFilterNote = nullptr;
  ShouldFilterNoteMultiChannel = nullptr;
  GetTuningTable = nullptr;
  GetMultiChannelTuningTable = nullptr;
  UseMultiChannelTuning = nullptr;
  GetScaleName = nullptr;
  masterTable = nullptr;
  for (const double*& table : channelTables) table = nullptr;
  CloseLibrary(module);
  module = nullptr;
}

mtsclientglobal mtsGlobal;

TuningClient::TuningClient() {
  for (int note = 0; note < mtsclientglobal::kNumNotes; ++note) {
    frequencies[note] = EqualTemperedFrequency(note);
  }
  std::memset(scaleName, 0, sizeof scaleName);
  std::memcpy(scaleName, "12-TET", 6);
  if (mtsGlobal.RegisterClient != nullptr) mtsGlobal.RegisterClient();
}

TuningClient::~TuningClient() {
  if (mtsGlobal.DeregisterClient != nullptr) mtsGlobal.DeregisterClient();
}
