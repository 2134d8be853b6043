#pragma once

#include "framework/IChunk.h"

// One of the 64 programs: a complete state chunk with a name.
struct IProgram {
  static constexpr int kNameSize = 256;

  bool initialised = false;
  char name[kNameSize] = "empty";
  IChunk state;
};
