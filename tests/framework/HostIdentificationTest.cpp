#include <gtest/gtest.h>

#include <string>

#include "RecordingHost.h"
#include "framework/IPlugBase.h"

namespace {

const IPlugBase::Identity kIdentity = {"Test", "", "Welmora", 1, 0x00010000, "2-2"};

TEST(HostIdentificationTest, TableEntriesAreFoundAnywhereIgnoringCaseEarlierOnesFirst) {
  EXPECT_EQ(IPlugBase::LookUpHost("REAPER"), 1);
  EXPECT_EQ(IPlugBase::LookUpHost("Steinberg Cubase Pro"), 3);
  EXPECT_EQ(IPlugBase::LookUpHost("FL Studio (Fruity Wrapper)"), 7);
  EXPECT_EQ(IPlugBase::LookUpHost("Ableton Live"), 9);
  EXPECT_EQ(IPlugBase::LookUpHost("Deliverance"), 9);  // "live" inside a longer word
  EXPECT_EQ(IPlugBase::LookUpHost("VST3PluginTestHost"), 27);
  EXPECT_EQ(IPlugBase::LookUpHost("Pro Tools"), 0);
  EXPECT_EQ(IPlugBase::LookUpHost("ProTools"), 2);
  EXPECT_EQ(IPlugBase::LookUpHost("Standalone"), 24);
  EXPECT_EQ(IPlugBase::LookUpHost("Bitwig Studio"), 0);
  EXPECT_EQ(IPlugBase::LookUpHost(""), 0);
  EXPECT_EQ(IPlugBase::LookUpHost(nullptr), 0);
  // Earlier entries win.
  EXPECT_EQ(IPlugBase::LookUpHost("Cubase Live"), 3);
  EXPECT_EQ(IPlugBase::LookUpHost("Reaper Nuendo"), 1);
  EXPECT_EQ(IPlugBase::LookUpHost("Digital Performer by MOTU, Logic-like"), 21);
  EXPECT_EQ(IPlugBase::LookUpHost("Renoise Standalone"), 29);
}

TEST(HostIdentificationTest, OnlyTheFirstBytesOfALongTextAreSearched) {
  const std::string padding(254, 'x');
  EXPECT_EQ(IPlugBase::LookUpHost((padding + "a").c_str()), 0);
  EXPECT_EQ(IPlugBase::LookUpHost((std::string(251, 'x') + "Live").c_str()), 9);
  EXPECT_EQ(IPlugBase::LookUpHost((std::string(252, 'x') + "Live").c_str()), 0);
  // A multi-byte character straddling the cut is dropped whole.
  EXPECT_EQ(IPlugBase::LookUpHost((std::string(250, 'x') + "live\xC3\xA9").c_str()), 9);
}

TEST(HostIdentificationTest, VersionPacking) {
  EXPECT_EQ(IPlugBase::PackHostVersion(10203), 0x00010203);
  EXPECT_EQ(IPlugBase::PackHostVersion(0), 0);
  EXPECT_EQ(IPlugBase::PackHostVersion(71234), (7 << 16) | (12 << 8) | 34);
  EXPECT_EQ(IPlugBase::PackHostVersion(-5), 0);
  // The largest decimal version wraps without overflow.
  EXPECT_EQ(static_cast<unsigned>(IPlugBase::PackHostVersion(2147483647)),
            214748u * 65536u + 36u * 256u + 47u);
}

TEST(HostIdentificationTest, HostKindAsksOnceAndStoresTheVersion) {
  RecordingHost host;
  host.product = "Cockos REAPER";
  host.version = 60512;
  IPlugBase plug(&host, kIdentity);
  EXPECT_EQ(plug.HostKind(), 1);
  EXPECT_EQ(plug.HostVersion(), 0x0006050C);
  host.product = "Cubase";
  EXPECT_EQ(plug.HostKind(), 1);
  EXPECT_EQ(host.productAsked, 1);
  EXPECT_EQ(host.versionAsked, 1);
}

TEST(HostIdentificationTest, EmptyProductIsUnknownWithoutVersion) {
  RecordingHost host;
  host.version = 10203;
  IPlugBase plug(&host, kIdentity);
  EXPECT_EQ(plug.HostKind(), 0);
  EXPECT_EQ(plug.HostVersion(), 0);
  EXPECT_EQ(plug.HostKind(), 0);
  EXPECT_EQ(host.productAsked, 1);
  EXPECT_EQ(host.versionAsked, 0);

  IPlugBase hostless(nullptr, kIdentity);
  EXPECT_EQ(hostless.HostKind(), 0);
  EXPECT_FALSE(hostless.HostNeedsProgramChunks());
}

TEST(HostIdentificationTest, ProgramChunkVendorsMatchWholeTextInAnyCase) {
  const struct {
    const char* vendor;
    bool needs;
  } cases[] = {{"Native Instruments", true},
               {"NATIVE INSTRUMENTS", true},
               {"JUCE VST Host", true},
               {"native instruments GmbH", false},
               {"Cockos", false},
               {"", false}};
  for (const auto& c : cases) {
    RecordingHost host;
    host.vendor = c.vendor;
    IPlugBase plug(&host, kIdentity);
    EXPECT_EQ(plug.HostNeedsProgramChunks(), c.needs) << c.vendor;
    host.vendor = "native instruments";
    EXPECT_EQ(plug.HostNeedsProgramChunks(), c.needs) << c.vendor;
    EXPECT_EQ(host.vendorAsked, 1);
  }
}

TEST(HostIdentificationTest, OfflineRenderingIsProcessLevelFour) {
  RecordingHost host;
  IPlugBase plug(&host, kIdentity);
  host.processLevel = 4;
  EXPECT_TRUE(plug.IsRenderingOffline());
  host.processLevel = 2;
  EXPECT_FALSE(plug.IsRenderingOffline());
}

}  // namespace
