#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphicsStructs.h"
#include "editor/IPopupMenu.h"

class IParameter;
class IPlugBase;
class LICE_IBitmap;

// The drawing layer's pixel (0xAARRGGBB) of a colour, each channel limited
// to 0...255.
uint32_t LicePixel(const IColor& c);

// Keys as controls receive them.
enum EKeyCode {
  KEY_NONE = -1,
  KEY_SPACE = 0,
  KEY_UPARROW = 1,
  KEY_DOWNARROW = 2,
  KEY_LEFTARROW = 3,
  KEY_RIGHTARROW = 4,
  KEY_DIGIT_0 = 5,  // ... KEY_DIGIT_0 + 9
  KEY_ALPHA_A = 15  // ... KEY_ALPHA_A + 25, either case
};

// The editor: owns the controls and the drawing surface, tracks what needs
// drawing, and turns mouse and keyboard input into control operations.
// A backend (one per platform, plus a headless one for tests) supplies the
// window and the modal services through the virtuals marked "platform".
//
// A windowed backend: OpenWindow marks every control dirty
// (SetAllControlsDirty) and starts a timer calling OnTimerTick every
// 1000 / FPS() ms; its paint handler calls Draw and then PaintRect for the
// update region; RedrawRect invalidates (leaving out TextEntryRect()) and
// updates at once; window messages go to the On... input operations (wheel
// in raw units of 120 per notch, keys as EKeyCode); its text entry filters
// typed characters with TextEntryCharAllowed, holds at most
// TextEntryMaxLength() of them, and requests commit (Enter, focus lost) or
// cancel (Escape); after a pop-up menu the whole window is redrawn. Its
// destructor closes the window without calling plug-in hooks (the plug-in
// is half destroyed by then).
//
// Threads: everything runs on the host's user-interface thread, except
// SetParamFromPlug, which the plug-in may call on any thread. It only stores
// the value in a per-parameter slot; the editor's thread moves the controls
// at its next tick, input event or paint (ApplyPendingParamValues).
class IGraphics {
 public:
  static constexpr int kDefaultFPS = 25;
  static constexpr int kIdleTicks = 20;         // IdleHook once the count exceeds this
  static constexpr int kTextEntryReadMax = 31;  // characters read on commit

  IGraphics(IPlugBase* plug, int width, int height, int fps = kDefaultFPS);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Platform services ----
  // Copies this region of the drawing surface to the window.
  virtual void PaintRect(const IRECT& r) = 0;
  // parent: the host's window. False on failure.
  virtual bool OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  virtual bool WindowIsOpen() const = 0;
  // type: EMsgBoxType | EMsgBoxIcon. Returns an EMsgBoxResult.
  virtual int ShowMessageBox(const char* text, const char* title, int type) = 0;
  // Shows the menu at the lower-left corner of where; returns the menu or
  // submenu holding the chosen item (its chosen index set), or null when
  // dismissed. Afterwards the whole window is redrawn.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) = 0;
  // Shows the entry box. Called through OpenTextEntry, which keeps the
  // entry's state; the backend reports keys through TextEntryCharAllowed and
  // RequestTextEntryCommit/Cancel, and gives the text in ReadTextEntry.
  virtual void CreateTextEntry(IControl* control, const IText& style, const IRECT& r,
                               const char* initial, int paramIdx) = 0;
  // fileName in: initial name; out: the full path, empty when cancelled.
  // folder in: start folder (empty: the desktop); out: the chosen folder.
  // extensions: separated by spaces, e.g. "fxp fxb".
  virtual void PromptForFile(std::string* fileName, EFileAction action, std::string* folder,
                             const char* extensions) = 0;
  // With a confirm text asks Yes/No first; on failure shows errorText (if any).
  virtual bool OpenURL(const char* url, const char* title = nullptr, const char* confirm = nullptr,
                       const char* errorText = nullptr) = 0;
  virtual const char* GetDrawingAPIName() = 0;
  // Folders end in a path separator; empty when unknown.
  virtual std::string HostPath() { return std::string(); }
  virtual std::string PluginPath() { return std::string(); }
  virtual std::string DesktopPath() { return std::string(); }
  virtual std::string AppDataPath(bool /*common*/) { return std::string(); }
  virtual std::string GetClipboardText() { return std::string(); }
  virtual void* GetWindow() { return nullptr; }
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  // True for backends that give the host a real window to show.
  virtual bool HasNativeWindow() const = 0;
  // Redraws a dirty region at once. The default draws and paints;
  // a windowed backend invalidates (leaving out an open text entry) and
  // lets its paint handler call Draw and PaintRect.
  virtual void RedrawRect(const IRECT& r);
  // Resizes the editor; a windowed backend also resizes its window.
  virtual void Resize(int width, int height);
  // After SetSizePercent: a windowed backend gives its window the new pixel
  // size (the host's side is the plug-in's).
  virtual void SizeChanged() {}
  // The screen's scale in percent (96 dots per inch are 100 %): the system's
  // on Windows, the X resources' Xft.dpi on Linux; 100 when unknown.
  virtual int ScreenScalePercent() { return 100; }
  // The host's editor idle call (effEditIdle), on its user-interface thread
  // and outside the plug-in lock: a backend without a system timer handles
  // its window events here.
  virtual void OnHostIdle() {}
  // Readable when the open window has events waiting, for hosts that wait on
  // descriptors instead of calling OnHostIdle; -1 when there is none.
  virtual int EventDescriptor() const { return -1; }

  // Backend side of the text entry: the entry's text (at most size - 1
  // bytes) and taking the box away.
  virtual void ReadTextEntry(char* text, int size) = 0;
  virtual void DestroyTextEntry() = 0;

  // ---- Controls ----
  // The editor owns attached controls. Returns the control's index.
  int AttachControl(IControl* control);
  // A full-window picture at index 0, drawn with the clobber blend.
  void AttachBackground(const IBitmap& bitmap);
  IControl* GetControl(int index) const;
  int NControls() const { return static_cast<int>(controls.size()); }
  int GetControlIdx(const IControl* control) const;
  // Index of the control at the point: the last one that is neither hidden
  // nor grayed and is hit; -1 when none.
  int GetMouseControlIdx(int x, int y) const;
  void SetKeyCatcher(IControl* control) { keyCatcher = control; }
  void HandleMouseOver(bool on) { handleMouseOver = on; }
  void SetStrictDrawing(bool on) { strictDrawing = on; }
  void EnableTooltips(bool on) { showTooltips = on; }
  bool TooltipsEnabled() const { return showTooltips; }
  void SetAllControlsDirty();

  // ---- Plug-in side (any thread) ----
  // A plain value is limited to the parameter's range and normalised first.
  void SetParamFromPlug(int paramIdx, double value, bool normalized);
  // Editor thread: moves the controls to the values the plug-in stored.
  void ApplyPendingParamValues();
  // Editor thread, plug-in lock held: a user edit replaces what the plug-in
  // stored before it.
  void DiscardPendingValue(int paramIdx);

  // ---- Input (editor thread, window coordinates) ----
  // With a text entry open, a click only commits the entry.
  void OnMouseDown(int x, int y, const IMouseMod& mod);
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  // True when the window should capture the mouse (a control took the
  // double-click as a click).
  bool OnMouseDblClick(int x, int y, const IMouseMod& mod);
  // wheelDelta in the system's units, 120 per notch; finer wheels add up.
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int wheelDelta);
  // Only while handle-mouse-over is set. Returns the control under the mouse.
  int OnMouseOver(int x, int y, const IMouseMod& mod);
  // The mouse left the window.
  void OnMouseOut();
  // key: EKeyCode. False when nobody handled it (the backend passes it on).
  bool OnKeyDown(int x, int y, int key);
  static int KeyCodeFromChar(char c);
  int GetMouseCapture() const { return mouseCapture; }
  void ReleaseMouseCapture();
  int GetMouseOverIdx() const { return mouseOver; }
  int GetTooltipIdx() const { return tooltipIdx; }
  void SetTooltipIdx(int index) { tooltipIdx = index; }

  // ---- Timer and drawing ----
  int FPS() const { return fps; }
  // One timer tick: pending plug-in values, every control's OnGUIIdle,
  // text-entry commit or cancel, the dirty test with its redraw, and the
  // idle counter.
  void OnTimerTick();
  // For hosts that make no editor-idle calls (VST 3): the plug-in's idle
  // hook then runs on every tick, as those calls would run it.
  void SetIdleHookEveryTick(bool everyTick) { idleHookEveryTick = everyTick; }
  // The union of the rectangles of all dirty controls; false when none.
  bool IsDirty(IRECT* r);
  // Every dirty control is a live level display (IControl::ShowsLiveLevels).
  bool OnlyLiveLevelsDirty();
  // Draws the controls that need it into the surface (r logical).
  bool Draw(const IRECT& r);

  // ---- Drawing helpers (on the surface, or the scratch during a pass) ----
  // Copies dest's size from the bitmap at (srcX, srcY); all logical.
  bool DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                  const IChannelBlend* blend = nullptr);
  // 1-based frame; frame 1 and one-frame bitmaps start at 0.
  bool DrawBitmapFrame(const IBitmap& bitmap, const IRECT& dest, int frame,
                       const IChannelBlend* blend = nullptr);
  // round((N - 1) * value) + 1, limited to 1...N (1 for N < 2).
  static int FrameForValue(int frames, double value);
  static int FrameOffset(int extent, int frames, int frame);
  bool FillIRect(const IColor& color, const IRECT& r);
  bool DrawIText(const IText& style, const char* text, const IRECT& r);
  // r in: where the text starts; out: the rectangle the text needs.
  bool MeasureIText(const IText& style, const char* text, IRECT* r);
  // A bitmap of the library's resources through the bitmap cache; no pixels
  // (bitmap null) when the name does not end in "png" or it does not load.
  IBitmap LoadIBitmap(int resourceId, const char* name, int frames = 1);

  // ---- Text entry and prompting ----
  // Opens the one text entry (none while another is open).
  void OpenTextEntry(IControl* control, const IText& style, const IRECT& r, const char* initial,
                     int paramIdx = -1);
  bool IsTextEntryOpen() const { return textEntryControl != nullptr; }
  const IRECT& TextEntryRect() const { return textEntryRect; }
  IControl* TextEntryControl() const { return textEntryControl; }
  // The open entry's limits: characters the user may type, and how many.
  bool TextEntryCharAllowed(unsigned c) const;
  int TextEntryMaxLength() const;
  // Applied at the next tick.
  void RequestTextEntryCommit();
  void RequestTextEntryCancel();
  // A menu of the display texts for lists and labelled switches; a typed
  // value otherwise.
  void PromptUserInput(IControl* control, IParameter* param, const IRECT& r);

  // ---- Size, surface, plug-in ----
  // The logical size: the layout, the controls and every mouse position.
  int Width() const { return width; }
  int Height() const { return height; }
  // The editor sizes in percent of the logical size.
  static constexpr int kSizes[] = {100, 125, 150, 175, 200};
  static constexpr int kNumSizes = 5;
  // Resource ids of a bitmap drawn for the sizes after 100 % follow its own
  // id at this distance (size index 1..4).
  static constexpr int kSizeResourceStep = 100;
  static bool IsEditorSize(int percent);
  int SizePercent() const { return sizePercent; }
  // Takes one of kSizes (others are ignored); the surface is made anew and
  // every control redrawn.
  void SetSizePercent(int percent);
  // Logical to pixel positions (halves rounded up) and back (down).
  int ToPixels(int logical) const;
  IRECT ToPixels(const IRECT& r) const;
  int ToLogical(int pixel) const;
  // The smallest logical rectangle covering these pixels.
  IRECT ToLogical(const IRECT& pixels) const;
  // The window's size in pixels.
  int PixelWidth() const { return ToPixels(width); }
  int PixelHeight() const { return ToPixels(height); }
  IPlugBase* GetPlug() const { return plug; }
  // Creates the drawing surfaces at the editor's size (AttachEditor does).
  void PrepDraw();
  LICE_IBitmap* GetDrawBitmap() const { return surface.get(); }

 protected:
  enum class TextEntryState { kNone, kEditing, kCommit, kCancel };
  // Applies a pending commit or cancel; true when an entry was closed.
  bool HandleTextEntryTick();
  void CommitTextEntry();
  void CloseTextEntry();

 private:
  double NormalizedFromPlain(int paramIdx, double value) const;
  const LICE_IBitmap* SizedPixels(const IBitmap& bitmap) const;
  void ApplyParamValue(int paramIdx, double normalized);
  bool ValidParam(int paramIdx) const;
  void EndGesture();
  void DrawControl(IControl* control);
  void DrawNonStrict();
  void DrawClipped(const IRECT& area, IControl* also);
  void DrawStrict(const IRECT& r);

  IPlugBase* plug;
  std::vector<IControl*> controls;
  int width;
  int height;
  int fps;
  std::unique_ptr<LICE_IBitmap> surface;
  std::unique_ptr<LICE_IBitmap> scratch;  // same size as the surface
  LICE_IBitmap* target = nullptr;         // where the drawing helpers draw
  int mouseCapture = -1;
  int mouseX = 0;
  int mouseY = 0;
  int mouseOver = -1;
  int tooltipIdx = -1;
  bool handleMouseOver = false;
  bool strictDrawing = false;
  bool showTooltips = false;
  bool backgroundAttached = false;
  int idleTicks = 0;
  bool idleHookEveryTick = false;
  int sizePercent = 100;
  IControl* keyCatcher = nullptr;
  int gestureParam = -1;  // the parameter a BeginParamGesture is open for
  int wheelRemainder = 0;

  // Values handed over from the plug-in side, one slot per parameter.
  int nSlots = 0;
  std::unique_ptr<std::atomic<double>[]> pendingValues;
  std::unique_ptr<std::atomic<bool>[]> pendingMarks;
  std::atomic<bool> anyPending{false};

  IControl* textEntryControl = nullptr;
  int textEntryParam = -1;
  IRECT textEntryRect;
  TextEntryState textEntryState = TextEntryState::kNone;
};

// The editor of this platform: the window backend where there is one, the
// headless backend elsewhere. One definition per platform file.
IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height);
