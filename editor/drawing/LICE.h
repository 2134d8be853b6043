#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The editor's drawing layer: 32-bit bitmaps, blits, fills and text.
//
// Pixels are straight (not premultiplied) alpha. A pixel is the native 32-bit
// value 0xAARRGGBB, which on little-endian machines is the byte order B, G, R, A
// of a Windows top-down DIB section, so system bitmaps need no conversion.
typedef uint32_t LICE_pixel;

#define LICE_RGBA(r, g, b, a)                                                   \
  ((LICE_pixel)((((uint32_t)(a)&0xFFu) << 24) | (((uint32_t)(r)&0xFFu) << 16) | \
                (((uint32_t)(g)&0xFFu) << 8) | ((uint32_t)(b)&0xFFu)))
#define LICE_GETA(p) ((int)(((LICE_pixel)(p) >> 24) & 0xFFu))
#define LICE_GETR(p) ((int)(((LICE_pixel)(p) >> 16) & 0xFFu))
#define LICE_GETG(p) ((int)(((LICE_pixel)(p) >> 8) & 0xFFu))
#define LICE_GETB(p) ((int)((LICE_pixel)(p)&0xFFu))

// Largest width or height of any bitmap; also the limit for decoded images.
constexpr int kLiceMaxBitmapSide = 8192;

class LICE_IBitmap {
 public:
  virtual ~LICE_IBitmap() {}
  // Row 0 is the top row; a row is getRowSpan() pixels apart from the next.
  // nullptr for an empty bitmap.
  virtual LICE_pixel* getBits() = 0;
  const LICE_pixel* getBits() const { return const_cast<LICE_IBitmap*>(this)->getBits(); }
  virtual int getWidth() const = 0;
  virtual int getHeight() const = 0;
  virtual int getRowSpan() const = 0;
  // New size with every pixel transparent black. False (and the bitmap empty)
  // for a negative size, a side above kLiceMaxBitmapSide or no memory.
  virtual bool resize(int w, int h) = 0;
  // The system device context (HDC) of a Windows system bitmap, else nullptr.
  virtual void* getDC() { return nullptr; }
};

// Pixels in ordinary memory.
class LICE_MemBitmap : public LICE_IBitmap {
 public:
  LICE_MemBitmap(int w = 0, int h = 0);
  LICE_pixel* getBits() override { return pixels.empty() ? nullptr : pixels.data(); }
  int getWidth() const override { return width; }
  int getHeight() const override { return height; }
  int getRowSpan() const override { return width; }
  bool resize(int w, int h) override;

 private:
  std::vector<LICE_pixel> pixels;
  int width = 0;
  int height = 0;
};

// Pixels the system can draw into as well: on Windows a DIB section selected
// into a memory device context of its own; elsewhere plain memory.
class LICE_SysBitmap : public LICE_IBitmap {
 public:
  LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* getBits() override { return bits; }
  int getWidth() const override { return width; }
  int getHeight() const override { return height; }
  int getRowSpan() const override { return width; }
  bool resize(int w, int h) override;
  void* getDC() override { return objects.dc; }

 private:
  void Release();

  LICE_pixel* bits = nullptr;
  int width = 0;
  int height = 0;
  // The system's objects on Windows; elsewhere the pixels are plain memory.
  struct SystemObjects {
    void* dc = nullptr;        // HDC
    void* bitmap = nullptr;    // HBITMAP
    void* previous = nullptr;  // the DC's bitmap before ours was selected
  } objects;
};

// How a blit combines a source pixel S with a destination pixel D. The blend
// weight w (0..1) scales the source: its effective alpha is
// a = round(alpha(S) * w), and for Clobber a = round(255 * w). Per colour
// channel, with all divisions by 255 rounded to nearest:
//   None        D' = (S * a + D * (255 - a)) / 255                (source-over)
//   Clobber     every channel, alpha included: D' = (S * a + D * (255 - a)) / 255,
//               which is a plain copy at w = 1 whatever the source alpha
//   Add         D' = min(255, D + S * a / 255)
//   ColorDodge  D' = (dodge * a + D * (255 - a)) / 255 with
//               dodge = min(255, D * 255 / (255 - S)), 255 when S = 255 and D > 0
// For None, Add and ColorDodge the alpha channel is source-over:
//   alpha(D') = a + alpha(D) * (255 - a) / 255.
enum class LICE_Blend { None, Clobber, Add, ColorDodge };

// Copies the w x h block at (srcx, srcy) of src to (dstx, dsty) of dest.
// Clipped to both bitmaps; never reads or writes outside either.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int w, int h, float weight, LICE_Blend mode);

// Fills the rectangle with the colour using the colour's own alpha
// (source-over as LICE_Blend::None at weight 1), clipped to the bitmap.
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour);

// ---- Text ----

struct LICE_TextStyle {
  const char* face = "Verdana";
  int size = 12;  // font height in pixels (the full cell, as a Windows font height)
  LICE_pixel colour = LICE_RGBA(0, 0, 0, 255);  // alpha < 255 blends the text
  bool bold = false;
  bool italic = false;
  enum Align { kNear, kCentre, kFar } align = kCentre;
  int orientation = 0;  // degrees, counter-clockwise
  enum Quality { kDefault, kNonAntialiased, kAntialiased, kClearType } quality = kDefault;
};

// A font as the system renders it. Created only by the font cache.
class LICE_IFont {
 public:
  virtual ~LICE_IFont() {}
  // Draws UTF-8 text in the colour with the alignment, from the top of
  // [l, t, r, b); see LICE_DrawText.
  virtual void DrawText(LICE_IBitmap* dest, const char* utf8, LICE_pixel colour,
                        LICE_TextStyle::Align align, int l, int t, int r, int b) = 0;
  // The width and height the text needs; false when it cannot be measured.
  virtual bool MeasureText(const char* utf8, int* width, int* height) = 0;
};

// The font the cache keeps for one (size, orientation, style, face) key. Its
// platform part lives in the platform's text file.
class LICE_CachedFont : public LICE_IFont {
 public:
  // nullptr when the system has no font for the style.
  static LICE_CachedFont* Create(const LICE_TextStyle& style);
};

// The process-wide font for a style, created on first use, guarded by the font
// cache's own lock. Valid until the library unloads; nullptr when the system
// cannot make the font.
LICE_CachedFont* LICE_GetCachedFont(const LICE_TextStyle& style);

// Draws UTF-8 text in the rectangle [l,t,r,b): horizontal alignment per style,
// always from the top; no clipping to the rectangle (clipped to the bitmap).
// Empty text draws nothing.
void LICE_DrawText(LICE_IBitmap* dest, const LICE_TextStyle& style, const char* utf8, int l, int t,
                   int r, int b);
// Computes the size the text needs (Windows under Wine: our own glyph measure).
bool LICE_MeasureText(const LICE_TextStyle& style, const char* utf8, int* width, int* height);
