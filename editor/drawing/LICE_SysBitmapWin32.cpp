#include <windows.h>

#include "editor/drawing/LICE.h"

// A top-down 32-bit DIB section: its bytes are B, G, R, A per pixel, which is
// LICE_pixel's 0xAARRGGBB on this little-endian system. GDI draws into it
// through the memory DC that keeps it selected for the bitmap's whole life.

LICE_SysBitmap::LICE_SysBitmap(int w, int h) { resize(w, h); }

LICE_SysBitmap::~LICE_SysBitmap() { Release(); }

void LICE_SysBitmap::Release() {
  HDC hdc = static_cast<HDC>(objects.dc);
  if (hdc != nullptr) {
    if (objects.previous != nullptr) SelectObject(hdc, static_cast<HGDIOBJ>(objects.previous));
    DeleteDC(hdc);
  }
  if (objects.bitmap != nullptr) DeleteObject(static_cast<HGDIOBJ>(objects.bitmap));
  objects = SystemObjects();
  bits = nullptr;
  width = height = 0;
}

bool LICE_SysBitmap::resize(int w, int h) {
  Release();
  if (w < 0 || h < 0 || w > kLiceMaxBitmapSide || h > kLiceMaxBitmapSide) return false;
  HDC hdc = CreateCompatibleDC(nullptr);
  if (hdc == nullptr) return false;
  objects.dc = hdc;
  if (w == 0 || h == 0) return true;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // negative: row 0 at the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP dib = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (dib == nullptr || pixels == nullptr) {
    if (dib != nullptr) DeleteObject(dib);
    return false;
  }
  objects.bitmap = dib;
  objects.previous = SelectObject(hdc, dib);
  bits = static_cast<LICE_pixel*>(pixels);
  width = w;
  height = h;
  // A fresh DIB section is zero-filled: transparent black, as documented.
  return true;
}
