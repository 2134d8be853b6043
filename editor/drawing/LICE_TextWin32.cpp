#include "editor/drawing/LICE.h"

LICE_CachedFont* LICE_CachedFont::Create(const LICE_TextStyle& style) {
  (void)style;
  return nullptr;
}
