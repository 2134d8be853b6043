#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "framework/IChunk.h"

namespace {

IChunk ChunkOf(std::initializer_list<uint8_t> bytes) {
  IChunk chunk;
  for (uint8_t b : bytes) chunk.PutBytes(&b, 1);
  return chunk;
}

TEST(IChunkTest, WritesLittleEndianWhateverTheHost) {
  IChunk chunk;
  ASSERT_TRUE(chunk.PutInt32(0x01020304));
  ASSERT_TRUE(chunk.PutInt32(-2));
  ASSERT_TRUE(chunk.PutDouble(1.0));  // 0x3FF0000000000000
  ASSERT_TRUE(chunk.PutBool(true));
  ASSERT_TRUE(chunk.PutText("ab"));
  const uint8_t expected[] = {4, 3, 2,    1,    0xFE, 0xFF, 0xFF, 0xFF, 0, 0,   0,  0,
                              0, 0, 0xF0, 0x3F, 1,    2,    0,    0,    0, 'a', 'b'};
  ASSERT_EQ(chunk.Size(), static_cast<int>(sizeof expected));
  EXPECT_EQ(0, std::memcmp(chunk.Data(), expected, sizeof expected));
}

TEST(IChunkTest, ReadsBackEveryTypeAndReturnsTheNextPosition) {
  IChunk chunk;
  const double tricky = -0.1;
  chunk.PutInt32(INT32_MIN);
  chunk.PutDouble(tricky);
  chunk.PutDouble(std::numeric_limits<double>::denorm_min());
  chunk.PutBool(false);
  chunk.PutText("h\xC3\xA9llo");
  chunk.PutText("");

  int32_t i = 0;
  double d = 0, tiny = 0;
  bool b = true;
  std::string text, empty = "x";
  int pos = chunk.GetInt32(&i, 0);
  EXPECT_EQ(pos, 4);
  pos = chunk.GetDouble(&d, pos);
  pos = chunk.GetDouble(&tiny, pos);
  pos = chunk.GetBool(&b, pos);
  pos = chunk.GetText(&text, pos);
  pos = chunk.GetText(&empty, pos);
  EXPECT_EQ(pos, chunk.Size());
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_EQ(d, tricky);
  EXPECT_EQ(tiny, std::numeric_limits<double>::denorm_min());
  EXPECT_FALSE(b);
  EXPECT_EQ(text, "h\xC3\xA9llo");
  EXPECT_EQ(empty, "");
}

TEST(IChunkTest, AnyNonZeroByteReadsAsTrue) {
  const IChunk chunk = ChunkOf({0x80});
  bool b = false;
  EXPECT_EQ(chunk.GetBool(&b, 0), 1);
  EXPECT_TRUE(b);
}

TEST(IChunkTest, ReadsThatDoNotFitFailAndLeaveTheDestination) {
  const IChunk chunk = ChunkOf({1, 2, 3, 4, 5, 6, 7});
  int32_t i = 42;
  double d = 4.5;
  bool b = true;
  uint8_t raw[2] = {9, 9};
  EXPECT_EQ(chunk.GetInt32(&i, 4), -1);
  EXPECT_EQ(chunk.GetDouble(&d, 0), -1);
  EXPECT_EQ(chunk.GetBool(&b, 7), -1);
  EXPECT_EQ(chunk.GetBytes(raw, 2, 6), -1);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(d, 4.5);
  EXPECT_TRUE(b);
  EXPECT_EQ(raw[0], 9);
  // Negative and huge positions and sizes never wrap around into the data.
  for (int pos : {-1, -4, INT_MIN, 8, INT_MAX, INT_MAX - 3}) {
    EXPECT_EQ(chunk.GetInt32(&i, pos), -1) << pos;
    EXPECT_EQ(chunk.GetBool(&b, pos), -1) << pos;
  }
  EXPECT_EQ(chunk.GetBytes(raw, -1, 0), -1);
  EXPECT_EQ(chunk.GetBytes(raw, INT_MAX, 1), -1);
  EXPECT_EQ(chunk.GetBytes(raw, 0, 7), 7);  // an empty read at the very end is fine
  EXPECT_EQ(i, 42);
}

TEST(IChunkTest, TextLengthFieldsOfAnyValueStayInside) {
  std::string text = "keep";
  // Fewer than four bytes for the length.
  EXPECT_EQ(ChunkOf({1, 0, 0}).GetText(&text, 0), -1);
  EXPECT_EQ(text, "keep");

  // A text whose bytes are missing is skipped past, so the next read fails.
  const IChunk shortText = ChunkOf({5, 0, 0, 0, 'a', 'b'});
  EXPECT_EQ(shortText.GetText(&text, 0), 9);
  EXPECT_EQ(text, "keep");

  // Lengths near 2^31 cannot overflow the returned position.
  const IChunk huge = ChunkOf({0xFF, 0xFF, 0xFF, 0x7F, 'a'});
  EXPECT_EQ(huge.GetText(&text, 0), -1);
  const IChunk bigButRepresentable = ChunkOf({0xF0, 0xFF, 0xFF, 0x7F});
  EXPECT_EQ(bigButRepresentable.GetText(&text, 0), 4 + 0x7FFFFFF0);
  EXPECT_EQ(text, "keep");

  // Zero and negative lengths give the empty text and never move backwards.
  for (const IChunk& chunk : {ChunkOf({0, 0, 0, 0, 'x'}), ChunkOf({0xFC, 0xFF, 0xFF, 0xFF, 'x'}),
                              ChunkOf({0, 0, 0, 0x80, 'x'})}) {
    text = "keep";
    EXPECT_EQ(chunk.GetText(&text, 0), 4);
    EXPECT_EQ(text, "");
  }
}

TEST(IChunkTest, ResizeZeroFillsAndRefusesNegativeSizes) {
  IChunk chunk = ChunkOf({7});
  EXPECT_TRUE(chunk.Resize(5));
  EXPECT_EQ(chunk.Size(), 5);
  EXPECT_EQ(chunk.Data()[0], 7);
  EXPECT_EQ(chunk.Data()[4], 0);
  EXPECT_FALSE(chunk.Resize(-1));
  EXPECT_EQ(chunk.Size(), 5);
  chunk.Clear();
  EXPECT_EQ(chunk.Size(), 0);
}

TEST(IChunkTest, PutRefusesInvalidRawBytes) {
  IChunk chunk;
  EXPECT_FALSE(chunk.PutBytes(nullptr, 3));
  EXPECT_FALSE(chunk.PutBytes("abc", -1));
  EXPECT_TRUE(chunk.PutBytes(nullptr, 0));
  EXPECT_TRUE(chunk.PutText(nullptr));  // the empty text
  EXPECT_EQ(chunk.Size(), 4);
}

}  // namespace
