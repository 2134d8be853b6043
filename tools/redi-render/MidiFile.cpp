#include "MidiFile.h"

#include <algorithm>
#include <cstddef>

namespace {

// Bounds-checked big-endian cursor over the file's bytes. Offsets in its
// messages count from the start of the file.
class Reader {
 public:
  Reader(const uint8_t* begin, std::size_t size, std::size_t base = 0)
      : data(begin), size(size), base(base) {}

  bool AtEnd() const { return pos >= size; }
  std::size_t Left() const { return size - pos; }
  std::size_t Offset() const { return base + pos; }
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
  enum class VarLenResult { kRead, kCut, kTooLong };
  // Variable-length quantity: at most four bytes.
  VarLenResult VarLen(uint32_t* v) {
    uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = 0;
      if (!Byte(&b)) return VarLenResult::kCut;
      result = (result << 7) | (b & 0x7Fu);
      if ((b & 0x80u) == 0) {
        *v = result;
        return VarLenResult::kRead;
      }
    }
    return VarLenResult::kTooLong;
  }
  // A cursor over the next n bytes, which must be there; this one moves past them.
  Reader Part(std::size_t n) {
    Reader part(data + pos, n, base + pos);
    pos += n;
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
  std::size_t base;
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

class TrackReader {
 public:
  TrackReader(Reader r, int number, int* order, std::vector<TickEvent>* out)
      : r(r), number(number), order(order), out(out) {}

  // Reads every event up to the end-of-track event or the chunk's end.
  bool Read(std::string* error) {
    while (!r.AtEnd()) {
      const std::size_t at = r.Offset();
      uint32_t delta = 0;
      if (!VarLen("delta time", &delta, error)) return false;
      tick += delta;
      uint8_t first = 0;
      if (!r.Peek(&first)) return Cut(at, error);
      bool ended = false;
      const bool read = first == 0xFF                    ? Meta(at, &ended, error)
                        : first == 0xF0 || first == 0xF7 ? SystemExclusive(at, error)
                                                         : Channel(at, first, error);
      if (!read) return false;
      if (ended) break;
    }
    return true;
  }

 private:
  bool Fail(const std::string& what, std::size_t at, std::string* error) const {
    *error = "track " + std::to_string(number) + " " + what + " (byte " + std::to_string(at) + ")";
    return false;
  }
  bool Cut(std::size_t at, std::string* error) const {
    return Fail("ends inside an event", at, error);
  }
  bool VarLen(const char* what, uint32_t* v, std::string* error) {
    const std::size_t at = r.Offset();
    switch (r.VarLen(v)) {
      case Reader::VarLenResult::kRead:
        return true;
      case Reader::VarLenResult::kCut:
        return Cut(at, error);
      case Reader::VarLenResult::kTooLong:
        break;
    }
    return Fail(std::string("has a ") + what + " longer than four bytes", at, error);
  }

  bool Meta(std::size_t at, bool* ended, std::string* error) {
    uint8_t type = 0;
    uint32_t len = 0;
    r.Skip(1);
    if (!r.Byte(&type)) return Cut(at, error);
    if (!VarLen("length", &len, error)) return false;
    if (len > r.Left()) return Cut(at, error);
    if (type == 0x2F) {
      *ended = true;
      return true;
    }
    if (type == 0x51 && len == 3) {
      uint32_t tempo = 0;
      r.BigEndian(3, &tempo);
      if (tempo > 0) out->push_back({tick, (*order)++, true, tempo, {}});
      return true;
    }
    r.Skip(len);
    return true;
  }

  bool SystemExclusive(std::size_t at, std::string* error) {
    uint32_t len = 0;
    r.Skip(1);
    if (!VarLen("length", &len, error)) return false;
    if (!r.Skip(len)) return Cut(at, error);
    running = 0;
    return true;
  }

  bool Channel(std::size_t at, uint8_t first, std::string* error) {
    uint8_t status = running;
    if (first & 0x80u) {
      r.Skip(1);
      status = first;
      running = first < 0xF0 ? first : 0;
    }
    if (status < 0x80 || status >= 0xF0)
      return Fail(status == 0 ? "has a data byte without a status" : "has a system message", at,
                  error);
    TimedMidiEvent m;
    m.status = status;
    if (!r.Byte(&m.data1)) return Cut(at, error);
    if (DataBytes(status) == 2 && !r.Byte(&m.data2)) return Cut(at, error);
    if ((m.data1 | m.data2) & 0x80u) return Fail("has a data byte of 128 or more", at, error);
    out->push_back({tick, (*order)++, false, 0, m});
    return true;
  }

  Reader r;
  int number;
  int* order;
  std::vector<TickEvent>* out;
  uint64_t tick = 0;
  uint8_t running = 0;
};

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
  // Chunks of unknown kinds are skipped, as the file format asks.
  for (uint32_t t = 0; t < trackCount;) {
    if (r.AtEnd()) {
      *error = "the file ends after " + std::to_string(t) + " of its " +
               std::to_string(trackCount) + " tracks";
      return false;
    }
    const std::size_t at = r.Offset();
    const bool isTrack = r.Tag("MTrk");
    uint32_t length = 0;
    if ((!isTrack && !r.Skip(4)) || !r.BigEndian(4, &length)) {
      *error = "the file ends inside a chunk header (byte " + std::to_string(at) + ")";
      return false;
    }
    if (length > r.Left()) {
      *error = (isTrack ? "track " + std::to_string(t + 1) : std::string("a chunk")) +
               " is cut off: it declares " + std::to_string(length) + " bytes but " +
               std::to_string(r.Left()) + " follow (byte " + std::to_string(at) + ")";
      return false;
    }
    const Reader chunk = r.Part(length);
    if (!isTrack) continue;
    ++t;
    if (!TrackReader(chunk, static_cast<int>(t), &order, &all).Read(error)) return false;
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
