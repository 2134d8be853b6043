#pragma once

#include <string>
#include <vector>

// What one run of redi-render is asked to do.
struct RenderOptions {
  enum class Mode { kRender, kDemo, kListParams, kListPrograms, kHelp };

  Mode mode = Mode::kDemo;
  std::string plugin;     // empty: the plug-in beside the executable
  std::string modulator;  // MIC input file
  std::string carrier;    // EXT input file, optional
  std::string midiFile;
  std::vector<int> notes;  // held from the first sample
  int program = -1;
  std::string bank;
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
  double rate = 0.0;                                          // 0: the modulator's rate
  int block = 512;
  std::string output;
};

// Parses the command line (argv[1..]). Returns false with a one-line reason.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error);

extern const char* const kRenderUsage;
