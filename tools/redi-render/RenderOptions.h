#pragma once

#include <string>
#include <vector>

#include "AudioStreams.h"

// What one run of redi-render is asked to do.
struct RenderOptions {
  enum class Mode { kRender, kDemo, kListParams, kListPrograms, kHelp, kVersion };

  Mode mode = Mode::kDemo;
  std::string plugin;     // empty: found beside the executable or in the usual places
  std::string wavFolder;  // empty: the WAV material installed beside the plug-in
  std::string modulator;  // MIC input file
  std::string carrier;    // EXT input file, optional
  std::string midiFile;
  std::vector<int> notes;  // held from the first sample
  int program = -1;
  std::string bank;
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
  double rate = 0.0;                                          // 0: the modulator's rate
  int block = 512;
  double tail = 1.0;  // seconds rendered after the later of the input's end and the last event
  SampleFormat sampleFormat = SampleFormat::kDefault;
  bool quiet = false;
  std::string output;
};

// Parses the command line (argv[1..]). Returns false with a one-line reason.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error);

extern const char* const kRenderUsage;
