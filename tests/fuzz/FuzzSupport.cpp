#include "tests/fuzz/FuzzSupport.h"

#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/platform/UserFolders.h"

namespace fuzz {

const std::string& WorkFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/redi-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    Require(made != nullptr, "cannot make the work folder");
    return std::string(made);
  }();
  return folder;
}

void IsolateConfiguration() { UserFolders::SetAppDataFolderForTests(WorkFolder() + "/config"); }

std::string WriteFile(const char* name, const uint8_t* data, size_t size) {
  const std::string path = WorkFolder() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "cannot write a work file");
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
  return path;
}

VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

Plugin& SharedPlugin() {
  static Plugin* plug = [] {
    auto* made = new Plugin;  // lives until the process ends
    Require(made->effect != nullptr, "no instance");
    made->Start(44100.0f, 512);
    return made;
  }();
  return *plug;
}

void Plugin::Start(float rate, int block) {
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  Dispatch(effSetBlockSize, 0, block);
  Dispatch(effMainsChanged, 0, 1);
}

void Plugin::ProcessAndCheck(int frames) {
  std::vector<float> tone(static_cast<size_t>(frames)), left(tone.size()), right(tone.size());
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5f * std::sin(0.07f * static_cast<float>(i));
  float* inputs[4] = {tone.data(), tone.data(), tone.data(), tone.data()};
  float* outputs[2] = {left.data(), right.data()};
  effect->processReplacing(effect, inputs, outputs, frames);
  for (size_t i = 0; i < tone.size(); ++i)
    Require(std::isfinite(left[i]) && std::isfinite(right[i]), "output is not finite");
}

void Plugin::CheckParameters() {
  for (int index = 0; index < effect->numParams; ++index) {
    const float v = effect->getParameter(effect, index);
    Require(v >= 0.0f && v <= 1.0f, "parameter outside 0...1");
  }
}

}  // namespace fuzz
