#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

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

namespace {

// Copies the bitmap's (x, y, w, h) into the image at (0, 0); already limited
// to both.
void CopyToImage(XImage* image, Visual* visual, LICE_IBitmap* bitmap, int x, int y, int w, int h) {
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
}

// Limits the region to the bitmap; false when nothing is left.
bool LimitToBitmap(LICE_IBitmap* bitmap, int* x, int* y, int* w, int* h) {
  if (bitmap == nullptr || bitmap->getBits() == nullptr) return false;
  if (*x < 0) {
    *w += *x;
    *x = 0;
  }
  if (*y < 0) {
    *h += *y;
    *y = 0;
  }
  *w = std::min(*w, bitmap->getWidth() - *x);
  *h = std::min(*h, bitmap->getHeight() - *y);
  return *w > 0 && *h > 0;
}

}  // namespace

void PutBitmapPixels(Display* display, Drawable target, GC gc, LICE_IBitmap* bitmap, int x, int y,
                     int w, int h, int dx, int dy) {
  const int x0 = x;
  const int y0 = y;
  if (!LimitToBitmap(bitmap, &x, &y, &w, &h)) return;
  dx += x - x0;
  dy += y - y0;
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  char* data = static_cast<char*>(std::malloc(static_cast<size_t>(w) * h * 4));
  if (data == nullptr) return;
  XImage* image =
      XCreateImage(display, visual, DefaultDepth(display, screen), ZPixmap, 0, data, w, h, 32, 0);
  if (image == nullptr) {
    std::free(data);
    return;
  }
  CopyToImage(image, visual, bitmap, x, y, w, h);
  XPutImage(display, target, gc, image, 0, 0, dx, dy, w, h);
  XDestroyImage(image);
}

std::unique_ptr<XSharedImage> XSharedImage::Create(Display* display, int w, int h) {
  if (display == nullptr || w <= 0 || h <= 0 || !XShmQueryExtension(display)) return nullptr;
  std::unique_ptr<XSharedImage> shared(new XSharedImage);
  shared->display = display;
  const int screen = DefaultScreen(display);
  shared->image =
      XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                      ZPixmap, nullptr, &shared->segment, w, h);
  if (shared->image == nullptr) return nullptr;
  const size_t bytes = static_cast<size_t>(shared->image->bytes_per_line) * h;
  shared->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shared->segment.shmid < 0) return nullptr;
  void* address = shmat(shared->segment.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(shared->segment.shmid, IPC_RMID, nullptr);
    shared->segment.shmid = -1;
    return nullptr;
  }
  shared->segment.shmaddr = shared->image->data = static_cast<char*>(address);
  shared->segment.readOnly = False;
  XErrorTrap trap(display);
  XShmAttach(display, &shared->segment);
  shared->attached = !trap.Failed();
  // Marked for removal now: the segment goes when both sides let go of it,
  // even if the host crashes.
  shmctl(shared->segment.shmid, IPC_RMID, nullptr);
  if (!shared->attached) return nullptr;
  return shared;
}

XSharedImage::~XSharedImage() {
  if (attached) {
    XErrorTrap trap(display);
    XShmDetach(display, &segment);
    trap.Failed();
  }
  if (image != nullptr) {
    image->data = nullptr;
    XDestroyImage(image);
  }
  if (segment.shmaddr != nullptr) shmdt(segment.shmaddr);
}

void XSharedImage::Put(Drawable target, GC gc, LICE_IBitmap* bitmap, int x, int y, int w, int h) {
  if (!LimitToBitmap(bitmap, &x, &y, &w, &h)) return;
  w = std::min(w, image->width - x);
  h = std::min(h, image->height - y);
  if (w <= 0 || h <= 0) return;
  // The region goes to the same place in the image, so one image serves any
  // region without reallocation.
  XImage part = *image;
  part.data = image->data + static_cast<size_t>(y) * image->bytes_per_line +
              static_cast<size_t>(x) * (image->bits_per_pixel / 8);
  part.width = w;
  part.height = h;
  const int screen = DefaultScreen(display);
  CopyToImage(&part, DefaultVisual(display, screen), bitmap, x, y, w, h);
  XShmPutImage(display, target, gc, image, x, y, x, y, w, h, False);
  // The server reads the memory later; the next copy must not overtake it.
  XSync(display, False);
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

int XftDpiPercent(const char* resources) {
  if (resources == nullptr) return 100;
  const std::string all(resources);
  const std::string key = "Xft.dpi:";
  for (size_t line = 0; line < all.size();) {
    const size_t end = std::min(all.find('\n', line), all.size());
    if (all.compare(line, key.size(), key) == 0) {
      const std::string value = all.substr(line + key.size(), end - line - key.size());
      char* after = nullptr;
      const double dpi = std::strtod(value.c_str(), &after);
      if (after != value.c_str() && dpi >= 24.0 && dpi <= 960.0) {
        return static_cast<int>(std::lround(dpi * 100.0 / 96.0));
      }
      return 100;
    }
    line = end + 1;
  }
  return 100;
}

LICE_TextStyle BoxTextStyle(LICE_pixel colour, bool bold, int percent) {
  LICE_TextStyle style = {};
  style.face = "Arial";
  style.size = BoxPixels(13, percent);
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
