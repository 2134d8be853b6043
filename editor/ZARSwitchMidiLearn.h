#pragma once

#include "editor/IControls.h"

class REDI;

// The MIDI-learn switch: the left button arms learning, the right button
// arms forgetting; either shows its own picture. The plug-in turns it off
// when the learn step is done.
class ZARSwitchMidiLearn : public ISwitchControl {
 public:
  static constexpr int kMidiLearn = -111;

  ZARSwitchMidiLearn(REDI* redi, int x, int y, const IBitmap& learn, const IBitmap& unlearn);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnGUIIdle() override;
  bool Forgetting() const { return forget; }

 private:
  REDI* redi;
  IBitmap learnBitmap;
  IBitmap unlearnBitmap;
  bool forget = false;
};
