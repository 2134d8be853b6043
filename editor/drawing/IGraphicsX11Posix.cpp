#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "editor/drawing/IGraphicsX11.h"
#include "editor/drawing/LICE.h"
#include "editor/drawing/X11Support.h"

namespace {

constexpr unsigned long kDoubleClickMs = 400;
constexpr int kDoubleClickSlop = 4;
constexpr int kWheelNotch = 120;
constexpr int kTooltipDelayMs = 700;

IMouseMod ModFromState(unsigned state, unsigned button) {
  IMouseMod mod;
  mod.L = button == Button1 || (button == 0 && (state & Button1Mask) != 0);
  mod.R = button == Button3 || (button == 0 && (state & Button3Mask) != 0);
  mod.S = (state & ShiftMask) != 0;
  mod.C = (state & ControlMask) != 0;
  mod.A = (state & Mod1Mask) != 0;
  return mod;
}

int KeyCodeFromKeysym(KeySym keysym) {
  switch (keysym) {
    case XK_space:
      return KEY_SPACE;
    case XK_Up:
    case XK_KP_Up:
      return KEY_UPARROW;
    case XK_Down:
    case XK_KP_Down:
      return KEY_DOWNARROW;
    case XK_Left:
    case XK_KP_Left:
      return KEY_LEFTARROW;
    case XK_Right:
    case XK_KP_Right:
      return KEY_RIGHTARROW;
    default:
      break;
  }
  if (keysym >= XK_0 && keysym <= XK_9) return KEY_DIGIT_0 + static_cast<int>(keysym - XK_0);
  if (keysym >= XK_a && keysym <= XK_z) return KEY_ALPHA_A + static_cast<int>(keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return KEY_ALPHA_A + static_cast<int>(keysym - XK_A);
  return KEY_NONE;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

// The text entry: a child window over the control, drawn by us.
struct IGraphicsX11::TextEntry {
  Window window = 0;
  GC gc = nullptr;
  IText style;
  IRECT rect;
  std::string text;
  size_t caret = 0;
  size_t anchor = 0;  // the other end of the selection
  LICE_MemBitmap bitmap;

  size_t SelStart() const { return std::min(caret, anchor); }
  size_t SelEnd() const { return std::max(caret, anchor); }
  void EraseSelection() {
    text.erase(SelStart(), SelEnd() - SelStart());
    caret = anchor = SelStart();
  }
};

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int width, int height)
    : IGraphics(plug, width, height) {}

IGraphicsX11::~IGraphicsX11() {
  // No plug-in hooks here: the plug-in is half destroyed by now.
  if (window != 0) {
    if (entry) DestroyTextEntry();
    CloseWindow();
  }
}

void* IGraphicsX11::GetWindow() { return reinterpret_cast<void*>(window); }

bool IGraphicsX11::OpenWindow(void* parent) {
  if (window != 0) return true;
  parentWindow = reinterpret_cast<Window>(parent);
  if (parentWindow == 0) return false;
  display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  xErrors = 0;
  {
    XErrorTrap trap(display);
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes = {};
    // Our own visual and colour map: the host's window may use another depth.
    attributes.colormap = DefaultColormap(display, screen);
    attributes.border_pixel = 0;
    attributes.background_pixmap = kXNone;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | EnterWindowMask | LeaveWindowMask | StructureNotifyMask |
                            FocusChangeMask;
    window =
        XCreateWindow(display, parentWindow, 0, 0, PixelWidth(), PixelHeight(), 0,
                      DefaultDepth(display, screen), InputOutput, DefaultVisual(display, screen),
                      CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    XMapWindow(display, window);
    if (trap.Failed() || window == 0) {
      if (window != 0) XDestroyWindow(display, window);
      trap.Failed();
      window = 0;
    }
  }
  if (window == 0) {
    ForgetXErrors(display);
    XCloseDisplay(display);
    display = nullptr;
    return false;
  }
  gc = XCreateGC(display, window, 0, nullptr);
  shared = XSharedImage::Create(display, PixelWidth(), PixelHeight());
  XFlush(display);
  lastTick = std::chrono::steady_clock::now();
  SetAllControlsDirty();
  return true;
}

void IGraphicsX11::CloseWindow() {
  if (window == 0) return;
  if (IsTextEntryOpen()) {
    RequestTextEntryCancel();
    HandleTextEntryTick();
  }
  {
    XErrorTrap trap(display);
    HideTooltip();
    if (entry) DestroyTextEntry();
    shared.reset();
    XFreeGC(display, gc);
    gc = nullptr;
    // Fails harmlessly when the host destroyed its window, and ours with it.
    XDestroyWindow(display, window);
  }
  DropWindow();
}

void IGraphicsX11::DropWindow() {
  if (display != nullptr) {
    {
      // Graphics contexts outlive their windows and are freed on their own.
      XErrorTrap trap(display);
      if (entry && entry->gc != nullptr) XFreeGC(display, entry->gc);
      tooltip.reset();
      shared.reset();
      if (gc != nullptr) XFreeGC(display, gc);
    }
    xErrors += XErrorCount(display);
    ForgetXErrors(display);
    XCloseDisplay(display);
  }
  entry.reset();
  display = nullptr;
  window = 0;
  gc = nullptr;
  ReleaseMouseCapture();
}

void IGraphicsX11::PaintRect(const IRECT& area) {
  if (window == 0) return;
  const IRECT r = ToPixels(area).Intersect(IRECT(0, 0, PixelWidth(), PixelHeight()));
  XErrorTrap trap(display);
  if (shared) {
    shared->Put(window, gc, GetDrawBitmap(), r.left, r.top, r.W(), r.H());
  } else {
    PutBitmapPixels(display, window, gc, GetDrawBitmap(), r.left, r.top, r.W(), r.H(), r.left,
                    r.top);
  }
  XFlush(display);
}

void IGraphicsX11::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  IGraphics::Resize(w, h);
  FitWindow();
}

void IGraphicsX11::SizeChanged() { FitWindow(); }

void IGraphicsX11::FitWindow() {
  if (window == 0) return;
  XErrorTrap trap(display);
  shared = XSharedImage::Create(display, PixelWidth(), PixelHeight());
  XResizeWindow(display, window, PixelWidth(), PixelHeight());
  XFlush(display);
}

int IGraphicsX11::ScreenScalePercent() {
  Display* d = display != nullptr ? display : XOpenDisplay(nullptr);
  if (d == nullptr) return 100;
  const int percent = XftDpiPercent(XResourceManagerString(d));
  if (d != display) XCloseDisplay(d);
  return percent;
}

int IGraphicsX11::EventDescriptor() const {
  return display != nullptr ? ConnectionNumber(display) : -1;
}

void IGraphicsX11::OnHostIdle() {
  if (window == 0) return;
  {
    XErrorTrap trap(display);
    while (window != 0 && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      HandleEvent(&event);
    }
  }
  if (window != 0 && XErrorCount(display) > 0) {
    // Most likely the host destroyed its window with ours inside.
    DropWindow();
    return;
  }
  if (window == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastTick >= std::chrono::milliseconds(1000 / FPS())) {
    lastTick = now;
    OnTimerTick();
    if (entry) DrawTextEntry();
  }
  if (TooltipsEnabled() && !tooltip && tooltipControl >= 0 &&
      now - hoverSince >= std::chrono::milliseconds(kTooltipDelayMs)) {
    ShowTooltip();
  }
}

void IGraphicsX11::HandleEvent(XEvent* event) {
  if (entry && event->xany.window == entry->window) {
    if (event->type == Expose && event->xexpose.count == 0) DrawTextEntry();
    if (event->type == ButtonPress || event->type == ButtonRelease) {
      return;  // clicks inside the entry keep it open
    }
  }
  switch (event->type) {
    case Expose:
      // The surface always holds the whole picture; what is still dirty is
      // drawn first, then the exposed parts are copied, once per series.
      if (event->xexpose.window == window) {
        const XExposeEvent& e = event->xexpose;
        exposed = exposed.Union(IRECT(e.x, e.y, e.x + e.width, e.y + e.height));
        if (e.count == 0) {
          const IRECT r = ToLogical(exposed);
          exposed = IRECT();
          IGraphics::RedrawRect(r);
        }
      }
      break;
    case ButtonPress:
      HandleButton(event, true);
      break;
    case ButtonRelease:
      HandleButton(event, false);
      break;
    case MotionNotify:
      HandleMotion(event);
      break;
    case KeyPress:
      HandleKey(event);
      break;
    case LeaveNotify:
      if ((event->xcrossing.state & (Button1Mask | Button3Mask)) == 0 &&
          event->xcrossing.window == window) {
        HideTooltip();
        tooltipControl = -1;
        OnMouseOut();
      }
      break;
    case DestroyNotify:
      if (event->xdestroywindow.window == window) DropWindow();
      break;
    default:
      break;
  }
}

void IGraphicsX11::HandleButton(XEvent* event, bool press) {
  const XButtonEvent& b = event->xbutton;
  int x = b.x;
  int y = b.y;
  if (b.window != window) {
    Window child;
    XTranslateCoordinates(display, b.window, window, b.x, b.y, &x, &y, &child);
  }
  // The editor works in logical pixels.
  x = ToLogical(x);
  y = ToLogical(y);
  mouseX = x;
  mouseY = y;
  HideTooltip();
  if (b.button == Button4 || b.button == Button5) {
    if (!press) return;
    if (IsTextEntryOpen()) {
      RequestTextEntryCancel();
      return;
    }
    OnMouseWheel(x, y, ModFromState(b.state, 0), b.button == Button4 ? kWheelNotch : -kWheelNotch);
    return;
  }
  if (b.button != Button1 && b.button != Button2 && b.button != Button3) return;
  const IMouseMod mod = ModFromState(b.state, b.button);
  if (!press) {
    if (b.button != Button2) OnMouseUp(x, y, mod);
    return;
  }
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  const bool doubleClick = b.button == Button1 && b.time - lastClickTime < kDoubleClickMs &&
                           std::abs(x - lastClickX) <= kDoubleClickSlop &&
                           std::abs(y - lastClickY) <= kDoubleClickSlop;
  if (b.button == Button1) {
    lastClickTime = doubleClick ? 0 : b.time;
    lastClickX = x;
    lastClickY = y;
  }
  if (doubleClick && !IsTextEntryOpen()) {
    OnMouseDblClick(x, y, mod);
  } else {
    OnMouseDown(x, y, mod);
  }
}

void IGraphicsX11::HandleMotion(XEvent* event) {
  // Only the latest position matters.
  while (XCheckTypedWindowEvent(display, event->xmotion.window, MotionNotify, event)) {
  }
  const XMotionEvent& m = event->xmotion;
  if (m.window != window) return;
  mouseX = ToLogical(m.x);
  mouseY = ToLogical(m.y);
  const IMouseMod mod = ModFromState(m.state, 0);
  if (mod.L || mod.R) {
    OnMouseDrag(mouseX, mouseY, mod);
    return;
  }
  const int over = OnMouseOver(mouseX, mouseY, mod);
  if (over != tooltipControl) {
    HideTooltip();
    tooltipControl = over;
    hoverSince = std::chrono::steady_clock::now();
  }
}

void IGraphicsX11::HandleKey(XEvent* event) {
  char typed[16] = {};
  KeySym keysym = 0;
  const int length = XLookupString(&event->xkey, typed, sizeof typed - 1, &keysym, nullptr);
  if (entry) {
    if (HandleEntryKey(keysym, typed, length)) DrawTextEntry();
    return;
  }
  const int key = KeyCodeFromKeysym(keysym);
  if (key != KEY_NONE) OnKeyDown(mouseX, mouseY, key);
}

// ---- Text entry ----

void IGraphicsX11::CreateTextEntry(IControl* /*control*/, const IText& style, const IRECT& r,
                                   const char* initial, int /*paramIdx*/) {
  if (window == 0 || entry) return;
  entry = std::make_unique<TextEntry>();
  entry->style = style;
  const IRECT at = ToPixels(r);
  entry->rect = IRECT(at.left, at.top, at.right + 1, at.bottom + 1);
  entry->text = initial != nullptr ? initial : "";
  if (static_cast<int>(entry->text.size()) > TextEntryMaxLength()) {
    entry->text.resize(static_cast<size_t>(std::max(TextEntryMaxLength(), 0)));
  }
  // The prefilled text starts selected, so typing replaces it.
  entry->anchor = 0;
  entry->caret = entry->text.size();
  entry->bitmap.resize(std::max(entry->rect.W(), 1), std::max(entry->rect.H(), 1));
  XErrorTrap trap(display);
  XSetWindowAttributes attributes = {};
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask;
  attributes.background_pixmap = kXNone;
  const int screen = DefaultScreen(display);
  entry->window =
      XCreateWindow(display, window, entry->rect.left, entry->rect.top, entry->bitmap.getWidth(),
                    entry->bitmap.getHeight(), 0, DefaultDepth(display, screen), InputOutput,
                    DefaultVisual(display, screen), CWEventMask | CWBackPixmap, &attributes);
  entry->gc = XCreateGC(display, entry->window, 0, nullptr);
  XMapRaised(display, entry->window);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  DrawTextEntry();
}

bool IGraphicsX11::HandleEntryKey(unsigned long keysym, const char* typed, int length) {
  TextEntry& e = *entry;
  const bool selection = e.caret != e.anchor;
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      RequestTextEntryCommit();
      return false;
    case XK_Escape:
      RequestTextEntryCancel();
      return false;
    case XK_BackSpace:
      if (selection) {
        e.EraseSelection();
      } else if (e.caret > 0) {
        e.text.erase(--e.caret, 1);
        e.anchor = e.caret;
      }
      return true;
    case XK_Delete:
    case XK_KP_Delete:
      if (selection) {
        e.EraseSelection();
      } else if (e.caret < e.text.size()) {
        e.text.erase(e.caret, 1);
      }
      return true;
    case XK_Home:
    case XK_KP_Home:
      e.caret = e.anchor = 0;
      return true;
    case XK_End:
    case XK_KP_End:
      e.caret = e.anchor = e.text.size();
      return true;
    case XK_Left:
    case XK_KP_Left:
      e.caret = selection ? e.SelStart() : (e.caret > 0 ? e.caret - 1 : 0);
      e.anchor = e.caret;
      return true;
    case XK_Right:
    case XK_KP_Right:
      e.caret = selection ? e.SelEnd() : std::min(e.caret + 1, e.text.size());
      e.anchor = e.caret;
      return true;
    default:
      break;
  }
  bool changed = false;
  for (int i = 0; i < length; ++i) {
    const unsigned c = static_cast<unsigned char>(typed[i]);
    if (c < 0x20 || c >= 0x7f || !TextEntryCharAllowed(c)) continue;
    if (e.caret != e.anchor) e.EraseSelection();
    if (static_cast<int>(e.text.size()) >= TextEntryMaxLength()) continue;
    e.text.insert(e.caret, 1, static_cast<char>(c));
    e.anchor = ++e.caret;
    changed = true;
  }
  return changed;
}

void IGraphicsX11::DrawTextEntry() {
  if (!entry || window == 0) return;
  TextEntry& e = *entry;
  LICE_IBitmap* b = &e.bitmap;
  const int w = b->getWidth();
  const int h = b->getHeight();
  const LICE_pixel background = LicePixel(e.style.textEntryBGColor) | LICE_RGBA(0, 0, 0, 255);
  const LICE_pixel foreground = LicePixel(e.style.textEntryFGColor) | LICE_RGBA(0, 0, 0, 255);
  LICE_FillRect(b, 0, 0, w, h, background);
  LICE_TextStyle style = {};
  style.face = e.style.font;
  style.size = ToPixels(e.style.size);
  style.colour = foreground;
  style.bold = e.style.style == IText::kStyleBold;
  style.italic = e.style.style == IText::kStyleItalic;
  style.align = LICE_TextStyle::kNear;
  auto widthOf = [&](size_t n) {
    int tw = 0;
    int th = 0;
    if (n == 0) return 0;
    LICE_MeasureText(style, e.text.substr(0, n).c_str(), &tw, &th);
    return tw;
  };
  const int textW = widthOf(e.text.size());
  int lineH = 0;
  int ignored = 0;
  LICE_MeasureText(style, "Xg", &ignored, &lineH);
  int left = 2;
  if (e.style.align == IText::kAlignCenter) left = (w - textW) / 2;
  if (e.style.align == IText::kAlignFar) left = w - 2 - textW;
  // Keep the caret in view when the text is wider than the box.
  const int caretX = widthOf(e.caret);
  if (left + caretX > w - 2) left = w - 2 - caretX;
  if (left + caretX < 1) left = 1 - caretX;
  const int top = std::max((h - lineH) / 2, 0);
  if (e.caret != e.anchor) {
    const int s = left + widthOf(e.SelStart());
    const int t = left + widthOf(e.SelEnd());
    LICE_FillRect(b, s, top, t - s, lineH, LICE_RGBA(51, 102, 204, 255));
  }
  LICE_DrawText(b, style, e.text.c_str(), left, top, left + textW + 1, top + lineH);
  if (e.caret != e.anchor) {
    // Selected text in white over the highlight.
    LICE_TextStyle selected = style;
    selected.colour = LICE_RGBA(255, 255, 255, 255);
    const std::string part = e.text.substr(e.SelStart(), e.SelEnd() - e.SelStart());
    const int s = left + widthOf(e.SelStart());
    LICE_DrawText(b, selected, part.c_str(), s, top, s + widthOf(e.SelEnd()), top + lineH);
  }
  LICE_FillRect(b, left + caretX, top, 1, std::max(lineH, 1), foreground);
  XErrorTrap trap(display);
  PutBitmapPixels(display, e.window, e.gc, b, 0, 0, w, h, 0, 0);
  XFlush(display);
}

void IGraphicsX11::ReadTextEntry(char* text, int size) {
  if (text == nullptr || size <= 0) return;
  const std::string value = entry ? entry->text : std::string();
  const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
  value.copy(text, n);
  text[n] = '\0';
}

void IGraphicsX11::DestroyTextEntry() {
  if (!entry) return;
  if (display != nullptr) {
    XErrorTrap trap(display);
    if (entry->gc != nullptr) XFreeGC(display, entry->gc);
    XDestroyWindow(display, entry->window);
    XFlush(display);
  }
  entry.reset();
}

// ---- Menus ----

IPopupMenu* IGraphicsX11::CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) {
  if (menu == nullptr || window == 0) return nullptr;
  HideTooltip();
  int rootX = 0;
  int rootY = 0;
  IPopupMenu* chosen = nullptr;
  {
    XErrorTrap trap(display);
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), ToPixels(where.left),
                          ToPixels(where.bottom), &rootX, &rootY, &child);
    chosen = RunX11PopupMenu(display, menu, rootX, rootY, SizePercent(), [this](XEvent* event) {
      if (event->type == Expose && event->xexpose.window == window) HandleEvent(event);
    });
  }
  SetAllControlsDirty();
  return chosen;
}

// ---- Folders ----

std::string IGraphicsX11::HostPath() {
  char path[PATH_MAX + 1] = {};
  const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return std::string();
  return FolderOf(std::string(path, static_cast<size_t>(n)));
}

std::string IGraphicsX11::PluginPath() {
  Dl_info info = {};
  if (dladdr(reinterpret_cast<void*>(&MakePlatformGraphics), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::string();
  }
  char resolved[PATH_MAX + 1] = {};
  if (realpath(info.dli_fname, resolved) == nullptr) return FolderOf(info.dli_fname);
  return FolderOf(resolved);
}

std::string IGraphicsX11::DesktopPath() {
  const char* home = std::getenv("HOME");
  const std::string homeDir = home != nullptr ? home : "";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configDir =
      config != nullptr && config[0] == '/' ? std::string(config) : homeDir + "/.config";
  std::ifstream dirs(configDir + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(dirs, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.compare(0, 5, "$HOME") == 0) value = homeDir + value.substr(5);
    if (!value.empty() && value[0] == '/') return WithSlash(value);
  }
  if (homeDir.empty()) return std::string();
  return WithSlash(homeDir + "/Desktop");
}
