#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/Resources.h"
#include "framework/platform/UserFolders.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "support/TestConfigFolder.h"

namespace {

// The factory programs 0 to 31; 32 to 63 are all "Init".
const char* const kNamedPrograms[32] = {
    "RA-10 Standard",
    "RA-10 Full Bands",
    "Aged RA-10",
    "Noise Coder",
    "Accent Bending",
    "Ensembler",
    "Vibrator",
    "Mickey Coder",
    " Goofy Coder",
    "Epic Coder",
    "Decalibrated RA-10",
    "Not A RA-10",
    "Reverse Coder",
    "Mumblin'",
    "Hizzle",
    "Doom",
    "Female \"Aaah\"",
    "Female \"Uuuh\"",
    "Male \"Aaah\"",
    "Male \"Oooh\"",
    "Epic Choir",
    "Velocity Strings",
    "Synth Stuff",
    "Guten Morgen (WAV play)",
    "Crappy Morning (WAV play)",
    "German Teacher (WAV play)",
    "Morgentau (WAV play)",
    "Sweep (WAV play)",
    "Reverse Sweep (WAV play)",
    "Sweep Bass (WAV play)",
    "Zisch  (WAV play)",
    "Galaxina (WAV play)",
};

std::string FactoryName(int index) { return index < 32 ? kNamedPrograms[index] : "Init"; }

constexpr int kFactoryBankSize = 58133;

using Differences = std::map<std::string, double>;

// Each case gets its own configuration folder, prepared before the instance
// reads it.
class ProgramOperationsTest : public ::testing::Test {
 protected:
  std::string ConfigFile() const {
    const std::string maker = appData.Path() + UserFolders::kPathSeparator + "Welmora";
    std::filesystem::create_directories(maker);
    return maker + UserFolders::kPathSeparator + "redi.ini";
  }
  void NameStartupBank(const std::string& path) {
    WriteBytes(ConfigFile(), "[Startup Bank]\nFile=" + path + "\n");
  }

  static double Value(REDI& plug, const std::string& name) {
    for (int i = 0; i < plug.NParams(); ++i)
      if (name == plug.GetParam(i)->Name()) return plug.GetParam(i)->Value();
    ADD_FAILURE() << "no parameter " << name;
    return 0.0;
  }
  static std::vector<double> Values(REDI& plug) {
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
    return values;
  }
  // Every live parameter equals its default except the named ones, which
  // hold the given values: exactly, or within a relative tolerance.
  static void ExpectDefaultsExcept(REDI& plug, const Differences& differences,
                                   double tolerance = 0.0) {
    for (int i = 0; i < plug.NParams(); ++i) {
      const IParameter* p = plug.GetParam(i);
      const auto it = differences.find(p->Name());
      const double expected = it != differences.end() ? it->second : p->Default();
      EXPECT_NEAR(p->Value(), expected, tolerance * std::fabs(expected))
          << "program " << plug.CurrentProgram() << ", parameter " << p->Name();
    }
  }

  TestConfigFolder appData;
};

TEST_F(ProgramOperationsTest, FreshInstanceHoldsTheFactoryBankAndSavesItUnchanged) {
  REDI plug(nullptr);
  EXPECT_EQ(plug.startupBank, "");
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_STREQ(plug.ProgramName(0), "RA-10 Standard");
  ExpectDefaultsExcept(plug, {{"Sample Legato", 0.0}});
  EXPECT_EQ(plug.wavRequestedPath, "");

  TempFolder folder;
  ASSERT_TRUE(plug.SaveBankFile(folder.File("bank.fxb").c_str()));
  const std::string saved = ReadBytes(folder.File("bank.fxb"));
  ASSERT_EQ(saved.size(), static_cast<size_t>(kFactoryBankSize));
  const unsigned char* resource = nullptr;
  size_t resourceSize = 0;
  ASSERT_TRUE(FindLibraryResource("PROGDATA", "PROGINIT", &resource, &resourceSize));
  ASSERT_EQ(resourceSize, saved.size());
  EXPECT_EQ(std::memcmp(resource, saved.data(), saved.size()), 0);

  // The records after the 168 header bytes: name, initialised, then a state
  // stamped with program 0 and its name; together they fill the file.
  IChunk chunk;
  chunk.PutBytes(saved.data(), static_cast<int>(saved.size()));
  int pos = 168;
  for (int i = 0; i < 64 && pos >= 0; ++i) {
    std::string name, storedName;
    bool initialised = false, playsWav = false;
    int32_t storedIndex = -1;
    char tag[10] = {};
    pos = chunk.GetText(&name, pos);
    pos = chunk.GetBool(&initialised, pos);
    pos = chunk.GetBytes(tag, 10, pos);
    pos = chunk.GetInt32(&storedIndex, pos);
    pos = chunk.GetText(&storedName, pos);
    pos = pos < 0 ? pos : pos + 8 * plug.NParams();
    pos = chunk.GetBool(&playsWav, pos);
    std::string wav;
    if (playsWav) pos = chunk.GetText(&wav, pos);
    ASSERT_GE(pos, 0) << "record " << i;
    EXPECT_EQ(name, FactoryName(i));
    EXPECT_TRUE(initialised);
    EXPECT_EQ(std::string(tag, 10), "REDI_1.1.1");
    EXPECT_EQ(storedIndex, 0);
    EXPECT_EQ(storedName, "RA-10 Standard");
  }
  EXPECT_EQ(pos, kFactoryBankSize);
}

TEST_F(ProgramOperationsTest, FactoryProgramsHoldTheirValuesAndWavFiles) {
  const std::map<int, Differences> telling = {
      {0, {{"Sample Legato", 0}}},
      {1, {{"Vocoder Mode", 1}}},
      {2, {{"Limit", 0.7968749999999998}, {"Speed", -1}}},
      {3, {{"In Balance", 1}}},
      {4, {{"Accent Bend", 0.359375}}},
      {5, {{"Ensemble", 1}}},
      {9, {{"Ensemble", 1}, {"Attack", 0.35292}, {"Release", 0.60458}}},
      {14, {{"In Balance", 0.5}}},
      {23, {{"Vocoder Mode", 1}, {"Input Mode", 1}, {"Release", 0.06771}, {"Limit", 1}}},
      {27,
       {{"Vocoder Mode", 1},
        {"Input Mode", 1},
        {"Sample Legato", 0},
        {"Release", 0.49521},
        {"Limit", 0.5}}}};
  REDI plug(nullptr);
  for (int i = 0; i < 64; ++i) {
    ASSERT_TRUE(plug.ApplyProgram(i));
    EXPECT_EQ(plug.ProgramName(i), FactoryName(i));
    const char* wav = i < 23 || i > 31 ? ""
                      : i <= 26        ? "Guten.Morgen.wav"
                      : i <= 30        ? "Sine.Sweep.wav"
                                       : "Perc.Noise.wav";
    EXPECT_EQ(plug.wavRequestedPath, wav) << "program " << i;
    if (i >= 23 && i <= 31) {
      EXPECT_EQ(Value(plug, "Input Mode"), 1.0) << "program " << i;
    }
    if (telling.count(i) != 0) ExpectDefaultsExcept(plug, telling.at(i));
    if (i >= 32) ExpectDefaultsExcept(plug, {});
  }
}

TEST_F(ProgramOperationsTest, MissingStartupBankFallsBackToTheFactoryBankAndKeepsTheEntry) {
  TempFolder folder;
  const std::string gone = folder.File("gone.fxb");
  NameStartupBank(gone);
  REDI plug(nullptr);
  EXPECT_EQ(plug.startupBank, "");
  for (int i = 0; i < 64; ++i) EXPECT_EQ(plug.ProgramName(i), FactoryName(i));
  ExpectDefaultsExcept(plug, {{"Sample Legato", 0.0}});
  EXPECT_NE(WithoutCarriageReturns(ReadBytes(ConfigFile())).find("File=" + gone),
            std::string::npos);
}

TEST_F(ProgramOperationsTest, LoadableStartupBankReplacesTheFactoryBank) {
  TempFolder folder;
  const std::string bank = folder.File("mine.fxb");
  {
    REDI source(nullptr);
    source.GetParam(kFinalVolume)->SetClamped(0.5);
    source.ModifyCurrentPreset("Mine");
    ASSERT_TRUE(source.SaveBankFile(bank.c_str()));
  }
  NameStartupBank(bank);
  REDI plug(nullptr);
  EXPECT_EQ(plug.startupBank, bank);
  EXPECT_STREQ(plug.ProgramName(0), "Mine");
  EXPECT_STREQ(plug.ProgramName(1), "RA-10 Full Bands");
  ExpectDefaultsExcept(plug, {{"Sample Legato", 0.0}, {"Final Volume", 0.5}});
}

TEST_F(ProgramOperationsTest, PasteCopiesValuesAndNameOfTheSourceProgram) {
  REDI plug(nullptr);
  plug.SelectProgram(5);
  const std::vector<double> ensembler = Values(plug);
  plug.CopyProgram();
  plug.SelectProgram(9);
  ASSERT_NE(Values(plug), ensembler);
  plug.PasteProgram();
  EXPECT_STREQ(plug.ProgramName(9), "Ensembler");
  EXPECT_EQ(Values(plug), ensembler);
  // The pasted state is stored in program 9, not only live.
  plug.SelectProgram(0);
  plug.SelectProgram(9);
  EXPECT_EQ(Values(plug), ensembler);
  EXPECT_STREQ(plug.ProgramName(5), "Ensembler");
}

TEST_F(ProgramOperationsTest, InitStoresDefaultsWithoutWavFile) {
  REDI plug(nullptr);
  plug.SelectProgram(31);
  ASSERT_EQ(plug.wavRequestedPath, "Perc.Noise.wav");
  plug.InitProgram();
  EXPECT_STREQ(plug.ProgramName(31), "Init");
  EXPECT_EQ(plug.wavRequestedPath, "");
  // Defaults travel through their normalised form, as the editor sets them.
  constexpr double kRounding = 1e-12;
  ExpectDefaultsExcept(plug, {}, kRounding);
  plug.SelectProgram(0);
  plug.SelectProgram(31);
  EXPECT_EQ(plug.wavRequestedPath, "");
  ExpectDefaultsExcept(plug, {}, kRounding);
}

TEST_F(ProgramOperationsTest, SelectingAnotherProgramKeepsTheEditsOfTheOneLeft) {
  REDI plug(nullptr);
  plug.SelectProgram(3);
  plug.SetParamFromEditor(kFinalVolume, 0.8);
  const double edited = plug.GetParam(kFinalVolume)->Value();
  ASSERT_NE(edited, plug.GetParam(kFinalVolume)->Default());
  plug.SelectProgram(4);
  ExpectDefaultsExcept(plug, {{"Accent Bend", 0.359375}});
  plug.SelectProgram(3);
  ExpectDefaultsExcept(plug, {{"In Balance", 1}, {"Final Volume", edited}});
}

}  // namespace
