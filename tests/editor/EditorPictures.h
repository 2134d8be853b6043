#pragma once

// Pictures of the editor's surface for the layout tests, and the renders
// kept in build/artifacts for people to look at.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/drawing/LICE.h"
#include "tests/editor/LayoutRig.h"

namespace layouttest {
namespace {

// A copy of the editor's surface, as 0xAARRGGBB pixels.
struct Picture {
  int w = 0;
  int h = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
  bool operator==(const Picture& o) const { return w == o.w && h == o.h && pixels == o.pixels; }
};

inline Picture Capture(IGraphics& ui) {
  LICE_IBitmap* s = ui.GetDrawBitmap();
  Picture p;
  p.w = s->getWidth();
  p.h = s->getHeight();
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) p.pixels.push_back(s->getBits()[y * s->getRowSpan() + x]);
  return p;
}

// Draws every visible control afresh, back to front.
inline Picture Render(LayoutRig& rig) {
  rig.ui->SetAllControlsDirty();
  rig.ui->Draw(IRECT(0, 0, REDI::kEditorWidth, REDI::kEditorHeight));
  return Capture(*rig.ui);
}

// Kept for people to look at: build/artifacts/<name>-<build tree>.png.
inline void WriteArtifact(const Picture& p, const std::string& name) {
  const std::filesystem::path folder = REDI_ARTIFACTS_DIR;
  std::filesystem::create_directories(folder);
  std::vector<unsigned char> rgba;
  for (uint32_t px : p.pixels) {
    rgba.push_back(static_cast<unsigned char>(LICE_GETR(px)));
    rgba.push_back(static_cast<unsigned char>(LICE_GETG(px)));
    rgba.push_back(static_cast<unsigned char>(LICE_GETB(px)));
    rgba.push_back(255);
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(p.w);
  image.height = static_cast<png_uint_32>(p.h);
  image.format = PNG_FORMAT_RGBA;
  const std::string path = (folder / (name + "-" + REDI_TREE_NAME + ".png")).string();
  ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr), 0) << path;
}

}  // namespace
}  // namespace layouttest
