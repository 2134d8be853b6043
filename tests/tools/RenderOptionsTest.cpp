#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "RenderOptions.h"

namespace {

using Args = std::vector<std::string>;

RenderOptions Parse(const Args& args) {
  RenderOptions options;
  std::string error;
  EXPECT_TRUE(ParseRenderOptions(args, &options, &error)) << error;
  return options;
}

TEST(RenderOptionsTest, ReadsEveryDocumentedOption) {
  const RenderOptions o = Parse({"--plugin",
                                 "p.so",
                                 "--modulator",
                                 "m.wav",
                                 "--carrier",
                                 "c.wav",
                                 "--notes",
                                 "48,52,55",
                                 "--program",
                                 "63",
                                 "--bank",
                                 "b.fxb",
                                 "--set",
                                 "Final Volume=0.5",
                                 "--set",
                                 "Tune=-12",
                                 "--set",
                                 "Odd=a=b",
                                 "--rate",
                                 "48000",
                                 "--block",
                                 "1",
                                 "-o",
                                 "out.wav",
                                 "--tail",
                                 "2.5",
                                 "--sample-format",
                                 "16",
                                 "-q",
                                 "--wav-folder",
                                 "w"});
  EXPECT_EQ(o.mode, RenderOptions::Mode::kRender);
  EXPECT_EQ(o.plugin, "p.so");
  EXPECT_EQ(o.modulator, "m.wav");
  EXPECT_EQ(o.carrier, "c.wav");
  EXPECT_EQ(o.notes, (std::vector<int>{48, 52, 55}));
  EXPECT_EQ(o.program, 63);
  EXPECT_EQ(o.bank, "b.fxb");
  const std::vector<std::pair<std::string, std::string>> settings = {
      {"Final Volume", "0.5"}, {"Tune", "-12"}, {"Odd", "a=b"}};
  EXPECT_EQ(o.settings, settings);
  EXPECT_EQ(o.rate, 48000.0);
  EXPECT_EQ(o.block, 1);
  EXPECT_EQ(o.output, "out.wav");
  EXPECT_EQ(o.tail, 2.5);
  EXPECT_EQ(o.sampleFormat, SampleFormat::kInteger16);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.wavFolder, "w");
  EXPECT_EQ(Parse({"--modulator", "m.wav", "-o", "-", "--sample-format", "float"}).sampleFormat,
            SampleFormat::kFloat32);

  EXPECT_EQ(Parse({"--modulator", "m.wav", "--midi", "song.mid", "--output", "o.wav"}).midiFile,
            "song.mid");
  EXPECT_EQ(Parse({"--list-params"}).mode, RenderOptions::Mode::kListParams);
  EXPECT_EQ(Parse({"--list-programs"}).mode, RenderOptions::Mode::kListPrograms);
  EXPECT_EQ(Parse({"--modulator", "m.wav", "--help"}).mode, RenderOptions::Mode::kHelp);
  EXPECT_EQ(Parse({"--version"}).mode, RenderOptions::Mode::kVersion);
}

TEST(RenderOptionsTest, WithoutModulatorRendersTheDemo) {
  const RenderOptions none = Parse({});
  EXPECT_EQ(none.mode, RenderOptions::Mode::kDemo);
  EXPECT_EQ(none.output, "redi-demo.wav");
  EXPECT_EQ(none.program, -1);
  const RenderOptions named = Parse({"--program", "5", "-o", "x.wav"});
  EXPECT_EQ(named.mode, RenderOptions::Mode::kDemo);
  EXPECT_EQ(named.output, "x.wav");
  EXPECT_EQ(named.program, 5);
}

TEST(RenderOptionsTest, BadValuesGiveOneLineReasons) {
  // Each bad part follows complete render options, so that only it can fail.
  const Args render = {"--modulator", "m.wav", "-o", "o.wav"};
  const std::vector<Args> bad = {{"--program", "64"},
                                 {"--program", "-1"},
                                 {"--program", "1x"},
                                 {"--block", "0"},
                                 {"--block", "65537"},
                                 {"--rate", "999"},
                                 {"--rate", "44.1k"},
                                 {"--notes", "128"},
                                 {"--notes", "60,,64"},
                                 {"--notes", ""},
                                 {"--set", "=1"},
                                 {"--set", "Tune"},
                                 {"--frobnicate"},
                                 {"--midi", "a.mid", "--notes", "60"},
                                 {"--carrier"},
                                 {"--tail", "-1"},
                                 {"--tail", "61"},
                                 {"--tail", "1s"},
                                 {"--sample-format", "32"}};
  std::vector<Args> commands;
  for (const Args& extra : bad) {
    Args args = render;
    args.insert(args.end(), extra.begin(), extra.end());
    commands.push_back(args);
  }
  commands.push_back({"--modulator", "m.wav"});  // no output file
  for (const Args& args : commands) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(ParseRenderOptions(args, &options, &error)) << args.back();
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
