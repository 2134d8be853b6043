// Text with GDI. GDI leaves the alpha channel of what it draws undefined, so
// text is drawn white on black into a scratch system bitmap and its coverage
// then blended into the destination in the text colour, with the colour's alpha.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

#include "editor/drawing/LICE.h"
#include "framework/platform/RecursiveLock.h"

namespace {

std::wstring Widen(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// Wine's text measurement differs from its drawing; there we add up the
// glyph widths ourselves. Wine marks itself with this registry key.
bool RunningUnderWine() {
  static const bool wine = [] {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }();
  return wine;
}

DWORD QualityOf(LICE_TextStyle::Quality quality) {
  switch (quality) {
    case LICE_TextStyle::kNonAntialiased:
      return NONANTIALIASED_QUALITY;
    case LICE_TextStyle::kAntialiased:
      return ANTIALIASED_QUALITY;
    case LICE_TextStyle::kClearType:
      return CLEARTYPE_QUALITY;
    case LICE_TextStyle::kDefault:
    default:
      return DEFAULT_QUALITY;
  }
}

UINT FormatOf(LICE_TextStyle::Align align) {
  const UINT common = DT_NOCLIP | DT_SINGLELINE | DT_NOPREFIX | DT_TOP;
  switch (align) {
    case LICE_TextStyle::kNear:
      return common | DT_LEFT;
    case LICE_TextStyle::kFar:
      return common | DT_RIGHT;
    case LICE_TextStyle::kCentre:
    default:
      return common | DT_CENTER;
  }
}

class GdiFont : public LICE_CachedFont {
 public:
  ~GdiFont() override {
    if (measureDC != nullptr) {
      if (previousFont != nullptr) SelectObject(measureDC, previousFont);
      DeleteDC(measureDC);
    }
    if (font != nullptr) DeleteObject(font);
  }

  bool Open(const LICE_TextStyle& style) {
    const std::wstring face = Widen(style.face);
    font = CreateFontW(style.size, 0, style.orientation * 10, style.orientation * 10,
                       style.bold ? FW_BOLD : FW_NORMAL, style.italic ? TRUE : FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       QualityOf(style.quality), DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (font == nullptr) return false;
    measureDC = CreateCompatibleDC(nullptr);
    if (measureDC == nullptr) return false;
    previousFont = SelectObject(measureDC, font);
    orientation = style.orientation;
    size = style.size;
    return true;
  }

  void DrawText(LICE_IBitmap* dest, const char* utf8, LICE_pixel colour,
                LICE_TextStyle::Align align, int l, int t, int r, int b) override {
    const std::wstring text = Widen(utf8);
    if (text.empty() || dest->getBits() == nullptr) return;
    ScopedLock hold(lock);
    int w = 0, h = 0;
    if (!Measure(text, &w, &h)) return;
    // In 64 bits: a rectangle may span the whole int range.
    const int64_t x0 = align == LICE_TextStyle::kNear     ? l
                       : align == LICE_TextStyle::kCentre ? l + (int64_t(r) - l - w) / 2
                                                          : int64_t(r) - w;
    // The scratch covers the text's box, turned about its top-left corner,
    // with room for overhangs, and no more than the destination.
    const double angle = orientation * 3.14159265358979323846 / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const auto& corner : {std::make_pair(w, 0), std::make_pair(0, h), std::make_pair(w, h)}) {
      const double x = corner.first * c + corner.second * s;
      const double y = -corner.first * s + corner.second * c;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    const int64_t margin = size;
    const int64_t left = std::max<int64_t>(0, x0 + int64_t(std::floor(minX)) - margin);
    const int64_t top = std::max<int64_t>(0, int64_t(t) + int64_t(std::floor(minY)) - margin);
    const int64_t right =
        std::min<int64_t>(dest->getWidth(), x0 + int64_t(std::ceil(maxX)) + margin);
    const int64_t bottom =
        std::min<int64_t>(dest->getHeight(), int64_t(t) + int64_t(std::ceil(maxY)) + margin);
    if (right <= left || bottom <= top) return;

    const int width = static_cast<int>(right - left), height = static_cast<int>(bottom - top);
    if (!PrepareScratch(width, height)) return;
    HDC dc = static_cast<HDC>(scratch.getDC());
    HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    if (orientation == 0) {
      // Coordinates relative to the scratch; GDI takes them as 32-bit, and
      // the text lies within the scratch, so only the far side may be cut.
      RECT box = {static_cast<LONG>(std::max<int64_t>(INT_MIN / 2, l - left)),
                  static_cast<LONG>(t - top),
                  static_cast<LONG>(std::min<int64_t>(INT_MAX / 2, int64_t(r) - left)),
                  static_cast<LONG>(std::min<int64_t>(INT_MAX / 2, int64_t(b) - top))};
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, FormatOf(align));
    } else {
      SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
      ExtTextOutW(dc, static_cast<int>(x0 - left), static_cast<int>(t - top), 0, nullptr,
                  text.c_str(), static_cast<UINT>(text.size()), nullptr);
    }
    GdiFlush();
    SelectObject(dc, previous);
    Compose(dest, scratch, width, height, static_cast<int>(left), static_cast<int>(top), colour);
  }

  bool MeasureText(const char* utf8, int* width, int* height) override {
    ScopedLock hold(lock);
    return Measure(Widen(utf8), width, height);
  }

 private:
  // Caller holds the lock.
  bool Measure(const std::wstring& text, int* width, int* height) {
    TEXTMETRICW metrics;
    if (!GetTextMetricsW(measureDC, &metrics)) return false;
    if (RunningUnderWine()) {
      *width = GlyphWidths(text);
      *height = metrics.tmHeight;
      return true;
    }
    RECT box = {0, 0, 0, 0};
    if (!text.empty()) {
      ::DrawTextW(measureDC, text.c_str(), static_cast<int>(text.size()), &box,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP);
    }
    *width = box.right - box.left;
    *height = text.empty() ? metrics.tmHeight : box.bottom - box.top;
    return true;
  }

  // The sum of the glyphs' advance widths (A + B + C), or the plain character
  // widths for fonts without ABC widths.
  int GlyphWidths(const std::wstring& text) {
    int total = 0;
    for (wchar_t ch : text) {
      const UINT code = static_cast<UINT>(ch);
      ABC abc;
      INT plain = 0;
      if (GetCharABCWidthsW(measureDC, code, code, &abc)) {
        total += abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
      } else if (GetCharWidth32W(measureDC, code, code, &plain)) {
        total += plain;
      }
    }
    return total;
  }

  // Makes the scratch at least width x height and blackens that corner of it.
  // The scratch lives with the font: a system bitmap per draw was the
  // costliest part of drawing a short text. GDI may draw past the corner,
  // but only the corner is ever composed. Caller holds the lock.
  bool PrepareScratch(int width, int height) {
    if (scratch.getWidth() < width || scratch.getHeight() < height) {
      if (!scratch.resize(std::max(width, scratch.getWidth()),
                          std::max(height, scratch.getHeight()))) {
        scratch.resize(0, 0);
        return false;
      }
    }
    if (scratch.getDC() == nullptr || scratch.getBits() == nullptr) return false;
    GdiFlush();
    for (int y = 0; y < height; ++y) {
      LICE_pixel* row = scratch.getBits() + y * scratch.getRowSpan();
      std::fill(row, row + width, LICE_pixel(0));
    }
    return true;
  }

  // Blends the white-on-black coverage in the scratch's width x height
  // corner into dest at (left, top).
  static void Compose(LICE_IBitmap* dest, LICE_SysBitmap& scratch, int width, int height, int left,
                      int top, LICE_pixel colour) {
    const int colourAlpha = LICE_GETA(colour);
    for (int y = 0; y < height; ++y) {
      const LICE_pixel* row = scratch.getBits() + y * scratch.getRowSpan();
      for (int x = 0; x < width; ++x) {
        const LICE_pixel p = row[x];
        const int coverage = std::max({LICE_GETR(p), LICE_GETG(p), LICE_GETB(p)});
        const int alpha = (coverage * colourAlpha + 127) / 255;
        if (alpha == 0) continue;
        LICE_FillRect(dest, left + x, top + y, 1, 1,
                      (colour & 0x00FFFFFFu) | (static_cast<LICE_pixel>(alpha) << 24));
      }
    }
  }

  RecursiveLock lock;
  LICE_SysBitmap scratch;
  HFONT font = nullptr;
  HDC measureDC = nullptr;
  HGDIOBJ previousFont = nullptr;
  int orientation = 0;
  int size = 0;
};

}  // namespace

LICE_CachedFont* LICE_CachedFont::Create(const LICE_TextStyle& style) {
  GdiFont* font = new GdiFont();
  if (!font->Open(style)) {
    delete font;
    return nullptr;
  }
  return font;
}
