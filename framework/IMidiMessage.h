#pragma once

#include <cstdint>

// A short MIDI message; offset is in frames from the start of the next block.
struct IMidiMessage {
  int32_t offset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// A system-exclusive message; data is owned by the sender for the call.
struct ISysExMessage {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;
};
