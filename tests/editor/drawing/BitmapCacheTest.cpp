#include <gtest/gtest.h>

#include <memory>

#include "editor/drawing/BitmapCache.h"
#include "framework/platform/Resources.h"

namespace {

class BitmapCacheTest : public ::testing::Test {
 protected:
  void TearDown() override { EmptyBitmapCacheForTest(); }
};

TEST_F(BitmapCacheTest, OnlyNamesEndingInPngAreLoaded) {
  LICE_IBitmap* bitmap = new LICE_MemBitmap(2, 2);
  CacheBitmapForTest(500, bitmap);
  EXPECT_EQ(LoadCachedBitmap(500, "resources/img/knob.png"), bitmap);
  EXPECT_EQ(LoadCachedBitmap(500, "KNOB.PnG"), bitmap);
  for (const char* name : {"knob.bmp", "knob", "knob.png.bak", "png", "knob.apng", "knob.", ""}) {
    EXPECT_EQ(LoadCachedBitmap(500, name), nullptr) << name;
  }
  EXPECT_EQ(LoadCachedBitmap(500, nullptr), nullptr);
}

TEST_F(BitmapCacheTest, ABitmapIsLoadedOnceAndKeptUnderItsId) {
  LICE_IBitmap* first = new LICE_MemBitmap(1, 1);
  LICE_IBitmap* second = new LICE_MemBitmap(3, 1);
  CacheBitmapForTest(501, first);
  CacheBitmapForTest(502, second);
  EXPECT_EQ(LoadCachedBitmap(501, "a.png"), first);
  EXPECT_EQ(LoadCachedBitmap(502, "b.png"), second);
  EXPECT_EQ(LoadCachedBitmap(501, "other-name.png"), first);  // the id is the key
  CacheBitmapForTest(501, nullptr);
  EXPECT_EQ(LoadCachedBitmap(501, "a.png"), nullptr);  // no such resource
  EXPECT_EQ(LoadCachedBitmap(502, "b.png"), second);
}

TEST_F(BitmapCacheTest, MissingResourcesGiveNoBitmap) {
  for (int id : {0, -1, 15, 999, 70000}) EXPECT_EQ(LoadCachedBitmap(id, "x.png"), nullptr) << id;
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  EXPECT_FALSE(FindLibraryResourceById("PNG", 999, &data, &size));
  EXPECT_FALSE(FindLibraryResourceById(nullptr, 1, &data, &size));
  EXPECT_FALSE(FindLibraryResourceById("PROGDATA", 1, &data, &size));
}

// The editor's artwork, where the build found it: every bitmap compiled in
// must decode, and the cache must hand out the same one each time.
TEST_F(BitmapCacheTest, CompiledInBitmapsDecodeAndAreCached) {
  for (int id = 1; id <= 14; ++id) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!FindLibraryResourceById("PNG", id, &data, &size)) continue;
    std::unique_ptr<LICE_IBitmap> decoded(LICE_LoadPNGFromMemory(data, size));
    ASSERT_NE(decoded, nullptr) << "resource " << id;
    LICE_IBitmap* cached = LoadCachedBitmap(id, "art.png");
    ASSERT_NE(cached, nullptr) << "resource " << id;
    EXPECT_EQ(cached->getWidth(), decoded->getWidth());
    EXPECT_EQ(LoadCachedBitmap(id, "art.png"), cached);
  }
}

}  // namespace
