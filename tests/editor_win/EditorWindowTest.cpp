// The Win32 editor window in this process, on a layout of test controls:
// what the screen shows against the headless render of the same layout, and
// the window's own input, text entry, menus, boxes and services driven with
// real window messages. Needs a display (Wine with Xvfb).

#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/drawing/IGraphicsHeadless.h"
#include "editor/drawing/IGraphicsWin.h"
#include "editor/drawing/LICE.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"
#include "tests/editor_win/EditorImages.h"
#include "tests/editor_win/TestHostWindow.h"
#include "tests/framework/RecordingHost.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 360;

// A plain fill: every pixel of the test layout is known.
class FillControl : public IControl {
 public:
  FillControl(IPlugBase* plug, const IRECT& r, const IColor& colour)
      : IControl(plug, r), colour(colour) {}
  bool Draw(IGraphics* graphics) override { return graphics->FillIRect(colour, GetRECT()); }

 private:
  IColor colour;
};

// Keeps what a text entry bound to no parameter commits.
class EntryTarget : public FillControl {
 public:
  using FillControl::FillControl;
  void TextFromTextEntry(const char* text) override { committed.push_back(text); }
  std::vector<std::string> committed;
};

// An 8-frame knob strip, 40 x 40 per frame: each frame a different colour
// with a bar as high as its number.
IBitmap KnobStrip() {
  static std::unique_ptr<LICE_MemBitmap> strip;
  constexpr int kFrames = 8, kSide = 40;
  if (!strip) {
    strip = std::make_unique<LICE_MemBitmap>(kSide, kSide * kFrames);
    for (int f = 0; f < kFrames; ++f) {
      LICE_FillRect(strip.get(), 0, f * kSide, kSide, kSide,
                    LICE_RGBA(30 * f, 255 - 30 * f, 128, 255));
      LICE_FillRect(strip.get(), 16, f * kSide + kSide - 5 * (f + 1), 8, 5 * (f + 1),
                    LICE_RGBA(255, 255, 255, 255));
    }
  }
  return IBitmap(strip.get(), kSide, kSide * kFrames, kFrames);
}

struct TestLayout {
  int knob = -1;
  int text = -1;
  int entry = -1;
  IRECT knobRect;
};

// The same controls for the window and the headless editor.
TestLayout BuildLayout(IGraphics* graphics, IPlugBase* plug) {
  TestLayout layout;
  graphics->AttachControl(
      new FillControl(plug, IRECT(0, 0, kWidth, kHeight), IColor(255, 40, 60, 90)));
  graphics->AttachControl(
      new FillControl(plug, IRECT(20, 20, 220, 120), IColor(128, 250, 40, 40)));  // half alpha
  layout.knob =
      graphics->AttachControl(new IKnobMultiControl(plug, 100, 160, kFinalVolume, KnobStrip()));
  layout.knobRect = graphics->GetControl(layout.knob)->GetRECT();
  layout.text = graphics->AttachControl(
      new ITextControl(plug, IRECT(300, 40, 760, 80), IText(24, IColor(255, 250, 220, 40), "Arial"),
                       "REDI editor 0123 gjpqy"));
  layout.entry = graphics->AttachControl(
      new EntryTarget(plug, IRECT(300, 200, 420, 222), IColor(255, 200, 200, 200)));
  graphics->SetParamFromPlug(kFinalVolume, 0.5, true);
  graphics->ApplyPendingParamValues();
  graphics->PrepDraw();
  return layout;
}

int CenterX(const IRECT& r) { return (r.left + r.right) / 2; }
int CenterY(const IRECT& r) { return (r.top + r.bottom) / 2; }

class EditorWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plug = new REDI(host); }
  static void TearDownTestSuite() {
    delete plug;
    plug = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(hostWindow.Handle(), nullptr);
    editor = std::make_unique<IGraphicsWin>(plug, kWidth, kHeight);
    layout = BuildLayout(editor.get(), plug);
    host->events.clear();
    host->automations.clear();
  }
  void TearDown() override {
    if (editor) editor->CloseWindow();
  }

  HWND Window() const { return static_cast<HWND>(editor->GetWindow()); }
  void Send(UINT msg, WPARAM wParam, int x, int y) {
    SendMessageA(Window(), msg, wParam, MousePoint(x, y));
  }
  // Two timer periods: one tick sees the change, one more paints it.
  static void WaitTicks() { PumpMessages(120); }

  static RecordingHost* host;  // lives as long as the program
  static REDI* plug;
  TestHostWindow hostWindow;
  std::unique_ptr<IGraphicsWin> editor;
  TestLayout layout;
};

RecordingHost* EditorWindowTest::host = new RecordingHost();
REDI* EditorWindowTest::plug = nullptr;

TEST_F(EditorWindowTest, WindowShowsTheHeadlessRenderOfTheSameLayout) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  WaitTicks();
  const Capture shown = CaptureWindow(Window());

  IGraphicsHeadless headless(plug, kWidth, kHeight);
  BuildLayout(&headless, plug);
  ASSERT_TRUE(headless.OpenWindow(nullptr));
  headless.Draw(IRECT(0, 0, kWidth, kHeight));

  // Both draw text with the same system fonts into the same kind of
  // bitmap, so even the text's pixels must agree.
  EXPECT_EQ(CompareWithSurface(shown, *headless.GetDrawBitmap(), "inprocess"), 0);
  // The layout itself is on screen: the fill, and text in the text's colour.
  EXPECT_EQ(shown.At(5, 5), 0x283C5Au);
  int textPixels = 0;
  for (int y = 40; y < 80; ++y)
    for (int x = 300; x < 760; ++x) textPixels += shown.At(x, y) == 0xFADC28u ? 1 : 0;
  EXPECT_GT(textPixels, 50);
}

// The knob and the text change in the same tick; the half-see-through fill
// between them must stay on screen.
TEST_F(EditorWindowTest, ControlsRedrawnTogetherLeaveTheScreenOfAFullRender) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  WaitTicks();
  editor->SetParamFromPlug(kFinalVolume, 0.9, true);
  editor->GetControl(layout.text)->SetDirty(false);
  WaitTicks();
  const Capture shown = CaptureWindow(Window());

  IGraphicsHeadless headless(plug, kWidth, kHeight);
  BuildLayout(&headless, plug);
  headless.SetParamFromPlug(kFinalVolume, 0.9, true);
  ASSERT_TRUE(headless.OpenWindow(nullptr));
  headless.Draw(IRECT(0, 0, kWidth, kHeight));
  EXPECT_EQ(CompareWithSurface(shown, *headless.GetDrawBitmap(), "together"), 0);
}

TEST_F(EditorWindowTest, DragOnAKnobIsOneGestureAndTheWindowRepaintsIt) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  WaitTicks();
  const uint32_t before =
      CaptureWindow(Window()).At(CenterX(layout.knobRect), layout.knobRect.top + 2);
  const int x = CenterX(layout.knobRect), y = CenterY(layout.knobRect);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  Send(WM_MOUSEMOVE, MK_LBUTTON, x, y - 20);
  Send(WM_MOUSEMOVE, MK_LBUTTON, x, y - 40);
  Send(WM_LBUTTONUP, 0, x, y - 40);
  WaitTicks();

  ASSERT_EQ(host->events.size(), 2u);
  EXPECT_EQ(host->events.front(), "begin " + std::to_string(kFinalVolume));
  EXPECT_EQ(host->events.back(), "end " + std::to_string(kFinalVolume));
  ASSERT_GE(host->automations.size(), 2u);
  for (const auto& automation : host->automations) EXPECT_EQ(automation.index, kFinalVolume);
  // Up by 40 of the knob's 40 pixels at the gearing of 4: a quarter turn.
  EXPECT_NEAR(editor->GetControl(layout.knob)->GetValue(), 0.75, 1e-9);
  const uint32_t after =
      CaptureWindow(Window()).At(CenterX(layout.knobRect), layout.knobRect.top + 2);
  EXPECT_NE(after, before);
}

TEST_F(EditorWindowTest, WheelNotchesAddUpAndDoubleClickRestoresTheDefault) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  IControl* knob = editor->GetControl(layout.knob);
  POINT screen = {CenterX(layout.knobRect), CenterY(layout.knobRect)};
  ClientToScreen(Window(), &screen);
  const LPARAM at = MousePoint(screen.x, screen.y);
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), at);
  EXPECT_NEAR(knob->GetValue(), 0.52, 1e-9);
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), at);
  EXPECT_NEAR(knob->GetValue(), 0.52, 1e-9);  // half a notch is not yet one
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA / 2), at);
  EXPECT_NEAR(knob->GetValue(), 0.53, 1e-9);
  // The wheel's position is the screen's; a point outside the knob turns nothing.
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA),
               MousePoint(screen.x + 200, screen.y));
  EXPECT_NEAR(knob->GetValue(), 0.53, 1e-9);

  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, CenterX(layout.knobRect), CenterY(layout.knobRect));
  EXPECT_NEAR(knob->GetValue(), 0.5, 1e-9);
}

// Takes every key it is given.
class KeyTarget : public FillControl {
 public:
  using FillControl::FillControl;
  bool OnKeyDown(int, int, int key) override {
    keys.push_back(key);
    return true;
  }
  std::vector<int> keys;
};

TEST_F(EditorWindowTest, KeysReachTheControlUnderTheCursorInTheirCodes) {
  auto* target = new KeyTarget(plug, IRECT(600, 250, 700, 350), IColor(255, 0, 0, 0));
  editor->AttachControl(target);
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  POINT over = {650, 300};
  ClientToScreen(Window(), &over);
  ASSERT_TRUE(SetCursorPos(over.x, over.y));
  for (WPARAM key : {VK_SPACE, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, static_cast<int>('0'),
                     static_cast<int>('9'), static_cast<int>('A'), static_cast<int>('Z')}) {
    SendMessageA(Window(), WM_KEYDOWN, key, 0);
  }
  EXPECT_EQ(target->keys, (std::vector<int>{0, 1, 2, 3, 4, 5, 14, 15, 40}));
  EXPECT_TRUE(hostWindow.Keys().empty());  // handled keys stay with the editor
  SendMessageA(Window(), WM_KEYDOWN, VK_F2, 0);
  EXPECT_EQ(target->keys.size(), 9u);
  ASSERT_EQ(hostWindow.Keys().size(), 1u);
  EXPECT_EQ(hostWindow.Keys()[0].key, static_cast<WPARAM>(VK_F2));
}

HWND FindEntryBox(HWND editor) { return FindWindowExA(editor, nullptr, "EDIT", nullptr); }

void Type(HWND box, const char* text) {
  for (const char* c = text; *c != '\0'; ++c) SendMessageA(box, WM_CHAR, *c, 0);
}

TEST_F(EditorWindowTest, TextEntryCommitsOnEnterAndCancelsOnEscape) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  auto* target = static_cast<EntryTarget*>(editor->GetControl(layout.entry));
  const IRECT r = target->GetRECT();
  IText style(14, IColor(255, 0, 0, 0), "Arial");
  style.align = IText::kAlignNear;
  style.textEntryBGColor = IColor(255, 10, 200, 30);
  target->SetTextEntryLength(5);
  editor->OpenTextEntry(target, style, r, "ab");

  HWND box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  RECT placed;
  GetWindowRect(box, &placed);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, r.left);
  EXPECT_EQ(placed.top, r.top);
  EXPECT_EQ(placed.right - placed.left, r.W() + 1);
  EXPECT_EQ(placed.bottom - placed.top, r.H() + 1);
  EXPECT_NE(GetWindowLongA(box, GWL_STYLE) & ES_MULTILINE, 0);
  EXPECT_EQ(GetFocus(), box);
  EXPECT_EQ(SendMessageA(box, EM_GETLIMITTEXT, 0, 0), 5);
  DWORD selStart = 1, selEnd = 0;
  SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
               reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, 0u);
  EXPECT_EQ(selEnd, 2u);
  PumpMessages(50);
  const Capture boxPixels = CaptureWindow(box);
  ASSERT_GT(boxPixels.width, 2);
  EXPECT_EQ(boxPixels.At(boxPixels.width - 2, boxPixels.height - 2), 0x0AC81Eu);  // its colours

  Type(box, "x.yz!?");  // replaces the selection; no parameter: any character, at most 5
  SendMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(box, WM_CHAR, '\r', 0);
  EXPECT_TRUE(target->committed.empty());  // applied at the next tick
  WaitTicks();
  ASSERT_EQ(target->committed.size(), 1u);
  EXPECT_EQ(target->committed[0], "x.yz!");
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
  EXPECT_FALSE(editor->IsTextEntryOpen());

  editor->OpenTextEntry(target, style, r, "keep");
  box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "zz");
  SendMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
  WaitTicks();
  EXPECT_EQ(target->committed.size(), 1u);
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
}

TEST_F(EditorWindowTest, TextEntryOnAParameterFiltersKeysAndCommitsOnAClickOrWheelCancels) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  IControl* knob = editor->GetControl(layout.knob);
  editor->OpenTextEntry(knob, IText(), layout.knobRect, "", kVocoderMode);
  HWND box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "a1.+");  // a list parameter takes digits and signs only
  char text[16] = {};
  GetWindowTextA(box, text, sizeof text);
  EXPECT_STREQ(text, "1+");
  // A wheel turn over the editor cancels.
  SendMessageA(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MousePoint(0, 0));
  WaitTicks();
  EXPECT_EQ(FindEntryBox(Window()), nullptr);

  editor->OpenTextEntry(knob, IText(), layout.knobRect, "", kFinalVolume);
  box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  SendMessageA(box, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MousePoint(0, 0));
  WaitTicks();  // the wheel reaches the focused box itself: that cancels too
  EXPECT_EQ(FindEntryBox(Window()), nullptr);

  editor->OpenTextEntry(knob, IText(), layout.knobRect, "", kFinalVolume);
  box = FindEntryBox(Window());
  ASSERT_NE(box, nullptr);
  Type(box, "0.5");  // a real parameter takes the point
  GetWindowTextA(box, text, sizeof text);
  EXPECT_STREQ(text, "0.5");
  host->events.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);  // a click elsewhere commits, and only commits
  EXPECT_TRUE(host->events.empty());
  WaitTicks();
  EXPECT_EQ(FindEntryBox(Window()), nullptr);
  EXPECT_FALSE(host->automations.empty());
}

// ---- Modal loops: menus, message boxes and dialogs ----

// Answers the first dialog box of this thread (message boxes and file
// dialogs alike) from inside its modal loop, and notes what it saw.
struct DialogAnswer {
  WPARAM button = IDCANCEL;
  HWND owner = nullptr;
  std::string text;        // the message box's text, when there is one
  std::string fileFilter;  // the file dialog's file-type choice, when there is one
  bool seen = false;
};
DialogAnswer* pendingAnswer = nullptr;

BOOL CALLBACK AnswerDialog(HWND hwnd, LPARAM) {
  char name[32] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (std::string(name) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
  DialogAnswer& answer = *pendingAnswer;
  answer.seen = true;
  answer.owner = GetWindow(hwnd, GW_OWNER);
  char text[256] = {};
  GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text);  // a message box's text
  answer.text = text;
  GetDlgItemTextA(hwnd, 0x470, text, sizeof text);  // a file dialog's type list
  answer.fileFilter = text;
  PostMessageA(hwnd, WM_COMMAND, answer.button, 0);
  return FALSE;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  if (pendingAnswer == nullptr || pendingAnswer->seen) {
    KillTimer(nullptr, timer);
    return;
  }
  EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0);
}

// Arms the answer for the next modal dialog; a thread timer runs inside its loop.
void AnswerNextDialog(DialogAnswer* answer) {
  pendingAnswer = answer;
  SetTimer(nullptr, 0, 50, LookForDialog);
}

// Keys queued before a menu opens: its tracking loop reads them.
void QueueKeys(HWND window, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) {
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0);
  }
}

// Menu items as the system shows them, read while each menu opens.
struct ShownItem {
  std::string text;
  UINT state;
  bool submenu;
};
std::vector<std::vector<ShownItem>> shownMenus;
WNDPROC editorProc = nullptr;

LRESULT CALLBACK SpyOnMenus(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITMENUPOPUP) {
    HMENU menu = reinterpret_cast<HMENU>(wParam);
    std::vector<ShownItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      char text[128] = {};
      MENUITEMINFOA info = {};
      info.cbSize = sizeof info;
      info.fMask = MIIM_STATE | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
      info.dwTypeData = text;
      info.cch = sizeof text;
      GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
      const bool separator = (info.fType & MFT_SEPARATOR) != 0;
      items.push_back({separator ? "-" : text, info.fState, info.hSubMenu != nullptr});
    }
    shownMenus.push_back(items);
  }
  return CallWindowProcA(editorProc, hwnd, msg, wParam, lParam);
}

TEST_F(EditorWindowTest, MenuCommandsAreNumberedInBlocksAndFoundInTheirSubmenu) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  IPopupMenu menu;
  menu.AddItem("one");
  menu.AddSeparator();
  auto* first = new IPopupMenu(IPopupMenu::kPrefixTwoDigits);
  first->AddItem("a");
  first->AddItem("b", -1, IPopupMenu::kChecked);
  first->AddItem("c", -1, IPopupMenu::kDisabled);
  menu.AddItem("first", first);
  auto* second = new IPopupMenu();
  second->AddItem("x");
  second->AddItem("y");
  menu.AddItem("second", second);
  const IRECT where(10, 10, 50, 30);

  // The second item of the second submenu: it must not be taken for the
  // first submenu's, whose block comes before.
  QueueKeys(Window(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  EXPECT_EQ(editor->CreateIPopupMenu(&menu, where), second);
  EXPECT_EQ(second->GetChosenItemIdx(), 1);
  EXPECT_EQ(first->GetChosenItemIdx(), -1);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  RECT invalid;
  ASSERT_TRUE(GetUpdateRect(Window(), &invalid, FALSE));  // all of it is drawn again
  EXPECT_EQ(invalid.right - invalid.left, kWidth);
  EXPECT_EQ(invalid.bottom - invalid.top, kHeight);

  editorProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SpyOnMenus)));
  shownMenus.clear();
  QueueKeys(Window(), {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
  EXPECT_EQ(editor->CreateIPopupMenu(&menu, where), first);
  EXPECT_EQ(first->GetChosenItemIdx(), 1);
  SetWindowLongPtrA(Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editorProc));
  ASSERT_EQ(shownMenus.size(), 2u);
  ASSERT_EQ(shownMenus[0].size(), 4u);
  EXPECT_EQ(shownMenus[0][1].text, "-");
  EXPECT_TRUE(shownMenus[0][2].submenu);
  ASSERT_EQ(shownMenus[1].size(), 3u);
  EXPECT_EQ(shownMenus[1][0].text, "01: a");
  EXPECT_NE(shownMenus[1][1].state & MFS_CHECKED, 0u);
  EXPECT_NE(shownMenus[1][2].state & MFS_GRAYED, 0u);

  // Item 0 is a choice of its own, told apart from none.
  QueueKeys(Window(), {VK_DOWN, VK_RETURN});
  EXPECT_EQ(editor->CreateIPopupMenu(&menu, where), &menu);
  EXPECT_EQ(menu.GetChosenItemIdx(), 0);
  ValidateRect(Window(), nullptr);
  QueueKeys(Window(), {VK_ESCAPE});
  EXPECT_EQ(editor->CreateIPopupMenu(&menu, where), nullptr);
  EXPECT_TRUE(GetUpdateRect(Window(), &invalid, FALSE));
}

TEST_F(EditorWindowTest, MessageBoxesBelongToTheHostsTopLevelWindowEvenAfterClosing) {
  HWND panel = hostWindow.AddPanel();
  ASSERT_TRUE(editor->OpenWindow(panel));
  DialogAnswer answer;
  answer.button = IDNO;
  AnswerNextDialog(&answer);
  EXPECT_EQ(editor->ShowMessageBox("Keep going?", "REDI", kMB_YESNO), kIDNO);
  EXPECT_TRUE(answer.seen);
  EXPECT_EQ(answer.owner, hostWindow.Handle());
  EXPECT_EQ(answer.text, "Keep going?");

  editor->CloseWindow();
  DialogAnswer later;
  later.button = IDOK;
  AnswerNextDialog(&later);
  EXPECT_EQ(editor->ShowMessageBox("Done", "REDI", kMB_OK | kMB_ICONINFORMATION), kIDOK);
  EXPECT_EQ(later.owner, hostWindow.Handle());
}

TEST_F(EditorWindowTest, OpeningAnAddressStopsWhenTheConfirmationIsDeclined) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  DialogAnswer answer;
  answer.button = IDNO;
  AnswerNextDialog(&answer);
  EXPECT_FALSE(editor->OpenURL("http://127.0.0.1:9/", "REDI", "Open the web page?", "No way"));
  EXPECT_EQ(answer.text, "Open the web page?");
}

TEST_F(EditorWindowTest, FileDialogFiltersByTheExtensionsAndCancelKeepsTheFolder) {
  std::string file = "bank.fxb", folder = "C:\\";
  editor->PromptForFile(&file, kFileOpen, &folder, "fxp fxb");
  EXPECT_EQ(file, "");  // no window, no dialog

  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  file = "bank.fxb";
  DialogAnswer answer;
  answer.button = IDCANCEL;
  AnswerNextDialog(&answer);
  editor->PromptForFile(&file, kFileSave, &folder, "fxp fxb");
  EXPECT_TRUE(answer.seen);
  // A child window cannot own one: the system hands the dialog to the top-level window.
  EXPECT_EQ(answer.owner, hostWindow.Handle());
  EXPECT_EQ(answer.fileFilter, "*.fxp;*.fxb");
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, "C:\\");
}

// ---- Services ----

TEST_F(EditorWindowTest, ClipboardTextArrivesAsUtf8) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  const wchar_t text[] = L"Gr\u00FC\u00DFe \u2713";
  ASSERT_TRUE(OpenClipboard(hostWindow.Handle()));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  std::memcpy(GlobalLock(block), text, sizeof text);
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  EXPECT_EQ(editor->GetClipboardText(),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x9C\x93");
}

TEST_F(EditorWindowTest, FoldersEndInASeparatorAndThePluginFolderHoldsTheCode) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string exeFolder = path;
  exeFolder.resize(exeFolder.find_last_of('\\') + 1);
  // In this program the code is the program itself.
  EXPECT_EQ(editor->PluginPath(), exeFolder);
  EXPECT_EQ(editor->HostPath(), exeFolder);
  EXPECT_FALSE(editor->DesktopPath().empty());
  EXPECT_FALSE(editor->AppDataPath(false).empty());
  EXPECT_NE(editor->AppDataPath(true), editor->AppDataPath(false));
}

TEST_F(EditorWindowTest, ShowingTheCursorAgainPutsItWhereItWasHidden) {
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  ASSERT_TRUE(SetCursorPos(120, 130));
  editor->HideMouseCursor();
  SetCursorPos(400, 300);  // as a drag with a hidden cursor moves it
  editor->ShowMouseCursor();
  POINT at;
  GetCursorPos(&at);
  EXPECT_EQ(at.x, 120);
  EXPECT_EQ(at.y, 130);
}

TEST_F(EditorWindowTest, ResizeGrowsTheWindowAndItsPlainParentsByTheDifference) {
  HWND panel = hostWindow.AddPanel();
  ASSERT_TRUE(editor->OpenWindow(panel));
  RECT hostBefore, panelBefore;
  GetWindowRect(hostWindow.Handle(), &hostBefore);
  GetWindowRect(panel, &panelBefore);
  editor->Resize(kWidth + 20, kHeight - 10);
  RECT client, panelAfter, hostAfter;
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, kWidth + 20);
  EXPECT_EQ(client.bottom, kHeight - 10);
  GetWindowRect(panel, &panelAfter);
  EXPECT_EQ(panelAfter.right - panelAfter.left, panelBefore.right - panelBefore.left + 20);
  EXPECT_EQ(panelAfter.bottom - panelAfter.top, panelBefore.bottom - panelBefore.top - 10);
  GetWindowRect(hostWindow.Handle(), &hostAfter);  // a top-level window is the host's own
  EXPECT_EQ(hostAfter.right - hostAfter.left, hostBefore.right - hostBefore.left);
  EXPECT_EQ(editor->GetDrawBitmap()->getWidth(), kWidth + 20);
}

TEST_F(EditorWindowTest, TooltipShowsTheTextOfTheControlUnderTheMouse) {
  editor->GetControl(layout.knob)->SetTooltip("Final volume");
  editor->EnableTooltips(true);
  editor->HandleMouseOver(true);
  const int before = CountThreadWindows();
  ASSERT_TRUE(editor->OpenWindow(hostWindow.Handle()));
  HWND tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr);
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(GetWindow(tip, GW_OWNER), hostWindow.Handle());  // the editor's top-level window
  Send(WM_MOUSEMOVE, 0, CenterX(layout.knobRect), CenterY(layout.knobRect));
  Send(WM_MOUSEHOVER, 0, CenterX(layout.knobRect), CenterY(layout.knobRect));
  char text[64] = {};
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = Window();
  tool.uId = reinterpret_cast<UINT_PTR>(Window());
  tool.lpszText = text;
  SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "Final volume");
  editor->CloseWindow();
  EXPECT_EQ(CountThreadWindows(), before);
}

}  // namespace
