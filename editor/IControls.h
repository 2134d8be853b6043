#pragma once

#include <string>

#include "editor/IControl.h"

// A bitmap strip of N frames showing the frame that matches the value.
class IBitmapControl : public IControl {
 public:
  // Rectangle: x, y and one frame's size.
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  // A picture bound to no parameter.
  IBitmapControl(IPlugBase* plug, int x, int y, const IBitmap& bitmap,
                 IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone)
      : IBitmapControl(plug, x, y, -1, bitmap, blendMethod) {}

  bool Draw(IGraphics* graphics) override;
  const IBitmap& GetBitmap() const { return bitmap; }
  void SetBitmap(const IBitmap& b) { bitmap = b; }

 protected:
  IBitmap bitmap;
};

// Steps one frame per click and wraps to the first after the last.
class ISwitchControl : public IBitmapControl {
 public:
  using IBitmapControl::IBitmapControl;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override { OnMouseDown(x, y, mod); }
};

// The base of momentary buttons.
class IContactControl : public ISwitchControl {
 public:
  using ISwitchControl::ISwitchControl;
};

// A switch with no picture of its own, over whatever lies under it: a click
// toggles between 0 and 1.
class IInvisibleSwitchControl : public IControl {
 public:
  IInvisibleSwitchControl(IPlugBase* plug, const IRECT& rect, int paramIdx);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }
};

// A knob turned by dragging; draws nothing itself.
class IKnobControl : public IControl {
 public:
  enum EDirection { kVertical, kHorizontal };
  static constexpr double kDefaultGearing = 4.0;

  IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, EDirection direction = kVertical,
               double gearing = kDefaultGearing);
  // Shift or Ctrl makes the knob ten times finer.
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }
  void SetGearing(double g) { gearing = g; }

 protected:
  EDirection direction;
  double gearing;
};

// A knob drawn from a bitmap strip; the wheel turns it too.
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                    EDirection direction = kVertical, double gearing = kDefaultGearing);
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches) override;
  bool Draw(IGraphics* graphics) override;

 protected:
  IBitmap bitmap;
};

// A text in its style; an empty text draws nothing.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* plug, const IRECT& rect, const IText& style, const char* text = "");
  void SetTextFromPlug(const char* newText);
  const std::string& GetTextString() const { return str; }
  bool Draw(IGraphics* graphics) override;

 protected:
  std::string str;
};

// Asks for a file on a click and remembers the answer.
class IFileSelectorControl : public IControl {
 public:
  enum EFileSelectorState { kFSNone, kFSSelecting, kFSDone };

  IFileSelectorControl(IPlugBase* plug, const IRECT& rect, int paramIdx, EFileAction action,
                       const char* folder = "", const char* extensions = "");
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // Also true once after a choice, so the control shows it.
  bool IsDirty() override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }

  const std::string& GetLastSelectedFileForPlug() const { return file; }
  void SetLastSelectedFileFromPlug(const char* path) { file = path != nullptr ? path : ""; }
  const std::string& GetFolder() const { return folder; }
  void SetFolder(const char* path) { folder = path != nullptr ? path : ""; }
  EFileSelectorState GetState() const { return state; }

 protected:
  std::string file;
  std::string folder;
  std::string extensions;
  EFileAction action;
  EFileSelectorState state = kFSNone;
};
