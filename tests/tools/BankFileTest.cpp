#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BankFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRedi = 0x72656469;  // "redi"
constexpr int kParams = 3;              // small records keep the cases readable

void Put(Bytes* b, const std::string& text) { b->insert(b->end(), text.begin(), text.end()); }
void BigEndian(Bytes* b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b->push_back(static_cast<uint8_t>(v >> shift));
}
void LittleEndian(Bytes* b, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) b->push_back(static_cast<uint8_t>(v >> shift));
}
void Text(Bytes* b, const std::string& text) {
  LittleEndian(b, static_cast<uint32_t>(text.size()));
  Put(b, text);
}

Bytes FileHeader(const char* magic, uint32_t id, uint32_t programs, uint32_t current) {
  Bytes b;
  Put(&b, "CcnK");
  BigEndian(&b, 0);
  Put(&b, magic);
  BigEndian(&b, 2);
  BigEndian(&b, id);
  BigEndian(&b, 10101);
  BigEndian(&b, programs);
  BigEndian(&b, current);
  b.resize(156, 0);
  return b;
}

Bytes FrameworkHeader() { return {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}; }

// One program of a bank state: name, initialised, and the saved state
// (tag, index, name, values, WAV flag and path).
void Program(Bytes* b, const std::string& name, bool initialised, const std::string& wav = "") {
  Text(b, name);
  b->push_back(initialised ? 1 : 0);
  if (!initialised) return;
  Put(b, "REDI_1.1.1");
  LittleEndian(b, 0);
  Text(b, "RA-10 Standard");
  b->insert(b->end(), 8 * kParams, 0);
  b->push_back(wav.empty() ? 0 : 1);
  if (!wav.empty()) Text(b, wav);
}

Bytes ChunkBank(bool withFrameworkHeader) {
  Bytes b = FileHeader("FBCh", kRedi, 2, 0);
  BigEndian(&b, 0);  // state size: not used by the loader
  if (withFrameworkHeader) {
    const Bytes h = FrameworkHeader();
    b.insert(b.end(), h.begin(), h.end());
  }
  Program(&b, "First, with a name longer than any host buffer", true, "Sine.Sweep.wav");
  Program(&b, "Second", false);
  return b;
}

TEST(BankFileTest, ChunkBanksReachThePluginWithTheFrameworkHeader) {
  for (bool withHeader : {true, false}) {
    BankFile bank;
    std::string error;
    ASSERT_TRUE(ReadBankFile(ChunkBank(withHeader), kRedi, kParams, &bank, &error)) << error;
    EXPECT_EQ(bank.form, BankFile::Form::kChunk);
    ASSERT_GE(bank.chunk.size(), 8u);
    EXPECT_EQ(Bytes(bank.chunk.begin(), bank.chunk.begin() + 8), FrameworkHeader());
    std::vector<std::string> names;
    ASSERT_TRUE(ProgramNamesInBankChunk(bank.chunk, kParams, &names));
    EXPECT_EQ(names, (std::vector<std::string>{"First, with a name longer than any host buffer",
                                               "Second"}));
  }
}

TEST(BankFileTest, ParameterListBanksGiveNamesAndValues) {
  Bytes b = FileHeader("FxBk", kRedi, 1, 0);
  Put(&b, "CcnK");
  BigEndian(&b, 0);
  Put(&b, "FxCk");
  BigEndian(&b, 1);
  BigEndian(&b, kRedi);
  BigEndian(&b, 10101);
  BigEndian(&b, kParams);
  Put(&b, "Half");
  b.resize(b.size() + 24, 0);
  for (uint32_t bits : {0x3F000000u, 0x00000000u, 0x3F800000u}) BigEndian(&b, bits);
  BankFile bank;
  std::string error;
  ASSERT_TRUE(ReadBankFile(b, kRedi, kParams, &bank, &error)) << error;
  EXPECT_EQ(bank.form, BankFile::Form::kParameterList);
  ASSERT_EQ(bank.programs.size(), 1u);
  EXPECT_EQ(bank.programs[0].name, "Half");
  EXPECT_EQ(bank.programs[0].values, (std::vector<float>{0.5f, 0.0f, 1.0f}));

  Bytes wrongCount = b;
  wrongCount[156 + 24 + 3] = kParams + 1;
  EXPECT_FALSE(ReadBankFile(wrongCount, kRedi, kParams, &bank, &error));
  EXPECT_EQ(error, "has a damaged record for program 0");
  const Bytes cut(b.begin(), b.end() - 1);
  EXPECT_FALSE(ReadBankFile(cut, kRedi, kParams, &bank, &error));
  EXPECT_EQ(error, "is cut off in program 0");
}

TEST(BankFileTest, RefusesWhatThePluginsLoaderRefuses) {
  const std::pair<Bytes, std::string> cases[] = {
      {ChunkBank(true), ""},
      {FileHeader("FBCh", 0x61626364, 64, 0),
       "is a bank of another plug-in (identifier 'abcd', not 'redi')"},
      {FileHeader("FPCh", kRedi, 1, 0), "is a program file, not a bank"},
      {FileHeader("XXXX", kRedi, 1, 0), "is not a bank file"},
      {Bytes(100, 0), "is not a bank file"},
  };
  for (const auto& [bytes, message] : cases) {
    Bytes file = bytes;
    if (file.size() == 156) file.resize(160, 0);  // the state size field
    BankFile bank;
    std::string error;
    EXPECT_EQ(ReadBankFile(file, kRedi, kParams, &bank, &error), message.empty()) << message;
    EXPECT_EQ(error, message);
  }
}

// Cut and garbled bank states are walked without reading outside their
// bytes (the sanitizer build checks) and never give all the names.
TEST(BankFileTest, NamesOfCutOrGarbledStatesAreRefused) {
  BankFile bank;
  std::string error;
  ASSERT_TRUE(ReadBankFile(ChunkBank(true), kRedi, kParams, &bank, &error));
  std::vector<std::string> names;
  for (std::size_t size = 0; size < bank.chunk.size(); ++size) {
    const Bytes cut(bank.chunk.begin(), bank.chunk.begin() + static_cast<std::ptrdiff_t>(size));
    // A cut between two programs reads as a bank of fewer programs.
    const bool read = ProgramNamesInBankChunk(cut, kParams, &names);
    EXPECT_TRUE(!read || names.size() < 2) << size;
  }
  std::mt19937 random(3);
  for (int n = 0; n < 2000; ++n) {
    Bytes garbled = FrameworkHeader();
    const std::size_t tail = random() % 200;
    for (std::size_t i = 0; i < tail; ++i) garbled.push_back(static_cast<uint8_t>(random()));
    ProgramNamesInBankChunk(garbled, kParams, &names);
    Bytes file = FileHeader("FxBk", kRedi, static_cast<uint32_t>(random() % 4), 0);
    file.insert(file.end(), garbled.begin(), garbled.end());
    ReadBankFile(file, kRedi, kParams, &bank, &error);
  }
}

}  // namespace
