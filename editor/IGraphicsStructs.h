#pragma once

#include <algorithm>

class LICE_IBitmap;

// A rectangle in window pixels. A point is inside when left <= x < right and
// top <= y < bottom; the all-zero rectangle is "no rectangle" and contains
// nothing.
struct IRECT {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

  bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  int W() const { return right - left; }
  int H() const { return bottom - top; }
  bool Contains(int x, int y) const {
    return !Empty() && x >= left && x < right && y >= top && y < bottom;
  }
  // True when the two share at least one pixel.
  bool Intersects(const IRECT& other) const {
    if (Empty() || other.Empty()) return false;
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
  // The smallest rectangle holding both; an empty one adds nothing.
  IRECT Union(const IRECT& other) const {
    if (Empty()) return other;
    if (other.Empty()) return *this;
    return IRECT(std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
                 std::max(bottom, other.bottom));
  }
  // The shared part, or the empty rectangle.
  IRECT Intersect(const IRECT& other) const {
    if (!Intersects(other)) return IRECT();
    return IRECT(std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                 std::min(bottom, other.bottom));
  }
  bool operator==(const IRECT& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const IRECT& o) const { return !(*this == o); }
};

// A colour as alpha, red, green, blue, each 0...255.
struct IColor {
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;

  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  bool operator!=(const IColor& o) const { return !(*this == o); }
};

// A text style: font, size, colours, style, alignment, orientation and
// rendering quality.
struct IText {
  enum EStyle { kStyleNormal, kStyleBold, kStyleItalic };
  enum EAlign { kAlignNear, kAlignCenter, kAlignFar };
  enum EQuality { kQualityDefault, kQualityNonAntiAliased, kQualityAntiAliased, kQualityClearType };
  static constexpr int kFontNameSize = 32;

  IText() = default;
  IText(int fontSize, const IColor& colour, const char* fontName = nullptr,
        EStyle fontStyle = kStyleNormal, EAlign alignment = kAlignCenter, int degrees = 0,
        EQuality renderQuality = kQualityDefault);
  void SetFont(const char* fontName);

  char font[kFontNameSize] = "Verdana";
  int size = 12;
  IColor color;  // opaque black
  IColor textEntryBGColor = IColor(255, 255, 255, 255);
  IColor textEntryFGColor;  // opaque black
  EStyle style = kStyleNormal;
  EAlign align = kAlignCenter;
  int orientation = 0;  // degrees
  EQuality quality = kQualityDefault;
  // The backend's font for this style, once made (the font cache owns it).
  void* cachedFont = nullptr;
};

// Mouse buttons and modifier keys held during a mouse event.
struct IMouseMod {
  bool L = false;  // left button
  bool R = false;  // right button
  bool S = false;  // Shift
  bool C = false;  // Ctrl
  bool A = false;  // Alt

  IMouseMod() = default;
  IMouseMod(bool left, bool right, bool shift = false, bool ctrl = false, bool alt = false)
      : L(left), R(right), S(shift), C(ctrl), A(alt) {}
};

// How a control's bitmap meets what is under it.
struct IChannelBlend {
  enum EBlendMethod { kBlendNone, kBlendClobber, kBlendAdd, kBlendColorDodge };

  EBlendMethod method = kBlendNone;
  float weight = 1.0f;

  IChannelBlend() = default;
  explicit IChannelBlend(EBlendMethod m, float w = 1.0f) : method(m), weight(w) {}
};

// A bitmap strip of N equal frames, stacked downwards unless horizontal. The
// bitmap cache owns the pixels.
// A bitmap in logical pixels (the editor at 100 %). `bitmap` holds the 100 %
// pixels; at other sizes the editor draws the same resource drawn for that
// size (resourceId, see IGraphics::LoadIBitmap).
struct IBitmap {
  LICE_IBitmap* bitmap = nullptr;
  int W = 0;  // the whole strip
  int H = 0;
  int N = 1;  // frames
  bool framesAreHorizontal = false;
  int resourceId = 0;  // 0: only the 100 % pixels exist

  IBitmap() = default;
  IBitmap(LICE_IBitmap* b, int w, int h, int frames = 1, bool horizontal = false)
      : bitmap(b), W(w), H(h), N(frames), framesAreHorizontal(horizontal) {}
  // One frame's size.
  int FrameW() const { return framesAreHorizontal && N > 0 ? W / N : W; }
  int FrameH() const { return !framesAreHorizontal && N > 0 ? H / N : H; }
};

enum EFileAction { kFileOpen, kFileSave };

// Message box types and answers carry the Windows numbers.
enum EMsgBoxType { kMB_OK = 0, kMB_YESNO = 4 };
enum EMsgBoxIcon { kMB_ICONERROR = 0x10, kMB_ICONINFORMATION = 0x40 };  // OR'ed into the type
enum EMsgBoxResult { kIDOK = 1, kIDYES = 6, kIDNO = 7 };
