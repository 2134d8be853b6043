#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "MidiFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

void BigEndian(Bytes* out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Header(uint16_t format, uint16_t tracks, uint16_t division) {
  Bytes b = {'M', 'T', 'h', 'd'};
  BigEndian(&b, 6, 4);
  BigEndian(&b, format, 2);
  BigEndian(&b, tracks, 2);
  BigEndian(&b, division, 2);
  return b;
}

// A track chunk around the given events, with the end-of-track event added.
Bytes Track(const Bytes& events) {
  Bytes b = {'M', 'T', 'r', 'k'};
  BigEndian(&b, static_cast<uint32_t>(events.size() + 4), 4);
  Append(&b, events);
  Append(&b, {0x00, 0xFF, 0x2F, 0x00});
  return b;
}

Bytes Tempo(uint32_t microsecondsPerQuarter) {
  Bytes b = {0xFF, 0x51, 0x03};
  BigEndian(&b, microsecondsPerQuarter, 3);
  return b;
}

std::vector<TimedMidiEvent> Read(const Bytes& file) {
  std::vector<TimedMidiEvent> events;
  std::string error;
  EXPECT_TRUE(ReadMidiFile(file, &events, &error)) << error;
  return events;
}

void ExpectEvent(const TimedMidiEvent& e, double seconds, uint8_t status, uint8_t data1,
                 uint8_t data2) {
  EXPECT_NEAR(e.seconds, seconds, 1e-12);
  EXPECT_EQ(e.status, status);
  EXPECT_EQ(e.data1, data1);
  EXPECT_EQ(e.data2, data2);
}

// Format 1: a tempo track (60 beats per minute, then 240 from beat 2) and a
// note track. 480 ticks per beat.
Bytes TwoTrackFile() {
  Bytes tempoTrack;
  Append(&tempoTrack, {0x00});
  Append(&tempoTrack, Tempo(1000000));
  Append(&tempoTrack, {0x87, 0x40});  // 960 ticks
  Append(&tempoTrack, Tempo(250000));
  const Bytes notes = {0x83, 0x60, 0x90, 60,  100,  // tick 480
                       0x83, 0x60, 0x80, 60,  0,    // tick 960
                       0x83, 0x60, 0x90, 64,  90,   // tick 1440
                       0x00, 0xE0, 0x00, 0x40};     // pitch bend, same tick
  Bytes file = Header(1, 2, 480);
  Append(&file, Track(tempoTrack));
  Append(&file, Track(notes));
  return file;
}

TEST(MidiFileTest, Format0ReadsRunningStatusVelocityZeroAndOneByteMessages) {
  const Bytes events = {0x00, 0x90, 60,   100,      // note on
                        0x83, 0x60, 60,   0,        // 480 ticks later, running: velocity 0
                        0x00, 0xC0, 5,              // program change: one data byte
                        0x81, 0x70, 0xB0, 7,   99,  // 240 ticks later
                        0x00, 10,   64};            // running controller
  Bytes file = Header(0, 1, 480);
  Append(&file, Track(events));
  const auto read = Read(file);
  ASSERT_EQ(read.size(), 5u);
  ExpectEvent(read[0], 0.0, 0x90, 60, 100);
  ExpectEvent(read[1], 0.5, 0x90, 60, 0);
  ExpectEvent(read[2], 0.5, 0xC0, 5, 0);
  ExpectEvent(read[3], 0.75, 0xB0, 7, 99);
  ExpectEvent(read[4], 0.75, 0xB0, 10, 64);
}

TEST(MidiFileTest, Format1MergesTracksUnderTheTempoMap) {
  const auto read = Read(TwoTrackFile());
  ASSERT_EQ(read.size(), 4u);
  ExpectEvent(read[0], 1.0, 0x90, 60, 100);
  ExpectEvent(read[1], 2.0, 0x80, 60, 0);
  ExpectEvent(read[2], 2.25, 0x90, 64, 90);
  ExpectEvent(read[3], 2.25, 0xE0, 0, 64);
}

TEST(MidiFileTest, SmpteDivisionCountsFramesAndIgnoresTempo) {
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
  Bytes events = {0x00};
  Append(&events, Tempo(250000));
  Append(&events, {0x83, 0x74, 0x90, 60, 100});  // 500 ticks
  Bytes file = Header(0, 1, static_cast<uint16_t>((0x100 - 25) << 8 | 40));
  Append(&file, Track(events));
  const auto read = Read(file);
  ASSERT_EQ(read.size(), 1u);
  ExpectEvent(read[0], 0.5, 0x90, 60, 100);
}

TEST(MidiFileTest, UnknownChunksAreSkipped) {
  Bytes file = Header(0, 1, 480);
  Append(&file, {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0x12, 0x34});
  Append(&file, Track({0x00, 0x90, 64, 80}));
  const auto read = Read(file);
  ASSERT_EQ(read.size(), 1u);
  ExpectEvent(read[0], 0.0, 0x90, 64, 80);
}

// A damaged file is refused with what is wrong, never read in part.
TEST(MidiFileTest, DamagedTracksAreNamedWithTheirFault) {
  const std::pair<Bytes, std::string> cases[] = {
      // A delta time of five bytes.
      {Track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100}),
       "track 1 has a delta time longer than four bytes"},
      // A message cut by the track's declared length.
      {Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 3, 0x00, 0x90, 61}, "track 1 ends inside an event"},
      // A track whose declared length runs past the file.
      {Bytes{'M', 'T', 'r', 'k', 0, 0, 1, 0, 0x00, 0x90, 61, 100}, "track 1 is cut off"},
      // A running-status data byte with no status before it.
      {Track({0x00, 60, 100}), "track 1 has a data byte without a status"},
  };
  for (const auto& [track, message] : cases) {
    Bytes file = Header(0, 1, 480);
    Append(&file, track);
    std::vector<TimedMidiEvent> events;
    std::string error;
    EXPECT_FALSE(ReadMidiFile(file, &events, &error)) << message;
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
    EXPECT_TRUE(events.empty());
  }
  Bytes missing = Header(1, 2, 480);
  Append(&missing, Track({0x00, 0x90, 64, 80}));
  std::vector<TimedMidiEvent> events;
  std::string error;
  EXPECT_FALSE(ReadMidiFile(missing, &events, &error));
  EXPECT_EQ(error, "the file ends after 1 of its 2 tracks");
}

TEST(MidiFileTest, RejectsWhatIsNotAReadableFile) {
  const Bytes notes = Track({0x00, 0x90, 60, 100});
  Bytes format2 = Header(2, 1, 480), noDivision = Header(0, 1, 0), systemInTrack = Header(0, 1, 96);
  Append(&format2, notes);
  Append(&noDivision, notes);
  Append(&systemInTrack, Track({0x00, 0xF3, 1}));
  for (const Bytes& file : {Bytes{}, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0},
                            format2, noDivision, systemInTrack}) {
    std::vector<TimedMidiEvent> events;
    std::string error;
    EXPECT_FALSE(ReadMidiFile(file, &events, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(events.empty());
  }
}

// Every cut of a valid file is refused, and random bytes behind a valid
// header are read without touching memory outside the bytes (the sanitizer
// build checks).
TEST(MidiFileTest, CutAndGarbledFilesFailCleanly) {
  const Bytes whole = TwoTrackFile();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    std::vector<TimedMidiEvent> events;
    std::string error;
    EXPECT_FALSE(ReadMidiFile(cut, &events, &error)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }

  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    Bytes file = Header(static_cast<uint16_t>(n % 2), static_cast<uint16_t>(random() % 4),
                        static_cast<uint16_t>(random()));
    if (n % 3 != 0) Append(&file, {'M', 'T', 'r', 'k'});
    const std::size_t tail = random() % 48;
    for (std::size_t i = 0; i < tail; ++i) file.push_back(static_cast<uint8_t>(random()));
    std::vector<TimedMidiEvent> events;
    std::string error;
    const bool read = ReadMidiFile(file, &events, &error);
    EXPECT_TRUE(read || !error.empty());
  }
}

}  // namespace
