#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "editor/drawing/LICE.h"

// Text comes from the system's font rasteriser, so positions are checked with
// a little tolerance; colours are exact.
namespace {

constexpr LICE_pixel kWhite = LICE_RGBA(255, 255, 255, 255);
constexpr int kSlack = 2;  // pixels of overhang allowed around the measured box

struct Ink {
  int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
  int count = 0;
  int strongest = 0;     // the largest coverage seen, 0..255
  bool foreign = false;  // a changed pixel that is not white blended with red
  bool partial = false;  // a pixel between background and full colour
};

// Paints white, draws, and describes every pixel the text changed.
Ink DrawOnWhite(const LICE_TextStyle& style, const char* text, int l, int t, int r, int b,
                int width = 240, int height = 80) {
  LICE_MemBitmap bitmap(width, height);
  LICE_FillRect(&bitmap, 0, 0, width, height, kWhite);
  LICE_DrawText(&bitmap, style, text, l, t, r, b);
  Ink ink;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const LICE_pixel p = bitmap.getBits()[y * bitmap.getRowSpan() + x];
      if (p == kWhite) continue;
      ++ink.count;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x + 1);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y + 1);
      // Red over white keeps red at 255 and lowers green and blue together.
      if (LICE_GETR(p) != 255 || LICE_GETG(p) != LICE_GETB(p) || LICE_GETA(p) != 255) {
        ink.foreign = true;
      }
      const int coverage = 255 - LICE_GETG(p);
      ink.strongest = std::max(ink.strongest, coverage);
      if (coverage != 255) ink.partial = true;
    }
  }
  return ink;
}

LICE_TextStyle Red(const char* face, int size) {
  LICE_TextStyle style;
  style.face = face;
  style.size = size;
  style.colour = LICE_RGBA(255, 0, 0, 255);
  return style;
}

TEST(Text, EachAlignmentDrawsInTheTextColourWithinItsSpanFromTheTop) {
  const int l = 20, t = 12, r = 220, b = 70;
  for (const char* face : {"Arial", "Verdana"}) {
    LICE_TextStyle style = Red(face, 20);
    int w = 0, h = 0;
    ASSERT_TRUE(LICE_MeasureText(style, "Hello", &w, &h)) << face;
    EXPECT_NEAR(h, 20, 2) << face;
    EXPECT_GT(w, 30) << face;
    EXPECT_LT(w, 80) << face;
    for (auto align : {LICE_TextStyle::kNear, LICE_TextStyle::kCentre, LICE_TextStyle::kFar}) {
      style.align = align;
      const int x0 = align == LICE_TextStyle::kNear     ? l
                     : align == LICE_TextStyle::kCentre ? l + (r - l - w) / 2
                                                        : r - w;
      const Ink ink = DrawOnWhite(style, "Hello", l, t, r, b);
      SCOPED_TRACE(std::string(face) + " alignment " + std::to_string(align));
      ASSERT_GT(ink.count, 20);
      EXPECT_FALSE(ink.foreign);
      EXPECT_EQ(ink.strongest, 255);  // stems are fully covered
      EXPECT_GE(ink.left, x0 - kSlack);
      EXPECT_LE(ink.right, x0 + w + kSlack);
      EXPECT_GE(ink.right - ink.left, w * 3 / 4);  // the measure matches the drawing
      EXPECT_GE(ink.top, t);                       // drawn from the top...
      EXPECT_LE(ink.top, t + h / 2);               // ...not from the middle or bottom
      EXPECT_LE(ink.bottom, t + h + 1);
    }
  }
}

TEST(Text, TranslucentColourScalesCoverageAndMonochromeHasNoGreyEdges) {
  LICE_TextStyle style = Red("Arial", 24);
  style.colour = LICE_RGBA(255, 0, 0, 128);
  const Ink half = DrawOnWhite(style, "Wave", 10, 10, 230, 70);
  ASSERT_GT(half.count, 20);
  EXPECT_FALSE(half.foreign);
  EXPECT_NEAR(half.strongest, 128, 1);

  style.colour = LICE_RGBA(255, 0, 0, 255);
  EXPECT_TRUE(DrawOnWhite(style, "Wave", 10, 10, 230, 70).partial);  // smoothed edges
  style.quality = LICE_TextStyle::kNonAntialiased;
  const Ink mono = DrawOnWhite(style, "Wave", 10, 10, 230, 70);
  ASSERT_GT(mono.count, 20);
  EXPECT_FALSE(mono.foreign);
  EXPECT_FALSE(mono.partial);
}

TEST(Text, MeasureFollowsTheTextAndTheStyle) {
  const LICE_TextStyle regular = Red("Verdana", 12);
  int empty = -1, h = 0, shortText = 0, longText = 0;
  ASSERT_TRUE(LICE_MeasureText(regular, "", &empty, &h));
  EXPECT_EQ(empty, 0);
  ASSERT_TRUE(LICE_MeasureText(regular, "1.1", &shortText, &h));
  ASSERT_TRUE(LICE_MeasureText(regular, "1.1.1 (64-bit)", &longText, &h));
  EXPECT_GT(shortText, 0);
  EXPECT_GT(longText, shortText * 3);

  LICE_TextStyle bold = regular, big = regular;
  bold.bold = true;
  big.size = 24;
  int regularW = 0, boldW = 0, bigW = 0, bigH = 0;
  ASSERT_TRUE(LICE_MeasureText(regular, "Vocoder", &regularW, &h));
  ASSERT_TRUE(LICE_MeasureText(bold, "Vocoder", &boldW, &h));
  ASSERT_TRUE(LICE_MeasureText(big, "Vocoder", &bigW, &bigH));
  EXPECT_GT(boldW, regularW);
  EXPECT_NEAR(bigW, 2 * regularW, regularW / 4);
  EXPECT_NEAR(bigH, 24, 2);
}

TEST(Text, Utf8AndDamagedTextAreDrawnAndEmptyTextIsNot) {
  const LICE_TextStyle style = Red("Arial", 16);
  EXPECT_EQ(DrawOnWhite(style, "", 10, 10, 200, 40).count, 0);
  int ascii = 0, accented = 0, h = 0;
  ASSERT_TRUE(LICE_MeasureText(style, "Gre", &ascii, &h));
  ASSERT_TRUE(LICE_MeasureText(style,
                               "Gr\xC3\xBC\xC3\x9F"
                               "e",
                               &accented, &h));  // "Grüße"
  EXPECT_GT(accented, ascii);
  // Two characters, not four bytes' worth of glyphs: "ü" is about as wide as "u".
  int u = 0, uUmlaut = 0;
  ASSERT_TRUE(LICE_MeasureText(style, "u", &u, &h));
  ASSERT_TRUE(LICE_MeasureText(style, "\xC3\xBC", &uUmlaut, &h));
  EXPECT_NEAR(uUmlaut, u, 1);
  // Broken sequences, a lone continuation byte, an overlong form and a cut-off
  // sequence at the end: drawn as something, never read past the terminator.
  for (const char* damaged : {"a\xC3", "\x80z", "\xC0\xAF", "ab\xE2\x82", "\xF4\x90\x80\x80"}) {
    const Ink ink = DrawOnWhite(style, damaged, 10, 10, 200, 40);
    EXPECT_FALSE(ink.foreign) << damaged;
    int w = 0;
    EXPECT_TRUE(LICE_MeasureText(style, damaged, &w, &h));
  }
}

TEST(Text, TextCrossingTheBitmapEdgesIsClippedToIt) {
  const LICE_TextStyle style = Red("Arial", 30);
  for (auto origin : {std::make_pair(-15, -12), std::make_pair(30, 20), std::make_pair(-500, 5),
                      std::make_pair(INT_MIN / 2, INT_MIN / 2), std::make_pair(INT_MAX / 2, 0)}) {
    const Ink ink = DrawOnWhite(style, "Edge", origin.first, origin.second, origin.first + 100,
                                origin.second + 40, 40, 30);
    EXPECT_FALSE(ink.foreign);
  }
  EXPECT_GT(DrawOnWhite(style, "Edge", -15, -12, 85, 28, 40, 30).count, 0);
  // Rectangles spanning the whole coordinate range, in every alignment.
  LICE_TextStyle wide = style;
  for (auto align : {LICE_TextStyle::kNear, LICE_TextStyle::kCentre, LICE_TextStyle::kFar}) {
    wide.align = align;
    EXPECT_FALSE(DrawOnWhite(wide, "Edge", INT_MIN, 0, INT_MAX, 30, 40, 30).foreign);
    EXPECT_FALSE(DrawOnWhite(wide, "Edge", INT_MAX, INT_MIN, INT_MIN, INT_MAX, 40, 30).foreign);
  }
}

TEST(Text, RotatedTextIsDrawn) {
  LICE_TextStyle style = Red("Arial", 16);
  style.orientation = 90;  // reads bottom to top
  style.align = LICE_TextStyle::kNear;
  const Ink ink = DrawOnWhite(style, "Rotate", 40, 70, 200, 80, 120, 80);
  ASSERT_GT(ink.count, 10);
  EXPECT_FALSE(ink.foreign);
  EXPECT_GT(ink.bottom - ink.top, ink.right - ink.left);  // taller than wide
}

TEST(Text, OneFontPerStyleIsSharedByAllThreads) {
  LICE_TextStyle style = Red("Arial", 14);
  style.italic = true;
  LICE_TextStyle other = style;
  other.size = 15;
  LICE_CachedFont* fonts[4][2] = {};
  int counts[4] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      LICE_MemBitmap bitmap(100, 30);
      for (int round = 0; round < 20; ++round) {
        fonts[i][0] = LICE_GetCachedFont(style);
        fonts[i][1] = LICE_GetCachedFont(other);
        LICE_DrawText(&bitmap, round % 2 ? style : other, "Shared", 0, 0, 100, 30);
      }
      for (int p = 0; p < 100 * 30; ++p) counts[i] += bitmap.getBits()[p] != 0;
    });
  }
  for (std::thread& t : threads) t.join();
  ASSERT_NE(fonts[0][0], nullptr);
  EXPECT_NE(fonts[0][0], fonts[0][1]);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(fonts[i][0], fonts[0][0]);
    EXPECT_EQ(fonts[i][1], fonts[0][1]);
    EXPECT_EQ(counts[i], counts[0]);  // the same drawing in every thread
  }
  EXPECT_GT(counts[0], 0);
}

}  // namespace
