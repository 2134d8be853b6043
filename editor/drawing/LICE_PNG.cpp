#include "editor/drawing/BitmapCache.h"

LICE_IBitmap* LICE_LoadPNGFromMemory(const unsigned char* data, std::size_t size) {
  (void)data;
  (void)size;
  return nullptr;
}
