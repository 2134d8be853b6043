#pragma once

// Shared by the fuzz targets: an isolated work folder (also holding the
// configuration file, never the user's own), temporary files, a plug-in
// instance built as a host builds it, and a check that aborts so that the
// fuzzer reports the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/VST2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback master);

namespace fuzz {

// A private folder under /tmp, made once per process.
const std::string& WorkFolder();

// Points the plug-in's configuration folder into the work folder.
void IsolateConfiguration();

// Writes the bytes to a file of that name in the work folder; returns its path.
std::string WriteFile(const char* name, const uint8_t* data, size_t size);

// A host that knows nothing and answers only its version.
VstIntPtr VSTCALLBACK QuietHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                void* ptr, float opt);

// One plug-in instance from the library's entry, closed on destruction.
class Plugin {
 public:
  Plugin() : effect(VSTPluginMain(QuietHost)) {}
  ~Plugin() {
    if (effect != nullptr) Dispatch(effClose);
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* effect;
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  // Rate, block size, switched on.
  void Start(float rate, int block);
  // Processes a block of a quiet tone and requires finite output.
  void ProcessAndCheck(int frames);
  // Requires every parameter to read back within 0...1.
  void CheckParameters();
};

// One instance for the whole run, started at 44.1 kHz: building an instance
// (the factory bank, the configuration) costs far more than one input, so
// the targets share it and each input starts from where the last one left.
Plugin& SharedPlugin();

// Aborts with the message when the condition fails.
inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

}  // namespace fuzz
