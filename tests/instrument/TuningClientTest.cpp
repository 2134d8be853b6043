#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "instrument/TuningClient.h"

namespace {

const char* const kEntryNames[] = {"MTS_RegisterClient",
                                   "MTS_DeregisterClient",
                                   "MTS_HasMaster",
                                   "MTS_ShouldFilterNote",
                                   "MTS_ShouldFilterNoteMultiChannel",
                                   "MTS_GetTuningTable",
                                   "MTS_GetMultiChannelTuningTable",
                                   "MTS_UseMultiChannelTuning",
                                   "MTS_GetScaleName"};

LibraryProcedure BoundEntry(const mtsclientglobal& mts, int index) {
  const LibraryProcedure entries[] = {
      reinterpret_cast<LibraryProcedure>(mts.RegisterClient),
      reinterpret_cast<LibraryProcedure>(mts.DeregisterClient),
      reinterpret_cast<LibraryProcedure>(mts.HasMaster),
      reinterpret_cast<LibraryProcedure>(mts.ShouldFilterNote),
      reinterpret_cast<LibraryProcedure>(mts.ShouldFilterNoteMultiChannel),
      reinterpret_cast<LibraryProcedure>(mts.GetTuningTable),
      reinterpret_cast<LibraryProcedure>(mts.GetMultiChannelTuningTable),
      reinterpret_cast<LibraryProcedure>(mts.UseMultiChannelTuning),
      reinterpret_cast<LibraryProcedure>(mts.GetScaleName)};
  return entries[index];
}

void ExpectUnbound(const mtsclientglobal& mts) {
  EXPECT_EQ(mts.module, nullptr);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(BoundEntry(mts, i), nullptr) << kEntryNames[i];
  EXPECT_EQ(mts.masterTable, nullptr);
  for (const double* table : mts.channelTables) EXPECT_EQ(table, nullptr);
  EXPECT_FALSE(mts.IsOnline());
}

// The fake master's read-back controls, reached through our own handle on it.
class FakeMaster {
 public:
  FakeMaster() : handle(OpenLibrary(FAKE_MTS_MASTER_PATH)) {}
  ~FakeMaster() { CloseLibrary(handle); }

  bool Loaded() const { return handle != nullptr; }
  LibraryProcedure Entry(const char* name) const { return FindProcedure(handle, name); }

  void Reset(bool hasMaster, bool tablesAvailable) const {
    Get<void(LIBRARY_CDECL*)(bool, bool)>("FakeMts_Reset")(hasMaster, tablesAvailable);
  }
  int Calls(const char* entry) const {
    return Get<int(LIBRARY_CDECL*)(const char*)>("FakeMts_Calls")(entry);
  }
  int TotalCalls() const { return Get<int(LIBRARY_CDECL*)()>("FakeMts_TotalCalls")(); }
  const double* MasterTable() const {
    return Get<const double*(LIBRARY_CDECL*)()>("FakeMts_MasterTable")();
  }
  const double* ChannelTable(int channel) const {
    return Get<const double*(LIBRARY_CDECL*)(int)>("FakeMts_ChannelTable")(channel);
  }
  int ChannelLogSize() const { return Get<int(LIBRARY_CDECL*)()>("FakeMts_ChannelLogSize")(); }
  int ChannelLogEntry(int i) const {
    return Get<int(LIBRARY_CDECL*)(int)>("FakeMts_ChannelLogEntry")(i);
  }

 private:
  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(FindProcedure(handle, name));
  }

  LibraryHandle handle;
};

class TuningClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fake = new FakeMaster; }
  static void TearDownTestSuite() {
    delete fake;
    fake = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(fake->Loaded()) << FAKE_MTS_MASTER_PATH;
    fake->Reset(true, true);
  }
  // Back to what the library bound at start-up.
  void TearDown() override { mtsGlobal.LoadFrom(MtsLibraryPath()); }

  static FakeMaster* fake;
};

FakeMaster* TuningClientTest::fake = nullptr;

TEST(MtsLibraryPath, IsTheConventionalInstallPlace) {
  const std::string path = MtsLibraryPath();
#ifdef _WIN32
  const std::string folder = SystemLibraryFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(path, folder + "\\LIBMTS.dll");
#else
  EXPECT_EQ(path, "/usr/local/lib/libMTS.so");
#endif
  // Start-up survived; with no master installed nothing was bound.
  if (!std::filesystem::exists(path)) ExpectUnbound(mtsGlobal);
}

TEST(TuningTables, AreEqualTemperedAroundA440) {
  const TuningClient client;
  EXPECT_EQ(mtsGlobal.reciprocalFrequencies[69], 1.0 / 440.0);
  EXPECT_EQ(client.frequencies[69], 440.0);
  EXPECT_EQ(client.frequencies[45], 110.0);
  for (int note = 0; note < 128; ++note) {
    EXPECT_NEAR(client.frequencies[note] * mtsGlobal.reciprocalFrequencies[note], 1.0, 1e-15);
    if (note > 0) {
      EXPECT_NEAR(client.frequencies[note] / client.frequencies[note - 1], std::pow(2.0, 1 / 12.0),
                  1e-14);
    }
  }
}

TEST(TuningClient, StartsWithTwelveToneNameAndClearedFlags) {
  const TuningClient client;
  EXPECT_STREQ(client.scaleName, "12-TET");
  for (int i = 6; i < TuningClient::kScaleNameSize; ++i) EXPECT_EQ(client.scaleName[i], '\0');
  for (bool flag : client.flags) EXPECT_FALSE(flag);
}

TEST_F(TuningClientTest, WithoutMasterNothingIsBoundOrCalled) {
  mtsGlobal.LoadFrom((std::filesystem::temp_directory_path() / "redi-no-such-master.lib").string());
  ExpectUnbound(mtsGlobal);

  // A file that exists but is no library.
  const std::filesystem::path junk = std::filesystem::temp_directory_path() / "redi-junk-master";
  std::FILE* file = std::fopen(junk.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("not a library", file);
  std::fclose(file);
  mtsGlobal.LoadFrom(junk.string());
  std::filesystem::remove(junk);
  ExpectUnbound(mtsGlobal);

  mtsGlobal.LoadFrom("");
  ExpectUnbound(mtsGlobal);

  { const TuningClient a, b; }
  EXPECT_EQ(fake->TotalCalls(), 0);
}

TEST_F(TuningClientTest, LoadBindsAllEntriesAndKeepsTablesInChannelOrder) {
  mtsGlobal.LoadFrom(FAKE_MTS_MASTER_PATH);
  ASSERT_NE(mtsGlobal.module, nullptr);
  for (int i = 0; i < 9; ++i) {
    const LibraryProcedure expected = fake->Entry(kEntryNames[i]);
    ASSERT_NE(expected, nullptr) << kEntryNames[i];
    EXPECT_EQ(BoundEntry(mtsGlobal, i), expected) << kEntryNames[i];
  }

  EXPECT_EQ(mtsGlobal.masterTable, fake->MasterTable());
  for (int channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(mtsGlobal.channelTables[channel], fake->ChannelTable(channel)) << channel;
  }
  EXPECT_EQ(fake->Calls("MTS_GetTuningTable"), 1);
  ASSERT_EQ(fake->ChannelLogSize(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(fake->ChannelLogEntry(i), i);
  // Loading alone neither registers nor asks anything else.
  EXPECT_EQ(fake->TotalCalls(), 17);
}

TEST_F(TuningClientTest, EachClientRegistersOnceAndDeregistersOnce) {
  mtsGlobal.LoadFrom(FAKE_MTS_MASTER_PATH);
  fake->Reset(true, true);

  auto first = std::make_unique<TuningClient>();
  EXPECT_EQ(fake->Calls("MTS_RegisterClient"), 1);
  {
    const TuningClient second, third;
    EXPECT_EQ(fake->Calls("MTS_RegisterClient"), 3);
    EXPECT_EQ(fake->Calls("MTS_DeregisterClient"), 0);
  }
  EXPECT_EQ(fake->Calls("MTS_DeregisterClient"), 2);
  first.reset();
  EXPECT_EQ(fake->Calls("MTS_RegisterClient"), 3);
  EXPECT_EQ(fake->Calls("MTS_DeregisterClient"), 3);
  // Registration is all a client does with the master.
  EXPECT_EQ(fake->TotalCalls(), 6);
}

TEST_F(TuningClientTest, OnlineNeedsTableAndActiveMaster) {
  mtsGlobal.LoadFrom(FAKE_MTS_MASTER_PATH);
  EXPECT_TRUE(mtsGlobal.IsOnline());

  fake->Reset(false, true);
  EXPECT_FALSE(mtsGlobal.IsOnline());
  EXPECT_EQ(fake->Calls("MTS_HasMaster"), 1);

  // A master that hands out no tables is not online even when active.
  fake->Reset(true, false);
  mtsGlobal.LoadFrom(FAKE_MTS_MASTER_PATH);
  EXPECT_EQ(mtsGlobal.masterTable, nullptr);
  for (const double* table : mtsGlobal.channelTables) EXPECT_EQ(table, nullptr);
  EXPECT_FALSE(mtsGlobal.IsOnline());
  EXPECT_EQ(fake->Calls("MTS_HasMaster"), 0);
}

}  // namespace
