#include "MidiFile.h"

#include <algorithm>
#include <cstddef>

namespace {

// Bounds-checked big-endian cursor over the file's bytes.
class Reader {
 public:
  Reader(const uint8_t* begin, std::size_t size) : data(begin), size(size) {}

  bool AtEnd() const { return pos >= size; }
  bool Skip(uint64_t n) {
    if (n > size - pos) return false;
    pos += static_cast<std::size_t>(n);
    return true;
  }
  bool Byte(uint8_t* v) {
    if (pos >= size) return false;
    *v = data[pos++];
    return true;
  }
  bool Peek(uint8_t* v) const {
    if (pos >= size) return false;
    *v = data[pos];
    return true;
  }
  bool BigEndian(int bytes, uint32_t* v) {
    uint32_t result = 0;
    for (int i = 0; i < bytes; ++i) {
      uint8_t b = 0;
      if (!Byte(&b)) return false;
      result = (result << 8) | b;
    }
    *v = result;
    return true;
  }
  // Variable-length quantity: at most four bytes.
  bool VarLen(uint32_t* v) {
    uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = 0;
      if (!Byte(&b)) return false;
      result = (result << 7) | (b & 0x7Fu);
      if ((b & 0x80u) == 0) {
        *v = result;
        return true;
      }
    }
    return false;
  }
  // A cursor over the next n bytes (fewer when the data ends first); this
  // one moves past them.
  Reader Part(uint64_t n) {
    const std::size_t length = static_cast<std::size_t>(std::min<uint64_t>(n, size - pos));
    Reader part(data + pos, length);
    pos += length;
    return part;
  }
  bool Tag(const char* tag) {
    if (size - pos < 4) return false;
    const bool match = std::equal(tag, tag + 4, data + pos);
    if (match) pos += 4;
    return match;
  }

 private:
  const uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
};

struct TickEvent {
  uint64_t tick;
  int order;  // file order, to keep simultaneous events stable
  bool isTempo;
  uint32_t tempo;  // microseconds per quarter note
  TimedMidiEvent message;
};

int DataBytes(uint8_t status) {
  const int kind = status >> 4;
  return (kind == 0xC || kind == 0xD) ? 1 : 2;
}

// Reads one track's bytes; a message cut by the track's end is dropped.
bool ReadTrack(Reader r, int* order, std::vector<TickEvent>* out, std::string* error) {
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!r.AtEnd()) {
    uint32_t delta = 0;
    uint8_t first = 0;
    if (!r.VarLen(&delta) || !r.Peek(&first)) break;
    tick += delta;
    if (first == 0xFF) {  // meta event
      uint8_t type = 0;
      uint32_t len = 0;
      r.Skip(1);
      if (!r.Byte(&type) || !r.VarLen(&len)) break;
      if (type == 0x2F) break;  // end of track
      if (type == 0x51 && len == 3) {
        uint32_t tempo = 0;
        if (!r.BigEndian(3, &tempo)) break;
        if (tempo > 0) out->push_back({tick, (*order)++, true, tempo, {}});
      } else if (!r.Skip(len)) {
        break;
      }
      continue;
    }
    if (first == 0xF0 || first == 0xF7) {  // system exclusive: skipped
      uint32_t len = 0;
      r.Skip(1);
      if (!r.VarLen(&len) || !r.Skip(len)) break;
      running = 0;
      continue;
    }
    uint8_t status = running;
    if (first & 0x80u) {
      r.Skip(1);
      status = first;
      running = first < 0xF0 ? first : 0;
    }
    if (status < 0x80 || status >= 0xF0) {
      *error = "corrupt track data";
      return false;
    }
    TimedMidiEvent m;
    m.status = status;
    if (!r.Byte(&m.data1)) break;
    if (DataBytes(status) == 2 && !r.Byte(&m.data2)) break;
    m.data1 &= 0x7Fu;
    m.data2 &= 0x7Fu;
    out->push_back({tick, (*order)++, false, 0, m});
  }
  return true;
}

}  // namespace

bool ReadMidiFile(const std::vector<uint8_t>& bytes, std::vector<TimedMidiEvent>* events,
                  std::string* error) {
  events->clear();
  Reader r(bytes.data(), bytes.size());
  uint32_t headerLength = 0, format = 0, trackCount = 0, division = 0;
  if (!r.Tag("MThd") || !r.BigEndian(4, &headerLength) || headerLength < 6 ||
      !r.BigEndian(2, &format) || !r.BigEndian(2, &trackCount) || !r.BigEndian(2, &division) ||
      !r.Skip(headerLength - 6)) {
    *error = "not a Standard MIDI File";
    return false;
  }
  if (format > 1) {
    *error = "only MIDI file formats 0 and 1 are supported";
    return false;
  }
  if (division == 0) {
    *error = "MIDI file has no time division";
    return false;
  }
  std::vector<TickEvent> all;
  int order = 0;
  for (uint32_t t = 0; t < trackCount && !r.AtEnd(); ++t) {
    uint32_t length = 0;
    const bool isTrack = r.Tag("MTrk");
    if (!isTrack && !r.Skip(4)) break;
    if (!r.BigEndian(4, &length)) break;
    // Tracks cut short keep what was read.
    const Reader chunk = r.Part(length);
    if (isTrack && !ReadTrack(chunk, &order, &all, error)) return false;
  }
  std::stable_sort(all.begin(), all.end(), [](const TickEvent& a, const TickEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });

  // Ticks to seconds: metrical time follows the tempo map; SMPTE time is fixed.
  const bool smpte = (division & 0x8000u) != 0;
  double secondsPerTick = 0.5 / division;  // 120 beats per minute until a tempo event
  if (smpte) {
    const int framesPerSecond = 256 - static_cast<int>(division >> 8);
    const int ticksPerFrame = static_cast<int>(division & 0xFFu);
    secondsPerTick = 1.0 / (std::max(1, framesPerSecond) * std::max(1, ticksPerFrame));
  }
  uint64_t lastTick = 0;
  double seconds = 0.0;
  for (const TickEvent& e : all) {
    seconds += static_cast<double>(e.tick - lastTick) * secondsPerTick;
    lastTick = e.tick;
    if (e.isTempo) {
      if (!smpte) secondsPerTick = e.tempo * 1e-6 / division;
      continue;
    }
    TimedMidiEvent m = e.message;
    m.seconds = seconds;
    events->push_back(m);
  }
  return true;
}
