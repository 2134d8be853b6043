#pragma once

// The event list: notes at their sample offsets inside the block.

#include "framework/vst3/Base.h"

namespace vst3 {

struct NoteOnEvent {
  int16 channel;
  int16 pitch;
  float tuning;    // cents
  float velocity;  // 0...1
  int32 length;
  int32 noteId;
};

struct NoteOffEvent {
  int16 channel;
  int16 pitch;
  float velocity;
  int32 noteId;
  float tuning;
};

// The largest member of the event union: it alone gives the union its size
// and, with its pointer, its alignment on 64-bit targets.
struct NoteExpressionTextEvent {
  uint32 typeId;
  int32 noteId;
  uint32 textLen;
  const TChar* text;
};

struct Event {
  enum EventTypes : uint16 { kNoteOnEvent = 0, kNoteOffEvent = 1 };
  int32 busIndex;
  int32 sampleOffset;
  double ppqPosition;
  uint16 flags;
  uint16 type;
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    NoteExpressionTextEvent noteExpressionText;
  };
};

class IEventList : public FUnknown {
 public:
  static constexpr Uid iid = MakeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
  virtual int32 VST3_CALL getEventCount() = 0;
  virtual tresult VST3_CALL getEvent(int32 index, Event& e) = 0;  // copies the event out
  virtual tresult VST3_CALL addEvent(Event& e) = 0;
};

static_assert(sizeof(NoteOnEvent) == 20 && offsetof(NoteOnEvent, noteId) == 16);
static_assert(sizeof(NoteOffEvent) == 16 && offsetof(NoteOffEvent, tuning) == 12);
static_assert(offsetof(Event, type) == 18);
#if VST3_X86_WINDOWS
static_assert(sizeof(Event) == 40 && offsetof(Event, noteOn) == 20);
#else
static_assert(sizeof(Event) == 48 && offsetof(Event, noteOn) == 24);
#endif

}  // namespace vst3
