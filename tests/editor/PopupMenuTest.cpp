// The pop-up menu model and the headless backend's scripted menus, message
// boxes and web addresses.

#include <gtest/gtest.h>

#include "tests/editor/EditorTestSupport.h"

namespace editortest {
namespace {

std::vector<std::string> Texts(const IPopupMenu& menu) {
  std::vector<std::string> texts;
  for (int i = 0; i < menu.GetNItems(); ++i) texts.push_back(menu.GetItem(i)->GetText());
  return texts;
}

TEST(PopupMenuTest, ItemsInsertAtTheirPositionAndAppendAtOrBeyondTheEnd) {
  IPopupMenu menu;
  menu.AddItem("b");
  menu.AddItem("d", -1);
  menu.AddItem("a", 0);
  menu.AddItem("c", 2);
  menu.AddItem("e", 4);   // at the end: appended
  menu.AddItem("f", 99);  // beyond: appended
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
  menu.RemoveItem(1);
  menu.RemoveItem(17);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"a", "c", "d", "e", "f"}));
  EXPECT_EQ(menu.GetItem(5), nullptr);
  EXPECT_EQ(menu.GetItem(-1), nullptr);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

TEST(PopupMenuTest, PrefixesNumberItemsFromOneWithinEachMenu) {
  IPopupMenu menu(IPopupMenu::kPrefixTwoDigits);
  menu.AddItem("Init");
  menu.AddSeparator();
  menu.AddItem("Load");
  EXPECT_EQ(menu.GetItemDisplayText(0), "01: Init");
  EXPECT_EQ(menu.GetItemDisplayText(1), "");
  EXPECT_EQ(menu.GetItemDisplayText(2), "03: Load");
  menu.SetPrefix(IPopupMenu::kPrefixOneDigit);
  EXPECT_EQ(menu.GetItemDisplayText(2), "3: Load");
  menu.SetPrefix(IPopupMenu::kPrefixThreeDigits);
  EXPECT_EQ(menu.GetItemDisplayText(0), "001: Init");
  menu.SetPrefix(IPopupMenu::kNoPrefix);
  EXPECT_EQ(menu.GetItemDisplayText(0), "Init");
  EXPECT_EQ(menu.GetItemDisplayText(3), "");
}

TEST(PopupMenuTest, FlagsCheckAndEnableIndependently) {
  IPopupMenu menu;
  IPopupMenu::Item* item = menu.AddItem("x", -1, IPopupMenu::kDisabled | IPopupMenu::kChecked);
  EXPECT_FALSE(item->IsEnabled());
  EXPECT_TRUE(item->IsChecked());
  menu.EnableItem(0, true);
  menu.CheckItem(0, false);
  EXPECT_EQ(item->GetFlags(), 0);
  EXPECT_TRUE(menu.AddSeparator()->IsSeparator());
  EXPECT_FALSE(menu.CheckItem(5, true));
}

class HeadlessMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.Open();
    auto* programs = new IPopupMenu(IPopupMenu::kPrefixTwoDigits);
    programs->AddItem("Bright");
    programs->AddItem("Dark", -1, IPopupMenu::kChecked);
    menu.AddItem("Programs", programs);
    menu.AddSeparator();
    menu.AddItem("Heading", -1, IPopupMenu::kTitle);
    menu.AddItem("Gone", -1, IPopupMenu::kDisabled);
    menu.AddItem("Save");
  }
  IPopupMenu* Show(std::vector<int> path) {
    rig.graphics->menuAnswers.push_back(path);
    return rig.graphics->CreateIPopupMenu(&menu, IRECT(1, 2, 3, 4));
  }

  Rig rig;
  IPopupMenu menu;
};

TEST_F(HeadlessMenuTest, RecordsEveryItemWithFlagsPrefixAndDepth) {
  EXPECT_EQ(Show({}), nullptr);
  ASSERT_EQ(rig.graphics->menus.size(), 1u);
  const auto& items = rig.graphics->menus[0].items;
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0].text, "Programs");
  EXPECT_EQ(items[1].text, "01: Bright");
  EXPECT_EQ(items[1].depth, 1);
  EXPECT_EQ(items[2].text, "02: Dark");
  EXPECT_EQ(items[2].flags, IPopupMenu::kChecked);
  EXPECT_EQ(items[3].flags, IPopupMenu::kSeparator);
  EXPECT_EQ(items[4].flags, IPopupMenu::kTitle);
  EXPECT_EQ(items[5].flags, IPopupMenu::kDisabled);
  EXPECT_EQ(items[6].depth, 0);
  EXPECT_EQ(rig.graphics->menus[0].where, IRECT(1, 2, 3, 4));
}

TEST_F(HeadlessMenuTest, ChoiceReturnsTheMenuHoldingTheItemAndUnchoosableItemsDismiss) {
  IPopupMenu* chosen = Show({0, 1});
  ASSERT_EQ(chosen, menu.GetItem(0)->GetSubmenu());
  EXPECT_EQ(chosen->GetChosenItemIdx(), 1);
  chosen = Show({4});
  ASSERT_EQ(chosen, &menu);
  EXPECT_EQ(chosen->GetChosenItemIdx(), 4);
  EXPECT_EQ(Show({1}), nullptr);     // separator
  EXPECT_EQ(Show({2}), nullptr);     // title
  EXPECT_EQ(Show({3}), nullptr);     // disabled
  EXPECT_EQ(Show({0}), nullptr);     // a submenu is no choice
  EXPECT_EQ(Show({9}), nullptr);     // beyond the end
  EXPECT_EQ(Show({4, 0}), nullptr);  // no submenu there
}

TEST_F(HeadlessMenuTest, AnyPopupRedrawsTheWholeWindow) {
  rig.graphics->AttachControl(new ProbeControl(&rig.plug, &rig.log, "p", IRECT(0, 0, 5, 5)));
  Settle(*rig.graphics);
  Show({});
  EXPECT_TRUE(rig.graphics->GetControl(0)->IsDirty());
}

TEST(HeadlessServicesTest, MessageBoxesAndAddressesAnswerFromTheScriptAndAreRecorded) {
  Rig rig;
  rig.Open();
  IGraphicsHeadless& g = *rig.graphics;
  EXPECT_EQ(g.ShowMessageBox("Sure?", "Question", kMB_YESNO), kIDNO);
  EXPECT_EQ(g.ShowMessageBox("Done", "Info", kMB_OK | kMB_ICONINFORMATION), kIDOK);
  g.messageBoxAnswers.push_back(kIDYES);
  EXPECT_EQ(g.ShowMessageBox("Again?", "Question", kMB_YESNO), kIDYES);
  ASSERT_EQ(g.messageBoxes.size(), 3u);
  EXPECT_EQ(g.messageBoxes[1].text, "Done");
  EXPECT_EQ(g.messageBoxes[1].title, "Info");
  EXPECT_EQ(g.messageBoxes[1].type, kMB_OK | kMB_ICONINFORMATION);

  EXPECT_FALSE(g.OpenURL("http://example.invalid/", "Update", "Open the page?", "No luck"));
  g.messageBoxAnswers.push_back(kIDYES);
  g.urlOpens = false;
  EXPECT_FALSE(g.OpenURL("http://example.invalid/", "Update", "Open the page?", "No luck"));
  g.urlOpens = true;
  EXPECT_TRUE(g.OpenURL("http://example.invalid/b"));
  ASSERT_EQ(g.urls.size(), 3u);
  EXPECT_EQ(g.urls[2].url, "http://example.invalid/b");
  EXPECT_EQ(g.messageBoxes.back().text, "No luck");
  EXPECT_EQ(g.messageBoxes.size(), 6u);  // two confirmations and the error
  EXPECT_STREQ(g.GetDrawingAPIName(), "Headless");
  EXPECT_FALSE(g.HasNativeWindow());
}

TEST(HeadlessServicesTest, FileDialogAnswersOnlyWhileOpenAndRecordsTheRequest) {
  Rig rig;
  rig.Attach();
  IGraphicsHeadless& g = *rig.graphics;
  g.fileAnswers.push_back({"/banks/mine.fxb", "/banks/"});
  std::string name = "start.fxb";
  std::string folder = "/home/";
  g.PromptForFile(&name, kFileSave, &folder, "fxp fxb");
  EXPECT_EQ(name, "");  // window closed: no dialog
  g.OpenWindow(nullptr);
  name = "start.fxb";
  g.PromptForFile(&name, kFileSave, &folder, "fxp fxb");
  EXPECT_EQ(name, "/banks/mine.fxb");
  EXPECT_EQ(folder, "/banks/");
  ASSERT_EQ(g.fileDialogs.size(), 2u);
  EXPECT_EQ(g.fileDialogs[1].action, kFileSave);
  EXPECT_EQ(g.fileDialogs[1].initialName, "start.fxb");
  EXPECT_EQ(g.fileDialogs[1].folder, "/home/");
  EXPECT_EQ(g.fileDialogs[1].extensions, "fxp fxb");
}

}  // namespace
}  // namespace editortest
