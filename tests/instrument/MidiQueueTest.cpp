#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "instrument/MidiQueue.h"

namespace {

// data1 tags each message with its arrival number.
IMidiMessage Message(int32_t offset, int tag) {
  IMidiMessage m;
  m.offset = offset;
  m.status = 0x90;
  m.data1 = static_cast<uint8_t>(tag);
  return m;
}

// The tags of the unread messages, in the order they are drained.
std::vector<int> DrainTags(MidiQueue& queue) {
  std::vector<int> tags;
  while (!queue.Empty()) {
    tags.push_back(queue.Front().data1);
    queue.PopFront();
  }
  return tags;
}

void Fill(MidiQueue& queue, int count) {
  for (int i = 0; i < count; ++i) queue.Add(Message(i, i & 0x7F));
}

TEST(MidiQueueTest, DrainsByOffsetKeepingArrivalOrderOnTies) {
  MidiQueue queue;
  queue.Add(Message(10, 0));
  queue.Add(Message(5, 1));
  queue.Add(Message(5, 2));
  queue.Add(Message(20, 3));
  EXPECT_EQ(DrainTags(queue), (std::vector<int>{1, 2, 0, 3}));
}

TEST(MidiQueueTest, EarlyMessageGoesBeforeEveryUnreadOne) {
  MidiQueue queue;
  queue.Add(Message(0, 0));
  queue.Add(Message(10, 1));
  queue.Add(Message(20, 2));
  queue.PopFront();
  queue.Add(Message(5, 3));
  queue.Add(Message(10, 4));
  EXPECT_EQ(DrainTags(queue), (std::vector<int>{3, 1, 4, 2}));
  queue.PopFront();  // nothing to take: no effect
  EXPECT_TRUE(queue.Empty());
}

TEST(MidiQueueTest, StaysSortedAndStableUnderMixedTraffic) {
  std::mt19937 random(7);
  MidiQueue queue;
  std::vector<IMidiMessage> expected;  // what is still unread, in drain order
  int tag = 0;
  for (int round = 0; round < 3000; ++round) {
    const IMidiMessage m = Message(static_cast<int32_t>(random() % 64), tag++ & 0x7F);
    queue.Add(m);
    const auto at = std::upper_bound(
        expected.begin(), expected.end(), m,
        [](const IMidiMessage& a, const IMidiMessage& b) { return a.offset < b.offset; });
    expected.insert(at, m);
    if (random() % 3 == 0 && !queue.Empty()) {
      ASSERT_EQ(queue.Front().offset, expected.front().offset);
      ASSERT_EQ(queue.Front().data1, expected.front().data1);
      queue.PopFront();
      expected.erase(expected.begin());
    }
  }
  ASSERT_EQ(queue.Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < queue.Count(); ++i) {
    ASSERT_EQ(queue.At(i).offset, expected[static_cast<size_t>(i)].offset);
    ASSERT_EQ(queue.At(i).data1, expected[static_cast<size_t>(i)].data1);
  }
}

TEST(MidiQueueTest, FullQueueGrowsByTheGrowthStep) {
  MidiQueue queue;
  EXPECT_EQ(queue.Capacity(), 1024);
  EXPECT_EQ(queue.GrowthStep(), 1024);
  Fill(queue, 1025);
  EXPECT_EQ(queue.Capacity(), 2048);
  EXPECT_EQ(queue.Count(), 1025);
  EXPECT_EQ(queue.At(1024).offset, 1024);
}

TEST(MidiQueueTest, FullQueueWithReadMessagesCompactsInstead) {
  MidiQueue queue;
  Fill(queue, 1024);
  for (int i = 0; i < 100; ++i) queue.PopFront();
  queue.Add(Message(3000, 1));
  EXPECT_EQ(queue.Capacity(), 1024);
  EXPECT_EQ(queue.FrontIndex(), 0);
  EXPECT_EQ(queue.Count(), 925);
  EXPECT_EQ(queue.Front().offset, 100);
  EXPECT_EQ(queue.At(924).offset, 3000);
}

TEST(MidiQueueTest, CompactSizesForTheBlockAndKeepsUnreadMessages) {
  MidiQueue queue;
  queue.Compact(1000);
  EXPECT_EQ(queue.GrowthStep(), 1024);
  EXPECT_EQ(queue.Capacity(), 1024);

  queue.Compact(100);
  EXPECT_EQ(queue.GrowthStep(), 512);
  EXPECT_EQ(queue.Capacity(), 512);
  Fill(queue, 513);  // from a full 512 to the next multiple of the step
  EXPECT_EQ(queue.Capacity(), 1024);

  for (int i = 0; i < 13; ++i) queue.PopFront();
  queue.Compact(64);  // 500 unread fit in 512
  EXPECT_EQ(queue.Capacity(), 512);
  EXPECT_EQ(queue.FrontIndex(), 0);
  EXPECT_EQ(queue.Count(), 500);
  EXPECT_EQ(queue.Front().offset, 13);

  Fill(queue, 300);
  queue.Compact(64);  // 800 unread need 1024
  EXPECT_EQ(queue.Capacity(), 1024);
  EXPECT_EQ(queue.Count(), 800);

  queue.Compact(0);
  EXPECT_EQ(queue.GrowthStep(), 512);
  queue.Compact(INT_MIN);
  EXPECT_EQ(queue.GrowthStep(), 512);
}

TEST(MidiQueueTest, DropsMessagesBeyondTheLimit) {
  MidiQueue queue;
  Fill(queue, MidiQueue::kMaxCapacity + 5);
  EXPECT_EQ(queue.Count(), MidiQueue::kMaxCapacity);
  EXPECT_EQ(queue.Capacity(), MidiQueue::kMaxCapacity);
}

TEST(MidiQueueTest, SubtractingFramesShiftsUnreadOffsetsAndSaturates) {
  MidiQueue queue;
  queue.Add(Message(INT_MIN + 5, 0));
  queue.Add(Message(0, 1));
  queue.Add(Message(40, 2));
  queue.Add(Message(INT_MAX, 3));
  queue.PopFront();
  queue.SubtractFromOffsets(44);
  EXPECT_EQ(queue.At(0).offset, -44);
  EXPECT_EQ(queue.At(1).offset, -4);
  EXPECT_EQ(queue.At(2).offset, INT_MAX - 44);
  queue.SubtractFromOffsets(INT_MIN);
  EXPECT_EQ(queue.At(0).offset, INT_MAX - 43);
  EXPECT_EQ(queue.At(2).offset, INT_MAX);

  MidiQueue low;
  low.Add(Message(INT_MIN + 5, 0));
  low.SubtractFromOffsets(INT_MAX);
  EXPECT_EQ(low.Front().offset, INT_MIN);
}

}  // namespace
