#include "editor/drawing/IGraphicsWin.h"

IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return new IGraphicsWin(plug, width, height);
}
