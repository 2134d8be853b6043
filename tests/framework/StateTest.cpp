#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "StateTestSupport.h"
#include "framework/Text.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

namespace {

IChunk Prefix(const IChunk& chunk, int size) {
  IChunk prefix;
  prefix.PutBytes(chunk.Data(), size);
  return prefix;
}

// A source plug-in with a named current program, a WAV path and values at a
// quarter of their ranges.
struct Source {
  REDI plug{nullptr};
  std::vector<double> values;
  Source() {
    SetFractions(plug, 0.25);
    plug.GetParam(kInputMode)->SetClamped(1.0);
    plug.wavRequestedPath = "C:\\voices\\take 1.wav";
    CopyText(plug.GetProgram(0)->name, IProgram::kNameSize, "Stage voice");
    values = Values(plug);
  }
};

TEST(StateTest, ChunkHeaderIsMagicAndVersion) {
  IChunk chunk;
  chunk.PutInt32(77);  // emptied first
  IPlugBase::WriteChunkHeader(chunk);
  const uint8_t expected[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(chunk.Size(), 8);
  EXPECT_EQ(0, std::memcmp(chunk.Data(), expected, 8));

  int pos = 0;
  EXPECT_EQ(IPlugBase::ReadChunkHeader(chunk, &pos), 0x10000);
  EXPECT_EQ(pos, 8);

  pos = 1;  // no header there
  EXPECT_EQ(IPlugBase::ReadChunkHeader(chunk, &pos), 0);
  EXPECT_EQ(pos, 1);
  pos = -3;
  EXPECT_EQ(IPlugBase::ReadChunkHeader(chunk, &pos), 0);
  EXPECT_EQ(pos, -3);
  for (int size = 0; size < 4; ++size) {
    pos = 0;
    EXPECT_EQ(IPlugBase::ReadChunkHeader(Prefix(chunk, size), &pos), 0);
    EXPECT_EQ(pos, 0);
  }
  for (int size = 4; size < 8; ++size) {  // magic without its version
    pos = 0;
    EXPECT_EQ(IPlugBase::ReadChunkHeader(Prefix(chunk, size), &pos), 0);
    EXPECT_EQ(pos, -1);
  }
}

TEST(StateTest, VocoderStateLayout) {
  Source source;
  IChunk chunk;
  ASSERT_TRUE(source.plug.SaveState(chunk));
  const std::string name = "Stage voice", path = source.plug.wavRequestedPath;
  const int values = 10 + 4 + 4 + static_cast<int>(name.size());
  ASSERT_EQ(chunk.Size(), values + 107 * 8 + 1 + 4 + static_cast<int>(path.size()));
  EXPECT_EQ(0, std::memcmp(chunk.Data(), "REDI_1.1.1", 10));
  int32_t index = -1;
  std::string text;
  EXPECT_EQ(chunk.GetInt32(&index, 10), 14);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(chunk.GetText(&text, 14), values);
  EXPECT_EQ(text, name);
  for (int i = 0; i < 107; ++i) {
    double v = 0;
    chunk.GetDouble(&v, values + 8 * i);
    EXPECT_EQ(v, source.values[static_cast<std::size_t>(i)]) << i;
  }
  bool wav = false;
  EXPECT_EQ(chunk.GetBool(&wav, values + 856), values + 857);
  EXPECT_TRUE(wav);
  EXPECT_EQ(chunk.GetText(&text, values + 857), chunk.Size());
  EXPECT_EQ(text, path);
}

TEST(StateTest, WavFlagNeedsTheWavInputAndAPath) {
  for (const auto& c : {std::make_pair(1.0, ""), std::make_pair(0.0, "a.wav")}) {
    BlankREDI plug(nullptr);
    plug.GetParam(kInputMode)->SetClamped(c.first);
    plug.wavRequestedPath = c.second;
    IChunk chunk;
    ASSERT_TRUE(plug.SaveState(chunk));
    bool wav = true;
    EXPECT_EQ(chunk.GetBool(&wav, chunk.Size() - 1), chunk.Size());
    EXPECT_FALSE(wav);

    BlankREDI target(nullptr);
    target.wavRequestedPath = "stale.wav";
    EXPECT_EQ(target.LoadState(chunk, 0), chunk.Size());
    EXPECT_EQ(target.wavRequestedPath, "");
  }
}

TEST(StateTest, VocoderStateRoundTripsAndSkipsTheEmbeddedIndexAndName) {
  Source source;
  IChunk chunk;
  chunk.PutInt32(5);  // states can start anywhere in a chunk
  ASSERT_TRUE(source.plug.SaveState(chunk));

  BlankREDI target(nullptr);
  CopyText(target.GetProgram(0)->name, IProgram::kNameSize, "Mine");
  EXPECT_EQ(target.LoadState(chunk, 4), chunk.Size());
  EXPECT_EQ(Values(target), source.values);
  EXPECT_EQ(target.wavRequestedPath, source.plug.wavRequestedPath);
  EXPECT_STREQ(target.ProgramName(0), "Mine");
  EXPECT_EQ(target.CurrentProgram(), 0);
}

TEST(StateTest, EveryTruncationOfAVocoderStateLoadsWhatIsThere) {
  Source source;
  IChunk chunk;
  ASSERT_TRUE(source.plug.SaveState(chunk));
  const int values = 10 + 4 + 4 + 11;
  const int flag = values + 856;
  const int path = flag + 1 + 4;

  BlankREDI target(nullptr);
  for (int size = 0; size <= chunk.Size(); ++size) {
    SCOPED_TRACE(size);
    SetFractions(target, 0.75);
    const std::vector<double> before = Values(target);
    target.wavRequestedPath = "stale.wav";
    const int end = target.LoadState(Prefix(chunk, size), 0);
    ExpectAllInRange(target);
    const std::vector<double> after = Values(target);

    if (size == chunk.Size()) {
      EXPECT_EQ(end, size);
      EXPECT_EQ(after, source.values);
      EXPECT_EQ(target.wavRequestedPath, source.plug.wavRequestedPath);
      continue;
    }
    EXPECT_EQ(target.wavRequestedPath, "");
    if (size >= path) {
      // The path's bytes are missing: skipped past, nothing stored.
      EXPECT_EQ(end, chunk.Size());
      EXPECT_EQ(after, source.values);
    } else if (size > flag) {
      EXPECT_EQ(end, -1);  // no length for the path
      EXPECT_EQ(after, source.values);
    } else if (size >= values) {
      EXPECT_EQ(end, -1);
      ExpectLoadedUpTo(target, static_cast<std::size_t>((size - values) / 8), source.values,
                       before);
    } else if (size >= 10) {
      EXPECT_EQ(end, -1);  // the tag is there, index or name are not
      EXPECT_EQ(after, before);
    } else {
      // Without the whole tag the bytes are read as bare values.
      EXPECT_EQ(end, -1);
      for (std::size_t i = 2; i < 107; ++i) EXPECT_EQ(after[i], before[i]) << i;
    }
  }
}

TEST(StateTest, EveryTruncationOfBareValuesStopsAtTheFirstMissingOne) {
  Source source;
  IChunk chunk;
  ASSERT_TRUE(source.plug.SerializeParams(chunk));
  BlankREDI target(nullptr);
  for (int size = 0; size <= chunk.Size(); ++size) {
    SetFractions(target, 0.75);
    const std::vector<double> before = Values(target);
    const int end = target.UnserializeParams(Prefix(chunk, size), 0);
    EXPECT_EQ(end, size == chunk.Size() ? size : -1);
    if (size == chunk.Size()) {
      EXPECT_EQ(target.LoadState(chunk, 0), -1);  // loads, but has no WAV flag
    }
    SCOPED_TRACE(size);
    ExpectLoadedUpTo(target, static_cast<std::size_t>(size / 8), source.values, before);
  }
}

TEST(StateTest, OddValuesAndLengthFieldsStayInsideTheChunk) {
  BlankREDI target(nullptr);
  SetFractions(target, 0.75);
  const std::vector<double> before = Values(target);

  // A name length near 2^31, or running past the end: nothing is loaded.
  for (int32_t length : {0x7FFFFFFF, 0x7FFFFFF0, 2000}) {
    IChunk chunk;
    chunk.PutBytes("REDI_1.1.1", 10);
    chunk.PutInt32(0);
    chunk.PutInt32(length);
    for (int i = 0; i < 107; ++i) chunk.PutDouble(0.5);
    chunk.PutBool(false);
    EXPECT_EQ(target.LoadState(chunk, 0), -1) << length;
    EXPECT_EQ(Values(target), before);
  }

  // A negative name length is an empty name; values, NaN and infinities
  // included, are clamped into range.
  IChunk chunk;
  chunk.PutBytes("REDI_1.1.1", 10);
  chunk.PutInt32(3);
  chunk.PutInt32(-5);
  chunk.PutDouble(std::numeric_limits<double>::quiet_NaN());
  chunk.PutDouble(std::numeric_limits<double>::infinity());
  for (int i = 2; i < 107; ++i) chunk.PutDouble(-1e300);
  chunk.PutBool(true);
  chunk.PutInt32(-7);  // negative path length: the empty path
  EXPECT_EQ(target.LoadState(chunk, 0), chunk.Size());
  EXPECT_EQ(target.GetParam(0)->Value(), ZeroClamped(*target.GetParam(0)));
  EXPECT_EQ(target.GetParam(1)->Value(), target.GetParam(1)->Max());
  for (int i = 2; i < 107; ++i) EXPECT_EQ(target.GetParam(i)->Value(), target.GetParam(i)->Min());
  EXPECT_EQ(target.wavRequestedPath, "");

  // Start positions outside the chunk read nothing.
  SetFractions(target, 0.75);
  EXPECT_EQ(target.LoadState(chunk, -1), -1);
  EXPECT_EQ(target.LoadState(chunk, chunk.Size() + 100), -1);
  EXPECT_EQ(target.UnserializeParams(chunk, -8), -8);
  ExpectAllInRange(target);
}

TEST(StateTest, GarbageNeverEscapesTheChunk) {
  BlankREDI target(nullptr);
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 300; ++round) {
    IChunk chunk;
    if (round % 2 == 0) chunk.PutBytes("REDI_1.1.1", 10);
    const int size = static_cast<int>(next() >> 22);  // up to 1023 bytes
    for (int i = 0; i < size; ++i) {
      const uint8_t b = static_cast<uint8_t>(next() >> 24);
      chunk.PutBytes(&b, 1);
    }
    const int end = target.LoadState(chunk, 0);
    EXPECT_TRUE(end == -1 || end >= 0);
    ExpectAllInRange(target);
    target.UnserializePresets(chunk, 0);
    ExpectAllInRange(target);
  }
}

// ---- Host chunks ----

std::vector<uint8_t> HostChunk(IPlugBase& plug, bool isBank) {
  const uint8_t* data = nullptr;
  const int size = plug.HostGetChunk(isBank, &data);
  if (size <= 0 || data == nullptr) return {};
  return std::vector<uint8_t>(data, data + size);
}

TEST(StateTest, ProgramChunkIsHeaderStateAndName) {
  Source source;
  const std::vector<uint8_t> program = HostChunk(source.plug, false);
  IChunk state;
  ASSERT_TRUE(source.plug.SaveState(state));
  ASSERT_EQ(program.size(), 8u + static_cast<std::size_t>(state.Size()) + 4 + 11);
  EXPECT_EQ(0,
            std::memcmp(program.data() + 8, state.Data(), static_cast<std::size_t>(state.Size())));
  EXPECT_EQ(0, std::memcmp(program.data() + program.size() - 11, "Stage voice", 11));
}

TEST(StateTest, BankChunkRoundTripsThroughTheHost) {
  BlankREDI source(nullptr);
  FillDistinctPrograms(source, 10);
  source.FillEmptyPrograms(64);
  ASSERT_TRUE(source.ApplyProgram(0));
  SetFractions(source, 0.33);  // live edits go into the current program
  const std::vector<double> live = Values(source);
  const std::vector<uint8_t> bank = HostChunk(source, true);

  BlankREDI target(nullptr);
  ASSERT_EQ(target.HostSetChunk(true, bank.data(), static_cast<int>(bank.size())), 1);
  EXPECT_EQ(Values(target), live);
  ExpectSameStore(source, target);
}

TEST(StateTest, ProgramChunkRoundTripsIntoTheCurrentProgram) {
  Source source;
  const std::vector<uint8_t> program = HostChunk(source.plug, false);
  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.ApplyProgram(6));
  ASSERT_EQ(target.HostSetChunk(false, program.data(), static_cast<int>(program.size())), 1);
  EXPECT_EQ(Values(target), source.values);
  EXPECT_EQ(target.wavRequestedPath, source.plug.wavRequestedPath);
  EXPECT_STREQ(target.ProgramName(6), "Stage voice");
  SetFractions(target, 0.5);
  ASSERT_TRUE(target.ApplyProgram(6));
  EXPECT_EQ(Values(target), source.values);
}

TEST(StateTest, HostMayHandBackTheBufferItGot) {
  Source source;
  FillDistinctPrograms(source.plug, 3);
  for (bool isBank : {false, true}) {
    const std::vector<double> live = Values(source.plug);
    const uint8_t* data = nullptr;
    const int size = source.plug.HostGetChunk(isBank, &data);
    ASSERT_GT(size, 0);
    EXPECT_EQ(source.plug.HostSetChunk(isBank, data, size), 1);
    EXPECT_EQ(Values(source.plug), live);
  }
}

TEST(StateTest, SetChunkRefusesNothingToRead) {
  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  const std::vector<double> before = Values(target);
  const uint8_t byte = 0;
  EXPECT_EQ(target.HostSetChunk(true, nullptr, 100), 0);
  EXPECT_EQ(target.HostSetChunk(false, &byte, 0), 0);
  EXPECT_EQ(target.HostSetChunk(false, &byte, -5), 0);
  EXPECT_EQ(Values(target), before);
  EXPECT_STREQ(target.ProgramName(0), "Empty");
}

TEST(StateTest, EveryTruncationOfHostChunksIsSurvived) {
  BlankREDI source(nullptr);
  source.ApplyProgram(0);
  source.ApplyProgram(1);
  IChunk state;
  ASSERT_TRUE(source.SaveState(state));
  for (bool isBank : {false, true}) {
    SCOPED_TRACE(isBank);
    const std::vector<uint8_t> chunk = HostChunk(source, isBank);
    // A program chunk needs its whole state and then either nothing or the
    // name's length field; a bank needs every record.
    const std::size_t stateEnd = 8u + static_cast<std::size_t>(state.Size());
    BlankREDI target(nullptr);
    for (std::size_t size = 1; size <= chunk.size(); ++size) {
      const bool complete =
          isBank ? size == chunk.size() : size == stateEnd || size >= stateEnd + 4;
      const int result = target.HostSetChunk(isBank, chunk.data(), static_cast<int>(size));
      ASSERT_EQ(result, complete ? 1 : 0) << size;
      ExpectAllInRange(target);
    }
  }
}

TEST(StateTest, OnlyNamedVendorsGetProgramChunksAndBanksAreReadBack) {
  for (const char* vendor : {"Native Instruments", "JUCE VST Host", "native instruments"}) {
    SCOPED_TRACE(vendor);
    RecordingHost host;
    host.vendor = vendor;
    BlankREDI source(&host);
    FillDistinctPrograms(source, 10);
    source.FillEmptyPrograms(64);
    ASSERT_TRUE(source.ApplyProgram(3));
    EXPECT_EQ(HostChunk(source, true), HostChunk(source, false));

    // A bank from an ordinary host, handed back through the program call.
    BlankREDI bankSource(nullptr);
    FillDistinctPrograms(bankSource, 10);
    bankSource.FillEmptyPrograms(64);
    const std::vector<uint8_t> bank = HostChunk(bankSource, true);
    BlankREDI target(&host);
    ASSERT_EQ(target.HostSetChunk(true, bank.data(), static_cast<int>(bank.size())), 1);
    ExpectSameStore(bankSource, target);
  }
  RecordingHost other;
  other.vendor = "Native Instruments GmbH";
  BlankREDI plug(&other);
  EXPECT_NE(HostChunk(plug, true), HostChunk(plug, false));
}

}  // namespace
