#pragma once

#include <string>

// A configuration home of this run alone. The plug-in reads its settings
// (among them the folder its WAV programs play from) from
// $XDG_CONFIG_HOME/Welmora/redi.ini; pointing that variable at a temporary
// folder holding a written redi.ini tells the plug-in the WAV folder without
// touching the user's own file, and keeps the user's other settings (startup
// bank, controller map) out of the render. The folder is removed on destruction.
class PrivateConfiguration {
 public:
  PrivateConfiguration() = default;
  ~PrivateConfiguration();
  PrivateConfiguration(const PrivateConfiguration&) = delete;
  PrivateConfiguration& operator=(const PrivateConfiguration&) = delete;

  // Call before the plug-in is loaded. wavFolder may be empty (none).
  bool Create(const std::string& wavFolder, std::string* error);

 private:
  std::string home;
};
