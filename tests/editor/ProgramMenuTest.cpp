#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editor/ZAROptionMenu.h"
#include "editor/ZARShared.h"
#include "framework/platform/IniFile.h"
#include "instrument/ParameterIds.h"
#include "support/TempFolder.h"
#include "tests/editor/LayoutRig.h"
#include "update/MakerSite.h"
#include "update/VersionCheck.h"

namespace layouttest {
namespace {

enum MenuPosition {
  kCopy = 0,
  kPaste = 1,
  kInit = 2,
  kLoadProgram = 4,
  kSaveProgram = 5,
  kLoadBank = 6,
  kSaveBank = 7,
  kSelectStartup = 9,
  kLoadStartup = 10,
  kUnselectStartup = 11,
  kProgramFolder = 13,
  kWavFolder = 14,
  kMidiSubmenu = 15,
  kReloadConfig = 16,
  kSaveConfig = 17,
  kOnlineSubmenu = 19,
  kEditorSize = 21
};

class ProgramMenuTest : public ::testing::Test {
 protected:
  ProgramMenuTest() {
    ZAROptionMenu::ForgetFoldersForTests();
    rig.Open();
  }
  ~ProgramMenuTest() override { ZAROptionMenu::ForgetFoldersForTests(); }

  void Choose(std::vector<int> path) { rig.ChooseFromMenu(kOptionMenu, std::move(path)); }
  void AnswerNextBox(int answer) { rig.ui->messageBoxAnswers.push_back(answer); }
  void AnswerNextFile(const std::string& path) { rig.ui->fileAnswers.push_back({path, ""}); }
  std::string Ini() const { return ReadBytes(rig.plug.configPath); }
  std::string CurrentName() { return rig.plug.ProgramName(rig.plug.CurrentProgram()); }
  const IGraphicsHeadless::MessageBoxRequest& LastBox() { return rig.ui->messageBoxes.back(); }

  LayoutRig rig;
  TempFolder files;
};

TEST_F(ProgramMenuTest, ItemsFollowTheClipboardTheStartupBankAndTheMidiSettings) {
  rig.ClickCentre(kOptionMenu);  // dismissed
  ASSERT_EQ(rig.ui->menus.size(), 1u);
  const auto& items = rig.ui->menus[0].items;
  const std::vector<std::string> expected = {"Copy Program",
                                             "Paste Program",
                                             "Init Program",
                                             "",
                                             "Load Program",
                                             "Save Program",
                                             "Load Bank",
                                             "Save Bank",
                                             "",
                                             "Select Startup Bank",
                                             "Load Startup Bank",
                                             "Unselect Startup Bank",
                                             "",
                                             "Default Path for Program Files",
                                             "Default Path for WAV Files",
                                             "Global MIDI Settings...",
                                             "MIDI Thru",
                                             "Ignore Program Change",
                                             "Reload Configuration",
                                             "Save Configuration",
                                             "",
                                             "Go Online...",
                                             "Check Online for Update",
                                             VisitMakerSiteItemText(),
                                             "",
                                             "Editor Size",
                                             "100 %",
                                             "125 %",
                                             "150 %",
                                             "175 %",
                                             "200 %"};
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    if (!expected[i].empty()) {
      EXPECT_EQ(items[i].text, expected[i]) << i;
    }
    EXPECT_EQ(expected[i].empty(), (items[i].flags & IPopupMenu::kSeparator) != 0) << i;
  }
  EXPECT_EQ(items[16].depth, 1);
  EXPECT_EQ(items[23].depth, 1);
  EXPECT_EQ(items[26].depth, 1);
  EXPECT_NE(items[26].flags & IPopupMenu::kChecked, 0);  // the size shown, 100 %
  EXPECT_EQ(items[27].flags & IPopupMenu::kChecked, 0);
  const int disabled = IPopupMenu::kDisabled;
  EXPECT_EQ(items[kPaste].flags & disabled, disabled);
  EXPECT_EQ(items[kLoadStartup].flags & disabled, disabled);
  EXPECT_EQ(items[kUnselectStartup].flags & disabled, disabled);
  EXPECT_EQ(items[16].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[0].flags, 0);

  // Built afresh at every click.
  Choose({kCopy});
  rig.plug.startupBank = files.File("start.fxb");
  rig.plug.midiThru = true;
  rig.ClickCentre(kOptionMenu);
  const auto& again = rig.ui->menus.back().items;
  EXPECT_EQ(again[kPaste].flags & disabled, 0);
  EXPECT_EQ(again[kLoadStartup].flags & disabled, 0);
  EXPECT_EQ(again[kUnselectStartup].flags & disabled, 0);
  EXPECT_NE(again[16].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(again[17].flags & IPopupMenu::kChecked, 0);
  EXPECT_TRUE(rig.ui->messageBoxes.empty());
}

TEST_F(ProgramMenuTest, PastingProgramFiveIntoNineAsksFirstAndTakesItsName) {
  rig.plug.SelectProgram(5);
  const std::string fifth = CurrentName();
  const std::vector<double> fifthValues = rig.ParamValues();
  Choose({kCopy});
  rig.plug.SelectProgram(9);
  const std::string ninth = CurrentName();
  ASSERT_NE(fifth, ninth);

  AnswerNextBox(kIDNO);
  Choose({kPaste});
  EXPECT_EQ(LastBox().text, "Do you really want to overwrite the current program?");
  EXPECT_EQ(LastBox().title, "Paste Program");
  EXPECT_EQ(LastBox().type & 0xF, kMB_YESNO);
  EXPECT_EQ(CurrentName(), ninth);

  AnswerNextBox(kIDYES);
  Choose({kPaste});
  EXPECT_EQ(rig.plug.CurrentProgram(), 9);
  EXPECT_EQ(CurrentName(), fifth);
  EXPECT_EQ(rig.ParamValues(), fifthValues);
  EXPECT_EQ(std::string(rig.plug.ProgramName(5)), fifth);
}

TEST_F(ProgramMenuTest, InitAsksFirstThenSetsEveryDefault) {
  rig.plug.SelectProgram(5);
  const std::vector<double> before = rig.ParamValues();
  AnswerNextBox(kIDNO);
  Choose({kInit});
  EXPECT_EQ(LastBox().text, "Do you really want to initialize the current program?");
  EXPECT_EQ(LastBox().title, "Initialize Program");
  EXPECT_EQ(rig.ParamValues(), before);

  AnswerNextBox(kIDYES);
  Choose({kInit});
  EXPECT_EQ(CurrentName(), "Init");
  for (int i = 0; i < rig.plug.NParams(); ++i)
    EXPECT_NEAR(rig.plug.GetParam(i)->Value(), rig.plug.GetParam(i)->Default(), 1e-9) << i;
}

TEST_F(ProgramMenuTest, ProgramFilesSaveUnderACleanedNameAndLoadBack) {
  rig.plug.SelectProgram(3);
  rig.plug.ModifyCurrentPreset("Lead/Voice: \"A\"<1>|?*\\");
  const std::string path = files.File("saved.fxp");

  Choose({kSaveProgram});  // cancelled
  ASSERT_EQ(rig.ui->fileDialogs.size(), 1u);
  EXPECT_EQ(rig.ui->fileDialogs[0].action, kFileSave);
  EXPECT_EQ(rig.ui->fileDialogs[0].extensions, "fxp");
  EXPECT_EQ(rig.ui->fileDialogs[0].initialName, "Lead_Voice_ _A__1_____");
  EXPECT_EQ(rig.ui->fileDialogs[0].folder, rig.plug.programFolder);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ZAROptionMenu::RememberedProgramFolder(), rig.plug.programFolder);

  // The knob moved since the program was stored: the file has the new value.
  rig.plug.SetParamFromEditor(kTune, 0.75);
  const double tune = rig.plug.GetParam(kTune)->Value();
  AnswerNextFile(path);
  Choose({kSaveProgram});
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ZAROptionMenu::RememberedProgramFolder(), files.Path());
  EXPECT_TRUE(rig.ui->messageBoxes.empty());

  rig.plug.SelectProgram(7);
  AnswerNextFile(path);
  Choose({kLoadProgram});
  EXPECT_EQ(rig.ui->fileDialogs.back().action, kFileOpen);
  EXPECT_EQ(rig.ui->fileDialogs.back().extensions, "fxp");
  EXPECT_EQ(rig.ui->fileDialogs.back().folder, files.Path());
  EXPECT_EQ(rig.ui->fileDialogs.back().initialName, "");
  EXPECT_EQ(rig.plug.CurrentProgram(), 7);
  EXPECT_EQ(CurrentName(), "Lead/Voice: \"A\"<1>|?*\\");
  EXPECT_EQ(rig.plug.GetParam(kTune)->Value(), tune);
  EXPECT_TRUE(rig.ui->messageBoxes.empty());
}

TEST_F(ProgramMenuTest, AnUnreadableFileIsReportedAndStillMovesOnlyTheMenusFolder) {
  const std::string programFolder = rig.plug.programFolder;
  const std::string iniBefore = Ini();
  TempFolder elsewhere;
  const std::string broken = elsewhere.File("broken.fxp");
  WriteBytes(broken, "not a program");
  AnswerNextFile(broken);
  Choose({kLoadProgram});
  EXPECT_EQ(LastBox().text, "Cannot load file!");
  EXPECT_EQ(LastBox().title, "Error");
  EXPECT_EQ(LastBox().type & 0xF, kMB_OK);
  EXPECT_EQ(ZAROptionMenu::RememberedProgramFolder(), elsewhere.Path());
  EXPECT_EQ(rig.plug.programFolder, programFolder);
  EXPECT_EQ(Ini(), iniBefore);

  AnswerNextFile(elsewhere.File("no-such-bank.fxb"));
  Choose({kLoadBank});
  EXPECT_EQ(LastBox().text, "Cannot load file!");

  AnswerNextFile(elsewhere.File("no-such-folder/x.fxb"));
  Choose({kSaveBank});
  EXPECT_EQ(LastBox().text, "Cannot save file!");
  EXPECT_EQ(LastBox().title, "Error");
}

TEST_F(ProgramMenuTest, BanksSaveAsREDIAndLoadAllPrograms) {
  const std::string path = files.File("bank.fxb");
  AnswerNextFile(path);
  Choose({kSaveBank});
  EXPECT_EQ(rig.ui->fileDialogs.back().initialName, "REDI");
  EXPECT_EQ(rig.ui->fileDialogs.back().extensions, "fxb");
  ASSERT_TRUE(std::filesystem::exists(path));

  const std::string name12 = rig.plug.ProgramName(12);
  rig.plug.SelectProgram(12);
  rig.plug.ModifyCurrentPreset("Changed");
  AnswerNextFile(path);
  Choose({kLoadBank});
  EXPECT_EQ(std::string(rig.plug.ProgramName(12)), name12);
  EXPECT_TRUE(rig.ui->messageBoxes.empty());
}

TEST_F(ProgramMenuTest, StartupBankIsChosenWithoutLoadingReloadedAndForgottenOnYes) {
  const std::string path = files.File("startup.fxb");
  AnswerNextFile(path);
  Choose({kSaveBank});
  rig.plug.SelectProgram(12);
  rig.plug.ModifyCurrentPreset("Changed");
  const std::string folderBefore = ZAROptionMenu::RememberedProgramFolder();

  Choose({kSelectStartup});  // cancelled
  EXPECT_TRUE(rig.plug.startupBank.empty());
  AnswerNextFile(path);
  Choose({kSelectStartup});
  EXPECT_EQ(rig.ui->fileDialogs.back().action, kFileOpen);
  EXPECT_EQ(rig.plug.startupBank, path);
  EXPECT_NE(Ini().find(path), std::string::npos);
  EXPECT_EQ(std::string(rig.plug.ProgramName(12)), "Changed");  // not loaded now
  EXPECT_EQ(ZAROptionMenu::RememberedProgramFolder(), folderBefore);

  const std::string question =
      "The Startup Bank is:\n" + path + "\n\nDo you really want to reload all programs?";
  AnswerNextBox(kIDNO);
  Choose({kLoadStartup});
  EXPECT_EQ(LastBox().text, question);
  EXPECT_EQ(LastBox().title, "Load Startup Bank");
  EXPECT_EQ(std::string(rig.plug.ProgramName(12)), "Changed");
  AnswerNextBox(kIDYES);
  Choose({kLoadStartup});
  EXPECT_NE(std::string(rig.plug.ProgramName(12)), "Changed");

  AnswerNextBox(kIDNO);
  Choose({kUnselectStartup});
  EXPECT_EQ(LastBox().text,
            "The Startup Bank is:\n" + path + "\n\nDo you really want to unselect it?");
  EXPECT_EQ(LastBox().title, "Unselect Startup Bank");
  EXPECT_EQ(rig.plug.startupBank, path);
  AnswerNextBox(kIDYES);
  Choose({kUnselectStartup});
  EXPECT_TRUE(rig.plug.startupBank.empty());
  EXPECT_EQ(Ini().find(path), std::string::npos);

  // A startup bank that went away.
  rig.plug.startupBank = files.File("gone.fxb");
  AnswerNextBox(kIDYES);
  Choose({kLoadStartup});
  EXPECT_EQ(LastBox().text, "Cannot load file!");
}

TEST_F(ProgramMenuTest, FolderPickersWriteTheirSettings) {
  const std::string documents = rig.plug.documentsFolder;
  Choose({kProgramFolder});  // cancelled: nothing changes
  ASSERT_EQ(rig.ui->fileDialogs.size(), 1u);
  EXPECT_EQ(rig.ui->fileDialogs[0].action, kFileSave);
  EXPECT_EQ(rig.ui->fileDialogs[0].extensions, " ");
  EXPECT_EQ(rig.ui->fileDialogs[0].initialName, "[file name is ignored]");
  EXPECT_EQ(Ini().find("Path to Program Files"), std::string::npos);

  AnswerNextFile(files.File("[file name is ignored]"));
  Choose({kProgramFolder});
  EXPECT_EQ(rig.plug.programFolder, files.Path());
  EXPECT_EQ(ZAROptionMenu::RememberedProgramFolder(), files.Path());
  EXPECT_NE(Ini().find("Path to Program Files=" + files.Path()), std::string::npos);

  // The WAV folder starts in the documents folder when none is known.
  rig.plug.wavBaseFolder.clear();
  ZAROptionMenu::ForgetFoldersForTests();
  TempFolder wavs;
  AnswerNextFile(wavs.File("anything.wav"));
  Choose({kWavFolder});
  EXPECT_EQ(rig.ui->fileDialogs.back().folder, documents);
  EXPECT_EQ(rig.plug.wavBaseFolder, wavs.Path());
  EXPECT_EQ(ZAROptionMenu::RememberedWavFolder(), wavs.Path());
  EXPECT_NE(Ini().find("Path to WAV Files=" + wavs.Path()), std::string::npos);
}

TEST_F(ProgramMenuTest, TheRememberedFoldersAreSharedByEveryInstance) {
  AnswerNextFile(files.File("x"));
  Choose({kProgramFolder});
  LayoutRig other;
  other.Open();
  other.ChooseFromMenu(kOptionMenu, {kLoadProgram});
  EXPECT_EQ(other.ui->fileDialogs.back().folder, files.Path());
}

TEST_F(ProgramMenuTest, ConfigurationIsReloadedAndSavedOnlyOnYes) {
  const std::string ini = rig.plug.configPath;
  const std::string reload =
      "The INI configuration file is:\n" + ini + "\n\nDo you really want to reload it?";
  rig.plug.midiThru = true;
  AnswerNextBox(kIDNO);
  Choose({kReloadConfig});
  EXPECT_EQ(LastBox().text, reload);
  EXPECT_EQ(LastBox().title, "Reload Configuration");
  EXPECT_TRUE(rig.plug.midiThru);

  AnswerNextBox(kIDNO);
  Choose({kSaveConfig});
  EXPECT_EQ(LastBox().text,
            "The INI configuration file is:\n" + ini + "\n\nDo you really want to overwrite it?");
  EXPECT_EQ(LastBox().title, "Save Configuration");
  AnswerNextBox(kIDYES);
  Choose({kSaveConfig});
  EXPECT_NE(Ini().find("MIDI Thru"), std::string::npos);

  std::filesystem::remove(ini);
  rig.plug.midiThru = false;
  AnswerNextBox(kIDYES);
  Choose({kReloadConfig});
  EXPECT_EQ(LastBox().text, "The INI file does not exist.");
  EXPECT_EQ(LastBox().title, "Problem with INI File");
}

TEST_F(ProgramMenuTest, MidiSettingsToggleAndAreWritten) {
  Choose({kMidiSubmenu, 0});
  EXPECT_TRUE(rig.plug.midiThru);
  EXPECT_NE(Ini().find("MIDI Thru=true"), std::string::npos) << Ini();
  Choose({kMidiSubmenu, 1});
  EXPECT_TRUE(rig.plug.ignoreProgramChange);
  Choose({kMidiSubmenu, 0});
  EXPECT_FALSE(rig.plug.midiThru);
  EXPECT_TRUE(rig.plug.ignoreProgramChange);
  EXPECT_TRUE(rig.ui->messageBoxes.empty());
}

TEST_F(ProgramMenuTest, OnlineItemsCheckTheVersionAndOpenTheSite) {
  // A port nobody listens on: the check ends in its message.
  VersionServer closed;
  closed.host = "127.0.0.1";
  closed.port = 9;
  closed.connectLimitMs = 500;
  closed.replyLimitMs = 500;
  SetVersionServerForTests(closed);
  Choose({kOnlineSubmenu, 0});
  SetVersionServerForTests(VersionServer());
  EXPECT_EQ(rig.ui->messageBoxes.size(), 1u);

  Choose({kOnlineSubmenu, 1});
  ASSERT_EQ(rig.ui->urls.size(), 1u);
  EXPECT_EQ(rig.ui->urls[0].url, MakerSiteAddress());
  EXPECT_TRUE(rig.ui->urls[0].confirm.empty());
  EXPECT_TRUE(rig.ui->urls[0].errorText.empty());
}

TEST_F(ProgramMenuTest, EditorSizeAppliesAtOnceWhenTheHostResizesTheWindowAndIsKept) {
  rig.host.resizesWindow = true;
  Choose({kEditorSize, 4});  // 200 %
  EXPECT_EQ(rig.ui->SizePercent(), 200);
  ASSERT_EQ(rig.host.windowSizes.size(), 1u);
  EXPECT_EQ(rig.host.windowSizes[0], std::make_pair(1600, 720));
  EXPECT_NE(Ini().find("Editor Size=200"), std::string::npos);
  EXPECT_EQ(rig.plug.ReadEditorSize(), 200);
  rig.ClickCentre(kOptionMenu);  // dismissed
  EXPECT_NE(rig.ui->menus.back().items[30].flags & IPopupMenu::kChecked, 0);
  // Another instance, or this host reopened, opens at the chosen size.
  rig.Close();
  rig.plug.PrepareEditorSize();
  EXPECT_EQ(rig.ui->SizePercent(), 200);
}

TEST_F(ProgramMenuTest, EditorSizeTheHostRefusesWaitsForTheNextOpeningAndTheMenuSaysSo) {
  Choose({kEditorSize, 2});  // 150 %: the host keeps its window
  EXPECT_EQ(rig.host.windowSizes.size(), 1u);
  EXPECT_EQ(rig.ui->SizePercent(), 100);
  EXPECT_EQ(rig.plug.EditorSizeWaiting(), 150);
  rig.ClickCentre(kOptionMenu);
  const auto& items = rig.ui->menus.back().items;
  EXPECT_EQ(items[28].text, "150 % (when the editor opens again)");
  EXPECT_NE(items[28].flags & IPopupMenu::kChecked, 0);
  EXPECT_EQ(items[26].flags & IPopupMenu::kChecked, 0);
  rig.Close();
  rig.plug.PrepareEditorSize();
  rig.Open();
  EXPECT_EQ(rig.ui->SizePercent(), 150);
  EXPECT_EQ(rig.plug.EditorSizeWaiting(), 0);
  // A size in the file that is none of the editor's is no choice.
  IniFile::WriteString("Global", "Editor Size", "130", rig.plug.configPath);
  EXPECT_EQ(rig.plug.ReadEditorSize(), 0);
}

TEST_F(ProgramMenuTest, WithoutAChoiceTheEditorTakesTheHostsScaleElseTheScreens) {
  IniFile::WriteString("Global", "Editor Size", "", rig.plug.configPath);  // no choice
  rig.Close();
  rig.plug.PrepareEditorSize();
  EXPECT_EQ(rig.ui->SizePercent(), 100);  // the headless editor's screen
  rig.plug.HostEditorScale(1.5);
  rig.plug.PrepareEditorSize();
  EXPECT_EQ(rig.ui->SizePercent(), 150);
  rig.plug.HostEditorScale(2.3);  // beyond: the largest
  rig.plug.PrepareEditorSize();
  EXPECT_EQ(rig.ui->SizePercent(), 200);
  EXPECT_EQ(REDI::NearestEditorSize(110), 100);
  EXPECT_EQ(REDI::NearestEditorSize(113), 125);
  EXPECT_EQ(REDI::NearestEditorSize(160), 150);
  EXPECT_EQ(REDI::NearestEditorSize(40), 100);
}

TEST_F(ProgramMenuTest, MessagesWithALongPathStopAt1024BytesOnAWholeCharacter) {
  std::string path = "/";
  while (path.size() < 1100) path += "\xc3\xa9";  // "é"
  for (int shift = 0; shift < 2; ++shift) {
    const std::string text = FormatMessageWithPath("The Startup Bank is:\n%s\n\nDo you?", path);
    EXPECT_LE(text.size(), kMessageTextMax);
    EXPECT_GE(text.size(), kMessageTextMax - 1);
    // Ends after a complete two-byte character.
    EXPECT_EQ(static_cast<unsigned char>(text.back()), 0xa9);
    path = "/x" + path.substr(1);
  }
  rig.plug.startupBank = path;
  Choose({kUnselectStartup});
  EXPECT_LE(LastBox().text.size(), kMessageTextMax);
  EXPECT_EQ(FormatMessageWithPath("File \"%s\"!", "a.wav"), "File \"a.wav\"!");
}

}  // namespace
}  // namespace layouttest
