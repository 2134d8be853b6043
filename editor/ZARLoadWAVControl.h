#pragma once

#include <string>

#include "editor/IControls.h"

class REDI;

// The input selector: microphone input or a WAV file, with a menu to load,
// unload and play the file legato.
class ZARLoadWAVControl : public IFileSelectorControl {
 public:
  enum MenuItem { kMicInput = 0, kFile = 1, kLegato = 3, kUnload = 5, kLoad = 6 };

  ZARLoadWAVControl(REDI* redi, const IRECT& rect, int paramIdx);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  // The file's name without folder and extension.
  static std::string BaseName(const std::string& path);

 private:
  void Choose(int item);

  REDI* redi;
};
