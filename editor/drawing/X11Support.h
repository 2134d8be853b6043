#pragma once

// Pieces the X11 editor window, its menus and its boxes share. Only files
// compiled on X11 systems include this (Xlib's macros would clash elsewhere).

#include <functional>
#include <memory>

#include "editor/drawing/LICE.h"
#include "editor/drawing/XlibIncludes.h"

// While alive, X errors on this connection are recorded instead of ending
// the process; errors on other connections (the host's) go to the handler
// that was installed before, which is restored afterwards.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Waits for the server's answers; true when an error came back since the
  // trap was set.
  bool Failed();

 private:
  Display* display;
  int errorsBefore;
};

// Errors recorded on the connection so far.
int XErrorCount(Display* display);
// Forgets a connection that is about to be closed.
void ForgetXErrors(Display* display);

// Copies bitmap pixels (x, y, w, h) to the drawable at (dx, dy); any true
// colour visual.
void PutBitmapPixels(Display* display, Drawable target, GC gc, LICE_IBitmap* bitmap, int x, int y,
                     int w, int h, int dx, int dy);

// The editor window's picture in memory shared with the X server (MIT-SHM),
// which saves copying it through the connection.
class XSharedImage {
 public:
  // Null when the server does not offer shared memory or cannot attach it
  // (a server on another machine).
  static std::unique_ptr<XSharedImage> Create(Display* display, int w, int h);
  ~XSharedImage();
  XSharedImage(const XSharedImage&) = delete;
  XSharedImage& operator=(const XSharedImage&) = delete;
  // As PutBitmapPixels.
  void Put(Drawable target, GC gc, LICE_IBitmap* bitmap, int x, int y, int w, int h);

 private:
  XSharedImage() = default;

  Display* display = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo segment = {};
  bool attached = false;
};

// An override-redirect window drawn with the drawing layer: menus, tooltips
// and message boxes. Position in root coordinates.
class XPopupWindow {
 public:
  XPopupWindow(Display* display, int x, int y, int w, int h);
  ~XPopupWindow();
  XPopupWindow(const XPopupWindow&) = delete;
  XPopupWindow& operator=(const XPopupWindow&) = delete;

  Window Id() const { return window; }
  LICE_IBitmap* Bitmap() { return &bitmap; }
  int X() const { return x; }
  int Y() const { return y; }
  int W() const { return bitmap.getWidth(); }
  int H() const { return bitmap.getHeight(); }
  bool Contains(int rootX, int rootY) const {
    return rootX >= x && rootY >= y && rootX < x + W() && rootY < y + H();
  }
  // Copies the bitmap to the window.
  void Show();

 private:
  Display* display;
  Window window;
  GC gc;
  LICE_MemBitmap bitmap;
  int x;
  int y;
};

// Screen size of the default screen.
void ScreenSize(Display* display, int* w, int* h);

// The text style the editor's own boxes (menus, message boxes, tooltips) use.
// At an editor size (percent) the text is drawn that much larger.
LICE_TextStyle BoxTextStyle(LICE_pixel colour, bool bold = false, int percent = 100);
// The scale the X resources ask for ("Xft.dpi", 96 being 100 %), in percent;
// 100 when they name none or an unusable one.
int XftDpiPercent(const char* resources);
// A length of our boxes at an editor size, in whole pixels.
inline int BoxPixels(int length, int percent) { return (length * percent + 50) / 100; }

// Draws a one-pixel frame.
void DrawFrame(LICE_IBitmap* bitmap, int x, int y, int w, int h, LICE_pixel colour);

class IPopupMenu;

// Shows the menu with its top-left corner at the root position and runs it
// modally until the user chooses an item or dismisses it, drawn at the
// editor's size (percent). Returns the menu or submenu holding the choice
// (its chosen index set), or null. Events for other windows of the
// connection go to otherEvent.
IPopupMenu* RunX11PopupMenu(Display* display, IPopupMenu* menu, int rootX, int rootY, int percent,
                            const std::function<void(XEvent*)>& otherEvent);
