// A stand-in MTS-ESP master library: exports the client interface and lets the
// tests read back how often each entry point was called.
#include <cstring>

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#define FAKE_CALL __cdecl
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#define FAKE_CALL
#endif

namespace {

enum Entry {
  kRegister,
  kDeregister,
  kHasMaster,
  kShouldFilterNote,
  kShouldFilterNoteMultiChannel,
  kGetTuningTable,
  kGetMultiChannelTuningTable,
  kUseMultiChannelTuning,
  kGetScaleName,
  kNumEntries
};

const char* const kEntryNames[kNumEntries] = {"MTS_RegisterClient",
                                              "MTS_DeregisterClient",
                                              "MTS_HasMaster",
                                              "MTS_ShouldFilterNote",
                                              "MTS_ShouldFilterNoteMultiChannel",
                                              "MTS_GetTuningTable",
                                              "MTS_GetMultiChannelTuningTable",
                                              "MTS_UseMultiChannelTuning",
                                              "MTS_GetScaleName"};

int calls[kNumEntries];
bool hasMaster = true;
bool tablesAvailable = true;
double masterTable[128];
double channelTables[16][128];
// Channel arguments of MTS_GetMultiChannelTuningTable in call order.
int channelLog[64];
int channelLogSize = 0;

}  // namespace

FAKE_EXPORT void FAKE_CALL MTS_RegisterClient() { ++calls[kRegister]; }
FAKE_EXPORT void FAKE_CALL MTS_DeregisterClient() { ++calls[kDeregister]; }
FAKE_EXPORT bool FAKE_CALL MTS_HasMaster() {
  ++calls[kHasMaster];
  return hasMaster;
}
FAKE_EXPORT bool FAKE_CALL MTS_ShouldFilterNote(char, char) {
  ++calls[kShouldFilterNote];
  return false;
}
FAKE_EXPORT bool FAKE_CALL MTS_ShouldFilterNoteMultiChannel(char, char) {
  ++calls[kShouldFilterNoteMultiChannel];
  return false;
}
FAKE_EXPORT const double* FAKE_CALL MTS_GetTuningTable() {
  ++calls[kGetTuningTable];
  return tablesAvailable ? masterTable : nullptr;
}
FAKE_EXPORT const double* FAKE_CALL MTS_GetMultiChannelTuningTable(char midichannel) {
  ++calls[kGetMultiChannelTuningTable];
  const int channel = static_cast<unsigned char>(midichannel);
  if (channelLogSize < 64) channelLog[channelLogSize++] = channel;
  return tablesAvailable && channel < 16 ? channelTables[channel] : nullptr;
}
FAKE_EXPORT bool FAKE_CALL MTS_UseMultiChannelTuning(char) {
  ++calls[kUseMultiChannelTuning];
  return false;
}
FAKE_EXPORT const char* FAKE_CALL MTS_GetScaleName() {
  ++calls[kGetScaleName];
  return "Fake";
}

// ---- Test controls ----

FAKE_EXPORT void FAKE_CALL FakeMts_Reset(bool master, bool tables) {
  std::memset(calls, 0, sizeof calls);
  channelLogSize = 0;
  hasMaster = master;
  tablesAvailable = tables;
}

// Calls of the named entry point since the last reset; -1 for an unknown name.
FAKE_EXPORT int FAKE_CALL FakeMts_Calls(const char* entry) {
  for (int i = 0; i < kNumEntries; ++i) {
    if (std::strcmp(entry, kEntryNames[i]) == 0) return calls[i];
  }
  return -1;
}

FAKE_EXPORT int FAKE_CALL FakeMts_TotalCalls() {
  int total = 0;
  for (int count : calls) total += count;
  return total;
}

FAKE_EXPORT const double* FAKE_CALL FakeMts_MasterTable() { return masterTable; }
FAKE_EXPORT const double* FAKE_CALL FakeMts_ChannelTable(int channel) {
  return channel >= 0 && channel < 16 ? channelTables[channel] : nullptr;
}
FAKE_EXPORT int FAKE_CALL FakeMts_ChannelLogSize() { return channelLogSize; }
FAKE_EXPORT int FAKE_CALL FakeMts_ChannelLogEntry(int index) {
  return index >= 0 && index < channelLogSize ? channelLog[index] : -1;
}
