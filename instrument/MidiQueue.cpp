#include "instrument/MidiQueue.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace {

constexpr int64_t kBlockGranule = 512;

int64_t RoundUpToGranule(int64_t n) {
  return (n + kBlockGranule - 1) / kBlockGranule * kBlockGranule;
}

}  // namespace

MidiQueue::MidiQueue(int capacity, int growthStep)
    : messages(static_cast<size_t>(std::clamp(capacity, 1, kMaxCapacity))),
      growthStep(std::clamp(growthStep, 1, kMaxCapacity)) {}

void MidiQueue::Add(const IMidiMessage& message) {
  if (end == Capacity()) {
    if (front > 0) {
      MoveUnreadToStart();
    } else if (!Grow()) {
      return;  // no room: the message is dropped
    }
  }
  const auto first = messages.begin() + front;
  const auto last = messages.begin() + end;
  if (front == end || message.offset >= messages[static_cast<size_t>(end - 1)].offset) {
    *last = message;
  } else {
    // After every message with the same offset, so the host's order holds.
    const auto at = std::upper_bound(
        first, last, message.offset,
        [](int32_t offset, const IMidiMessage& queued) { return offset < queued.offset; });
    std::copy_backward(at, last, last + 1);
    *at = message;
  }
  ++end;
}

void MidiQueue::SubtractFromOffsets(int frames) {
  for (int i = front; i < end; ++i) {
    IMidiMessage& m = messages[static_cast<size_t>(i)];
    const int64_t shifted = static_cast<int64_t>(m.offset) - frames;
    m.offset = static_cast<int32_t>(std::clamp<int64_t>(
        shifted, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  }
}

void MidiQueue::Compact(int maxBlockSize) {
  MoveUnreadToStart();
  growthStep = static_cast<int>(RoundUpToGranule(std::clamp(maxBlockSize, 1, kMaxCapacity)));
  const int64_t capacity = std::max<int64_t>(growthStep, RoundUpToGranule(end));
  try {
    messages.resize(static_cast<size_t>(capacity));
  } catch (const std::bad_alloc&) {
    // The current array still holds every unread message.
  }
}

bool MidiQueue::Grow() {
  const int64_t capacity = (static_cast<int64_t>(Capacity()) / growthStep + 1) * growthStep;
  if (capacity > kMaxCapacity) return false;
  try {
    messages.resize(static_cast<size_t>(capacity));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void MidiQueue::MoveUnreadToStart() {
  if (front == 0) return;
  std::copy(messages.begin() + front, messages.begin() + end, messages.begin());
  end -= front;
  front = 0;
}
