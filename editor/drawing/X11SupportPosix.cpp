#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

#include "editor/drawing/X11Support.h"

namespace {

// Every call into X happens on the host's user-interface thread, so the
// trap's bookkeeping needs no lock.
std::map<Display*, int> errorCounts;
XErrorHandler previousHandler = nullptr;
int trapDepth = 0;

int RecordError(Display* display, XErrorEvent* event) {
  auto found = errorCounts.find(display);
  if (found != errorCounts.end()) {
    ++found->second;
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

int MaskShift(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int MaskBits(unsigned long mask) {
  int bits = 0;
  for (; mask != 0; mask >>= 1) bits += static_cast<int>(mask & 1);
  return bits;
}

unsigned long Channel(unsigned value, unsigned long mask) {
  const int bits = MaskBits(mask);
  if (bits == 0) return 0;
  const unsigned long scaled = bits >= 8 ? (value << (bits - 8)) : (value >> (8 - bits));
  return (scaled << MaskShift(mask)) & mask;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* d) : display(d) {
  errorCounts.emplace(display, 0);
  errorsBefore = errorCounts[display];
  if (trapDepth++ == 0) previousHandler = XSetErrorHandler(RecordError);
}

XErrorTrap::~XErrorTrap() {
  if (errorCounts.count(display) != 0) XSync(display, False);
  if (--trapDepth == 0) {
    XSetErrorHandler(previousHandler);
    previousHandler = nullptr;
  }
}

bool XErrorTrap::Failed() {
  auto found = errorCounts.find(display);
  if (found == errorCounts.end()) return true;
  XSync(display, False);
  return found->second != errorsBefore;
}

int XErrorCount(Display* display) {
  auto found = errorCounts.find(display);
  return found != errorCounts.end() ? found->second : 0;
}

void ForgetXErrors(Display* display) { errorCounts.erase(display); }

void PutBitmapPixels(Display* display, Drawable target, GC gc, LICE_IBitmap* bitmap, int x, int y,
                     int w, int h, int dx, int dy) {
  if (bitmap == nullptr || bitmap->getBits() == nullptr) return;
  x = std::max(x, 0);
  y = std::max(y, 0);
  w = std::min(w, bitmap->getWidth() - x);
  h = std::min(h, bitmap->getHeight() - y);
  if (w <= 0 || h <= 0) return;
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  char* data = static_cast<char*>(std::malloc(static_cast<size_t>(w) * h * 4));
  if (data == nullptr) return;
  XImage* image = XCreateImage(display, visual, depth, ZPixmap, 0, data, w, h, 32, 0);
  if (image == nullptr) {
    std::free(data);
    return;
  }
  const LICE_pixel* bits = bitmap->getBits();
  const int span = bitmap->getRowSpan();
  // The drawing layer's 0xAARRGGBB words are the server's pixels already when
  // both are little-endian with 8-bit red, green, blue masks.
  const uint32_t one = 1;
  const bool littleEndian = *reinterpret_cast<const unsigned char*>(&one) == 1;
  const bool direct = littleEndian && image->bits_per_pixel == 32 &&
                      image->byte_order == LSBFirst && visual->red_mask == 0xff0000 &&
                      visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
  for (int row = 0; row < h; ++row) {
    const LICE_pixel* source = bits + static_cast<size_t>(y + row) * span + x;
    if (direct) {
      std::memcpy(image->data + static_cast<size_t>(row) * image->bytes_per_line, source,
                  static_cast<size_t>(w) * 4);
      continue;
    }
    for (int col = 0; col < w; ++col) {
      const LICE_pixel p = source[col];
      XPutPixel(image, col, row,
                Channel(LICE_GETR(p), visual->red_mask) |
                    Channel(LICE_GETG(p), visual->green_mask) |
                    Channel(LICE_GETB(p), visual->blue_mask));
    }
  }
  XPutImage(display, target, gc, image, 0, 0, dx, dy, w, h);
  XDestroyImage(image);
}

XPopupWindow::XPopupWindow(Display* d, int px, int py, int w, int h)
    : display(d), bitmap(std::max(w, 1), std::max(h, 1)), x(px), y(py) {
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes = {};
  attributes.override_redirect = True;
  attributes.save_under = True;
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          KeyPressMask | LeaveWindowMask;
  window = XCreateWindow(display, RootWindow(display, screen), x, y, W(), H(), 0, CopyFromParent,
                         InputOutput, CopyFromParent,
                         CWOverrideRedirect | CWSaveUnder | CWEventMask, &attributes);
  gc = XCreateGC(display, window, 0, nullptr);
  XMapRaised(display, window);
}

XPopupWindow::~XPopupWindow() {
  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XFlush(display);
}

void XPopupWindow::Show() {
  PutBitmapPixels(display, window, gc, &bitmap, 0, 0, W(), H(), 0, 0);
  XFlush(display);
}

void ScreenSize(Display* display, int* w, int* h) {
  const int screen = DefaultScreen(display);
  *w = DisplayWidth(display, screen);
  *h = DisplayHeight(display, screen);
}

LICE_TextStyle BoxTextStyle(LICE_pixel colour, bool bold) {
  LICE_TextStyle style = {};
  style.face = "Arial";
  style.size = 13;
  style.colour = colour;
  style.bold = bold;
  style.align = LICE_TextStyle::kNear;
  style.quality = LICE_TextStyle::kAntialiased;
  return style;
}

void DrawFrame(LICE_IBitmap* bitmap, int x, int y, int w, int h, LICE_pixel colour) {
  LICE_FillRect(bitmap, x, y, w, 1, colour);
  LICE_FillRect(bitmap, x, y + h - 1, w, 1, colour);
  LICE_FillRect(bitmap, x, y, 1, h, colour);
  LICE_FillRect(bitmap, x + w - 1, y, 1, h, colour);
}
