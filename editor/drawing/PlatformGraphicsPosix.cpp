#include "editor/drawing/IGraphicsHeadless.h"

// Linux hosts get no editor window yet: the editor runs headless, and the
// plug-in does not tell hosts it has one.
IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return new IGraphicsHeadless(plug, width, height);
}
