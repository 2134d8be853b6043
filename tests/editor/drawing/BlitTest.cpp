#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "editor/drawing/LICE.h"

namespace {

// The blend rules, written with real arithmetic and rounding to nearest.
struct Channels {
  double a, r, g, b;
};

Channels Split(LICE_pixel p) {
  return {double(LICE_GETA(p)), double(LICE_GETR(p)), double(LICE_GETG(p)), double(LICE_GETB(p))};
}

int Round(double v) { return static_cast<int>(std::lround(v)); }

LICE_pixel Expected(LICE_pixel src, LICE_pixel dst, float weight, LICE_Blend mode) {
  const Channels s = Split(src), d = Split(dst);
  const double sc[3] = {s.r, s.g, s.b}, dc[3] = {d.r, d.g, d.b};
  int out[3];
  if (mode == LICE_Blend::Clobber) {
    const double a = Round(255.0 * weight);
    for (int i = 0; i < 3; ++i) out[i] = Round((sc[i] * a + dc[i] * (255 - a)) / 255);
    return LICE_RGBA(out[0], out[1], out[2], Round((s.a * a + d.a * (255 - a)) / 255));
  }
  const double a = Round(s.a * weight);
  for (int i = 0; i < 3; ++i) {
    if (mode == LICE_Blend::None) {
      out[i] = Round((sc[i] * a + dc[i] * (255 - a)) / 255);
    } else if (mode == LICE_Blend::Add) {
      out[i] = std::min(255, int(dc[i]) + Round(sc[i] * a / 255));
    } else {
      const double dodge =
          sc[i] == 255 ? (dc[i] > 0 ? 255 : 0) : std::min(255, Round(dc[i] * 255 / (255 - sc[i])));
      out[i] = Round((dodge * a + dc[i] * (255 - a)) / 255);
    }
  }
  return LICE_RGBA(out[0], out[1], out[2], Round(a + d.a * (255 - a) / 255));
}

LICE_pixel& At(LICE_IBitmap& b, int x, int y) { return b.getBits()[y * b.getRowSpan() + x]; }

void FillAll(LICE_IBitmap& b, LICE_pixel p) {
  for (int y = 0; y < b.getHeight(); ++y) {
    for (int x = 0; x < b.getWidth(); ++x) At(b, x, y) = p;
  }
}

// Source and destination pixels that exercise every branch: opaque,
// half and fully transparent sources, channel overflow in Add, the dodge's
// saturation at S = 255, transparent destinations.
const std::vector<std::pair<LICE_pixel, LICE_pixel>> kPairs = {
    {LICE_RGBA(200, 100, 50, 255), LICE_RGBA(10, 20, 30, 255)},
    {LICE_RGBA(200, 100, 50, 128), LICE_RGBA(10, 120, 230, 255)},
    {LICE_RGBA(90, 180, 255, 77), LICE_RGBA(250, 0, 128, 200)},
    {LICE_RGBA(255, 255, 255, 0), LICE_RGBA(40, 50, 60, 255)},
    {LICE_RGBA(255, 0, 255, 255), LICE_RGBA(0, 100, 200, 255)},
    {LICE_RGBA(254, 1, 128, 255), LICE_RGBA(3, 255, 100, 9)},
    {LICE_RGBA(17, 34, 51, 200), LICE_RGBA(0, 0, 0, 0)},
};

TEST(Blit, EveryBlendModeFollowsItsRuleAtFullAndQuarterWeight) {
  const int n = static_cast<int>(kPairs.size());
  LICE_MemBitmap src(n, 1), dst(n, 1);
  for (LICE_Blend mode :
       {LICE_Blend::None, LICE_Blend::Clobber, LICE_Blend::Add, LICE_Blend::ColorDodge}) {
    for (float weight : {1.0f, 0.25f}) {
      for (int i = 0; i < n; ++i) {
        At(src, i, 0) = kPairs[i].first;
        At(dst, i, 0) = kPairs[i].second;
      }
      LICE_Blit(&dst, &src, 0, 0, 0, 0, n, 1, weight, mode);
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(At(dst, i, 0), Expected(kPairs[i].first, kPairs[i].second, weight, mode))
            << "mode " << int(mode) << " weight " << weight << " pair " << i << std::hex << " got "
            << At(dst, i, 0);
      }
    }
  }
}

TEST(Blit, FullWeightCornerCases) {
  LICE_MemBitmap src(1, 1), dst(1, 1);
  // Clobber copies even a transparent source; source-over leaves the
  // destination alone under it.
  At(src, 0, 0) = LICE_RGBA(1, 2, 3, 0);
  At(dst, 0, 0) = LICE_RGBA(9, 9, 9, 255);
  LICE_Blit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, LICE_Blend::None);
  EXPECT_EQ(At(dst, 0, 0), LICE_RGBA(9, 9, 9, 255));
  LICE_Blit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, LICE_Blend::Clobber);
  EXPECT_EQ(At(dst, 0, 0), LICE_RGBA(1, 2, 3, 0));
  // A weight of zero (or out of range below) changes nothing.
  At(src, 0, 0) = LICE_RGBA(200, 200, 200, 255);
  At(dst, 0, 0) = LICE_RGBA(9, 9, 9, 255);
  for (LICE_Blend mode :
       {LICE_Blend::None, LICE_Blend::Clobber, LICE_Blend::Add, LICE_Blend::ColorDodge}) {
    LICE_Blit(&dst, &src, 0, 0, 0, 0, 1, 1, -3.0f, mode);
    EXPECT_EQ(At(dst, 0, 0), LICE_RGBA(9, 9, 9, 255)) << int(mode);
  }
}

TEST(Fill, BlendsTheColourWithItsAlphaInsideTheRectangleOnly) {
  LICE_MemBitmap b(6, 5);
  const LICE_pixel ground = LICE_RGBA(10, 200, 30, 255);
  FillAll(b, ground);
  const LICE_pixel colour = LICE_RGBA(250, 0, 100, 100);
  LICE_FillRect(&b, 1, 2, 3, 2, colour);
  const LICE_pixel blended = Expected(colour, ground, 1.0f, LICE_Blend::None);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
      EXPECT_EQ(At(b, x, y), inside ? blended : ground) << x << "," << y;
    }
  }
  // Opaque colours replace.
  LICE_FillRect(&b, 0, 0, 1, 1, LICE_RGBA(1, 2, 3, 255));
  EXPECT_EQ(At(b, 0, 0), LICE_RGBA(1, 2, 3, 255));
}

// Marks each pixel with its own position, so that a copy shows where it came from.
void Number(LICE_IBitmap& b) {
  for (int y = 0; y < b.getHeight(); ++y) {
    for (int x = 0; x < b.getWidth(); ++x) At(b, x, y) = LICE_RGBA(x, y, 7, 255);
  }
}

TEST(Clipping, BlitsAndFillsStayInsideBothBitmaps) {
  LICE_MemBitmap src(5, 4), dst(6, 6);
  Number(src);
  const LICE_pixel blank = LICE_RGBA(0, 0, 0, 0);

  // Destination off the top-left: the visible part starts one pixel into the source.
  FillAll(dst, blank);
  LICE_Blit(&dst, &src, -1, -1, 0, 0, 5, 4, 1.0f, LICE_Blend::Clobber);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool copied = x < 4 && y < 3;
      EXPECT_EQ(At(dst, x, y), copied ? LICE_RGBA(x + 1, y + 1, 7, 255) : blank) << x << "," << y;
    }
  }

  // Source block partly outside the source, destination partly outside the
  // destination, negative source offsets.
  FillAll(dst, blank);
  LICE_Blit(&dst, &src, 4, 3, -2, 1, 10, 10, 1.0f, LICE_Blend::Clobber);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      // dst (x, y) takes src (x - 6, y - 2), which exists only for x >= 6: none.
      EXPECT_EQ(At(dst, x, y), blank) << x << "," << y;
    }
  }
  LICE_Blit(&dst, &src, 3, 3, -1, 2, 10, 10, 1.0f, LICE_Blend::Clobber);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const int sx = x - 4, sy = y - 1;
      const bool copied = sx >= 0 && sx < 5 && sy >= 2 && sy < 4 && x >= 3 && y >= 3;
      EXPECT_EQ(At(dst, x, y), copied ? LICE_RGBA(sx, sy, 7, 255) : blank) << x << "," << y;
    }
  }

  // Extreme coordinates neither overflow nor touch anything outside.
  FillAll(dst, blank);
  const int extremes[] = {INT_MIN, -100000, -1, 0, 1, 5, 100000, INT_MAX};
  for (int a : extremes) {
    for (int b : extremes) {
      LICE_Blit(&dst, &src, a, b, b, a, INT_MAX, INT_MAX, 1.0f, LICE_Blend::Add);
      LICE_Blit(&dst, &src, a, 0, 0, b, a, b, 1.0f, LICE_Blend::None);
      LICE_FillRect(&dst, a, b, INT_MAX, b, LICE_RGBA(1, 1, 1, 1));
      LICE_FillRect(&dst, a, b, a, b, LICE_RGBA(1, 1, 1, 1));
    }
  }
  // Empty bitmaps are never written to.
  LICE_MemBitmap empty;
  LICE_Blit(&empty, &src, 0, 0, 0, 0, 5, 5, 1.0f, LICE_Blend::None);
  LICE_Blit(&dst, &empty, 0, 0, 0, 0, 5, 5, 1.0f, LICE_Blend::None);
  LICE_FillRect(&empty, 0, 0, 5, 5, LICE_RGBA(1, 1, 1, 255));
  EXPECT_EQ(empty.getBits(), nullptr);
}

TEST(Clipping, ABitmapBlitOntoItselfMovesItsPixelsWithoutSmearing) {
  LICE_MemBitmap b(5, 5), original(5, 5);
  for (int dx : {-1, 0, 2}) {
    for (int dy : {-2, 0, 1}) {
      Number(b);
      Number(original);
      LICE_Blit(&b, &b, dx, dy, 0, 0, 5, 5, 1.0f, LICE_Blend::Clobber);
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
          const int sx = x - dx, sy = y - dy;
          const bool moved = sx >= 0 && sx < 5 && sy >= 0 && sy < 5;
          EXPECT_EQ(At(b, x, y), moved ? At(original, sx, sy) : At(original, x, y))
              << dx << "," << dy << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(Bitmaps, ResizeGivesTransparentPixelsAndRefusesImpossibleSizes) {
  LICE_MemBitmap mem(3, 2);
  LICE_SysBitmap sys(3, 2);
  for (LICE_IBitmap* b : {static_cast<LICE_IBitmap*>(&mem), static_cast<LICE_IBitmap*>(&sys)}) {
    EXPECT_EQ(b->getWidth(), 3);
    EXPECT_EQ(b->getHeight(), 2);
    EXPECT_GE(b->getRowSpan(), 3);
    FillAll(*b, LICE_RGBA(5, 5, 5, 255));
    ASSERT_TRUE(b->resize(kLiceMaxBitmapSide, 2));
    EXPECT_EQ(b->getWidth(), kLiceMaxBitmapSide);
    EXPECT_EQ(At(*b, kLiceMaxBitmapSide - 1, 1), 0u);
    for (auto size : {std::make_pair(-1, 5), std::make_pair(5, -1),
                      std::make_pair(kLiceMaxBitmapSide + 1, 1), std::make_pair(1, INT_MAX)}) {
      EXPECT_FALSE(b->resize(size.first, size.second));
      EXPECT_EQ(b->getWidth(), 0);
      EXPECT_EQ(b->getBits(), nullptr);
    }
  }
}

}  // namespace
