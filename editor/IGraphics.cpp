#include "editor/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/IControls.h"
#include "editor/drawing/BitmapCache.h"
#include "editor/drawing/LICE.h"
#include "framework/IParameter.h"
#include "framework/IPlugBase.h"
#include "framework/Text.h"

namespace {

constexpr int kWheelUnitsPerNotch = 120;
// A typed value on a parameter without display texts gets a small box of its own.
constexpr int kPromptBoxW = 40;
constexpr int kPromptBoxH = 16;
constexpr unsigned kBackspace = 8;

LICE_Blend BlendMode(const IChannelBlend* blend) {
  if (blend == nullptr) return LICE_Blend::None;
  switch (blend->method) {
    case IChannelBlend::kBlendClobber:
      return LICE_Blend::Clobber;
    case IChannelBlend::kBlendAdd:
      return LICE_Blend::Add;
    case IChannelBlend::kBlendColorDodge:
      return LICE_Blend::ColorDodge;
    default:
      return LICE_Blend::None;
  }
}

// The font engine draws the text at the editor's size: never stretched.
LICE_TextStyle TextStyle(const IText& text, int sizePercent) {
  LICE_TextStyle style = {};
  style.face = text.font;
  style.size = static_cast<int>(std::floor(text.size * sizePercent / 100.0 + 0.5));
  style.colour = LicePixel(text.color);
  style.bold = text.style == IText::kStyleBold;
  style.italic = text.style == IText::kStyleItalic;
  style.align = text.align == IText::kAlignNear  ? LICE_TextStyle::kNear
                : text.align == IText::kAlignFar ? LICE_TextStyle::kFar
                                                 : LICE_TextStyle::kCentre;
  style.orientation = text.orientation;
  switch (text.quality) {
    case IText::kQualityNonAntiAliased:
      style.quality = LICE_TextStyle::kNonAntialiased;
      break;
    case IText::kQualityAntiAliased:
      style.quality = LICE_TextStyle::kAntialiased;
      break;
    case IText::kQualityClearType:
      style.quality = LICE_TextStyle::kClearType;
      break;
    default:
      style.quality = LICE_TextStyle::kDefault;
      break;
  }
  return style;
}

// Lists and switches take whole numbers; continuous parameters shown without
// decimals are whole numbers too.
bool TakesFraction(const IParameter& param) {
  return param.GetKind() == IParameter::kContinuous && param.DisplayPrecision() > 0;
}

bool IsChoice(const IParameter& param) {
  return param.GetKind() == IParameter::kSwitch || param.GetKind() == IParameter::kList;
}

}  // namespace

uint32_t LicePixel(const IColor& c) {
  auto channel = [](int v) { return static_cast<unsigned>(std::clamp(v, 0, 255)); };
  return LICE_RGBA(channel(c.R), channel(c.G), channel(c.B), channel(c.A));
}

IGraphics::IGraphics(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : plug(plugIn), width(w), height(h), fps(framesPerSecond > 0 ? framesPerSecond : kDefaultFPS) {
  nSlots = plug != nullptr ? plug->NParams() : 0;
  pendingValues = std::make_unique<std::atomic<double>[]>(static_cast<size_t>(nSlots));
  pendingMarks = std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(nSlots));
  for (int i = 0; i < nSlots; ++i) {
    pendingValues[i].store(0.0, std::memory_order_relaxed);
    pendingMarks[i].store(false, std::memory_order_relaxed);
  }
}

IGraphics::~IGraphics() {
  for (IControl* control : controls) delete control;
}

// ---- Controls ----

int IGraphics::AttachControl(IControl* control) {
  if (control == nullptr) return -1;
  control->SetGUI(this);
  controls.push_back(control);
  return NControls() - 1;
}

void IGraphics::AttachBackground(const IBitmap& bitmap) {
  IControl* background = new IBitmapControl(plug, 0, 0, -1, bitmap, IChannelBlend::kBlendClobber);
  background->SetGUI(this);
  controls.insert(controls.begin(), background);
  backgroundAttached = true;
  // Indices held by the editor moved up by one.
  if (mouseCapture >= 0) ++mouseCapture;
  if (mouseOver >= 0) ++mouseOver;
  if (tooltipIdx >= 0) ++tooltipIdx;
}

IControl* IGraphics::GetControl(int index) const {
  if (index < 0 || index >= NControls()) return nullptr;
  return controls[static_cast<size_t>(index)];
}

int IGraphics::GetControlIdx(const IControl* control) const {
  for (int i = 0; i < NControls(); ++i) {
    if (controls[static_cast<size_t>(i)] == control) return i;
  }
  return -1;
}

int IGraphics::GetMouseControlIdx(int x, int y) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* control = controls[static_cast<size_t>(i)];
    if (!control->IsHidden() && !control->IsGrayed() && control->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::SetAllControlsDirty() {
  for (IControl* control : controls) control->SetDirty(false);
}

// ---- Plug-in side ----

bool IGraphics::ValidParam(int paramIdx) const { return paramIdx >= 0 && paramIdx < nSlots; }

double IGraphics::NormalizedFromPlain(int paramIdx, double v) const {
  const IParameter* param = plug->GetParam(paramIdx);
  const double lo = param->Min();
  const double hi = param->Max();
  if (!(hi > lo)) return 0.0;
  v = std::clamp(v, lo, hi);
  return std::pow((v - lo) / (hi - lo), 1.0 / param->Shape());
}

void IGraphics::SetParamFromPlug(int paramIdx, double v, bool normalized) {
  // Runs on the plug-in's threads: no control is touched here, nothing is
  // allocated and nothing waits. The range and shape read below are fixed
  // once the parameter table is built.
  if (!ValidParam(paramIdx) || std::isnan(v)) return;
  if (!normalized) v = NormalizedFromPlain(paramIdx, v);
  pendingValues[paramIdx].store(v, std::memory_order_relaxed);
  pendingMarks[paramIdx].store(true, std::memory_order_release);
  anyPending.store(true, std::memory_order_release);
}

void IGraphics::ApplyPendingParamValues() {
  if (!anyPending.exchange(false, std::memory_order_acq_rel)) return;
  for (int i = 0; i < nSlots; ++i) {
    if (!pendingMarks[i].exchange(false, std::memory_order_acquire)) continue;
    ApplyParamValue(i, pendingValues[i].load(std::memory_order_relaxed));
  }
}

void IGraphics::DiscardPendingValue(int paramIdx) {
  if (ValidParam(paramIdx)) pendingMarks[paramIdx].store(false, std::memory_order_relaxed);
}

void IGraphics::ApplyParamValue(int paramIdx, double normalized) {
  for (IControl* control : controls) {
    if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(normalized);
    for (int a = 0; a < control->NAuxParams(); ++a) {
      if (control->GetAuxParam(a)->paramIdx == paramIdx) {
        control->SetAuxParamValueFromPlug(a, normalized);
      }
    }
  }
}

// ---- Input ----

void IGraphics::EndGesture() {
  if (gestureParam < 0) return;
  const int param = gestureParam;
  gestureParam = -1;
  plug->EndParamGesture(param);
}

void IGraphics::ReleaseMouseCapture() { mouseCapture = -1; }

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod) {
  ApplyPendingParamValues();
  // A click elsewhere in the editor ends an open entry, as the user means it.
  if (IsTextEntryOpen()) {
    RequestTextEntryCommit();
    return;
  }
  ReleaseMouseCapture();
  EndGesture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return;
  IControl* control = controls[static_cast<size_t>(c)];
  mouseCapture = c;
  mouseX = x;
  mouseY = y;
  if (ValidParam(control->ParamIdx())) {
    gestureParam = control->ParamIdx();
    plug->BeginParamGesture(gestureParam);
  }
  control->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod) {
  ApplyPendingParamValues();
  const int c = mouseCapture >= 0 ? mouseCapture : GetMouseControlIdx(x, y);
  ReleaseMouseCapture();
  if (IControl* control = GetControl(c)) control->OnMouseUp(x, y, mod);
  EndGesture();
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod) {
  ApplyPendingParamValues();
  IControl* control = GetControl(mouseCapture);
  if (control == nullptr || IsTextEntryOpen()) return;
  const int dX = x - mouseX;
  const int dY = y - mouseY;
  if (dX == 0 && dY == 0) return;
  mouseX = x;
  mouseY = y;
  control->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod) {
  ApplyPendingParamValues();
  IControl* control = GetControl(GetMouseControlIdx(x, y));
  if (control == nullptr) return false;
  if (control->GetDblAsSingleClick()) {
    OnMouseDown(x, y, mod);
    return true;
  }
  // The press before it ended its own gesture; returning to the default is
  // one more, so hosts recording in touch mode take the value.
  EndGesture();
  const int param = control->ParamIdx();
  const bool gesture = ValidParam(param);
  if (gesture) plug->BeginParamGesture(param);
  control->OnMouseDblClick(x, y, mod);
  if (gesture) plug->EndParamGesture(param);
  return false;
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int wheelDelta) {
  ApplyPendingParamValues();
  if (IsTextEntryOpen()) {
    RequestTextEntryCancel();
    return;
  }
  // Fine-grained wheels send parts of a notch; they add up to whole ones.
  wheelRemainder += wheelDelta;
  const int notches = wheelRemainder / kWheelUnitsPerNotch;
  wheelRemainder -= notches * kWheelUnitsPerNotch;
  if (notches == 0) return;
  const int c = mouseCapture >= 0 ? mouseCapture : GetMouseControlIdx(x, y);
  if (IControl* control = GetControl(c)) control->OnMouseWheel(x, y, mod, notches);
}

int IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod) {
  mouseX = x;
  mouseY = y;
  if (!handleMouseOver) return -1;
  ApplyPendingParamValues();
  int found = -1;
  for (int i = NControls() - 1; i >= 0 && found < 0; --i) {
    const IControl* control = controls[static_cast<size_t>(i)];
    if (control->IsHidden() || (control->IsGrayed() && !control->GetMOWhenGrayed())) continue;
    if (control->IsHit(x, y)) found = i;
  }
  if (mouseOver >= 0 && mouseOver != found) {
    if (IControl* previous = GetControl(mouseOver)) previous->OnMouseOut();
  }
  mouseOver = found;
  if (IControl* control = GetControl(found)) control->OnMouseOver(x, y, mod);
  return found;
}

void IGraphics::OnMouseOut() {
  for (IControl* control : controls) control->OnMouseOut();
  mouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  ApplyPendingParamValues();
  if (key < 0) return false;
  const int c = mouseCapture >= 0 ? mouseCapture : GetMouseControlIdx(x, y);
  const bool background = c < 0 || (c == 0 && backgroundAttached);
  if (!background) return controls[static_cast<size_t>(c)]->OnKeyDown(x, y, key);
  return keyCatcher != nullptr && keyCatcher->OnKeyDown(x, y, key);
}

int IGraphics::KeyCodeFromChar(char c) {
  if (c == ' ') return KEY_SPACE;
  if (c >= '0' && c <= '9') return KEY_DIGIT_0 + (c - '0');
  if (c >= 'a' && c <= 'z') return KEY_ALPHA_A + (c - 'a');
  if (c >= 'A' && c <= 'Z') return KEY_ALPHA_A + (c - 'A');
  return KEY_NONE;
}

// ---- Timer and drawing ----

void IGraphics::OnTimerTick() {
  ApplyPendingParamValues();
  for (IControl* control : controls) control->OnGUIIdle();
  if (HandleTextEntryTick()) return;
  if (idleHookEveryTick && plug != nullptr) plug->IdleHook();
  IRECT r;
  if (IsDirty(&r)) {
    // A level display that moves on its own leaves the editor idle.
    const bool onlyLevels = OnlyLiveLevelsDirty();
    RedrawRect(r);
    if (!onlyLevels) {
      idleTicks = 0;
      return;
    }
  }
  if (++idleTicks > kIdleTicks) {
    idleTicks = 0;
    if (plug != nullptr) plug->IdleHook();
  }
}

void IGraphics::RedrawRect(const IRECT& r) {
  Draw(r);
  PaintRect(r);
}

bool IGraphics::IsDirty(IRECT* r) {
  bool dirty = false;
  IRECT area;
  for (IControl* control : controls) {
    if (!control->IsDirty()) continue;
    area = area.Union(control->GetRECT());
    dirty = true;
  }
  if (r != nullptr) *r = area;
  return dirty;
}

bool IGraphics::OnlyLiveLevelsDirty() {
  for (IControl* control : controls) {
    if (control->IsDirty() && !control->ShowsLiveLevels()) return false;
  }
  return true;
}

void IGraphics::DrawControl(IControl* control) {
  if (!control->IsHidden()) control->Draw(this);
}

bool IGraphics::Draw(const IRECT& r) {
  ApplyPendingParamValues();
  if (!surface) return false;
  if (strictDrawing) {
    DrawStrict(r);
  } else {
    DrawNonStrict();
  }
  return true;
}

void IGraphics::DrawNonStrict() {
  if (controls.empty()) return;
  if (controls.front()->IsDirty()) {
    for (IControl* control : controls) {
      if (control->IsHidden()) continue;
      control->Draw(this);
      control->SetClean();
    }
    return;
  }
  for (IControl* dirtyOne : controls) {
    if (!dirtyOne->IsDirty()) continue;
    DrawClipped(dirtyOne->GetRECT(), dirtyOne);
    dirtyOne->SetClean();
  }
}

void IGraphics::DrawStrict(const IRECT& r) {
  DrawClipped(r, nullptr);
  for (IControl* control : controls) control->SetClean();
}

// Draws `also` and every control overlapping the area, in list order, and
// changes the surface only inside the area. The controls drawn reach beyond
// it (the background spans the window), and drawing them on the surface
// would wipe the controls next to the area that are not drawn again. So they
// are drawn on the scratch, which starts as the surface inside the area, and
// only the area goes back to the surface.
void IGraphics::DrawClipped(const IRECT& area, IControl* also) {
  const IRECT clip = ToPixels(area).Intersect(IRECT(0, 0, PixelWidth(), PixelHeight()));
  LICE_Blit(scratch.get(), surface.get(), clip.left, clip.top, clip.left, clip.top, clip.W(),
            clip.H(), 1.0f, LICE_Blend::Clobber);
  target = scratch.get();
  for (IControl* control : controls) {
    if (control == also || control->GetRECT().Intersects(area)) DrawControl(control);
  }
  target = surface.get();
  LICE_Blit(surface.get(), scratch.get(), clip.left, clip.top, clip.left, clip.top, clip.W(),
            clip.H(), 1.0f, LICE_Blend::Clobber);
}

// ---- Drawing helpers ----

int IGraphics::FrameForValue(int frames, double value) {
  if (frames < 2 || std::isnan(value)) return 1;
  const int frame = static_cast<int>(std::lround((frames - 1) * std::clamp(value, 0.0, 1.0))) + 1;
  return std::clamp(frame, 1, frames);
}

int IGraphics::FrameOffset(int extent, int frames, int frame) {
  if (frames < 2 || frame < 2) return 0;
  return static_cast<int>(std::lround(static_cast<double>(extent) * (frame - 1) / frames));
}

// The pixels of the bitmap drawn for the editor's size, and the scale from
// its logical pixels to them (1 where only the 100 % pixels exist).
const LICE_IBitmap* IGraphics::SizedPixels(const IBitmap& bitmap) const {
  if (sizePercent == 100 || bitmap.resourceId <= 0) return bitmap.bitmap;
  int index = 0;
  while (index < kNumSizes && kSizes[index] != sizePercent) ++index;
  const LICE_IBitmap* sized =
      LoadCachedBitmap(bitmap.resourceId + kSizeResourceStep * index, "sized.png");
  // A sized bitmap must hold the same frames at the size's cell size;
  // anything else is drawn from the 100 % pixels.
  if (sized == nullptr || bitmap.W <= 0 || bitmap.H <= 0 || bitmap.N <= 0) return bitmap.bitmap;
  const int cellW = ToPixels(bitmap.FrameW()), cellH = ToPixels(bitmap.FrameH());
  const int w = bitmap.framesAreHorizontal ? cellW * bitmap.N : cellW;
  const int h = bitmap.framesAreHorizontal ? cellH : cellH * bitmap.N;
  return sized->getWidth() == w && sized->getHeight() == h ? sized : bitmap.bitmap;
}

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                           const IChannelBlend* blend) {
  const LICE_IBitmap* pixels = SizedPixels(bitmap);
  if (target == nullptr || pixels == nullptr) return false;
  const float weight = blend != nullptr ? blend->weight : 1.0f;
  const IRECT to = ToPixels(dest);
  if (pixels == bitmap.bitmap && sizePercent != 100) {
    // No drawing for this size: the 100 % pixels where they belong.
    LICE_Blit(target, pixels, to.left, to.top, srcX, srcY, dest.W(), dest.H(), weight,
              BlendMode(blend));
    return true;
  }
  LICE_Blit(target, pixels, to.left, to.top, ToPixels(srcX), ToPixels(srcY), to.W(), to.H(), weight,
            BlendMode(blend));
  return true;
}

bool IGraphics::DrawBitmapFrame(const IBitmap& bitmap, const IRECT& dest, int frame,
                                const IChannelBlend* blend) {
  const LICE_IBitmap* pixels = SizedPixels(bitmap);
  if (target == nullptr || pixels == nullptr) return false;
  if (pixels == bitmap.bitmap) {
    const int frameX = bitmap.framesAreHorizontal ? FrameOffset(bitmap.W, bitmap.N, frame) : 0;
    const int frameY = bitmap.framesAreHorizontal ? 0 : FrameOffset(bitmap.H, bitmap.N, frame);
    return DrawBitmap(bitmap, dest, frameX, frameY, blend);
  }
  // Frames of a sized strip are whole cells: one cell, never a row of the
  // next, even where the rectangle rounds a pixel larger.
  const int cellW = ToPixels(bitmap.FrameW()), cellH = ToPixels(bitmap.FrameH());
  const int index = std::clamp(frame, 1, std::max(bitmap.N, 1)) - 1;
  const IRECT to = ToPixels(dest);
  const float weight = blend != nullptr ? blend->weight : 1.0f;
  LICE_Blit(target, pixels, to.left, to.top, bitmap.framesAreHorizontal ? cellW * index : 0,
            bitmap.framesAreHorizontal ? 0 : cellH * index, std::min(to.W(), cellW),
            std::min(to.H(), cellH), weight, BlendMode(blend));
  return true;
}

bool IGraphics::FillIRect(const IColor& color, const IRECT& r) {
  if (target == nullptr) return false;
  const IRECT to = ToPixels(r);
  LICE_FillRect(target, to.left, to.top, to.W(), to.H(), LicePixel(color));
  return true;
}

bool IGraphics::DrawIText(const IText& style, const char* text, const IRECT& r) {
  if (target == nullptr || text == nullptr) return false;
  if (text[0] == '\0') return true;
  const IRECT to = ToPixels(r);
  LICE_DrawText(target, TextStyle(style, sizePercent), text, to.left, to.top, to.right, to.bottom);
  return true;
}

bool IGraphics::MeasureIText(const IText& style, const char* text, IRECT* r) {
  if (text == nullptr || r == nullptr) return false;
  int w = 0;
  int h = 0;
  if (!LICE_MeasureText(TextStyle(style, sizePercent), text, &w, &h)) return false;
  // In logical pixels, rounded up: the text fits what it was measured for.
  r->right = r->left + (w * 100 + sizePercent - 1) / sizePercent;
  r->bottom = r->top + (h * 100 + sizePercent - 1) / sizePercent;
  return true;
}

IBitmap IGraphics::LoadIBitmap(int resourceId, const char* name, int frames) {
  LICE_IBitmap* bitmap = LoadCachedBitmap(resourceId, name);
  if (bitmap == nullptr) return IBitmap(nullptr, 0, 0, std::max(frames, 1));
  IBitmap loaded(bitmap, bitmap->getWidth(), bitmap->getHeight(), std::max(frames, 1));
  loaded.resourceId = resourceId;
  return loaded;
}

// ---- Text entry and prompting ----

void IGraphics::OpenTextEntry(IControl* control, const IText& style, const IRECT& r,
                              const char* initial, int paramIdx) {
  if (control == nullptr || IsTextEntryOpen()) return;
  textEntryControl = control;
  textEntryParam = ValidParam(paramIdx) ? paramIdx : -1;
  textEntryRect = r;
  textEntryState = TextEntryState::kEditing;
  CreateTextEntry(control, style, r, initial != nullptr ? initial : "", textEntryParam);
}

bool IGraphics::TextEntryCharAllowed(unsigned c) const {
  if (c == kBackspace) return true;
  const IParameter* param = plug != nullptr ? plug->GetParam(textEntryParam) : nullptr;
  if (param == nullptr) return true;
  if ((c >= '0' && c <= '9') || c == '+' || c == '-') return true;
  return c == '.' && TakesFraction(*param);
}

int IGraphics::TextEntryMaxLength() const {
  return textEntryControl != nullptr ? textEntryControl->GetTextEntryLength() : 0;
}

void IGraphics::RequestTextEntryCommit() {
  if (IsTextEntryOpen()) textEntryState = TextEntryState::kCommit;
}

void IGraphics::RequestTextEntryCancel() {
  if (IsTextEntryOpen()) textEntryState = TextEntryState::kCancel;
}

bool IGraphics::HandleTextEntryTick() {
  if (!IsTextEntryOpen()) return false;
  if (textEntryState == TextEntryState::kCommit) {
    CommitTextEntry();
  } else if (textEntryState != TextEntryState::kCancel) {
    return false;
  }
  CloseTextEntry();
  return true;
}

void IGraphics::CommitTextEntry() {
  char text[kTextEntryReadMax + 1] = "";
  ReadTextEntry(text, sizeof text);
  text[kTextEntryReadMax] = '\0';
  IControl* control = textEntryControl;
  const IParameter* param = plug != nullptr ? plug->GetParam(textEntryParam) : nullptr;
  if (param == nullptr) {
    control->TextFromTextEntry(text);
    return;
  }
  double v = 0.0;
  if (IsChoice(*param)) {
    for (const IParameter::DisplayEntry& entry : param->DisplayTexts()) {
      if (std::strcmp(entry.text, text) == 0) {
        v = entry.value;
        break;
      }
    }
  } else {
    ParseLeadingNumber(text, &v);
    if (!std::isfinite(v)) return;
    if (param->NegateDisplay()) v = -v;
  }
  control->SetValueFromUserInput(NormalizedFromPlain(textEntryParam, v));
}

void IGraphics::CloseTextEntry() {
  DestroyTextEntry();
  // What the box covered is drawn again.
  for (IControl* control : controls) {
    if (control->GetRECT().Intersects(textEntryRect)) control->SetDirty(false);
  }
  textEntryControl = nullptr;
  textEntryParam = -1;
  textEntryRect = IRECT();
  textEntryState = TextEntryState::kNone;
}

void IGraphics::PromptUserInput(IControl* control, IParameter* param, const IRECT& r) {
  if (control == nullptr || param == nullptr || plug == nullptr) return;
  const int paramIdx = control->ParamIdx();
  double current = 0.0;
  {
    // The host's threads write parameter values under the plug-in lock.
    ScopedLock guard(plug->Lock());
    current = param->Value();
  }
  const auto& texts = param->DisplayTexts();
  const bool menu = param->GetKind() == IParameter::kList ||
                    (param->GetKind() == IParameter::kSwitch && !texts.empty());
  if (menu) {
    char currentText[IParameter::kTextSize];
    param->DisplayText(current, false, true, currentText);
    IPopupMenu choices;
    for (int i = 0; i < static_cast<int>(texts.size()); ++i) {
      const char* shown = "";
      for (const IParameter::DisplayEntry& entry : texts) {
        if (entry.value == i) {
          shown = entry.text;
          break;
        }
      }
      const int flags = std::strcmp(shown, currentText) == 0 ? IPopupMenu::kChecked : 0;
      choices.AddItem(shown, -1, flags);
    }
    IPopupMenu* chosen = CreateIPopupMenu(&choices, r);
    if (chosen != nullptr && chosen->GetChosenItemIdx() >= 0) {
      control->SetValueFromUserInput(NormalizedFromPlain(paramIdx, chosen->GetChosenItemIdx()));
    }
    return;
  }
  char initial[IParameter::kTextSize];
  param->DisplayText(current, false, false, initial);
  IRECT box = r;
  if (texts.empty()) {
    const int cx = (r.left + r.right) / 2;
    const int cy = (r.top + r.bottom) / 2;
    box = IRECT(cx - kPromptBoxW / 2, cy - kPromptBoxH / 2, cx + kPromptBoxW / 2,
                cy + kPromptBoxH / 2);
  }
  OpenTextEntry(control, control->GetText(), box, initial, paramIdx);
}

// ---- Size and surface ----

void IGraphics::PrepDraw() {
  surface = std::make_unique<LICE_SysBitmap>(PixelWidth(), PixelHeight());
  scratch = std::make_unique<LICE_MemBitmap>(PixelWidth(), PixelHeight());
  target = surface.get();
}

bool IGraphics::IsEditorSize(int percent) {
  return std::find(std::begin(kSizes), std::end(kSizes), percent) != std::end(kSizes);
}

void IGraphics::SetSizePercent(int percent) {
  if (!IsEditorSize(percent) || percent == sizePercent) return;
  sizePercent = percent;
  if (surface) {
    target = nullptr;
    surface.reset();
    scratch.reset();
    PrepDraw();
  }
  SetAllControlsDirty();
  SizeChanged();
}

int IGraphics::ToPixels(int logical) const {
  return static_cast<int>(std::floor(logical * sizePercent / 100.0 + 0.5));
}

IRECT IGraphics::ToPixels(const IRECT& r) const {
  return IRECT(ToPixels(r.left), ToPixels(r.top), ToPixels(r.right), ToPixels(r.bottom));
}

// The logical pixel whose picture covers this pixel: the last one starting
// at or before it.
int IGraphics::ToLogical(int pixel) const {
  int logical = static_cast<int>(std::floor((pixel + 0.5) * 100.0 / sizePercent));
  while (ToPixels(logical) > pixel) --logical;
  while (ToPixels(logical + 1) <= pixel) ++logical;
  return logical;
}

IRECT IGraphics::ToLogical(const IRECT& pixels) const {
  // An edge after the last pixel: the first logical position drawn there or
  // beyond.
  auto end = [this](int p) {
    const int before = ToLogical(p);
    return ToPixels(before) >= p ? before : before + 1;
  };
  return IRECT(ToLogical(pixels.left), ToLogical(pixels.top), end(pixels.right),
               end(pixels.bottom));
}

void IGraphics::Resize(int w, int h) {
  if (w <= 0 || h <= 0) return;
  width = w;
  height = h;
  target = nullptr;
  surface.reset();
  scratch.reset();
  PrepDraw();
  SetAllControlsDirty();
  if (plug != nullptr) plug->ResizeEditor(w, h);
}
