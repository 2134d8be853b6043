#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A channel message of a Standard MIDI File, at its time in seconds.
struct TimedMidiEvent {
  double seconds = 0.0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// Reads a Standard MIDI File (format 0 or 1) from memory: every channel
// message of every track, merged in time order, with the tempo map applied.
// Returns false with a reason for anything that is not a readable file;
// never reads outside the bytes.
bool ReadMidiFile(const std::vector<uint8_t>& bytes, std::vector<TimedMidiEvent>* events,
                  std::string* error);
