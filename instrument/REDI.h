#pragma once

#include <string>

#include "instrument/Synth.h"

// The vocoder plug-in.
class REDI : public Synth {
 public:
  static const Identity kIdentity;
  static constexpr const char* kStateTag = "REDI_1.1.1";

  explicit REDI(IHost* host);
  ~REDI() override;

  void InitParameters() override;
  void InitProgram() override;
  bool SaveState(IChunk& chunk) override;
  int LoadState(const IChunk& chunk, int pos) override;

  // The WAV file the modulator plays, absolute or relative to wavBaseFolder.
  std::string wavRequestedPath;
};
