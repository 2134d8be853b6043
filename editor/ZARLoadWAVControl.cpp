#include "editor/ZARLoadWAVControl.h"

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "editor/ZARShared.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

ZARLoadWAVControl::ZARLoadWAVControl(REDI* r, const IRECT& rect, int paramIdx)
    : IFileSelectorControl(r, rect, paramIdx, kFileOpen, "", "wav"), redi(r) {
  text = SelectorStyle();
}

std::string ZARLoadWAVControl::BaseName(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

bool ZARLoadWAVControl::Draw(IGraphics* graphics) {
  bool missing = false;
  {
    // A program load on the host's threads may change both.
    ScopedLock guard(redi->Lock());
    if (dirty) file = redi->wavRequestedPath;
    missing = redi->wavMissing;
  }
  if (value < 0.5) {
    SetTooltip("");
    return graphics->DrawIText(text, "MIC Input", rect);
  }
  if (file.empty()) return true;
  const std::string name = BaseName(file);
  if (missing) {
    SetTooltip(FormatMessageWithPath("Could not load \"%s\"!", file).c_str());
    return graphics->DrawIText(SelectorErrorStyle(), name.c_str(), rect);
  }
  SetTooltip(file.c_str());
  return graphics->DrawIText(text, name.c_str(), rect);
}

void ZARLoadWAVControl::OnMouseDown(int x, int /*y*/, const IMouseMod& /*mod*/) {
  if (graphics == nullptr) return;
  const bool hasFile = !file.empty();
  IPopupMenu menu;
  menu.AddItem("MIC Input", -1, value < 0.5 ? IPopupMenu::kChecked : 0);
  if (hasFile) {
    menu.AddItem(FitText(file, kMenuTextMax).c_str(), -1, value >= 0.5 ? IPopupMenu::kChecked : 0);
  } else {
    menu.AddItem("No WAV file loaded", -1, IPopupMenu::kDisabled);
  }
  menu.AddSeparator();
  bool legato = false;
  if (const IParameter* param = redi->GetParam(kSampleLegato)) {
    ScopedLock guard(redi->Lock());
    legato = param->Value() >= 0.5;
  }
  menu.AddItem("Legato", -1, !hasFile ? IPopupMenu::kDisabled : legato ? IPopupMenu::kChecked : 0);
  menu.AddSeparator();
  menu.AddItem("Unload WAV file", -1, hasFile ? 0 : IPopupMenu::kDisabled);
  menu.AddItem("Load WAV file...");
  const IPopupMenu* chosen = graphics->CreateIPopupMenu(&menu, IRECT(x, rect.top, x, rect.bottom));
  if (chosen == nullptr || chosen->GetChosenItemIdx() < 0) return;
  Choose(chosen->GetChosenItemIdx());
}

void ZARLoadWAVControl::Choose(int item) {
  switch (item) {
    case kMicInput:
      value = 0.0;
      break;
    case kFile:
      value = 1.0;
      break;
    case kLegato: {
      if (file.empty()) return;
      const IParameter* param = redi->GetParam(kSampleLegato);
      double legato = 0.0;
      {
        ScopedLock guard(redi->Lock());
        legato = param->Value();
      }
      redi->SetParamFromEditor(kSampleLegato, legato >= 0.5 ? 0.0 : 1.0);
      SetDirty(false);
      return;
    }
    case kUnload: {
      file.clear();
      ScopedLock guard(redi->Lock());
      redi->wavRequestedPath.clear();
      value = 0.0;
      break;
    }
    case kLoad: {
      std::string path;
      std::string folder;
      {
        ScopedLock guard(redi->Lock());
        folder = redi->wavBaseFolder;
      }
      graphics->PromptForFile(&path, kFileOpen, &folder, extensions.c_str());
      if (!path.empty()) {
        value = 1.0;
        {
          ScopedLock guard(redi->Lock());
          redi->wavRequestedPath = path;
        }
        redi->LoadWavSource();
        file = path;
      }
      break;
    }
    default:
      return;
  }
  SetDirty(true);
}
