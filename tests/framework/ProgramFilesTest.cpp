#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <future>
#include <limits>
#include <string>
#include <vector>

#include "StateTestSupport.h"
#include "framework/Text.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t BE32(const Bytes& b, std::size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

void PutBE32(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

void PutText(Bytes& b, const char* text) { b.insert(b.end(), text, text + std::strlen(text)); }

void PutBEFloat(Bytes& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  PutBE32(b, u);
}

// The first 28 bytes of a file or record: magic, size 0, kind, format
// version 1, identifier, plug-in version and a count.
void PutFileHead(Bytes& b, const char* kind, uint32_t count) {
  PutText(b, "CcnK");
  PutBE32(b, 0);
  PutText(b, kind);
  PutBE32(b, 1);
  PutText(b, "redi");
  PutBE32(b, 10101);
  PutBE32(b, count);
}

// The 56-byte head of a parameter-list program record.
void PutParamListHeader(Bytes& b, const char* name, uint32_t paramCount = 107) {
  PutFileHead(b, "FxCk", paramCount);
  char field[28] = {};
  CopyText(field, sizeof field, name);
  b.insert(b.end(), field, field + 28);
}

// What SetNormalized makes of x for parameter index of plug.
double FromNormalized(IPlugBase& plug, int index, double x) {
  IParameter copy = *plug.GetParam(index);
  copy.SetNormalized(x);
  return copy.Value();
}

class ProgramFilesTest : public ::testing::Test {
 protected:
  Bytes ReadBack() const {
    const std::string bytes = ReadBytes(path);
    return Bytes(bytes.begin(), bytes.end());
  }
  void Write(const Bytes& bytes, std::size_t size) const {
    // A fresh file each time: truncating a written one can force a flush to disk.
    std::filesystem::remove(path);
    WriteBytes(path, std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
  }
  void Write(const Bytes& bytes) const { Write(bytes, bytes.size()); }

  TempFolder folder;
  const std::string path = folder.File("program.fx");
};

TEST_F(ProgramFilesTest, FreshBankFileLayout) {
  BlankREDI plug(nullptr);
  ASSERT_TRUE(plug.SaveBankFile(path.c_str()));
  const Bytes file = ReadBack();
  ASSERT_EQ(file.size(), 160u + 8u + 64u * 10u);  // 64 records of "empty" and a flag
  EXPECT_EQ(0, std::memcmp(file.data(), "CcnK", 4));
  EXPECT_EQ(BE32(file, 4), file.size());
  EXPECT_EQ(0, std::memcmp(file.data() + 8, "FBCh", 4));
  EXPECT_EQ(BE32(file, 12), 2u);
  EXPECT_EQ(0, std::memcmp(file.data() + 16, "redi", 4));
  EXPECT_EQ(BE32(file, 20), 10101u);
  EXPECT_EQ(BE32(file, 24), 64u);
  EXPECT_EQ(BE32(file, 28), 0u);
  for (std::size_t i = 32; i < 156; ++i) EXPECT_EQ(file[i], 0) << i;
  EXPECT_EQ(BE32(file, 156), file.size() - 160);
  // Then the bank chunk the host gets: a header and per program "empty" as
  // text and the initialised byte.
  const uint8_t* chunk = nullptr;
  ASSERT_EQ(plug.HostGetChunk(true, &chunk), static_cast<int>(file.size() - 160));
  EXPECT_EQ(0, std::memcmp(file.data() + 160, chunk, file.size() - 160));
  const uint8_t header[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(0, std::memcmp(file.data() + 160, header, 8));
  const uint8_t record[] = {5, 0, 0, 0, 'e', 'm', 'p', 't', 'y', 0};
  for (std::size_t i = 0; i < 64; ++i)
    EXPECT_EQ(0, std::memcmp(file.data() + 168 + 10 * i, record, 10)) << i;
}

TEST_F(ProgramFilesTest, ProgramFileLayout) {
  BlankREDI plug(nullptr);
  plug.FillEmptyPrograms(64);
  ASSERT_TRUE(plug.ApplyProgram(3));
  plug.ModifyCurrentPreset("Stage voice");
  ASSERT_TRUE(plug.SaveProgramFile(path.c_str()));
  IChunk state;
  ASSERT_TRUE(plug.SaveState(state));

  const Bytes file = ReadBack();
  ASSERT_EQ(file.size(), 68u + static_cast<std::size_t>(state.Size()));
  EXPECT_EQ(0, std::memcmp(file.data(), "CcnK", 4));
  EXPECT_EQ(BE32(file, 4), file.size());
  EXPECT_EQ(0, std::memcmp(file.data() + 8, "FPCh", 4));
  EXPECT_EQ(BE32(file, 12), 1u);
  EXPECT_EQ(0, std::memcmp(file.data() + 16, "redi", 4));
  EXPECT_EQ(BE32(file, 20), 10101u);
  EXPECT_EQ(BE32(file, 24), 107u);
  char name[28];
  std::memcpy(name, file.data() + 28, 28);
  EXPECT_STREQ(name, "Stage voice");
  for (std::size_t i = 28 + 11; i < 56; ++i) EXPECT_EQ(file[i], 0) << i;
  EXPECT_EQ(BE32(file, 56), file.size() - 60);
  EXPECT_EQ(0, std::memcmp(file.data() + 60, "tffp", 4));
  EXPECT_EQ(0, std::memcmp(file.data() + 68, state.Data(), static_cast<std::size_t>(state.Size())));
}

TEST_F(ProgramFilesTest, LongNamesAreCutToTwentySevenBytesOnACharacterBoundary) {
  BlankREDI plug(nullptr);
  plug.FillEmptyPrograms(64);
  // 25 ASCII bytes, then a 3-byte character that would end at byte 28.
  plug.ModifyCurrentPreset("abcdefghijklmnopqrstuvwxy\xE2\x82\xAC and more");
  ASSERT_TRUE(plug.SaveProgramFile(path.c_str()));
  const Bytes file = ReadBack();
  EXPECT_EQ(0, std::memcmp(file.data() + 28, "abcdefghijklmnopqrstuvwxy\0\0\0", 28));

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.LoadProgramFile(path.c_str()));
  EXPECT_STREQ(target.ProgramName(0), "abcdefghijklmnopqrstuvwxy");

  // A name filling all 28 bytes without a terminator is read whole.
  Bytes edited = file;
  std::memset(edited.data() + 28, 'z', 28);
  Write(edited);
  ASSERT_TRUE(target.LoadProgramFile(path.c_str()));
  EXPECT_EQ(std::string(target.ProgramName(0)), std::string(28, 'z'));
}

TEST_F(ProgramFilesTest, ProgramFileReadsBackIntoTheCurrentProgram) {
  BlankREDI source(nullptr);
  SetFractions(source, 0.25);
  source.GetParam(kInputMode)->SetClamped(1.0);
  source.wavRequestedPath = "/voices/take 1.wav";
  source.ModifyCurrentPreset("Robot");
  ASSERT_TRUE(source.SaveProgramFile(path.c_str()));

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.ApplyProgram(4));
  ASSERT_TRUE(target.LoadProgramFile(path.c_str()));
  EXPECT_EQ(Values(target), Values(source));
  EXPECT_EQ(target.wavRequestedPath, source.wavRequestedPath);
  EXPECT_EQ(target.CurrentProgram(), 4);
  EXPECT_STREQ(target.ProgramName(4), "Robot");
  SetFractions(target, 0.5);
  ASSERT_TRUE(target.ApplyProgram(4));
  EXPECT_EQ(Values(target), Values(source));
}

TEST_F(ProgramFilesTest, BankFileReadsBackToTheSameStore) {
  BlankREDI source(nullptr);
  FillDistinctPrograms(source, 10);
  SetFractions(source, 0.9);
  source.FillEmptyPrograms(64);
  source.GetParam(kInputMode)->SetClamped(1.0);
  source.wavRequestedPath = "take.wav";
  source.FillEmptyPrograms(0);
  ASSERT_TRUE(source.ApplyProgram(2));
  ASSERT_TRUE(source.SaveBankFile(path.c_str()));
  EXPECT_EQ(BE32(ReadBack(), 28), 2u);

  BlankREDI target(nullptr);
  ASSERT_TRUE(target.LoadBankFile(path.c_str()));
  EXPECT_EQ(target.CurrentProgram(), 0);  // the file's current index is not used
  ExpectSameStore(source, target);
}

TEST_F(ProgramFilesTest, ForeignOrUnknownFilesAreRefusedBeforeAnythingChanges) {
  BlankREDI source(nullptr);
  SetFractions(source, 0.25);
  ASSERT_TRUE(source.SaveProgramFile(path.c_str()));
  const Bytes program = ReadBack();
  ASSERT_TRUE(source.SaveBankFile(path.c_str()));
  const Bytes bank = ReadBack();

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  const std::vector<double> before = Values(target);
  struct Edit {
    std::size_t at;
    const char* bytes;
  };
  for (const Edit& e : {Edit{16, "ired"}, Edit{0, "CcnX"}, Edit{12, "\0\0\0\2"}, Edit{8, "FPCx"}}) {
    Bytes edited = program;
    std::memcpy(edited.data() + e.at, e.bytes, 4);
    Write(edited);
    EXPECT_FALSE(target.LoadProgramFile(path.c_str())) << e.at;
  }
  for (const Edit& e : {Edit{16, "ired"}, Edit{0, "CcnX"}, Edit{8, "FBCx"}}) {
    Bytes edited = bank;
    std::memcpy(edited.data() + e.at, e.bytes, 4);
    Write(edited);
    EXPECT_FALSE(target.LoadBankFile(path.c_str())) << e.at;
  }
  EXPECT_EQ(Values(target), before);
  for (int i = 0; i < 64; ++i) EXPECT_STREQ(target.ProgramName(i), "Empty");

  EXPECT_FALSE(target.LoadProgramFile(""));
  EXPECT_FALSE(target.LoadBankFile(nullptr));
  EXPECT_FALSE(target.SaveProgramFile(""));
  const std::string missing = path + ".missing";
  EXPECT_FALSE(target.LoadProgramFile(missing.c_str()));
  EXPECT_FALSE(target.LoadBankFile(missing.c_str()));
  const std::string noFolder = folder.File("no-such-folder") + "/x.fxb";
  EXPECT_FALSE(target.SaveBankFile(noFolder.c_str()));
}

#ifndef _WIN32
// The start-up bank is named in the INI file; a FIFO there would block the
// host while it builds the plug-in, waiting for a writer that never comes.
TEST_F(ProgramFilesTest, OnlyRegularFilesAreRead) {
  const std::string fifo = folder.File("bank.fxb");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  BlankREDI target(nullptr);
  auto loaded = std::async(std::launch::async, [&] { return target.LoadBankFile(fifo.c_str()); });
  if (loaded.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // release the waiting reader
    FAIL() << "reading a FIFO waited for a writer";
  }
  EXPECT_FALSE(loaded.get());
  EXPECT_FALSE(target.LoadProgramFile(folder.Path().c_str()));
}
#endif

TEST_F(ProgramFilesTest, ParameterListProgramSetsNormalisedValuesAndCapturesThem) {
  Bytes file;
  PutParamListHeader(file, "List form");
  for (int i = 0; i < 107; ++i) PutBEFloat(file, static_cast<float>(i % 10) / 10.0f);
  Write(file);

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.ApplyProgram(1));
  ASSERT_TRUE(target.LoadProgramFile(path.c_str()));
  for (int i = 0; i < 107; ++i)
    EXPECT_EQ(target.GetParam(i)->Value(),
              FromNormalized(target, i, static_cast<double>(static_cast<float>(i % 10) / 10.0f)))
        << i;
  EXPECT_STREQ(target.ProgramName(1), "List form");
  const std::vector<double> loaded = Values(target);
  SetFractions(target, 0.5);
  ASSERT_TRUE(target.ApplyProgram(1));
  EXPECT_EQ(Values(target), loaded);
}

TEST_F(ProgramFilesTest, ShortParameterListSetsOnlyTheValuesPresent) {
  Bytes file;
  PutParamListHeader(file, "Short");
  PutBEFloat(file, 1.0f);
  PutBEFloat(file, std::numeric_limits<float>::quiet_NaN());  // left alone
  PutBEFloat(file, 7.0f);                                     // limited to 1
  PutBEFloat(file, -3.0f);                                    // limited to 0
  file.push_back(0x3F);                                       // a partial float
  Write(file);

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  SetFractions(target, 0.25);
  const std::vector<double> before = Values(target);
  ASSERT_TRUE(target.LoadProgramFile(path.c_str()));
  const std::vector<double> after = Values(target);
  EXPECT_EQ(after[0], FromNormalized(target, 0, 1.0));
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[2], FromNormalized(target, 2, 1.0));
  EXPECT_EQ(after[3], FromNormalized(target, 3, 0.0));
  for (std::size_t i = 4; i < 107; ++i) EXPECT_EQ(after[i], before[i]) << i;
  EXPECT_STREQ(target.ProgramName(0), "Short");
}

Bytes ParamListBank(int declared, int records, int currentIndex) {
  Bytes file;
  PutFileHead(file, "FxBk", static_cast<uint32_t>(declared));
  PutBE32(file, static_cast<uint32_t>(currentIndex));
  file.resize(156, 0);
  for (int r = 0; r < records; ++r) {
    const std::string name = "Record " + std::to_string(r);
    PutParamListHeader(file, name.c_str());
    for (int i = 0; i < 107; ++i) PutBEFloat(file, static_cast<float>(r % 8) / 8.0f);
  }
  return file;
}

TEST_F(ProgramFilesTest, ParameterListBankFillsProgramsAndAppliesTheFilesCurrentIndex) {
  Write(ParamListBank(3, 3, 1));
  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.LoadBankFile(path.c_str()));
  EXPECT_EQ(target.CurrentProgram(), 1);
  EXPECT_EQ(target.GetParam(kTune)->Value(), FromNormalized(target, kTune, 1.0 / 8.0));
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(target.ProgramName(r), "Record " + std::to_string(r));
    ASSERT_TRUE(target.ApplyProgram(r));
    EXPECT_EQ(target.GetParam(kTune)->Value(), FromNormalized(target, kTune, r / 8.0)) << r;
  }
  EXPECT_STREQ(target.ProgramName(3), "Empty");
}

TEST_F(ProgramFilesTest, ParameterListBankIgnoresRecordsBeyondSixtyFour) {
  Write(ParamListBank(70, 70, 0));
  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  ASSERT_TRUE(target.LoadBankFile(path.c_str()));
  for (int r = 0; r < 64; ++r) EXPECT_EQ(target.ProgramName(r), "Record " + std::to_string(r));

  // Declaring more than there are is the same while 64 records are present,
  // and a huge count ends at the first missing record.
  Write(ParamListBank(0x7FFFFFFF, 64, 0));
  EXPECT_TRUE(target.LoadBankFile(path.c_str()));
  Write(ParamListBank(0x7FFFFFFF, 2, 0));
  EXPECT_FALSE(target.LoadBankFile(path.c_str()));
  Write(ParamListBank(-5, 2, 0));  // no programs at all
  EXPECT_TRUE(target.LoadBankFile(path.c_str()));
}

TEST_F(ProgramFilesTest, ParameterListBankStopsAtABadRecordKeepingEarlierOnes) {
  Bytes file = ParamListBank(3, 1, 0);
  PutParamListHeader(file, "Fifty", 50);
  for (int i = 0; i < 50; ++i) PutBEFloat(file, 0.5f);
  Write(file);
  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  EXPECT_FALSE(target.LoadBankFile(path.c_str()));
  EXPECT_STREQ(target.ProgramName(0), "Record 0");
  EXPECT_STREQ(target.ProgramName(1), "Empty");

  // A record cut inside its values sets those present, then the load ends.
  // The other values are those of the program the record goes into.
  file = ParamListBank(2, 1, 0);
  PutParamListHeader(file, "Cut");
  PutBEFloat(file, 1.0f);
  Write(file);
  ASSERT_TRUE(target.ApplyProgram(1));
  SetFractions(target, 0.25);
  target.ModifyCurrentPreset();
  const double tuneBefore = target.GetParam(kTune)->Value();
  ASSERT_TRUE(target.ApplyProgram(0));
  EXPECT_TRUE(target.LoadBankFile(path.c_str()));
  EXPECT_STREQ(target.ProgramName(1), "Cut");
  ASSERT_TRUE(target.ApplyProgram(1));
  EXPECT_EQ(target.GetParam(0)->Value(), FromNormalized(target, 0, 1.0));
  EXPECT_EQ(target.GetParam(kTune)->Value(), tuneBefore);
}

TEST_F(ProgramFilesTest, EveryTruncationOfAProgramFileIsReadSafely) {
  BlankREDI source(nullptr);
  SetFractions(source, 0.25);
  source.GetParam(kInputMode)->SetClamped(1.0);
  source.wavRequestedPath = "take.wav";
  source.ModifyCurrentPreset("Stage voice");
  ASSERT_TRUE(source.SaveProgramFile(path.c_str()));
  const Bytes file = ReadBack();
  const std::vector<double> saved = Values(source);
  const std::size_t values = 68 + 10 + 4 + 4 + 11;

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  for (std::size_t size = 0; size <= file.size(); ++size) {
    SCOPED_TRACE(size);
    SetFractions(target, 0.75);
    target.ModifyCurrentPreset("Before");
    const std::vector<double> before = Values(target);
    Write(file, size);
    const bool loaded = target.LoadProgramFile(path.c_str());
    ExpectAllInRange(target);
    const std::vector<double> after = Values(target);
    if (size < 56) {
      EXPECT_FALSE(loaded);
      EXPECT_EQ(after, before);
      EXPECT_STREQ(target.ProgramName(0), "Before");
      continue;
    }
    EXPECT_TRUE(loaded);
    EXPECT_STREQ(target.ProgramName(0), "Stage voice");
    if (size < values) continue;  // header, tag, index or name cut: tested with the state
    ExpectLoadedUpTo(target, std::min<std::size_t>(107, (size - values) / 8), saved, before);
  }
}

TEST_F(ProgramFilesTest, EveryTruncationOfABankFileIsReadSafely) {
  BlankREDI source(nullptr);
  FillDistinctPrograms(source, 2);  // two full records, 62 short ones
  ASSERT_TRUE(source.SaveBankFile(path.c_str()));
  const Bytes file = ReadBack();

  // Where each program's record ends.
  std::vector<std::size_t> recordEnd;
  {
    IChunk state;
    state.PutBytes(file.data() + 160, static_cast<int>(file.size() - 160));
    int pos = 8;
    for (int i = 0; i < 64; ++i) {
      std::string name;
      bool initialised = false;
      pos = state.GetBool(&initialised, state.GetText(&name, pos));
      if (initialised) pos = source.LoadState(state, pos);
      ASSERT_GT(pos, 0);
      recordEnd.push_back(160 + static_cast<std::size_t>(pos));
    }
    ASSERT_EQ(recordEnd.back(), file.size());
  }

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  std::vector<IProgram> emptyStore;
  for (int i = 0; i < 64; ++i) emptyStore.push_back(*target.GetProgram(i));
  for (std::size_t size = 0; size <= file.size(); ++size) {
    SCOPED_TRACE(size);
    for (int i = 0; i < 64; ++i) *target.GetProgram(i) = emptyStore[static_cast<std::size_t>(i)];
    Write(file, size);
    const bool loaded = target.LoadBankFile(path.c_str());
    ASSERT_EQ(loaded, size >= 156);
    ExpectAllInRange(target);
    bool cutSeen = false;
    for (std::size_t i = 0; i < 64; ++i) {
      const int index = static_cast<int>(i);
      const std::string name = target.ProgramName(index);
      if (size >= recordEnd[i]) {
        ASSERT_EQ(name, source.ProgramName(index)) << i;
        ASSERT_EQ(target.GetProgram(index)->initialised, source.GetProgram(index)->initialised);
      } else if (!cutSeen) {
        cutSeen = true;  // the record the file ends in: its name, if there, or none
        ASSERT_TRUE(name == source.ProgramName(index) || name.empty() || name == "Empty") << i;
      } else {
        ASSERT_EQ(name, "Empty") << i;
        ASSERT_TRUE(target.GetProgram(index)->initialised);
      }
    }
  }
}

TEST_F(ProgramFilesTest, HugeAndNegativeLengthsInsideFilesStayInside) {
  BlankREDI source(nullptr);
  source.FillEmptyPrograms(64);
  ASSERT_TRUE(source.SaveBankFile(path.c_str()));
  const Bytes bank = ReadBack();

  BlankREDI target(nullptr);
  target.FillEmptyPrograms(64);
  for (uint32_t length : {0x7FFFFFFFu, 0x7FFFFFF0u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    Bytes edited = bank;
    // The first program's name length, little-endian inside the state.
    for (int b = 0; b < 4; ++b)
      edited[168 + static_cast<std::size_t>(b)] = static_cast<uint8_t>(length >> (8 * b));
    Write(edited);
    EXPECT_TRUE(target.LoadBankFile(path.c_str()));
    ExpectAllInRange(target);
    // A length past the end is skipped and ends the bank; a negative one is
    // an empty name and the bytes after it are read as the record.
    if (length < 0x80000000u) {
      EXPECT_STREQ(target.ProgramName(0), "");
      for (int i = 1; i < 64; ++i) EXPECT_STREQ(target.ProgramName(i), "Empty");
    }
    // The size fields are not trusted either.
    for (std::size_t at : {4u, 156u}) {
      std::memcpy(edited.data() + at, "\x7F\xFF\xFF\xFF", 4);
    }
    Write(edited);
    EXPECT_TRUE(target.LoadBankFile(path.c_str()));
    ExpectAllInRange(target);
  }
}

}  // namespace
