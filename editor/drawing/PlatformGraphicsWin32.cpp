#include "editor/drawing/IGraphicsHeadless.h"

// Stands in until the Windows window backend is in: the editor runs
// headless and hosts are not told about an editor.
IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return new IGraphicsHeadless(plug, width, height);
}
