// Typed values: the prompt, the character filter, the length limit and the
// commit rules applied at the next tick.

#include <gtest/gtest.h>

#include "tests/editor/EditorTestSupport.h"

namespace editortest {
namespace {

class TextEntryTest : public ::testing::Test {
 protected:
  // A control on the parameter with the prompt enabled, opened and drawn.
  IControl* Prompting(int paramIdx, const IRECT& r = IRECT(20, 20, 60, 40)) {
    auto* control = new IKnobControl(&rig.plug, r, paramIdx);
    control->DisablePrompt(false);
    rig.graphics->AttachControl(control);
    return control;
  }
  // Opens the entry on the control as a right click does, types, commits.
  void Enter(IControl* control, const std::string& keys, bool commit = true) {
    rig.graphics->OnMouseDown(control->GetRECT().left + 1, control->GetRECT().top + 1, kRight);
    rig.graphics->OnMouseUp(control->GetRECT().left + 1, control->GetRECT().top + 1, kRight);
    ASSERT_TRUE(rig.graphics->IsTextEntryOpen());
    rig.graphics->Type(std::string(10, '\b') + keys);
    if (commit) {
      rig.graphics->Commit();
    } else {
      rig.graphics->Cancel();
    }
  }
  double Plain(int paramIdx) { return rig.plug.GetParam(paramIdx)->Value(); }

  Rig rig;
};

TEST_F(TextEntryTest, PointIsRefusedForWholeNumbersAndAcceptedForReals) {
  IControl* whole = Prompting(kWhole, IRECT(0, 0, 40, 20));
  IControl* real = Prompting(kReal, IRECT(50, 0, 90, 20));
  rig.Open();

  Enter(whole, "12.5x");
  EXPECT_EQ(rig.graphics->TextEntryText(), "125");
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kWhole), 100.0);  // 125 limited to the range

  Enter(real, "-+2.5a");
  EXPECT_EQ(rig.graphics->TextEntryText(), "-+2.5");
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kReal), 0.0);  // "-+2.5" reads as no number

  Enter(real, "2.5");
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kReal), 2.5);
  EXPECT_DOUBLE_EQ(real->GetValue(), 0.25);
}

TEST_F(TextEntryTest, CommitWaitsForTheNextTickAndCancelChangesNothing) {
  IControl* whole = Prompting(kWhole);
  rig.Open();
  Enter(whole, "30");
  EXPECT_DOUBLE_EQ(Plain(kWhole), 50.0);
  EXPECT_TRUE(rig.graphics->IsTextEntryOpen());
  rig.graphics->Tick();
  EXPECT_FALSE(rig.graphics->IsTextEntryOpen());
  EXPECT_DOUBLE_EQ(Plain(kWhole), 30.0);

  Enter(whole, "70", false);
  rig.graphics->Tick();
  EXPECT_FALSE(rig.graphics->IsTextEntryOpen());
  EXPECT_DOUBLE_EQ(Plain(kWhole), 30.0);

  Enter(whole, "70", true);
  rig.graphics->OnMouseWheel(0, 0, IMouseMod(), 120);  // a wheel turn cancels
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kWhole), 30.0);
}

TEST_F(TextEntryTest, EntryIsLimitedToTheControlsLengthAndOnlyOneOpens) {
  IControl* whole = Prompting(kWhole);
  IControl* other = Prompting(kReal, IRECT(100, 0, 140, 20));
  rig.Open();
  Enter(whole, "123456789");
  EXPECT_EQ(rig.graphics->TextEntryText(), "1234567");  // 7 characters by default
  EXPECT_EQ(rig.graphics->textEntries.back().maxLength, 7);
  rig.graphics->OpenTextEntry(other, other->GetText(), other->GetRECT(), "", kReal);
  EXPECT_EQ(rig.graphics->TextEntryControl(), whole);  // only one at a time
  EXPECT_EQ(rig.graphics->textEntries.size(), 1u);
  rig.graphics->Type("\b\b");
  EXPECT_EQ(rig.graphics->TextEntryText(), "12345");
  rig.graphics->OnMouseDown(101, 1, kLeft);  // a click elsewhere commits
  EXPECT_EQ(rig.graphics->GetMouseCapture(), -1);
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kWhole), 100.0);
  EXPECT_DOUBLE_EQ(Plain(kReal), 5.0);
}

TEST_F(TextEntryTest, EnumeratedTextMatchingNothingGivesZero) {
  auto* control = new IKnobControl(&rig.plug, IRECT(0, 0, 10, 10), kMode);
  rig.graphics->AttachControl(control);
  rig.Open();
  rig.plug.HostSetParameter(kMode, 1.0f);
  ASSERT_DOUBLE_EQ(Plain(kMode), 1.0);

  rig.graphics->OpenTextEntry(control, control->GetText(), control->GetRECT(), "Beta", kMode);
  EXPECT_FALSE(rig.graphics->TextEntryCharAllowed('B'));  // digits and signs only
  rig.graphics->Type("\b\b\b\b7");
  rig.graphics->Commit();
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kMode), 0.0);
}

TEST_F(TextEntryTest, NegatedParameterIsPrefilledAndReadWithTheSignReversed) {
  IControl* negated = Prompting(kNegated);
  rig.Open();
  rig.graphics->OnMouseDown(21, 21, kRight);
  ASSERT_EQ(rig.graphics->textEntries.size(), 1u);
  EXPECT_EQ(rig.graphics->textEntries[0].initial, "2.0");
  rig.graphics->Type(std::string(10, '\b') + "7.5");
  rig.graphics->Commit();
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kNegated), -7.5);
  EXPECT_DOUBLE_EQ(negated->GetValue(), 0.25);
}

TEST_F(TextEntryTest, PromptBoxIsCentredWithoutDisplayTextsAndDisabledPromptOpensNothing) {
  Prompting(kWhole, IRECT(100, 50, 140, 90));
  auto* silent = new IKnobControl(&rig.plug, IRECT(0, 0, 20, 20), kWhole);  // prompt disabled
  rig.graphics->AttachControl(silent);
  rig.Open();
  rig.graphics->OnMouseDown(5, 5, kRight);
  EXPECT_FALSE(rig.graphics->IsTextEntryOpen());
  rig.graphics->OnMouseDown(101, 51, kLeft);  // left button: no prompt
  EXPECT_FALSE(rig.graphics->IsTextEntryOpen());
  rig.graphics->OnMouseDown(101, 51, kRight);
  ASSERT_EQ(rig.graphics->textEntries.size(), 1u);
  EXPECT_EQ(rig.graphics->textEntries[0].where, IRECT(100, 62, 140, 78));
  EXPECT_EQ(rig.graphics->textEntries[0].initial, "50");
  EXPECT_EQ(rig.graphics->textEntries[0].paramIdx, kWhole);
}

TEST_F(TextEntryTest, ListPromptIsAMenuOfDisplayTextsWithTheCurrentChecked) {
  IControl* mode = Prompting(kMode, IRECT(10, 10, 50, 30));
  rig.Open();
  rig.graphics->menuAnswers.push_back({1});
  rig.graphics->OnMouseDown(11, 11, kRight);
  ASSERT_EQ(rig.graphics->menus.size(), 1u);
  const auto& menu = rig.graphics->menus[0];
  ASSERT_EQ(menu.items.size(), 2u);
  EXPECT_EQ(menu.items[0].text, "Alpha");
  EXPECT_EQ(menu.items[0].flags, IPopupMenu::kChecked);
  EXPECT_EQ(menu.items[1].text, "Beta");
  EXPECT_EQ(menu.items[1].flags, 0);
  EXPECT_EQ(menu.where, IRECT(10, 10, 50, 30));
  EXPECT_DOUBLE_EQ(Plain(kMode), 1.0);
  EXPECT_DOUBLE_EQ(mode->GetValue(), 1.0);

  rig.graphics->OnMouseDown(11, 11, kRight);  // dismissed: unchanged
  EXPECT_DOUBLE_EQ(Plain(kMode), 1.0);
  EXPECT_FALSE(rig.graphics->IsTextEntryOpen());
}

TEST_F(TextEntryTest, EntryWithoutParameterTakesAnyCharacterAndHandsOverAtMost31) {
  auto* probe = new ProbeControl(&rig.plug, &rig.log, "p", IRECT(0, 0, 10, 10));
  probe->SetTextEntryLength(40);
  rig.graphics->AttachControl(probe);
  rig.Open();
  rig.graphics->OpenTextEntry(probe, probe->GetText(), probe->GetRECT(), "");
  const std::string typed = "Name with letters.+ and more: 0123456789";
  rig.graphics->Type(typed);
  EXPECT_EQ(rig.graphics->TextEntryText(), typed);
  rig.graphics->Commit();
  rig.graphics->Tick();
  EXPECT_EQ(rig.log, (std::vector<std::string>{"p text " + typed.substr(0, 31)}));
}

TEST_F(TextEntryTest, ScriptedAnswerTypesAndCommitsAsTheEntryOpens) {
  Prompting(kReal);
  rig.Open();
  rig.graphics->textEntryAnswers.push_back({"1.25", true});
  rig.graphics->OnMouseDown(21, 21, kRight);
  rig.graphics->Tick();
  EXPECT_DOUBLE_EQ(Plain(kReal), 1.25);
}

}  // namespace
}  // namespace editortest
