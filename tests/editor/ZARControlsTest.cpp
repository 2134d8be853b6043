#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "editor/ZARKnobMultiControlText.h"
#include "editor/ZARLoadWAVControl.h"
#include "editor/ZARPresetMenu.h"
#include "editor/ZARShared.h"
#include "instrument/ParameterIds.h"
#include "support/TempFolder.h"
#include "tests/editor/LayoutRig.h"

namespace layouttest {
namespace {

// A short 16-bit mono PCM file.
void WriteWav(const std::string& path) {
  std::string b;
  auto u32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&b](uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
  };
  const uint32_t frames = 4410;
  b += "RIFF";
  u32(36 + frames * 2);
  b += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(44100);
  u32(88200);
  u16(2);
  u16(16);
  b += "data";
  u32(frames * 2);
  for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>((i % 100) * 300));
  WriteBytes(path, b);
}

class ZARControlsTest : public ::testing::Test {
 protected:
  ZARControlsTest() { rig.Open(); }

  ZARPresetMenu& Preset() { return *static_cast<ZARPresetMenu*>(rig.ui->GetControl(kPresetMenu)); }
  ZARKnobMultiControlText& SmallKnob(int i) {
    return *static_cast<ZARKnobMultiControlText*>(rig.ui->GetControl(kFirstSmallKnob + i));
  }
  std::string Shown() {
    int number = 0;
    std::string name;
    Preset().Current(&number, &name);
    return std::to_string(number) + " " + name;
  }

  LayoutRig rig;
};

TEST_F(ZARControlsTest, PreviousAndNextWrapAroundTheBank) {
  rig.plug.SelectProgram(0);
  rig.ClickCentre(kPreviousButton);
  EXPECT_EQ(rig.plug.CurrentProgram(), 63);
  EXPECT_EQ(rig.ui->GetControl(kPreviousButton)->GetValue(), 0.0);
  rig.ClickCentre(kNextButton);
  EXPECT_EQ(rig.plug.CurrentProgram(), 0);
  rig.ClickCentre(kNextButton);
  EXPECT_EQ(rig.plug.CurrentProgram(), 1);

  // The button shows pressed while held, and a double-click steps again.
  const IRECT& r = rig.ui->GetControl(kNextButton)->GetRECT();
  rig.ui->OnMouseDown(r.left + 5, r.top + 5, kLeft);
  EXPECT_EQ(rig.ui->GetControl(kNextButton)->GetValue(), 1.0);
  rig.ui->OnMouseUp(r.left + 5, r.top + 5, kLeft);
  rig.ui->OnMouseDblClick(r.left + 5, r.top + 5, kLeft);
  rig.ui->OnMouseUp(r.left + 5, r.top + 5, kLeft);
  EXPECT_EQ(rig.plug.CurrentProgram(), 3);
}

TEST_F(ZARControlsTest, ProgramBoxShowsAndTakesAtMost27Bytes) {
  rig.plug.SelectProgram(4);
  rig.plug.ModifyCurrentPreset("A program name that is far too long to show");
  EXPECT_EQ(Shown(), "4 A program name that is far ");
  // 26 letters and a two-byte character: the character does not fit.
  rig.plug.ModifyCurrentPreset("abcdefghijklmnopqrstuvwxyz\xc3\xa9");
  EXPECT_EQ(Shown(), "4 abcdefghijklmnopqrstuvwxyz");

  rig.host.events.clear();
  rig.host.automations.clear();
  rig.Click(500, 315);  // the name box
  ASSERT_EQ(rig.ui->textEntries.size(), 1u);
  EXPECT_EQ(rig.ui->textEntries[0].maxLength, 27);
  EXPECT_EQ(rig.ui->textEntries[0].initial, "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(rig.ui->textEntries[0].where, Preset().NameBox());
  rig.ui->Type(
      "\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\bRenamed by the user, longer than "
      "allowed");
  rig.ui->Commit();
  rig.Settle();
  EXPECT_EQ(std::string(rig.plug.ProgramName(4)), "Renamed by the user, longer");
  EXPECT_EQ(rig.host.events.front(), "update display");
  EXPECT_EQ(rig.host.automations.size(), static_cast<size_t>(kNumParameters));
}

TEST_F(ZARControlsTest, ProgramListGroupsSixteenAndSelectsTheChoice) {
  rig.plug.SelectProgram(17);
  rig.ui->menuAnswers.push_back({2, 3});
  rig.Click(402, 316);  // the number box
  ASSERT_EQ(rig.ui->menus.size(), 1u);
  const auto& items = rig.ui->menus[0].items;
  ASSERT_EQ(items.size(), 4u + 64u);
  EXPECT_EQ(items[0].text, "00 - 15");
  EXPECT_EQ(items[17].text, "16 - 31");
  EXPECT_EQ(items[18].text.substr(0, 4), "16: ");
  EXPECT_NE(items[19].flags & IPopupMenu::kChecked, 0);  // program 17
  EXPECT_EQ(items[18].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[51].text, "48 - 63");
  for (const auto& item : items) EXPECT_LE(item.text.size(), 31u) << item.text;
  EXPECT_EQ(rig.ui->menus[0].where.left, 390);
  EXPECT_EQ(rig.plug.CurrentProgram(), 35);

  // Long names are cut before a character that does not fit whole.
  rig.plug.ModifyCurrentPreset(
      "x\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac"
      "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac");
  rig.Click(402, 316);
  const std::string item = rig.ui->menus.back().items[34 + 1 + 3].text;  // program 35
  EXPECT_EQ(item,
            "35: x\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac"
            "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac");
}

TEST_F(ZARControlsTest, SmallKnobTextTurnsGreyAtExactlyZero) {
  ZARKnobMultiControlText& bias = SmallKnob(0);  // -1 ... 1
  ASSERT_EQ(bias.ParamIdx(), kBias);
  IText style;
  rig.plug.GetParam(kBias)->SetClamped(0.0);
  rig.plug.RefreshParamControls();
  rig.Settle();
  EXPECT_EQ(bias.ValueText(&style), "0.00");
  EXPECT_EQ(style.color, KnobValueAtZeroStyle().color);
  rig.plug.GetParam(kBias)->SetClamped(-0.5);
  rig.plug.RefreshParamControls();
  rig.Settle();
  EXPECT_EQ(bias.ValueText(&style), "-0.50");
  EXPECT_EQ(style.color, KnobValueStyle().color);
  EXPECT_EQ(style.quality, IText::kQualityClearType);
  // A level's formatter and the text box below the knob.
  auto& level = *static_cast<ZARKnobMultiControlText*>(rig.ui->GetControl(kFirstBandControl + 2));
  EXPECT_EQ(level.ValueText(&style), "0.0");
  EXPECT_EQ(level.TextRect(), IRECT(60, 209, 100, 219));
}

TEST_F(ZARControlsTest, BandKnobsShowTheWholeHertzOfTheirParameter) {
  auto& band1 = *static_cast<ZARKnobMultiControlText*>(rig.ui->GetControl(kFirstBandControl));
  ASSERT_EQ(band1.ParamIdx(), kAnalysisFreq1);
  int wrong = 0;
  for (int hz = 16; hz <= 16000; ++hz) {
    rig.plug.GetParam(kAnalysisFreq1)->SetClamped(hz);
    rig.plug.RefreshParamControls();
    rig.ui->ApplyPendingParamValues();
    wrong += band1.ValueText(nullptr) != std::to_string(hz);
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(ZARControlsTest, SmallKnobsTurnByDragAndWheelAndReturnToTheirDefault) {
  rig.plug.InitProgram();
  rig.ClickCentre(kPageSwitch);
  ZARKnobMultiControlText& limit = SmallKnob(1);
  const double start = limit.GetValue();
  const IRECT& r = limit.GetRECT();
  const int x = (r.left + r.right) / 2;
  rig.ui->OnMouseDown(x, r.top + 10, kLeft);
  rig.ui->OnMouseDrag(x, r.top + 2, kLeft);  // 8 pixels up on a 32-pixel knob
  rig.ui->OnMouseUp(x, r.top + 2, kLeft);
  EXPECT_NEAR(limit.GetValue(), start + 8.0 / 32.0 / 4.0, 1e-12);
  EXPECT_NEAR(rig.plug.GetParam(kLimit)->ToNormalized(), limit.GetValue(), 1e-9);
  rig.ui->OnMouseWheel(x, r.top + 10, kLeft, -240);
  EXPECT_NEAR(limit.GetValue(), start + 0.0625 - 0.02, 1e-12);
  rig.ui->OnMouseWheel(x, r.top + 10, IMouseMod(false, false, true), 120);
  EXPECT_NEAR(limit.GetValue(), start + 0.0625 - 0.019, 1e-12);
  rig.ui->OnMouseDblClick(x, r.top + 10, kLeft);
  EXPECT_NEAR(limit.GetValue(),
              NormalizedFromPlain(*rig.plug.GetParam(kLimit), rig.plug.GetParam(kLimit)->Default()),
              1e-12);
}

TEST_F(ZARControlsTest, WavMenuWithoutAFileOffersOnlyMicAndLoading) {
  rig.ClickCentre(kWavControl);
  ASSERT_EQ(rig.ui->menus.size(), 1u);
  const auto& items = rig.ui->menus[0].items;
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0].text, "MIC Input");
  EXPECT_NE(items[0].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[1].text, "No WAV file loaded");
  EXPECT_NE(items[1].flags & IPopupMenu::kDisabled, 0);
  EXPECT_NE(items[2].flags & IPopupMenu::kSeparator, 0);
  EXPECT_EQ(items[3].text, "Legato");
  EXPECT_NE(items[3].flags & IPopupMenu::kDisabled, 0);
  EXPECT_EQ(items[5].text, "Unload WAV file");
  EXPECT_NE(items[5].flags & IPopupMenu::kDisabled, 0);
  EXPECT_EQ(items[6].text, "Load WAV file...");
  const IRECT& r = rig.ui->GetControl(kWavControl)->GetRECT();
  EXPECT_EQ(rig.ui->menus[0].where.bottom, r.bottom);

  // Loading, cancelled: still the microphone.
  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kLoad});
  rig.ClickCentre(kWavControl);
  EXPECT_EQ(rig.ui->fileDialogs.back().extensions, "wav");
  EXPECT_EQ(rig.plug.GetParam(kInputMode)->Value(), 0.0);
  EXPECT_TRUE(rig.plug.wavRequestedPath.empty());
}

TEST_F(ZARControlsTest, WavFileLoadsShowsItsNameAndUnloads) {
  TempFolder folder;
  const std::string path = folder.File("Voice take.wav");
  WriteWav(path);
  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kLoad});
  rig.ui->fileAnswers.push_back({path, ""});
  rig.ClickCentre(kWavControl);
  EXPECT_EQ(rig.plug.wavRequestedPath, path);
  EXPECT_FALSE(rig.plug.wavMissing);
  EXPECT_EQ(rig.plug.GetParam(kInputMode)->Value(), 1.0);
  EXPECT_EQ(rig.ui->GetControl(kWavControl)->GetTooltip(), path);

  rig.ClickCentre(kWavControl);
  const auto& items = rig.ui->menus.back().items;
  EXPECT_EQ(items[1].text, path);
  EXPECT_NE(items[1].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[3].flags & (IPopupMenu::kDisabled | IPopupMenu::kChecked), 0);

  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kLegato});
  rig.ClickCentre(kWavControl);
  EXPECT_EQ(rig.plug.GetParam(kSampleLegato)->Value(), 1.0);
  rig.ClickCentre(kWavControl);
  EXPECT_NE(rig.ui->menus.back().items[3].flags & IPopupMenu::kChecked, 0);

  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kMicInput});
  rig.ClickCentre(kWavControl);
  EXPECT_EQ(rig.plug.GetParam(kInputMode)->Value(), 0.0);
  EXPECT_EQ(rig.ui->GetControl(kWavControl)->GetTooltip(), "");
  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kFile});
  rig.ClickCentre(kWavControl);
  EXPECT_EQ(rig.plug.GetParam(kInputMode)->Value(), 1.0);

  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kUnload});
  rig.ClickCentre(kWavControl);
  EXPECT_TRUE(rig.plug.wavRequestedPath.empty());
  EXPECT_EQ(rig.plug.GetParam(kInputMode)->Value(), 0.0);
}

TEST_F(ZARControlsTest, AMissingWavFileIsShownAsAnError) {
  TempFolder folder;
  const std::string path = folder.File("gone.wav");
  rig.ui->menuAnswers.push_back({ZARLoadWAVControl::kLoad});
  rig.ui->fileAnswers.push_back({path, ""});
  rig.ClickCentre(kWavControl);
  EXPECT_TRUE(rig.plug.wavMissing);
  EXPECT_EQ(rig.ui->GetControl(kWavControl)->GetTooltip(), "Could not load \"" + path + "\"!");
}

TEST(ZARLoadWAVControlTest, BaseNameDropsFolderAndExtension) {
  EXPECT_EQ(ZARLoadWAVControl::BaseName("C:\\Music\\voice.take.wav"), "voice.take");
  EXPECT_EQ(ZARLoadWAVControl::BaseName("/home/me/voice"), "voice");
  EXPECT_EQ(ZARLoadWAVControl::BaseName("/home/me.d/voice"), "voice");
  EXPECT_EQ(ZARLoadWAVControl::BaseName("/home/me/"), "");
  EXPECT_EQ(ZARLoadWAVControl::BaseName("voice.wav"), "voice");
}

TEST_F(ZARControlsTest, VocoderModeSelectorListsItsTextsAndSetsTheChoice) {
  rig.plug.InitProgram();
  rig.Settle();
  rig.host.automations.clear();
  rig.ui->menuAnswers.push_back({1});
  rig.ClickCentre(kVocoderModeSelector);
  const auto& items = rig.ui->menus[0].items;
  const IParameter* mode = rig.plug.GetParam(kVocoderMode);
  ASSERT_EQ(items.size(), mode->DisplayTexts().size());
  EXPECT_NE(items[0].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[1].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(rig.ui->menus[0].where, rig.ui->GetControl(kVocoderModeSelector)->GetRECT());
  EXPECT_EQ(mode->Value(), 1.0);
  ASSERT_FALSE(rig.host.automations.empty());
  EXPECT_EQ(rig.host.automations.back().index, kVocoderMode);
}

TEST_F(ZARControlsTest, ToolsMenuRunsTheChosenToolAndIgnoresTitlesAndSeparators) {
  rig.ClickCentre(kPageSwitch);
  rig.plug.GetParam(kAnalysisFreq1)->SetClamped(100.0);
  rig.plug.GetParam(kAnalysisFreq1 + 19)->SetClamped(10000.0);
  const std::vector<double> before = rig.ParamValues();
  rig.ChooseFromMenu(kToolsMenu, {2});  // a separator
  rig.ChooseFromMenu(kToolsMenu, {0});  // a submenu title
  EXPECT_EQ(rig.ParamValues(), before);

  rig.ChooseFromMenu(kToolsMenu, {0, 1});  // analysis: distribute (logarithmic)
  EXPECT_NEAR(rig.plug.GetParam(kAnalysisFreq1 + 10)->Value(), 1128.8, 0.05);
  // The band knob follows at the next tick.
  const IControl* band11 = rig.ui->GetControl(kFirstBandControl + 4 * 10);
  EXPECT_NEAR(band11->GetValue(), rig.plug.GetParam(kAnalysisFreq1 + 10)->ToNormalized(), 1e-9);

  rig.ChooseFromMenu(kToolsMenu, {6});  // all levels to -oo dB
  EXPECT_EQ(rig.plug.GetParam(kSynthesisLevel1 + 7)->Value(), 0.0);
  rig.ChooseFromMenu(kToolsMenu, {9});  // all "Fixed"
  EXPECT_EQ(rig.plug.GetParam(kSynthesisFixed1 + 19)->Value(), 1.0);
  EXPECT_EQ(rig.ui->GetControl(kFirstBandControl + 4 * 19 + 3)->GetValue(), 1.0);
  rig.ChooseFromMenu(kToolsMenu, {1, 0});  // synthesis: copy from analysis
  EXPECT_EQ(rig.plug.GetParam(kSynthesisFreq1 + 10)->Value(),
            rig.plug.GetParam(kAnalysisFreq1 + 10)->Value());
  const auto& items = rig.ui->menus.back().items;
  EXPECT_EQ(items[0].text, "Analysis frequencies...");
  EXPECT_EQ(items[1].text, "Copy from Synthesis frequencies");
  EXPECT_EQ(items.back().text, "Reset all to default");
}

}  // namespace
}  // namespace layouttest
