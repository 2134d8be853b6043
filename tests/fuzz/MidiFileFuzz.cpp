// Standard MIDI Files as redi-render reads them.

#include <cmath>
#include <string>
#include <vector>

#include "MidiFile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<TimedMidiEvent> events;
  std::string error;
  if (!ReadMidiFile(bytes, &events, &error)) return 0;
  double previous = 0.0;
  for (const TimedMidiEvent& event : events) {
    fuzz::Require(std::isfinite(event.seconds) && event.seconds >= previous, "events out of order");
    fuzz::Require(event.status >= 0x80 && event.status < 0xF0, "not a channel message");
    previous = event.seconds;
  }
  return 0;
}
