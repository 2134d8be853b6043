#pragma once

#include <deque>
#include <string>
#include <vector>

#include "editor/IGraphics.h"

// An editor without a window, for tests on every platform (and, until Linux
// hosts get a window, the Linux editor). It draws into its surface like any
// backend; the modal services answer from a script and record what was asked.
class IGraphicsHeadless : public IGraphics {
 public:
  struct MessageBoxRequest {
    std::string text;
    std::string title;
    int type;
  };
  struct MenuItemRecord {
    std::string text;  // as shown, with the numbering prefix
    int flags;
    int depth;  // 0 for the top menu, 1 for its submenus, ...
  };
  struct MenuRequest {
    std::vector<MenuItemRecord> items;  // depth first, each submenu after its item
    IRECT where;
  };
  struct FileRequest {
    EFileAction action;
    std::string folder;
    std::string extensions;
    std::string initialName;
  };
  struct FileAnswer {
    std::string path;  // empty: cancelled
    std::string folder;
  };
  struct TextEntryRequest {
    std::string initial;
    IRECT where;
    int paramIdx;
    int maxLength;
  };
  struct TextEntryAnswer {
    std::string typed;  // fed through the entry's character filter
    bool commit;
  };
  struct URLRequest {
    std::string url;
    std::string title;
    std::string confirm;
    std::string errorText;
  };

  IGraphicsHeadless(IPlugBase* plug, int width, int height);
  ~IGraphicsHeadless() override;

  // ---- Platform services ----
  void PaintRect(const IRECT& r) override;
  bool OpenWindow(void* parent) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return open; }
  int ShowMessageBox(const char* text, const char* title, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) override;
  void CreateTextEntry(IControl* control, const IText& style, const IRECT& r, const char* initial,
                       int paramIdx) override;
  void PromptForFile(std::string* fileName, EFileAction action, std::string* folder,
                     const char* extensions) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirm = nullptr,
               const char* errorText = nullptr) override;
  const char* GetDrawingAPIName() override { return "Headless"; }
  bool HasNativeWindow() const override { return false; }
  void ReadTextEntry(char* text, int size) override;
  void DestroyTextEntry() override;

  // ---- Script: answers, taken in order ----
  // Message boxes without a queued answer: OK for OK boxes, No for questions.
  std::deque<int> messageBoxAnswers;
  // Positions from the top menu down to the chosen item; empty: dismissed.
  // Without a queued answer a menu is dismissed.
  std::deque<std::vector<int>> menuAnswers;
  // Without a queued answer a file dialog is cancelled.
  std::deque<FileAnswer> fileAnswers;
  // Typed into the next text entry as it opens; without one the entry
  // stays open for Type/Commit/Cancel.
  std::deque<TextEntryAnswer> textEntryAnswers;
  bool urlOpens = true;

  // ---- Interaction ----
  void Tick() { OnTimerTick(); }
  // Types into the open entry as a user would: filtered, limited in length,
  // '\b' deletes the last character.
  void Type(const std::string& keys);
  void Commit() { RequestTextEntryCommit(); }
  void Cancel() { RequestTextEntryCancel(); }
  const std::string& TextEntryText() const { return entryText; }

  // ---- Record of requests ----
  std::vector<MessageBoxRequest> messageBoxes;
  std::vector<MenuRequest> menus;
  std::vector<FileRequest> fileDialogs;
  std::vector<TextEntryRequest> textEntries;
  std::vector<URLRequest> urls;
  std::vector<IRECT> painted;

 private:
  bool open = false;
  std::string entryText;
};
