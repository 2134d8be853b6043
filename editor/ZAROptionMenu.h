#pragma once

#include <string>

#include "editor/IControl.h"

class REDI;

// The program and tools menu: programs, banks, folders, the configuration
// file and the online functions, behind an invisible button.
class ZAROptionMenu : public IControl {
 public:
  static constexpr int kProgramMenu = -110;

  enum Item {
    kCopyProgram = 0,
    kPasteProgram = 1,
    kInitProgram = 2,
    kLoadProgram = 4,
    kSaveProgram = 5,
    kLoadBank = 6,
    kSaveBank = 7,
    kSelectStartupBank = 9,
    kLoadStartupBank = 10,
    kUnselectStartupBank = 11,
    kProgramFolder = 13,
    kWavFolder = 14,
    kMidiSettings = 15,
    kReloadConfiguration = 16,
    kSaveConfiguration = 17,
    kGoOnline = 19,
    kMidiThru = 20,
    kIgnoreProgramChange = 21,
    kCheckForUpdate = 22,
    kVisitSite = 23,
    // The "Editor Size" submenu (after a separator, at position 21): one
    // item per size, from 100 %.
    kFirstEditorSize = 24
  };

  ZAROptionMenu(REDI* redi, const IRECT& rect);
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* /*graphics*/) override { return true; }
  // Carries out one item as if chosen from the menu.
  void Dispatch(int item);

  // A program's name as a file name: the characters no file name may hold
  // become underscores.
  static std::string FileNameFromProgramName(const std::string& name);
  // The path without its last component (and the separator before it); the
  // path itself when it has no separator.
  static std::string FolderOf(const std::string& path);

  // The folders the menu offers, shared by every instance in the process.
  static std::string RememberedProgramFolder();
  static std::string RememberedWavFolder();
  // For tests: forget both, as in a freshly loaded library.
  static void ForgetFoldersForTests();

 private:
  bool Ask(const std::string& text, const char* title);
  void ShowError(const char* text);
  std::string PromptFile(EFileAction action, const char* extensions, const std::string& folder,
                         const std::string& proposedName);
  void LoadFile(const char* extensions, bool bank);
  void SaveFile(const char* extensions, bool bank);
  void ChooseFolder(bool wav);

  REDI* redi;
};
