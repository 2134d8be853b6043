#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>

#include "framework/platform/Files.h"
#include "framework/platform/UserFolders.h"
#include "instrument/Synth.h"
#include "support/TestConfigFolder.h"

namespace {

const IPlugBase::Identity kIdentity = {
    "REDI", "", "Welmora", ('r' << 24) | ('e' << 16) | ('d' << 8) | 'i', 0x00010101, "2-2 4-2"};

// Each case gets its own application-data folder; the file is prepared before
// the first instance reads it, and afterwards changed only through Synth.
class ConfigurationTest : public ::testing::Test {
 protected:
  std::string MakerFolder() const {
    return appData.Path() + UserFolders::kPathSeparator + "Welmora";
  }
  std::string ConfigFile() const {
    return MakerFolder() + UserFolders::kPathSeparator + "redi.ini";
  }
  void PrepareFile(const std::string& text) {
    std::filesystem::create_directories(MakerFolder());
    WriteBytes(ConfigFile(), text);
  }
  std::unique_ptr<Synth> NewInstance() { return std::make_unique<Synth>(nullptr, kIdentity); }
  std::string FileText() const { return WithoutCarriageReturns(ReadBytes(ConfigFile())); }

  TestConfigFolder appData;
};

TEST_F(ConfigurationTest, FirstStartCreatesAnEmptyFileAndKeepsTheInitialSettings) {
  auto synth = NewInstance();
  EXPECT_EQ(synth->configPath, ConfigFile());
  ASSERT_TRUE(std::filesystem::is_regular_file(ConfigFile()));
  EXPECT_EQ(std::filesystem::file_size(ConfigFile()), 0u);
  EXPECT_FALSE(synth->midiThru);
  EXPECT_FALSE(synth->ignoreProgramChange);
  for (int entry : synth->controllerMap) EXPECT_EQ(entry, -1);
  EXPECT_EQ(synth->startupBank, "");
  EXPECT_EQ(synth->wavBaseFolder, "");
  EXPECT_EQ(synth->programFolder, synth->documentsFolder);
}

TEST_F(ConfigurationTest, SwitchesAreOnOnlyForTrueInAnyCase) {
  PrepareFile("[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n");
  auto synth = NewInstance();
  EXPECT_TRUE(synth->midiThru);
  EXPECT_FALSE(synth->ignoreProgramChange);
}

TEST_F(ConfigurationTest, MissingOrEmptySwitchValuesKeepTheCurrentState) {
  PrepareFile("[MIDI Global]\nMIDI Thru=\n");
  auto synth = NewInstance();
  synth->midiThru = true;
  synth->ignoreProgramChange = true;
  EXPECT_EQ(synth->ReadConfiguration(), Synth::ConfigReadResult::kSuccess);
  EXPECT_TRUE(synth->midiThru);
  EXPECT_TRUE(synth->ignoreProgramChange);
}

TEST_F(ConfigurationTest, ControllerValuesReadAsLeadingIntegers) {
  PrepareFile(
      "[MIDI Control]\nCC7=abc\nCC8=0\nCC9=12x\nCC10=+5\nCC11=-0\nCC12=99999999999\n"
      "CC13=-99999999999\nCC14=107\nCC15=\ncc119=106\n");
  auto synth = NewInstance();
  EXPECT_EQ(synth->controllerMap[7], -1);
  EXPECT_EQ(synth->controllerMap[8], 0);
  EXPECT_EQ(synth->controllerMap[9], 12);
  EXPECT_EQ(synth->controllerMap[10], 5);
  EXPECT_EQ(synth->controllerMap[11], -1);
  EXPECT_EQ(synth->controllerMap[12], INT_MAX);
  EXPECT_EQ(synth->controllerMap[13], INT_MIN);
  EXPECT_EQ(synth->controllerMap[14], 107);
  EXPECT_EQ(synth->controllerMap[15], -1);
  EXPECT_EQ(synth->controllerMap[119], 106);

  // Out-of-range entries stay stored but never reach a parameter.
  double before[IPlugBase::kNumParams];
  for (int i = 0; i < synth->NParams(); ++i) before[i] = synth->GetParam(i)->ToNormalized();
  for (int controller : {12, 13, 14}) synth->MapController(controller, 127);
  for (int i = 0; i < synth->NParams(); ++i)
    EXPECT_EQ(synth->GetParam(i)->ToNormalized(), before[i]);
}

TEST_F(ConfigurationTest, MissingControllerKeysUnassignAndEmptyValuesKeepTheEntry) {
  PrepareFile("[MIDI Control]\nCC3=\n");
  auto synth = NewInstance();
  synth->controllerMap[2] = 40;
  synth->controllerMap[3] = 41;
  synth->ReadConfiguration();
  EXPECT_EQ(synth->controllerMap[2], -1);
  EXPECT_EQ(synth->controllerMap[3], 41);
}

TEST_F(ConfigurationTest, TogglingMidiThruRewritesOnlyTheStartupBankAndThatKey) {
  PrepareFile(
      "[Global]\nPath to WAV Files=wavs\n[Startup Bank]\nFile=old.fxb\nStale=1\n"
      "[MIDI Global]\nMIDI Thru=false\nIgnore Program Change=false\n"
      "[MIDI Control]\nCC7=3\nCC9=40\n");
  auto synth = NewInstance();
  synth->midiThru = true;
  synth->ignoreProgramChange = true;
  synth->controllerMap[7] = 50;
  synth->WriteConfiguration(Synth::ConfigWrite::kMidiThruOnly);
  EXPECT_EQ(FileText(),
            "[Global]\nPath to WAV Files=wavs\n[Startup Bank]\nFile=old.fxb\n"
            "[MIDI Global]\nMIDI Thru=true\nIgnore Program Change=false\n"
            "[MIDI Control]\nCC7=3\nCC9=40\n");
  synth->WriteConfiguration(Synth::ConfigWrite::kIgnoreProgramChangeOnly);
  EXPECT_NE(FileText().find("Ignore Program Change=true\n"), std::string::npos);
  EXPECT_NE(FileText().find("CC7=3\n"), std::string::npos);
}

TEST_F(ConfigurationTest, SavingEverythingWritesAssignedControllersAndReadsBackTheSame) {
  PrepareFile("[Global]\nPath to Program Files=progs\n[MIDI Control]\nCC1=2\nCC100=99\n");
  auto synth = NewInstance();
  synth->SetStartupBank("banks/start.fxb");
  synth->midiThru = true;
  synth->controllerMap[1] = -1;
  synth->controllerMap[7] = 0;
  synth->controllerMap[119] = 106;
  synth->WriteConfiguration(Synth::ConfigWrite::kEverything);
  EXPECT_EQ(FileText(),
            "[Global]\nPath to Program Files=progs\n[MIDI Control]\nCC7=0\nCC100=99\nCC119=106\n"
            "[Startup Bank]\nFile=banks/start.fxb\n"
            "[MIDI Global]\nMIDI Thru=true\nIgnore Program Change=false\n");

  auto second = NewInstance();
  EXPECT_EQ(second->startupBank, "banks/start.fxb");
  EXPECT_EQ(second->programFolder, "progs");
  EXPECT_TRUE(second->midiThru);
  for (int n = 0; n < Synth::kNumControllers; ++n) {
    EXPECT_EQ(second->controllerMap[n], synth->controllerMap[n]) << "CC" << n;
  }
}

// A folder cut short would be another folder (and the WAV programs would go
// silent): folders are read whole up to the platform's path limit.
TEST_F(ConfigurationTest, LongValuesAreCutToTheirLimits) {
  const std::string wavFolder =
      "/home/someone/Music/Vocoder material/REDI/WAV files/" + std::string(150, 'w');
  const std::string programFolder(Files::kMaxPathChars + 40, 'p');
  const std::string bank300(300, 'b');
  PrepareFile("[Global]\nPath to WAV Files=" + wavFolder + "\nPath to Program Files=" +
              programFolder + "\n[Startup Bank]\nFile=" + bank300 + "\n");
  auto synth = NewInstance();
  EXPECT_EQ(synth->wavBaseFolder, wavFolder);
  EXPECT_EQ(synth->programFolder, programFolder.substr(0, Files::kMaxPathChars));
  EXPECT_EQ(synth->startupBank, bank300.substr(0, 258));
}

TEST_F(ConfigurationTest, LongFoldersWrittenAreReadBackWhole) {
  PrepareFile("");
  const std::string wavFolder =
      "C:/Users/someone/Music/Vocoder material/REDI/" + std::string(180, 'v');
  const std::string programFolder = "C:/Users/someone/Documents/REDI/" + std::string(200, 'q');
  auto first = NewInstance();
  first->WriteWavFolder(wavFolder);
  first->WriteProgramFolder(programFolder);
  auto second = NewInstance();
  EXPECT_EQ(second->wavBaseFolder, wavFolder);
  EXPECT_EQ(second->programFolder, programFolder);
}

TEST_F(ConfigurationTest, UnselectingTheStartupBankLeavesAnEmptySection) {
  PrepareFile("[Startup Bank]\nFile=start.fxb\n[MIDI Global]\nMIDI Thru=true\n");
  auto synth = NewInstance();
  EXPECT_EQ(synth->startupBank, "start.fxb");
  synth->ClearStartupBank();
  EXPECT_EQ(synth->startupBank, "");
  EXPECT_EQ(FileText(), "[Startup Bank]\n[MIDI Global]\nMIDI Thru=true\n");
  EXPECT_EQ(NewInstance()->startupBank, "");
}

TEST_F(ConfigurationTest, FolderKeysAreWrittenOnlyByTheirOwnOperations) {
  auto synth = NewInstance();
  synth->WriteWavFolder("samples");
  synth->WriteProgramFolder("programs");
  EXPECT_EQ(synth->wavBaseFolder, "samples");
  EXPECT_EQ(synth->programFolder, "programs");
  synth->wavBaseFolder = "changed in memory";
  synth->WriteConfiguration(Synth::ConfigWrite::kEverything);
  EXPECT_EQ(FileText(),
            "[Global]\nPath to WAV Files=samples\nPath to Program Files=programs\n"
            "[Startup Bank]\nFile=\n[MIDI Global]\nMIDI Thru=false\nIgnore Program Change=false\n");
}

TEST_F(ConfigurationTest, AFileThatHasDisappearedChangesNothing) {
  PrepareFile("[MIDI Global]\nMIDI Thru=true\n[MIDI Control]\nCC1=5\n");
  auto synth = NewInstance();
  std::filesystem::remove(ConfigFile());
  synth->midiThru = false;
  EXPECT_EQ(synth->ReadConfiguration(), Synth::ConfigReadResult::kFileMissing);
  EXPECT_FALSE(synth->midiThru);
  EXPECT_EQ(synth->controllerMap[1], 5);
}

TEST_F(ConfigurationTest, AJunkFileStartsWithTheInitialSettings) {
  std::string junk;
  unsigned state = 99;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1103515245u + 12345u;
    junk += static_cast<char>(state >> 16);
  }
  PrepareFile(junk);
  auto synth = NewInstance();
  EXPECT_FALSE(synth->midiThru);
  for (int entry : synth->controllerMap) EXPECT_EQ(entry, -1);
  synth->SetStartupBank("after junk.fxb");
  EXPECT_EQ(NewInstance()->startupBank, "after junk.fxb");
}

}  // namespace
