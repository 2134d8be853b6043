#pragma once

// Compares what a window shows with an editor's drawing surface and keeps
// both images (and, on a mismatch, a map of the differing pixels) under
// build/artifacts/ for a look.

#include <cstdint>
#include <string>
#include <vector>

#include "editor/IGraphicsStructs.h"
#include "editor/drawing/LICE.h"
#include "tests/editor_win/PngFile.h"
#include "tests/editor_win/TestHostWindow.h"

inline std::string ArtifactPath(const std::string& name) {
  const char* bits = sizeof(void*) == 8 ? "win64" : "win32";
  CreateDirectoryA(WindowsPath(REDI_ARTIFACTS_DIR).c_str(), nullptr);
  return WindowsPath(REDI_ARTIFACTS_DIR) + "/editor_" + bits + "_" + name + ".png";
}

// Number of pixels whose colour differs (alpha aside), pixels inside
// `ignored` left out; every pixel differs when the sizes do.
inline int CompareWithSurface(const Capture& shown, LICE_IBitmap& surface, const std::string& name,
                              const IRECT& ignored = IRECT()) {
  const int w = surface.getWidth(), h = surface.getHeight();
  png_file::Write(ArtifactPath(name + "_window"), shown.pixels.data(), shown.width, shown.height,
                  shown.width);
  png_file::Write(ArtifactPath(name + "_headless"), surface.getBits(), w, h, surface.getRowSpan());
  if (shown.width != w || shown.height != h) return w * h;
  int differing = 0;
  std::vector<uint32_t> diff(static_cast<size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (ignored.Contains(x, y)) continue;
      const uint32_t drawn = surface.getBits()[static_cast<size_t>(y) * surface.getRowSpan() + x];
      if ((drawn & 0xFFFFFF) != shown.At(x, y)) {
        ++differing;
        diff[static_cast<size_t>(y) * w + x] = 0xFF0000;
      }
    }
  }
  if (differing > 0) png_file::Write(ArtifactPath(name + "_diff"), diff.data(), w, h, w);
  return differing;
}
