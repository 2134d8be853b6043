// Pop-up menus drawn with the drawing layer in override-redirect windows,
// run modally like the system menus of other platforms: the pointer and the
// keyboard are grabbed until the user chooses or dismisses.

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "editor/IPopupMenu.h"
#include "editor/drawing/X11Support.h"

namespace {

// Lengths at 100 %; every level scales them to the editor's size.
constexpr int kItemH = 20;
constexpr int kSeparatorH = 7;
constexpr int kLeftPad = 22;   // room for the check mark
constexpr int kRightPad = 22;  // room for the submenu arrow
constexpr int kMinWidth = 80;

const LICE_pixel kBackground = LICE_RGBA(242, 242, 242, 255);
const LICE_pixel kBorder = LICE_RGBA(128, 128, 128, 255);
const LICE_pixel kHighlight = LICE_RGBA(51, 102, 204, 255);
const LICE_pixel kText = LICE_RGBA(0, 0, 0, 255);
const LICE_pixel kGreyText = LICE_RGBA(140, 140, 140, 255);
const LICE_pixel kHighlightText = LICE_RGBA(255, 255, 255, 255);

bool Selectable(const IPopupMenu::Item* item) {
  return item != nullptr && item->IsEnabled() && !item->IsSeparator() && !item->IsTitle();
}

// One open menu level: its window and item positions.
struct Level {
  IPopupMenu* menu;
  int percent = 100;      // the editor's size
  std::vector<int> tops;  // item top edges, plus the bottom
  std::unique_ptr<XPopupWindow> window;
  int highlighted = -1;

  int ItemAt(int rootX, int rootY) const {
    if (!window->Contains(rootX, rootY)) return -1;
    const int y = rootY - window->Y();
    for (size_t i = 0; i + 1 < tops.size(); ++i) {
      if (y >= tops[i] && y < tops[i + 1]) return static_cast<int>(i);
    }
    return -1;
  }
};

void DrawCheck(LICE_IBitmap* b, int x, int y, LICE_pixel colour, int percent) {
  // A tick from two strokes, three pixels thick (at 100 %).
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  for (int i = 0; i < 4; ++i) LICE_FillRect(b, x + px(i), y + px(4 + i), px(2), px(2), colour);
  for (int i = 0; i < 7; ++i) LICE_FillRect(b, x + px(4 + i), y + px(7 - i), px(2), px(2), colour);
}

void DrawArrow(LICE_IBitmap* b, int x, int y, LICE_pixel colour, int percent) {
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  for (int i = 0; i < px(4); ++i) LICE_FillRect(b, x + i, y + i, 1, px(9) - 2 * i, colour);
}

void DrawLevel(Level* level) {
  const int percent = level->percent;
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  LICE_IBitmap* b = level->window->Bitmap();
  const int w = b->getWidth();
  LICE_FillRect(b, 0, 0, w, b->getHeight(), kBackground);
  DrawFrame(b, 0, 0, w, b->getHeight(), kBorder);
  for (int i = 0; i < level->menu->GetNItems(); ++i) {
    const IPopupMenu::Item* item = level->menu->GetItem(i);
    const int top = level->tops[i];
    if (item->IsSeparator()) {
      LICE_FillRect(b, px(4), top + px(kSeparatorH) / 2, w - px(8), 1, kBorder);
      continue;
    }
    const bool lit = i == level->highlighted && Selectable(item);
    if (lit) LICE_FillRect(b, 2, top, w - 4, px(kItemH), kHighlight);
    const LICE_pixel colour =
        lit ? kHighlightText : (item->IsEnabled() && !item->IsTitle() ? kText : kGreyText);
    if (item->IsChecked()) DrawCheck(b, px(6), top + px(4), colour, percent);
    const std::string text = level->menu->GetItemDisplayText(i);
    LICE_DrawText(b, BoxTextStyle(colour, false, percent), text.c_str(), px(kLeftPad), top + px(3),
                  w - px(kRightPad), top + px(kItemH));
    if (item->GetSubmenu() != nullptr) DrawArrow(b, w - px(14), top + px(6), colour, percent);
  }
  level->window->Show();
}

// Builds and shows a level beside (x, y), kept on the screen.
std::unique_ptr<Level> OpenLevel(Display* display, IPopupMenu* menu, int x, int y, int besideX,
                                 int percent) {
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  auto level = std::make_unique<Level>();
  level->menu = menu;
  level->percent = percent;
  int top = 2;
  int width = px(kMinWidth);
  for (int i = 0; i < menu->GetNItems(); ++i) {
    level->tops.push_back(top);
    const IPopupMenu::Item* item = menu->GetItem(i);
    top += px(item->IsSeparator() ? kSeparatorH : kItemH);
    int tw = 0;
    int th = 0;
    const std::string text = menu->GetItemDisplayText(i);
    if (LICE_MeasureText(BoxTextStyle(kText, false, percent), text.c_str(), &tw, &th)) {
      width = std::max(width, tw + px(kLeftPad) + px(kRightPad));
    }
  }
  level->tops.push_back(top);
  const int height = top + 2;
  int screenW = 0;
  int screenH = 0;
  ScreenSize(display, &screenW, &screenH);
  if (x + width > screenW) x = besideX >= 0 ? besideX - width : screenW - width;
  if (y + height > screenH) y = screenH - height;
  level->window =
      std::make_unique<XPopupWindow>(display, std::max(x, 0), std::max(y, 0), width, height);
  DrawLevel(level.get());
  return level;
}

class MenuRun {
 public:
  MenuRun(Display* d, int size, const std::function<void(XEvent*)>& other)
      : display(d), percent(size), otherEvent(other) {}

  IPopupMenu* Run(IPopupMenu* menu, int x, int y) {
    if (menu->GetNItems() == 0) return nullptr;
    levels.push_back(OpenLevel(display, menu, x, y, -1, percent));
    Grab();
    while (!done) {
      XEvent event;
      XNextEvent(display, &event);
      Handle(&event);
    }
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
    levels.clear();
    XFlush(display);
    return chosen;
  }

 private:
  void Grab() {
    const Window grabWindow = levels.front()->window->Id();
    XSync(display, False);
    // Another client's grab (a button still held) ends shortly; retry briefly.
    for (int attempt = 0; attempt < 50; ++attempt) {
      const int pointer = XGrabPointer(display, grabWindow, False,
                                       ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                       GrabModeAsync, GrabModeAsync, kXNone, kXNone, CurrentTime);
      if (pointer == GrabSuccess) break;
      usleep(10000);
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (XGrabKeyboard(display, grabWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
          GrabSuccess) {
        break;
      }
      usleep(10000);
    }
  }

  int LevelAt(int rootX, int rootY) const {
    for (int i = static_cast<int>(levels.size()) - 1; i >= 0; --i) {
      if (levels[i]->window->Contains(rootX, rootY)) return i;
    }
    return -1;
  }

  void CloseAbove(int index) {
    while (static_cast<int>(levels.size()) > index + 1) levels.pop_back();
  }

  void Highlight(int index, int item) {
    Level& level = *levels[index];
    if (level.highlighted == item) return;
    level.highlighted = item;
    DrawLevel(&level);
  }

  void OpenSubmenu(int index, bool selectFirst) {
    Level& level = *levels[index];
    const IPopupMenu::Item* item = level.menu->GetItem(level.highlighted);
    if (!Selectable(item) || item->GetSubmenu() == nullptr) return;
    if (item->GetSubmenu()->GetNItems() == 0) return;
    CloseAbove(index);
    const int x = level.window->X() + level.window->W() - 3;
    const int y = level.window->Y() + level.tops[level.highlighted] - 2;
    levels.push_back(OpenLevel(display, item->GetSubmenu(), x, y, level.window->X() + 3, percent));
    if (selectFirst) Step(static_cast<int>(levels.size()) - 1, 1);
  }

  // Moves the highlight to the next selectable item in the direction.
  void Step(int index, int direction) {
    Level& level = *levels[index];
    const int n = level.menu->GetNItems();
    int item = level.highlighted;
    for (int tries = 0; tries < n; ++tries) {
      item = item < 0 ? (direction > 0 ? 0 : n - 1) : (item + direction + n) % n;
      if (Selectable(level.menu->GetItem(item))) {
        Highlight(index, item);
        return;
      }
    }
  }

  // True when an item was chosen (or a submenu opened).
  bool Activate(int index) {
    Level& level = *levels[index];
    const IPopupMenu::Item* item = level.menu->GetItem(level.highlighted);
    if (!Selectable(item)) return false;
    if (item->GetSubmenu() != nullptr) {
      OpenSubmenu(index, true);
      return true;
    }
    level.menu->SetChosenItemIdx(level.highlighted);
    chosen = level.menu;
    done = true;
    return true;
  }

  void Handle(XEvent* event) {
    switch (event->type) {
      case MotionNotify: {
        const int index = LevelAt(event->xmotion.x_root, event->xmotion.y_root);
        if (index < 0) return;
        const int item = levels[index]->ItemAt(event->xmotion.x_root, event->xmotion.y_root);
        armed = true;
        const bool opener =
            index + 1 < static_cast<int>(levels.size()) && item == levels[index]->highlighted;
        if (!opener) CloseAbove(index);
        Highlight(index, item);
        if (!opener) OpenSubmenu(index, false);
        return;
      }
      case ButtonPress: {
        const int index = LevelAt(event->xbutton.x_root, event->xbutton.y_root);
        if (index < 0) {
          done = true;  // a click elsewhere dismisses
          return;
        }
        armed = true;
        return;
      }
      case ButtonRelease: {
        if (!armed || event->xbutton.button > Button3) return;
        const int index = LevelAt(event->xbutton.x_root, event->xbutton.y_root);
        if (index < 0) return;
        const int item = levels[index]->ItemAt(event->xbutton.x_root, event->xbutton.y_root);
        if (item < 0) return;
        Highlight(index, item);
        Activate(index);
        return;
      }
      case KeyPress:
        HandleKey(event);
        return;
      case Expose:
        for (auto& level : levels) {
          if (level->window->Id() == event->xexpose.window) {
            if (event->xexpose.count == 0) level->window->Show();
            return;
          }
        }
        otherEvent(event);
        return;
      default:
        otherEvent(event);
        return;
    }
  }

  void HandleKey(XEvent* event) {
    KeySym keysym = 0;
    char typed[8];
    XLookupString(&event->xkey, typed, sizeof typed, &keysym, nullptr);
    const int deepest = static_cast<int>(levels.size()) - 1;
    switch (keysym) {
      case XK_Up:
      case XK_KP_Up:
        Step(deepest, -1);
        break;
      case XK_Down:
      case XK_KP_Down:
        Step(deepest, 1);
        break;
      case XK_Right:
      case XK_KP_Right:
        OpenSubmenu(deepest, true);
        break;
      case XK_Left:
      case XK_KP_Left:
        if (deepest > 0) levels.pop_back();
        break;
      case XK_Return:
      case XK_KP_Enter:
      case XK_space:
        Activate(deepest);
        break;
      case XK_Escape:
        if (deepest > 0) {
          levels.pop_back();
        } else {
          done = true;
        }
        break;
      default:
        break;
    }
  }

  Display* display;
  int percent;
  const std::function<void(XEvent*)>& otherEvent;
  std::vector<std::unique_ptr<Level>> levels;
  IPopupMenu* chosen = nullptr;
  bool done = false;
  // A release chooses only once the user pointed into the menu or pressed
  // in it: the release of the click that opened the menu does not.
  bool armed = false;
};

}  // namespace

IPopupMenu* RunX11PopupMenu(Display* display, IPopupMenu* menu, int rootX, int rootY, int percent,
                            const std::function<void(XEvent*)>& otherEvent) {
  if (display == nullptr || menu == nullptr) return nullptr;
  MenuRun run(display, percent, otherEvent);
  return run.Run(menu, rootX, rootY);
}
