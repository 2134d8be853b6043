#include <new>

#include "editor/drawing/LICE.h"

// Without a window system to share pixels with, a system bitmap is memory.

LICE_SysBitmap::LICE_SysBitmap(int w, int h) { resize(w, h); }

LICE_SysBitmap::~LICE_SysBitmap() { Release(); }

void LICE_SysBitmap::Release() {
  delete[] bits;
  bits = nullptr;
  width = height = 0;
}

bool LICE_SysBitmap::resize(int w, int h) {
  Release();
  if (w < 0 || h < 0 || w > kLiceMaxBitmapSide || h > kLiceMaxBitmapSide) return false;
  if (w == 0 || h == 0) return true;
  bits = new (std::nothrow) LICE_pixel[static_cast<std::size_t>(w) * h]();
  if (bits == nullptr) return false;
  width = w;
  height = h;
  return true;
}
