#include "editor/ZAROptionMenu.h"

#include <mutex>

#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "editor/ZARShared.h"
#include "instrument/REDI.h"
#include "update/MakerSite.h"
#include "update/VersionCheck.h"

namespace {

// The folders the menu remembers live as long as the library, for every
// instance; the first instance whose menu acts sets them from its settings.
struct RememberedFolders {
  std::mutex lock;
  bool initialised = false;
  std::string programs;
  std::string wavs;
};

RememberedFolders& Folders() {
  static RememberedFolders folders;
  return folders;
}

std::string GetFolder(bool wav) {
  RememberedFolders& f = Folders();
  std::lock_guard<std::mutex> guard(f.lock);
  return wav ? f.wavs : f.programs;
}

void SetFolder(bool wav, const std::string& folder) {
  RememberedFolders& f = Folders();
  std::lock_guard<std::mutex> guard(f.lock);
  (wav ? f.wavs : f.programs) = folder;
}

void InitialiseFolders(const std::string& programs, const std::string& wavs) {
  RememberedFolders& f = Folders();
  std::lock_guard<std::mutex> guard(f.lock);
  if (f.initialised) return;
  f.initialised = true;
  f.programs = programs;
  f.wavs = wavs;
}

constexpr int kEnabled = IPopupMenu::kNoFlags;

}  // namespace

ZAROptionMenu::ZAROptionMenu(REDI* r, const IRECT& rect)
    : IControl(r, rect, kProgramMenu), redi(r) {}

std::string ZAROptionMenu::RememberedProgramFolder() { return GetFolder(false); }
std::string ZAROptionMenu::RememberedWavFolder() { return GetFolder(true); }

void ZAROptionMenu::ForgetFoldersForTests() {
  RememberedFolders& f = Folders();
  std::lock_guard<std::mutex> guard(f.lock);
  f.initialised = false;
  f.programs.clear();
  f.wavs.clear();
}

std::string ZAROptionMenu::FileNameFromProgramName(const std::string& name) {
  std::string cleaned = name;
  for (char& c : cleaned) {
    switch (c) {
      case '<':
      case '>':
      case ':':
      case '"':
      case '/':
      case '\\':
      case '|':
      case '?':
      case '*':
        c = '_';
        break;
      default:
        break;
    }
  }
  return cleaned;
}

std::string ZAROptionMenu::FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

void ZAROptionMenu::OnMouseDown(int x, int y, const IMouseMod& /*mod*/) {
  if (graphics == nullptr) return;
  bool clipboardEmpty = true;
  bool noStartupBank = true;
  bool thru = false;
  bool ignoreChanges = false;
  {
    ScopedLock guard(redi->Lock());
    clipboardEmpty = redi->programClipboard.Size() == 0;
    noStartupBank = redi->startupBank.empty();
    thru = redi->midiThru;
    ignoreChanges = redi->ignoreProgramChange;
  }
  IPopupMenu menu;
  menu.AddItem("Copy Program");
  menu.AddItem("Paste Program", -1, clipboardEmpty ? IPopupMenu::kDisabled : kEnabled);
  menu.AddItem("Init Program");
  menu.AddSeparator();
  menu.AddItem("Load Program");
  menu.AddItem("Save Program");
  menu.AddItem("Load Bank");
  menu.AddItem("Save Bank");
  menu.AddSeparator();
  menu.AddItem("Select Startup Bank");
  menu.AddItem("Load Startup Bank", -1, noStartupBank ? IPopupMenu::kDisabled : kEnabled);
  menu.AddItem("Unselect Startup Bank", -1, noStartupBank ? IPopupMenu::kDisabled : kEnabled);
  menu.AddSeparator();
  menu.AddItem("Default Path for Program Files");
  menu.AddItem("Default Path for WAV Files");
  auto* midi = new IPopupMenu;
  midi->AddItem("MIDI Thru", -1, thru ? IPopupMenu::kChecked : kEnabled);
  midi->AddItem("Ignore Program Change", -1, ignoreChanges ? IPopupMenu::kChecked : kEnabled);
  menu.AddItem("Global MIDI Settings...", midi);
  menu.AddItem("Reload Configuration");
  menu.AddItem("Save Configuration");
  menu.AddSeparator();
  auto* online = new IPopupMenu;
  online->AddItem("Check Online for Update");
  online->AddItem(FitText(VisitMakerSiteItemText(), kMenuTextMax).c_str());
  menu.AddItem("Go Online...", online);
  menu.AddSeparator();
  auto* sizes = new IPopupMenu;
  const int waiting = redi->EditorSizeWaiting();
  const int shown = waiting != 0 ? waiting : graphics->SizePercent();
  for (int size : IGraphics::kSizes) {
    std::string text = std::to_string(size) + " %";
    if (size == waiting) text += " (when the editor opens again)";
    sizes->AddItem(text.c_str(), -1, size == shown ? IPopupMenu::kChecked : kEnabled);
  }
  menu.AddItem("Editor Size", sizes);

  const IPopupMenu* chosen = graphics->CreateIPopupMenu(&menu, IRECT(x, y, x, y));
  if (chosen == nullptr || chosen->GetChosenItemIdx() < 0) return;
  int item = chosen->GetChosenItemIdx();
  if (chosen == midi) item += kMidiThru;
  if (chosen == online) item += kCheckForUpdate;
  if (chosen == sizes) item += kFirstEditorSize;
  Dispatch(item);
  graphics->SetAllControlsDirty();
}

bool ZAROptionMenu::Ask(const std::string& text, const char* title) {
  return graphics->ShowMessageBox(text.c_str(), title, kMB_YESNO) == kIDYES;
}

void ZAROptionMenu::ShowError(const char* text) { graphics->ShowMessageBox(text, "Error", kMB_OK); }

std::string ZAROptionMenu::PromptFile(EFileAction action, const char* extensions,
                                      const std::string& folder, const std::string& proposedName) {
  std::string path = proposedName;
  std::string start = folder;
  graphics->PromptForFile(&path, action, &start, extensions);
  return path;
}

void ZAROptionMenu::LoadFile(const char* extensions, bool bank) {
  const std::string path = PromptFile(kFileOpen, extensions, GetFolder(false), "");
  if (path.empty()) return;
  const bool loaded = bank ? redi->LoadBankFile(path.c_str()) : redi->LoadProgramFile(path.c_str());
  // The folder follows the user's choice even when the file was unreadable.
  const std::string folder = FolderOf(path);
  if (!folder.empty()) SetFolder(false, folder);
  if (!loaded) ShowError("Cannot load file!");
}

void ZAROptionMenu::SaveFile(const char* extensions, bool bank) {
  std::string proposed = "REDI";
  if (!bank) {
    ScopedLock guard(redi->Lock());
    proposed = FileNameFromProgramName(redi->ProgramName(redi->CurrentProgram()));
  }
  const std::string path = PromptFile(kFileSave, extensions, GetFolder(false), proposed);
  if (path.empty()) return;
  bool saved = false;
  if (bank) {
    saved = redi->SaveBankFile(path.c_str());
  } else {
    {
      ScopedLock guard(redi->Lock());
      redi->ModifyCurrentPreset();
    }
    saved = redi->SaveProgramFile(path.c_str());
  }
  const std::string folder = FolderOf(path);
  if (!folder.empty()) SetFolder(false, folder);
  if (!saved) ShowError("Cannot save file!");
}

void ZAROptionMenu::ChooseFolder(bool wav) {
  std::string start = GetFolder(wav);
  if (start.empty()) start = redi->documentsFolder;
  const std::string path = PromptFile(kFileSave, " ", start, "[file name is ignored]");
  const std::string folder = FolderOf(path);
  if (folder.empty()) return;
  SetFolder(wav, folder);
  if (wav) {
    redi->WriteWavFolder(folder);
  } else {
    redi->WriteProgramFolder(folder);
  }
}

void ZAROptionMenu::Dispatch(int item) {
  if (graphics == nullptr) return;
  InitialiseFolders(redi->programFolder, redi->wavBaseFolder);
  switch (item) {
    case kCopyProgram:
      redi->CopyProgram();
      break;
    case kPasteProgram:
      if (Ask("Do you really want to overwrite the current program?", "Paste Program"))
        redi->PasteProgram();
      break;
    case kInitProgram:
      if (Ask("Do you really want to initialize the current program?", "Initialize Program"))
        redi->InitProgram();
      break;
    case kLoadProgram:
      LoadFile("fxp", false);
      break;
    case kSaveProgram:
      SaveFile("fxp", false);
      break;
    case kLoadBank:
      LoadFile("fxb", true);
      break;
    case kSaveBank:
      SaveFile("fxb", true);
      break;
    case kSelectStartupBank: {
      const std::string path = PromptFile(kFileOpen, "fxb", GetFolder(false), "");
      if (!path.empty()) redi->SetStartupBank(path);
      break;
    }
    case kLoadStartupBank: {
      const std::string bank = redi->startupBank;
      if (bank.empty()) break;
      if (!Ask(FormatMessageWithPath(
                   "The Startup Bank is:\n%s\n\nDo you really want to reload all programs?", bank),
               "Load Startup Bank"))
        break;
      if (!redi->LoadBankFile(bank.c_str())) ShowError("Cannot load file!");
      break;
    }
    case kUnselectStartupBank:
      if (redi->startupBank.empty()) break;
      if (Ask(FormatMessageWithPath(
                  "The Startup Bank is:\n%s\n\nDo you really want to unselect it?",
                  redi->startupBank),
              "Unselect Startup Bank"))
        redi->ClearStartupBank();
      break;
    case kProgramFolder:
      ChooseFolder(false);
      break;
    case kWavFolder:
      ChooseFolder(true);
      break;
    case kReloadConfiguration:
      if (!Ask(FormatMessageWithPath(
                   "The INI configuration file is:\n%s\n\nDo you really want to reload it?",
                   redi->configPath),
               "Reload Configuration"))
        break;
      if (redi->ReadConfiguration() == Synth::ConfigReadResult::kFileMissing)
        graphics->ShowMessageBox("The INI file does not exist.", "Problem with INI File", kMB_OK);
      break;
    case kSaveConfiguration:
      if (Ask(FormatMessageWithPath(
                  "The INI configuration file is:\n%s\n\nDo you really want to overwrite it?",
                  redi->configPath),
              "Save Configuration"))
        redi->WriteConfiguration(Synth::ConfigWrite::kEverything);
      break;
    case kMidiThru: {
      {
        ScopedLock guard(redi->Lock());
        redi->midiThru = !redi->midiThru;
      }
      redi->WriteConfiguration(Synth::ConfigWrite::kMidiThruOnly);
      break;
    }
    case kIgnoreProgramChange: {
      {
        ScopedLock guard(redi->Lock());
        redi->ignoreProgramChange = !redi->ignoreProgramChange;
      }
      redi->WriteConfiguration(Synth::ConfigWrite::kIgnoreProgramChangeOnly);
      break;
    }
    case kCheckForUpdate:
      CheckOnlineForUpdate(graphics);
      break;
    case kVisitSite:
      graphics->OpenURL(MakerSiteAddress().c_str());
      break;
    default:
      if (item >= kFirstEditorSize && item < kFirstEditorSize + IGraphics::kNumSizes)
        redi->ChooseEditorSize(IGraphics::kSizes[item - kFirstEditorSize]);
      break;
  }
}
