#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/IHost.h"
#include "framework/Text.h"

namespace {

// A host that records what the plug-in tells it and answers with set texts.
class RecordingHost : public IHost {
 public:
  struct Automation {
    int index;
    float value;
  };

  void Automate(int paramIndex, float normalizedValue) override {
    automations.push_back({paramIndex, normalizedValue});
  }
  void BeginEdit(int paramIndex) override {
    events.push_back("begin " + std::to_string(paramIndex));
  }
  void EndEdit(int paramIndex) override { events.push_back("end " + std::to_string(paramIndex)); }
  void UpdateDisplay() override { events.push_back("update display"); }
  void ProductString(char* text, int size) override {
    ++productAsked;
    CopyText(text, static_cast<size_t>(size), product.c_str());
  }
  void VendorString(char* text, int size) override {
    ++vendorAsked;
    CopyText(text, static_cast<size_t>(size), vendor.c_str());
  }
  int VendorVersion() override {
    ++versionAsked;
    return version;
  }
  int ProcessLevel() override { return processLevel; }
  bool SendMidi(const IMidiMessage& message) override {
    midi.push_back(message);
    return accepts;
  }
  bool SendSysEx(const ISysExMessage& message) override {
    sysEx.push_back(message);
    return accepts;
  }
  bool ResizeEditorWindow(int width, int height) override {
    windowSizes.push_back({width, height});
    return resizesWindow;
  }

  std::vector<Automation> automations;
  std::vector<std::string> events;
  std::vector<IMidiMessage> midi;
  std::vector<ISysExMessage> sysEx;
  std::string product;
  std::string vendor;
  int version = 0;
  int processLevel = 0;
  bool accepts = true;
  std::vector<std::pair<int, int>> windowSizes;  // asked for, in pixels
  bool resizesWindow = false;
  int productAsked = 0;
  int vendorAsked = 0;
  int versionAsked = 0;
};

}  // namespace
