#include "editor/drawing/IGraphicsX11.h"

// Linux hosts hand the editor an X11 window.
IGraphics* MakePlatformGraphics(IPlugBase* plug, int width, int height) {
  return new IGraphicsX11(plug, width, height);
}
