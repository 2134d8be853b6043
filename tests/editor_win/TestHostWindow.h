#pragma once

// The test host's side of an editor: a top-level window of its own to put
// the editor in, a message pump, and pixels read back from a window.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A top-level window as a host shows around an editor. It records the key
// messages it receives.
class TestHostWindow {
 public:
  struct KeyMessage {
    UINT msg;
    WPARAM key;
  };
  explicit TestHostWindow(int width = 1000, int height = 600) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // A colour no editor uses: an editor that never paints shows it.
    wc.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);  // fails harmlessly when a previous test registered it
    window = CreateWindowExA(0, kClassName, "REDI test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                             0, width, height, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TestHostWindow() {
    if (IsWindow(window)) DestroyWindow(window);
  }
  TestHostWindow(const TestHostWindow&) = delete;
  TestHostWindow& operator=(const TestHostWindow&) = delete;

  HWND Handle() const { return window; }
  const std::vector<KeyMessage>& Keys() const { return Received(window); }

  // A plain child window filling the host, as hosts put between their frame
  // and the editor.
  HWND AddPanel() {
    return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 1000, 600, window, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }
  void Destroy() {
    DestroyWindow(window);
    window = nullptr;
  }

  static constexpr const char* kClassName = "REDITestHostWindow";

 private:
  static std::vector<KeyMessage>& Received(HWND hwnd) {
    static std::vector<std::pair<HWND, std::vector<KeyMessage>>> all;
    for (auto& entry : all)
      if (entry.first == hwnd) return entry.second;
    all.push_back({hwnd, {}});
    return all.back().second;
  }
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) Received(hwnd).push_back({msg, wParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  HWND window = nullptr;
};

// Dispatches this thread's messages for a while, as a host's loop does.
inline void PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

// Pixels of a window as the screen shows them, 0x00RRGGBB, rows top down.
struct Capture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

inline Capture CaptureWindow(HWND hwnd) {
  Capture capture;
  RECT client;
  if (!GetClientRect(hwnd, &client)) return capture;
  capture.width = client.right;
  capture.height = client.bottom;
  HDC windowDC = GetDC(hwnd);
  HDC memoryDC = CreateCompatibleDC(windowDC);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;  // top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memoryDC, bitmap);
    BitBlt(memoryDC, 0, 0, capture.width, capture.height, windowDC, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    capture.pixels.assign(p, p + static_cast<size_t>(capture.width) * capture.height);
    for (uint32_t& pixel : capture.pixels) pixel &= 0xFFFFFF;
    SelectObject(memoryDC, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memoryDC);
  ReleaseDC(hwnd, windowDC);
  return capture;
}

// Windows of this thread: top-level ones (tool tips, menus) and the
// children of a window.
inline BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

inline int CountThreadWindows() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

inline int CountChildWindows(HWND parent) {
  int n = 0;
  EnumChildWindows(parent, CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

// Under Wine a Unix path is reached through the drive that maps "/".
inline std::string WindowsPath(const std::string& path) {
  return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

// Client coordinates packed as mouse messages carry them.
inline LPARAM MousePoint(int x, int y) {
  return static_cast<LPARAM>(static_cast<uint16_t>(x) |
                             (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
