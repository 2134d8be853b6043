#include <windows.h>
// windows.h first: the other system headers need its types.
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "editor/drawing/IGraphicsWin.h"
#include "editor/drawing/LICE.h"

namespace {

constexpr UINT_PTR kTimerId = 2;
constexpr int kMaxPath = 255;       // longest path a file dialog hands over
constexpr int kMaxDefaultExt = 15;  // longest default extension

// Every editor window of this library shares one class; it exists while at
// least one editor is open.
std::mutex classLock;
int openEditors = 0;

bool AcquireWindowClass(WNDPROC procedure) {
  std::lock_guard<std::mutex> guard(classLock);
  if (openEditors == 0) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = IGraphicsWin::Module();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = IGraphicsWin::WindowClassName();
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++openEditors;
  return true;
}

void ReleaseWindowClass() {
  std::lock_guard<std::mutex> guard(classLock);
  if (openEditors > 0 && --openEditors == 0) {
    UnregisterClassA(IGraphicsWin::WindowClassName(), IGraphicsWin::Module());
  }
}

std::wstring Widen(const char* utf8) {
  if (utf8 == nullptr || *utf8 == '\0') return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

std::string Narrow(const wchar_t* wide, int length = -1) {
  if (wide == nullptr || length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, &utf8[0], n, nullptr, nullptr);
  if (length < 0) utf8.resize(static_cast<size_t>(n - 1));  // drop the terminator
  return utf8;
}

// The folder part of a path, up to and including its last separator.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return FolderOf(path);
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

COLORREF ToColorRef(const IColor& c) { return RGB(c.R, c.G, c.B); }

IMouseMod Modifiers(WPARAM wParam) {
  return IMouseMod((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0, (wParam & MK_SHIFT) != 0,
                   (wParam & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
}

// The framework's key numbering: Space 0, arrows 1-4, digits 5-14, letters
// 15-40; -1 for every other key.
int KeyCode(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_SPACE:
      return 0;
    case VK_UP:
      return 1;
    case VK_DOWN:
      return 2;
    case VK_LEFT:
      return 3;
    case VK_RIGHT:
      return 4;
    default:
      break;
  }
  if (virtualKey >= '0' && virtualKey <= '9') return 5 + static_cast<int>(virtualKey - '0');
  if (virtualKey >= 'A' && virtualKey <= 'Z') return 15 + static_cast<int>(virtualKey - 'A');
  return -1;
}

// Dialog filter: "*.a;*.b" from the space-separated list "a b"; a list with
// no extension in it gives "*.".
std::string FilterPattern(const char* extensions) {
  std::string pattern;
  const char* p = extensions != nullptr ? extensions : "";
  while (*p != '\0') {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end > p) {
      if (!pattern.empty()) pattern += ';';
      pattern += "*.";
      pattern.append(p, end);
    }
    p = end;
  }
  if (pattern.empty()) pattern = "*.";
  if (pattern.size() > kMaxPath) pattern.resize(kMaxPath);
  return pattern;
}

std::string DefaultExtension(const char* extensions) {
  const char* p = extensions != nullptr ? extensions : "";
  while (*p == ' ') ++p;
  const char* end = p;
  while (*end != '\0' && *end != ' ' && end - p < kMaxDefaultExt) ++end;
  return std::string(p, end);
}

// Copies text into a fixed path buffer of kMaxPath characters and a terminator.
void CopyPath(char (&buffer)[kMaxPath + 1], const std::string& text) {
  const size_t n = std::min<size_t>(text.size(), kMaxPath);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

// ---- Pop-up menus ----

// The menu's items take the numbers first..first+N-1 (separators included);
// each submenu takes the next free block when the builder reaches it.
HMENU BuildMenu(IPopupMenu* menu, int first, int* nextFree) {
  HMENU handle = CreatePopupMenu();
  if (handle == nullptr) return nullptr;
  const int n = menu->GetNItems();
  *nextFree = first + n;
  for (int i = 0; i < n; ++i) {
    IPopupMenu::Item* item = menu->GetItem(i);
    if (item->IsSeparator()) {
      AppendMenuA(handle, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring text = Widen(menu->GetItemDisplayText(i).c_str());
    UINT flags = MF_STRING;
    if (!item->IsEnabled() || item->IsTitle()) flags |= MF_GRAYED;
    if (item->IsChecked()) flags |= MF_CHECKED;
    UINT_PTR id = static_cast<UINT_PTR>(first + i);
    if (IPopupMenu* sub = item->GetSubmenu()) {
      HMENU subHandle = BuildMenu(sub, *nextFree, nextFree);
      if (subHandle != nullptr) {
        flags |= MF_POPUP;
        id = reinterpret_cast<UINT_PTR>(subHandle);
      }
    }
    AppendMenuW(handle, flags, id, text.c_str());
  }
  return handle;
}

// Walks the numbering of BuildMenu again and marks the item with the command.
IPopupMenu* FindCommand(IPopupMenu* menu, int first, int* nextFree, int command) {
  const int n = menu->GetNItems();
  *nextFree = first + n;
  if (command >= first && command < first + n) {
    menu->SetChosenItemIdx(command - first);
    return menu;
  }
  for (int i = 0; i < n; ++i) {
    IPopupMenu::Item* item = menu->GetItem(i);
    if (item->IsSeparator()) continue;
    if (IPopupMenu* sub = item->GetSubmenu()) {
      if (IPopupMenu* found = FindCommand(sub, *nextFree, nextFree, command)) return found;
    }
  }
  return nullptr;
}

// The process's top-level window of a class, for a host window whose handle
// was lost with the editor window.
struct TopWindowSearch {
  const std::string* className;
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TopWindowSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (*search->className != name) return TRUE;
  search->found = hwnd;
  return FALSE;
}

bool IsPlainChild(HWND hwnd) {
  return hwnd != nullptr && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) != 0 &&
         (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0;
}

void GrowWindow(HWND hwnd, int dw, int dh) {
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return;
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

HINSTANCE IGraphicsWin::Module() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&IGraphicsWin::WindowProc), &module);
  return module;
}

IGraphicsWin::IGraphicsWin(IPlugBase* plug, int width, int height)
    : IGraphics(plug, width, height) {}

IGraphicsWin::~IGraphicsWin() { CloseWindow(); }

// ---- Window life ----

bool IGraphicsWin::OpenWindow(void* parent) {
  // A host that opens again without closing gets one window, not two.
  CloseWindow();
  if (!AcquireWindowClass(&IGraphicsWin::WindowProc)) return false;
  holdsClass = true;
  parentWindow = static_cast<HWND>(parent);
  // The creation message already stores the handle; a failure later in
  // creation leaves none.
  window = CreateWindowExA(0, WindowClassName(), "IPlug", WS_CHILD | WS_VISIBLE, 0, 0, PixelWidth(),
                           PixelHeight(), parentWindow, nullptr, Module(), this);
  lastPixelW = PixelWidth();
  lastPixelH = PixelHeight();
  if (window == nullptr) {
    CloseWindow();
    return false;
  }
  RememberTopWindow(parentWindow);
  SetAllControlsDirty();
  if (TooltipsEnabled() && !CreateTooltip()) EnableTooltips(false);
  return true;
}

void IGraphicsWin::CloseWindow() {
  if (window != nullptr) {
    HWND closing = window;
    // The window procedure must not reach this object while the window dies.
    SetWindowLongPtrA(closing, GWLP_USERDATA, 0);
    DropWindow();
    DestroyWindow(closing);
  }
  // Only once no window of the class is left can the class go.
  if (holdsClass) {
    holdsClass = false;
    ReleaseWindowClass();
  }
}

void IGraphicsWin::DropWindow() {
  HWND dropped = window;
  window = nullptr;  // from here on nothing takes the focus or paints
  if (IsTextEntryOpen()) CloseTextEntry();
  KillTimer(dropped, kTimerId);
  if (tooltip != nullptr) DestroyWindow(tooltip);
  tooltip = nullptr;
  tooltipShowing = false;
  trackedControl = -1;
  parentWindow = nullptr;
  topWindow = nullptr;  // found again by its class name when needed
  if (cursorHidden) ShowMouseCursor();
}

void IGraphicsWin::OnCreate() {
  SetTimer(window, kTimerId, static_cast<UINT>(1000 / FPS()), nullptr);
  SetFocus(window);
}

void IGraphicsWin::Resize(int width, int height) {
  if (width == Width() && height == Height()) return;
  const int oldW = PixelWidth(), oldH = PixelHeight();
  IGraphics::Resize(width, height);
  if (width <= 0 || height <= 0) return;
  FitWindow(oldW, oldH);
}

// The scale of the monitor the host's window is on, where the system knows
// it per window (Windows 10 and later: the foreground window is the host's
// while the user opens the editor); else the system's.
int IGraphicsWin::ScreenScalePercent() {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  HMODULE user = GetModuleHandleA("user32.dll");
  const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      user != nullptr ? reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")) : nullptr);
  HWND host = GetForegroundWindow();
  const UINT windowDpi = dpiForWindow != nullptr && host != nullptr ? dpiForWindow(host) : 0;
  if (windowDpi > 0) return static_cast<int>((windowDpi * 100 + 48) / 96);
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 100;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? (dpi * 100 + 48) / 96 : 100;
}

void IGraphicsWin::SizeChanged() { FitWindow(lastPixelW, lastPixelH); }

// Grows or shrinks our window, and the host's plain child windows around it,
// by the change of the editor's pixel size.
void IGraphicsWin::FitWindow(int oldW, int oldH) {
  lastPixelW = PixelWidth();
  lastPixelH = PixelHeight();
  const int dw = PixelWidth() - oldW, dh = PixelHeight() - oldH;
  if (window == nullptr || (dw == 0 && dh == 0)) return;
  GrowWindow(window, dw, dh);
  HWND parent = GetParent(window);
  HWND grandparent = parent != nullptr ? GetParent(parent) : nullptr;
  if (IsPlainChild(parent)) GrowWindow(parent, dw, dh);
  if (IsPlainChild(grandparent)) GrowWindow(grandparent, dw, dh);
  InvalidateRect(window, nullptr, FALSE);
}

// ---- Top-level host window ----

void IGraphicsWin::RememberTopWindow(HWND parent) {
  HWND root = parent != nullptr ? GetAncestor(parent, GA_ROOT) : nullptr;
  topWindow = root;
  topWindowClass.clear();
  char name[256] = {};
  if (root != nullptr && GetClassNameA(root, name, sizeof name) > 0) topWindowClass = name;
}

HWND IGraphicsWin::TopWindow() {
  if (topWindow != nullptr && IsWindow(topWindow)) return topWindow;
  topWindow = nullptr;
  if (topWindowClass.empty()) return nullptr;
  TopWindowSearch search = {&topWindowClass, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  topWindow = search.found;
  return topWindow;
}

void IGraphicsWin::ForwardToHost(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HWND top = TopWindow()) SendMessageA(top, msg, wParam, lParam);
}

// ---- Messages ----

LRESULT CALLBACK IGraphicsWin::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<IGraphicsWin*>(create->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window = hwnd;
    self->OnCreate();
    return 0;
  }
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->window != hwnd) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT IGraphicsWin::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // The editor works in logical pixels.
  const int x = ToLogical(GET_X_LPARAM(lParam)), y = ToLogical(GET_Y_LPARAM(lParam));
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the surface covers every pixel; erasing would only flicker
    case WM_TIMER:
      if (wParam == kTimerId) OnTimerTick();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      HideTooltip();
      if (IsTextEntryOpen()) {
        RequestTextEntryCommit();
        return 0;
      }
      SetFocus(window);
      SetCapture(window);
      OnMouseDown(x, y, Modifiers(wParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:  // a middle press captures too: its release must free the mouse
      ReleaseCapture();
      OnMouseUp(x, y, Modifiers(wParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      if (OnMouseDblClick(x, y, Modifiers(wParam))) SetCapture(window);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(x, y, wParam);
      return 0;
    case WM_MOUSEHOVER:
      ShowTooltip();
      return 0;
    case WM_MOUSELEAVE:
      HideTooltip();
      trackedControl = -1;
      OnMouseOut();
      return 0;
    case WM_MOUSEWHEEL:
      OnWheel(wParam, lParam);
      return 0;
    case WM_KEYDOWN:
      if (!OnKey(wParam)) ForwardToHost(msg, wParam, lParam);
      return 0;
    case WM_KEYUP:
      ForwardToHost(msg, wParam, lParam);
      return 0;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == entry && entryBrush != nullptr) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, ToColorRef(entryStyle.textEntryBGColor));
        SetTextColor(dc, ToColorRef(entryStyle.textEntryFGColor));
        return reinterpret_cast<LRESULT>(entryBrush);
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_CLOSE:
      CloseWindow();
      return 0;
    case WM_DESTROY: {
      // The host destroyed its window with ours inside before closing the
      // editor: forget the handle so that closing later touches nothing.
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      DropWindow();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

void IGraphicsWin::OnPaint() {
  RECT update;
  if (GetUpdateRect(window, &update, FALSE)) {
    const IRECT r = ToLogical(IRECT(update.left, update.top, update.right, update.bottom));
    Draw(r);
    PaintRect(r);
  } else {
    ValidateRect(window, nullptr);
  }
}

void IGraphicsWin::PaintRect(const IRECT& area) {
  if (window == nullptr) return;
  const IRECT r = ToPixels(area).Intersect(IRECT(0, 0, PixelWidth(), PixelHeight()));
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  LICE_IBitmap* surface = GetDrawBitmap();
  HDC surfaceDC = surface != nullptr ? static_cast<HDC>(surface->getDC()) : nullptr;
  if (dc != nullptr && surfaceDC != nullptr) {
    BitBlt(dc, r.left, r.top, r.W(), r.H(), surfaceDC, r.left, r.top, SRCCOPY);
  }
  EndPaint(window, &ps);
}

void IGraphicsWin::RedrawRect(const IRECT& area) {
  if (window == nullptr) return;
  const IRECT r = ToPixels(area);
  RECT dirty = {r.left, r.top, r.right, r.bottom};
  InvalidateRect(window, &dirty, FALSE);
  if (entry != nullptr) {
    // The open entry box is a window of its own; painting under it would
    // show through until it repaints.
    const IRECT e = ToPixels(TextEntryRect());
    RECT covered = {e.left, e.top, e.right + 1, e.bottom + 1};
    ValidateRect(window, &covered);
  }
  UpdateWindow(window);
}

void IGraphicsWin::OnMouseMove(int x, int y, WPARAM wParam) {
  if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0) {
    if (GetCapture() == window && entry == nullptr) OnMouseDrag(x, y, Modifiers(wParam));
    return;
  }
  const int over = OnMouseOver(x, y, Modifiers(wParam));
  if (over != trackedControl || trackedControl == -1) {
    if (over != trackedControl) HideTooltip();
    trackedControl = over;
    TrackMouse(tooltip != nullptr && over >= 0);
  }
}

void IGraphicsWin::TrackMouse(bool hover) {
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE | (hover ? TME_HOVER : 0);
  track.hwndTrack = window;
  track.dwHoverTime = HOVER_DEFAULT;
  TrackMouseEvent(&track);
}

void IGraphicsWin::OnWheel(WPARAM wParam, LPARAM lParam) {
  POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
  ScreenToClient(window, &p);
  OnMouseWheel(ToLogical(p.x), ToLogical(p.y), Modifiers(GET_KEYSTATE_WPARAM(wParam)),
               GET_WHEEL_DELTA_WPARAM(wParam));
}

bool IGraphicsWin::OnKey(WPARAM virtualKey) {
  const int key = KeyCode(virtualKey);
  if (key < 0) return false;
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(window, &p);
  return OnKeyDown(ToLogical(p.x), ToLogical(p.y), key);
}

// ---- Tooltips ----

bool IGraphicsWin::CreateTooltip() {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_BAR_CLASSES};
  InitCommonControlsEx(&init);
  tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, Module(), nullptr);
  if (tooltip == nullptr) return false;
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  tool.lpszText = const_cast<char*>("");
  if (!SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) {
    DestroyWindow(tooltip);
    tooltip = nullptr;
    return false;
  }
  return true;
}

void IGraphicsWin::ShowTooltip() {
  if (tooltip == nullptr) return;
  IControl* control = GetControl(trackedControl);
  const char* text = control != nullptr ? control->GetTooltip().c_str() : "";
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageA(tooltip, TTM_ACTIVATE, TRUE, 0);
  tooltipShowing = true;
}

void IGraphicsWin::HideTooltip() {
  if (tooltip == nullptr || !tooltipShowing) return;
  SendMessageA(tooltip, TTM_ACTIVATE, FALSE, 0);
  tooltipShowing = false;
}

// ---- Text entry ----

void IGraphicsWin::CreateTextEntry(IControl* control, const IText& style, const IRECT& r,
                                   const char* initial, int /*paramIdx*/) {
  if (window == nullptr || entry != nullptr || control == nullptr) return;
  DWORD align = ES_CENTER;
  if (style.align == IText::kAlignNear) align = ES_LEFT;
  if (style.align == IText::kAlignFar) align = ES_RIGHT;
  // Multi-line, so that Enter reaches the entry's procedure.
  const IRECT at = ToPixels(r);
  entry = CreateWindowExW(0, L"EDIT", Widen(initial).c_str(),
                          WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | align, at.left,
                          at.top, at.W() + 1, at.H() + 1, window, nullptr, Module(), nullptr);
  if (entry == nullptr) {
    // Nothing to type into: let the next tick close the entry again.
    RequestTextEntryCancel();
    return;
  }
  entryStyle = style;
  entryFont = CreateFontW(
      ToPixels(style.size), 0, 0, 0, style.style == IText::kStyleBold ? FW_BOLD : 0,
      style.style == IText::kStyleItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Widen(style.font).c_str());
  entryBrush = CreateSolidBrush(ToColorRef(style.textEntryBGColor));
  SendMessageW(entry, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont), FALSE);
  SendMessageW(entry, EM_LIMITTEXT, static_cast<WPARAM>(std::max(TextEntryMaxLength(), 0)), 0);
  SetWindowLongPtrW(entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  entryDefaultProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EntryProc)));
  SendMessageW(entry, EM_SETSEL, 0, -1);
  SetFocus(entry);
}

LRESULT CALLBACK IGraphicsWin::EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->entry != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return self->HandleEntryMessage(msg, wParam, lParam);
}

LRESULT IGraphicsWin::HandleEntryMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        RequestTextEntryCommit();
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        RequestTextEntryCancel();
        return 0;
      }
      break;
    case WM_CHAR:
      // Enter and Escape were taken as keys; as characters they would add a
      // line or ring the bell.
      if (wParam == '\r' || wParam == '\n' || wParam == VK_ESCAPE) return 0;
      if (!TextEntryCharAllowed(static_cast<unsigned>(wParam))) return 0;
      break;
    case WM_KILLFOCUS:
      RequestTextEntryCommit();
      break;
    case WM_MOUSEWHEEL:  // the focused box gets the wheel; over the editor it cancels
      RequestTextEntryCancel();
      return 0;
    default:
      break;
  }
  return CallWindowProcW(entryDefaultProc, entry, msg, wParam, lParam);
}

void IGraphicsWin::ReadTextEntry(char* text, int size) {
  if (text == nullptr || size <= 0) return;
  text[0] = '\0';
  if (entry == nullptr) return;
  wchar_t wide[kTextEntryReadMax + 1] = {};
  GetWindowTextW(entry, wide, kTextEntryReadMax + 1);
  const std::string utf8 = Narrow(wide);
  const size_t n = std::min(utf8.size(), static_cast<size_t>(size - 1));
  std::memcpy(text, utf8.data(), n);
  text[n] = '\0';
}

void IGraphicsWin::DestroyTextEntry() {
  if (entry != nullptr) {
    // The old procedure first: dying takes the focus away, which would ask
    // for another commit.
    SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryDefaultProc));
    SetWindowLongPtrW(entry, GWLP_USERDATA, 0);
    DestroyWindow(entry);
    if (window != nullptr) SetFocus(window);
  }
  if (entryFont != nullptr) DeleteObject(entryFont);
  if (entryBrush != nullptr) DeleteObject(entryBrush);
  entry = nullptr;
  entryFont = nullptr;
  entryBrush = nullptr;
  entryDefaultProc = nullptr;
}

// ---- Pop-up menus ----

IPopupMenu* IGraphicsWin::CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) {
  if (window == nullptr || menu == nullptr) return nullptr;
  HideTooltip();
  int nextFree = 0;
  HMENU handle = BuildMenu(menu, 0, &nextFree);
  if (handle == nullptr) return nullptr;
  POINT corner = {ToPixels(where.left), ToPixels(where.bottom)};
  ClientToScreen(window, &corner);
  // The choice arrives as a posted WM_COMMAND: unlike a returned command it
  // tells item 0 apart from no choice.
  TrackPopupMenu(handle, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, corner.x, corner.y, 0,
                 window, nullptr);
  IPopupMenu* chosen = nullptr;
  MSG msg;
  if (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0) {
    chosen = FindCommand(menu, 0, &nextFree, LOWORD(msg.wParam));
  }
  DestroyMenu(handle);  // submenus go with it
  InvalidateRect(window, nullptr, FALSE);
  return chosen;
}

// ---- Dialogs and message boxes ----

int IGraphicsWin::ShowMessageBox(const char* text, const char* title, int type) {
  return MessageBoxW(TopWindow(), Widen(text).c_str(), Widen(title).c_str(),
                     static_cast<UINT>(type));
}

void IGraphicsWin::PromptForFile(std::string* fileName, EFileAction action, std::string* folder,
                                 const char* extensions) {
  if (fileName == nullptr) return;
  if (window == nullptr) {
    fileName->clear();
    return;
  }
  char file[kMaxPath + 1], initialFolder[kMaxPath + 1];
  CopyPath(file, *fileName);
  CopyPath(initialFolder, folder != nullptr && !folder->empty() ? *folder : DesktopPath());
  const std::string pattern = FilterPattern(extensions);
  const std::string defaultExt = DefaultExtension(extensions);
  // Description and pattern alike, each terminated, the list ended by an empty entry.
  std::string filter = pattern + '\0' + pattern + '\0' + '\0';

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = kMaxPath + 1;
  ofn.lpstrInitialDir = initialFolder;
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  // The host's current folder is not ours to change.
  ofn.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  BOOL chosen;
  if (action == kFileSave) {
    ofn.Flags |= OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameA(&ofn);
  } else {
    ofn.Flags |= OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameA(&ofn);
  }
  if (!chosen) {
    fileName->clear();
    return;
  }
  *fileName = file;
  if (folder != nullptr) *folder = FolderOf(file);
}

bool IGraphicsWin::OpenURL(const char* url, const char* title, const char* confirm,
                           const char* errorText) {
  if (url == nullptr) return false;
  if (confirm != nullptr && ShowMessageBox(confirm, title, MB_YESNO) != IDYES) return false;
  DWORD state = 0;
  if (InternetGetConnectedState(&state, 0)) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
  }
  if (errorText != nullptr) ShowMessageBox(errorText, title, MB_OK);
  return false;
}

// ---- Folders, clipboard, cursor ----

std::string IGraphicsWin::HostPath() { return ModuleFolder(nullptr); }
std::string IGraphicsWin::PluginPath() { return ModuleFolder(Module()); }
std::string IGraphicsWin::DesktopPath() { return ShellFolder(CSIDL_DESKTOPDIRECTORY); }
std::string IGraphicsWin::AppDataPath(bool common) {
  return ShellFolder(common ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA);
}

std::string IGraphicsWin::GetClipboardText() {
  if (!OpenClipboard(window)) return {};
  std::string text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      // Bounded by the block's size: the terminator is not guaranteed.
      const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
      size_t length = 0;
      while (length < capacity && wide[length] != L'\0') ++length;
      text = Narrow(wide, static_cast<int>(length));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void IGraphicsWin::HideMouseCursor() {
  if (cursorHidden) return;
  GetCursorPos(&hiddenCursorAt);
  ShowCursor(FALSE);
  cursorHidden = true;
}

void IGraphicsWin::ShowMouseCursor() {
  if (!cursorHidden) return;
  SetCursorPos(hiddenCursorAt.x, hiddenCursorAt.y);
  ShowCursor(TRUE);
  cursorHidden = false;
}
