#include <algorithm>
#include <climits>
#include <string>

#include "editor/IGraphics.h"
#include "framework/Text.h"
#include "framework/platform/Files.h"
#include "framework/platform/IniFile.h"
#include "framework/platform/UserFolders.h"
#include "instrument/Synth.h"

// The per-user settings file shared by every instance, 32-bit and 64-bit alike.
// File access runs on the caller's thread; the settings the audio thread reads
// (switches, controller map, WAV folder) change only under the plug-in lock.

namespace {

constexpr const char* kMakerFolderName = "Welmora";
constexpr const char* kFileName = "redi.ini";

constexpr const char* kGlobal = "Global";
constexpr const char* kWavFolderKey = "Path to WAV Files";
constexpr const char* kProgramFolderKey = "Path to Program Files";
constexpr const char* kEditorSizeKey = "Editor Size";
constexpr const char* kStartupBankSection = "Startup Bank";
constexpr const char* kStartupBankKey = "File";
constexpr const char* kMidiGlobal = "MIDI Global";
constexpr const char* kMidiThruKey = "MIDI Thru";
constexpr const char* kIgnoreProgramChangeKey = "Ignore Program Change";
constexpr const char* kMidiControl = "MIDI Control";

// Longest values read; longer stored values are cut. Folders are read whole,
// up to the platform's path limit: a cut folder would be another folder.
constexpr int kShortValueChars = 63;
constexpr int kFolderChars = Files::kMaxPathChars;
constexpr int kStartupBankChars = 258;

// A section body without keys: the list's end marker alone.
constexpr char kNoKeys[] = "\0";

const char* SwitchWord(bool on) { return on ? "true" : "false"; }

std::string ControllerKey(int controller) { return "CC" + std::to_string(controller); }

// Reads a leading decimal integer the way the C library's atoi does (white
// space, optional sign, digits), but independent of the locale and without
// overflow: values beyond the int range are clamped to it.
int LeadingInteger(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  const long long value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
  return static_cast<int>(value);
}

// A controller-map entry as stored: a parameter index, or -1 when the text
// is not a number. Entries outside the parameter table stay as they are and
// are ignored when the controller arrives.
int ControllerEntry(const std::string& text) {
  const int value = LeadingInteger(text);
  if (value == 0 && text[0] != '0') return -1;
  return value;
}

}  // namespace

void Synth::PrepareConfiguration() {
  const std::string appData = UserFolders::LocalAppDataFolder();
  if (!appData.empty()) {
    const std::string makerFolder = appData + UserFolders::kPathSeparator + kMakerFolderName;
    UserFolders::CreateFolder(makerFolder);
    configPath = makerFolder + UserFolders::kPathSeparator + kFileName;
  }
  documentsFolder = UserFolders::DocumentsFolder();
  programFolder = documentsFolder;
  if (configPath.empty()) return;
  if (UserFolders::FileExists(configPath)) {
    ReadConfiguration();
  } else {
    UserFolders::CreateEmptyFile(configPath);
  }
}

Synth::ConfigReadResult Synth::ReadConfiguration() {
  if (configPath.empty() || !UserFolders::FileExists(configPath)) {
    return ConfigReadResult::kFileMissing;
  }
  const std::string& path = configPath;
  const std::string wavFolder = IniFile::GetString(kGlobal, kWavFolderKey, "", kFolderChars, path);
  const std::string bank =
      IniFile::GetString(kStartupBankSection, kStartupBankKey, "", kStartupBankChars, path);
  const std::string programs =
      IniFile::GetString(kGlobal, kProgramFolderKey, "", kFolderChars, path);
  const std::string thru =
      IniFile::GetString(kMidiGlobal, kMidiThruKey, SwitchWord(midiThru), kShortValueChars, path);
  const std::string ignore =
      IniFile::GetString(kMidiGlobal, kIgnoreProgramChangeKey, SwitchWord(ignoreProgramChange),
                         kShortValueChars, path);
  std::string controllers[kNumControllers];
  for (int n = 0; n < kNumControllers; ++n) {
    controllers[n] =
        IniFile::GetString(kMidiControl, ControllerKey(n).c_str(), "-1", kShortValueChars, path);
  }

  ScopedLock guard(Lock());
  if (!wavFolder.empty()) wavBaseFolder = wavFolder;
  startupBank = bank;
  if (!programs.empty()) programFolder = programs;
  if (!thru.empty()) midiThru = EqualsIgnoringCase(thru.c_str(), "true");
  if (!ignore.empty()) ignoreProgramChange = EqualsIgnoringCase(ignore.c_str(), "true");
  for (int n = 0; n < kNumControllers; ++n) {
    if (!controllers[n].empty()) controllerMap[n] = ControllerEntry(controllers[n]);
  }
  return ConfigReadResult::kSuccess;
}

void Synth::WriteConfiguration(ConfigWrite which) {
  WriteStartupBank();
  if (configPath.empty()) return;
  bool thru, ignore;
  int map[kNumControllers];
  {
    ScopedLock guard(Lock());
    thru = midiThru;
    ignore = ignoreProgramChange;
    std::copy(controllerMap, controllerMap + kNumControllers, map);
  }
  if (which != ConfigWrite::kIgnoreProgramChangeOnly) {
    IniFile::WriteString(kMidiGlobal, kMidiThruKey, SwitchWord(thru), configPath);
  }
  if (which != ConfigWrite::kMidiThruOnly) {
    IniFile::WriteString(kMidiGlobal, kIgnoreProgramChangeKey, SwitchWord(ignore), configPath);
  }
  if (which != ConfigWrite::kEverything) return;
  IniFile::WriteSection(kMidiControl, kNoKeys, configPath);
  for (int n = 0; n < kNumControllers; ++n) {
    if (map[n] == -1) continue;
    IniFile::WriteString(kMidiControl, ControllerKey(n).c_str(), std::to_string(map[n]).c_str(),
                         configPath);
  }
}

void Synth::WriteStartupBank() {
  if (configPath.empty()) return;
  IniFile::WriteSection(kStartupBankSection, kNoKeys, configPath);
  IniFile::WriteString(kStartupBankSection, kStartupBankKey, startupBank.c_str(), configPath);
}

void Synth::SetStartupBank(const std::string& path) {
  startupBank = path;
  WriteStartupBank();
}

void Synth::ClearStartupBank() {
  startupBank.clear();
  if (configPath.empty()) return;
  IniFile::WriteSection(kStartupBankSection, kNoKeys, configPath);
}

void Synth::WriteWavFolder(const std::string& path) {
  {
    ScopedLock guard(Lock());
    wavBaseFolder = path;
  }
  if (configPath.empty()) return;
  IniFile::WriteString(kGlobal, kWavFolderKey, path.c_str(), configPath);
}

int Synth::ReadEditorSize() const {
  if (configPath.empty()) return 0;
  const int percent =
      LeadingInteger(IniFile::GetString(kGlobal, kEditorSizeKey, "", kShortValueChars, configPath));
  return IGraphics::IsEditorSize(percent) ? percent : 0;
}

void Synth::WriteEditorSize(int percent) {
  if (configPath.empty() || !IGraphics::IsEditorSize(percent)) return;
  IniFile::WriteString(kGlobal, kEditorSizeKey, std::to_string(percent).c_str(), configPath);
}

void Synth::WriteProgramFolder(const std::string& path) {
  programFolder = path;
  if (configPath.empty()) return;
  IniFile::WriteString(kGlobal, kProgramFolderKey, path.c_str(), configPath);
}
