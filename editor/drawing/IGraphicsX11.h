#pragma once

// The editor's X11 window for Linux hosts: a child window inside the window
// the host passes to effEditOpen (an X window id in the pointer). The host's
// idle calls pump its events and run the frame timer, so everything happens
// on the host's user-interface thread; menus, the text entry, tooltips and
// the fallback message box are drawn by the editor itself; file dialogs and
// message boxes come from zenity or kdialog when installed.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

struct _XDisplay;
union _XEvent;
struct _XGC;
class XPopupWindow;
class XSharedImage;

class IGraphicsX11 : public IGraphics {
 public:
  IGraphicsX11(IPlugBase* plug, int width, int height);
  ~IGraphicsX11() override;
  IGraphicsX11(const IGraphicsX11&) = delete;
  IGraphicsX11& operator=(const IGraphicsX11&) = delete;

  void PaintRect(const IRECT& r) override;
  bool OpenWindow(void* parent) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return window != 0; }
  bool HasNativeWindow() const override { return true; }
  void* GetWindow() override;
  const char* GetDrawingAPIName() override { return "Xlib"; }
  void Resize(int width, int height) override;
  // Handles the window's pending events and, every 1000 / FPS() ms by the
  // monotonic clock, the frame timer.
  void OnHostIdle() override;
  int EventDescriptor() const override;
  // The window follows a new editor size.
  void SizeChanged() override;
  int ScreenScalePercent() override;

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

  // X errors met on the editor's connection since the window opened; an
  // error closes the window (the host destroyed its parent, most likely).
  int XErrors() const { return xErrors; }

 private:
  struct TextEntry;

  void HandleEvent(_XEvent* event);
  void HandleButton(_XEvent* event, bool press);
  void HandleMotion(_XEvent* event);
  void HandleKey(_XEvent* event);
  bool HandleEntryKey(unsigned long keysym, const char* typed, int length);
  void DrawTextEntry();
  // Forgets the window and the connection without touching the window (the
  // server may have destroyed it already).
  void DropWindow();
  // The window and its shared image at the editor's pixel size.
  void FitWindow();
  // Copies the exposed parts of the editor window while a modal box runs.
  void PumpWhileModal();
  // Runs a dialog program; its standard output in *output. -1 when it
  // could not run.
  int RunDialog(const std::vector<std::string>& args, std::string* output);
  int DrawnMessageBox(const char* text, const char* title, int type);
  void ShowTooltip();
  void HideTooltip();

  _XDisplay* display = nullptr;
  unsigned long window = 0;
  unsigned long parentWindow = 0;
  _XGC* gc = nullptr;
  std::unique_ptr<XSharedImage> shared;  // null: XPutImage through the connection
  int xErrors = 0;
  std::chrono::steady_clock::time_point lastTick;
  IRECT exposed;  // the union of an Expose series so far

  unsigned long lastClickTime = 0;
  int lastClickX = -100;
  int lastClickY = -100;
  int mouseX = 0;
  int mouseY = 0;

  std::unique_ptr<TextEntry> entry;

  std::unique_ptr<XPopupWindow> tooltip;
  int tooltipControl = -1;
  std::chrono::steady_clock::time_point hoverSince;
};
