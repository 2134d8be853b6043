#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/drawing/LICE.h"
#include "framework/platform/RecursiveLock.h"

namespace {

struct FontKey {
  int size;
  int orientation;
  bool bold;
  bool italic;
  LICE_TextStyle::Quality quality;
  std::string face;

  bool Matches(const LICE_TextStyle& s) const {
    return size == s.size && orientation == s.orientation && bold == s.bold && italic == s.italic &&
           quality == s.quality && face == s.face;
  }
};

// Fonts stay until the library unloads, when this static object's destructor
// destroys them. A style whose font cannot be made is remembered too (with no
// font), so that it is not searched for again on every draw.
class FontCache {
 public:
  LICE_CachedFont* Get(const LICE_TextStyle& style) {
    ScopedLock hold(lock);
    for (const Entry& e : entries) {
      if (e.key.Matches(style)) return e.font.get();
    }
    Entry e{
        FontKey{style.size, style.orientation, style.bold, style.italic, style.quality, style.face},
        std::unique_ptr<LICE_CachedFont>(LICE_CachedFont::Create(style))};
    entries.push_back(std::move(e));
    return entries.back().font.get();
  }

 private:
  struct Entry {
    FontKey key;
    std::unique_ptr<LICE_CachedFont> font;
  };
  RecursiveLock lock;
  std::vector<Entry> entries;
};

FontCache& Fonts() {
  static FontCache cache;
  return cache;
}

bool StyleIsUsable(const LICE_TextStyle& style) {
  return style.face != nullptr && style.size > 0 && style.size <= 1000;
}

}  // namespace

LICE_CachedFont* LICE_GetCachedFont(const LICE_TextStyle& style) {
  if (!StyleIsUsable(style)) return nullptr;
  return Fonts().Get(style);
}

void LICE_DrawText(LICE_IBitmap* dest, const LICE_TextStyle& style, const char* utf8, int l, int t,
                   int r, int b) {
  if (dest == nullptr || utf8 == nullptr || utf8[0] == '\0') return;
  if (LICE_CachedFont* font = LICE_GetCachedFont(style)) {
    font->DrawText(dest, utf8, style.colour, style.align, l, t, r, b);
  }
}

bool LICE_MeasureText(const LICE_TextStyle& style, const char* utf8, int* width, int* height) {
  if (utf8 == nullptr || width == nullptr || height == nullptr) return false;
  LICE_CachedFont* font = LICE_GetCachedFont(style);
  return font != nullptr && font->MeasureText(utf8, width, height);
}
