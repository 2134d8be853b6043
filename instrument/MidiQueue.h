#pragma once

#include <cstddef>
#include <vector>

#include "framework/IMidiMessage.h"

// MIDI messages waiting for the audio process, kept sorted by frame offset;
// messages with equal offsets keep their arrival order. Add runs when the
// host delivers events, the drain inside the block process; both hold the
// plug-in lock.
class MidiQueue {
 public:
  // Beyond this many messages (8 MiB) Add drops messages instead of growing.
  static constexpr int kMaxCapacity = 1 << 20;

  MidiQueue(int capacity = 1024, int growthStep = 1024);

  void Add(const IMidiMessage& message);  // may allocate when full
  bool Empty() const { return front == end; }
  int Count() const { return end - front; }
  // Front and At are only valid for unread messages (check Empty / Count).
  IMidiMessage& Front() { return messages[static_cast<size_t>(front)]; }
  IMidiMessage& At(int unreadIndex) { return messages[static_cast<size_t>(front + unreadIndex)]; }
  // Once the last unread message is taken the array is reused from the start.
  void PopFront() {
    if (front < end && ++front == end) front = end = 0;
  }
  // Saturates at the int32 limits, which keeps the order intact.
  void SubtractFromOffsets(int frames);
  // Moves unread messages to the start and sizes the array for the host's
  // maximum block size (rounded up to a multiple of 512).
  void Compact(int maxBlockSize);

  int Capacity() const { return static_cast<int>(messages.size()); }
  int GrowthStep() const { return growthStep; }
  int FrontIndex() const { return front; }

 private:
  bool Grow();
  void MoveUnreadToStart();

  std::vector<IMidiMessage> messages;  // size() is the capacity
  int growthStep;
  int front = 0;
  int end = 0;
};
