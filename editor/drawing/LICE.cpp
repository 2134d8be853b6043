#include "editor/drawing/LICE.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

bool SizeIsSane(int w, int h) {
  return w >= 0 && h >= 0 && w <= kLiceMaxBitmapSide && h <= kLiceMaxBitmapSide;
}

// x / 255 rounded to nearest, for 0 <= x <= 255 * 255 * 2.
inline uint32_t Div255(uint32_t x) { return (x + 127u) / 255u; }

inline uint32_t Mix(uint32_t s, uint32_t d, uint32_t a) { return Div255(s * a + d * (255u - a)); }

inline uint32_t OverAlpha(uint32_t da, uint32_t a) { return a + Div255(da * (255u - a)); }

inline uint32_t Dodge(uint32_t d, uint32_t s) {
  if (s == 255u) return d == 0u ? 0u : 255u;
  const uint32_t m = 255u - s;
  return std::min<uint32_t>(255u, (d * 255u + m / 2u) / m);
}

inline LICE_pixel Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t ScaledAlpha(uint32_t alpha, float weight) {
  const float w = std::isnan(weight) ? 0.0f : std::min(1.0f, std::max(0.0f, weight));
  return static_cast<uint32_t>(std::lround(static_cast<double>(alpha) * w));
}

// Every source alpha scaled by one weight, worked out once per blit: rounding
// per pixel cost most of a full editor redraw.
struct AlphaScale {
  explicit AlphaScale(float weight) {
    for (uint32_t a = 0; a < 256u; ++a) scaled[a] = static_cast<uint8_t>(ScaledAlpha(a, weight));
  }
  uint32_t operator()(uint32_t alpha) const { return scaled[alpha]; }
  uint8_t scaled[256];
};

// The mode is a template argument so that each row's loop has no switch.
template <LICE_Blend mode>
LICE_pixel BlendPixel(LICE_pixel s, LICE_pixel d, const AlphaScale& scale) {
  const uint32_t sr = LICE_GETR(s), sg = LICE_GETG(s), sb = LICE_GETB(s), sa = LICE_GETA(s);
  const uint32_t dr = LICE_GETR(d), dg = LICE_GETG(d), db = LICE_GETB(d), da = LICE_GETA(d);
  if constexpr (mode == LICE_Blend::Clobber) {
    const uint32_t a = scale(255u);
    if (a == 255u) return s;
    return Pack(Mix(sr, dr, a), Mix(sg, dg, a), Mix(sb, db, a), Mix(sa, da, a));
  } else if constexpr (mode == LICE_Blend::Add) {
    const uint32_t a = scale(sa);
    return Pack(std::min(255u, dr + Div255(sr * a)), std::min(255u, dg + Div255(sg * a)),
                std::min(255u, db + Div255(sb * a)), OverAlpha(da, a));
  } else if constexpr (mode == LICE_Blend::ColorDodge) {
    const uint32_t a = scale(sa);
    return Pack(Mix(Dodge(dr, sr), dr, a), Mix(Dodge(dg, sg), dg, a), Mix(Dodge(db, sb), db, a),
                OverAlpha(da, a));
  } else {
    const uint32_t a = scale(sa);
    // Opaque and clear pixels, most of any artwork, come out exactly as the
    // mix below would give them.
    if (a == 255u) return Pack(sr, sg, sb, 255u);
    if (a == 0u) return d;
    return Pack(Mix(sr, dr, a), Mix(sg, dg, a), Mix(sb, db, a), OverAlpha(da, a));
  }
}

template <LICE_Blend mode>
void BlendRow(const LICE_pixel* s, LICE_pixel* d, int64_t n, const AlphaScale& scale) {
  for (int64_t x = 0; x < n; ++x) d[x] = BlendPixel<mode>(s[x], d[x], scale);
}

void BlendRow(const LICE_pixel* s, LICE_pixel* d, int64_t n, const AlphaScale& scale,
              LICE_Blend mode) {
  switch (mode) {
    case LICE_Blend::Clobber:
      // At full weight, as every background is drawn, clobbering is copying.
      if (scale(255u) == 255u) {
        std::copy(s, s + n, d);
        return;
      }
      return BlendRow<LICE_Blend::Clobber>(s, d, n, scale);
    case LICE_Blend::Add:
      return BlendRow<LICE_Blend::Add>(s, d, n, scale);
    case LICE_Blend::ColorDodge:
      return BlendRow<LICE_Blend::ColorDodge>(s, d, n, scale);
    case LICE_Blend::None:
    default:
      return BlendRow<LICE_Blend::None>(s, d, n, scale);
  }
}

// Cuts [pos, pos + len) to [0, limit); moves `other` along with the start.
// Works in 64 bits so that no coordinate the caller passes can overflow.
void ClipSpan(int64_t* pos, int64_t* other, int64_t* len, int64_t limit) {
  if (*pos < 0) {
    *other -= *pos;
    *len += *pos;
    *pos = 0;
  }
  if (*pos + *len > limit) *len = limit - *pos;
}

}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h) { resize(w, h); }

bool LICE_MemBitmap::resize(int w, int h) {
  pixels.clear();
  width = height = 0;
  if (!SizeIsSane(w, h)) return false;
  try {
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0u);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width = w;
  height = h;
  return true;
}

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
               int w, int h, float weight, LICE_Blend mode) {
  if (dest == nullptr || src == nullptr || dest->getBits() == nullptr ||
      src->getBits() == nullptr) {
    return;
  }
  int64_t dx = dstx, dy = dsty, sx = srcx, sy = srcy, cw = w, ch = h;
  ClipSpan(&dx, &sx, &cw, dest->getWidth());
  ClipSpan(&sx, &dx, &cw, src->getWidth());
  ClipSpan(&dy, &sy, &ch, dest->getHeight());
  ClipSpan(&sy, &dy, &ch, src->getHeight());
  if (cw <= 0 || ch <= 0) return;

  const LICE_pixel* srcRow = src->getBits() + sy * src->getRowSpan() + sx;
  LICE_pixel* dstRow = dest->getBits() + dy * dest->getRowSpan() + dx;
  // Blitting a bitmap onto itself: walk rows from the far end when the
  // target lies below, and copy each row first so overlap cannot smear.
  const bool same = src == dest;
  const AlphaScale scale(weight);
  std::vector<LICE_pixel> rowCopy(same ? static_cast<std::size_t>(cw) : 0u);
  int64_t rowStep = 1;
  if (same && dy > sy) {
    srcRow += (ch - 1) * src->getRowSpan();
    dstRow += (ch - 1) * dest->getRowSpan();
    rowStep = -1;
  }
  for (int64_t y = 0; y < ch; ++y) {
    const LICE_pixel* s = srcRow;
    if (same) {
      std::copy(srcRow, srcRow + cw, rowCopy.begin());
      s = rowCopy.data();
    }
    BlendRow(s, dstRow, cw, scale, mode);
    srcRow += rowStep * src->getRowSpan();
    dstRow += rowStep * dest->getRowSpan();
  }
}

void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel colour) {
  if (dest == nullptr || dest->getBits() == nullptr) return;
  int64_t fx = x, fy = y, fw = w, fh = h, unused = 0;
  ClipSpan(&fx, &unused, &fw, dest->getWidth());
  ClipSpan(&fy, &unused, &fh, dest->getHeight());
  if (fw <= 0 || fh <= 0) return;
  // Text composes glyphs one pixel at a time through here: build the
  // full-weight scale once.
  static const AlphaScale scale(1.0f);
  for (int64_t row = 0; row < fh; ++row) {
    LICE_pixel* p = dest->getBits() + (fy + row) * dest->getRowSpan() + fx;
    for (int64_t i = 0; i < fw; ++i) p[i] = BlendPixel<LICE_Blend::None>(colour, p[i], scale);
  }
}
