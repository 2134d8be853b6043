// The configuration file as each new instance reads it, and rewritten by the
// editor's "Save Configuration" and folder choices.

#include <cstring>

#include "framework/platform/IniFile.h"
#include "framework/platform/UserFolders.h"
#include "instrument/Synth.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::IsolateConfiguration();
  UserFolders::CreateFolder(fuzz::WorkFolder() + "/config/Welmora");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteFile("config/Welmora/redi.ini", data, size);
  auto* synth = static_cast<Synth*>(static_cast<IPlugVST*>(fuzz::SharedPlugin().effect->object));
  fuzz::Require(synth->ReadConfiguration() == Synth::ConfigReadResult::kSuccess, "read failed");
  synth->WriteConfiguration(Synth::ConfigWrite::kEverything);
  synth->WriteWavFolder(synth->wavBaseFolder);
  fuzz::Require(synth->ReadConfiguration() == Synth::ConfigReadResult::kSuccess, "re-read failed");
  const std::string again = IniFile::GetString("Global", "Path to WAV Files", "", 4095, path);
  fuzz::Require(again.size() <= 4095, "value longer than asked");
  return 0;
}
