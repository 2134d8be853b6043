#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "editor/drawing/BitmapCache.h"

// The images are written by make_png_fixtures.py; the pixel formulas below are
// the ones it uses.
namespace {

constexpr int kW = 11;
constexpr int kH = 7;

int Red(int x, int y) { return (x * 23 + y * 5) % 256; }
int Green(int x, int y) { return (x * 7 + y * 31 + 3) % 256; }
int Blue(int x, int y) { return (x * 13 + y * 17 + 100) % 256; }
int Alpha(int x, int y) { return (x * 29 + y * 41 + 7) % 256; }
int Grey(int x, int y) { return (x * 19 + y * 37 + 11) % 256; }
int Index(int x, int y) { return (x + 2 * y) % 4; }
int Grey4(int x, int y) { return (x + 3 * y) % 16; }

const LICE_pixel kPalette[4] = {LICE_RGBA(255, 0, 0, 0), LICE_RGBA(0, 200, 0, 0),
                                LICE_RGBA(10, 20, 250, 0), LICE_RGBA(128, 128, 128, 0)};
const int kPaletteAlpha[4] = {255, 128, 0, 255};

std::vector<unsigned char> ReadFixture(const std::string& name) {
  std::ifstream in(std::string(REDI_FIXTURES_DIR) + "/png/" + name + ".png", std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

std::unique_ptr<LICE_IBitmap> Decode(const std::string& name) {
  std::vector<unsigned char> bytes = ReadFixture(name);
  // A copy of exactly the file's size, so that the sanitizers see any read
  // past its end.
  std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromMemory(exact.get(), bytes.size()));
}

template <typename Expected>
void ExpectPixels(const std::string& name, Expected expected) {
  std::unique_ptr<LICE_IBitmap> bitmap = Decode(name);
  ASSERT_NE(bitmap, nullptr) << name;
  ASSERT_EQ(bitmap->getWidth(), kW) << name;
  ASSERT_EQ(bitmap->getHeight(), kH) << name;
  int wrong = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const LICE_pixel got = bitmap->getBits()[y * bitmap->getRowSpan() + x];
      const LICE_pixel want = expected(x, y);
      if (got != want && wrong++ < 5) {
        ADD_FAILURE() << name << " at " << x << "," << y << ": got " << std::hex << got << " want "
                      << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << name;
}

TEST(PngDecode, ColourImagesKeepTheirChannelsAndGainOpaqueAlpha) {
  auto rgb = [](int x, int y) { return LICE_RGBA(Red(x, y), Green(x, y), Blue(x, y), 255); };
  auto rgba = [](int x, int y) {
    return LICE_RGBA(Red(x, y), Green(x, y), Blue(x, y), Alpha(x, y));
  };
  ExpectPixels("rgb", rgb);
  ExpectPixels("rgba", rgba);
  ExpectPixels("rgba16", rgba);  // 16-bit samples v * 257 come back as v
  ExpectPixels("interlaced", rgb);
}

TEST(PngDecode, GreyImagesBecomeColourWithTheirAlpha) {
  ExpectPixels("grey",
               [](int x, int y) { return LICE_RGBA(Grey(x, y), Grey(x, y), Grey(x, y), 255); });
  ExpectPixels("grey4", [](int x, int y) {
    const int v = Grey4(x, y) * 17;  // 4-bit grey scaled to the full range
    return LICE_RGBA(v, v, v, 255);
  });
  ExpectPixels("greyalpha", [](int x, int y) {
    return LICE_RGBA(Grey(x, y), Grey(x, y), Grey(x, y), Alpha(x, y));
  });
}

TEST(PngDecode, PalettesExpandWithAndWithoutTransparency) {
  ExpectPixels("palette", [](int x, int y) { return kPalette[Index(x, y)] | 0xFF000000u; });
  ExpectPixels("palette_trns", [](int x, int y) {
    return kPalette[Index(x, y)] | (static_cast<LICE_pixel>(kPaletteAlpha[Index(x, y)]) << 24);
  });
}

TEST(PngDecode, SidesUpTo8192AreAcceptedAndLargerOnesRefused) {
  std::unique_ptr<LICE_IBitmap> widest = Decode("wide_8192");
  ASSERT_NE(widest, nullptr);
  EXPECT_EQ(widest->getWidth(), 8192);
  EXPECT_EQ(Decode("wide_8193"), nullptr);
  EXPECT_EQ(Decode("huge"), nullptr);  // declares 100000 x 100000
}

TEST(PngDecode, DamagedOrForeignDataGivesNoBitmap) {
  for (const char* name : {"truncated", "no_iend", "bad_signature", "short", "bad_crc"}) {
    EXPECT_EQ(Decode(name), nullptr) << name;
  }
  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100), nullptr);
  std::vector<unsigned char> good = ReadFixture("rgba");
  // Every shorter prefix of a good file must be refused without reading past it.
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::unique_ptr<unsigned char[]> prefix(new unsigned char[size]);
    std::copy(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size), prefix.get());
    EXPECT_EQ(std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromMemory(prefix.get(), size)), nullptr)
        << size;
  }
}

}  // namespace
