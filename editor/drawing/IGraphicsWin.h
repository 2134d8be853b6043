#pragma once

// The editor's Win32 window: a child window inside the host's window that
// turns window messages into the framework's input calls, runs the frame
// timer, copies the drawn surface to the screen and provides the system's
// menus, text entry, dialogs and message boxes. Windows only; every call runs
// on the host's user-interface thread.

#include <windows.h>

#include <string>

#include "editor/IGraphics.h"

class IGraphicsWin : public IGraphics {
 public:
  IGraphicsWin(IPlugBase* plug, int width, int height);
  ~IGraphicsWin() override;
  IGraphicsWin(const IGraphicsWin&) = delete;
  IGraphicsWin& operator=(const IGraphicsWin&) = delete;

  void PaintRect(const IRECT& r) override;
  bool OpenWindow(void* parent) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return window != nullptr; }
  bool HasNativeWindow() const override { return true; }
  void* GetWindow() override { return window; }
  const char* GetDrawingAPIName() override { return "Windows GDI"; }
  void Resize(int width, int height) override;
  void SizeChanged() override;
  int ScreenScalePercent() override;
  // Invalidates the region (less an open text entry) and paints it at once.
  void RedrawRect(const IRECT& r) override;

  int ShowMessageBox(const char* text, const char* title, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) override;
  void CreateTextEntry(IControl* control, const IText& style, const IRECT& r, const char* initial,
                       int paramIdx) override;
  void ReadTextEntry(char* text, int size) override;
  void DestroyTextEntry() override;
  void PromptForFile(std::string* fileName, EFileAction action, std::string* folder,
                     const char* extensions) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirm = nullptr,
               const char* errorText = nullptr) override;

  std::string HostPath() override;
  std::string PluginPath() override;
  std::string DesktopPath() override;
  std::string AppDataPath(bool common) override;
  std::string GetClipboardText() override;
  void HideMouseCursor() override;
  void ShowMouseCursor() override;

  // The window class name and the module it is registered against; tests
  // check that the class is gone after the last editor closes.
  static const char* WindowClassName() { return "IPlugWndClass"; }
  static HINSTANCE Module();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleEntryMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  void OnCreate();
  void OnPaint();
  void OnMouseMove(int x, int y, WPARAM wParam);
  void OnWheel(WPARAM wParam, LPARAM lParam);
  bool OnKey(WPARAM virtualKey);
  void ForwardToHost(UINT msg, WPARAM wParam, LPARAM lParam);
  // Forgets the window (being destroyed, by us or by the host) and what hangs on it.
  void DropWindow();
  void FitWindow(int oldPixelW, int oldPixelH);

  bool CreateTooltip();
  void ShowTooltip();
  void HideTooltip();
  void TrackMouse(bool hover);

  HWND TopWindow();
  void RememberTopWindow(HWND parent);

  HWND window = nullptr;
  int lastPixelW = 0;  // the window's size in pixels, as last set
  int lastPixelH = 0;
  bool holdsClass = false;  // this editor counts among the window class's users
  HWND parentWindow = nullptr;
  HWND tooltip = nullptr;
  bool tooltipShowing = false;
  int trackedControl = -1;  // control under the mouse when tracking was armed

  // The text entry box; its state and rules are the framework's.
  HWND entry = nullptr;
  WNDPROC entryDefaultProc = nullptr;
  IText entryStyle;
  HFONT entryFont = nullptr;
  HBRUSH entryBrush = nullptr;

  HWND topWindow = nullptr;
  std::string topWindowClass;
  POINT hiddenCursorAt = {0, 0};
  bool cursorHidden = false;
};
