#pragma once

#if !defined(_WIN32)
// The plug-in library keeps its own copy of the platform layer, so the test
// programs' in-process folder override does not reach it; it finds its
// configuration file through $XDG_CONFIG_HOME. While one of these lives, that
// is a fresh temporary folder. (Windows offers no such redirection of the
// local application-data folder short of the registry.)

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempFolder.h"

class PluginConfigHome {
 public:
  PluginConfigHome() {
    if (const char* value = std::getenv(kVariable)) {
      previous = value;
      hadPrevious = true;
    }
    setenv(kVariable, folder.Path().c_str(), 1);
  }
  ~PluginConfigHome() {
    if (hadPrevious) {
      setenv(kVariable, previous.c_str(), 1);
    } else {
      unsetenv(kVariable);
    }
  }
  PluginConfigHome(const PluginConfigHome&) = delete;
  PluginConfigHome& operator=(const PluginConfigHome&) = delete;

  // Instances created afterwards read these settings.
  void WriteConfiguration(const std::string& text) const {
    const std::filesystem::path maker = std::filesystem::path(folder.Path()) / "Welmora";
    std::filesystem::create_directories(maker);
    WriteBytes((maker / "redi.ini").string(), text);
  }

 private:
  static constexpr const char* kVariable = "XDG_CONFIG_HOME";
  TempFolder folder;
  std::string previous;
  bool hadPrevious = false;
};
#endif
