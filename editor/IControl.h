#pragma once

#include <string>
#include <vector>

#include "editor/IGraphicsStructs.h"

class IGraphics;
class IParameter;
class IPlugBase;
class ITextControl;

// The base of every editor control: a rectangle, a normalised value and its
// link to a plug-in parameter (index >= 0) or an editor action (negative).
// Every operation runs on the editor's thread; the plug-in side reaches
// controls only through IGraphics::SetParamFromPlug.
class IControl {
 public:
  struct AuxParam {
    double value;
    int paramIdx;
  };

  IControl(IPlugBase* plug, const IRECT& rect, int paramIdx = -1,
           IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Virtual operations ----
  virtual ~IControl() = default;
  // Right button: prompts for a typed value (when the prompt is enabled).
  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseMod& /*mod*/) {
  }
  // Back to the default value, when it is known.
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  virtual void OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, int /*notches*/) {}
  // Returns true when the key was handled.
  virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
  virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseOut() {}
  // Draws on the editor's surface; false when nothing could be drawn.
  virtual bool Draw(IGraphics* graphics) = 0;
  virtual void SetValueFromPlug(double value);
  virtual void SetValueFromUserInput(double value);
  // A committed text entry of a control bound to no parameter.
  virtual void TextFromTextEntry(const char* /*text*/) {}
  virtual void Hide(bool hide);
  virtual void GrayOut(bool gray);
  virtual bool IsHit(int x, int y) const { return targetRect.Contains(x, y); }
  // Limits the value and marks the control for drawing; with push, the
  // value also goes to the parameter (SetParamFromEditor).
  virtual void SetDirty(bool pushParamToPlug = true);
  // A control whose value, visibility or state changed stays dirty for one
  // more tick after it is drawn.
  virtual void SetClean();
  virtual bool IsDirty() { return dirty; }
  // Moves on its own with the audio: its redraws leave the editor idle.
  virtual bool ShowsLiveLevels() const { return false; }
  // Every timer tick, before the dirty test.
  virtual void OnGUIIdle() {}
  virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

  // ---- Data access ----
  IPlugBase* GetPlug() const { return plug; }
  // The editor this control is attached to (null before).
  IGraphics* GetGUI() const { return graphics; }
  void SetGUI(IGraphics* g) { graphics = g; }
  int ParamIdx() const { return paramIdx; }
  // The bound parameter, or null (unbound, or an index the plug-in lacks).
  IParameter* GetParam() const;
  const IRECT& GetRECT() const { return rect; }
  const IRECT& GetTargetRECT() const { return targetRect; }
  void SetRECT(const IRECT& r) { rect = r; }
  void SetTargetArea(const IRECT& r) { targetRect = r; }
  double GetValue() const { return value; }
  double GetDefaultValue() const { return defaultValue; }
  void SetDefaultValue(double v) { defaultValue = v; }
  void Clamp(double lo, double hi) {
    clampLo = lo;
    clampHi = hi;
  }
  const IText& GetText() const { return text; }
  IText* GetTextPtr() { return &text; }
  void SetText(const IText& t) { text = t; }
  int GetTextEntryLength() const { return textEntryLength; }
  void SetTextEntryLength(int length) { textEntryLength = length; }
  bool IsHidden() const { return hidden; }
  bool IsGrayed() const { return grayed; }
  void DisablePrompt(bool disable) { disablePrompt = disable; }
  bool IsPromptDisabled() const { return disablePrompt; }
  bool GetDblAsSingleClick() const { return dblAsSingleClick; }
  void SetDblAsSingleClick(bool on) { dblAsSingleClick = on; }
  bool GetMOWhenGrayed() const { return mouseOverWhenGrayed; }
  void SetMOWhenGrayed(bool on) { mouseOverWhenGrayed = on; }
  const IChannelBlend& GetBlend() const { return blend; }
  void SetBlendMethod(IChannelBlend::EBlendMethod method) { blend.method = method; }
  void SetValDisplayControl(ITextControl* control) { valueDisplay = control; }
  void SetNameDisplayControl(ITextControl* control) { nameDisplay = control; }
  const std::string& GetTooltip() const { return tooltip; }
  void SetTooltip(const char* tip) { tooltip = tip != nullptr ? tip : ""; }
  void AddAuxParam(int auxParamIdx) { auxParams.push_back({0.0, auxParamIdx}); }
  int NAuxParams() const { return static_cast<int>(auxParams.size()); }
  AuxParam* GetAuxParam(int index);

  // Asks the editor for a typed value (or a choice from the display texts).
  void PromptUserInput();

 protected:
  int textEntryLength = 7;
  IText text;
  IPlugBase* plug;
  IRECT rect;
  IRECT targetRect;
  int paramIdx;
  std::vector<AuxParam> auxParams;
  double value = 0.0;
  double defaultValue = -1.0;  // unknown until the plug-in pushes a value
  double clampLo = 0.0;
  double clampHi = 1.0;
  bool dirty = true;
  bool hidden = false;
  bool grayed = false;
  bool redrawPending = false;
  bool disablePrompt = true;
  bool dblAsSingleClick = false;
  bool mouseOverWhenGrayed = false;
  IChannelBlend blend;
  ITextControl* valueDisplay = nullptr;
  ITextControl* nameDisplay = nullptr;
  std::string tooltip;
  IGraphics* graphics = nullptr;
};
