// Text with FreeType; faces found by fontconfig, which maps "Arial" and
// "Verdana" to metric-compatible free faces (Liberation Sans, DejaVu Sans).
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "editor/drawing/LICE.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes UTF-8; every byte that does not start a valid, shortest-form
// sequence of a scalar value becomes U+FFFD.
std::u32string DecodeUtf8(const char* text) {
  std::u32string out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned char lead = *p;
    int extra = 0;
    char32_t c = 0, minimum = 0;
    if (lead < 0x80) {
      out.push_back(lead);
      ++p;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(kReplacement);
      ++p;
      continue;
    }
    int i = 1;
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) c = (c << 6) | (p[i] & 0x3F);
    if (i <= extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++p;  // resynchronise on the next byte (never past the terminator)
      continue;
    }
    out.push_back(c);
    p += extra + 1;
  }
  return out;
}

struct FaceFile {
  std::string path;
  int index = 0;
  bool hasBold = false;
  bool hasItalic = false;
};

bool FindFace(const LICE_TextStyle& style, FaceFile* found) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(style.face));
  FcPatternAddInteger(pattern, FC_WEIGHT, style.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* file = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  const bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (ok) {
    found->path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    found->index = index;
    found->hasBold = weight >= FC_WEIGHT_DEMIBOLD;
    found->hasItalic = slant != FC_SLANT_ROMAN;
  }
  FcPatternDestroy(match);
  return ok;
}

class FreeTypeFont : public LICE_CachedFont {
 public:
  ~FreeTypeFont() override {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }

  // Each font has its own FreeType library, so fonts can be destroyed in any
  // order at unload, and a font's lock covers everything FreeType does for it.
  bool Open(const LICE_TextStyle& style) {
    FaceFile file;
    if (!FindFace(style, &file)) return false;
    if (FT_Init_FreeType(&library) != 0) return false;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return false;
    if (!FT_IS_SCALABLE(face)) return false;
    emboldenSynthetic = style.bold && !file.hasBold;
    slantSynthetic = style.italic && !file.hasItalic;
    monochrome = style.quality == LICE_TextStyle::kNonAntialiased;
    angle = style.orientation * 3.14159265358979323846 / 180.0;

    // A Windows font height is the whole cell, ascent plus descent, as the
    // face's Windows metrics give them; size the em square to match.
    double ascentUnits = face->ascender, descentUnits = -face->descender;
    if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        ascentUnits = os2->usWinAscent;
        descentUnits = os2->usWinDescent;
      }
    }
    if (ascentUnits + descentUnits <= 0) return false;
    const double pixelsPerUnit = style.size / (ascentUnits + descentUnits);
    const FT_F26Dot6 em =
        static_cast<FT_F26Dot6>(std::lround(face->units_per_EM * pixelsPerUnit * 64.0));
    if (FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(em, 64), 72, 72) != 0) return false;
    ascent = static_cast<int>(std::lround(ascentUnits * pixelsPerUnit));
    cellHeight = style.size;
    return true;
  }

  void DrawText(LICE_IBitmap* dest, const char* utf8, LICE_pixel colour,
                LICE_TextStyle::Align align, int l, int t, int r, int) override {
    const std::u32string text = DecodeUtf8(utf8);
    std::lock_guard<std::mutex> hold(mutex);
    const double width = Advance(text) / 64.0;
    double x = l;
    if (align == LICE_TextStyle::kCentre) x = l + std::floor((double(r) - l - width) / 2.0);
    if (align == LICE_TextStyle::kFar) x = double(r) - width;
    // The text turns about its top-left corner; the baseline lies `ascent`
    // below it, perpendicular to the writing direction (y grows downwards).
    const double c = std::cos(angle), s = std::sin(angle);
    const double baseX = x + ascent * s, baseY = t + ascent * c;
    const long originX = std::lround(std::floor(baseX)), originY = std::lround(std::floor(baseY));

    FT_Matrix rotation = {static_cast<FT_Fixed>(std::lround(c * 65536.0)),
                          static_cast<FT_Fixed>(std::lround(-s * 65536.0)),
                          static_cast<FT_Fixed>(std::lround(s * 65536.0)),
                          static_cast<FT_Fixed>(std::lround(c * 65536.0))};
    // The pen in FreeType's y-up 26.6 space, relative to the origin pixel.
    FT_Vector pen = {static_cast<FT_Pos>(std::lround((baseX - originX) * 64.0)),
                     static_cast<FT_Pos>(std::lround(-(baseY - originY) * 64.0))};
    for (char32_t ch : text) {
      // A glyph moved by whole pixels rasterises to the same coverage moved
      // by as many pixels, so images are kept per sub-pixel phase of the pen.
      // A synthetic slant shears x by y, so there whole rows count too.
      const FT_Vector whole = {FloorPixels(pen.x), slantSynthetic ? 0 : FloorPixels(pen.y)};
      const FT_Vector phase = {pen.x - whole.x * 64, pen.y - whole.y * 64};
      const GlyphImage* image = Image(rotation, ch, phase);
      if (image == nullptr) continue;
      Compose(dest, *image, originX + whole.x + image->left, originY - whole.y - image->top,
              colour);
      pen.x += image->advance.x;
      pen.y += image->advance.y;
    }
  }

  bool MeasureText(const char* utf8, int* width, int* height) override {
    const std::u32string text = DecodeUtf8(utf8);
    std::lock_guard<std::mutex> hold(mutex);
    *width = static_cast<int>((Advance(text) + 63) / 64);
    *height = cellHeight;
    return true;
  }

 private:
  bool LoadGlyph(char32_t ch) {
    const FT_UInt glyph = FT_Get_Char_Index(face, ch);
    const FT_Int32 target = monochrome ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT | target) != 0) return false;
    if (emboldenSynthetic) FT_GlyphSlot_Embolden(face->glyph);
    if (slantSynthetic) FT_GlyphSlot_Oblique(face->glyph);
    return true;
  }

  bool Render() {
    return FT_Render_Glyph(face->glyph, monochrome ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) ==
           0;
  }

  // A rendered glyph: coverage 0..255 per pixel, placed relative to the pen's
  // whole pixel, and the turned advance. `drawn` is false when FreeType could
  // not load or render it; such a glyph is skipped without moving the pen.
  struct GlyphImage {
    bool drawn = false;
    long left = 0, top = 0;
    unsigned width = 0, rows = 0;
    std::vector<unsigned char> coverage;
    FT_Vector advance = {0, 0};
  };

  static FT_Pos FloorPixels(FT_Pos v) { return v >= 0 ? v / 64 : -((-v + 63) / 64); }

  // Keeps memory bounded whatever text is typed into the editor.
  static constexpr std::size_t kMaxCachedGlyphs = 4096;

  // The glyph drawn with the pen at this phase (0..63 per axis, or a whole
  // 26.6 offset in y for synthetic slants); built on first use. Caller holds
  // the lock.
  const GlyphImage* Image(FT_Matrix& rotation, char32_t ch, FT_Vector phase) {
    const GlyphKey key{ch, phase.x, phase.y};
    auto found = images.find(key);
    if (found == images.end()) {
      if (images.size() >= kMaxCachedGlyphs) images.clear();
      found = images.emplace(key, Rasterise(rotation, ch, phase)).first;
    }
    return found->second.drawn ? &found->second : nullptr;
  }

  GlyphImage Rasterise(FT_Matrix& rotation, char32_t ch, FT_Vector phase) {
    GlyphImage image;
    FT_Set_Transform(face, &rotation, &phase);
    const bool drawn = LoadGlyph(ch) && Render();
    FT_Set_Transform(face, nullptr, nullptr);
    if (!drawn) return image;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    image.drawn = true;
    image.left = slot->bitmap_left;
    image.top = slot->bitmap_top;
    image.advance = slot->advance;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (bitmap.buffer == nullptr || bitmap.pitch <= 0) return image;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return image;
    image.width = bitmap.width;
    image.rows = bitmap.rows;
    image.coverage.resize(static_cast<std::size_t>(bitmap.width) * bitmap.rows);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* bits = bitmap.buffer + static_cast<std::size_t>(row) * bitmap.pitch;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        image.coverage[static_cast<std::size_t>(row) * bitmap.width + column] =
            mono ? static_cast<unsigned char>(((bits[column >> 3] >> (7 - (column & 7))) & 1) * 255)
                 : bits[column];
      }
    }
    return image;
  }

  // The unrotated advance in 26.6 pixels, or nothing for a glyph FreeType
  // cannot load. Caller holds the lock.
  FT_Pos Advance(char32_t ch) {
    auto found = advances.find(ch);
    if (found == advances.end()) {
      if (advances.size() >= kMaxCachedGlyphs) advances.clear();
      FT_Set_Transform(face, nullptr, nullptr);
      found = advances.emplace(ch, LoadGlyph(ch) ? face->glyph->advance.x : 0).first;
    }
    return found->second;
  }

  // Sum of the unrotated advances in 26.6 pixels. Caller holds the lock.
  FT_Pos Advance(const std::u32string& text) {
    FT_Pos total = 0;
    for (char32_t ch : text) total += Advance(ch);
    return total;
  }

  // Blends the glyph's coverage, scaled by the colour's alpha, over dest.
  static void Compose(LICE_IBitmap* dest, const GlyphImage& glyph, long left, long top,
                      LICE_pixel colour) {
    const int colourAlpha = LICE_GETA(colour);
    for (unsigned row = 0; row < glyph.rows; ++row) {
      const long y = top + static_cast<long>(row);
      if (y < 0 || y >= dest->getHeight()) continue;
      const unsigned char* coverage =
          glyph.coverage.data() + static_cast<std::size_t>(row) * glyph.width;
      for (unsigned column = 0; column < glyph.width; ++column) {
        const long x = left + static_cast<long>(column);
        if (x < 0 || x >= dest->getWidth()) continue;
        const int alpha = (coverage[column] * colourAlpha + 127) / 255;
        if (alpha == 0) continue;
        LICE_FillRect(dest, static_cast<int>(x), static_cast<int>(y), 1, 1,
                      (colour & 0x00FFFFFFu) | (static_cast<LICE_pixel>(alpha) << 24));
      }
    }
  }

  struct GlyphKey {
    char32_t ch;
    FT_Pos x, y;
    bool operator==(const GlyphKey& o) const { return ch == o.ch && x == o.x && y == o.y; }
  };
  struct GlyphKeyHash {
    std::size_t operator()(const GlyphKey& k) const {
      return std::hash<std::uint64_t>()((std::uint64_t(k.ch) << 32) ^ (std::uint64_t(k.x) << 16) ^
                                        std::uint64_t(k.y));
    }
  };
  std::unordered_map<GlyphKey, GlyphImage, GlyphKeyHash> images;
  std::unordered_map<char32_t, FT_Pos> advances;

  std::mutex mutex;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool emboldenSynthetic = false;
  bool slantSynthetic = false;
  bool monochrome = false;
  double angle = 0.0;
  int ascent = 0;
  int cellHeight = 0;
};

}  // namespace

LICE_CachedFont* LICE_CachedFont::Create(const LICE_TextStyle& style) {
  FreeTypeFont* font = new FreeTypeFont();
  if (!font->Open(style)) {
    delete font;
    return nullptr;
  }
  return font;
}
